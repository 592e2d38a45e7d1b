// Writes uncompressed true-colour TGA files, the one kind the demo's texture loader reads.
#include "tga.h"

#include <cstddef>

namespace forge {

std::vector<uint8_t> encodeTga(int width, int height, int bits, const std::vector<uint8_t>& rgba)
{
    int bytesPerPixel = bits / 8;
    std::vector<uint8_t> out(18 + size_t(width) * height * bytesPerPixel);
    out[2] = 2;  // uncompressed true colour
    out[12] = uint8_t(width & 0xff);
    out[13] = uint8_t(width >> 8);
    out[14] = uint8_t(height & 0xff);
    out[15] = uint8_t(height >> 8);
    out[16] = uint8_t(bits);
    // Descriptor: alpha bits, origin at the bottom left (the loader ignores it, other viewers do not).
    out[17] = uint8_t(bits == 32 ? 8 : 0);
    size_t o = 18;
    for (int row = height - 1; row >= 0; --row)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgba[(size_t(row) * width + x) * 4];
            out[o++] = p[2];
            out[o++] = p[1];
            out[o++] = p[0];
            if (bytesPerPixel == 4)
                out[o++] = p[3];
        }
    return out;
}

}
