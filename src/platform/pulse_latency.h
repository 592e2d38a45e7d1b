// The sound server's share of the live audio latency. On PulseAudio (and PipeWire, which serves the
// same interface) the server can tell how much of this process's playback stream it still holds
// and how far its sink plays behind; SDL cannot. Asked from a connection of our own, on a thread of
// its own, every few milliseconds while the output is open.
#pragma once
#include <cstdint>

namespace pulse_latency {

// Starts asking, unless SDL plays through something other than PulseAudio.
void start(uint32_t rate);
// The stream's latency (queued in the server plus the sink's own) in frames, the mean of the last
// quarter second; 0 until known or where it cannot be learned.
uint64_t meanFrames();
// Ends the asking thread.
void stop();

}  // namespace pulse_latency
