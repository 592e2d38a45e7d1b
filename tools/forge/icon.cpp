// Paints the icon at every size from the same shapes, scaled: each size is drawn, not shrunk, so
// the small ones stay sharp.
#include "icon.h"

#include "picture_book.h"
#include "write_file.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace forge {

namespace {

const int iconSizes[] = {16, 24, 32, 48, 64, 128, 256, 512};

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// 8-bit RGBA PNG of rows top first; empty on failure.
std::vector<uint8_t> encodePng(int size, std::vector<uint8_t> rgba)
{
    std::vector<uint8_t> out;
    std::vector<png_bytep> rows(size);
    for (int y = 0; y < size; ++y)
        rows[y] = rgba.data() + size_t(y) * size * 4;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, size, size, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Canvas paintIcon(int size, const Font& bold)
{
    const float s = size / 256.0f;
    const float c = size / 2.0f;
    Canvas canvas(size, size);
    // A dark tile with the ring scene's evening sky.
    Mask tile(size, size);
    tile.shade([=](float x, float y) { return roundedBox(x, y, c, c, 120 * s, 120 * s, 44 * s); });
    canvas.paint(tile, [=](float, float y) {
        return vertical({0.05f, 0.02f, 0.22f, 1}, {0.55f, 0.08f, 0.40f, 1}, 0, float(size), y);
    });
    // The ring, glowing cyan.
    Mask ring(size, size);
    ring.shade([=](float x, float y) {
        float r = std::sqrt((x - c) * (x - c) + (y - c) * (y - c));
        return clamp01(9 * s + 0.5f - std::fabs(r - 86 * s));
    });
    int blur = std::max(1, int(10 * s));
    glow(canvas, ring, {0.2f, 0.95f, 1.0f, 1}, blur, 1.2f);
    canvas.paint(ring, [=](float, float y) {
        return vertical({0.75f, 1.0f, 1.0f, 1}, {0.2f, 0.7f, 1.0f, 1}, 40 * s, 216 * s, y);
    });
    // The "z" of the group's logo: warm letters with a black rim over the ring.
    int box = int(std::lround(118 * s));
    Mask letter = placed(bold.fit("z", box, box), size, size, int(c), int(c));
    canvas.paint(grown(letter, std::max(1, int(8 * s))), Rgba{0, 0, 0, 1});
    canvas.paint(letter, [=](float, float y) {
        return vertical({1.0f, 0.95f, 0.55f, 1}, {1.0f, 0.35f, 0.1f, 1}, 70 * s, 186 * s, y);
    });
    return canvas;
}

}  // namespace

bool writeIcons(const std::string& folder)
{
    Font bold("DejaVuSans-Bold.ttf");
    if (!bold.ok())
        return false;
    bool ok = true;
    for (int size : iconSizes) {
        std::string dir = folder + "/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        Canvas canvas = paintIcon(size, bold);
        ok = writeFile(dir + "/plomvardix.png", encodePng(size, canvas.bytes(true, EmptyTexels::NearestColour))) && ok;
    }
    return ok;
}

}  // namespace forge
