// Placeholder audio stand-in.
#include "platform/audio.h"

namespace audio {
bool init(int, uint32_t, uint32_t) { return false; }
bool setVolume(uint32_t) { return true; }
uint32_t musicLoad(bool, const char*, uint64_t, uint32_t, uint32_t) { return 0; }
bool musicPlay(uint32_t) { return false; }
bool start() { return false; }
bool musicSetPositionScaler(uint32_t, uint32_t) { return false; }
bool musicPlayEx(uint32_t, uint32_t, int, bool) { return false; }
bool channelSetPosition(uint32_t, uint64_t) { return false; }
bool update() { return false; }
uint64_t channelGetPosition(uint32_t) { return 0; }
bool free() { return true; }
}  // namespace audio
