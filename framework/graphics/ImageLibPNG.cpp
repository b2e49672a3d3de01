// PNG files through libpng: read from the pak-aware file layer into 0xAARRGGBB pixels, and
// written from them to disk.
#include <png.h>

#include <csetjmp>
#include <vector>

#include "framework/graphics/ImageLib.h"
#include "framework/graphics/ImageLibInternal.h"

namespace ImageLib {

using detail::AtomicFile;
using detail::ImageBuilder;
using detail::PakFile;

namespace {

void ReadFromPak(png_structp png, png_bytep data, png_size_t length) {
  auto* file = static_cast<PakFile*>(png_get_io_ptr(png));
  if (file->Read(data, length) != length) png_error(png, "Read Error");
}

// Errors jump back to the reader; warnings are not shown.
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// Everything the reader must free, kept outside the frame that setjmp returns into.
struct PngRead {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ImageBuilder out;
  std::vector<png_bytep> rows;
  ~PngRead() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
};

bool DecodePng(PakFile& file, PngRead& r) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_set_read_fn(r.png, &file, ReadFromPak);
  png_read_info(r.png, r.info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(r.png, r.info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  if (!detail::SizeAllowed(width, height)) return false;
  png_set_expand(r.png);
  // 16-bit channels are cut to 8 bits, so every row is 4 bytes a pixel.
  png_set_strip_16(r.png);
  png_set_filler(r.png, 0xFF, PNG_FILLER_AFTER);
  png_set_gray_to_rgb(r.png);
  png_set_bgr(r.png);
  // Interlaced files are read in all their passes.
  png_set_interlace_handling(r.png);
  png_read_update_info(r.png, r.info);
  if (png_get_rowbytes(r.png, r.info) != static_cast<png_size_t>(width) * 4) return false;
  // Rows are written as they are decoded; a file that ends early fails before the rest is touched.
  if (!r.out.Allocate(static_cast<int>(width), static_cast<int>(height), false)) return false;
  r.rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) r.rows[y] = reinterpret_cast<png_bytep>(r.out.Bits() + static_cast<std::size_t>(y) * width);
  png_read_image(r.png, r.rows.data());
  png_read_end(r.png, nullptr);
  return true;
}

}  // namespace

Image* GetPNGImage(const std::string& fileName) {
  PakFile file(fileName);
  if (!file.IsOpen()) return nullptr;
  PngRead r;
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (r.png == nullptr) return nullptr;
  r.info = png_create_info_struct(r.png);
  if (r.info == nullptr) return nullptr;
  if (!DecodePng(file, r)) return nullptr;
  return r.out.Release();
}

namespace {

struct PngWrite {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngWrite() { png_destroy_write_struct(&png, info != nullptr ? &info : nullptr); }
};

bool EncodePng(std::FILE* stream, PngWrite& w, Image* image) {
  if (setjmp(png_jmpbuf(w.png))) return false;
  png_init_io(w.png, stream);
  png_color_8 sigBit{8, 8, 8, 8, 8};
  png_set_sBIT(w.png, w.info, &sigBit);
  png_set_bgr(w.png);
  png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(image->mWidth), static_cast<png_uint_32>(image->mHeight), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(w.png, w.info);
  for (int y = 0; y < image->mHeight; ++y)
    png_write_row(w.png, reinterpret_cast<png_const_bytep>(image->mBits + static_cast<std::size_t>(y) * image->mWidth));
  png_write_end(w.png, w.info);
  return true;
}

}  // namespace

bool WritePNGImage(const std::string& fileName, Image* image) {
  if (image == nullptr || image->mBits == nullptr || image->mWidth <= 0 || image->mHeight <= 0) return false;
  AtomicFile file(fileName);
  if (file.Stream() == nullptr) return false;
  PngWrite w;
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (w.png == nullptr) return false;
  w.info = png_create_info_struct(w.png);
  if (w.info == nullptr) return false;
  if (!EncodePng(file.Stream(), w, image)) return false;
  return file.Commit();
}

}  // namespace ImageLib
