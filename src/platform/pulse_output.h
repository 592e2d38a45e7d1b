// The live audio output on a PulseAudio server (or PipeWire's PulseAudio service): a playback
// stream of the demo's own, fed from the server's threaded main loop, whose heard position is the
// server's own clock for that stream (pa_stream_get_time, interpolated between its timing updates).
// Should the server go away mid-run, the position goes on from where it was on the real clock,
// and the music is mixed (and dropped) at that pace, so the pictures keep following it.
#pragma once
#include "platform/audio_output.h"

#include <cstdint>

namespace pulse_output {

// Connects and starts the stream; false at once when there is no such server to be had.
bool open(uint32_t rate, audio_output::MixFunction mix);
void close();
bool isOpen();

void lock();
void unlock();

// Frames heard so far, less `offset`; never moves back, never beyond the frames mixed. Call locked.
uint64_t framesHeard(uint64_t offset);

// The stream's latency as the server reports it now (written but not yet heard), in milliseconds;
// negative when unknown. Call locked.
double latencyMs();

// Whether the server went away after the stream started.
bool lost();

}  // namespace pulse_output
