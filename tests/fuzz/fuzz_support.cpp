// Scratch files for the image reader fuzz targets, and the stand-in library table they need.
#include "tests/fuzz/image_fuzz_support.h"

#include <cstdio>

#include "platform/Files.h"
#include "platform/J2KCodec.h"
#include "platform/Module.h"

namespace plat {
// The fuzz targets link only the JPEG 2000 stand-in of the platform's libraries.
void RegisterBuiltinModules() { RegisterJ2KCodecModule(); }
}  // namespace plat

std::string WriteFuzzInput(const std::uint8_t* data, std::size_t size, const char* extension) {
  std::string path = "/tmp/quorvane-image-fuzz-" + std::to_string(plat::CurrentProcessId()) + extension;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return path;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return path;
}

void CheckDecoded(ImageLib::Image* image) {
  if (image == nullptr) return;
  if (image->mWidth <= 0 || image->mHeight <= 0 || image->mBits == nullptr) __builtin_trap();
  volatile std::uint32_t sum = 0;
  std::size_t n = static_cast<std::size_t>(image->mWidth) * static_cast<std::size_t>(image->mHeight);
  for (std::size_t i = 0; i < n; ++i) sum = sum + image->mBits[i];
  delete image;
}
