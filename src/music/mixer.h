// The mixer: the calls the music player makes to its audio library, with their arguments and
// results. Modules are decoded by libopenmpt and mixed as 44100 Hz stereo; where the samples go (an
// SDL audio device, or a buffer in lockstep with the virtual clock) is the platform back end's
// business (audio_output.h: audio_live.cpp, audio_offline.cpp).
#pragma once
#include <cstdint>

namespace audio {

bool init(uint32_t frequency);  // false when no output can be opened
bool setVolume(uint32_t volume);                            // 0..100
// Loads the module file at `path`, paused until musicPlay; returns its handle, 0 on failure.
uint32_t musicLoad(const char* path);
bool musicPlay(uint32_t handle);
bool start();
bool musicSetPositionScaler(uint32_t handle, uint32_t scaler);
bool musicPlayEx(uint32_t handle, uint32_t position);
// Position word: order in the low 16 bits, row in the high 16 bits (row x scaler + twelfths when reading).
bool channelSetPosition(uint32_t handle, uint64_t position);
bool update();
uint64_t channelGetPosition(uint32_t handle);
bool free();

}  // namespace audio
