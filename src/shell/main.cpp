// plomvardix: the demo itself, on the live back end, and its command line.
#include "platform/frame_pacer.h"
#include "shell/driver.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char usage[] =
    "usage: plomvardix [--fullscreen | --windowed] [--fps N]\n"
    "Plays the demo zub.plomvardix. Without --fullscreen or --windowed it asks \"fullscreen?\".\n"
    "  --fullscreen  full screen, without asking\n"
    "  --windowed    a 640 x 480 window, without asking\n"
    "  --fps N       frames per second, 1 to 1000 (default 60, or PLOMVARDIX_FPS); 0: as fast\n"
    "                as the machine goes, without vsync, as the original ran\n"
    "  --help        this text\n"
    "  --version     the version\n"
    "Keys: Escape ends the demo, Space skips to the next part of the music.\n";

// A whole number of frames per second in range, or -1.
int parseRate(const char* text)
{
    if (text == nullptr || *text < '0' || *text > '9')
        return -1;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (*end != '\0' || errno != 0 || value > frame_pacer::maxRate)
        return -1;
    return static_cast<int>(value);
}

int badRate(const char* where, const char* text)
{
    std::fprintf(stderr, "plomvardix: %s wants whole frames per second from 0 to %d, not \"%s\"\n", where,
                 frame_pacer::maxRate, text);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    FullscreenChoice choice = FullscreenChoice::Ask;
    int rate = -1;
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(option, "--version") == 0) {
            std::printf("plomvardix %s\n", PLOMVARDIX_VERSION);
            return 0;
        }
        if (std::strcmp(option, "--fullscreen") == 0) {
            choice = FullscreenChoice::Yes;
        } else if (std::strcmp(option, "--windowed") == 0) {
            choice = FullscreenChoice::No;
        } else if (std::strcmp(option, "--fps") == 0 || std::strncmp(option, "--fps=", 6) == 0) {
            const char* value = option[5] == '=' ? option + 6 : (i + 1 < argc ? argv[++i] : "");
            rate = parseRate(value);
            if (rate < 0)
                return badRate("--fps", value);
        } else {
            std::fprintf(stderr, "plomvardix: unknown option \"%s\" (try --help)\n", option);
            return 2;
        }
    }
    // The environment's rate stands where the command line gives none.
    if (const char* text = std::getenv("PLOMVARDIX_FPS"); rate < 0 && text != nullptr && *text != '\0') {
        rate = parseRate(text);
        if (rate < 0)
            return badRate("PLOMVARDIX_FPS", text);
    }
    frame_pacer::setRate(rate < 0 ? frame_pacer::defaultRate : rate);
    return demoMain(choice);
}
