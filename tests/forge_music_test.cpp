// Tests of the Impulse Tracker writer and of the soundtrack it writes, played by libopenmpt and libxmp.
#include "composition.h"
#include "it_writer.h"
#include "soundtrack.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The build's data/ holds the forge's soundtrack.
constexpr const char* soundtrackPath = "data/glimo.it";

struct XmpModule {
    xmp_context context = xmp_create_context();
    bool loaded = false;
    explicit XmpModule(std::vector<uint8_t>& bytes)
    {
        loaded = xmp_load_module_from_memory(context, bytes.data(), long(bytes.size())) == 0;
    }
    ~XmpModule()
    {
        if (loaded)
            xmp_release_module(context);
        xmp_free_context(context);
    }
    xmp_module_info info()
    {
        xmp_module_info result{};
        xmp_get_module_info(context, &result);
        return result;
    }
    // libxmp counts the end marker in its length: the song is the orders before the first 255.
    int orders()
    {
        xmp_module* mod = info().mod;
        int n = 0;
        while (n < mod->len && mod->xxo[n] != 0xFF)
            ++n;
        return n;
    }
};

// A tiny module in instrument mode: a looped 16-bit sine with an envelope, two patterns, a note-off.
forge::it::Module smallModule()
{
    using namespace forge::it;
    Module module;
    module.name = "small";
    module.speed = 3;
    module.tempo = 125;
    Sample sine;
    sine.name = "sine";
    for (int i = 0; i < 441; ++i) // 441 frames at 44100 Hz: four whole cycles of 400 Hz
        sine.frames.push_back(int16_t(std::lround(12000.0 * std::sin(2.0 * M_PI * 4.0 * i / 441.0))));
    sine.loop = true;
    sine.loopBegin = 0;
    sine.loopEnd = 441;
    module.samples.push_back(sine);
    Instrument instrument;
    instrument.name = "tone";
    instrument.fadeOut = 64;
    instrument.volume.enabled = true;
    instrument.volume.sustain = true;
    instrument.volume.nodes = {{64, 0}, {48, 10}, {0, 40}};
    instrument.volume.sustainBegin = instrument.volume.sustainEnd = 1;
    module.instruments.push_back(instrument);
    for (int p = 0; p < 2; ++p) {
        Pattern pattern(p == 0 ? 128 : 32, 3);
        pattern.at(0, 0) = {uint8_t(60 + p), 1, 48, 0, 0};
        pattern.at(16, 0).note = noteOff;
        pattern.at(4, 2) = {67, 1, volumeNone, cmd('H'), 0x24};
        module.patterns.push_back(pattern);
    }
    module.orders = {0, 1, 0};
    return module;
}

} // namespace

TEST(ItWriter, SmallModuleReadsBackInBothPlayers)
{
    forge::it::Module module = smallModule();
    ASSERT_EQ(forge::it::validate(module), "");
    std::vector<uint8_t> bytes = forge::it::serialise(module);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, forge::it::serialise(module));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 4, "IMPM"));
    // The file ends with the sample data: libopenmpt would read anything after it as extensions.
    EXPECT_EQ(int16_t(bytes[bytes.size() - 2] | (bytes[bytes.size() - 1] << 8)), module.samples[0].frames.back());

    openmpt::module player(bytes);
    EXPECT_EQ(player.get_num_orders(), 3);
    EXPECT_EQ(player.get_num_instruments(), 1);
    EXPECT_EQ(player.get_num_samples(), 1);
    EXPECT_EQ(player.get_pattern_num_rows(0), 128);
    EXPECT_EQ(player.get_pattern_num_rows(1), 32);
    EXPECT_EQ(player.get_num_channels(), 3);
    EXPECT_EQ(player.get_metadata("type"), "it");
    // libopenmpt counts notes from 1.
    EXPECT_EQ(player.get_pattern_row_channel_command(1, 0, 0, openmpt::module::command_note), 62);
    EXPECT_EQ(player.get_pattern_row_channel_command(0, 16, 0, openmpt::module::command_note), 255);
    EXPECT_EQ(player.get_pattern_row_channel_command(0, 0, 0, openmpt::module::command_volume), 48);
    EXPECT_EQ(player.get_pattern_row_channel_command(0, 4, 2, openmpt::module::command_parameter), 0x24);
    EXPECT_NEAR(player.get_duration_seconds(), (128 + 32 + 128) * 0.06, 1e-6);

    XmpModule xmp(bytes);
    ASSERT_TRUE(xmp.loaded);
    xmp_module* mod = xmp.info().mod;
    EXPECT_EQ(xmp.orders(), 3);
    EXPECT_EQ(mod->ins, 1);
    EXPECT_EQ(mod->xxp[1]->rows, 32);
    EXPECT_EQ(mod->xxi[0].aei.npt, 3);
    EXPECT_EQ(mod->xxs[0].len, 441);
    EXPECT_EQ(mod->xxs[0].lpe, 441);
}

