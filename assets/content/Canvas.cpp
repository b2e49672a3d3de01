// Anti-aliased drawing on an RGBA canvas and the PNG writer/reader.
#include "assets/content/Canvas.h"

#include "assets/content/Face.h"
#include "assets/content/FileOut.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace assets {

namespace {

uint8_t ToByte(float v)
{
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

float Coverage(float distance)
{
    return std::clamp(0.5f - distance, 0.0f, 1.0f);
}

} // namespace

Rgba Mix(Rgba a, Rgba b, float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    return {ToByte(a.r + (b.r - a.r) * t), ToByte(a.g + (b.g - a.g) * t), ToByte(a.b + (b.b - a.b) * t),
            ToByte(a.a + (b.a - a.a) * t)};
}

Rgba WithAlpha(Rgba c, uint8_t alpha)
{
    c.a = alpha;
    return c;
}

Distance RoundRectShape(float x, float y, float w, float h, float radius)
{
    const float cx = x + w / 2, cy = y + h / 2, hx = w / 2 - radius, hy = h / 2 - radius;
    return [=](float px, float py) {
        const float qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
        const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
        return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
    };
}

Distance CircleShape(float cx, float cy, float radius)
{
    return [=](float px, float py) { return std::hypot(px - cx, py - cy) - radius; };
}

Distance SegmentShape(float x0, float y0, float x1, float y1, float halfWidth)
{
    return [=](float px, float py) {
        const float dx = x1 - x0, dy = y1 - y0;
        const float len2 = dx * dx + dy * dy;
        float t = len2 > 0 ? ((px - x0) * dx + (py - y0) * dy) / len2 : 0.0f;
        t = std::clamp(t, 0.0f, 1.0f);
        return std::hypot(px - (x0 + t * dx), py - (y0 + t * dy)) - halfWidth;
    };
}

Distance PolygonShape(std::vector<std::pair<float, float>> points)
{
    // Each edge's outward side is the one away from the centroid (the polygon is convex).
    float cx = 0, cy = 0;
    for (const auto& p : points) {
        cx += p.first;
        cy += p.second;
    }
    cx /= static_cast<float>(points.size());
    cy /= static_cast<float>(points.size());
    struct Edge {
        float ax, ay, nx, ny; // a point on the edge and its outward unit normal
    };
    std::vector<Edge> edges;
    for (size_t i = 0; i < points.size(); ++i) {
        const auto& a = points[i];
        const auto& b = points[(i + 1) % points.size()];
        const float ex = b.first - a.first, ey = b.second - a.second;
        const float len = std::hypot(ex, ey);
        float nx = ey / len, ny = -ex / len;
        if ((cx - a.first) * nx + (cy - a.second) * ny > 0) {
            nx = -nx;
            ny = -ny;
        }
        edges.push_back({a.first, a.second, nx, ny});
    }
    return [points, edges](float px, float py) {
        float inside = -1e9f;
        for (const Edge& e : edges)
            inside = std::max(inside, (px - e.ax) * e.nx + (py - e.ay) * e.ny);
        if (inside <= 0)
            return inside;
        float outside = 1e9f;
        for (size_t i = 0; i < points.size(); ++i) {
            const auto& a = points[i];
            const auto& b = points[(i + 1) % points.size()];
            outside = std::min(outside, SegmentShape(a.first, a.second, b.first, b.second, 0)(px, py));
        }
        return outside;
    };
}

Distance Union(Distance a, Distance b)
{
    return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Distance Subtract(Distance a, Distance b)
{
    return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

Paint Solid(Rgba c)
{
    return [c](float, float) { return c; };
}

Paint VerticalGradient(float y0, Rgba top, float y1, Rgba bottom)
{
    return [=](float, float y) { return Mix(top, bottom, (y - y0) / std::max(1.0f, y1 - y0)); };
}

Canvas::Canvas(int width, int height, Rgba fill) : width_(width), height_(height)
{
    if (width <= 0 || height <= 0)
        throw std::runtime_error("canvas size must be positive");
    pixels_.resize(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < pixels_.size(); i += 4) {
        pixels_[i] = fill.r;
        pixels_[i + 1] = fill.g;
        pixels_[i + 2] = fill.b;
        pixels_[i + 3] = fill.a;
    }
}

Rgba Canvas::At(int x, int y) const
{
    const uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

void Canvas::Set(int x, int y, Rgba c)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = c.a;
}

void Canvas::Blend(int x, int y, Rgba c, float coverage)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    const float sa = c.a / 255.0f * std::clamp(coverage, 0.0f, 1.0f);
    if (sa <= 0)
        return;
    uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
    const float da = p[3] / 255.0f;
    const float oa = sa + da * (1 - sa);
    auto channel = [&](uint8_t s, uint8_t d) { return ToByte((s * sa + d * da * (1 - sa)) / oa); };
    p[0] = channel(c.r, p[0]);
    p[1] = channel(c.g, p[1]);
    p[2] = channel(c.b, p[2]);
    p[3] = ToByte(oa * 255.0f);
}

void Canvas::FillRect(int x, int y, int w, int h, Rgba c)
{
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            Blend(i, j, c);
}

void Canvas::Fill(const Distance& shape, const Paint& paint, int x, int y, int w, int h)
{
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(width_, x + w), y1 = std::min(height_, y + h);
    for (int j = y0; j < y1; ++j)
        for (int i = x0; i < x1; ++i) {
            const float px = i + 0.5f, py = j + 0.5f;
            const float cover = Coverage(shape(px, py));
            if (cover > 0)
                Blend(i, j, paint(px, py), cover);
        }
}

void Canvas::Stroke(const Distance& shape, float width, const Paint& paint, int x, int y, int w, int h)
{
    Distance ring = [shape, width](float px, float py) {
        const float d = shape(px, py);
        return std::max(d, -d - width);
    };
    Fill(ring, paint, x, y, w, h);
}

void Canvas::Draw(const Canvas& src, int x, int y, float opacity)
{
    for (int j = 0; j < src.height_; ++j)
        for (int i = 0; i < src.width_; ++i)
            Blend(x + i, y + j, src.At(i, j), opacity);
}

void Canvas::Copy(const Canvas& src, int sx, int sy, int w, int h, int dx, int dy)
{
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (sx + i >= 0 && sy + j >= 0 && sx + i < src.width_ && sy + j < src.height_)
                Set(dx + i, dy + j, src.At(sx + i, sy + j));
}

void Canvas::Text(Face& face, float x, int baseline, std::string_view text, Rgba c)
{
    int pen = static_cast<int>(std::lround(x));
    for (size_t n = 0; n < text.size(); ++n) {
        const unsigned char ch = static_cast<unsigned char>(text[n]);
        const GlyphBitmap g = face.Render(ch);
        for (int j = 0; j < g.height; ++j)
            for (int i = 0; i < g.width; ++i) {
                const uint8_t cover = g.coverage[static_cast<size_t>(j) * g.width + i];
                if (cover)
                    Blend(pen + g.left + i, baseline - g.top + j, c, cover / 255.0f);
            }
        pen += g.advance;
        if (n + 1 < text.size())
            pen += face.Kerning(ch, static_cast<unsigned char>(text[n + 1]));
    }
}

void Canvas::TextCentred(Face& face, float cx, float cy, std::string_view text, Rgba c)
{
    const float width = static_cast<float>(face.Measure(text));
    const int baseline = static_cast<int>(std::lround(cy + face.CapHeight() / 2.0f));
    Text(face, cx - width / 2, baseline, text, c);
}

Canvas Canvas::Resized(int width, int height) const
{
    Canvas out(width, height);
    const double sx = static_cast<double>(width_) / width, sy = static_cast<double>(height_) / height;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            // Average the source area this pixel covers, weighting colour by alpha.
            const double fx0 = i * sx, fx1 = (i + 1) * sx, fy0 = j * sy, fy1 = (j + 1) * sy;
            double r = 0, g = 0, b = 0, a = 0, area = 0;
            for (int y = static_cast<int>(fy0); y < std::min(height_, static_cast<int>(std::ceil(fy1))); ++y)
                for (int x = static_cast<int>(fx0); x < std::min(width_, static_cast<int>(std::ceil(fx1))); ++x) {
                    const double wx = std::min<double>(x + 1, fx1) - std::max<double>(x, fx0);
                    const double wy = std::min<double>(y + 1, fy1) - std::max<double>(y, fy0);
                    const double weight = wx * wy;
                    const Rgba p = At(x, y);
                    r += p.r * p.a * weight;
                    g += p.g * p.a * weight;
                    b += p.b * p.a * weight;
                    a += p.a * weight;
                    area += weight;
                }
            if (a > 0)
                out.Set(i, j, {ToByte(static_cast<float>(r / a)), ToByte(static_cast<float>(g / a)),
                               ToByte(static_cast<float>(b / a)), ToByte(static_cast<float>(a / area))});
        }
    return out;
}

namespace {

void PngWriteToVector(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void PngFlush(png_structp) {}

} // namespace

void WritePng(const std::filesystem::path& path, const Canvas& canvas)
{
    std::vector<uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        throw std::runtime_error("libpng cannot start writing " + path.string());
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        throw std::runtime_error("libpng failed writing " + path.string());
    }
    png_set_write_fn(png, &bytes, PngWriteToVector, PngFlush);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(canvas.Width()), static_cast<png_uint_32>(canvas.Height()), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(canvas.Width()) * 4;
    for (int y = 0; y < canvas.Height(); ++y)
        png_write_row(png, const_cast<png_bytep>(canvas.Bytes().data() + y * stride));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    WriteFileAtomic(path, bytes);
}

namespace {

struct PngSource {
    const std::vector<uint8_t>* bytes;
    size_t offset;
};

void PngReadFromVector(png_structp png, png_bytep data, png_size_t length)
{
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (src->offset + length > src->bytes->size())
        png_error(png, "truncated file");
    std::memcpy(data, src->bytes->data() + src->offset, length);
    src->offset += length;
}

} // namespace

Canvas ReadPng(const std::filesystem::path& path)
{
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    PngSource source{&bytes, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        throw std::runtime_error("libpng cannot start reading " + path.string());
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> rgba;
    png_uint_32 width = 0, height = 0;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        throw std::runtime_error("broken PNG file " + path.string());
    }
    png_set_read_fn(png, &source, PngReadFromVector);
    png_read_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    rgba.resize(static_cast<size_t>(width) * height * 4);
    for (png_uint_32 y = 0; y < height; ++y)
        png_read_row(png, rgba.data() + static_cast<size_t>(y) * width * 4, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    Canvas canvas(static_cast<int>(width), static_cast<int>(height));
    for (int y = 0; y < static_cast<int>(height); ++y)
        for (int x = 0; x < static_cast<int>(width); ++x) {
            const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
            canvas.Set(x, y, {p[0], p[1], p[2], p[3]});
        }
    return canvas;
}

} // namespace assets
