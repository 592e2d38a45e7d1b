// The live audio output on a real sound server (PulseAudio, or PipeWire, started by
// tests/audio_pulse_e2e.sh with a null sink; PLOMVARDIX_TEST_OUTPUT names the output expected,
// "pulse" or "pipewire"): the demo's own stream plays, the position read from the server's clock
// moves forward row by row and never back, and when the server is killed
// (PLOMVARDIX_TEST_SERVER_PID) it goes on moving by the clock the demo still has. A fresh null sink
// reports a second and more of latency at first, which the position waits out.
#include "support/audio_test_modules.h"
#include "music/mixer.h"
#include "platform/audio_output.h"
#include "platform/pipewire_output.h"
#include "platform/pulse_output.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int rowsPerOrder = 16;

struct Output {
    bool (*isOpen)();
    double (*latencyMs)();
    bool (*lost)();
};

// Waits (bounded, against hanging only) for `count` row changes; none may go back.
int rowChanges(uint32_t handle, int count)
{
    int last = -1;
    int changes = -1;
    for (int i = 0; i < 3000 && changes < count; ++i) {
        audio_test::Position at = audio_test::decode(audio::channelGetPosition(handle));
        int index = at.order * rowsPerOrder + at.row;
        EXPECT_GE(index, last) << "the position moved back";
        changes += index != last;
        last = index;
        SDL_Delay(10);
    }
    return changes;
}

TEST(SoundServer, TheStreamsClockMovesThePositionAndOutlivesTheServer)
{
    const char* expected = std::getenv("PLOMVARDIX_TEST_OUTPUT");
    ASSERT_NE(expected, nullptr) << "run through audio_pulse_e2e.sh";
    Output output = {pulse_output::isOpen, pulse_output::latencyMs, pulse_output::lost};
    if (std::strcmp(expected, "pipewire") == 0)
        output = {pipewire_output::isOpen, pipewire_output::latencyMs, pipewire_output::lost};
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("PLOMVARDIX_AUDIO_LATENCY_MS");
    std::string module = audio_test::writeHeldToneModule("pulse", 40, rowsPerOrder);

    ASSERT_TRUE(audio::init(44100));
    ASSERT_TRUE(output.isOpen()) << "the output is not a " << expected << " stream on the server";
    uint32_t handle = audio::musicLoad(module.c_str());
    ASSERT_NE(handle, 0u);
    audio::musicSetPositionScaler(handle, 12);
    audio::musicPlayEx(handle, 0);

    EXPECT_GE(rowChanges(handle, 4), 4) << "the position did not move";
    double latency = -1;
    for (int i = 0; i < 1000 && latency <= 0; ++i) {
        audio_output::lock();
        latency = output.latencyMs();
        audio_output::unlock();
        SDL_Delay(10);
    }
    EXPECT_GT(latency, 0) << "the server gave no timing for the stream";
    EXPECT_LT(latency, 500);
    std::printf("stream latency: %.1f ms\n", latency);

    if (const char* pid = std::getenv("PLOMVARDIX_TEST_SERVER_PID")) {
        ASSERT_EQ(kill(std::atoi(pid), SIGKILL), 0);
        for (int i = 0; i < 500 && !output.lost(); ++i)
            SDL_Delay(10);
        EXPECT_TRUE(output.lost()) << "the server's end was not noticed";
        EXPECT_GE(rowChanges(handle, 4), 4) << "the position stopped with the server";
    }
    EXPECT_TRUE(audio::free());
}

}  // namespace
