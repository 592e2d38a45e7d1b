// Paints every picture the scenes load and writes them into the data folder.
#include "pictures.h"

#include "picture_book.h"
#include "tga.h"
#include "write_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace forge {

void Book::add(const std::string& file, const Canvas& canvas, bool alpha, EmptyTexels empty)
{
    std::vector<uint8_t> rgba = canvas.bytes(alpha, empty);
    if (!writeFile(folder + "/" + file, encodeTga(canvas.width(), canvas.height(), alpha ? 32 : 24, rgba)))
        allWritten = false;
}

Mask placed(const Mask& line, int width, int height, int cx, int cy)
{
    Mask m(width, height);
    m.stamp(line, cx, cy);
    return m;
}

Mask grown(const Mask& m, int radius)
{
    Mask g = m.blurred(radius);
    for (float& x : g.v)
        x = smoothstep(0.02f, 0.2f, x);
    return g;
}

void glow(Canvas& canvas, const Mask& m, Rgba colour, int radius, float strength)
{
    Mask g = m.blurred(radius);
    g.scale(strength);
    canvas.paint(g, colour);
}

Rgba vertical(Rgba top, Rgba bottom, float y0, float y1, float y)
{
    return mix(top, bottom, clamp01((y - y0) / (y1 - y0)));
}

float roundedBox(float x, float y, float cx, float cy, float halfWidth, float halfHeight, float radius)
{
    float dx = std::max(std::fabs(x - cx) - (halfWidth - radius), 0.0f);
    float dy = std::max(std::fabs(y - cy) - (halfHeight - radius), 0.0f);
    float d = std::sqrt(dx * dx + dy * dy) - radius;
    return clamp01(0.5f - d);
}

bool writePictures(const std::string& folder)
{
    Fonts fonts;
    if (!fonts.ok())
        return false;
    Book book(folder);
    paintTitles(book, fonts);
    paintEffects(book, fonts);
    paintCredits(book, fonts);
    return book.ok();
}

}
