// Offline audio output: the mixed stream rendered in lockstep with the offline back end's virtual
// clock, frame for frame, and handed to a sink (the capture tool writes it as WAV).
#pragma once
#include <cstdint>

namespace offline {

// Receives every frame heard, in order from virtual time 0 (silence until the audio opens):
// interleaved stereo 16-bit at `rate` frames per second.
using AudioSink = void (*)(const int16_t* stereo, uint32_t frames, uint32_t rate);
// One sink; null removes it. Set it before the run so that it hears the whole of it.
void setAudioSink(AudioSink sink);

// Frames heard since virtual time 0: the virtual clock x rate / 1e6, rounded down, once the audio
// is open; 0 before.
uint64_t audioFramesHeard();

}  // namespace offline
