// Synthesis of the soundtrack's instruments: drums from swept sines and filtered noise, pitched voices
// from additive partials (whole cycles, so their loops are seamless) and a plucked string.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace forge::synth {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double middleC = 261.6255653005986;

using Signal = std::vector<double>;

size_t frames(double seconds) { return size_t(std::lround(seconds * sampleRate)); }

// Chamberlin state-variable filter; cutoff in Hz, damping 2 / Q.
struct StateVariable {
    double low = 0, band = 0;
    double bandpass(double input, double cutoff, double damping)
    {
        double f = 2.0 * std::sin(pi * std::min(cutoff, sampleRate / 6.0) / sampleRate);
        low += f * band;
        double high = input - low - damping * band;
        band += f * high;
        return band;
    }
};

struct OnePole {
    double state = 0;
    double lowpass(double input, double cutoff)
    {
        double a = 1.0 - std::exp(-2.0 * pi * cutoff / sampleRate);
        state += a * (input - state);
        return state;
    }
    double highpass(double input, double cutoff) { return input - lowpass(input, cutoff); }
};

// Square-wave cluster at inharmonic ratios: the metallic body of hats and cymbals.
double metal(double t)
{
    static const double ratios[6] = {2.0, 3.0, 4.16, 5.43, 6.79, 8.21};
    double sum = 0;
    for (double r : ratios)
        sum += std::sin(2.0 * pi * 160.0 * r * t) > 0 ? 1.0 : -1.0;
    return sum / 6.0;
}

// Scales to a common peak, ramps the last few milliseconds of one-shots to zero, converts to 16 bits.
it::Sample finish(const char* name, Signal signal, double pitchHz, bool fadeTail)
{
    if (fadeTail) {
        size_t ramp = std::min(signal.size(), frames(0.004));
        for (size_t i = 0; i < ramp; ++i)
            signal[signal.size() - 1 - i] *= double(i) / double(ramp);
    }
    double peak = 1e-9;
    for (double v : signal)
        peak = std::max(peak, std::fabs(v));
    it::Sample sample;
    sample.name = name;
    sample.frames.reserve(signal.size());
    for (double v : signal)
        sample.frames.push_back(int16_t(std::lround(v / peak * 29000.0)));
    sample.c5Speed = uint32_t(std::lround(sampleRate * middleC / pitchHz));
    return sample;
}

it::Sample unpitched(const char* name, Signal signal) { return finish(name, std::move(signal), middleC, true); }

// Sum of partials k * f of several voices; amplitude(k, t) shapes the spectrum over time. With every
// partial a whole number of cycles in `seconds`, the whole sample loops without a seam.
Signal additive(double seconds, const std::vector<double>& voices, int partials, double (*amplitude)(int, double),
    uint32_t seed)
{
    Random random(seed);
    Signal out(frames(seconds), 0.0);
    for (double f : voices) {
        for (int k = 1; k <= partials; ++k) {
            double phase = random.uniform() * 2.0 * pi;
            double step = 2.0 * pi * f * k / sampleRate;
            for (size_t i = 0; i < out.size(); ++i)
                out[i] += amplitude(k, double(i) / sampleRate) * std::sin(phase + step * double(i));
        }
    }
    return out;
}

} // namespace

it::Sample kick()
{
    Signal s(frames(0.45));
    double phase = 0;
    Random random(11);
    OnePole click;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / sampleRate;
        double f = 46.0 + 120.0 * std::exp(-t * 28.0) + 80.0 * std::exp(-t * 200.0);
        phase += 2.0 * pi * f / sampleRate;
        double body = std::sin(phase) * std::exp(-t * 6.5) * std::min(1.0, t / 0.0015);
        double tick = click.lowpass(random.bipolar(), 3000.0) * std::exp(-t * 400.0) * 1.5;
        s[i] = std::tanh(1.6 * (body + tick));
    }
    return unpitched("kick", s);
}

it::Sample snare()
{
    Signal s(frames(0.35));
    Random random(23);
    OnePole high, low;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / sampleRate;
        double tone = (std::sin(2.0 * pi * 185.0 * t) + 0.5 * std::sin(2.0 * pi * 330.0 * t)) * std::exp(-t * 28.0);
        double noise = low.lowpass(high.highpass(random.bipolar(), 900.0), 9000.0) * std::exp(-t * 13.0);
        s[i] = 0.55 * tone + 1.0 * noise;
    }
    return unpitched("snare", s);
}

it::Sample clap()
{
    Signal s(frames(0.4));
    Random random(37);
    StateVariable filter;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / sampleRate;
        double envelope = 0;
        for (int burst = 0; burst < 3; ++burst) {
            double local = t - burst * 0.011;
            if (local >= 0 && local < 0.011)
                envelope = std::max(envelope, std::exp(-local * 220.0));
        }
        if (t >= 0.033)
            envelope = std::max(envelope, std::exp(-(t - 0.033) * 11.0));
        s[i] = filter.bandpass(random.bipolar(), 1150.0, 0.9) * envelope;
    }
    return unpitched("clap", s);
}

namespace {
Signal hat(double seconds, double decay, uint32_t seed)
{
    Signal s(frames(seconds));
    Random random(seed);
    OnePole high1, high2;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / sampleRate;
        double raw = 0.6 * metal(t) + 0.7 * random.bipolar();
        s[i] = high2.highpass(high1.highpass(raw, 6500.0), 6500.0) * std::exp(-t * decay) * std::min(1.0, t / 0.0008);
    }
    return s;
}
} // namespace

