// plomvardix-capture's command line.
#pragma once

#include "png_writer.h"
#include "video_writer.h"

#include <cstdint>
#include <string>
#include <vector>

extern const char usage[];

struct Options {
    std::vector<PngOutput::Range> frames;
    std::string outDir, logPath, wavPath;
    VideoSettings video;
    bool quiet = false;
    bool videoOption = false;  // a video setting was given, so --video must be too
    uint64_t endFrame = 0;     // the first frame a scripted Escape or close ends the run at
    int32_t latticeAt = -1;
};

// Reads the command line and sets up the back end's script, frame rate and answers; -1 to go on,
// otherwise the status to exit with.
int readOptions(int argc, char** argv, Options& options);
// One line on standard error and exit status 2, before any window opens.
int fail(const std::string& what);
