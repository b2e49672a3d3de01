// Shared by the image reader fuzz targets: the readers open files by name, so each input is
// written to a scratch file first; a decoded picture has every pixel read once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/graphics/ImageLib.h"

// Writes the input to a scratch file with the given extension and returns its name.
std::string WriteFuzzInput(const std::uint8_t* data, std::size_t size, const char* extension);

// Checks a reader's result: null, or a picture of positive size whose pixels can all be read.
void CheckDecoded(ImageLib::Image* image);
