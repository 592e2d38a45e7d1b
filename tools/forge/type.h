// Sets lines of text through FreeType into coverage masks for the forge's captions and credits.
#pragma once
#include "canvas.h"

#include <string>

namespace forge {

class Font {
public:
    explicit Font(const std::string& fileName);  // a file in the forge's font folder
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    bool ok() const { return face != nullptr; }
    // The line's ink at the given pixel size, cropped to its bounds plus pad pixels on every side.
    Mask line(const std::string& text, int pixelSize, float tracking = 0, int pad = 0) const;
    // The largest line whose ink fits in maxWidth × maxHeight pixels.
    Mask fit(const std::string& text, int maxWidth, int maxHeight, float tracking = 0, int pad = 0) const;
    // The pixel size of that line, so that several lines can share the smallest.
    int fitSize(const std::string& text, int maxWidth, int maxHeight, float tracking = 0) const;
private:
    void* library = nullptr;
    void* face = nullptr;
};

}
