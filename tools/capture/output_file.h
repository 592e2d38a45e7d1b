// An output written under a temporary name and renamed when complete, so that a run that fails
// never leaves a half-written file under the name asked for.
#pragma once

#include <string>

class OutputFile {
public:
    // Checks the path and chooses where to write: `path + ".part"`, or the path itself when it
    // names something that is not a regular file (a device such as /dev/null). False with a
    // one-line reason when the path cannot be written.
    bool prepare(const std::string& given, std::string& error);
    // Where to write while the run lasts.
    const std::string& writePath() const { return temporary.empty() ? finalPath : temporary; }
    const std::string& path() const { return finalPath; }
    // Gives the written file its name; false when the rename fails.
    bool commit();
    // Removes what was written under the temporary name.
    void discard();

private:
    std::string finalPath;
    std::string temporary;
};

// Makes the folder if needed and checks that a file can be made in it. False with a one-line reason.
bool prepareFolder(std::string& path, std::string& error);
