// The live output's model of what is heard: frames delivered, less what of the last buffer is
// still queued at the device's pace, less the server's latency and the manual offset. Times are
// frames, so no clock is involved.
#include "platform/heard_clock.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t buffer = 1024;

TEST(HeardClock, NothingHeardBeforeTheFirstBuffer)
{
    HeardClock clock;
    EXPECT_EQ(clock.heard(5000), 0u);
    clock.setServerLatency(900);
    clock.handOver(buffer, 100);
    // Less latency than frames delivered, not an underflow.
    EXPECT_EQ(clock.heard(100), 0u);
    EXPECT_EQ(clock.heard(100 + buffer), 124u);
}

TEST(HeardClock, ABufferLeavesAtTheDevicePaceAndNoFurther)
{
    HeardClock clock;
    // Steady: a buffer handed over every buffer's duration.
    for (uint64_t k = 0; k < 4; ++k)
        clock.handOver(buffer, k * buffer);
    uint64_t handed = 3 * buffer;
    EXPECT_EQ(clock.framesDelivered(), 4 * buffer);
    EXPECT_EQ(clock.stillQueued(handed), buffer);
    EXPECT_EQ(clock.heard(handed), 3 * buffer);          // the new buffer's first frame
    EXPECT_EQ(clock.heard(handed + 300), 3 * buffer + 300);
    // A late callback: what was delivered has all left, and the position waits there.
    EXPECT_EQ(clock.heard(handed + 5 * buffer), 4 * buffer);
    EXPECT_EQ(clock.stillQueued(handed + 5 * buffer), 0u);
}

TEST(HeardClock, ServerLatencyAndOffsetAreSubtracted)
{
    HeardClock clock;
    clock.setServerLatency(700);  // queued in the server plus the sink's own delay
    clock.setManualOffset(44);    // PLOMVARDIX_AUDIO_LATENCY_MS
    for (uint64_t k = 0; k < 3; ++k)
        clock.handOver(buffer, k * buffer);
    // Without them, 200 frames into the third buffer would be heard (as above).
    EXPECT_EQ(clock.heard(2 * buffer + 200), 2 * buffer + 200 - 744);
}

TEST(HeardClock, NeverMovesBackWhenTheLatencyGrows)
{
    HeardClock clock;
    clock.handOver(buffer, 0);
    clock.handOver(buffer, buffer);
    uint64_t before = clock.heard(buffer + 500);
    clock.setServerLatency(400);   // learned later, larger
    EXPECT_EQ(clock.heard(buffer + 600), before);
    EXPECT_EQ(clock.heard(buffer + 1000), buffer + 600);
}

}  // namespace
