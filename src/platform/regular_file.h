// Opening a data file for reading, shared by the texture loader and the music player.
#pragma once
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// Only a regular file is opened: a FIFO would hold the open, and loading, for ever, and a device
// or a folder is no picture or module (a folder even "opens" and seeks to a size). Anything else
// fails as a missing file does: null.
inline std::FILE* openRegularFile(const char* path)
{
    struct stat status;
    if (::stat(path, &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    // Not blocking, should the name have become a FIFO since.
    int descriptor = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    std::FILE* file = nullptr;
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode))
        file = ::fdopen(descriptor, "rb");
    if (file == nullptr)
        ::close(descriptor);
    return file;
}

}  // namespace platform
