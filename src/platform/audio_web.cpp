// Web audio output: the page's AudioContext pulls buffers from the mixer (web/audio_web.js), and
// the frame the listener hears now is the one the context plays at its output timestamp.
//
// The buffers play back to back, so the stream has one start time in the context's clock, and the
// frame heard at context time t is (t - start) x rate: what was handed over, less what the browser
// still holds, less its output latency, all in one. Each buffer's playbackTime gives the start
// (playbackTime less the frames before it), but browsers take it from the context's time when the
// event is dispatched, which is late by up to a few render quanta and never early. So the start is
// the earliest of the last few buffers' estimates, which also follows the stream when a buffer the
// page was too busy to fill in time pushes the rest later.
//
// The mixer runs on the page's main thread, between turns of the demo's loop (the browser runs no
// event while the demo's code runs), so lock and unlock have nothing to keep apart.
//
// Built with PLOMVARDIX_WEB_OFFLINE_AUDIO, a page run on a virtual clock (?fps=N) renders the music
// in lockstep with it through the offline output instead, compiled into this executable with
// -Daudio_output=audio_output_offline.
#include "platform/audio_output.h"

#include <emscripten.h>

extern "C" {
// From web/audio_web.js.
int audio_web_open(uint32_t rate, uint32_t bufferFrames);  // 0 when the browser has no Web Audio
void audio_web_close();
double audio_web_heard_time();  // the context time being heard now; negative while nothing plays
int audio_web_virtual_clock();  // 1 when the page runs on a virtual clock
}

#ifdef PLOMVARDIX_WEB_OFFLINE_AUDIO
namespace audio_output_offline {
bool open(uint32_t rate, audio_output::MixFunction mix);
void close();
void lock();
void unlock();
uint64_t framesHeard();
}  // namespace audio_output_offline
#endif

namespace {

// 93 ms at 44100 Hz: long enough to ride out a slow frame on the main thread, which mixes.
constexpr uint32_t bufferFrames = 4096;
// Buffers whose start estimates are kept: 0.7 s of them.
constexpr int estimateCapacity = 8;

struct WebData {
    bool open = false;
    bool offline = false;  // the offline output has the music
    audio_output::MixFunction mix = nullptr;
    uint32_t rate = 44100;
    uint64_t delivered = 0;
    uint64_t lastHeard = 0;
    double starts[estimateCapacity] = {};  // the stream's start time, as each buffer gives it
    int newest = -1;
    int count = 0;
    double start = 0;  // the earliest of them
    int16_t stereo[2 * bufferFrames] = {};
    float planar[2 * bufferFrames] = {};  // left channel, then right
};

WebData data;

uint64_t frameAt(double time)
{
    double offset = (time - data.start) * data.rate;
    if (offset <= 0)
        return 0;
    uint64_t frame = static_cast<uint64_t>(offset);
    return frame < data.delivered ? frame : data.delivered;
}

}  // namespace

// Called by the context for each buffer it needs, starting to play at context time `playbackTime`.
// Returns the buffer's samples as two planes of `bufferFrames`, or null when the output is closed.
extern "C" EMSCRIPTEN_KEEPALIVE float* audio_web_mix(uint32_t frames, double playbackTime)
{
    if (!data.open || frames > bufferFrames)
        return nullptr;
    data.mix(data.stereo, frames);
    for (uint32_t i = 0; i < frames; ++i) {
        data.planar[i] = static_cast<float>(data.stereo[2 * i]) / 32768.0f;
        data.planar[bufferFrames + i] = static_cast<float>(data.stereo[2 * i + 1]) / 32768.0f;
    }
    data.newest = (data.newest + 1) % estimateCapacity;
    data.starts[data.newest] = playbackTime - static_cast<double>(data.delivered) / data.rate;
    if (data.count < estimateCapacity)
        ++data.count;
    data.start = data.starts[data.newest];
    for (int i = 1; i < data.count; ++i) {
        double start = data.starts[(data.newest - i + estimateCapacity) % estimateCapacity];
        if (start < data.start)
            data.start = start;
    }
    data.delivered += frames;
    return data.planar;
}

// The frame heard now, for the page's tests to set against the context's clock.
extern "C" EMSCRIPTEN_KEEPALIVE double audio_web_frames_heard()
{
    return static_cast<double>(audio_output::framesHeard());
}

namespace audio_output {

bool open(uint32_t rate, MixFunction mix)
{
    if (data.open || data.offline)
        return false;
#ifdef PLOMVARDIX_WEB_OFFLINE_AUDIO
    if (audio_web_virtual_clock() != 0) {
        data.offline = audio_output_offline::open(rate, mix);
        return data.offline;
    }
#endif
    data.mix = mix;
    data.rate = rate;
    data.delivered = 0;
    data.lastHeard = 0;
    data.newest = -1;
    data.count = 0;
    data.open = true;  // before the context exists, which may ask for a buffer at once
    if (audio_web_open(rate, bufferFrames) == 0) {
        data.open = false;
        return false;
    }
    return true;
}

void close()
{
#ifdef PLOMVARDIX_WEB_OFFLINE_AUDIO
    if (data.offline) {
        audio_output_offline::close();
        data.offline = false;
        return;
    }
#endif
    if (!data.open)
        return;
    audio_web_close();
    data.open = false;
}

void lock()
{
#ifdef PLOMVARDIX_WEB_OFFLINE_AUDIO
    if (data.offline)
        audio_output_offline::lock();
#endif
}

void unlock()
{
#ifdef PLOMVARDIX_WEB_OFFLINE_AUDIO
    if (data.offline)
        audio_output_offline::unlock();
#endif
}

uint64_t framesHeard()
{
#ifdef PLOMVARDIX_WEB_OFFLINE_AUDIO
    if (data.offline)
        return audio_output_offline::framesHeard();
#endif
    double time = audio_web_heard_time();
    if (time < 0 || data.count == 0)
        return data.lastHeard;
    uint64_t frame = frameAt(time);
    if (frame > data.lastHeard)
        data.lastHeard = frame;
    return data.lastHeard;
}

}  // namespace audio_output
