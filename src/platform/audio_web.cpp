// Web audio output: the page's AudioContext pulls buffers from the mixer (web/audio_web.js), and
// the frame the listener hears now is the one the context plays at its output timestamp.
//
// Each buffer handed over is tied to the context time it starts playing at, so what the browser
// still holds and its output latency both fall out of one comparison: the context time heard now
// against the times the buffers play from.
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
// Buffers remembered with the time they play from: over a second and a half, far beyond any
// output latency.
constexpr int anchorCapacity = 16;

struct Anchor {
    double time;     // context time at which the buffer's first frame plays
    uint64_t first;  // that frame's index in the mixed stream
};

struct WebData {
    bool open = false;
    bool offline = false;  // the offline output has the music
    audio_output::MixFunction mix = nullptr;
    uint32_t rate = 44100;
    uint64_t delivered = 0;
    uint64_t lastHeard = 0;
    Anchor anchors[anchorCapacity] = {};
    int newest = -1;
    int count = 0;
    int16_t stereo[2 * bufferFrames] = {};
    float planar[2 * bufferFrames] = {};  // left channel, then right
};

WebData data;

uint64_t frameAt(double time)
{
    // Newest first: the buffer playing at `time` is the newest one that started by then.
    for (int i = 0; i < data.count; ++i) {
        const Anchor& anchor = data.anchors[(data.newest - i + anchorCapacity) % anchorCapacity];
        if (anchor.time <= time || i == data.count - 1) {
            double offset = (time - anchor.time) * data.rate;
            if (offset <= 0)
                return anchor.first;
            uint64_t frame = anchor.first + static_cast<uint64_t>(offset);
            return frame < data.delivered ? frame : data.delivered;
        }
    }
    return 0;
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
    data.newest = (data.newest + 1) % anchorCapacity;
    data.anchors[data.newest] = Anchor{playbackTime, data.delivered};
    if (data.count < anchorCapacity)
        ++data.count;
    data.delivered += frames;
    return data.planar;
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
