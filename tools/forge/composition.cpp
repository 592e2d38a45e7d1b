// The soundtrack's score. A minor, 125 BPM (8 rows a beat, 4 bars an order, one chord a bar); each order
// is planned as layers (drums, bass, pad, lead, arpeggio) plus an impact on row 0 and a fill into the next.
#include "composition.h"

#include "synth.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace forge {

namespace {

using it::Cell;
using it::Pattern;

// Instrument numbers, in the order they are added.
enum Instrument : uint8_t {
    inKick = 1, inSnare, inClap, inHat, inOpenHat, inCrash, inBoom, inTom, inRiser, inLongRiser,
    inBass, inPad, inLead, inPluck
};

constexpr int rowsPerBeat = 8;
constexpr int rowsPerBar = 32;

struct Chord {
    uint8_t bass;
    uint8_t pad[3];
    uint8_t arp[4];
};

// Voicings kept close so the pad moves by steps.
const Chord chordAm = {45, {57, 60, 64}, {69, 72, 76, 81}};
const Chord chordF = {41, {57, 60, 65}, {65, 69, 72, 77}};
const Chord chordC = {48, {55, 60, 64}, {67, 72, 76, 79}};
const Chord chordG = {43, {55, 59, 62}, {67, 71, 74, 79}};
const Chord chordEm = {40, {55, 59, 64}, {64, 67, 71, 76}};
const Chord chordDm = {38, {57, 62, 65}, {62, 65, 69, 74}};
const Chord chordE = {40, {56, 59, 64}, {64, 68, 71, 76}};

struct Progression {
    const Chord* bars[4];
};
const Progression homeChords = {{&chordAm, &chordF, &chordC, &chordG}}; // i VI III VII
const Progression liftChords = {{&chordF, &chordG, &chordEm, &chordAm}}; // VI VII v i
const Progression breakChords = {{&chordDm, &chordAm, &chordF, &chordE}}; // iv i VI V, the major V pulling home

// Melodies, one order each: note name and octave, colon, length in sixteenths (two rows); r = rest.
const char* const themeA = "A4:3 C5:3 E5:2 D5:4 C5:2 B4:2 | C5:6 A4:2 F4:4 A4:2 C5:2 | "
                            "E5:3 G5:3 E5:2 D5:4 C5:2 D5:2 | B4:6 G4:2 D5:6 r:2";
const char* const themeAnswer = "A4:3 C5:3 E5:2 A5:4 G5:2 E5:2 | F5:6 E5:2 C5:4 A4:2 C5:2 | "
                                 "G5:3 E5:3 C5:2 E5:4 D5:2 C5:2 | D5:4 B4:2 G4:2 A4:2 B4:2 D5:2 E5:2";
const char* const themeB = "A5:4 G5:2 F5:2 E5:4 C5:4 | D5:4 E5:2 G5:2 B5:4 A5:2 G5:2 | "
                            "E5:6 G5:2 B5:6 A5:2 | A5:8 E5:4 C6:2 B5:2";
const char* const themeOutro = "E5:8 C5:8 | A4:8 C5:4 A4:4 | G4:8 E4:4 G4:4 | B4:8 D5:6 r:2";

enum class Fill { Riser, SnareRoll, Toms, Build };

struct Plan {
    const Progression* chords;
    int kick; // 0 none, 1 bar downbeats, 2 every beat
    bool clap; // beats two and four
    int hats; // 0 none, 1 off-beat eighths, 2 sixteenths, 3 every even row (the peak)
    bool openHats;
    int bass; // 0 none, 1 held roots, 2 off-beat eighths, 3 rolling sixteenths
    int pad; // volume, 0 = none
    const char* theme;
    bool doubled; // lead an octave up on a second channel
    int arp; // 0 none, 1 quarters, 2 eighths, 3 sixteenths
    int arpVolume;
    Fill fill;
};

// The timeline, order by order; the last order (the final hit) is written by hand.
// chords, kick, clap, hats, openHats, bass, pad, theme, doubled, arp, arpVolume, fill
const Plan plans[soundtrackOrders - 1] = {
    // intro under the titles: pad and plucks, the beat held back
    {&homeChords,  0, false, 0, false, 0, 36, nullptr,     false, 1, 30, Fill::Riser},     // 0
    {&homeChords,  0, false, 0, false, 0, 36, nullptr,     false, 2, 34, Fill::Riser},     // 1
    {&homeChords,  0, false, 0, false, 1, 36, nullptr,     false, 2, 38, Fill::Riser},     // 2
    {&homeChords,  0, false, 1, false, 1, 36, nullptr,     false, 2, 42, Fill::Riser},     // 3
    {&homeChords,  0, false, 1, false, 1, 36, nullptr,     false, 3, 46, Fill::Build},     // 4
    // the drums come in
    {&homeChords,  2, false, 1, false, 1, 28, nullptr,     false, 2, 30, Fill::SnareRoll}, // 5
    {&homeChords,  2, true,  2, false, 2, 28, nullptr,     false, 2, 30, Fill::Toms},      // 6
    // full groove and the main theme
    {&homeChords,  2, true,  2, true,  2, 22, themeA,      false, 2, 22, Fill::Riser},     // 7
    {&homeChords,  2, true,  2, true,  2, 22, themeAnswer, false, 2, 22, Fill::SnareRoll}, // 8
    {&homeChords,  2, true,  2, true,  2, 22, themeA,      false, 2, 22, Fill::Toms},      // 9
    {&homeChords,  2, true,  2, true,  2, 22, themeAnswer, false, 2, 22, Fill::Riser},     // 10
    {&homeChords,  2, true,  2, true,  3, 22, themeA,      false, 2, 22, Fill::SnareRoll}, // 11
    {&homeChords,  2, true,  2, true,  3, 22, themeAnswer, false, 2, 22, Fill::Toms},      // 12
    {&homeChords,  2, true,  2, true,  3, 22, themeA,      true,  2, 22, Fill::Riser},     // 13
    {&homeChords,  2, true,  2, true,  3, 22, themeAnswer, true,  2, 22, Fill::Riser},     // 14
    // breakdown
    {&liftChords,  0, false, 0, false, 1, 40, themeB,      false, 1, 34, Fill::Riser},     // 15
    // build
    {&liftChords,  2, false, 1, false, 1, 30, nullptr,     false, 3, 28, Fill::Build},     // 16
    // driving
    {&liftChords,  2, true,  2, true,  3, 22, themeB,      false, 3, 20, Fill::SnareRoll}, // 17
    {&liftChords,  2, true,  2, true,  3, 22, themeB,      false, 3, 20, Fill::Toms},      // 18
    {&liftChords,  2, true,  2, true,  3, 22, themeB,      true,  3, 20, Fill::SnareRoll}, // 19
    {&liftChords,  2, true,  2, true,  3, 22, themeB,      true,  3, 20, Fill::Riser},     // 20
    // break under the plasma
    {&breakChords, 1, false, 0, false, 1, 36, nullptr,     false, 2, 34, Fill::Riser},     // 21
    {&breakChords, 1, false, 1, false, 1, 36, nullptr,     false, 2, 34, Fill::Build},     // 22
    // credits: the theme returns
    {&homeChords,  2, true,  2, false, 2, 22, themeA,      false, 2, 22, Fill::Toms},      // 23
    {&homeChords,  2, true,  2, true,  2, 22, themeAnswer, false, 2, 22, Fill::Riser},     // 24
    {&homeChords,  2, true,  2, true,  2, 22, themeA,      false, 2, 22, Fill::SnareRoll}, // 25
    {&homeChords,  2, true,  2, true,  2, 22, themeAnswer, false, 2, 22, Fill::Toms},      // 26
    {&homeChords,  2, true,  2, true,  2, 22, themeA,      false, 2, 22, Fill::Riser},     // 27
    // rising
    {&liftChords,  2, true,  2, true,  3, 24, themeB,      false, 3, 20, Fill::SnareRoll}, // 28
    {&liftChords,  2, true,  2, true,  3, 24, themeB,      false, 3, 20, Fill::Toms},      // 29
    {&liftChords,  2, true,  2, true,  3, 24, themeB,      true,  3, 20, Fill::Riser},     // 30
    {&liftChords,  2, true,  2, true,  3, 24, themeB,      true,  3, 20, Fill::Build},     // 31
    // the peak: hats on every even row
    {&homeChords,  2, true,  3, true,  3, 24, themeA,      true,  3, 20, Fill::SnareRoll}, // 32
    {&homeChords,  2, true,  3, true,  3, 24, themeAnswer, true,  3, 20, Fill::Toms},      // 33
    {&homeChords,  2, true,  3, true,  3, 24, themeA,      true,  3, 20, Fill::Riser},     // 34
    {&homeChords,  2, true,  3, true,  3, 24, themeAnswer, true,  3, 20, Fill::SnareRoll}, // 35
    {&homeChords,  2, true,  3, true,  3, 24, themeA,      true,  3, 20, Fill::Toms},      // 36
    {&homeChords,  2, true,  3, true,  3, 24, themeAnswer, true,  3, 20, Fill::SnareRoll}, // 37
    // winding down
    {&homeChords,  2, false, 1, false, 1, 32, themeOutro,  false, 1, 30, Fill::Riser},     // 38
};

void put(Pattern& pattern, int row, int channel, uint8_t note, uint8_t instrument, int volume)
{
    if (row < 0 || row >= pattern.rows)
        return;
    Cell& cell = pattern.at(row, channel);
    cell.note = note;
    cell.instrument = instrument;
    cell.volume = uint8_t(volume < 0 ? 0 : (volume > 64 ? 64 : volume));
}

void off(Pattern& pattern, int row, int channel)
{
    if (row < 0 || row >= pattern.rows)
        return;
    Cell& cell = pattern.at(row, channel);
    if (cell.note == it::noteNone)
        cell.note = it::noteOff;
}

int noteNumber(const std::string& name)
{
    static const int semitones[7] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    int note = semitones[std::toupper(name[0]) - 'A'];
    size_t i = 1;
    if (name[i] == '#')
        ++note, ++i;
    else if (name[i] == 'b')
        --note, ++i;
    return note + 12 * (std::atoi(name.c_str() + i) + 1);
}

// Writes a melody; a note is released where a rest follows it.
void writeTheme(Pattern& pattern, const char* theme, int channel, int shift, int volume)
{
    int row = 0;
    bool sounding = false;
    std::string text(theme);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(' ', at);
        std::string token = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        size_t colon = token.find(':');
        if (colon == std::string::npos)
            continue; // bar line
        int rows = 2 * std::atoi(token.c_str() + colon + 1);
        std::string name = token.substr(0, colon);
        if (name == "r") {
            if (sounding)
                off(pattern, row, channel);
            sounding = false;
        } else {
            // Notes on a beat are leant on a little.
            put(pattern, row, channel, uint8_t(noteNumber(name) + shift), inLead, volume + (row % rowsPerBeat == 0 ? 4 : 0));
            sounding = true;
        }
        row += rows;
    }
}

