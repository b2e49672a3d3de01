// Small image files made by the tests themselves: PNGs of every colour type, depth and
// interlacing, grey JPEGs, LZW-coded GIFs and TGAs, written into a scratch folder.
#pragma once

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>

namespace fixtures {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed at the end of the test.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& tag) {
    path_ = fs::temp_directory_path() / ("quorvane_" + tag + "_" + std::to_string(std::random_device{}()));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct PngSpec {
  int width = 0, height = 0, bitDepth = 8, colorType = PNG_COLOR_TYPE_RGB;
  bool interlaced = false;
  std::vector<std::vector<std::uint8_t>> rows;  // packed as the file stores them
  std::vector<png_color> palette;
  std::vector<std::uint8_t> paletteAlpha;
};

inline bool WritePng(const std::string& path, const PngSpec& s) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
  if (!s.paletteAlpha.empty())
    png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()), nullptr);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (const auto& r : s.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return true;
}

inline bool WriteGreyJpeg(const std::string& path, int width, int height, std::uint8_t grey) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = width;
  c.image_height = height;
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(width, grey);
  JSAMPROW rp[1] = {row.data()};
  for (int y = 0; y < height; ++y) jpeg_write_scanlines(&c, rp, 1);
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
  return true;
}

// A colour JPEG of 0xRRGGBB pixels at quality 90, written in memory: baseline, progressive
// and/or arithmetic-coded.
inline std::vector<std::uint8_t> MakeJpeg(int width, int height, const std::vector<std::uint32_t>& pixels,
                                          bool progressive, bool arithmetic) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  c.arith_code = arithmetic ? TRUE : FALSE;
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
  JSAMPROW rp[1] = {row.data()};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
      row[x * 3] = static_cast<JSAMPLE>(p >> 16);
      row[x * 3 + 1] = static_cast<JSAMPLE>(p >> 8);
      row[x * 3 + 2] = static_cast<JSAMPLE>(p);
    }
    jpeg_write_scanlines(&c, rp, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<std::uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&c);
  std::free(out);
  return bytes;
}

// GIF image data: `minCodeSize`, then the codes (each with its size in bits) packed from the
// low bits up, in sub-blocks of at most 255 bytes, and the terminator.
inline std::vector<std::uint8_t> PackGifCodes(const std::vector<std::pair<int, int>>& codes, int minCodeSize) {
  std::vector<std::uint8_t> packed;
  std::uint32_t acc = 0;
  int bits = 0;
  for (const auto& [code, width] : codes) {
    acc |= static_cast<std::uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      packed.push_back(static_cast<std::uint8_t>(acc & 0xFF));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) packed.push_back(static_cast<std::uint8_t>(acc));
  std::vector<std::uint8_t> out = {static_cast<std::uint8_t>(minCodeSize)};
  for (std::size_t i = 0; i < packed.size(); i += 255) {
    std::size_t n = std::min<std::size_t>(255, packed.size() - i);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), packed.begin() + static_cast<long>(i), packed.begin() + static_cast<long>(i + n));
  }
  out.push_back(0);
  return out;
}

// LZW codes for the given colour indices, with a clear code often enough that the code size
// never grows; `minCodeSize` is written before the data.
inline std::vector<std::uint8_t> GifImageData(const std::vector<int>& indices, int minCodeSize, bool endCode = true) {
  int clear = 1 << minCodeSize, size = minCodeSize + 1, limit = (1 << minCodeSize) - 3;
  std::vector<int> codes = {clear};
  int since = 0;
  for (int idx : indices) {
    if (since == limit) {
      codes.push_back(clear);
      since = 0;
    }
    codes.push_back(idx);
    ++since;
  }
  if (endCode) codes.push_back(clear + 1);
  std::vector<std::pair<int, int>> sized;
  for (int c : codes) sized.push_back({c, size});
  return PackGifCodes(sized, minCodeSize);
}

