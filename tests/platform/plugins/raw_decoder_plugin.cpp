// A decoder plug-in for the tests of the "bass.dll" stand-in: a made-up format, "QRAW", of a
// 12-byte header ("QRAW", channels as 16 bits, 16 unused bits, rate as 32 bits, all
// little-endian) and then signed 16-bit samples to the end of the file. Built three ways: a
// working plug-in, one without the entry point, and one of another interface version.
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/DecoderPlugin.h"

namespace {

struct Decoder {
  const QvDecoderFile* file;
  int channels;
  std::uint64_t frames;
};

std::uint32_t Le(const unsigned char* p, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void* Open(const QvDecoderFile* file, QvDecoderFormat* format) {
  unsigned char head[12];
  if (file->read(file->handle, head, sizeof head) != sizeof head || std::memcmp(head, "QRAW", 4) != 0) return nullptr;
  const int channels = static_cast<int>(Le(head + 4, 2));
  const std::int64_t size = file->size(file->handle);
  if (channels < 1 || channels > 2 || size < 12) return nullptr;
  auto* d = new (std::nothrow) Decoder{file, channels, static_cast<std::uint64_t>(size - 12) / (2u * static_cast<unsigned>(channels))};
  if (d == nullptr) return nullptr;
  format->channels = channels;
  format->rate = static_cast<int>(Le(head + 8, 4));
  format->frames = d->frames;
  return d;
}

int Read(void* decoder, std::int16_t* out, int frames) {
  auto* d = static_cast<Decoder*>(decoder);
  const std::size_t frameBytes = 2u * static_cast<std::size_t>(d->channels);
  const std::size_t got = d->file->read(d->file->handle, out, static_cast<std::size_t>(frames) * frameBytes);
  return static_cast<int>(got / frameBytes);
}

int Seek(void* decoder, std::uint64_t frame) {
  auto* d = static_cast<Decoder*>(decoder);
  if (frame > d->frames) return 0;
  return d->file->seek(d->file->handle, static_cast<std::int64_t>(12 + frame * 2u * static_cast<unsigned>(d->channels)), 0) == 0;
}

void Close(void* decoder) { delete static_cast<Decoder*>(decoder); }

#ifdef PLUGIN_OLDABI
constexpr std::uint32_t kAbi = QV_DECODER_PLUGIN_ABI + 1;
#else
constexpr std::uint32_t kAbi = QV_DECODER_PLUGIN_ABI;
#endif

const QvDecoderPlugin kPlugin = {kAbi, "Raw PCM", "*.qraw", Open, Read, Seek, Close};

}  // namespace

#ifndef PLUGIN_NOENTRY
extern "C" __attribute__((visibility("default"))) const QvDecoderPlugin* QvDecoderPluginEntry(void) { return &kPlugin; }
#endif
