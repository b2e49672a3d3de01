// WAV and Ogg Vorbis decoding into mixer sample blocks.
#include "platform/AudioDecode.h"

#include <tremor/ivorbisfile.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/Files.h"

namespace plat {

namespace {

std::uint32_t Le32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24); }
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Largest sound the libraries decode, as for DirectSound buffers.
constexpr std::size_t kMaxSampleBytes = 0x0FFFFFFF;

}  // namespace

bool DecodeWav(const std::uint8_t* data, std::size_t size, DecodedSound& out) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) return false;
  int channels = 0, bits = 0, rate = 0;
  std::size_t pos = 12;
  while (size - pos >= 8) {
    const std::uint8_t* chunk = data + pos;
    std::size_t length = Le32(chunk + 4);
    std::size_t body = pos + 8;
    if (length > size - body) length = size - body;  // a truncated last chunk keeps what is there
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (length < 16 || Le16(chunk + 8) != 1) return false;
      channels = Le16(chunk + 10);
      rate = static_cast<int>(Le32(chunk + 12));
      bits = Le16(chunk + 22);
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate < 100 || rate > 100000) return false;
      std::size_t frameBytes = static_cast<std::size_t>(channels * bits / 8);
      length -= length % frameBytes;
      if (length == 0 || length > kMaxSampleBytes) return false;
      auto block = std::make_shared<SampleBlock>();
      block->bytes.assign(data + body, data + body + length);
      block->channels = channels;
      block->bitsPerSample = bits;
      out.block = std::move(block);
      out.rate = rate;
      return true;
    }
    pos = body + length + (length & 1);
    if (pos > size) break;
  }
  return false;
}

namespace {

struct MemoryFile {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
};

size_t MemRead(void* ptr, size_t size, size_t count, void* source) {
  auto* f = static_cast<MemoryFile*>(source);
  if (size == 0) return 0;
  size_t items = std::min(count, (f->size - f->pos) / size);
  std::memcpy(ptr, f->data + f->pos, items * size);
  f->pos += items * size;
  return items;
}

int MemSeek(void* source, ogg_int64_t offset, int whence) {
  auto* f = static_cast<MemoryFile*>(source);
  ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<ogg_int64_t>(f->pos)
                                                                  : static_cast<ogg_int64_t>(f->size);
  ogg_int64_t target = base + offset;
  if (target < 0 || target > static_cast<ogg_int64_t>(f->size)) return -1;
  f->pos = static_cast<std::size_t>(target);
  return 0;
}

long MemTell(void* source) { return static_cast<long>(static_cast<MemoryFile*>(source)->pos); }

}  // namespace

bool DecodeOggVorbis(const std::uint8_t* data, std::size_t size, DecodedSound& out) {
  MemoryFile file{data, size};
  OggVorbis_File vf;
  ov_callbacks callbacks{MemRead, MemSeek, nullptr, MemTell};
  if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) < 0) return false;
  vorbis_info* info = ov_info(&vf, -1);
  bool ok = info != nullptr && (info->channels == 1 || info->channels == 2) && info->rate >= 100 && info->rate <= 100000;
  auto block = std::make_shared<SampleBlock>();
  if (ok) {
    block->channels = info->channels;
    block->bitsPerSample = 16;
    char chunk[4096];
    int section = 0;
    for (;;) {
      long got = ov_read(&vf, chunk, sizeof(chunk), &section);
      if (got == OV_HOLE) continue;
      if (got <= 0) break;
      if (block->bytes.size() + static_cast<std::size_t>(got) > kMaxSampleBytes) break;
      block->bytes.insert(block->bytes.end(), chunk, chunk + got);
    }
    std::size_t frameBytes = static_cast<std::size_t>(block->frameBytes());
    block->bytes.resize(block->bytes.size() - block->bytes.size() % frameBytes);
    ok = !block->bytes.empty();
    out.rate = static_cast<int>(info->rate);
  }
  ov_clear(&vf);
  if (ok) out.block = std::move(block);
  return ok;
}

bool DecodeSoundFile(const std::vector<std::uint8_t>& bytes, DecodedSound& out) {
  if (bytes.size() >= 4 && std::memcmp(bytes.data(), "OggS", 4) == 0) return DecodeOggVorbis(bytes.data(), bytes.size(), out);
  return DecodeWav(bytes.data(), bytes.size(), out);
}

namespace {

std::mutex& ReaderMutex() {
  static std::mutex m;
  return m;
}

SoundFileReader& Reader() {
  static SoundFileReader reader;
  return reader;
}

bool ReadFromDisk(const std::string& name, std::vector<std::uint8_t>& bytes) {
  std::FILE* f = OpenFileStream(name.c_str(), "rb");
  if (f == nullptr) return false;
  bytes.clear();
  std::uint8_t chunk[65536];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof(chunk), f)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(f);
  return true;
}

}  // namespace

void SetSoundFileReader(SoundFileReader reader) {
  std::lock_guard<std::mutex> lock(ReaderMutex());
  Reader() = std::move(reader);
}

bool ReadSoundFile(const std::string& name, std::vector<std::uint8_t>& bytes) {
  SoundFileReader reader;
  {
    std::lock_guard<std::mutex> lock(ReaderMutex());
    reader = Reader();
  }
  if (reader) return reader(name, bytes);
  return ReadFromDisk(name, bytes);
}

}  // namespace plat