void writeDrums(Pattern& pattern, const Plan& plan, Random& random)
{
    for (int beat = 0; beat < soundtrackRows / rowsPerBeat; ++beat) {
        int row = beat * rowsPerBeat;
        if (plan.kick == 2 || (plan.kick == 1 && row % rowsPerBar == 0))
            put(pattern, row, chKick, 60, inKick, 64);
        if (plan.clap && beat % 2 == 1)
            put(pattern, row, chClap, 60, inClap, 62);
        int jitter = int(random.next() % 6);
        switch (plan.hats) {
        case 1:
            put(pattern, row + 4, chHat, 60, inHat, 38 + jitter);
            break;
        case 2:
            for (int step = 0; step < 4; ++step)
                put(pattern, row + 2 * step, chHat, 60, inHat, (step == 2 ? 48 : 30) + int(random.next() % 8));
            break;
        case 3:
            for (int step = 0; step < 4; ++step)
                put(pattern, row + 2 * step, chHat, 60, inHat, (step % 2 ? 42 : 32) + int(random.next() % 8));
            break;
        default:
            break;
        }
        if (plan.openHats)
            put(pattern, row + 4, chOpenHat, 60, inOpenHat, 34 + jitter);
    }
}

void writeHarmony(Pattern& pattern, const Plan& plan)
{
    static const int eighths[8] = {0, 1, 2, 3, 2, 1, 2, 1};
    static const int sixteenths[16] = {0, 1, 2, 3, 1, 2, 3, 2, 0, 2, 3, 1, 2, 3, 2, 1};
    static const int quarters[4] = {0, 2, 1, 3};
    for (int bar = 0; bar < 4; ++bar) {
        const Chord& chord = *plan.chords->bars[bar];
        int base = bar * rowsPerBar;
        if (plan.pad > 0)
            for (int voice = 0; voice < 3; ++voice)
                put(pattern, base, chPad0 + voice, chord.pad[voice], inPad, plan.pad);
        switch (plan.bass) {
        case 1:
            put(pattern, base, chBass, chord.bass, inBass, 48);
            break;
        case 2:
            for (int beat = 0; beat < 4; ++beat) {
                bool lift = bar == 3 && beat == 3;
                put(pattern, base + beat * rowsPerBeat + 4, chBass, uint8_t(chord.bass + (lift ? 12 : 0)), inBass, 52);
                off(pattern, base + beat * rowsPerBeat + 7, chBass);
            }
            break;
        case 3:
            for (int beat = 0; beat < 4; ++beat) {
                int row = base + beat * rowsPerBeat;
                put(pattern, row + 2, chBass, chord.bass, inBass, 40);
                put(pattern, row + 4, chBass, chord.bass, inBass, 54);
                put(pattern, row + 6, chBass, uint8_t(chord.bass + (beat == 3 ? 12 : 0)), inBass, 44);
            }
            break;
        default:
            break;
        }
        for (int row = 0; row < rowsPerBar && plan.arp > 0; ++row) {
            int tone = -1;
            if (plan.arp == 1 && row % 8 == 0)
                tone = quarters[row / 8];
            else if (plan.arp == 2 && row % 4 == 0)
                tone = eighths[row / 4];
            else if (plan.arp == 3 && row % 2 == 0)
                tone = sixteenths[row / 2];
            if (tone >= 0)
                put(pattern, base + row, chArp, chord.arp[tone], inPluck, plan.arpVolume + (row % 8 == 0 ? 8 : 0));
        }
    }
}

