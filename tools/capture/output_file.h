// Files written under a temporary name (FILE.part) and renamed once complete, so that a run that
// fails or is stopped never leaves a half-written file under the name asked for.
#pragma once

#include <string>

class PartFile {
public:
    PartFile() = default;
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    ~PartFile() { forget(); }

    // A name given by the user: checks it and chooses where to write, `path + ".part"`, or the
    // path itself when it names something that is not a regular file (a device such as
    // /dev/null). False with a one-line reason when it cannot be written.
    bool prepare(const std::string& path, std::string& error);
    // A name in a folder already checked (a PNG frame): no checks, no allocation. False when too long.
    bool name(const char* path);

    // Where to write while the file is incomplete.
    const char* writePath() const { return direct ? finalPath : partPath; }
    const char* path() const { return finalPath; }
    // Gives the written file its name. False when the rename fails; the temporary file is then removed.
    bool commit();
    // Removes what was written: the temporary file, or the committed file itself when `committed`
    // (a run that fails later takes back what it had finished). A file that stays is named on
    // standard error.
    void discard(bool committed = false);

private:
    void forget();

    static constexpr int pathCapacity = 4096;
    char finalPath[pathCapacity] = "";
    char partPath[pathCapacity + 8] = "";
    bool direct = false;
    int registered = -1;  // its place among the temporary files a signal removes
};

// Removes every temporary file not yet committed; safe in a signal handler.
void removePartFilesNow();

// Makes the folder if needed, checks that a file can be made in it and makes the path absolute.
// False with a one-line reason.
bool prepareFolder(std::string& path, std::string& error);
