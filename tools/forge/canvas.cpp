// Float raster for the forge's pictures: masks, an RGBA canvas and noise.
#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace forge {

float clamp01(float x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }
float mix(float a, float b, float t) { return a + (b - a) * t; }
float smoothstep(float edge0, float edge1, float x)
{
    float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}
Rgba mix(const Rgba& a, const Rgba& b, float t)
{
    return {mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t), mix(a.a, b.a, t)};
}

namespace {

uint32_t hash(int x, int y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

float lattice(int x, int y, uint32_t seed, int period)
{
    if (period > 0) {
        x = ((x % period) + period) % period;
        y = ((y % period) + period) % period;
    }
    return float(hash(x, y, seed) >> 8) * (1.0f / 16777215.0f);
}

}  // namespace

float valueNoise(float x, float y, uint32_t seed, int period)
{
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    float a = lattice(ix, iy, seed, period), b = lattice(ix + 1, iy, seed, period);
    float c = lattice(ix, iy + 1, seed, period), d = lattice(ix + 1, iy + 1, seed, period);
    return mix(mix(a, b, tx), mix(c, d, tx), ty);
}

float fractalNoise(float x, float y, int octaves, uint32_t seed, int period)
{
    float sum = 0, weight = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += weight * valueNoise(x, y, seed + uint32_t(i) * 101u, period);
        total += weight;
        weight *= 0.5f;
        x *= 2;
        y *= 2;
        if (period > 0)
            period *= 2;
    }
    return sum / total;
}

Mask::Mask(int width, int height) : v(size_t(width) * height, 0.0f), w(width), h(height) {}

float Mask::sample(int x, int y) const
{
    if (x < 0 || y < 0 || x >= w || y >= h)
        return 0;
    return at(x, y);
}

void Mask::shade(const std::function<float(float, float)>& f)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            at(x, y) = std::max(at(x, y), clamp01(f(x + 0.5f, y + 0.5f)));
}

void Mask::shadeAround(float cx, float cy, float radius, const std::function<float(float, float)>& f)
{
    int x0 = std::max(0, int(cx - radius)), x1 = std::min(w - 1, int(cx + radius) + 1);
    int y0 = std::max(0, int(cy - radius)), y1 = std::min(h - 1, int(cy + radius) + 1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            at(x, y) = std::max(at(x, y), clamp01(f(x + 0.5f, y + 0.5f)));
}

namespace {

// One box pass along rows (stride 1) or columns (stride w), zero outside.
void boxPass(std::vector<float>& data, int count, int length, int step, int lineStep, int radius)
{
    std::vector<float> line(static_cast<size_t>(length));
    float norm = 1.0f / float(2 * radius + 1);
    for (int l = 0; l < count; ++l) {
        float* base = data.data() + size_t(l) * lineStep;
        for (int i = 0; i < length; ++i)
            line[i] = base[size_t(i) * step];
        double sum = 0;
        for (int i = -radius; i <= radius; ++i)
            if (i >= 0 && i < length)
                sum += line[i];
        for (int i = 0; i < length; ++i) {
            base[size_t(i) * step] = float(sum) * norm;
            int out = i - radius, in = i + radius + 1;
            if (out >= 0)
                sum -= line[out];
            if (in < length)
                sum += line[in];
        }
    }
}

}  // namespace

Mask Mask::blurred(int radius) const
{
    Mask out = *this;
    if (radius <= 0)
        return out;
    int r = std::max(1, radius / 2);
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(out.v, h, w, 1, w, r);
        boxPass(out.v, w, h, w, 1, r);
    }
    return out;
}

void Mask::stamp(const Mask& src, int cx, int cy)
{
    int x0 = cx - src.width() / 2, y0 = cy - src.height() / 2;
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            int tx = x0 + x, ty = y0 + y;
            if (tx >= 0 && ty >= 0 && tx < w && ty < h)
                at(tx, ty) = std::max(at(tx, ty), src.at(x, y));
        }
}

