// The live audio output on PipeWire: a playback stream of the demo's own, fed from a PipeWire thread
// loop, whose heard position is the graph's own time for that stream (pw_stream_get_time: what the
// graph has taken, less what its converter holds and the delay to the sink, carried forward from
// the graph's last cycle on the monotonic clock). Should the server go away mid-run, the position
// goes on from where it was on the real clock, and the music is mixed (and dropped) at that pace.
#pragma once
#include "platform/audio_output.h"

#include <cstdint>

namespace pipewire_output {

// Connects to the PipeWire daemon (PIPEWIRE_REMOTE, or the default one in XDG_RUNTIME_DIR) and starts
// the stream; false within a bounded time when there is no daemon or the stream is never linked.
bool open(uint32_t rate, audio_output::MixFunction mix);
void close();
bool isOpen();

void lock();
void unlock();

// Frames heard so far, less `offset`; never moves back, never beyond the frames mixed. Call locked.
uint64_t framesHeard(uint64_t offset);

// Written but not yet heard, in milliseconds; negative when unknown. Call locked.
double latencyMs();

// Whether the server went away after the stream started.
bool lost();

}  // namespace pipewire_output
