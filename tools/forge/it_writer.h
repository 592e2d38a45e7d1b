#pragma once
// Impulse Tracker writer: a plain model of a module (samples, instruments, patterns, orders) and the
// function that turns it into the bytes of an .it file that libopenmpt and libxmp both play.
#include <cstdint>
#include <string>
#include <vector>

namespace forge::it {

// Note values of a cell; 0..119 are C-0..B-9 with 60 = C-5.
constexpr uint8_t noteNone = 253; // never written: means "no note" in the model only
constexpr uint8_t noteCut = 254;
constexpr uint8_t noteOff = 255;
constexpr uint8_t volumeNone = 255; // no volume column
constexpr uint8_t orderEnd = 255;

// Effect command numbers (letter - 'A' + 1).
constexpr uint8_t cmd(char letter) { return uint8_t(letter - 'A' + 1); }

struct Cell {
    uint8_t note = noteNone;
    uint8_t instrument = 0; // 1-based, 0 = none
    uint8_t volume = volumeNone; // volume column byte (0..64 set volume, ...)
    uint8_t command = 0; // 0 = none
    uint8_t param = 0;
    bool empty() const { return note == noteNone && instrument == 0 && volume == volumeNone && command == 0; }
};

struct Pattern {
    int rows = 64;
    int channels = 1;
    std::vector<Cell> cells; // rows * channels, row-major

    Pattern() = default;
    Pattern(int rowCount, int channelCount)
        : rows(rowCount), channels(channelCount), cells(size_t(rowCount) * size_t(channelCount)) {}
    Cell& at(int row, int channel) { return cells[size_t(row) * size_t(channels) + size_t(channel)]; }
    const Cell& at(int row, int channel) const { return cells[size_t(row) * size_t(channels) + size_t(channel)]; }
};

struct EnvelopeNode {
    int8_t value = 0; // volume 0..64, pan/pitch -32..32
    uint16_t tick = 0;
};

struct Envelope {
    bool enabled = false;
    bool loop = false;
    bool sustain = false;
    uint8_t loopBegin = 0, loopEnd = 0;
    uint8_t sustainBegin = 0, sustainEnd = 0;
    std::vector<EnvelopeNode> nodes; // at most 25, first tick 0, ticks rising
};

// A mono sample; 16-bit signed frames.
struct Sample {
    std::string name;
    std::vector<int16_t> frames;
    uint32_t c5Speed = 44100; // rate in Hz at which note C-5 plays the frames
    bool loop = false;
    uint32_t loopBegin = 0, loopEnd = 0; // frames, end exclusive
    uint8_t globalVolume = 64; // 0..64
    uint8_t defaultVolume = 64; // 0..64
};

// An instrument maps every note to one sample (1-based) and adds envelopes and fade-out.
struct Instrument {
    std::string name;
    uint8_t sample = 1;
    uint8_t newNoteAction = 0; // 0 cut, 1 continue, 2 note off, 3 note fade
    uint16_t fadeOut = 0; // 0..256
    uint8_t globalVolume = 128; // 0..128
    Envelope volume, panning, pitch;
};

struct Module {
    std::string name;
    uint8_t speed = 6; // ticks per row
    uint8_t tempo = 125; // a tick lasts 2.5 / tempo s
    uint8_t globalVolume = 128; // 0..128
    uint8_t mixVolume = 48; // 0..128
    uint8_t separation = 128;
    uint8_t channelPan[64]; // 0..64, 32 = centre
    uint8_t channelVolume[64]; // 0..64
    std::vector<uint8_t> orders; // pattern numbers; the writer appends the end marker
    std::vector<Sample> samples;
    std::vector<Instrument> instruments; // empty: sample mode
    std::vector<Pattern> patterns;

    Module()
    {
        for (int i = 0; i < 64; ++i) {
            channelPan[i] = 32;
            channelVolume[i] = 64;
        }
    }
};

// The module as .it bytes. Empty when the model breaks the format's limits (see validate).
std::vector<uint8_t> serialise(const Module& module);

// An empty string when the module is within the limits both players accept, else what is wrong.
std::string validate(const Module& module);

} // namespace forge::it
