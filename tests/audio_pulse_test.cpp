// The live audio output on a real PulseAudio server (started by tests/audio_pulse_e2e.sh with a
// null sink): SDL plays through it, the server's latency is learned from it, and the position
// read with that latency counted still moves forward row by row and never back.
#include "support/audio_test_modules.h"
#include "music/mixer.h"
#include "platform/pulse_latency.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int rowsPerOrder = 16;

TEST(PulseAudio, TheServersLatencyIsLearnedAndThePositionMovesOn)
{
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "run through audio_pulse_e2e.sh";
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    unsetenv("PLOMVARDIX_AUDIO_LATENCY_MS");
    std::string module = audio_test::writeHeldToneModule("pulse", 8, rowsPerOrder);

    ASSERT_TRUE(audio::init(44100));
    ASSERT_STREQ(SDL_GetCurrentAudioDriver(), "pulseaudio");
    uint32_t handle = audio::musicLoad(module.c_str());
    ASSERT_NE(handle, 0u);
    audio::musicSetPositionScaler(handle, 12);
    audio::musicPlayEx(handle, 0);

    // A generous bound, only against hanging: the figure comes within a few milliseconds.
    bool learned = false;
    for (int i = 0; i < 2000 && !learned; ++i) {
        learned = pulse_latency::meanFrames() > 0;
        SDL_Delay(10);
    }
    EXPECT_TRUE(learned) << "no latency from the server";

    // The server starts with about a second queued; the position waits for it to be heard.
    int last = -1;
    int changes = 0;
    for (int i = 0; i < 3000 && changes < 4; ++i) {
        audio_test::Position at = audio_test::decode(audio::channelGetPosition(handle));
        int index = at.order * rowsPerOrder + at.row;
        EXPECT_GE(index, last) << "the position moved back";
        changes += index != last;
        last = index;
        SDL_Delay(10);
    }
    EXPECT_GE(changes, 4) << "the position did not move";
    std::printf("server latency learned: %.1f ms\n", pulse_latency::meanFrames() * 1000.0 / 44100);
    EXPECT_TRUE(audio::free());
}

}  // namespace
