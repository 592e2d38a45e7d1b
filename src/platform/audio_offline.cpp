// Offline audio output: after every advance of the virtual clock, renders exactly the frames up to
// it (clock x rate / 1e6, so nothing drifts) and hands them to the sink.
#include "platform/audio_offline.h"

#include "platform/audio_output.h"
#include "platform/offline.h"

namespace {

constexpr uint32_t blockFrames = 1024;

struct OfflineAudioData {
    bool open = false;
    audio_output::MixFunction mix = nullptr;
    uint32_t rate = 44100;
    uint64_t rendered = 0;    // frames since virtual time 0 handed to the sink
    uint64_t mixed = 0;       // frames mixed since the output opened
    offline::AudioSink sink = nullptr;
    int16_t block[blockFrames * 2] = {};
};

// Constant-initialised, so a sink set by start-up code elsewhere is not wiped by a later initialiser.
static_assert(OfflineAudioData().rate == 44100, "OfflineAudioData needs constant initialisers");
OfflineAudioData data;

uint64_t frameAt(uint64_t micros)
{
    return micros * data.rate / 1000000u;
}

void emit(uint32_t frames)
{
    if (data.sink)
        data.sink(data.block, frames, data.rate);
}

void clockAdvanced(uint64_t micros)
{
    uint64_t target = frameAt(micros);
    if (target < data.rendered) {
        // The back end was reset to time 0: go on from there.
        data.rendered = target;
        return;
    }
    while (data.rendered < target) {
        uint64_t left = target - data.rendered;
        uint32_t frames = left < blockFrames ? static_cast<uint32_t>(left) : blockFrames;
        data.mix(data.block, frames);
        emit(frames);
        data.rendered += frames;
        data.mixed += frames;
    }
}

}  // namespace

namespace offline {

void setAudioSink(AudioSink sink)
{
    data.sink = sink;
}

uint64_t audioFramesHeard()
{
    return data.open ? data.rendered : 0;
}

}  // namespace offline

namespace audio_output {

bool open(uint32_t rate, MixFunction mix)
{
    if (data.open || rate == 0)
        return false;
    data.mix = mix;
    data.rate = rate;
    uint64_t openFrame = frameAt(offline::clockMicroseconds());
    // What was heard before the audio opened is silence; the sink still gets it, so that its
    // stream starts at virtual time 0 like the frames.
    for (int i = 0; i < static_cast<int>(blockFrames * 2); ++i)
        data.block[i] = 0;
    data.rendered = 0;
    data.mixed = 0;
    while (data.rendered < openFrame) {
        uint64_t left = openFrame - data.rendered;
        uint32_t frames = left < blockFrames ? static_cast<uint32_t>(left) : blockFrames;
        emit(frames);
        data.rendered += frames;
    }
    data.open = true;
    offline::setClockListener(clockAdvanced);
    return true;
}

void close()
{
    if (!data.open)
        return;
    offline::setClockListener(nullptr);
    data.open = false;
}

// One thread: the mixer runs only inside a clock advance.
void lock() {}
void unlock() {}

uint64_t framesHeard()
{
    return data.mixed;
}

}  // namespace audio_output
