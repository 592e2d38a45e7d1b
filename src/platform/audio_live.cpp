// Live audio output: an SDL audio device with small buffers, and the frame the listener hears now
// (heard_clock.h): the frames handed to SDL, less what of the last buffer is still queued, less the
// sound server's latency where it can be learned (pulse_latency.h), less the manual offset
// PLOMVARDIX_AUDIO_LATENCY_MS.
#include "platform/audio_output.h"

#include "platform/heard_clock.h"
#include "platform/pulse_latency.h"

#include <SDL.h>

#include <cstdlib>

namespace {

constexpr uint16_t bufferFrames = 1024;
constexpr long maxLatencyMs = 2000;  // the mixer's record of rows covers this much and more

struct LiveData {
    SDL_AudioDeviceID device = 0;
    audio_output::MixFunction mix = nullptr;
    uint32_t rate = 44100;
    uint64_t serverLatency = 0;
    uint64_t openedAt = 0;  // performance counter
    HeardClock clock;
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

uint64_t latencyFromEnvironment(uint32_t rate)
{
    const char* text = std::getenv("PLOMVARDIX_AUDIO_LATENCY_MS");
    if (text == nullptr)
        return 0;
    char* end = nullptr;
    long ms = std::strtol(text, &end, 10);
    if (end == text || ms <= 0)
        return 0;
    if (ms > maxLatencyMs)
        ms = maxLatencyMs;
    return static_cast<uint64_t>(ms) * rate / 1000;
}

}  // namespace

namespace audio_output {

bool open(uint32_t rate, MixFunction mix)
{
    if (data.device != 0)
        return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    data.mix = mix;
    data.rate = rate;
    data.serverLatency = 0;
    data.openedAt = SDL_GetPerformanceCounter();
    data.clock = HeardClock();
    data.clock.setManualOffset(latencyFromEnvironment(rate));

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
    pulse_latency::start(rate);
    return true;
}

void close()
{
    if (data.device == 0)
        return;
    pulse_latency::stop();
    SDL_CloseAudioDevice(data.device);
    data.device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void lock()
{
    SDL_LockAudioDevice(data.device);
}

void unlock()
{
    SDL_UnlockAudioDevice(data.device);
}

// SDL writes a buffer to the server in the pieces the server asks for, as the server plays, and
// calls for the next buffer once the last piece is written: the buffer handed over last leaves SDL
// at the device's pace from its hand-over, and behind it is the server's own latency.
uint64_t framesHeard()
{
    uint64_t server = pulse_latency::meanFrames();
    if (server != data.serverLatency) {
        data.serverLatency = server;
        data.clock.setServerLatency(server);
    }
    return data.clock.heard(nowInFrames());
}

}  // namespace audio_output
