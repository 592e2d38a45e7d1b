// The data-folder search both back ends share: the working directory's data/, else the one beside
// the executable, else the installed one beside the executable's folder. A data/ counts only when it
// holds the module: any project may have a folder of that name.
#include "platform/platform.h"

#include <SDL.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#ifndef PLOMVARDIX_INSTALLED_DATA
#define PLOMVARDIX_INSTALLED_DATA "../share/plomvardix"
#endif

namespace {

bool holdsModule(const char* dir)
{
    char path[PATH_MAX + 32];
    if (std::snprintf(path, sizeof path, "%s/data/glimo.it", dir) >= static_cast<int>(sizeof path))
        return false;
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// dir without its "..", where it exists, for the message.
const char* tidy(const char* dir, char (&buffer)[PATH_MAX])
{
    return realpath(dir, buffer) ? buffer : dir;
}

}  // namespace

namespace platform {

void enterDataFolder()
{
    if (holdsModule("."))
        return;
    char* base = SDL_GetBasePath();  // ends with a slash
    char installed[PATH_MAX + 64] = "";
    if (base)
        std::snprintf(installed, sizeof installed, "%s%s", base, PLOMVARDIX_INSTALLED_DATA);
    const char* target = !base ? nullptr : holdsModule(base) ? base : holdsModule(installed) ? installed : nullptr;
    if (target) {
        if (chdir(target) != 0)
            std::fprintf(stderr, "plomvardix: cannot enter %s\n", target);
    } else {
        // The run goes on here: every load then says what it misses.
        char here[PATH_MAX], beside[PATH_MAX], shared[PATH_MAX];
        std::fprintf(stderr, "plomvardix: no data folder holds glimo.it; looked in %s/data", tidy(".", here));
        if (base)
            std::fprintf(stderr, ", %s/data, %s/data", tidy(base, beside), tidy(installed, shared));
        std::fprintf(stderr, "\n");
    }
    SDL_free(base);
}

}  // namespace platform
