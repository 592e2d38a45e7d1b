// Sets lines of text through FreeType into coverage masks for the forge's captions and credits.
#include "type.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

#ifndef FORGE_FONT_DIR
#define FORGE_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif

namespace forge {

namespace {

std::vector<uint32_t> decodeUtf8(const std::string& s)
{
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        uint8_t c = uint8_t(s[i]);
        int extra = c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : c >= 0xc0 ? 1 : 0;
        uint32_t code = extra == 0 ? c : (c & (0x3f >> extra));
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i)
            code = (code << 6) | (uint8_t(s[i]) & 0x3f);
        out.push_back(code);
    }
    return out;
}

struct Placed {
    int x, y;  // top left of the bitmap, pen coordinates (y down, baseline at 0)
    int w, h;
    std::vector<uint8_t> pixels;
};

}  // namespace

Font::Font(const std::string& fileName)
{
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0)
        return;
    library = lib;
    std::string path = std::string(FORGE_FONT_DIR) + "/" + fileName;
    FT_Face f = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &f) != 0) {
        std::fprintf(stderr, "forge: cannot open font %s\n", path.c_str());
        return;
    }
    face = f;
}

Font::~Font()
{
    if (face)
        FT_Done_Face(FT_Face(face));
    if (library)
        FT_Done_FreeType(FT_Library(library));
}

Mask Font::line(const std::string& text, int pixelSize, float tracking, int pad) const
{
    if (!face)
        return Mask(1, 1);
    FT_Face f = FT_Face(face);
    FT_Set_Pixel_Sizes(f, 0, FT_UInt(std::max(pixelSize, 4)));
    std::vector<Placed> glyphs;
    long pen = 0;  // 26.6 fixed point
    FT_UInt previous = 0;
    bool kerning = FT_HAS_KERNING(f);
    for (uint32_t code : decodeUtf8(text)) {
        FT_UInt index = FT_Get_Char_Index(f, code);
        if (kerning && previous && index) {
            FT_Vector delta;
            FT_Get_Kerning(f, previous, index, FT_KERNING_DEFAULT, &delta);
            pen += delta.x;
        }
        if (FT_Load_Glyph(f, index, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0)
            continue;
        FT_GlyphSlot g = f->glyph;
        Placed p{int((pen >> 6) + g->bitmap_left), -g->bitmap_top, int(g->bitmap.width), int(g->bitmap.rows), {}};
        p.pixels.resize(size_t(p.w) * p.h);
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x)
                p.pixels[size_t(y) * p.w + x] = g->bitmap.buffer[y * g->bitmap.pitch + x];
        glyphs.push_back(std::move(p));
        pen += g->advance.x + long(tracking * pixelSize * 64);
        previous = index;
    }
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (const Placed& p : glyphs)
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x)
                if (p.pixels[size_t(y) * p.w + x]) {
                    left = std::min(left, p.x + x);
                    right = std::max(right, p.x + x);
                    top = std::min(top, p.y + y);
                    bottom = std::max(bottom, p.y + y);
                }
    if (left > right)
        return Mask(1, 1);
    Mask out(right - left + 1 + 2 * pad, bottom - top + 1 + 2 * pad);
    for (const Placed& p : glyphs)
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) {
                int tx = p.x + x - left + pad, ty = p.y + y - top + pad;
                if (tx < 0 || ty < 0 || tx >= out.width() || ty >= out.height())
                    continue;
                float c = p.pixels[size_t(y) * p.w + x] / 255.0f;
                out.at(tx, ty) = std::min(1.0f, out.at(tx, ty) + c);
            }
    return out;
}

int Font::fitSize(const std::string& text, int maxWidth, int maxHeight, float tracking) const
{
    Mask probe = line(text, 100, tracking);
    float k = std::min(float(maxWidth) / probe.width(), float(maxHeight) / probe.height());
    int size = std::max(4, int(100 * k));
    for (; size > 4; size -= std::max(1, size / 50)) {
        Mask m = line(text, size, tracking);
        if (m.width() <= maxWidth && m.height() <= maxHeight)
            break;
    }
    return size;
}

Mask Font::fit(const std::string& text, int maxWidth, int maxHeight, float tracking, int pad) const
{
    return line(text, fitSize(text, maxWidth, maxHeight, tracking), tracking, pad);
}

}
