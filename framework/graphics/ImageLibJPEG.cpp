// JPEG files through libjpeg: read from the pak-aware file layer through our own source
// manager, and written to disk at quality 80.
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include "framework/graphics/ImageLib.h"
#include "framework/graphics/ImageLibInternal.h"

// libjpeg's headers need the standard I/O types declared first, and define TRUE and FALSE as
// macros, so they come after every header of ours.
#include <jpeglib.h>
// The error codes and the ERREXIT / WARNMS macros.
#include <jerror.h>

namespace ImageLib {

using detail::AtomicFile;
using detail::ImageBuilder;
using detail::PakFile;

namespace {

constexpr std::size_t kInputBufferSize = 4096;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  void (*standardEmit)(j_common_ptr, int) = nullptr;
};

void OnErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Reading: a warning that the entropy-coded data has run out before its scan did, or has
// gone bad, ends the read like an error. From there on the library would fill the rest of
// the picture with flat blocks, which for a small file declaring a large picture costs the
// whole declared size; so every such file stops as soon as its data is spent. (Arithmetic
// coding may legally end its data early and let the decoder fill in zeros; that raises no
// warning, so a valid highly compressible picture still decodes.)
void OnReadMessage(j_common_ptr cinfo, int level) {
  const int code = cinfo->err->msg_code;
  if (level < 0 && (code == JWRN_HIT_MARKER || code == JWRN_ARITH_BAD_CODE)) OnErrorExit(cinfo);
  (*reinterpret_cast<ErrorManager*>(cinfo->err)->standardEmit)(cinfo, level);
}

// Every scan of a multi-scan file passes over the whole picture, and arithmetic-coded scans
// need hardly a byte for it; so the work a file may ask for is bounded in picture passes:
// the scans read so far times the picture's pixels, at most 16 passes over the largest
// picture allowed (a 2048 x 2048 picture may have 256 scans; encoders write about 10).
constexpr std::int64_t kMaxScanPixels = 16 * detail::kMaxPixels;

void OnProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (static_cast<std::int64_t>(d->input_scan_number) * d->image_width * d->image_height > kMaxScanPixels)
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

struct PakSource {
  jpeg_source_mgr pub;
  PakFile* file;
  JOCTET* buffer;
  bool startOfFile;
};

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<PakSource*>(cinfo->src)->startOfFile = true; }

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<PakSource*>(cinfo->src);
  std::size_t n = src->file->Read(src->buffer, kInputBufferSize);
  // A file that ends before its picture does is refused; it stops here rather than being
  // decoded to the end as grey, which costs the whole declared picture whatever the file holds.
  if (n == 0) ERREXIT(cinfo, src->startOfFile ? JERR_INPUT_EMPTY : JERR_INPUT_EOF);
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = n;
  src->startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  auto* src = reinterpret_cast<PakSource*>(cinfo->src);
  while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
    count -= static_cast<long>(src->pub.bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  src->pub.next_input_byte += count;
  src->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

struct JpegRead {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  jpeg_progress_mgr progress{};
  ImageBuilder out;
  bool created = false;
  ~JpegRead() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

bool DecodeJpeg(PakFile& file, JpegRead& r) {
  if (setjmp(r.err.jump)) return false;
  jpeg_create_decompress(&r.cinfo);
  r.created = true;
  auto* src = static_cast<PakSource*>(
      (*r.cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&r.cinfo), JPOOL_PERMANENT, sizeof(PakSource)));
  src->buffer = static_cast<JOCTET*>(
      (*r.cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&r.cinfo), JPOOL_PERMANENT, kInputBufferSize));
  src->file = &file;
  src->pub.init_source = InitSource;
  src->pub.fill_input_buffer = FillInputBuffer;
  src->pub.skip_input_data = SkipInputData;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = TermSource;
  src->pub.bytes_in_buffer = 0;
  src->pub.next_input_byte = nullptr;
  r.cinfo.src = &src->pub;

  jpeg_read_header(&r.cinfo, TRUE);
  if (!detail::SizeAllowed(r.cinfo.image_width, r.cinfo.image_height)) return false;
  // A file whose data ends before its picture does stops there (the source manager and
  // OnReadMessage); the picture's memory is asked for uncleared, so the rows never reached
  // cost nothing before the refusal.
  r.progress.progress_monitor = OnProgress;
  r.cinfo.progress = &r.progress;
  jpeg_start_decompress(&r.cinfo);
  int components = r.cinfo.output_components;
  // Only grey and colour pictures are read (CMYK is refused).
  if (components != 1 && components != 3) return false;
  int width = static_cast<int>(r.cinfo.output_width);
  if (!r.out.Allocate(width, static_cast<int>(r.cinfo.output_height), false)) return false;
  JSAMPARRAY line = (*r.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&r.cinfo), JPOOL_IMAGE,
                                                  static_cast<JDIMENSION>(width * components), 1);
  while (r.cinfo.output_scanline < r.cinfo.output_height) {
    std::uint32_t* dest = r.out.Bits() + static_cast<std::size_t>(r.cinfo.output_scanline) * width;
    if (jpeg_read_scanlines(&r.cinfo, line, 1) != 1) return false;
    const JSAMPLE* s = line[0];
    for (int x = 0; x < width; ++x) {
      if (components == 1) {
        std::uint32_t g = s[x];
        dest[x] = 0xFF000000u | g << 16 | g << 8 | g;
      } else {
        dest[x] = 0xFF000000u | static_cast<std::uint32_t>(s[x * 3]) << 16 |
                  static_cast<std::uint32_t>(s[x * 3 + 1]) << 8 | s[x * 3 + 2];
      }
    }
  }
  jpeg_finish_decompress(&r.cinfo);
  return true;
}

}  // namespace

