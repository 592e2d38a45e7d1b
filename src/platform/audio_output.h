// Where the portable mixer (src/music/mixer.cpp) sends its samples: an SDL audio device (audio_live.cpp) or
// a buffer rendered in lockstep with the virtual clock (audio_offline.cpp). Each executable links one.
#pragma once
#include <cstdint>

namespace audio_output {

// Fills `frames` interleaved stereo 16-bit frames. The output calls it with itself locked.
using MixFunction = void (*)(int16_t* stereo, uint32_t frames);

// Opens the output at `rate` frames per second and starts pulling from `mix`; false when it cannot.
bool open(uint32_t rate, MixFunction mix);
void close();

// Keeps `mix` from running meanwhile; the mixer's state is touched only inside lock/unlock.
void lock();
void unlock();

// Frames of the mixed stream that the listener has heard so far, counted from open: the frame now
// being heard has this index. Never more than the frames mixed. Call it locked.
uint64_t framesHeard();

}  // namespace audio_output