TEST(ItWriter, RejectsWhatThePlayersWouldNot)
{
    using forge::it::validate;
    forge::it::Module module = smallModule();
    module.globalVolume = 200;
    EXPECT_NE(validate(module), "");
    EXPECT_TRUE(forge::it::serialise(module).empty());
    module = smallModule();
    module.orders.push_back(7);
    EXPECT_NE(validate(module), "");
    module = smallModule();
    module.samples[0].loopEnd = 500;
    EXPECT_NE(validate(module), "");
    module = smallModule();
    module.patterns[0].at(1, 1).note = 253 - 1; // a fade value
    EXPECT_NE(validate(module), "");
    module = smallModule();
    module.instruments[0].volume.nodes[2].tick = 5;
    EXPECT_NE(validate(module), "");
}

TEST(Soundtrack, BothPlayersAgreeOnTheShapeAndLength)
{
    std::vector<uint8_t> bytes = readFile(soundtrackPath);
    openmpt::module player(bytes);
    XmpModule xmp(bytes);
    ASSERT_TRUE(xmp.loaded);
    xmp_module* mod = xmp.info().mod;

    // libopenmpt plays 40 orders of 128 rows (below); libxmp reads the same.
    ASSERT_EQ(xmp.orders(), 40);
    for (int order = 0; order < 40; ++order) {
        EXPECT_EQ(mod->xxo[order], player.get_order_pattern(order));
        EXPECT_EQ(mod->xxp[mod->xxo[order]]->rows, 128) << "order " << order;
    }

    double openmptSeconds = player.get_duration_seconds();
    xmp_start_player(xmp.context, 48000, 0);
    xmp_frame_info frame{};
    xmp_get_frame_info(xmp.context, &frame);
    double xmpSeconds = frame.total_time / 1000.0;
    xmp_end_player(xmp.context);
    EXPECT_NEAR(xmpSeconds, openmptSeconds, openmptSeconds * 0.01);

    // Eight rows to a beat at 55..65 ms a row.
    double row = openmptSeconds / (40 * 128);
    EXPECT_GE(row, 0.055);
    EXPECT_LE(row, 0.065);
    EXPECT_GT(openmptSeconds, 240.0);
}

