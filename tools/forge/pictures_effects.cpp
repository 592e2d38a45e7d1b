// The middle scenes' pictures: the ring scene's background, logo and smoke, the laser band and the sign.
#include "picture_book.h"

#include <algorithm>
#include <cmath>

namespace forge {

namespace {

// bazura: a horizon with a striped sun over a grid floor. Its square quad is stretched to about
// 630 × 364 pixels, so shapes are drawn 1.73 times narrower than tall to come out round.
void paintBazura(Book& book)
{
    const int size = 512;
    const float stretch = 1.73f, horizon = 300;
    Canvas canvas(size, size, {0, 0, 0, 1});
    canvas.shade([=](float x, float y) {
        if (y < horizon) {
            Rgba c = vertical({0.03f, 0.02f, 0.20f, 1}, {0.95f, 0.25f, 0.55f, 1}, 0, horizon, y);
            float dx = (x - 256) * stretch, dy = y - 200;
            float r = std::sqrt(dx * dx + dy * dy);
            float stripes = y > 190 && std::fmod(y, 18.0f) < 3 + (y - 190) / 12;
            float sun = clamp01(150 - r) * (1 - stripes);
            c = mix(c, vertical({1.0f, 0.95f, 0.4f, 1}, {1.0f, 0.35f, 0.4f, 1}, 50, 300, y), sun);
            c = mix(c, Rgba{1.0f, 0.6f, 0.5f, 1}, 0.35f * std::exp(-r / 120) * (1 - sun));
            float haze = fractalNoise(x / 60, y / 25, 4, 31);
            c = mix(c, Rgba{0.4f, 0.1f, 0.5f, 1}, smoothstep(0.55f, 0.8f, haze) * 0.5f * (1 - sun));
            return c;
        }
        // Floor: lines converging to the vanishing point, rows closing up towards the horizon.
        float depth = (y - horizon) / (size - horizon);
        float z = 1 / (depth + 0.02f);
        float across = (x - 256) / (depth + 0.02f) / 40;
        float lineX = std::fabs(across - std::round(across));
        float lineZ = std::fabs(z * 0.8f - std::round(z * 0.8f));
        float grid = std::max(clamp01(1 - lineX * 18 * depth), clamp01(1 - lineZ * 6 / z));
        Rgba floor = vertical({0.25f, 0.02f, 0.30f, 1}, {0.02f, 0.0f, 0.06f, 1}, horizon, size, y);
        floor = mix(floor, Rgba{0.2f, 0.95f, 1.0f, 1}, grid * (0.4f + 0.6f * depth));
        return mix(floor, Rgba{1.0f, 0.4f, 0.7f, 1}, std::exp(-(y - horizon) / 12) * 0.8f);
    });
    book.add("bazura.tga", canvas, false);
}

// fordtuneao3: the group's logo. It is drawn with (GL_SRC_ALPHA, GL_SRC_COLOR): each texel adds its
// colour and multiplies what lies beneath by it. Empty texels are therefore white with alpha 0, the
// black outline and stripes cut dark into the scene and the warm letters burn bright.
void paintLogo(Book& book, const Fonts& fonts)
{
    const int width = 512, height = 256;
    Canvas canvas(width, height);
    Mask letters = placed(fonts.bold.fit("zub", 300, 170, 0.02f), width, height, width / 2, 112);
    Mask word = placed(fonts.condensed.fit("plomvardix", 250, 34, 0.25f), width, height, width / 2, 222);
    Mask stripes(width, height);
    stripes.shade([=](float x, float y) {
        float inBand = clamp01(1 - std::fabs(y - 112) / 70);
        float row = std::fmod(y - 42, 20.0f);
        float thickness = 2 + 6 * inBand;
        float side = std::min(x, width - 1 - x) / 100.0f;  // fades out towards the picture's ends
        return (row < thickness ? 1.0f : 0.0f) * clamp01(side) * clamp01(inBand * 3);
    });
    Mask clearance = grown(letters, 24);
    for (size_t i = 0; i < stripes.v.size(); ++i)
        stripes.v[i] *= 1 - clearance.v[i];
    canvas.paint(stripes, Rgba{0, 0, 0, 1});
    canvas.paint(grown(letters, 14), Rgba{0, 0, 0, 1});
    canvas.paint(letters, [](float, float y) {
        return vertical({1.0f, 0.95f, 0.55f, 1}, {1.0f, 0.35f, 0.1f, 1}, 40, 190, y);
    });
    canvas.paint(grown(word, 6), Rgba{0, 0, 0, 1});
    canvas.paint(word, Rgba{0.7f, 0.95f, 1.0f, 1});
    book.add("fordtuneao3.tga", canvas, true, EmptyTexels::White);
}

// minik: one soft, round puff of smoke; alpha falls to 0 well inside the square's edge.
void paintSmoke(Book& book)
{
    const int size = 128;
    Canvas canvas(size, size);
    canvas.shade([](float x, float y) {
        float dx = (x - 64) / 60, dy = (y - 64) / 60;
        float r2 = dx * dx + dy * dy;
        float body = std::pow(clamp01(1 - r2), 2.0f);
        float billow = fractalNoise(x / 18, y / 18, 4, 41);
        float shade = 0.85f + 0.15f * (1 - dy) * 0.5f;
        return Rgba{shade, shade, shade * 1.03f, clamp01(body * (0.45f + 0.75f * billow))};
    });
    book.add("minik.tga", canvas, true);
}

// text_laser: a glowing band. Across (u) it is a white core in a magenta glow with two thin rails near
// the edges; along (v) it tiles, with pulses of light. The beam shows a 0.15-high slice of it stretched
// along its length, the tunnel walls show it whole, tinted purple.
void paintLaser(Book& book)
{
    const int size = 256;
    Canvas canvas(size, size);
    canvas.shade([](float x, float y) {
        float across = (x - size / 2.0f) / (size / 2.0f);  // -1 .. 1
        float v = y / size;
        float d = std::fabs(across);
        float pulse = 0.65f + 0.35f * std::sin(2 * pi * 3 * v);
        float sparks = fractalNoise(x / 8, v * 16, 3, 51, 16);
        float core = std::exp(-std::pow(d / 0.07f, 2.0f));
        float halo = std::exp(-std::pow(d / 0.35f, 2.0f)) * pulse;
        float rails = clamp01(1 - std::fabs(d - 0.86f) * 60) * (0.6f + 0.4f * pulse);
        float seams = clamp01(1 - std::fabs(std::fmod(v * 4 + 1, 1.0f) - 0.5f) * 120) * (d < 0.86f ? 0.5f : 0);
        Rgba c{1.0f, 0.25f, 0.85f, 0};
        c = mix(c, Rgba{0.3f, 0.9f, 1.0f, 0}, clamp01(rails + seams));
        c = mix(c, Rgba{1, 1, 1, 0}, core);
        c.a = clamp01(0.10f + 0.9f * core + 0.6f * halo * (0.7f + 0.3f * sparks) + rails + seams);
        return c;
    });
    book.add("text_laser.tga", canvas, true);
}

// cartelin: a wide sign that slides across the screen, about a third of it in view at a time.
void paintSign(Book& book, const Fonts& fonts)
{
    const int width = 1024, height = 256;
    Canvas canvas(width, height);
    canvas.shade([=](float x, float y) {
        float plate = roundedBox(x, y, width / 2.0f, height / 2.0f, 500, 100, 40);
        Rgba c = vertical({0.20f, 0.02f, 0.30f, 1}, {0.05f, 0.0f, 0.10f, 1}, 28, 228, y);
        float scan = 0.85f + 0.15f * std::sin(y * pi / 3);
        c.r *= scan;
        c.g *= scan;
        c.b *= scan;
        c.a = 0.75f * plate;
        return c;
    });
    Mask frame(width, height);
    frame.shade([=](float x, float y) {
        float outer = roundedBox(x, y, width / 2.0f, height / 2.0f, 488, 88, 30);
        float inner = roundedBox(x, y, width / 2.0f, height / 2.0f, 484, 84, 26);
        return outer - inner;
    });
    Mask text = placed(fonts.bold.fit("plomvardix", 760, 120, 0.08f), width, height, width / 2, height / 2);
    Mask diamonds(width, height);
    diamonds.shade([=](float x, float y) {
        float left = std::fabs(x - 92) + std::fabs(y - 128), right = std::fabs(x - 932) + std::fabs(y - 128);
        return clamp01(26 - std::min(left, right));
    });
    glow(canvas, frame, {0.3f, 0.9f, 1.0f, 1}, 10, 1.6f);
    canvas.paint(frame, Rgba{0.8f, 1, 1, 1});
    glow(canvas, diamonds, {1.0f, 0.4f, 0.8f, 1}, 12, 1.5f);
    canvas.paint(diamonds, Rgba{1, 0.85f, 0.95f, 1});
    glow(canvas, text, {0.2f, 0.9f, 1.0f, 1}, 18, 1.6f);
    canvas.paint(text, [](float, float y) { return vertical({1, 1, 1, 1}, {0.6f, 0.95f, 1.0f, 1}, 70, 190, y); });
    book.add("cartelin.tga", canvas, true);
}

}  // namespace

void paintEffects(Book& book, const Fonts& fonts)
{
    paintBazura(book);
    paintLogo(book, fonts);
    paintSmoke(book);
    paintLaser(book);
    paintSign(book, fonts);
}

}
