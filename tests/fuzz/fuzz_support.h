// Shared by the fuzz targets: ways to hand an input to code that opens files by name without
// touching the disk on every run, and the check every image reader's result goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/graphics/ImageLib.h"

// Serves the input as the file `name` out of an archive held in memory by the process's pak
// layer, so pak-aware readers open it without any disk work. Returns `name`.
std::string ServeFromMemory(const std::string& name, const std::uint8_t* data, std::size_t size);

// Writes the input to `name` inside a scratch folder in memory-backed storage (/dev/shm when
// there is one), for code that reads the disk directly. Returns the file's full path.
std::string WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size);

// The scratch folder of this process (made on first use).
const std::string& ScratchFolder();

// Checks a reader's result: null, or a picture of positive size whose pixels can all be read.
void CheckDecoded(ImageLib::Image* image);