// One full render at libopenmpt's defaults: every order and row in turn, the end after order 39,
// and per order the peak and the loudness.
TEST(Soundtrack, PlaysEveryRowOnceWithinLevels)
{
    std::vector<uint8_t> bytes = readFile(soundtrackPath);
    openmpt::module player(bytes);
    const int rate = 48000, block = 240; // 5 ms blocks, well under a row
    std::vector<float> buffer(2 * block);
    std::vector<double> peak(40, 0.0), energy(40, 0.0), frames(40, 0.0);
    int lastOrder = 0, lastRow = 0, rowsSeen = 1;
    bool inOrder = true;
    for (;;) {
        int order = player.get_current_order(), row = player.get_current_row();
        size_t got = player.read_interleaved_stereo(rate, block, buffer.data());
        if (got == 0)
            break;
        // After the last row libopenmpt fades out for a moment, reporting its restart point 0:0.
        if (lastOrder == 39 && lastRow == 127 && order == 0 && row == 0)
            break;
        if (order != lastOrder || row != lastRow) {
            bool next = (order == lastOrder && row == lastRow + 1) || (order == lastOrder + 1 && row == 0 && lastRow == 127);
            if (!next && inOrder)
                ADD_FAILURE() << "jumped from " << lastOrder << ":" << lastRow << " to " << order << ":" << row;
            inOrder = inOrder && next;
            lastOrder = order;
            lastRow = row;
            ++rowsSeen;
        }
        ASSERT_LT(order, 40);
        for (size_t i = 0; i < 2 * got; ++i) {
            double v = buffer[i];
            peak[size_t(order)] = std::max(peak[size_t(order)], std::fabs(v));
            energy[size_t(order)] += v * v;
        }
        frames[size_t(order)] += double(got);
    }
    EXPECT_EQ(rowsSeen, 40 * 128);
    EXPECT_EQ(lastOrder, 39);
    EXPECT_EQ(lastRow, 127);

    const double ceiling = std::pow(10.0, -0.5 / 20.0);
    for (int order = 0; order < 40; ++order) {
        double rms = std::sqrt(energy[size_t(order)] / (2.0 * std::max(frames[size_t(order)], 1.0)));
        double dbfs = 20.0 * std::log10(std::max(rms, 1e-9));
        std::printf("order %2d: peak %6.2f dBFS, loudness %6.2f dBFS\n", order,
            20.0 * std::log10(std::max(peak[size_t(order)], 1e-9)), dbfs);
        EXPECT_LT(peak[size_t(order)], ceiling) << "order " << order << " clips";
        // The last order is one hit dying away; every other order carries music.
        EXPECT_GT(dbfs, order == 39 ? -45.0 : -30.0) << "order " << order << " is too quiet";
        EXPECT_LT(dbfs, -6.0) << "order " << order << " is too loud";
    }
}

namespace {

int noteAt(openmpt::module& player, int order, int row, int channel)
{
    int note = player.get_pattern_row_channel_command(player.get_order_pattern(order), row, channel,
        openmpt::module::command_note);
    return note >= 1 && note <= 120 ? note : 0;
}

} // namespace