void writeFill(Pattern& pattern, Fill fill, int volume)
{
    switch (fill) {
    case Fill::Riser:
        put(pattern, 112, chRiser, 60, inRiser, volume);
        break;
    case Fill::SnareRoll: {
        const int rows[8] = {112, 116, 120, 122, 124, 125, 126, 127};
        for (int i = 0; i < 8; ++i)
            put(pattern, rows[i], chSnare, 60, inSnare, 26 + 4 * i);
        break;
    }
    case Fill::Toms: {
        const int rows[6] = {112, 115, 118, 120, 123, 126};
        const int notes[6] = {67, 67, 62, 62, 57, 55};
        for (int i = 0; i < 6; ++i)
            put(pattern, rows[i], chSnare, uint8_t(notes[i]), inTom, 50);
        break;
    }
    case Fill::Build:
        put(pattern, 64, chRiser, 60, inLongRiser, volume);
        for (int row = 64; row < 128; row += row < 96 ? 4 : 2)
            put(pattern, row, chSnare, 60, inSnare, 14 + (row - 64) * 3 / 4);
        break;
    }
}

// The impact on row 0: a crash over a kick, or over the deep boom where there is no beat.
void writeImpact(Pattern& pattern, const Plan& plan, int order)
{
    put(pattern, 0, chCrash, 60, inCrash, order == 0 ? 36 : 48);
    if (plan.kick == 0 || order == 5 || order == 23 || order == 32)
        put(pattern, 0, chBoom, 60, inBoom, order == 0 ? 40 : 52);
}

