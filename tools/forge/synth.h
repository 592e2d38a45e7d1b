#pragma once
// The soundtrack's instruments, synthesised from scratch at 44100 Hz into 16-bit mono samples.
#include "it_writer.h"
#include "random.h"

#include <cstdint>

namespace forge::synth {

constexpr int sampleRate = 44100;

// Drums and effects, played at C-5 at their own pitch.
it::Sample kick();
it::Sample snare();
it::Sample clap();
it::Sample closedHat();
it::Sample openHat();
it::Sample crash();
it::Sample boom();
it::Sample tom();
it::Sample riser(double seconds, uint32_t seed);

// Pitched voices tuned so that note n sounds at 440 * 2^((n - 69) / 12) Hz (C-5 = middle C).
it::Sample bass();
it::Sample pad();
it::Sample lead();
it::Sample pluck();

} // namespace forge::synth
