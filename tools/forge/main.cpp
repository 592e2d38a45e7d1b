// forge: writes the demo's data folder, the soundtrack and every picture, the same bytes on every
// run; with --icons, the desktop icon at every size instead.
#include "icon.h"
#include "pictures.h"
#include "soundtrack.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    bool icons = argc == 3 && std::strcmp(argv[1], "--icons") == 0;
    if (argc != 2 && !icons) {
        std::fprintf(stderr, "usage: forge DATA_FOLDER\n       forge --icons ICON_THEME_FOLDER\n");
        return 2;
    }
    std::string folder = argv[argc - 1];
    if (icons)
        return forge::writeIcons(folder) ? 0 : 1;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "forge: cannot create %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }
    if (!forge::writeSoundtrack(folder + "/glimo.it"))
        return 1;
    if (!forge::writePictures(folder))
        return 1;
    return 0;
}
