// The opening pictures: the five title captions, the two sliding backgrounds, the glyph scene's two pictures.
#include "picture_book.h"
#include "random.h"

#include <algorithm>
#include <cmath>

namespace forge {

namespace {

// Captions are 1024 × 512 on a 2.4 × 1.7 quad whose outer 8 % left and right fall off the screen:
// everything that must be read stays within the middle 80 % of the width.
const int captionWidth = 1024, captionHeight = 512;
const int captionSafeWidth = 760;

// Type over a dark halo (it reads on bright and dark backgrounds alike) with a coloured rim.
void setCaption(Canvas& canvas, const Mask& text, Rgba top, Rgba bottom, Rgba rim)
{
    int inkTop = canvas.height(), inkBottom = 0;
    for (int y = 0; y < text.height(); ++y)
        for (int x = 0; x < text.width(); ++x)
            if (text.at(x, y) > 0.5f) {
                inkTop = std::min(inkTop, y);
                inkBottom = std::max(inkBottom, y);
            }
    glow(canvas, text, {0.05f, 0.0f, 0.12f, 1}, 40, 1.4f);
    glow(canvas, text, rim, 14, 1.6f);
    canvas.paint(grown(text, 5), {0.02f, 0.0f, 0.06f, 1});
    canvas.paint(text, [&](float, float y) {
        Rgba c = vertical(top, bottom, float(inkTop), float(inkBottom), y);
        // A thin bright seam just above the middle, like a chrome edge.
        float seam = std::exp(-std::pow((y - mix(float(inkTop), float(inkBottom), 0.45f)) / 3.0f, 2.0f));
        return mix(c, Rgba{1, 1, 1, 1}, 0.7f * seam);
    });
}

// A horizontal rule with a soft glow, centred, for the captions' ornaments.
Mask rule(int width, int height, float cy, float halfLength, float thickness)
{
    Mask m(width, height);
    m.shade([=](float x, float y) {
        float along = 1 - smoothstep(halfLength * 0.6f, halfLength, std::fabs(x - width / 2.0f));
        return along * clamp01(thickness / 2 + 0.5f - std::fabs(y - cy));
    });
    return m;
}

void paintCaption(Book& book, const char* file, const Mask& text, Rgba top, Rgba bottom, Rgba rim,
                  float ruleOffset)
{
    Canvas canvas(captionWidth, captionHeight);
    Mask placedText = placed(text, captionWidth, captionHeight, captionWidth / 2, captionHeight / 2);
    if (ruleOffset > 0) {
        Mask lines = rule(captionWidth, captionHeight, captionHeight / 2 - ruleOffset, 300, 3);
        Mask lower = rule(captionWidth, captionHeight, captionHeight / 2 + ruleOffset, 300, 3);
        for (size_t i = 0; i < lines.v.size(); ++i)
            lines.v[i] = std::max(lines.v[i], lower.v[i]);
        glow(canvas, lines, rim, 10, 1.5f);
        canvas.paint(lines, Rgba{1, 1, 1, 0.9f});
    }
    setCaption(canvas, placedText, top, bottom, rim);
    book.add(file, canvas, true);
}

void paintTitle(Book& book, const Fonts& fonts)
{
    Canvas canvas(captionWidth, captionHeight);
    Mask text = placed(fonts.serif.fit("plomvardix", captionSafeWidth - 60, 230), captionWidth, captionHeight,
                       captionWidth / 2, captionHeight / 2 - 10);
    // Sparkles around the word, placed by a fixed-seed generator.
    Mask sparkles(captionWidth, captionHeight);
    Random random(0x706c6f6d);
    for (int i = 0; i < 26; ++i) {
        float sx = 140 + random.uniformFloat() * 744, sy = 90 + random.uniformFloat() * 330, size = 6 + random.uniformFloat() * 16;
        sparkles.shadeAround(sx, sy, size * 6, [=](float x, float y) {
            float dx = std::fabs(x - sx), dy = std::fabs(y - sy);
            float star = std::exp(-dx / (size * 0.12f)) * std::exp(-dy / size) +
                         std::exp(-dy / (size * 0.12f)) * std::exp(-dx / size);
            return star;
        });
    }
    glow(canvas, sparkles, {1.0f, 0.5f, 0.9f, 1}, 6, 1.2f);
    canvas.paint(sparkles, Rgba{1, 1, 1, 1});
    glow(canvas, text, {0.9f, 0.2f, 0.7f, 1}, 60, 1.1f);
    setCaption(canvas, text, {0.75f, 0.95f, 1.0f, 1}, {0.95f, 0.35f, 0.75f, 1}, {0.3f, 0.8f, 1.0f, 1});
    book.add("text_gfx_plomvardix.tga", canvas, true);
}

// Background "not": a cold nebula of warped noise with stars. Only its middle two thirds of height
// and a third of its width at a time are on screen, magnified about twice: large, soft shapes.
void paintNot(Book& book)
{
    Canvas canvas(1024, 512, {0, 0, 0, 1});
    Random random(0x6e6f7421);
    canvas.shade([](float x, float y) {
        float u = x / 128, v = y / 128;
        float warp = fractalNoise(u * 0.7f, v * 0.7f, 4, 11);
        float n = fractalNoise(u + 3 * warp, v + 2 * warp, 5, 12);
        float band = std::exp(-std::pow((y - 256 - 60 * std::sin(x / 170)) / 150.0f, 2.0f));
        float cloud = smoothstep(0.35f, 0.8f, n) * (0.4f + 0.6f * band);
        Rgba deep{0.02f, 0.02f, 0.10f, 1}, violet{0.35f, 0.12f, 0.60f, 1}, teal{0.10f, 0.75f, 0.85f, 1};
        Rgba c = mix(deep, violet, clamp01(cloud * 1.6f));
        c = mix(c, teal, smoothstep(0.55f, 1.0f, cloud * 1.4f) * 0.8f);
        return c;
    });
    Mask stars(1024, 512);
    for (int i = 0; i < 220; ++i) {
        float sx = random.uniformFloat() * 1024, sy = random.uniformFloat() * 512, r = 0.6f + random.uniformFloat() * random.uniformFloat() * 3;
        stars.shadeAround(sx, sy, r * 4, [=](float x, float y) {
            float d2 = (x - sx) * (x - sx) + (y - sy) * (y - sy);
            return std::exp(-d2 / (r * r));
        });
    }
    glow(canvas, stars, {0.6f, 0.8f, 1.0f, 1}, 8, 2.0f);
    canvas.paint(stars, Rgba{1, 1, 1, 1});
    book.add("gfx_not.tga", canvas, false);
}

// Background "supernena": a hot burst of rays and a shock ring around the middle.
void paintSupernena(Book& book)
{
    Canvas canvas(1024, 512, {0, 0, 0, 1});
    canvas.shade([](float x, float y) {
        float dx = (x - 512) / 512, dy = (y - 256) / 512;
        float r = std::sqrt(dx * dx + dy * dy), angle = std::atan2(dy, dx);
        float rays = fractalNoise((angle + pi) * 12, 0.5f, 3, 21, 75);
        float core = std::exp(-r * 9), halo = std::exp(-r * 2.5f);
        float shock = std::exp(-std::pow((r - 0.42f) / 0.03f, 2.0f)) * (0.5f + 0.5f * rays);
        float dust = fractalNoise(x / 90, y / 90, 5, 22);
        float heat = clamp01(core * 1.5f + halo * (0.4f + 0.9f * rays) * (0.7f + 0.5f * dust) + shock * 0.8f);
        Rgba night{0.10f, 0.0f, 0.12f, 1}, rose{0.85f, 0.10f, 0.45f, 1}, amber{1.0f, 0.62f, 0.15f, 1};
        Rgba c = mix(night, rose, smoothstep(0.0f, 0.45f, heat));
        c = mix(c, amber, smoothstep(0.35f, 0.8f, heat));
        c = mix(c, Rgba{1, 0.97f, 0.85f, 1}, smoothstep(0.75f, 1.0f, heat));
        c = mix(c, Rgba{0.35f, 0.05f, 0.45f, 1}, smoothstep(0.55f, 0.75f, dust) * (1 - heat) * 0.7f);
        return c;
    });
    book.add("gfx_supernena.tga", canvas, false);
}

// fostarina2: a star emblem. Its quad shows only its upper left part (about 70 % of each side), so
// the emblem sits there and the rest trails off.
void paintFostarina(Book& book)
{
    const int size = 512;
    const float cx = 0.36f * size, cy = 0.36f * size;
    Canvas canvas(size, size);
    Mask rings(size, size), star(size, size);
    rings.shade([=](float x, float y) {
        float r = std::hypot(x - cx, y - cy);
        float a = clamp01(2.5f - std::fabs(r - 150)) + clamp01(1.5f - std::fabs(r - 132));
        float ticks = std::fabs(r - 165) < 6 && std::fmod(std::atan2(y - cy, x - cx) + pi, pi / 12) < 0.06f;
        return a + ticks;
    });
    star.shade([=](float x, float y) {
        float r = std::hypot(x - cx, y - cy), angle = std::atan2(y - cy, x - cx);
        float spikes = std::pow(std::fabs(std::cos(angle * 4)), 18.0f);
        float edge = 28 + 90 * spikes;
        return clamp01(edge - r) * (r < 120 ? 1.0f : 0.0f);
    });
    canvas.shade([=](float x, float y) {
        float r = std::hypot(x - cx, y - cy);
        return Rgba{0.25f, 0.0f, 0.35f, 0.55f * (1 - smoothstep(100, 175, r))};
    });
    glow(canvas, rings, {1.0f, 0.4f, 0.9f, 1}, 10, 1.6f);
    canvas.paint(rings, Rgba{1, 0.9f, 1, 1});
    glow(canvas, star, {1.0f, 0.8f, 0.3f, 1}, 24, 1.4f);
    canvas.paint(star, [=](float x, float y) {
        float r = std::hypot(x - cx, y - cy);
        return mix(Rgba{1, 1, 0.9f, 1}, Rgba{1.0f, 0.55f, 0.2f, 1}, clamp01(r / 110));
    });
    book.add("fostarina2.tga", canvas, true);
}

// k: the letter the glyph scene's wire frame spells, on a round badge.
void paintK(Book& book, const Fonts& fonts)
{
    const int size = 256;
    Canvas canvas(size, size);
    canvas.shade([](float x, float y) {
        float r = std::hypot(x - 128, y - 128);
        float disc = clamp01(112 - r), rim = clamp01(3 - std::fabs(r - 108));
        Rgba c = mix(Rgba{0.30f, 0.02f, 0.40f, 1}, Rgba{0.08f, 0.0f, 0.15f, 1}, clamp01(r / 110));
        c.a = 0.85f * disc;
        c = mix(c, Rgba{1, 1, 1, 1}, rim);
        return c;
    });
    Mask letter = placed(fonts.bold.fit("k", 150, 160), size, size, 132, 128);
    glow(canvas, letter, {1.0f, 0.3f, 0.9f, 1}, 16, 1.6f);
    canvas.paint(letter, [](float, float y) {
        return vertical({1, 1, 1, 1}, {1.0f, 0.8f, 0.4f, 1}, 50, 210, y);
    });
    book.add("k.tga", canvas, true);
}

}  // namespace

void paintTitles(Book& book, const Fonts& fonts)
{
    const Rgba white{1, 1, 1, 1};
    paintCaption(book, "text_gfx_zub.tga", fonts.bold.fit("zub", captionSafeWidth, 300), white,
                 {0.6f, 0.9f, 1.0f, 1}, {0.2f, 0.7f, 1.0f, 1}, 0);
    paintCaption(book, "text_gfx_presents.tga", fonts.book.fit("presents", captionSafeWidth - 60, 150, 0.12f),
                 white, {1.0f, 0.85f, 0.95f, 1}, {1.0f, 0.3f, 0.7f, 1}, 120);
    paintCaption(book, "text_gfx_ademo.tga", fonts.serif.fit("a demo", captionSafeWidth - 80, 200), white,
                 {1.0f, 0.9f, 0.6f, 1}, {1.0f, 0.55f, 0.15f, 1}, 0);
    paintCaption(book, "text_gfx_called.tga", fonts.condensed.fit("called", captionSafeWidth - 80, 180, 0.05f),
                 white, {0.8f, 1.0f, 0.85f, 1}, {0.3f, 1.0f, 0.6f, 1}, 130);
    paintTitle(book, fonts);
    paintNot(book);
    paintSupernena(book);
    paintFostarina(book);
    paintK(book, fonts);
}

}
