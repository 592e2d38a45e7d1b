// Tests of the audio stand-in on the offline back end: frames in lockstep with the virtual clock,
// the position word of the row being heard, seeking, and the end of the song.
#include "music/mixer.h"
#include "support/audio_test_modules.h"
#include "platform/audio_offline.h"
#include "platform/offline.h"
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

using audio_test::decode;
using audio_test::openAndPlay;
using audio_test::rowFrames;

namespace {

std::vector<int16_t> heard;  // every frame the sink got, interleaved stereo
uint32_t sinkRate = 0;

void collect(const int16_t* stereo, uint32_t frames, uint32_t rate)
{
    heard.insert(heard.end(), stereo, stereo + 2 * frames);
    sinkRate = rate;
}

uint64_t framesAtClock()
{
    return offline::clockMicroseconds() * 44100 / 1000000;
}

int peak(uint64_t from, uint64_t to)
{
    int result = 0;
    for (uint64_t i = 2 * from; i < 2 * to && i < heard.size(); ++i)
        result = std::max(result, std::abs(static_cast<int>(heard[i])));
    return result;
}

double meanSquare(uint64_t from, uint64_t to)
{
    double sum = 0;
    for (uint64_t i = 2 * from; i < 2 * to; ++i)
        sum += static_cast<double>(heard[i]) * heard[i];
    return sum / static_cast<double>(2 * (to - from));
}

class OfflineAudio : public testing::Test {
protected:
    void SetUp() override
    {
        offline::reset();
        heard.clear();
        offline::setAudioSink(collect);
    }
    void TearDown() override
    {
        audio::free();
        offline::setAudioSink(nullptr);
        offline::reset();
    }
};

TEST_F(OfflineAudio, RendersExactlyTheFramesOfTheVirtualClock)
{
    std::string path = audio_test::writeHeldToneModule("clock", 4, 16);
    offline::setFramesPerSecond(60);
    platform::sleep(7);  // before the audio opens: silence, but heard all the same
    EXPECT_EQ(offline::audioFramesHeard(), 0u);
    openAndPlay(path);
    EXPECT_EQ(heard.size(), 2 * framesAtClock());

    for (int step = 0; step < 600; ++step) {
        if (step % 3 == 2)
            platform::sleep(static_cast<uint32_t>(step % 7));
        else
            platform::swapBuffers();
        ASSERT_EQ(heard.size(), 2 * framesAtClock()) << "step " << step;
        ASSERT_EQ(offline::audioFramesHeard(), framesAtClock());
    }
    EXPECT_EQ(sinkRate, 44100u);
    EXPECT_EQ(peak(0, 7 * 441 / 10), 0);
    EXPECT_GT(peak(7 * 441 / 10, heard.size() / 2), 1000);
}

TEST_F(OfflineAudio, ReportsTheRowBeingHeardWithItsTwelfths)
{
    std::string path = audio_test::writeHeldToneModule("rows", 4, 16);
    platform::sleep(3);
    uint32_t handle = openAndPlay(path);
    uint64_t start = framesAtClock();  // the first frame of order 0, row 0
    EXPECT_EQ(audio::channelGetPosition(handle), 0u);

    for (int step = 0; step < 700; ++step) {
        platform::sleep(step % 2 ? 4 : 5);
        uint64_t into = framesAtClock() - start - 1;  // the last frame heard
        int rowIndex = static_cast<int>(into / rowFrames);
        if (rowIndex >= 64)
            break;
        audio_test::Position at = decode(audio::channelGetPosition(handle));
        ASSERT_EQ(at.order, rowIndex / 16) << "step " << step;
        ASSERT_EQ(at.row, rowIndex % 16) << "step " << step;
        // The record places a row start at most one mixing chunk (32 frames) early.
        int fromStart = static_cast<int>(into % rowFrames) + 1;
        int lowest = std::min(11, fromStart * 12 / rowFrames);
        int highest = std::min(11, (fromStart + 32) * 12 / rowFrames);
        ASSERT_GE(at.twelfths, lowest) << "step " << step;
        ASSERT_LE(at.twelfths, highest) << "step " << step;
    }

    // Without the scaler the high half is the plain row.
    ASSERT_TRUE(audio::musicSetPositionScaler(handle, 1));
    platform::sleep(1);
    uint64_t into = framesAtClock() - start - 1;
    uint32_t word = static_cast<uint32_t>(audio::channelGetPosition(handle));
    EXPECT_EQ(word >> 16, (into / rowFrames) % 16);
}

TEST_F(OfflineAudio, SetPositionMovesAtOnceAndKeepsNotesSounding)
{
    std::string path = audio_test::writeHeldToneModule("seek", 4, 16);
    uint32_t handle = openAndPlay(path);
    platform::sleep(100);
    EXPECT_EQ(decode(audio::channelGetPosition(handle)).row, 1);

    // Reported at once, before a single frame of the new place is heard.
    ASSERT_TRUE(audio::channelSetPosition(handle, 8u << 16 | 2u));
    EXPECT_EQ(static_cast<uint32_t>(audio::channelGetPosition(handle)), (8u * 12) << 16 | 2u);
    uint64_t seekFrame = framesAtClock();
    platform::sleep(2);
    // The tone struck at order 0 goes on sounding through the seek.
    EXPECT_GT(peak(seekFrame, seekFrame + 88), 1000);
    platform::sleep(60);
    audio_test::Position after = decode(audio::channelGetPosition(handle));
    EXPECT_EQ(after.order, 2);
    EXPECT_EQ(after.row, 9);

    // Past the last order, or past the pattern's rows: ignored, playback goes on where it was.
    EXPECT_FALSE(audio::channelSetPosition(handle, 4));
    EXPECT_FALSE(audio::channelSetPosition(handle, 16u << 16 | 3u));
    EXPECT_FALSE(audio::channelSetPosition(handle + 1, 1));
    platform::sleep(60);
    after = decode(audio::channelGetPosition(handle));
    EXPECT_EQ(after.order, 2);
    EXPECT_EQ(after.row, 10);

    // The same seek through libopenmpt's default would cut the tone: the module does test the ctl.
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    // Dither off, or its noise would pass for sound.
    const openmpt_module_initial_ctl noDither[] = {{"dither", "0"}, {nullptr, nullptr}};
    openmpt_module* plain = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), nullptr, nullptr,
                                                               nullptr, nullptr, nullptr, nullptr, noDither);
    ASSERT_NE(plain, nullptr);
    int16_t frames[2 * 2000];
    openmpt_module_read_interleaved_stereo(plain, 44100, 2000, frames);
    openmpt_module_set_position_order_row(plain, 2, 8);
    openmpt_module_read_interleaved_stereo(plain, 44100, 88, frames);
    int plainPeak = 0;
    for (int i = 0; i < 2 * 88; ++i)
        plainPeak = std::max(plainPeak, std::abs(static_cast<int>(frames[i])));
    EXPECT_EQ(plainPeak, 0);
    openmpt_module_destroy(plain);
}

