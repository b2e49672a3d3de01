// An installed font face at one pixel size, found through fontconfig and rendered by
// FreeType: glyph coverage bitmaps, advances, kerning and line metrics.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace assets {

struct GlyphBitmap {
    int width = 0;
    int height = 0;
    int left = 0;     // pixels from the pen to the bitmap's left edge
    int top = 0;      // pixels from the baseline up to the bitmap's top row
    int advance = 0;  // pen advance in whole pixels
    std::vector<uint8_t> coverage; // width * height, 0..255
};

class Face {
public:
    /// Opens the best installed match for the family and style ("Regular", "Bold")
    /// at the pixel size. Throws std::runtime_error when no scalable font is found.
    Face(const std::string& family, const std::string& style, int pixelSize);
    ~Face();
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    const std::string& FilePath() const { return path_; }
    int PixelSize() const { return pixelSize_; }
    int Ascent() const;
    int Descent() const; // positive, below the baseline
    /// Height of a capital letter above the baseline (for vertical centring).
    int CapHeight();

    GlyphBitmap Render(unsigned char c);
    /// Kerning in whole pixels between two characters (0 when the face has none).
    int Kerning(unsigned char left, unsigned char right) const;
    bool HasKerning() const;
    /// Advance of a text including kerning.
    int Measure(std::string_view text);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string path_;
    int pixelSize_;
};

} // namespace assets
