// Reads a generated picture back through the framework's own image reader, into the
// content library's canvas so tests can look at single pixels.
#pragma once

#include "assets/content/Canvas.h"
#include "framework/graphics/ImageLib.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

namespace assets_test {

inline assets::Canvas ReadPicture(const std::filesystem::path& path)
{
    std::unique_ptr<ImageLib::Image> image(ImageLib::GetImage(path.string(), false));
    if (!image || image->GetWidth() <= 0 || image->GetHeight() <= 0)
        throw std::runtime_error("the image reader cannot read " + path.string());
    assets::Canvas canvas(image->GetWidth(), image->GetHeight());
    for (int y = 0; y < image->GetHeight(); ++y)
        for (int x = 0; x < image->GetWidth(); ++x) {
            const uint32_t p = image->GetBits()[y * image->GetWidth() + x]; // 0xAARRGGBB
            canvas.Set(x, y, {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p),
                              static_cast<uint8_t>(p >> 24)});
        }
    return canvas;
}

} // namespace assets_test