// What the screen relies on: a note on every beat row, an impact on row 0, a lead-in at the end of
// each order, no jumps or breaks; and the sections of the timeline in the drums.
TEST(Soundtrack, ScoreFollowsTheTimeline)
{
    std::vector<uint8_t> bytes = readFile(soundtrackPath);
    openmpt::module player(bytes);
    const int channels = forge::soundtrackChannels;
    const forge::it::Module score = forge::composeSoundtrack();
    using forge::it::cmd;
    for (int order = 0; order < 40; ++order) {
        for (int row = 0; row < 128; ++row) {
            int notes = 0;
            for (int channel = 0; channel < channels; ++channel) {
                notes += noteAt(player, order, row, channel) ? 1 : 0;
                // No jump, break, pattern loop, row delay or repeat: every order plays rows 0..127 once.
                const forge::it::Cell& cell = score.patterns[score.orders[size_t(order)]].at(row, channel);
                int high = cell.param >> 4;
                bool flow = cell.command == cmd('B') || cell.command == cmd('C')
                    || (cell.command == cmd('S') && (high == 0xB || high == 0xE || high == 0x6));
                EXPECT_FALSE(flow) << "order " << order << " row " << row << " channel " << channel;
            }
            if (row % 8 == 0) {
                EXPECT_GT(notes, 0) << "beat row " << row << " of order " << order << " is empty";
            }
            if (row == 0) {
                EXPECT_GE(notes, 2) << "order " << order << " opens without an impact";
                EXPECT_TRUE(noteAt(player, order, 0, forge::chCrash)) << "order " << order;
            }
        }
        if (order < 39) {
            int leadIn = 0;
            for (int row = 64; row < 128; ++row)
                leadIn += noteAt(player, order, row, forge::chRiser) + noteAt(player, order, row, forge::chSnare);
            EXPECT_GT(leadIn, 0) << "order " << order << " has no fill into the next";
        }
    }
    auto kicks = [&](int order) {
        int n = 0;
        for (int row = 0; row < 128; row += 8)
            n += noteAt(player, order, row, forge::chKick) ? 1 : 0;
        return n;
    };
    for (int order : {0, 1, 2, 3, 4, 15})
        EXPECT_EQ(kicks(order), 0) << "order " << order << " should hold the beat back";
    for (int order = 7; order <= 14; ++order)
        EXPECT_EQ(kicks(order), 16) << "order " << order;
    for (int order = 32; order <= 37; ++order)
        for (int row = 0; row < 128; row += 2)
            EXPECT_TRUE(noteAt(player, order, row, forge::chHat)) << "peak order " << order << " row " << row;
    // The last order: one hit, then only fading echoes.
    for (int row = 1; row < 128; ++row)
        EXPECT_FALSE(noteAt(player, 39, row, forge::chKick) || noteAt(player, 39, row, forge::chCrash)) << row;

    std::vector<std::string> names = player.get_instrument_names();
    for (const char* sound : {"kick", "snare", "clap", "closed hat", "open hat", "crash", "bass", "pad", "lead",
             "pluck", "riser"})
        EXPECT_NE(std::find(names.begin(), names.end(), sound), names.end()) << sound;
}

// The tuned instruments agree: note A-3 sounds at 220 Hz on each of them.
TEST(Soundtrack, PitchedInstrumentsAreInTune)
{
    forge::it::Module module = forge::composeSoundtrack();
    for (const char* name : {"bass", "pad", "lead", "pluck"}) {
        forge::it::Module probe = module;
        probe.patterns.assign(1, forge::it::Pattern(32, 1));
        probe.orders = {0};
        uint8_t instrument = 0;
        for (size_t i = 0; i < module.instruments.size(); ++i)
            if (module.instruments[i].name == name)
                instrument = uint8_t(i + 1);
        ASSERT_NE(instrument, 0) << name;
        probe.patterns[0].at(0, 0) = {57, instrument, 64, 0, 0};
        openmpt::module player(forge::it::serialise(probe));
        const int rate = 48000;
        std::vector<float> sound(size_t(rate) / 2);
        player.read(rate, sound.size(), sound.data());
        // Autocorrelation over 0.1..0.4 s; the shortest lag near the best one is the period.
        const size_t from = size_t(rate) / 10, length = size_t(rate) * 3 / 10;
        std::vector<double> r(500, 0.0);
        double best = 0;
        for (size_t lag = 100; lag < r.size(); ++lag) {
            double sum = 0, energy = 0;
            for (size_t i = from; i < from + length; ++i) {
                sum += double(sound[i]) * sound[i + lag];
                energy += double(sound[i]) * sound[i];
            }
            r[lag] = sum / std::max(energy, 1e-12);
            best = std::max(best, r[lag]);
        }
        size_t lag = 100;
        while (r[lag] < 0.95 * best || r[lag] < r[lag + 1])
            ++lag;
        double shift = 0.5 * (r[lag - 1] - r[lag + 1]) / (r[lag - 1] - 2 * r[lag] + r[lag + 1]);
        double frequency = rate / (double(lag) + shift);
        std::printf("%s: %.2f Hz\n", name, frequency);
        EXPECT_NEAR(frequency, 220.0, 220.0 * 0.01) << name;
    }
}
