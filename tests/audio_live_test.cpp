// Tests of the audio stand-in on the live back end: SDL's disk audio driver writes what it plays
// to a file, so the reported position can be held against the frames played so far.
#include "support/audio_test_modules.h"
#include "music/music_player.h"
#include "music/mixer.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <vector>
#include <unistd.h>

using audio_test::rowFrames;

namespace {

constexpr int64_t bufferFrames = 1024;
constexpr int rowsPerOrder = 16;

int64_t framesWritten(const std::string& file)
{
    struct stat info;
    return stat(file.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) / 4 : 0;
}

struct Sample {
    int64_t writtenBefore, writtenAfter;
    int rowIndex;  // order x 16 + row reported between the two
};

// Plays the held-tone module on the disk driver for about a second and checks each reported row
// against the frames the driver had written around the call, less `latencyMs`.
void checkPositionAgainstPlayed(const char* latencyMs)
{
    std::string module = audio_test::writeHeldToneModule("live", 4, rowsPerOrder);
    std::string file = testing::TempDir() + "audio_live_" + latencyMs + "_" + std::to_string(::getpid()) + ".raw";
    std::remove(file.c_str());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    setenv("PLOMVARDIX_AUDIO_LATENCY_MS", latencyMs, 1);
    int64_t latency = std::atoi(latencyMs) * 44100 / 1000;

    uint32_t handle = audio_test::openAndPlay(module);
    ASSERT_NE(handle, 0u);

    std::vector<Sample> samples;
    for (int i = 0; i < 60; ++i) {
        SDL_Delay(17);
        Sample sample;
        sample.writtenBefore = framesWritten(file);
        audio_test::Position at = audio_test::decode(audio::channelGetPosition(handle));
        sample.writtenAfter = framesWritten(file);
        sample.rowIndex = at.order * rowsPerOrder + at.row;
        samples.push_back(sample);
    }
    audio::free();

    // The module starts where the silence before it ends.
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    const int16_t* frames = reinterpret_cast<const int16_t*>(bytes.data());
    int64_t start = -1;
    for (int64_t i = 0; i < static_cast<int64_t>(bytes.size() / 4) && start < 0; ++i)
        if (std::abs(frames[2 * i]) > 100)
            start = i;
    ASSERT_GE(start, 0);
    start -= 16;  // the tone ramps in over a few frames

    int later = 0;
    for (const Sample& sample : samples) {
        // The frame heard is within the buffer handed over last; the file may lag behind the driver
        // by its stdio buffer, and the tone's first frames are found a little late.
        int64_t lowest = sample.writtenBefore - 2 * bufferFrames - latency - start;
        int64_t highest = sample.writtenAfter + 3 * bufferFrames - latency - start;
        int lowestRow = lowest < 0 ? 0 : static_cast<int>(lowest / rowFrames);
        int highestRow = highest < 0 ? 0 : static_cast<int>(highest / rowFrames);
        EXPECT_GE(sample.rowIndex, lowestRow) << "written " << sample.writtenBefore;
        EXPECT_LE(sample.rowIndex, highestRow) << "written " << sample.writtenAfter;
        later += sample.rowIndex > 0;
    }
    EXPECT_GT(later, 0);  // it did move
}

TEST(LiveAudio, ReportsWhatTheDeviceHasPlayed)
{
    checkPositionAgainstPlayed("0");
}

TEST(LiveAudio, AddsTheConfiguredLatency)
{
    checkPositionAgainstPlayed("250");
}

TEST(LiveAudio, DummyDeviceOpensAndSeeksAtOnce)
{
    std::string module = audio_test::writeHeldToneModule("dummy", 4, rowsPerOrder);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    uint32_t handle = audio_test::openAndPlay(module);
    SDL_Delay(30);
    ASSERT_TRUE(audio::channelSetPosition(handle, 5u << 16 | 3u));
    EXPECT_EQ(static_cast<uint32_t>(audio::channelGetPosition(handle)), (5u * 12) << 16 | 3u);
    EXPECT_FALSE(audio::channelSetPosition(handle, 4));
    EXPECT_TRUE(audio::free());
}

// A latency offset that is no number of milliseconds in range is said once, with what is used.
TEST(LiveAudio, ABadLatencyOffsetIsSaidOnceWithWhatIsUsed)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const struct {
        const char* text;
        const char* used;  // null: accepted silently
    } cases[] = {{"abc", "; 0 is used"}, {"-5", "; 0 is used"}, {"99999", "; 2000 is used"},
                 {"1e9", "; 2000 is used"}, {"250", nullptr}};
    for (const auto& c : cases) {
        setenv("PLOMVARDIX_AUDIO_LATENCY_MS", c.text, 1);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(audio::init(44100));
        audio::free();
        std::string said = testing::internal::GetCapturedStderr();
        if (c.used == nullptr) {
            EXPECT_EQ(said, "") << c.text;
            continue;
        }
        EXPECT_NE(said.find(std::string("PLOMVARDIX_AUDIO_LATENCY_MS=") + c.text), std::string::npos) << said;
        EXPECT_NE(said.find(c.used), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
    unsetenv("PLOMVARDIX_AUDIO_LATENCY_MS");
}

TEST(LiveAudio, NoDeviceMeansInitFails)
{
    setenv("SDL_AUDIODRIVER", "plomvardix-no-such-driver", 1);
    EXPECT_FALSE(audio::init(44100));
    EXPECT_EQ(music.init(), -1);
    EXPECT_EQ(audio::musicLoad("data/glimo.it"), 0u);
}

}  // namespace
