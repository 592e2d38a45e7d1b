#pragma once
#include <string>

namespace forge {
// Paints every picture the scenes load and writes them as TGA files into folder; false on error.
bool writePictures(const std::string& folder);
}
