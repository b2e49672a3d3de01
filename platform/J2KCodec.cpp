// "j2k-codec.dll" over OpenJPEG. A handle holds the whole compressed file (read through the
// caller's stream callbacks) and the header OpenJPEG read from it; decoding writes 32-bit
// 0xAARRGGBB pixels into the caller's buffer.
#include "platform/J2KCodec.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Module.h"

namespace plat {

namespace {

// The caller's stream: seek to an offset from the start, read bytes, close.
struct J2KStreamCallbacks {
  int (*seek)(void* userData, int offset);
  int (*read)(void* buffer, int count, void* userData);
  void (*close)(void* userData);
};

enum J2KError {
  J2K_OK = 0,
  J2K_ERR_ARGUMENT = 1,
  J2K_ERR_READ = 2,
  J2K_ERR_FORMAT = 3,
  J2K_ERR_HEADER = 4,
  J2K_ERR_DECODE = 5,
  J2K_ERR_BUFFER = 6,
  J2K_ERR_OPTIONS = 7,
  J2K_ERR_TOO_LARGE = 8,
};

constexpr int kVersion = 0x00120100;
// Compressed files larger than this are refused; so are pictures of more than 16 Mi pixels
// (OpenJPEG holds each component as 32-bit samples while it decodes).
constexpr std::size_t kMaxFileBytes = 256u * 1024 * 1024;
constexpr std::uint64_t kMaxPixels = 16ull * 1024 * 1024;

thread_local int tLastError = J2K_OK;

struct MemoryStream {
  const std::vector<unsigned char>* data;
  std::size_t pos;
};

OPJ_SIZE_T MemRead(void* buffer, OPJ_SIZE_T bytes, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  std::size_t left = s->data->size() - s->pos;
  if (left == 0) return static_cast<OPJ_SIZE_T>(-1);
  std::size_t n = std::min<std::size_t>(bytes, left);
  std::memcpy(buffer, s->data->data() + s->pos, n);
  s->pos += n;
  return n;
}

OPJ_OFF_T MemSkip(OPJ_OFF_T bytes, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  if (bytes < 0) {
    std::size_t back = std::min<std::size_t>(static_cast<std::size_t>(-bytes), s->pos);
    s->pos -= back;
    return -static_cast<OPJ_OFF_T>(back);
  }
  std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(bytes), s->data->size() - s->pos);
  s->pos += n;
  return static_cast<OPJ_OFF_T>(n);
}

OPJ_BOOL MemSeek(OPJ_OFF_T offset, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  if (offset < 0 || static_cast<std::size_t>(offset) > s->data->size()) return OPJ_FALSE;
  s->pos = static_cast<std::size_t>(offset);
  return OPJ_TRUE;
}

void Quiet(const char*, void*) {}

struct Handle {
  std::vector<unsigned char> data;
  MemoryStream memory{nullptr, 0};
  opj_stream_t* stream = nullptr;
  opj_codec_t* codec = nullptr;
  opj_image_t* image = nullptr;
  bool decoded = false;

