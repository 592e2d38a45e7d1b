// The program's one random sequence, checked from the very first call of the process: this file
// is its own test program so that nothing else draws before it.
#include "render/random.h"

#include <gtest/gtest.h>

TEST(Random, FixedSequenceSharedByBothFunctions)
{
    // First call of all: the float form of the first value.
    EXPECT_FLOAT_EQ(randomFloat(), 41 * 3.0518509447574615e-05f);

    // The float took 41, so the integers continue with the second value onwards.
    EXPECT_EQ(nextRandom(), 18467);
    EXPECT_EQ(nextRandom(), 6334);
    EXPECT_EQ(nextRandom(), 26500);
    EXPECT_EQ(nextRandom(), 19169);

    // A float between two integers shifts every later integer by one place.
    float between = randomFloat();
    EXPECT_FLOAT_EQ(between, 15724 * 3.0518509447574615e-05f);
    EXPECT_EQ(nextRandom(), 11478);
}

TEST(Random, Range)
{
    for (int i = 0; i < 100000; i++) {
        int v = nextRandom();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}
