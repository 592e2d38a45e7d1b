// Files written under a temporary name and renamed once complete.
#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The temporary names a second Ctrl-C removes. The log, the WAV, the video and the two frames the
// PNG writers may hold at once; a file that finds no place is still written, only not removed then.
constexpr int partCapacity = 8;
std::atomic<const char*> partFiles[partCapacity];

int enlist(const char* path)
{
    for (int k = 0; k < partCapacity; ++k) {
        const char* none = nullptr;
        if (partFiles[k].compare_exchange_strong(none, path))
            return k;
    }
    return -1;
}

// Makes and removes a scratch file: the only sure test that a folder takes files (access() says
// yes to root on a read-only file system).
bool folderTakesFiles(const std::string& folder, std::string& error)
{
    std::string probe = (fs::path(folder) / (".plomvardix-capture-" + std::to_string(::getpid()))).string();
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        error = folder + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

}  // namespace

void removePartFilesNow()
{
    for (auto& entry : partFiles) {
        const char* path = entry.exchange(nullptr);
        if (path)
            ::unlink(path);
    }
}

void PartFile::forget()
{
    if (registered >= 0)
        partFiles[registered].store(nullptr);
    registered = -1;
}

bool PartFile::name(const char* path)
{
    forget();
    direct = false;
    int length = std::snprintf(finalPath, sizeof finalPath, "%s", path);
    if (length < 0 || length >= pathCapacity)
        return false;
    std::snprintf(partPath, sizeof partPath, "%s.part", finalPath);
    registered = enlist(partPath);
    return true;
}

bool PartFile::prepare(const std::string& given, std::string& error)
{
    // Absolute: the demo moves to its data folder before the outputs are finished.
    std::error_code code;
    std::string path = given.empty() ? given : fs::absolute(given, code).string();
    if (path.empty()) {
        error = "empty file name";
        return false;
    }
    if (path.size() >= pathCapacity) {
        error = "file name too long: " + path;
        return false;
    }
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            error = path + " is a folder, not a file";
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            // A device or a pipe takes the stream as it comes; renaming onto it would replace it.
            int fd = ::open(path.c_str(), O_WRONLY);
            if (fd < 0) {
                error = path + ": " + std::strerror(errno);
                return false;
            }
            ::close(fd);
            name(path.c_str());
            forget();
            direct = true;
            return true;
        }
    }
    fs::path parent = fs::path(path).parent_path();
    std::string folder = parent.empty() ? "." : parent.string();
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "no folder " + folder + " for " + path;
        return false;
    }
    return folderTakesFiles(folder, error) && name(path.c_str());
}

bool PartFile::commit()
{
    if (direct)
        return true;
    if (std::rename(partPath, finalPath) != 0) {
        int code = errno;
        discard();
        errno = code;
        return false;
    }
    forget();
    return true;
}

void PartFile::discard(bool committed)
{
    if (direct)
        return;
    const char* path = committed ? finalPath : partPath;
    if (std::remove(path) != 0 && errno != ENOENT)
        std::fprintf(stderr, "plomvardix-capture: cannot remove %s: %s\n", path, std::strerror(errno));
    forget();
}

bool prepareFolder(std::string& path, std::string& error)
{
    std::error_code code;
    fs::create_directories(path, code);
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        error = "cannot make the folder " + path + (code ? ": " + code.message() : "");
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = path + " is not a folder";
        return false;
    }
    if (!folderTakesFiles(path, error))
        return false;
    std::string absolute = fs::absolute(path, code).string();
    if (!absolute.empty())
        path = absolute;
    return true;
}