Pattern composeOrder(int order, Random& random)
{
    Pattern pattern(soundtrackRows, soundtrackChannels);
    if (order == soundtrackOrders - 1) {
        // The last hit, then everything dies away: echoes of the tonic on the beats, the pad released.
        put(pattern, 0, chCrash, 60, inCrash, 60);
        put(pattern, 0, chBoom, 60, inBoom, 60);
        put(pattern, 0, chKick, 60, inKick, 64);
        put(pattern, 0, chBass, chordAm.bass, inBass, 50);
        off(pattern, 32, chBass);
        for (int voice = 0; voice < 3; ++voice) {
            put(pattern, 0, chPad0 + voice, chordAm.pad[voice], inPad, 44);
            off(pattern, 64, chPad0 + voice);
        }
        put(pattern, 0, chLead, 69, inLead, 44);
        off(pattern, 24, chLead);
        off(pattern, 0, chLeadHigh);
        double echo = 44;
        for (int row = 0; row < soundtrackRows; row += rowsPerBeat, echo *= 0.8)
            put(pattern, row, chArp, chordAm.arp[(row / 8) % 4], inPluck, int(echo + 0.5) + 1);
        return pattern;
    }
    const Plan& plan = plans[order];
    writeDrums(pattern, plan, random);
    writeHarmony(pattern, plan);
    if (plan.theme) {
        writeTheme(pattern, plan.theme, chLead, 0, order == 15 ? 36 : 40);
        if (plan.doubled)
            writeTheme(pattern, plan.theme, chLeadHigh, 12, 20);
        else
            off(pattern, 0, chLeadHigh);
    } else {
        off(pattern, 0, chLead);
        off(pattern, 0, chLeadHigh);
    }
    if (plan.pad == 0)
        for (int voice = 0; voice < 3; ++voice)
            off(pattern, 0, chPad0 + voice);
    if (plan.bass == 0)
        off(pattern, 0, chBass);
    writeFill(pattern, plan.fill, order <= 4 ? 36 : 44);
    writeImpact(pattern, plan, order);
    if (order == 38) // the groove thins out towards the last hit
        for (int row = 0; row < soundtrackRows; row += rowsPerBeat)
            pattern.at(row, chKick).volume = uint8_t(64 - row / 4);
    return pattern;
}

