// Reading the capture tool's PNG frames back.
#pragma once

#include <png.h>

#include <filesystem>
#include <vector>

namespace capture_support {

// Reads a PNG as RGB; empty when it cannot be read.
inline std::vector<unsigned char> readPng(const std::filesystem::path& path, int& width, int& height)
{
    std::vector<unsigned char> rgb;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return rgb;
    image.format = PNG_FORMAT_RGB;
    width = image.width;
    height = image.height;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        rgb.clear();
    return rgb;
}

}  // namespace capture_support
