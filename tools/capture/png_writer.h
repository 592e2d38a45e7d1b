// Writes 8-bit RGB pictures as PNG files through libpng.
#pragma once

#include <string>

// rgb holds height rows of width x 3 bytes, top row first. False when the file cannot be written.
bool writePng(const std::string& path, const unsigned char* rgb, int width, int height);