it::Sample closedHat() { return unpitched("closed hat", hat(0.09, 55.0, 41)); }
it::Sample openHat() { return unpitched("open hat", hat(0.5, 8.0, 43)); }

it::Sample crash()
{
    Signal s(frames(2.6));
    Random random(53);
    OnePole high, low;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / sampleRate;
        double raw = 0.35 * metal(t * 1.37) + random.bipolar();
        double envelope = std::exp(-t * 1.7) * std::min(1.0, t / 0.002) * (1.0 + 1.5 * std::exp(-t * 30.0));
        s[i] = low.lowpass(high.highpass(raw, 3500.0), 12000.0) * envelope;
    }
    return unpitched("crash", s);
}

it::Sample boom()
{
    Signal s(frames(4.0));
    Random random(61);
    OnePole rumble;
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / sampleRate;
        double f = 33.0 + 60.0 * std::exp(-t * 9.0);
        phase += 2.0 * pi * f / sampleRate;
        double body = std::sin(phase) * std::exp(-t * 1.1) * std::min(1.0, t / 0.003);
        double noise = rumble.lowpass(random.bipolar(), 400.0) * std::exp(-t * 3.0) * 2.5;
        s[i] = std::tanh(1.3 * (body + noise));
    }
    return unpitched("boom", s);
}

it::Sample tom()
{
    Signal s(frames(0.45));
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / sampleRate;
        double f = 105.0 + 70.0 * std::exp(-t * 18.0);
        phase += 2.0 * pi * f / sampleRate;
        s[i] = std::sin(phase) * std::exp(-t * 8.0) * std::min(1.0, t / 0.001);
    }
    return unpitched("tom", s);
}

it::Sample riser(double seconds, uint32_t seed)
{
    Signal s(frames(seconds));
    Random random(seed);
    StateVariable filter1, filter2;
    for (size_t i = 0; i < s.size(); ++i) {
        double x = double(i) / double(s.size()); // 0..1 through the rise
        double cutoff = 250.0 * std::pow(40.0, x);
        double noise = random.bipolar();
        double swept = filter2.bandpass(filter1.bandpass(noise, cutoff, 0.7), cutoff, 0.7);
        s[i] = swept * (0.05 + 0.95 * x * x);
    }
    return unpitched("riser", s);
}

it::Sample bass()
{
    // Partials of 110.25 Hz (400 frames a cycle): saw and square mixed, a low-pass closing over 0.25 s,
    // then steady, so the last whole cycles loop.
    const double f0 = sampleRate / 400.0;
    Signal s = additive(
        0.6, {f0}, 40,
        [](int k, double t) {
            double cutoff = 450.0 + 2600.0 * std::exp(-std::min(t, 0.25) * 16.0);
            double saw = 1.0 / k, square = (k % 2) ? 1.0 / k : 0.0;
            return (0.6 * saw + 0.5 * square) / std::sqrt(1.0 + std::pow(k * 110.25 / cutoff, 4.0));
        },
        71);
    for (double& v : s)
        v = std::tanh(1.2 * v);
    it::Sample sample = finish("bass", s, f0, false);
    sample.loop = true;
    sample.loopEnd = uint32_t(sample.frames.size());
    sample.loopBegin = sample.loopEnd - 8 * 400;
    return sample;
}

it::Sample pad()
{
    // Three saws around 220 Hz detuned by half a hertz: every partial repeats in exactly two seconds.
    Signal s = additive(
        2.0, {220.0, 220.5, 219.5}, 24,
        [](int k, double) { return (1.0 / k) / std::sqrt(1.0 + std::pow(k * 220.0 / 1300.0, 2.0)); }, 83);
    it::Sample sample = finish("pad", s, 220.0, false);
    sample.loop = true;
    sample.loopBegin = 0;
    sample.loopEnd = uint32_t(sample.frames.size());
    return sample;
}

it::Sample lead()
{
    // Two voices, 440 and 441 Hz (one second holds whole cycles of both): a bright saw-square blend.
    Signal s = additive(
        1.0, {440.0, 441.0}, 14,
        [](int k, double) {
            double level = (k % 2) ? 1.0 / k : 0.55 / k;
            return level / std::sqrt(1.0 + std::pow(k * 440.0 / 3800.0, 2.0));
        },
        97);
    it::Sample sample = finish("lead", s, 440.0, false);
    sample.loop = true;
    sample.loopBegin = 0;
    sample.loopEnd = uint32_t(sample.frames.size());
    return sample;
}

it::Sample pluck()
{
    // Karplus-Strong string: a 100-frame delay with a two-tap average sounds at 44100 / 100.5 Hz.
    const int period = 100;
    Signal s(frames(1.0));
    Random random(101);
    OnePole soften;
    for (int i = 0; i < period + 1; ++i)
        s[size_t(i)] = soften.lowpass(random.bipolar(), 6000.0);
    for (size_t i = size_t(period) + 1; i < s.size(); ++i)
        s[i] = 0.4985 * (s[i - size_t(period)] + s[i - size_t(period) - 1]);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] *= std::exp(-double(i) / sampleRate * 2.5);
    return finish("pluck", s, sampleRate / (period + 0.5), true);
}

} // namespace forge::synth
