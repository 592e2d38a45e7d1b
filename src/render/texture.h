// A picture loaded from an uncompressed true-colour TGA file into a GL texture.
#pragma once
#include <cstdint>
#include <cstdio>

struct Texture {
    unsigned char* pixels;
    uint32_t bitsPerPixel;
    uint32_t width;
    uint32_t height;
    uint32_t id;  // GL texture name; 0 until a load succeeds
};

bool loadTGA(Texture& texture, const char* path);
// The same load from a file already open, after the log text; closes the file on every path.
bool loadTGAFrom(Texture& texture, std::FILE* file);
