// Impulse Tracker writer: lays out header, orders, parapointers, instruments, sample headers,
// packed patterns and sample data back to back, with nothing after the last block.
#include "it_writer.h"


namespace forge::it {

namespace {

struct Bytes {
    std::vector<uint8_t> data;
    void u8(uint8_t v) { data.push_back(v); }
    void u16(uint16_t v)
    {
        u8(uint8_t(v & 0xFF));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v)
    {
        u16(uint16_t(v & 0xFFFF));
        u16(uint16_t(v >> 16));
    }
    void text(const std::string& s, size_t size)
    {
        for (size_t i = 0; i < size; ++i)
            u8(i < s.size() && i + 1 < size ? uint8_t(s[i]) : 0);
    }
    void zeros(size_t n) { data.insert(data.end(), n, 0); }
    void putU32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            data[at + size_t(i)] = uint8_t(v >> (8 * i));
    }
};

void writeEnvelope(Bytes& out, const Envelope& envelope)
{
    uint8_t flags = 0;
    if (envelope.enabled)
        flags |= 1;
    if (envelope.loop)
        flags |= 2;
    if (envelope.sustain)
        flags |= 4;
    size_t start = out.data.size();
    out.u8(flags);
    if (envelope.nodes.empty()) {
        // Unused envelopes still name two nodes, as the trackers write them.
        out.u8(2);
        out.zeros(4);
        out.u8(64);
        out.u16(0);
        out.u8(64);
        out.u16(100);
    } else {
        out.u8(uint8_t(envelope.nodes.size()));
        out.u8(envelope.loopBegin);
        out.u8(envelope.loopEnd);
        out.u8(envelope.sustainBegin);
        out.u8(envelope.sustainEnd);
        for (const EnvelopeNode& node : envelope.nodes) {
            out.u8(uint8_t(node.value));
            out.u16(node.tick);
        }
    }
    out.zeros(start + 82 - out.data.size());
}

void writeInstrument(Bytes& out, const Instrument& instrument)
{
    out.data.insert(out.data.end(), {'I', 'M', 'P', 'I'});
    out.zeros(13); // file name
    out.u8(instrument.newNoteAction);
    out.u8(0); // duplicate check off
    out.u8(0);
    out.u16(instrument.fadeOut);
    out.u8(0); // pitch-pan separation
    out.u8(60); // pitch-pan centre
    out.u8(instrument.globalVolume);
    out.u8(0xA0); // default pan not used
    out.u8(0); // random volume
    out.u8(0); // random pan
    out.u16(0x0214);
    out.u8(1); // sample count
    out.u8(0);
    out.text(instrument.name, 26);
    out.u8(0); // filter cutoff off
    out.u8(0); // resonance off
    out.u8(0); // MIDI channel
    out.u8(0xFF); // MIDI program
    out.u16(0xFFFF); // MIDI bank
    for (int note = 0; note < 120; ++note) {
        out.u8(uint8_t(note));
        out.u8(instrument.sample);
    }
    writeEnvelope(out, instrument.volume);
    writeEnvelope(out, instrument.panning);
    writeEnvelope(out, instrument.pitch);
    out.zeros(4);
}

// Sample header; the data pointer is patched once the data's place is known. Returns its offset.
size_t writeSampleHeader(Bytes& out, const Sample& sample)
{
    out.data.insert(out.data.end(), {'I', 'M', 'P', 'S'});
    out.zeros(13);
    out.u8(sample.globalVolume);
    uint8_t flags = sample.frames.empty() ? 0 : 0x03;
    if (sample.loop)
        flags |= 0x10;
    out.u8(flags);
    out.u8(sample.defaultVolume);
    out.text(sample.name, 26);
    out.u8(0x01); // signed
    out.u8(32); // default pan not used
    out.u32(uint32_t(sample.frames.size()));
    out.u32(sample.loop ? sample.loopBegin : 0);
    out.u32(sample.loop ? sample.loopEnd : 0);
    out.u32(sample.c5Speed);
    out.u32(0); // sustain loop
    out.u32(0);
    size_t pointer = out.data.size();
    out.u32(0);
    out.zeros(4); // no auto-vibrato
    return pointer;
}

void writePattern(Bytes& out, const Pattern& pattern)
{
    Bytes packed;
    for (int row = 0; row < pattern.rows; ++row) {
        for (int channel = 0; channel < pattern.channels; ++channel) {
            const Cell& cell = pattern.at(row, channel);
            if (cell.empty())
                continue;
            // Always a fresh mask and no "last value" bits: the safest form for both players.
            uint8_t mask = 0;
            if (cell.note != noteNone)
                mask |= 0x01;
            if (cell.instrument != 0)
                mask |= 0x02;
            if (cell.volume != volumeNone)
                mask |= 0x04;
            if (cell.command != 0)
                mask |= 0x08;
            packed.u8(uint8_t((channel + 1) | 0x80));
            packed.u8(mask);
            if (mask & 0x01)
                packed.u8(cell.note);
            if (mask & 0x02)
                packed.u8(cell.instrument);
            if (mask & 0x04)
                packed.u8(cell.volume);
            if (mask & 0x08) {
                packed.u8(cell.command);
                packed.u8(cell.param);
            }
        }
        packed.u8(0);
    }
    out.u16(uint16_t(packed.data.size()));
    out.u16(uint16_t(pattern.rows));
    out.zeros(4);
    out.data.insert(out.data.end(), packed.data.begin(), packed.data.end());
}

} // namespace

