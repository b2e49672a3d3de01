// Image files: the dispatcher that picks a reader by extension and merges separate alpha
// images, the TGA and GIF readers, and the JPEG 2000 reader over the run-time codec library.
#include "framework/graphics/ImageLib.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "framework/graphics/ImageLibInternal.h"
#include "platform/Module.h"

namespace ImageLib {

bool AutoLoadAlphaImages = true;
bool IgnoreJPEG2000Alpha = true;
std::uint32_t AlphaImageColor = 0x00FFFFFF;

namespace detail {

bool ImageBuilder::Allocate(int width, int height, bool cleared) {
  if (!SizeAllowed(width, height)) return false;
  image_ = new (std::nothrow) Image();
  if (image_ == nullptr) return false;
  std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  image_->mBits = new (std::nothrow) std::uint32_t[n];
  if (image_->mBits == nullptr) return false;
  if (cleared) std::memset(image_->mBits, 0, n * sizeof(std::uint32_t));
  image_->mWidth = width;
  image_->mHeight = height;
  return true;
}

AtomicFile::AtomicFile(const std::string& name) : name_(name), tempName_(name + ".tmp") {
  stream_ = std::fopen(tempName_.c_str(), "wb");
}

AtomicFile::~AtomicFile() {
  if (stream_ != nullptr) {
    std::fclose(stream_);
    std::remove(tempName_.c_str());
  }
}

bool AtomicFile::Commit() {
  if (stream_ == nullptr) return false;
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  ok = std::fclose(stream_) == 0 && ok;
  stream_ = nullptr;
  if (ok && std::rename(tempName_.c_str(), name_.c_str()) == 0) return true;
  std::remove(tempName_.c_str());
  return false;
}

}  // namespace detail

using detail::ImageBuilder;
using detail::PakFile;

// ---------------------------------------------------------------------------------------------
// Dispatch

namespace {

bool SameNoCase(const std::string& a, const char* b) {
  std::size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

Image* ReadByExtension(const std::string& fileName) {
  std::size_t dot = fileName.rfind('.');
  std::size_t back = fileName.rfind('\\');
  std::size_t fwd = fileName.rfind('/');
  std::size_t sep = back == std::string::npos ? fwd : (fwd == std::string::npos ? back : std::max(back, fwd));
  std::string ext, base = fileName;
  if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) {
    ext = fileName.substr(dot);
    base = fileName.substr(0, dot);
  }
  struct Reader {
    const char* suffix;
    Image* (*read)(const std::string&);
  };
  static const Reader readers[] = {{".tga", GetTGAImage},       {".jpg", GetJPEGImage},
                                   {".png", GetPNGImage},       {".gif", GetGIFImage},
                                   {".j2k", GetJPEG2000Image}, {".jp2", GetJPEG2000Image}};
  for (const Reader& r : readers) {
    if (!ext.empty() && !SameNoCase(ext, r.suffix)) continue;
    if (Image* img = r.read(base + r.suffix)) return img;
  }
  return nullptr;
}

}  // namespace

Image* GetImage(const std::string& fileName, bool lookForAlphaImage) {
  if (!AutoLoadAlphaImages) lookForAlphaImage = false;
  Image* image = ReadByExtension(fileName);
  if (!lookForAlphaImage) return image;

  std::size_t sep = fileName.find_last_of("\\/");
  std::string dir = sep == std::string::npos ? "" : fileName.substr(0, sep + 1);
  std::string file = sep == std::string::npos ? fileName : fileName.substr(sep + 1);
  Image* alpha = GetImage(dir + "_" + file, false);
  if (alpha == nullptr) alpha = GetImage(fileName + "_", false);
  if (alpha == nullptr) return image;

  std::size_t n = static_cast<std::size_t>(alpha->mWidth) * static_cast<std::size_t>(alpha->mHeight);
  if (image == nullptr) {
    for (std::size_t i = 0; i < n; ++i) alpha->mBits[i] = ((alpha->mBits[i] & 0xFF) << 24) | AlphaImageColor;
    return alpha;
  }
  if (image->mWidth == alpha->mWidth && image->mHeight == alpha->mHeight) {
    for (std::size_t i = 0; i < n; ++i) image->mBits[i] = (image->mBits[i] & 0x00FFFFFF) | ((alpha->mBits[i] & 0xFF) << 24);
  }
  delete alpha;
  return image;
}

// ---------------------------------------------------------------------------------------------
// TGA: only 32-bit, top-left origin with 8 attribute bits, pixels right after the header.

Image* GetTGAImage(const std::string& fileName) {
  PakFile file(fileName);
  if (!file.IsOpen()) return nullptr;
  std::uint8_t idLength, colorMapType, imageType, colorMapEntrySize, bitsPerPixel, descriptor;
  std::uint16_t colorMapFirst, colorMapLength, xOrigin, yOrigin, width, height;
  if (!file.ReadU8(idLength) || !file.ReadU8(colorMapType) || !file.ReadU8(imageType) ||
      !file.ReadU16(colorMapFirst) || !file.ReadU16(colorMapLength) || !file.ReadU8(colorMapEntrySize) ||
      !file.ReadU16(xOrigin) || !file.ReadU16(yOrigin) || !file.ReadU16(width) || !file.ReadU16(height) ||
      !file.ReadU8(bitsPerPixel) || !file.ReadU8(descriptor))
    return nullptr;
  if (bitsPerPixel != 32 || descriptor != 0x28) return nullptr;
  std::size_t bytes = static_cast<std::size_t>(width) * height * 4;
  // A file that ends before its last pixel is refused rather than shown half-read, and
  // before any memory is asked for its size.
  if (file.Remaining() < bytes) return nullptr;
  ImageBuilder out;
  if (!out.Allocate(width, height, false)) return nullptr;
  std::vector<std::uint8_t> raw(bytes);
  if (!file.ReadExact(raw.data(), bytes)) return nullptr;
  for (std::size_t i = 0; i < bytes / 4; ++i)
    out.Bits()[i] = static_cast<std::uint32_t>(raw[i * 4]) | static_cast<std::uint32_t>(raw[i * 4 + 1]) << 8 |
                    static_cast<std::uint32_t>(raw[i * 4 + 2]) << 16 | static_cast<std::uint32_t>(raw[i * 4 + 3]) << 24;
  return out.Release();
}

// ---------------------------------------------------------------------------------------------
// GIF: the first image of the file, LZW-decoded with fixed tables.

namespace {

class GifDecoder {
 public:
  explicit GifDecoder(PakFile& file) : file_(file) {}
  Image* Decode();

