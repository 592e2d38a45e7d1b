// forge: writes the demo's data folder, the soundtrack and every picture, the same bytes on every run.
#include "pictures.h"
#include "soundtrack.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: forge DATA_FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
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
