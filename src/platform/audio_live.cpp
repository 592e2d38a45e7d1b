// Live audio output. Where a PipeWire daemon answers, a stream of the demo's own on it
// (pipewire_output.h), whose heard position is the graph's time for that stream; else where the
// sound server is PulseAudio (or PipeWire's PulseAudio service), a stream of the demo's own on it
// (pulse_output.h), whose heard position is the server's clock for that stream. Anywhere else an SDL audio device with small buffers, where the frame heard is
// modelled (heard_clock.h): the frames handed to SDL, less what of the last buffer is still
// queued; what the driver and the device add behind that is not known there. Both take off the
// manual offset PLOMVARDIX_AUDIO_LATENCY_MS.
#include "platform/audio_output.h"

#include "platform/heard_clock.h"
#include "platform/pipewire_output.h"
#include "platform/pulse_output.h"

#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint16_t bufferFrames = 1024;
constexpr double maxLatencyMs = 2000;  // the mixer's record of rows covers this much and more

enum class Output { none, pipewire, pulse, sdl };

struct LiveData {
    SDL_AudioDeviceID device = 0;
    Output output = Output::none;
    audio_output::MixFunction mix = nullptr;
    uint32_t rate = 44100;
    uint64_t offset = 0;
    uint64_t openedAt = 0;  // performance counter
    HeardClock clock;
    bool exitHandler = false;
};

LiveData data;

// The performance counter since the output opened, in frames of the output's rate.
uint64_t nowInFrames()
{
    uint64_t elapsed = SDL_GetPerformanceCounter() - data.openedAt;
    uint64_t frequency = SDL_GetPerformanceFrequency();
    return elapsed / frequency * data.rate + elapsed % frequency * data.rate / frequency;
}

// Runs on SDL's audio thread with the device locked.
void fill(void*, Uint8* stream, int bytes)
{
    uint32_t frames = static_cast<uint32_t>(bytes) / (2 * sizeof(int16_t));
    data.mix(reinterpret_cast<int16_t*>(stream), frames);
    data.clock.handOver(frames, nowInFrames());
}

// Milliseconds, 0 to 2000; anything else is said once and replaced by the nearest it can be.
double latencyFromEnvironment()
{
    const char* text = std::getenv("PLOMVARDIX_AUDIO_LATENCY_MS");
    if (text == nullptr || *text == '\0')
        return 0;
    char* end = nullptr;
    double ms = std::strtod(text, &end);
    double used = ms;
    if (end == text || *end != '\0' || std::isnan(ms))
        used = 0;
    else if (ms < 0)
        used = 0;
    else if (ms > maxLatencyMs)
        used = maxLatencyMs;
    if (used != ms || end == text || *end != '\0')
        std::fprintf(stderr, "plomvardix: PLOMVARDIX_AUDIO_LATENCY_MS=%s is not a number of milliseconds from 0 to "
                             "%.0f; %.0f is used\n", text, maxLatencyMs, used);
    return used;
}

// SDL_AUDIODRIVER unset, or naming `driver` first.
bool driverWanted(const char* driver)
{
    const char* list = std::getenv("SDL_AUDIODRIVER");
    if (list == nullptr || *list == '\0')
        return true;
    size_t length = std::strcspn(list, ",");
    return length == std::strlen(driver) && SDL_strncasecmp(list, driver, length) == 0;
}

// An exit from anywhere (Xlib ends the process when its display goes) stops the output's thread
// before the mixer it calls is torn down.
void closeAtExit()
{
    audio_output::close();
}

}  // namespace

namespace audio_output {

bool open(uint32_t rate, MixFunction mix)
{
    if (data.output != Output::none)
        return false;
    data.mix = mix;
    data.rate = rate;
    data.offset = static_cast<uint64_t>(latencyFromEnvironment() * rate / 1000 + 0.5);
    if (!data.exitHandler)
        data.exitHandler = std::atexit(closeAtExit) == 0;

    if (driverWanted("pipewire") && pipewire_output::open(rate, mix)) {
        data.output = Output::pipewire;
        return true;
    }
    if ((driverWanted("pulseaudio") || driverWanted("pipewire")) && pulse_output::open(rate, mix)) {
        data.output = Output::pulse;
        return true;
    }

    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    data.openedAt = SDL_GetPerformanceCounter();
    data.clock = HeardClock();
    data.clock.setManualOffset(data.offset);

    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = bufferFrames;
    want.callback = fill;
    // No changes allowed: SDL converts to whatever the device takes, and the buffer stays this small.
    SDL_AudioSpec have;
    data.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (data.device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(data.device, 0);
    data.output = Output::sdl;
    return true;
}

void close()
{
    Output output = data.output;
    data.output = Output::none;
    if (output == Output::pipewire) {
        pipewire_output::close();
    } else if (output == Output::pulse) {
        pulse_output::close();
    } else if (output == Output::sdl) {
        SDL_CloseAudioDevice(data.device);
        data.device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

void lock()
{
    if (data.output == Output::pipewire)
        pipewire_output::lock();
    else if (data.output == Output::pulse)
        pulse_output::lock();
    else
        SDL_LockAudioDevice(data.device);
}

void unlock()
{
    if (data.output == Output::pipewire)
        pipewire_output::unlock();
    else if (data.output == Output::pulse)
        pulse_output::unlock();
    else
        SDL_UnlockAudioDevice(data.device);
}

// SDL writes a buffer to its driver in the pieces the driver asks for, as it plays, and calls for
// the next buffer once the last piece is written: the buffer handed over last leaves SDL at the
// device's pace from its hand-over.
uint64_t framesHeard()
{
    if (data.output == Output::pipewire)
        return pipewire_output::framesHeard(data.offset);
    if (data.output == Output::pulse)
        return pulse_output::framesHeard(data.offset);
    return data.clock.heard(nowInFrames());
}

}  // namespace audio_output