 private:
  enum class Status { kOk, kEnd, kBroken };

  bool ReadColorTable(int entries, std::vector<std::uint32_t>& table);
  // Reads one data sub-block into block_ and gives the bytes it holds; 0 ends the run.
  int ReadSubBlock();
  void SkipSubBlocks();
  Status NextCode(int& code);
  Status NextIndex(int& index);

  PakFile& file_;
  std::uint8_t block_[256] = {};
  int blockLength_ = 0;
  int blockPos_ = 0;
  bool dataEnded_ = false;

  int clearCode_ = 0, endCode_ = 0, codeSize_ = 0, codeMask_ = 0, available_ = 0, oldCode_ = -1, firstChar_ = 0;
  int minCodeSize_ = 0;
  std::uint32_t bitBuffer_ = 0;
  int bitCount_ = 0;
  std::uint16_t prefix_[4096] = {};
  std::uint8_t suffix_[4096] = {};
  std::uint8_t stack_[4097] = {};
  int stackTop_ = 0;
};

bool GifDecoder::ReadColorTable(int entries, std::vector<std::uint32_t>& table) {
  table.assign(256, 0xFF000000u);
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(entries) * 3);
  if (!file_.ReadExact(rgb.data(), rgb.size())) return false;
  for (int i = 0; i < entries; ++i)
    table[i] = 0xFF000000u | static_cast<std::uint32_t>(rgb[i * 3]) << 16 | static_cast<std::uint32_t>(rgb[i * 3 + 1]) << 8 |
               rgb[i * 3 + 2];
  return true;
}

int GifDecoder::ReadSubBlock() {
  // A count that cannot be read counts as 0, so a file cut there ends the run like its
  // terminator would. A block cut short holds the bytes that came; the next count read
  // then fails and ends the run.
  std::uint8_t count;
  if (!file_.ReadU8(count)) return 0;
  return static_cast<int>(file_.Read(block_, count));
}

void GifDecoder::SkipSubBlocks() {
  while (ReadSubBlock() > 0) {
  }
}

GifDecoder::Status GifDecoder::NextCode(int& code) {
  while (bitCount_ < codeSize_) {
    if (blockPos_ >= blockLength_) {
      if (dataEnded_) return Status::kEnd;
      int n = ReadSubBlock();
      if (n == 0) {
        dataEnded_ = true;
        return Status::kEnd;
      }
      blockLength_ = n;
      blockPos_ = 0;
    }
    bitBuffer_ |= static_cast<std::uint32_t>(block_[blockPos_++]) << bitCount_;
    bitCount_ += 8;
  }
  code = static_cast<int>(bitBuffer_ & static_cast<std::uint32_t>(codeMask_));
  bitBuffer_ >>= codeSize_;
  bitCount_ -= codeSize_;
  return Status::kOk;
}

GifDecoder::Status GifDecoder::NextIndex(int& index) {
  while (stackTop_ == 0) {
    int code;
    Status s = NextCode(code);
    if (s != Status::kOk) return s;
    if (code > available_ || code == endCode_) return Status::kEnd;
    if (code == clearCode_) {
      codeSize_ = minCodeSize_ + 1;
      codeMask_ = (1 << codeSize_) - 1;
      available_ = clearCode_ + 2;
      oldCode_ = -1;
      continue;
    }
    if (oldCode_ < 0) {
      stack_[stackTop_++] = suffix_[code];
      oldCode_ = code;
      firstChar_ = suffix_[code];
      continue;
    }
    int inCode = code;
    if (code >= available_) {
      stack_[stackTop_++] = static_cast<std::uint8_t>(firstChar_);
      code = oldCode_;
    }
    while (code >= clearCode_) {
      // A chain longer than the table can only come from a corrupt stream.
      if (stackTop_ >= 4096) return Status::kBroken;
      stack_[stackTop_++] = suffix_[code];
      code = prefix_[code];
    }
    firstChar_ = suffix_[code];
    if (available_ >= 4096) return Status::kEnd;
    stack_[stackTop_++] = static_cast<std::uint8_t>(firstChar_);
    prefix_[available_] = static_cast<std::uint16_t>(oldCode_);
    suffix_[available_] = static_cast<std::uint8_t>(firstChar_);
    ++available_;
    if ((available_ & codeMask_) == 0 && available_ < 4096) {
      ++codeSize_;
      codeMask_ += available_;
    }
    oldCode_ = inCode;
  }
  index = stack_[--stackTop_];
  return Status::kOk;
}

Image* GifDecoder::Decode() {
  std::uint8_t sig[6];
  if (!file_.ReadExact(sig, 6) || (std::memcmp(sig, "GIF87", 5) != 0 && std::memcmp(sig, "GIF89", 5) != 0))
    return nullptr;
  std::uint16_t screenW, screenH;
  std::uint8_t flags, background, aspect;
  if (!file_.ReadU16(screenW) || !file_.ReadU16(screenH) || !file_.ReadU8(flags) || !file_.ReadU8(background) ||
      !file_.ReadU8(aspect))
    return nullptr;
  // Indices past the colour table (or with no table at all) show opaque black.
  std::vector<std::uint32_t> globalTable(256, 0xFF000000u);
  if ((flags & 0x80) && !ReadColorTable(1 << ((flags & 7) + 1), globalTable)) return nullptr;
  int transparent = -1;
  for (;;) {
    std::uint8_t introducer;
    if (!file_.ReadU8(introducer) || introducer == 0x3B) return nullptr;
    if (introducer == 0x2C) break;
    if (introducer != 0x21) continue;
    std::uint8_t label;
    if (!file_.ReadU8(label)) return nullptr;
    if (label == 0xF9) {
      bool first = true;
      for (;;) {
        int n = ReadSubBlock();
        if (n == 0) break;
        if (first && n >= 4 && (block_[0] & 1)) transparent = block_[3];
        first = false;
      }
    } else {
      SkipSubBlocks();
    }
  }
  std::uint16_t left, top, width, height;
  std::uint8_t imageFlags;
  if (!file_.ReadU16(left) || !file_.ReadU16(top) || !file_.ReadU16(width) || !file_.ReadU16(height) ||
      !file_.ReadU8(imageFlags))
    return nullptr;
  if (width == 0 || height == 0) return nullptr;
  std::vector<std::uint32_t> localTable;
  const std::vector<std::uint32_t>* table = &globalTable;
  if (imageFlags & 0x80) {
    if (!ReadColorTable(1 << ((imageFlags & 7) + 1), localTable)) return nullptr;
    table = &localTable;
  }
  bool interlaced = (imageFlags & 0x40) != 0;
  std::uint8_t minCodeSize;
  if (!file_.ReadU8(minCodeSize)) return nullptr;
  // Clear and end codes must leave room in the 4096-entry tables.
  if (minCodeSize < 1 || minCodeSize > 11) return nullptr;
  minCodeSize_ = minCodeSize;
  clearCode_ = 1 << minCodeSize_;
  endCode_ = clearCode_ + 1;
  codeSize_ = minCodeSize_ + 1;
  codeMask_ = (1 << codeSize_) - 1;
  available_ = clearCode_ + 2;
  for (int i = 0; i < clearCode_; ++i) {
    prefix_[i] = 0;
    suffix_[i] = static_cast<std::uint8_t>(i);
  }

  // However little image data follows, the picture is the declared one (within the size
  // limit): data that ends early, a file cut short included, leaves the rest transparent.
  ImageBuilder out;
  if (!out.Allocate(width, height)) return nullptr;
  static const int passStart[4] = {0, 4, 2, 1};
  static const int passStep[4] = {8, 8, 4, 2};
  int pass = 0;
  int row = 0;
  for (int rowsDone = 0; rowsDone < height; ++rowsDone) {
    std::uint32_t* line = out.Bits() + static_cast<std::size_t>(row) * width;
    for (int x = 0; x < width; ++x) {
      int index;
      Status s = NextIndex(index);
      if (s == Status::kBroken) return nullptr;
      // The image data ended early: what it never reached stays transparent black.
      if (s == Status::kEnd) return out.Release();
      line[x] = index == transparent ? 0u : (*table)[index];
    }
    if (!interlaced) {
      ++row;
      continue;
    }
    row += passStep[pass];
    while (row >= height && pass < 3) {
      ++pass;
      row = passStart[pass];
    }
  }
  return out.Release();
}

}  // namespace

