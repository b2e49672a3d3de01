// JPEG files through libjpeg: read from the pak-aware file layer through our own source
// manager, and written to disk at quality 80.
#include <bit>
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
};

void OnErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
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
  bool ended;  // the file has run out and an end-of-image marker was supplied
};

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<PakSource*>(cinfo->src)->startOfFile = true; }

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<PakSource*>(cinfo->src);
  // A file that ends early (a lost end marker, a copy cut short) is closed with an end-of-image
  // marker: the library keeps what it has decoded and fills the rest of the picture itself.
  // Once it has read that marker it asks for no more data; until then (a marker segment cut
  // short is read to its declared length) every request gets the marker again, and the file,
  // which cannot grow, is not read again.
  std::size_t n = src->ended ? 0 : src->file->Read(src->buffer, kInputBufferSize);
  if (n == 0) {
    if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->ended = true;
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    n = 2;
  }
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
    // Past the end of the file every fill is the same two-byte marker: the whole ones that
    // a long skip would step over one fill at a time are passed over at once.
    if (src->ended && count > 2) count = (count - 1) % 2 + 1;
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
  bool rowsRead = false;  // every row of the picture is decoded
  ~JpegRead() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

bool DecodeJpeg(PakFile& file, JpegRead& r) {
  if (setjmp(r.err.jump)) return r.rowsRead;
  jpeg_create_decompress(&r.cinfo);
  r.created = true;
  auto* src = static_cast<PakSource*>(
      (*r.cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&r.cinfo), JPOOL_PERMANENT, sizeof(PakSource)));
  src->buffer = static_cast<JOCTET*>(
      (*r.cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&r.cinfo), JPOOL_PERMANENT, kInputBufferSize));
  src->file = &file;
  src->ended = false;
  src->pub.init_source = InitSource;
  src->pub.fill_input_buffer = FillInputBuffer;
  src->pub.skip_input_data = SkipInputData;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = TermSource;
  src->pub.bytes_in_buffer = 0;
  src->pub.next_input_byte = nullptr;
  r.cinfo.src = &src->pub;

  jpeg_read_header(&r.cinfo, TRUE);
  // The headers up to the first scan must be whole; only the coded data may be cut short.
  if (src->ended) return false;
  if (!detail::SizeAllowed(r.cinfo.image_width, r.cinfo.image_height)) return false;
  r.progress.progress_monitor = OnProgress;
  r.cinfo.progress = &r.progress;
  // Only grey and colour pictures are read (CMYK is refused). The library converts them to
  // opaque 0xAARRGGBB pixels itself, written straight into the picture's rows.
  if (r.cinfo.jpeg_color_space != JCS_GRAYSCALE && r.cinfo.jpeg_color_space != JCS_YCbCr &&
      r.cinfo.jpeg_color_space != JCS_RGB)
    return false;
  r.cinfo.out_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;
  jpeg_start_decompress(&r.cinfo);
  const int width = static_cast<int>(r.cinfo.output_width);
  if (r.cinfo.output_components != 4 || !r.out.Allocate(width, static_cast<int>(r.cinfo.output_height), false))
    return false;
  while (r.cinfo.output_scanline < r.cinfo.output_height) {
    JSAMPROW row[1] = {reinterpret_cast<JSAMPROW>(r.out.Bits() + static_cast<std::size_t>(r.cinfo.output_scanline) * width)};
    if (jpeg_read_scanlines(&r.cinfo, row, 1) != 1) return false;
  }
  // A file of one scan is read to its end marker only now, after its picture: a broken
  // marker segment where the end marker should be (a file cut inside one, or the start of
  // another file) cannot spoil rows already decoded, so the picture is kept.
  r.rowsRead = true;
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
