// An output written under a temporary name and renamed when complete.
#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

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

bool OutputFile::prepare(const std::string& given, std::string& error)
{
    // Absolute: the demo moves to its data folder before the outputs are finished.
    std::error_code code;
    std::string path = given.empty() ? given : fs::absolute(given, code).string();
    finalPath = path;
    temporary.clear();
    struct stat info;
    if (path.empty()) {
        error = "empty file name";
        return false;
    }
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
            return true;
        }
    }
    fs::path parent = fs::path(path).parent_path();
    std::string folder = parent.empty() ? "." : parent.string();
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "no folder " + folder + " for " + path;
        return false;
    }
    if (!folderTakesFiles(folder, error))
        return false;
    temporary = path + ".part";
    return true;
}

bool OutputFile::commit()
{
    if (temporary.empty())
        return true;
    if (std::rename(temporary.c_str(), finalPath.c_str()) != 0) {
        discard();
        return false;
    }
    temporary.clear();
    return true;
}

void OutputFile::discard()
{
    if (!temporary.empty())
        std::remove(temporary.c_str());
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