Image* GetJPEGImage(const std::string& fileName) {
  PakFile file(fileName);
  if (!file.IsOpen()) return nullptr;
  auto r = std::make_unique<JpegRead>();
  r->cinfo.err = jpeg_std_error(&r->err.pub);
  r->err.pub.error_exit = OnErrorExit;
  r->err.standardEmit = r->err.pub.emit_message;
  r->err.pub.emit_message = OnReadMessage;
  if (!DecodeJpeg(file, *r)) return nullptr;
  return r->out.Release();
}

namespace {

struct JpegWrite {
  jpeg_compress_struct cinfo{};
  ErrorManager err{};
  bool created = false;
  ~JpegWrite() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

bool EncodeJpeg(std::FILE* stream, JpegWrite& w, Image* image, std::vector<JSAMPLE>& row) {
  if (setjmp(w.err.jump)) return false;
  jpeg_create_compress(&w.cinfo);
  w.created = true;
  jpeg_stdio_dest(&w.cinfo, stream);
  w.cinfo.image_width = static_cast<JDIMENSION>(image->mWidth);
  w.cinfo.image_height = static_cast<JDIMENSION>(image->mHeight);
  w.cinfo.input_components = 3;
  w.cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&w.cinfo);
  jpeg_set_quality(&w.cinfo, 80, TRUE);
  jpeg_start_compress(&w.cinfo, TRUE);
  JSAMPROW rows[1] = {row.data()};
  for (int y = 0; y < image->mHeight; ++y) {
    const std::uint32_t* src = image->mBits + static_cast<std::size_t>(y) * image->mWidth;
    for (int x = 0; x < image->mWidth; ++x) {
      row[x * 3] = static_cast<JSAMPLE>(src[x] >> 16);
      row[x * 3 + 1] = static_cast<JSAMPLE>(src[x] >> 8);
      row[x * 3 + 2] = static_cast<JSAMPLE>(src[x]);
    }
    jpeg_write_scanlines(&w.cinfo, rows, 1);
  }
  jpeg_finish_compress(&w.cinfo);
  return true;
}

}  // namespace

bool WriteJPEGImage(const std::string& fileName, Image* image) {
  if (image == nullptr || image->mBits == nullptr || image->mWidth <= 0 || image->mHeight <= 0) return false;
  AtomicFile file(fileName);
  if (file.Stream() == nullptr) return false;
  auto w = std::make_unique<JpegWrite>();
  w->cinfo.err = jpeg_std_error(&w->err.pub);
  w->err.pub.error_exit = OnErrorExit;
  std::vector<JSAMPLE> row(static_cast<std::size_t>(image->mWidth) * 3);
  if (!EncodeJpeg(file.Stream(), *w, image, row)) return false;
  return file.Commit();
}

}  // namespace ImageLib
