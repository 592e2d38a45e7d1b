// The demo's soundtrack: composed and synthesised here, written through the Impulse Tracker writer.
#include "soundtrack.h"

#include "it_writer.h"

#include <cmath>

namespace forge {

namespace {

// A short decaying sine pluck, one second at 44100 Hz, pitched at C-5.
it::Sample pluck()
{
    it::Sample sample;
    sample.name = "pluck";
    const double rate = 44100.0, frequency = 261.6256;
    for (int i = 0; i < 44100; ++i) {
        double t = i / rate;
        double v = std::sin(2.0 * M_PI * frequency * t) * std::exp(-t * 1.5) * 0.9;
        sample.frames.push_back(int16_t(std::lround(v * 32767.0)));
    }
    return sample;
}

} // namespace

bool writeSoundtrack(const std::string& path)
{
    it::Module module;
    module.name = "glimo";
    module.speed = 3;
    module.tempo = 125;
    module.samples.push_back(pluck());
    const int chord[4] = {57, 53, 48, 55}; // A, F, C, G
    for (int order = 0; order < 40; ++order) {
        it::Pattern pattern(128, 2);
        for (int row = 0; row < 128; row += 8) {
            it::Cell& cell = pattern.at(row, row % 16 == 0 ? 0 : 1);
            cell.note = uint8_t(chord[row / 32] + (row % 32 == 0 ? 0 : 12));
            cell.instrument = 1;
            cell.volume = row == 0 ? 64 : 40;
        }
        module.patterns.push_back(pattern);
        module.orders.push_back(uint8_t(order));
    }
    return it::writeFile(path, it::serialise(module));
}

} // namespace forge
