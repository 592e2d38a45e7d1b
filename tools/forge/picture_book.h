// What the forge's picture painters share: the book that writes each picture, the fonts, text effects.
#pragma once
#include "canvas.h"
#include "type.h"

#include <string>

namespace forge {

constexpr float pi = 3.14159265f;

// Writes each finished picture into the data folder as a TGA file; remembers any failure.
class Book {
public:
    explicit Book(const std::string& folder) : folder(folder) {}
    // alpha: 32 bits with the canvas's alpha, else 24 bits.
    void add(const std::string& file, const Canvas& canvas, bool alpha,
             EmptyTexels empty = EmptyTexels::NearestColour);
    bool ok() const { return allWritten; }
private:
    std::string folder;
    bool allWritten = true;
};

struct Fonts {
    Font bold{"DejaVuSans-Bold.ttf"};
    Font book{"DejaVuSans.ttf"};
    Font condensed{"DejaVuSansCondensed-Bold.ttf"};
    Font serif{"DejaVuSerif-BoldItalic.ttf"};
    Font mono{"DejaVuSansMono-Bold.ttf"};
    bool ok() const { return bold.ok() && book.ok() && condensed.ok() && serif.ok() && mono.ok(); }
};

// A canvas-sized mask holding line with its centre at (cx, cy).
Mask placed(const Mask& line, int width, int height, int cx, int cy);
// The mask grown by about radius pixels, with a soft edge: outlines and backdrops.
Mask grown(const Mask& m, int radius);
// A soft halo of the mask, its alpha scaled by strength.
void glow(Canvas& canvas, const Mask& m, Rgba colour, int radius, float strength);
// Colour between top and bottom as y runs from y0 to y1.
Rgba vertical(Rgba top, Rgba bottom, float y0, float y1, float y);
// Coverage of a rounded rectangle centred at (cx, cy), anti-aliased over one pixel.
float roundedBox(float x, float y, float cx, float cy, float halfWidth, float halfHeight, float radius);
// The painters, one per group of scenes.
void paintTitles(Book& book, const Fonts& fonts);
void paintEffects(Book& book, const Fonts& fonts);
void paintCredits(Book& book, const Fonts& fonts);

}