TEST_F(OfflineAudio, EndOfTheSongStopsThereWithoutFade)
{
    std::string path = audio_test::writeHeldToneModule("end", 2, 8);
    uint32_t handle = openAndPlay(path);
    uint64_t start = framesAtClock();
    uint64_t end = start + 16 * rowFrames;
    bool sawOrderOne = false;
    for (int step = 0; step < 150; ++step) {
        platform::sleep(10);
        audio_test::Position at = decode(audio::channelGetPosition(handle));
        if (sawOrderOne) {
            ASSERT_EQ(at.order, 1) << "step " << step;
        }
        sawOrderOne = at.order == 1;
    }
    EXPECT_EQ(static_cast<uint32_t>(audio::channelGetPosition(handle)), (7u * 12 + 11) << 16 | 1u);
    // Full level up to the last row's end, then silence.
    double first = meanSquare(start + 200, start + rowFrames);
    double last = meanSquare(end - rowFrames, end - 200);
    EXPECT_GT(first, 1e6);
    EXPECT_NEAR(last / first, 1.0, 0.1);
    EXPECT_EQ(peak(end + 32, heard.size() / 2), 0);

    // A seek plays again from there.
    ASSERT_TRUE(audio::channelSetPosition(handle, 4u << 16 | 1u));
    platform::sleep(30);
    EXPECT_EQ(decode(audio::channelGetPosition(handle)).row, 4);
}

TEST_F(OfflineAudio, InitAgainAfterTheBackEndWasResetPlaysAgain)
{
    std::string path = audio_test::writeHeldToneModule("again", 4, 16);
    uint32_t handle = openAndPlay(path);
    platform::sleep(100);
    offline::reset();  // drops the clock listener, as between two runs of the demo
    heard.clear();
    handle = openAndPlay(path);
    platform::sleep(100);
    EXPECT_EQ(heard.size(), 2 * framesAtClock());
    EXPECT_EQ(decode(audio::channelGetPosition(handle)).row, 1);
}

// Captures are compared between runs, so nothing random (no dither) may reach the samples.
TEST_F(OfflineAudio, TheSameRunGivesTheSameSamples)
{
    std::string path = audio_test::writeHeldToneModule("same", 4, 16);
    std::vector<int16_t> first;
    for (int run = 0; run < 2; ++run) {
        offline::reset();
        heard.clear();
        uint32_t handle = openAndPlay(path);
        platform::sleep(300);
        audio::channelSetPosition(handle, 2u << 16 | 1u);
        platform::sleep(300);
        audio::free();
        if (run == 0)
            first = heard;
    }
    ASSERT_EQ(heard.size(), first.size());
    EXPECT_GT(peak(0, heard.size() / 2), 1000);
    EXPECT_TRUE(heard == first);
}

TEST_F(OfflineAudio, HarmlessWithoutAModule)
{
    EXPECT_EQ(audio::musicLoad("data/glimo.it"), 0u);  // not initialised
    ASSERT_TRUE(audio::init(44100));
    EXPECT_EQ(audio::musicLoad("no/such/module.it"), 0u);
    EXPECT_FALSE(audio::musicPlay(0));
    EXPECT_FALSE(audio::channelSetPosition(0, 1));
    EXPECT_EQ(audio::channelGetPosition(0), 0u);
    platform::sleep(20);
    EXPECT_EQ(peak(0, heard.size() / 2), 0);
    EXPECT_EQ(heard.size(), 2 * framesAtClock());
    EXPECT_TRUE(audio::free());
    EXPECT_EQ(offline::audioFramesHeard(), 0u);
}

}  // namespace
