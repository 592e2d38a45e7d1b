// Tests of the music player over a fake audio library: the calls it makes and how it reads and
// writes the position word.
#include "music/music_player.h"
#include "music/mixer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct FakeAudio {
    bool initSucceeds = true;
    uint32_t loadResult = 7;
    uint64_t reportedPosition = 0;
    std::vector<std::string> calls;
    uint64_t lastSetPosition = 0;
};
FakeAudio fake;

}  // namespace

namespace audio {
bool init(uint32_t frequency)
{
    fake.calls.push_back("init " + std::to_string(frequency));
    return fake.initSucceeds;
}
bool setVolume(uint32_t volume)
{
    fake.calls.push_back("setVolume " + std::to_string(volume));
    return true;
}
uint32_t musicLoad(const char* path)
{
    fake.calls.push_back(std::string("musicLoad ") + path);
    return fake.loadResult;
}
bool musicPlay(uint32_t handle)
{
    fake.calls.push_back("musicPlay " + std::to_string(handle));
    return true;
}
bool start()
{
    fake.calls.push_back("start");
    return true;
}
bool musicSetPositionScaler(uint32_t handle, uint32_t scaler)
{
    fake.calls.push_back("musicSetPositionScaler " + std::to_string(handle) + " " + std::to_string(scaler));
    return true;
}
bool musicPlayEx(uint32_t handle, uint32_t position)
{
    fake.calls.push_back("musicPlayEx " + std::to_string(handle) + " " + std::to_string(position));
    return true;
}
bool channelSetPosition(uint32_t, uint64_t position)
{
    fake.lastSetPosition = position;
    return true;
}
bool update()
{
    fake.calls.push_back("update");
    return true;
}
uint64_t channelGetPosition(uint32_t)
{
    return fake.reportedPosition;
}
bool free()
{
    fake.calls.push_back("free");
    return true;
}
}  // namespace audio

namespace {

class MusicPlayerTest : public testing::Test {
protected:
    void SetUp() override
    {
        fake = FakeAudio();
        player = MusicPlayer();
    }
    MusicPlayer player{};
};

TEST_F(MusicPlayerTest, ReadsTheRowFromTwelfthsAndTheOrderFromTheLowHalf)
{
    ASSERT_EQ(player.init(), 0);
    player.load("data/glimo.it");
    player.start();
    struct Case {
        uint32_t high, order;
        int row;
    };
    for (Case c : {Case{23, 5, 1}, Case{24, 5, 2}, Case{11, 0, 0}, Case{12, 39, 1}, Case{127 * 12 + 11, 38, 127}}) {
        fake.reportedPosition = 0xABCD000000000000ull | (c.high << 16 | c.order);  // high 32 bits unused
        player.update();
        EXPECT_EQ(player.row(), c.row) << c.high;
        EXPECT_EQ(player.order(), static_cast<int>(c.order)) << c.high;
    }
}

TEST_F(MusicPlayerTest, WritesThePlainRowAndWidensTheWordAsSigned)
{
    player.init();
    player.load("data/glimo.it");
    player.setPosition(6, 0);
    EXPECT_EQ(fake.lastSetPosition, 6u);
    player.setPosition(0x10003, 17);  // the order keeps its low 16 bits
    EXPECT_EQ(fake.lastSetPosition, 17u << 16 | 3u);
    player.setPosition(40, 0x8001);
    EXPECT_EQ(fake.lastSetPosition, 0xFFFFFFFF80010028ull);
}

TEST_F(MusicPlayerTest, MakesTheCallsInOrder)
{
    ASSERT_EQ(player.init(), 0);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.load("data/glimo.it"), 7u);
    player.start();
    EXPECT_TRUE(player.isPlaying());
    player.update();
    player.close();
    std::vector<std::string> expected = {
        "init 44100", "setVolume 100", "musicLoad data/glimo.it", "musicPlay 7", "start",
        "musicSetPositionScaler 7 12", "musicPlayEx 7 0", "update", "free",
    };
    EXPECT_EQ(fake.calls, expected);
}

TEST_F(MusicPlayerTest, FailuresOfTheLibrary)
{
    fake.initSucceeds = false;
    EXPECT_EQ(player.init(), -1);
    EXPECT_EQ(fake.calls, std::vector<std::string>{"init 44100"});

    fake.initSucceeds = true;
    fake.loadResult = 0;
    player.init();
    EXPECT_EQ(player.load("data/glimo.it"), 0u);
    EXPECT_EQ(player.handle, 0u);
    EXPECT_EQ(fake.calls.back().rfind("musicLoad", 0), 0u);  // nothing played
}

}  // namespace