Image* GetGIFImage(const std::string& fileName) {
  PakFile file(fileName);
  if (!file.IsOpen()) return nullptr;
  auto decoder = std::make_unique<GifDecoder>(file);
  return decoder->Decode();
}

// ---------------------------------------------------------------------------------------------
// JPEG 2000 through "j2k-codec.dll"

namespace {

struct J2KStreamCallbacks {
  int (*seek)(void* userData, int offset);
  int (*read)(void* buffer, int count, void* userData);
  void (*close)(void* userData);
};

struct J2KCodec {
  std::mutex lock;
  plat::HMODULE module = nullptr;
  bool unresolved = true;
  int (*getVersion)() = nullptr;
  void* (*openCustom)(void* userData, void* callbacks) = nullptr;
  void* (*openFile)(const char* name) = nullptr;
  void (*close)(void* handle) = nullptr;
  int (*getInfo)(void* handle, int* width, int* height, int* components) = nullptr;
  int (*getResolutionDimensions)(void* handle, int level, int* width, int* height) = nullptr;
  int (*decode)(void* handle, void** buffer, int* bufferSize, const char* options, int* pitch) = nullptr;
  int (*getLastError)() = nullptr;
  const char* (*getErrorStr)(int code) = nullptr;
};

J2KCodec& Codec() {
  static J2KCodec codec;
  return codec;
}

void FreeCodecModule(J2KCodec& c) {
  if (c.module != nullptr) plat::FreeLibrary(c.module);
  c.module = nullptr;
}

template <typename Fn>
bool Resolve(J2KCodec& c, Fn& fn, const char* name) {
  fn = plat::ProcAs<Fn>(plat::GetProcAddress(c.module, name));
  return fn != nullptr;
}

int StreamSeek(void* userData, int offset) { return Orvo::PakSeek(static_cast<Orvo::PakHandle*>(userData), offset, SEEK_SET); }
int StreamRead(void* buffer, int count, void* userData) {
  if (count <= 0) return 0;
  return static_cast<int>(Orvo::PakRead(buffer, 1, static_cast<std::size_t>(count), static_cast<Orvo::PakHandle*>(userData)));
}
void StreamClose(void*) {}

}  // namespace

