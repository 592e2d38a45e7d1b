// Built instead of pulse_output.cpp when libpulse is not there: no server stream can be opened, so
// the live output always takes SDL's audio and counts only what SDL still holds.
#include "platform/pulse_output.h"

namespace pulse_output {

bool open(uint32_t, audio_output::MixFunction) { return false; }
void close() {}
bool isOpen() { return false; }
void lock() {}
void unlock() {}
uint64_t framesHeard(uint64_t) { return 0; }
double latencyMs() { return -1.0; }
bool lost() { return false; }

}  // namespace pulse_output
