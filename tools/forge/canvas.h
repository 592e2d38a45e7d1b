// Float raster for the forge's pictures: masks, an RGBA canvas and noise.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace forge {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;  // straight colour, not premultiplied
};

float clamp01(float x);
float mix(float a, float b, float t);
float smoothstep(float edge0, float edge1, float x);
Rgba mix(const Rgba& a, const Rgba& b, float t);

// Smooth value noise in [0, 1] on an integer lattice; period > 0 makes it wrap every period cells.
float valueNoise(float x, float y, uint32_t seed, int period = 0);
// Sum of octaves of value noise, normalised to [0, 1].
float fractalNoise(float x, float y, int octaves, uint32_t seed, int period = 0);

// One channel of coverage, row 0 at the top.
class Mask {
public:
    Mask() = default;
    Mask(int width, int height);
    int width() const { return w; }
    int height() const { return h; }
    float& at(int x, int y) { return v[size_t(y) * w + x]; }
    float at(int x, int y) const { return v[size_t(y) * w + x]; }
    float sample(int x, int y) const;  // 0 outside
    void shade(const std::function<float(float x, float y)>& f);  // max with f at pixel centres
    // The same, only for the pixels within radius of (cx, cy) on each axis.
    void shadeAround(float cx, float cy, float radius, const std::function<float(float x, float y)>& f);
    // Box blur run three times, close to a gaussian of about the given radius.
    Mask blurred(int radius) const;
    // Copies src with its centre at (cx, cy), keeping the larger coverage.
    void stamp(const Mask& src, int cx, int cy);
    void scale(float k);
    std::vector<float> v;
private:
    int w = 0, h = 0;
};

// What the texels of alpha 0 carry when written out.
enum class EmptyTexels {
    NearestColour,  // the colour of the nearest texel that is not empty: no dark fringe under filtering
    White           // every texel's colour as if over white: the picture is a multiplier, 1 where empty
};

// Premultiplied RGBA raster, row 0 at the top (the top edge of the quad the picture is drawn on).
class Canvas {
public:
    Canvas(int width, int height, Rgba fill = {});
    int width() const { return w; }
    int height() const { return h; }
    // Composites f(x, y) over every pixel; x, y are pixel centres.
    void shade(const std::function<Rgba(float x, float y)>& f);
    // Composites colour(x, y) over the pixels, with its alpha scaled by the mask.
    void paint(const Mask& mask, const std::function<Rgba(float x, float y)>& colour);
    void paint(const Mask& mask, Rgba colour);
    Rgba get(int x, int y) const;  // straight colour
    // Bytes R,G,B(,A) per pixel, rows top first, with empty texels filled as asked.
    std::vector<uint8_t> bytes(bool withAlpha, EmptyTexels empty) const;
private:
    void over(size_t i, const Rgba& c);
    int w, h;
    std::vector<float> px;  // premultiplied r, g, b, a
};

}
