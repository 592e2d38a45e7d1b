#include "platform/frame_pacer.h"

#include <SDL.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

namespace {

struct PacerData {
    int rate = frame_pacer::defaultRate;
    bool started = false;
    uint64_t origin = 0;  // nanoseconds on the monotonic clock
    uint64_t slot = 0;    // index of the next slot from the origin
};

PacerData data;

uint64_t nowNs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}

uint64_t slotTime(uint64_t index)
{
    return data.origin + index * 1000000000u / static_cast<uint64_t>(data.rate);
}

}  // namespace

namespace frame_pacer {

void setRate(int framesPerSecond)
{
    data.rate = framesPerSecond < 0 ? 0 : framesPerSecond > maxRate ? maxRate : framesPerSecond;
    data.started = false;
}

int rate()
{
    return data.rate;
}

void chooseSwapInterval(SDL_Window* window)
{
    bool vsync = data.rate > 0;
    SDL_DisplayMode mode;
    int display = window != nullptr ? SDL_GetWindowDisplayIndex(window) : -1;
    if (vsync && display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0 &&
        mode.refresh_rate + 1 < data.rate)
        vsync = false;
    if (!vsync || (SDL_GL_SetSwapInterval(-1) != 0 && SDL_GL_SetSwapInterval(1) != 0))
        SDL_GL_SetSwapInterval(0);
}

void waitForSlot()
{
    if (data.rate <= 0)
        return;
    uint64_t now = nowNs();
    if (!data.started) {
        data.started = true;
        data.origin = now;
        data.slot = 1;
        return;
    }
    uint64_t due = slotTime(data.slot);
    if (now < due) {
        timespec until = {static_cast<time_t>(due / 1000000000u), static_cast<long>(due % 1000000000u)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
        ++data.slot;
    } else if (now - due >= 1000000000u / static_cast<uint64_t>(data.rate)) {
        data.origin = now;
        data.slot = 1;
    } else {
        ++data.slot;
    }
}

}  // namespace frame_pacer