  ~Handle() {
    if (image != nullptr) opj_image_destroy(image);
    if (codec != nullptr) opj_destroy_codec(codec);
    if (stream != nullptr) opj_stream_destroy(stream);
  }
};

int Fail(int code) {
  tLastError = code;
  return code;
}

std::uint32_t Be32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// Every tile of a codestream has at least one tile-part (an SOT segment of 12 bytes and an
// SOD marker), so a grid of more tiles than the bytes could hold is not a picture: the codec
// would set up every declared tile before finding that out. True when the first image and
// tile size segment (SIZ) asks for no more tiles than that.
bool TileCountFits(const std::vector<unsigned char>& data) {
  static const unsigned char kSiz[4] = {0xFF, 0x4F, 0xFF, 0x51};
  const auto at = std::search(data.begin(), data.end(), kSiz, kSiz + 4);
  if (at == data.end()) return true;  // the codec reports what is missing
  const std::size_t siz = static_cast<std::size_t>(at - data.begin()) + 4;
  if (data.size() - siz < 38) return true;
  const unsigned char* p = data.data() + siz + 4;  // past the segment length and capabilities
  const std::uint64_t width = Be32(p), height = Be32(p + 4), tileWidth = Be32(p + 16), tileHeight = Be32(p + 20),
                      tileLeft = Be32(p + 24), tileTop = Be32(p + 28);
  if (tileWidth == 0 || tileHeight == 0 || width <= tileLeft || height <= tileTop) return true;
  const std::uint64_t tiles = ((width - tileLeft + tileWidth - 1) / tileWidth) * ((height - tileTop + tileHeight - 1) / tileHeight);
  return tiles * 14 <= data.size() - siz;
}

// Reads the header of the compressed bytes in h->data; false (and the last error) on failure.
bool OpenHeader(Handle* h) {
  static const unsigned char kJp2Signature[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
  static const unsigned char kCodestream[4] = {0xFF, 0x4F, 0xFF, 0x51};
  OPJ_CODEC_FORMAT format;
  if (h->data.size() >= 12 && std::memcmp(h->data.data(), kJp2Signature, 12) == 0) {
    format = OPJ_CODEC_JP2;
  } else if (h->data.size() >= 4 && std::memcmp(h->data.data(), kCodestream, 4) == 0) {
    format = OPJ_CODEC_J2K;
  } else {
    Fail(J2K_ERR_FORMAT);
    return false;
  }
  if (!TileCountFits(h->data)) return Fail(J2K_ERR_TOO_LARGE), false;
  h->memory = MemoryStream{&h->data, 0};
  h->stream = opj_stream_create(64 * 1024, OPJ_TRUE);
  if (h->stream == nullptr) return Fail(J2K_ERR_READ), false;
  opj_stream_set_read_function(h->stream, MemRead);
  opj_stream_set_skip_function(h->stream, MemSkip);
  opj_stream_set_seek_function(h->stream, MemSeek);
  opj_stream_set_user_data(h->stream, &h->memory, nullptr);
  opj_stream_set_user_data_length(h->stream, h->data.size());
  h->codec = opj_create_decompress(format);
  if (h->codec == nullptr) return Fail(J2K_ERR_FORMAT), false;
  opj_set_info_handler(h->codec, Quiet, nullptr);
  opj_set_warning_handler(h->codec, Quiet, nullptr);
  opj_set_error_handler(h->codec, Quiet, nullptr);
  opj_dparameters_t params;
  opj_set_default_decoder_parameters(&params);
  if (!opj_setup_decoder(h->codec, &params) || !opj_read_header(h->stream, h->codec, &h->image) || h->image == nullptr)
    return Fail(J2K_ERR_HEADER), false;
  std::uint64_t w = h->image->x1 - h->image->x0, ht = h->image->y1 - h->image->y0;
  // Grey, grey with alpha, colour, colour with alpha: at most four components are decoded.
  if (h->image->x1 <= h->image->x0 || h->image->y1 <= h->image->y0 || w * ht > kMaxPixels ||
      h->image->numcomps == 0 || h->image->numcomps > 4)
    return Fail(J2K_ERR_TOO_LARGE), false;
  return true;
}

// ---- Entry points ----

int GetVersion() { return kVersion; }

// The callback record travels as an untyped pointer, as across any library boundary.
void* OpenCustom(void* userData, void* callbackRecord) {
  auto* callbacks = static_cast<J2KStreamCallbacks*>(callbackRecord);
  if (callbacks == nullptr || callbacks->read == nullptr || callbacks->seek == nullptr) {
    Fail(J2K_ERR_ARGUMENT);
    return nullptr;
  }
  auto* h = new Handle();
  if (callbacks->seek(userData, 0) != 0) {
    delete h;
    Fail(J2K_ERR_READ);
    return nullptr;
  }
  unsigned char chunk[64 * 1024];
  for (;;) {
    int n = callbacks->read(chunk, static_cast<int>(sizeof chunk), userData);
    if (n <= 0) break;
    if (h->data.size() + static_cast<std::size_t>(n) > kMaxFileBytes) {
      delete h;
      Fail(J2K_ERR_TOO_LARGE);
      return nullptr;
    }
    h->data.insert(h->data.end(), chunk, chunk + n);
  }
  if (!OpenHeader(h)) {
    delete h;
    return nullptr;
  }
  tLastError = J2K_OK;
  return h;
}

void* OpenFile(const char* name) {
  std::FILE* f = name != nullptr ? std::fopen(name, "rb") : nullptr;
  if (f == nullptr) {
    Fail(J2K_ERR_READ);
    return nullptr;
  }
  auto* h = new Handle();
  unsigned char chunk[64 * 1024];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && h->data.size() + n <= kMaxFileBytes)
    h->data.insert(h->data.end(), chunk, chunk + n);
  std::fclose(f);
  if (!OpenHeader(h)) {
    delete h;
    return nullptr;
  }
  return h;
}

void Close(void* handle) { delete static_cast<Handle*>(handle); }

int GetInfo(void* handle, int* width, int* height, int* components) {
  auto* h = static_cast<Handle*>(handle);
  if (h == nullptr || width == nullptr || height == nullptr) return Fail(J2K_ERR_ARGUMENT);
  *width = static_cast<int>(h->image->x1 - h->image->x0);
  *height = static_cast<int>(h->image->y1 - h->image->y0);
  if (components != nullptr) *components = static_cast<int>(h->image->numcomps);
  return J2K_OK;
}

int GetResolutionDimensions(void* handle, int level, int* width, int* height) {
  auto* h = static_cast<Handle*>(handle);
  if (h == nullptr || width == nullptr || height == nullptr || level < 0 || level > 31) return Fail(J2K_ERR_ARGUMENT);
  std::uint32_t scale = 1u << level;
  *width = static_cast<int>((h->image->x1 - h->image->x0 + scale - 1) / scale);
  *height = static_cast<int>((h->image->y1 - h->image->y0 + scale - 1) / scale);
  return J2K_OK;
}

// Reads "bpp=N,rl=N"; only 4 bytes a pixel at resolution level 0 are offered.
bool ParseOptions(const char* options) {
  if (options == nullptr) return true;
  std::string text(options);
  int bpp = 4, rl = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t comma = text.find(',', pos);
    std::string item = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    if (item.rfind("bpp=", 0) == 0)
      bpp = std::atoi(item.c_str() + 4);
    else if (item.rfind("rl=", 0) == 0)
      rl = std::atoi(item.c_str() + 3);
    else if (!item.empty())
      return false;
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return bpp == 4 && rl == 0;
}

std::uint32_t ToByte(const opj_image_comp_t& c, std::size_t index) {
  std::int64_t v = c.data[index];
  if (c.sgnd) v += std::int64_t{1} << (c.prec - 1);
  if (c.prec > 8)
    v >>= (c.prec - 8);
  else if (c.prec < 8)
    v = v * 255 / ((std::int64_t{1} << c.prec) - 1);
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(v, 0, 255));
}