// LZW data for `count` pixels of one colour index, compressed as an encoder does it: after
// the first code each code stands for one pixel more than the one before (the table grows by
// that string), read at the code size the decoder has reached. Far fewer bytes per pixel than
// GifImageData's; `count` stays below what a full table holds.
inline std::vector<std::uint8_t> FlatGifImageData(int index, int count, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  int size = minCodeSize + 1, available = clear + 2;
  std::vector<std::pair<int, int>> codes = {{clear, size}, {index, size}};  // code, its size
  int done = 1;
  for (int run = 2; done < count; ++run) {
    const int n = std::min(run, count - done);
    codes.push_back({n == 1 ? index : clear + n, size});
    done += n;
    // The decoder adds an entry after every code but the first, and widens its codes when
    // the table reaches the next power of two.
    ++available;
    if ((available & ((1 << size) - 1)) == 0 && available < 4096) ++size;
  }
  codes.push_back({clear + 1, size});
  return PackGifCodes(codes, minCodeSize);
}

struct GifSpec {
  const char* signature = "GIF89a";
  int width = 0, height = 0;
  std::vector<std::uint32_t> globalColors;  // RGB; empty for no global table
  int transparentIndex = -1;
  bool interlaced = false;
  std::vector<int> indices;
  int minCodeSize = 2;
  std::vector<std::uint8_t> imageData;  // when given, written instead of GifImageData's
};

inline std::vector<std::uint8_t> MakeGif(const GifSpec& s) {
  std::vector<std::uint8_t> b(s.signature, s.signature + 6);
  auto u16 = [&](int v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  u16(s.width);
  u16(s.height);
  int tableBits = 0;
  while ((2 << tableBits) < static_cast<int>(s.globalColors.size())) ++tableBits;
  b.push_back(static_cast<std::uint8_t>(s.globalColors.empty() ? 0 : (0x80 | tableBits)));
  b.push_back(0);
  b.push_back(0);
  for (int i = 0; !s.globalColors.empty() && i < (2 << tableBits); ++i) {
    std::uint32_t c = i < static_cast<int>(s.globalColors.size()) ? s.globalColors[i] : 0;
    b.push_back(static_cast<std::uint8_t>(c >> 16));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
    b.push_back(static_cast<std::uint8_t>(c));
  }
  if (s.transparentIndex >= 0) {
    std::vector<std::uint8_t> gce = {0x21, 0xF9, 4, 1, 0, 0, static_cast<std::uint8_t>(s.transparentIndex), 0};
    b.insert(b.end(), gce.begin(), gce.end());
  }
  std::vector<std::uint8_t> comment = {0x21, 0xFE, 3, 'h', 'i', '!', 0};
  b.insert(b.end(), comment.begin(), comment.end());
  b.push_back(0x2C);
  u16(0);
  u16(0);
  u16(s.width);
  u16(s.height);
  b.push_back(s.interlaced ? 0x40 : 0);
  auto data = s.imageData.empty() ? GifImageData(s.indices, s.minCodeSize) : s.imageData;
  b.insert(b.end(), data.begin(), data.end());
  b.push_back(0x3B);
  return b;
}

// A 32-bit top-left TGA (descriptor 0x28) of the given pixels.
inline std::vector<std::uint8_t> MakeTga(int width, int height, const std::vector<std::uint32_t>& px,
                                         std::uint8_t bpp = 32, std::uint8_t descriptor = 0x28) {
  std::vector<std::uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  b.push_back(static_cast<std::uint8_t>(width & 0xFF));
  b.push_back(static_cast<std::uint8_t>(width >> 8));
  b.push_back(static_cast<std::uint8_t>(height & 0xFF));
  b.push_back(static_cast<std::uint8_t>(height >> 8));
  b.push_back(bpp);
  b.push_back(descriptor);
  for (std::uint32_t p : px)
    for (int s = 0; s < 32; s += 8) b.push_back(static_cast<std::uint8_t>(p >> s));
  return b;
}

}  // namespace fixtures
