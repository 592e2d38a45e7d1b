// The credits scene's pictures: the tile, the credits, the greetings, the warnings and the closing mask.
#include "picture_book.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace forge {

namespace {

// zub03: the floating triangles map texture (0,0), (0,1), (1,1), so only the half with u ≤ v shows:
// the upper left triangle of the picture as stored top row first.
void paintTile(Book& book)
{
    const int size = 64;
    Canvas canvas(size, size);
    canvas.shade([](float x, float y) {
        float u = x / size, w = y / size;  // w runs down the picture
        float toDiagonal = (1 - u - w) * size / std::sqrt(2.0f);
        float toEdge = std::min({x, y, toDiagonal});
        if (toDiagonal < -1)
            return Rgba{};
        float inside = clamp01(toDiagonal + 0.5f);
        float rim = clamp01(1 - std::fabs(toEdge - 3) / 2.5f);
        float inner = clamp01(1 - std::fabs(toEdge - 11) / 1.2f);
        Rgba c = mix(Rgba{0.1f, 0.8f, 0.9f, 0.45f}, Rgba{0.6f, 0.2f, 0.9f, 0.45f}, clamp01(u + w));
        c = mix(c, Rgba{1, 1, 1, 1}, rim);
        c = mix(c, Rgba{1.0f, 0.9f, 0.4f, 0.9f}, inner);
        c.a *= inside;
        return c;
    });
    book.add("zub03.tga", canvas, true);
}

// Light type over a dark soft halo, readable over the moving tiles and tunnel.
void setLine(Canvas& canvas, const Mask& text, Rgba top, Rgba bottom, Rgba rim, float y0, float y1)
{
    glow(canvas, text, {0.04f, 0.0f, 0.08f, 1}, 18, 1.5f);
    glow(canvas, text, rim, 8, 1.3f);
    canvas.paint(grown(text, 3), Rgba{0.03f, 0.0f, 0.07f, 1});
    canvas.paint(text, [=](float, float y) { return vertical(top, bottom, y0, y1, y); });
}

const Rgba white{1, 1, 1, 1};
const Rgba pale{0.85f, 0.9f, 1.0f, 1};

// The four credit pictures are seen small (about 280 × 140 pixels): one or two words, filling them.
void paintCreditWord(Book& book, const Fonts& fonts, const char* file, const char* small, const char* big, Rgba rim)
{
    const int width = 256, height = 128;
    Canvas canvas(width, height);
    if (small) {
        Mask top = placed(fonts.condensed.fit(small, 200, 34, 0.05f), width, height, width / 2, 30);
        Mask bottom = placed(fonts.bold.fit(big, 220, 56), width, height, width / 2, 84);
        setLine(canvas, top, white, pale, rim, 14, 46);
        setLine(canvas, bottom, white, {1.0f, 0.85f, 0.5f, 1}, rim, 56, 112);
    } else {
        Mask word = placed(fonts.bold.fit(big, 224, 84), width, height, width / 2, height / 2);
        setLine(canvas, word, white, {1.0f, 0.85f, 0.5f, 1}, rim, 22, 106);
    }
    book.add(file, canvas, true);
}

// creditos_aux: the plate behind the credits; the credit picture sits in its middle 40 %.
void paintPlate(Book& book, const Fonts& fonts)
{
    const int width = 512, height = 256;
    Canvas canvas(width, height);
    canvas.shade([=](float x, float y) {
        float plate = roundedBox(x, y, 256, 128, 236, 112, 22);
        Rgba c = vertical({0.16f, 0.02f, 0.26f, 1}, {0.03f, 0.0f, 0.07f, 1}, 16, 240, y);
        float scan = 0.8f + 0.2f * std::sin(y * pi / 2);
        float sheen = std::exp(-std::pow((x - y * 1.5f - 120) / 60, 2.0f)) * 0.12f;
        c = {c.r * scan + sheen, c.g * scan + sheen, c.b * scan + sheen, 0.7f * plate};
        return c;
    });
    Mask frame(width, height);
    frame.shade([=](float x, float y) {
        float border = roundedBox(x, y, 256, 128, 226, 102, 14) - roundedBox(x, y, 256, 128, 224, 100, 12);
        // Corner brackets: the border's four ends drawn thicker.
        bool corner = (std::fabs(x - 256) > 170) && (std::fabs(y - 128) > 60);
        float bracket = corner ? roundedBox(x, y, 256, 128, 230, 106, 18) - roundedBox(x, y, 256, 128, 222, 98, 10)
                               : 0.0f;
        return std::max(border, bracket);
    });
    glow(canvas, frame, {0.3f, 0.85f, 1.0f, 1}, 8, 1.8f);
    canvas.paint(frame, Rgba{0.85f, 1, 1, 1});
    Mask label = placed(fonts.condensed.fit("credits", 120, 18, 0.3f), width, height, 256, 40);
    canvas.paint(label, Rgba{0.6f, 0.85f, 1.0f, 0.9f});
    Mask dots(width, height);
    for (int i = 0; i < 5; ++i)
        dots.shadeAround(216 + 20 * i, 220, 5, [=](float x, float y) {
            return clamp01(3.5f - std::hypot(x - (216 + 20 * i), y - 220));
        });
    canvas.paint(dots, Rgba{1.0f, 0.5f, 0.85f, 1});
    book.add("creditos_aux.tga", canvas, true);
}

// creditosdeverdad: the credits in one picture, shown large and fading out.
void paintAllCredits(Book& book, const Fonts& fonts)
{
    const int width = 512, height = 256;
    Canvas canvas(width, height);
    Mask title = placed(fonts.serif.fit("plomvardix", 400, 70), width, height, 256, 58);
    Mask by = placed(fonts.condensed.fit("a zub production", 260, 26, 0.12f), width, height, 256, 118);
    Mask names = placed(fonts.bold.fit("ruvo  \xc2\xb7  pemi", 380, 64), width, height, 256, 182);
    Mask all(width, height);
    for (size_t i = 0; i < all.v.size(); ++i)
        all.v[i] = std::max({title.v[i], by.v[i], names.v[i]});
    canvas.paint(grown(all, 40), Rgba{0.05f, 0.0f, 0.1f, 0.45f});
    setLine(canvas, title, {0.75f, 0.95f, 1.0f, 1}, {0.95f, 0.4f, 0.8f, 1}, {0.3f, 0.8f, 1.0f, 1}, 25, 90);
    setLine(canvas, by, pale, pale, {1.0f, 0.3f, 0.7f, 1}, 105, 130);
    setLine(canvas, names, white, {1.0f, 0.8f, 0.4f, 1}, {1.0f, 0.5f, 0.2f, 1}, 150, 215);
    book.add("creditosdeverdad.tga", canvas, true);
}

// A greeting: two lines over a soft dark backdrop.
void paintGreeting(Book& book, const Fonts& fonts, const char* file, const char* first, const char* second,
                   Rgba rim, Rgba warm)
{
    const int width = 512, height = 256;
    Canvas canvas(width, height);
    int size = std::min(fonts.bold.fitSize(first, 440, 66), fonts.bold.fitSize(second, 440, 66));
    Mask a = placed(fonts.bold.line(first, size), width, height, 256, 92);
    Mask b = placed(fonts.bold.line(second, size), width, height, 256, 168);
    Mask both(width, height);
    for (size_t i = 0; i < both.v.size(); ++i)
        both.v[i] = std::max(a.v[i], b.v[i]);
    setLine(canvas, both, white, warm, rim, 50, 210);
    book.add(file, canvas, true);
}

// epileptics: a warning before the strobe, between two bands of hazard stripes.
void paintWarning(Book& book, const Fonts& fonts)
{
    const int width = 512, height = 256;
    Canvas canvas(width, height);
    canvas.shade([=](float x, float y) {
        float band = std::min(std::fabs(y - 30), std::fabs(y - 226)) < 14 ? 1.0f : 0.0f;
        float ends = clamp01((std::min(x, width - x) - 20) / 30);
        bool yellow = std::fmod(x + y + 1000, 40.0f) < 20;
        Rgba c = yellow ? Rgba{1.0f, 0.85f, 0.1f, 1} : Rgba{0.05f, 0.02f, 0.0f, 1};
        c.a = band * ends;
        return c;
    });
    Mask big = placed(fonts.bold.fit("epileptics", 440, 80), width, height, 256, 100);
    Mask small = placed(fonts.condensed.fit("look away now", 300, 40, 0.08f), width, height, 256, 168);
    setLine(canvas, big, {1.0f, 1.0f, 0.7f, 1}, {1.0f, 0.6f, 0.1f, 1}, {1.0f, 0.2f, 0.1f, 1}, 60, 140);
    setLine(canvas, small, white, pale, {1.0f, 0.3f, 0.2f, 1}, 150, 186);
    book.add("epileptics.tga", canvas, true);
}

// allez: one shout with a burst of rays behind it.
void paintAllez(Book& book, const Fonts& fonts)
{
    const int width = 512, height = 256;
    Canvas canvas(width, height);
    canvas.shade([=](float x, float y) {
        float dx = (x - 256) / 2, dy = y - 128;  // the quad is twice as wide as high
        float r = std::hypot(dx, dy), angle = std::atan2(dy, dx);
        float rays = std::pow(std::fabs(std::sin(angle * 9)), 8.0f);
        float fade = clamp01(1 - r / 125);
        return Rgba{1.0f, 0.5f + 0.4f * fade, 0.2f, rays * fade * 0.7f};
    });
    Mask word = placed(fonts.serif.fit("allez!", 420, 150), width, height, 256, 128);
    setLine(canvas, word, {1.0f, 1.0f, 0.8f, 1}, {1.0f, 0.35f, 0.2f, 1}, {1.0f, 0.6f, 0.1f, 1}, 50, 205);
    book.add("allez.tga", canvas, true);
}

// fin: only its alpha counts (the scene draws it black and multiplies the frame by the alpha). The
// quad shrinks from ±6 to about ±2 around a 4 × 3 box: an opening of radius 0.2 of the picture first
// shows the whole frame but for dim corners, and at the end leaves a small round window with a thin
// ring of frame around it.
void paintFin(Book& book)
{
    const int size = 512;
    Canvas canvas(size, size);
    canvas.shade([](float x, float y) {
        float d = std::hypot(x - size / 2.0f, y - size / 2.0f) / size;
        float opening = 1 - smoothstep(0.15f, 0.215f, d);
        float ring = std::exp(-std::pow((d - 0.3f) / 0.008f, 2.0f));
        return Rgba{0, 0, 0, clamp01(opening + ring)};
    });
    book.add("fin.tga", canvas, true);
}

}  // namespace

