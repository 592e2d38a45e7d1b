// Small Impulse Tracker modules for the audio tests, written with the forge's writer: one looped
// tone struck on the first row and held, rows of a fixed length.
#pragma once
#include "it_writer.h"
#include "music/mixer.h"
#include "write_file.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

namespace audio_test {

// Speed 3 at tempo 125 at 44100 Hz: three ticks of 882 frames.
constexpr int rowFrames = 2646;

// `orders` orders of `rows` rows, each order its own pattern; the tone starts at order 0, row 0 and
// never stops, so every row sounds and a seek that cuts notes leaves silence.
inline std::string writeHeldToneModule(const std::string& name, int orders, int rows)
{
    forge::it::Module module;
    module.name = name;
    module.speed = 3;
    module.tempo = 125;
    forge::it::Sample tone;
    tone.name = "tone";
    for (int i = 0; i < 100; ++i)
        tone.frames.push_back(i < 50 ? 12000 : -12000);
    tone.loop = true;
    tone.loopBegin = 0;
    tone.loopEnd = 100;
    module.samples.push_back(tone);
    for (int order = 0; order < orders; ++order) {
        forge::it::Pattern pattern(rows, 1);
        if (order == 0) {
            pattern.at(0, 0).note = 60;
            pattern.at(0, 0).instrument = 1;
        }
        module.patterns.push_back(pattern);
        module.orders.push_back(static_cast<uint8_t>(order));
    }
    std::string path = testing::TempDir() + name + "_" + std::to_string(::getpid()) + ".it";
    EXPECT_EQ(forge::it::validate(module), "");
    EXPECT_TRUE(forge::writeFile(path, forge::it::serialise(module)));
    return path;
}

struct Position {
    int order;
    int row;
    int twelfths;
};

inline Position decode(uint64_t word)
{
    uint32_t low = static_cast<uint32_t>(word);
    return {static_cast<int>(low & 0xFFFF), static_cast<int>((low >> 16) / 12), static_cast<int>((low >> 16) % 12)};
}

// Opens the audio as the music player does and plays `path` from order 0; returns the handle.
inline uint32_t openAndPlay(const std::string& path)
{
    EXPECT_TRUE(audio::init(44100));
    uint32_t handle = audio::musicLoad(path.c_str());
    EXPECT_NE(handle, 0u);
    EXPECT_TRUE(audio::musicSetPositionScaler(handle, 12));
    EXPECT_TRUE(audio::musicPlayEx(handle, 0));
    return handle;
}

}  // namespace audio_test
