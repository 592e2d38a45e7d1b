// The program's one pseudo-random sequence: a fixed linear congruential generator, never seeded,
// so every run on every platform draws the same numbers in the same order of calls.
#include "render/random.h"

#include <cstdint>

static uint32_t state = 1;

int nextRandom()
{
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

float randomFloat()
{
    // The float nearest to 1/32767, kept in single precision.
    const float scale = 3.0518509447574615e-05f;
    return static_cast<float>(nextRandom()) * scale;
}
