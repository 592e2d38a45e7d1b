// The capture's progress on standard error.
#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace {

constexpr int rowsPerOrder = 128;

void formatTime(char* text, size_t size, double seconds)
{
    long s = seconds > 0 ? static_cast<long>(seconds + 0.5) : 0;
    if (s >= 3600)
        std::snprintf(text, size, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, size, "%ld:%02ld", s / 60, s % 60);
}

}  // namespace

void Progress::start(bool quiet, int order, uint64_t frame)
{
    enabled = !quiet;
    terminal = ::isatty(2) == 1;
    endOrder = order > 0 ? order : 1;
    endFrame = frame;
    began = lastDrawn = std::chrono::steady_clock::now();
}

// How far the run is: by the music, or by the scripted end when that comes first.
double Progress::fraction(uint64_t frame, int order, int row) const
{
    double f = (static_cast<double>(order) * rowsPerOrder + row) / (static_cast<double>(endOrder) * rowsPerOrder);
    if (endFrame > 0) {
        double byFrame = static_cast<double>(frame + 1) / static_cast<double>(endFrame);
        if (byFrame > f)
            f = byFrame;
    }
    return f < 0 ? 0 : f > 1 ? 1 : f;
}

void Progress::update(uint64_t frame, int order, int row)
{
    if (!enabled)
        return;
    auto now = std::chrono::steady_clock::now();
    double f = fraction(frame, order, row);
    int tenths = static_cast<int>(f * 10);
    if (terminal ? now - lastDrawn < std::chrono::milliseconds(250) : tenths <= tenthsShown)
        return;
    lastDrawn = now;
    tenthsShown = tenths;
    double elapsed = std::chrono::duration<double>(now - began).count();
    double rate = elapsed > 0 ? (frame + 1) / elapsed : 0;
    // No time left is guessed: the scenes differ in cost tenfold, so the speed so far says little
    // about the rest. The elapsed time and the speed are facts.
    char spent[32];
    formatTime(spent, sizeof spent, elapsed);
    if (terminal) {
        std::fprintf(stderr, "\r%3d%%  order %2d  frame %llu  %.1f frames/s  %s elapsed\033[K",
                     static_cast<int>(f * 100), order, static_cast<unsigned long long>(frame + 1), rate, spent);
        lineShown = true;
    } else {
        std::fprintf(stderr, "plomvardix-capture: %d%%  order %d  frame %llu  %.1f frames/s  %s elapsed\n",
                     tenths * 10, order, static_cast<unsigned long long>(frame + 1), rate, spent);
    }
    std::fflush(stderr);
}

void Progress::finish()
{
    if (lineShown)
        std::fputs("\n", stderr);
    lineShown = false;
}
