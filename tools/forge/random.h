// The forge's one generator, xorshift32 with fixed seeds: the same noise and pictures on every run.
// The forge never uses the C library's rand.
#pragma once
#include <cstdint>

namespace forge {

class Random {
public:
    explicit Random(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    double uniform() { return double(next()) / 4294967296.0; } // [0, 1)
    double bipolar() { return uniform() * 2.0 - 1.0; } // [-1, 1)
    float uniformFloat() { return float(next() >> 8) * (1.0f / 16777216.0f); } // [0, 1), 24 bits

private:
    uint32_t state;
};

} // namespace forge