void paintCredits(Book& book, const Fonts& fonts)
{
    paintTile(book);
    paintAllCredits(book, fonts);
    paintPlate(book, fonts);
    paintCreditWord(book, fonts, "creditos_staff.tga", "the zub", "staff", {0.3f, 0.8f, 1.0f, 1});
    paintCreditWord(book, fonts, "creditos_ruvo.tga", nullptr, "ruvo", {1.0f, 0.4f, 0.8f, 1});
    paintCreditWord(book, fonts, "creditos_pemi.tga", nullptr, "pemi", {1.0f, 0.6f, 0.2f, 1});
    paintCreditWord(book, fonts, "creditos_theyhave.tga", "they have", "made this", {0.4f, 1.0f, 0.6f, 1});
    const Rgba cyan{0.2f, 0.8f, 1.0f, 1}, pink{1.0f, 0.3f, 0.75f, 1}, gold{1.0f, 0.7f, 0.2f, 1};
    const Rgba green{0.3f, 1.0f, 0.5f, 1};
    paintGreeting(book, fonts, "greets_1.tga", "greetings to", "all demosceners", cyan, {0.8f, 0.95f, 1.0f, 1});
    paintGreeting(book, fonts, "greets_2.tga", "coders, pixel artists", "and musicians", pink, {1.0f, 0.85f, 0.95f, 1});
    paintGreeting(book, fonts, "greets_3.tga", "everyone who makes", "a party happen", gold, {1.0f, 0.9f, 0.6f, 1});
    paintGreeting(book, fonts, "greets_4.tga", "keep the scene", "alive", green, {0.85f, 1.0f, 0.85f, 1});
    paintWarning(book, fonts);
    paintAllez(book, fonts);
    paintFin(book);
}

}
