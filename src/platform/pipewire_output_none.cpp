// Built instead of pipewire_output.cpp when libpipewire is not there: no PipeWire stream can be opened, so
// the live output takes a PulseAudio stream or SDL's audio.
#include "platform/pipewire_output.h"

namespace pipewire_output {

bool open(uint32_t, audio_output::MixFunction) { return false; }
void close() {}
bool isOpen() { return false; }
void lock() {}
void unlock() {}
uint64_t framesHeard(uint64_t) { return 0; }
double latencyMs() { return -1.0; }
bool lost() { return false; }

}  // namespace pipewire_output