void InitJPEG2000() {
  J2KCodec& c = Codec();
  std::lock_guard<std::mutex> g(c.lock);
  if (c.module == nullptr) c.module = plat::LoadLibrary("j2k-codec.dll");
}

void CloseJPEG2000() {
  J2KCodec& c = Codec();
  std::lock_guard<std::mutex> g(c.lock);
  FreeCodecModule(c);
}

Image* GetJPEG2000Image(const std::string& fileName) {
  J2KCodec& c = Codec();
  std::lock_guard<std::mutex> g(c.lock);
  if (c.module == nullptr) return nullptr;
  PakFile file(fileName);
  if (!file.IsOpen()) return nullptr;
  if (c.unresolved) {
    c.unresolved = false;
    bool ok = Resolve(c, c.getVersion, "_J2K_getVersion@0") && Resolve(c, c.openCustom, "_J2K_OpenCustom@8") &&
              Resolve(c, c.openFile, "_J2K_OpenFile@4") && Resolve(c, c.close, "_J2K_Close@4") &&
              Resolve(c, c.getInfo, "_J2K_GetInfo@16") &&
              Resolve(c, c.getResolutionDimensions, "_J2K_GetResolutionDimensions@16") &&
              Resolve(c, c.decode, "_J2K_Decode@20") && Resolve(c, c.getLastError, "_J2K_getLastError@0") &&
              Resolve(c, c.getErrorStr, "_J2K_getErrorStr@4");
    if (!ok || c.getVersion() < 0x120000) {
      FreeCodecModule(c);
      return nullptr;
    }
  }
  const std::size_t fileBytes = file.Remaining();
  J2KStreamCallbacks callbacks{StreamSeek, StreamRead, StreamClose};
  void* handle = c.openCustom(file.Handle(), &callbacks);
  if (handle == nullptr) {
    c.getErrorStr(c.getLastError());
    return nullptr;
  }
  int width = 0, height = 0, components = 0;
  if (c.getInfo(handle, &width, &height, &components) != 0) {
    c.close(handle);
    return nullptr;
  }
  c.getResolutionDimensions(handle, 0, &width, &height);
  // The codec decodes every declared pixel however little the file holds: a picture of more
  // than 16384 pixels per byte of its file (far beyond what real pictures compress to) is
  // refused rather than decoded from next to nothing.
  ImageBuilder out;
  if (static_cast<std::int64_t>(width) * height > 16384 * static_cast<std::int64_t>(fileBytes) ||
      !out.Allocate(width, height, false)) {
    c.close(handle);
    return nullptr;
  }
  void* buffer = out.Bits();
  int bufferSize = width * height * 4;
  int pitch = width * 4;
  int result = c.decode(handle, &buffer, &bufferSize, "bpp=4,rl=0", &pitch);
  c.close(handle);
  if (result != 0) return nullptr;
  if (IgnoreJPEG2000Alpha) {
    std::size_t n = static_cast<std::size_t>(width) * height;
    for (std::size_t i = 0; i < n; ++i) out.Bits()[i] |= 0xFF000000u;
  }
  return out.Release();
}

}  // namespace ImageLib
