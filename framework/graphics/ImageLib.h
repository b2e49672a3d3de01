// Image files to 32-bit ARGB pixel arrays and back: PNG, JPEG, GIF, TGA and JPEG 2000 are
// read through the pak-aware file layer; PNG and JPEG are written to disk.
#pragma once

#include <cstdint>
#include <string>

namespace ImageLib {

// The longest side a picture may have: the readers refuse larger ones (their formats hold
// sizes as signed 16 bits), so no image of the framework is larger.
constexpr int kMaxImageSide = 32767;

// A decoded picture: width x height pixels 0xAARRGGBB, row-major, top row first.
class Image {
 public:
  int mWidth = 0;
  int mHeight = 0;
  std::uint32_t* mBits = nullptr;

  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  virtual ~Image() { delete[] mBits; }

  int GetWidth() const { return mWidth; }
  int GetHeight() const { return mHeight; }
  std::uint32_t* GetBits() const { return mBits; }
};

// While false, GetImage never looks for a separate alpha image.
extern bool AutoLoadAlphaImages;
// While true, every pixel of a JPEG 2000 image is made opaque.
extern bool IgnoreJPEG2000Alpha;
// The RGB given to an image that exists only as an alpha image.
extern std::uint32_t AlphaImageColor;

// Tries the readers by extension (or all of them, in a fixed order, when the name has none)
// and, when asked, merges a separate alpha image ("_name" or "name_"). Null when nothing reads.
Image* GetImage(const std::string& fileName, bool lookForAlphaImage = true);

Image* GetTGAImage(const std::string& fileName);
Image* GetJPEGImage(const std::string& fileName);
Image* GetPNGImage(const std::string& fileName);
Image* GetGIFImage(const std::string& fileName);
Image* GetJPEG2000Image(const std::string& fileName);

bool WriteJPEGImage(const std::string& fileName, Image* image);
bool WritePNGImage(const std::string& fileName, Image* image);

// Loads the JPEG 2000 codec library; CloseJPEG2000 frees it.
void InitJPEG2000();
void CloseJPEG2000();

}  // namespace ImageLib