std::string validate(const Module& module)
{
    if (module.orders.empty() || module.orders.size() > 255)
        return "orders: 1..255 needed";
    if (module.patterns.empty() || module.patterns.size() > 200)
        return "patterns: 1..200 needed";
    if (module.samples.empty() || module.samples.size() > 99)
        return "samples: 1..99 needed";
    if (module.instruments.size() > 99)
        return "instruments: at most 99";
    if (module.globalVolume > 128 || module.mixVolume > 128 || module.separation > 128)
        return "global volume, mix volume and separation are 0..128";
    if (module.speed == 0 || module.tempo < 32)
        return "speed must be 1..255 and tempo 32..255";
    for (uint8_t order : module.orders)
        if (order >= module.patterns.size())
            return "an order names a missing pattern";
    for (const Pattern& pattern : module.patterns) {
        if (pattern.rows < 1 || pattern.rows > 256 || pattern.channels < 1 || pattern.channels > 64)
            return "pattern: 1..256 rows and 1..64 channels";
        if (pattern.cells.size() != size_t(pattern.rows) * size_t(pattern.channels))
            return "pattern: cell count does not match rows and channels";
        for (const Cell& cell : pattern.cells) {
            if (cell.note >= 120 && cell.note < 254 && cell.note != noteNone)
                return "cell: note fade values are not written";
            if (cell.instrument > (module.instruments.empty() ? module.samples.size() : module.instruments.size()))
                return "cell: instrument out of range";
        }
    }
    for (const Sample& sample : module.samples) {
        if (sample.frames.size() == 1 || sample.frames.size() >= (1u << 28))
            return "sample: length must be 0 or 2..2^28 frames";
        if (sample.loop && (sample.loopBegin >= sample.loopEnd || sample.loopEnd > sample.frames.size()))
            return "sample: loop outside the data";
        if (sample.globalVolume > 64 || sample.defaultVolume > 64)
            return "sample: volumes are 0..64";
    }
    for (const Instrument& instrument : module.instruments) {
        if (instrument.sample < 1 || instrument.sample > module.samples.size())
            return "instrument: sample out of range";
        if (instrument.fadeOut > 256 || instrument.globalVolume > 128 || instrument.newNoteAction > 3)
            return "instrument: fade-out, volume or new note action out of range";
        for (const Envelope* envelope : {&instrument.volume, &instrument.panning, &instrument.pitch}) {
            if (envelope->nodes.size() > 25 || (envelope->enabled && envelope->nodes.empty()))
                return "envelope: 1..25 nodes";
            for (size_t i = 1; i < envelope->nodes.size(); ++i)
                if (envelope->nodes[i].tick <= envelope->nodes[i - 1].tick)
                    return "envelope: ticks must rise";
            if (!envelope->nodes.empty() && envelope->nodes[0].tick != 0)
                return "envelope: first tick must be 0";
            size_t last = envelope->nodes.empty() ? 0 : envelope->nodes.size() - 1;
            if ((envelope->loop && (envelope->loopBegin > envelope->loopEnd || envelope->loopEnd > last))
                || (envelope->sustain && (envelope->sustainBegin > envelope->sustainEnd || envelope->sustainEnd > last)))
                return "envelope: loop or sustain outside the nodes";
        }
    }
    return "";
}

std::vector<uint8_t> serialise(const Module& module)
{
    if (!validate(module).empty())
        return {};
    const bool instrumentMode = !module.instruments.empty();
    const size_t orderCount = module.orders.size() + 1;

    Bytes out;
    out.data.insert(out.data.end(), {'I', 'M', 'P', 'M'});
    out.text(module.name, 26);
    // Non-zero highlights and Cmwt 0x0214 keep libopenmpt from taking us for ModPlug Tracker.
    out.u8(4);
    out.u8(16);
    out.u16(uint16_t(orderCount));
    out.u16(uint16_t(module.instruments.size()));
    out.u16(uint16_t(module.samples.size()));
    out.u16(uint16_t(module.patterns.size()));
    out.u16(0x0214);
    out.u16(0x0214);
    out.u16(uint16_t(0x01 | 0x08 | (instrumentMode ? 0x04 : 0))); // stereo, linear slides
    out.u16(0);
    out.u8(module.globalVolume);
    out.u8(module.mixVolume);
    out.u8(module.speed);
    out.u8(module.tempo);
    out.u8(module.separation);
    out.u8(0); // pitch wheel depth
    out.u16(0); // no message
    out.u32(0);
    out.u32(0);
    for (int i = 0; i < 64; ++i)
        out.u8(module.channelPan[i]);
    for (int i = 0; i < 64; ++i)
        out.u8(module.channelVolume[i]);
    for (uint8_t order : module.orders)
        out.u8(order);
    out.u8(orderEnd);

    const size_t pointers = out.data.size();
    out.zeros(4 * (module.instruments.size() + module.samples.size() + module.patterns.size()));
    size_t slot = pointers;
    auto point = [&](size_t target) {
        out.putU32(slot, uint32_t(target));
        slot += 4;
    };

    for (const Instrument& instrument : module.instruments) {
        point(out.data.size());
        writeInstrument(out, instrument);
    }
    std::vector<size_t> dataPointers;
    for (const Sample& sample : module.samples) {
        point(out.data.size());
        dataPointers.push_back(writeSampleHeader(out, sample));
    }
    for (const Pattern& pattern : module.patterns) {
        point(out.data.size());
        writePattern(out, pattern);
    }
    for (size_t i = 0; i < module.samples.size(); ++i) {
        out.putU32(dataPointers[i], uint32_t(out.data.size()));
        for (int16_t frame : module.samples[i].frames)
            out.u16(uint16_t(frame));
    }
    return out.data;
}

} // namespace forge::it
