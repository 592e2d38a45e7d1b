#pragma once
// The soundtrack's instruments, synthesised from scratch at 44100 Hz into 16-bit mono samples.
#include "it_writer.h"

#include <cstdint>

namespace forge::synth {

constexpr int kRate = 44100;

// Fixed-seed xorshift generator: the same noise on every run.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    uint32_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    double uniform() { return double(next()) / 4294967296.0; } // 0..1
    double bipolar() { return uniform() * 2.0 - 1.0; } // -1..1

private:
    uint32_t state_;
};

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
