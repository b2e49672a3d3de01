// A small RGBA drawing surface for the generated pictures: anti-aliased shapes from
// distance functions, gradients, bevels and text, composited "over" with straight alpha.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

namespace assets {

class Face;

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

/// Mixes two colours: t = 0 gives a, t = 1 gives b (alpha mixed too).
Rgba Mix(Rgba a, Rgba b, float t);
/// The colour with its alpha replaced.
Rgba WithAlpha(Rgba c, uint8_t alpha);

/// Signed distance of a point to a shape: negative inside, positive outside, in pixels.
using Distance = std::function<float(float x, float y)>;
/// Colour of a shape at a point (for gradients).
using Paint = std::function<Rgba(float x, float y)>;

Distance RoundRectShape(float x, float y, float w, float h, float radius);
Distance CircleShape(float cx, float cy, float radius);
Distance SegmentShape(float x0, float y0, float x1, float y1, float halfWidth);
/// A convex polygon given clockwise or counter-clockwise.
Distance PolygonShape(std::vector<std::pair<float, float>> points);
/// Points inside either shape.
Distance Union(Distance a, Distance b);
/// Points inside a but not inside b.
Distance Subtract(Distance a, Distance b);

Paint Solid(Rgba c);
/// Top-to-bottom gradient between y0 (colour top) and y1 (colour bottom).
Paint VerticalGradient(float y0, Rgba top, float y1, Rgba bottom);

class Canvas {
public:
    Canvas(int width, int height, Rgba fill = {0, 0, 0, 0});

    int Width() const { return width_; }
    int Height() const { return height_; }
    Rgba At(int x, int y) const;
    void Set(int x, int y, Rgba c);
    const std::vector<uint8_t>& Bytes() const { return pixels_; }

    /// Composites c over the pixel with the given coverage (0..1).
    void Blend(int x, int y, Rgba c, float coverage = 1.0f);
    void FillRect(int x, int y, int w, int h, Rgba c);
    /// Fills a shape, anti-aliased over one pixel, inside the clip box (x, y, w, h).
    void Fill(const Distance& shape, const Paint& paint, int x, int y, int w, int h);
    /// Fills the inside of a shape minus its inner part "width" pixels from the edge.
    void Stroke(const Distance& shape, float width, const Paint& paint, int x, int y, int w, int h);
    /// Draws another canvas over this one with its top-left at (x, y).
    void Draw(const Canvas& src, int x, int y, float opacity = 1.0f);
    /// Copies a rectangle of another canvas (replacing pixels, no blending).
    void Copy(const Canvas& src, int sx, int sy, int w, int h, int dx, int dy);

    /// Draws text with its baseline at y, starting at pen x.
    void Text(Face& face, float x, int baseline, std::string_view text, Rgba c);
    /// Draws text centred on (cx, cy): horizontally on its advance, vertically on its cap height.
    void TextCentred(Face& face, float cx, float cy, std::string_view text, Rgba c);

    /// Scales the whole canvas to a new size with an area-averaging filter.
    Canvas Resized(int width, int height) const;

private:
    int width_;
    int height_;
    std::vector<uint8_t> pixels_;
};

/// Writes the canvas as an 8-bit RGBA PNG (no time stamps, so equal pixels give equal bytes).
void WritePng(const std::filesystem::path& path, const Canvas& canvas);

/// Reads an 8-bit RGB/RGBA PNG back (used by the review sheet); throws on a broken file.
Canvas ReadPng(const std::filesystem::path& path);

} // namespace assets
