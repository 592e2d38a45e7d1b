// The data-folder search both back ends share: the working directory, else the executable's
// folder, else the installed data beside the executable's folder.
#include "platform/platform.h"

#include <SDL.h>

#include <climits>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#ifndef PLOMVARDIX_INSTALLED_DATA
#define PLOMVARDIX_INSTALLED_DATA "../share/plomvardix"
#endif

namespace {

bool hasDataFolder(const char* dir)
{
    char path[PATH_MAX + 16];
    if (std::snprintf(path, sizeof path, "%s/data", dir) >= static_cast<int>(sizeof path))
        return false;
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

namespace platform {

void enterDataFolder()
{
    if (hasDataFolder("."))
        return;
    char* base = SDL_GetBasePath();  // ends with a slash
    if (!base)
        return;
    char installed[PATH_MAX + 64];
    int length = std::snprintf(installed, sizeof installed, "%s%s", base, PLOMVARDIX_INSTALLED_DATA);
    const char* target = hasDataFolder(base) ? base
                         : length < static_cast<int>(sizeof installed) && hasDataFolder(installed) ? installed
                                                                                                   : nullptr;
    if (target && chdir(target) != 0)
        std::fprintf(stderr, "plomvardix: cannot enter %s\n", target);
    SDL_free(base);
}

}  // namespace platform
