// Live audio output: an SDL audio device with small buffers, and the frame now leaving them.
// PLOMVARDIX_AUDIO_LATENCY_MS adds the sound server's latency, which SDL cannot tell.
#include "platform/audio_output.h"

#include <SDL.h>

#include <cstdlib>

namespace {

constexpr uint16_t bufferFrames = 1024;
constexpr long maxLatencyMs = 2000;  // the mixer's record of rows covers this much and more

struct LiveData {
    SDL_AudioDeviceID device = 0;
    audio_output::MixFunction mix = nullptr;
    uint32_t rate = 44100;
    uint64_t latencyFrames = 0;
    uint64_t framesMixed = 0;      // handed to SDL so far
    uint64_t bufferStart = 0;      // first frame of the buffer handed over last
    uint64_t bufferTime = 0;       // performance counter when it was handed over
    bool anyBuffer = false;
    uint64_t lastHeard = 0;
};

LiveData data;

// Runs on SDL's audio thread with the device locked.
void fill(void*, Uint8* stream, int bytes)
{
    uint32_t frames = static_cast<uint32_t>(bytes) / (2 * sizeof(int16_t));
    data.mix(reinterpret_cast<int16_t*>(stream), frames);
    data.bufferStart = data.framesMixed;
    data.bufferTime = SDL_GetPerformanceCounter();
    data.framesMixed += frames;
    data.anyBuffer = true;
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
    data = LiveData();
    data.mix = mix;
    data.rate = rate;
    data.latencyFrames = latencyFromEnvironment(rate);

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
    return true;
}

void close()
{
    if (data.device == 0)
        return;
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

// The buffer handed over last leaves SDL at the device's pace from the moment it was handed over;
// everything before it has left already.
uint64_t framesHeard()
{
    if (!data.anyBuffer)
        return 0;
    uint64_t elapsed = SDL_GetPerformanceCounter() - data.bufferTime;
    uint64_t played = elapsed * data.rate / SDL_GetPerformanceFrequency();
    uint64_t bufferLength = data.framesMixed - data.bufferStart;
    uint64_t left = data.bufferStart + (played < bufferLength ? played : bufferLength);
    uint64_t heard = left > data.latencyFrames ? left - data.latencyFrames : 0;
    if (heard < data.lastHeard)
        heard = data.lastHeard;  // the position never moves back
    data.lastHeard = heard;
    return heard;
}

}  // namespace audio_output