void Mask::scale(float k)
{
    for (float& x : v)
        x = clamp01(x * k);
}

Canvas::Canvas(int width, int height, Rgba fill) : w(width), h(height), px(size_t(width) * height * 4)
{
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        px[i * 4 + 0] = fill.r * fill.a;
        px[i * 4 + 1] = fill.g * fill.a;
        px[i * 4 + 2] = fill.b * fill.a;
        px[i * 4 + 3] = fill.a;
    }
}

void Canvas::over(size_t i, const Rgba& c)
{
    float a = clamp01(c.a);
    float* p = &px[i * 4];
    p[0] = clamp01(c.r) * a + p[0] * (1 - a);
    p[1] = clamp01(c.g) * a + p[1] * (1 - a);
    p[2] = clamp01(c.b) * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
}

void Canvas::shade(const std::function<Rgba(float, float)>& f)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            over(size_t(y) * w + x, f(x + 0.5f, y + 0.5f));
}

void Canvas::paint(const Mask& mask, const std::function<Rgba(float, float)>& colour)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float m = mask.sample(x, y);
            if (m <= 0)
                continue;
            Rgba c = colour(x + 0.5f, y + 0.5f);
            c.a *= m;
            over(size_t(y) * w + x, c);
        }
}

void Canvas::paint(const Mask& mask, Rgba colour)
{
    paint(mask, [colour](float, float) { return colour; });
}

Rgba Canvas::get(int x, int y) const
{
    const float* p = &px[(size_t(y) * w + x) * 4];
    if (p[3] <= 0)
        return {0, 0, 0, 0};
    return {clamp01(p[0] / p[3]), clamp01(p[1] / p[3]), clamp01(p[2] / p[3]), clamp01(p[3])};
}

namespace {
uint8_t toByte(float x) { return uint8_t(std::lround(clamp01(x) * 255.0f)); }
}

std::vector<uint8_t> Canvas::bytes(bool withAlpha, EmptyTexels empty) const
{
    size_t n = size_t(w) * h;
    std::vector<uint8_t> rgba(n * 4);
    std::vector<int> source(n, -1);  // for empty texels: the texel whose colour they carry
    std::deque<size_t> queue;
    for (size_t i = 0; i < n; ++i) {
        Rgba c = get(int(i % w), int(i / w));
        uint8_t a = withAlpha ? toByte(c.a) : 255;
        rgba[i * 4 + 0] = toByte(c.r);
        rgba[i * 4 + 1] = toByte(c.g);
        rgba[i * 4 + 2] = toByte(c.b);
        rgba[i * 4 + 3] = a;
        if (a > 0) {
            source[i] = int(i);
            queue.push_back(i);
        }
    }
    if (!withAlpha)
        return rgba;
    if (empty == EmptyTexels::White) {
        // The colour over white: a multiplier fades to 1 (no change) as the texel fades out, so soft
        // edges stay soft and empty texels are pure white.
        for (size_t i = 0; i < n; ++i) {
            const float* p = &px[i * 4];
            for (int k = 0; k < 3; ++k)
                rgba[i * 4 + k] = toByte(p[k] + (1 - clamp01(p[3])));
            if (rgba[i * 4 + 3] == 0)
                rgba[i * 4 + 0] = rgba[i * 4 + 1] = rgba[i * 4 + 2] = 255;
        }
        return rgba;
    }
    // Breadth-first from every texel that shows, so each empty one takes its nearest neighbour's colour.
    while (!queue.empty()) {
        size_t i = queue.front();
        queue.pop_front();
        int x = int(i % w), y = int(i / w);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                    continue;
                size_t j = size_t(ny) * w + nx;
                if (source[j] >= 0)
                    continue;
                source[j] = source[i];
                for (int k = 0; k < 3; ++k)
                    rgba[j * 4 + k] = rgba[size_t(source[i]) * 4 + k];
                queue.push_back(j);
            }
    }
    return rgba;
}

}