it::Envelope envelope(std::initializer_list<it::EnvelopeNode> nodes, int sustainNode)
{
    it::Envelope e;
    e.enabled = true;
    e.nodes = nodes;
    if (sustainNode >= 0) {
        e.sustain = true;
        e.sustainBegin = e.sustainEnd = uint8_t(sustainNode);
    }
    return e;
}

void addInstrument(it::Module& module, it::Sample sample, uint8_t newNoteAction, uint16_t fadeOut,
    uint8_t globalVolume, it::Envelope volume = {})
{
    module.samples.push_back(std::move(sample));
    it::Instrument instrument;
    instrument.name = module.samples.back().name;
    instrument.sample = uint8_t(module.samples.size());
    instrument.newNoteAction = newNoteAction;
    instrument.fadeOut = fadeOut;
    instrument.globalVolume = globalVolume;
    instrument.volume = std::move(volume);
    module.instruments.push_back(std::move(instrument));
}

} // namespace

it::Module composeSoundtrack()
{
    it::Module module;
    module.name = "glimo";
    module.speed = 3;
    module.tempo = 125;
    module.globalVolume = 128;
    module.mixVolume = 64;

    // Order of these matches enum Instrument; the instrument volumes balance the mix.
    addInstrument(module, synth::kick(), 0, 0, 128);
    addInstrument(module, synth::snare(), 0, 0, 110);
    addInstrument(module, synth::clap(), 0, 0, 128);
    addInstrument(module, synth::closedHat(), 0, 0, 112);
    addInstrument(module, synth::openHat(), 0, 0, 100);
    addInstrument(module, synth::crash(), 1, 0, 100);
    addInstrument(module, synth::boom(), 1, 0, 128);
    addInstrument(module, synth::tom(), 0, 0, 120);
    addInstrument(module, synth::riser(16 * 0.06, 211), 0, 0, 100);
    addInstrument(module, synth::riser(64 * 0.06, 223), 0, 0, 100);
    addInstrument(module, synth::bass(), 0, 64, 112, envelope({{64, 0}, {44, 6}, {36, 16}, {0, 20}}, 2));
    addInstrument(module, synth::pad(), 2, 16, 128, envelope({{0, 0}, {64, 18}, {0, 78}}, 1));
    addInstrument(module, synth::lead(), 2, 48, 84, envelope({{0, 0}, {64, 1}, {48, 10}, {0, 22}}, 2));
    addInstrument(module, synth::pluck(), 3, 40, 128);

    const uint8_t pans[soundtrackChannels] = {32, 30, 28, 40, 24, 34, 32, 32, 14, 32, 50, 30, 38, 46, 32};
    for (int channel = 0; channel < soundtrackChannels; ++channel)
        module.channelPan[channel] = pans[channel];

    Random random(2024);
    for (int order = 0; order < soundtrackOrders; ++order) {
        module.patterns.push_back(composeOrder(order, random));
        module.orders.push_back(uint8_t(order));
    }
    return module;
}

} // namespace forge