int Decode(void* handle, void** buffer, int* bufferSize, const char* options, int* pitch) {
  auto* h = static_cast<Handle*>(handle);
  if (h == nullptr || buffer == nullptr || *buffer == nullptr || bufferSize == nullptr || pitch == nullptr)
    return Fail(J2K_ERR_ARGUMENT);
  if (!ParseOptions(options)) return Fail(J2K_ERR_OPTIONS);
  int width = static_cast<int>(h->image->x1 - h->image->x0);
  int height = static_cast<int>(h->image->y1 - h->image->y0);
  if (*pitch < width * 4 || static_cast<std::int64_t>(*bufferSize) < static_cast<std::int64_t>(*pitch) * height)
    return Fail(J2K_ERR_BUFFER);
  if (!h->decoded) {
    if (!opj_decode(h->codec, h->stream, h->image) || !opj_end_decompress(h->codec, h->stream))
      return Fail(J2K_ERR_DECODE);
    h->decoded = true;
  }
  opj_image_t* img = h->image;
  int channels = static_cast<int>(std::min<OPJ_UINT32>(img->numcomps, 4));
  for (int c = 0; c < channels; ++c) {
    const opj_image_comp_t& comp = img->comps[c];
    if (comp.data == nullptr || comp.w == 0 || comp.h == 0 || comp.dx == 0 || comp.dy == 0 || comp.prec == 0 ||
        comp.prec > 31)
      return Fail(J2K_ERR_DECODE);
  }
  auto* out = static_cast<unsigned char*>(*buffer);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(out + static_cast<std::size_t>(y) * *pitch);
    for (int x = 0; x < width; ++x) {
      std::uint32_t v[4] = {0, 0, 0, 255};
      for (int c = 0; c < channels; ++c) {
        const opj_image_comp_t& comp = img->comps[c];
        std::size_t cx = std::min<std::size_t>(static_cast<std::size_t>(x) / comp.dx, comp.w - 1);
        std::size_t cy = std::min<std::size_t>(static_cast<std::size_t>(y) / comp.dy, comp.h - 1);
        v[c] = ToByte(comp, cy * comp.w + cx);
      }
      std::uint32_t r, g, b, a;
      if (channels <= 2) {
        r = g = b = v[0];
        a = channels == 2 ? v[1] : 255;
      } else {
        r = v[0];
        g = v[1];
        b = v[2];
        a = channels == 4 ? v[3] : 255;
      }
      row[x] = a << 24 | r << 16 | g << 8 | b;
    }
  }
  tLastError = J2K_OK;
  return J2K_OK;
}

int GetLastError() { return tLastError; }

const char* GetErrorStr(int code) {
  switch (code) {
    case J2K_OK: return "No error";
    case J2K_ERR_ARGUMENT: return "Invalid argument";
    case J2K_ERR_READ: return "Cannot read the stream";
    case J2K_ERR_FORMAT: return "Not a JPEG 2000 file";
    case J2K_ERR_HEADER: return "Broken JPEG 2000 header";
    case J2K_ERR_DECODE: return "Broken JPEG 2000 data";
    case J2K_ERR_BUFFER: return "Output buffer too small";
    case J2K_ERR_OPTIONS: return "Unsupported decoding options";
    case J2K_ERR_TOO_LARGE: return "Picture too large";
    default: return "Unknown error";
  }
}

template <typename Fn>
FARPROC Export(Fn fn) {
  return reinterpret_cast<FARPROC>(fn);
}

}  // namespace

void RegisterJ2KCodecModule() {
  RegisterModule("j2k-codec.dll", {
                                      {"_J2K_getVersion@0", Export(&GetVersion)},
                                      {"_J2K_OpenCustom@8", Export(&OpenCustom)},
                                      {"_J2K_OpenFile@4", Export(&OpenFile)},
                                      {"_J2K_Close@4", Export(&Close)},
                                      {"_J2K_GetInfo@16", Export(&GetInfo)},
                                      {"_J2K_GetResolutionDimensions@16", Export(&GetResolutionDimensions)},
                                      {"_J2K_Decode@20", Export(&Decode)},
                                      {"_J2K_getLastError@0", Export(&GetLastError)},
                                      {"_J2K_getErrorStr@4", Export(&GetErrorStr)},
                                  });
}

}  // namespace plat
