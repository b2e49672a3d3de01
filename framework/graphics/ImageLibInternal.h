// Shared pieces of the image readers and writers: the open file (closed on every way out),
// the size limit every decoded picture must respect, and writing through a temporary file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/graphics/ImageLib.h"
#include "framework/resources/PakInterface.h"

namespace ImageLib::detail {

// Larger pictures are refused before any pixel memory is asked for: 64 Mi pixels, and no side
// above 32767 (the largest size the readers' formats hold as signed 16 bits).
constexpr std::int64_t kMaxPixels = 64ll * 1024 * 1024;
constexpr int kMaxSide = kMaxImageSide;

inline bool SizeAllowed(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

// A file opened through the pak-aware layer; closed when it goes out of scope.
class PakFile {
 public:
  explicit PakFile(const std::string& name) : handle_(Orvo::PakOpen(name.c_str(), "rb")) {}
  ~PakFile() { Close(); }
  PakFile(const PakFile&) = delete;
  PakFile& operator=(const PakFile&) = delete;

  bool IsOpen() const { return handle_ != nullptr; }
  Orvo::PakHandle* Handle() const { return handle_; }
  void Close() {
    if (handle_ != nullptr) Orvo::PakClose(handle_);
    handle_ = nullptr;
  }
  std::size_t Read(void* buffer, std::size_t bytes) { return Orvo::PakRead(buffer, 1, bytes, handle_); }
  bool ReadExact(void* buffer, std::size_t bytes) { return Read(buffer, bytes) == bytes; }
  bool ReadU8(std::uint8_t& v) { return ReadExact(&v, 1); }
  // Bytes from the position to the end of the file (0 when it cannot be told).
  std::size_t Remaining() {
    const std::int32_t here = Orvo::PakTell(handle_);
    if (here < 0 || Orvo::PakSeek(handle_, 0, SEEK_END) != 0) return 0;
    const std::int32_t end = Orvo::PakTell(handle_);
    Orvo::PakSeek(handle_, here, SEEK_SET);
    return end > here ? static_cast<std::size_t>(end - here) : 0;
  }
  bool ReadU16(std::uint16_t& v) {
    std::uint8_t b[2];
    if (!ReadExact(b, 2)) return false;
    v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    return true;
  }

 private:
  Orvo::PakHandle* handle_;
};

// A picture under construction; handed to the caller by Release, freed otherwise.
class ImageBuilder {
 public:
  ~ImageBuilder() { delete image_; }
  // False when the size is refused or the memory cannot be had. Readers that write every
  // pixel before they succeed ask for memory that is not cleared first: pages the decoder
  // never reaches (a file that ends early) then cost nothing.
  bool Allocate(int width, int height, bool cleared = true);
  Image* Get() const { return image_; }
  std::uint32_t* Bits() const { return image_->mBits; }
  Image* Release() {
    Image* out = image_;
    image_ = nullptr;
    return out;
  }

 private:
  Image* image_ = nullptr;
};

// Writes a file through a temporary file in the same folder, renamed over the target once it
// is complete, so that a failure never leaves a half-written file under the real name.
class AtomicFile {
 public:
  explicit AtomicFile(const std::string& name);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  std::FILE* Stream() const { return stream_; }
  // Closes and renames; false when anything failed (the temporary file is then removed).
  bool Commit();

 private:
  std::string name_;
  std::string tempName_;
  std::FILE* stream_ = nullptr;
};

}  // namespace ImageLib::detail
