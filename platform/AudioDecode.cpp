// WAV, Ogg Vorbis, MP3 and tracker-module decoding, whole or piece by piece.
#include "platform/AudioDecode.h"

#include <mpg123.h>
#include <tremor/ivorbisfile.h>
#include <xmp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <mutex>

#include "platform/Files.h"

namespace plat {

namespace {

std::uint32_t Le32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24); }
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Largest sound decoded whole, and largest WAV data chunk: the limit of a sound buffer.
constexpr std::size_t kMaxSampleBytes = 0x0FFFFFFF;

class MemoryFile : public SoundFile {
 public:
  MemoryFile(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}
  explicit MemoryFile(std::vector<std::uint8_t> bytes) : mOwned(std::move(bytes)), mData(mOwned.data()), mSize(mOwned.size()) {}
  std::size_t Read(void* buffer, std::size_t bytes) override {
    std::size_t n = std::min(bytes, mSize - mPos);
    if (n > 0) std::memcpy(buffer, mData + mPos, n);
    mPos += n;
    return n;
  }
  bool Seek(std::int64_t offset, int origin) override {
    std::int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? static_cast<std::int64_t>(mPos) : static_cast<std::int64_t>(mSize);
    std::int64_t target = base + offset;
    if (target < 0 || target > static_cast<std::int64_t>(mSize)) return false;
    mPos = static_cast<std::size_t>(target);
    return true;
  }
  std::int64_t Tell() override { return static_cast<std::int64_t>(mPos); }

 private:
  std::vector<std::uint8_t> mOwned;
  const std::uint8_t* mData;
  std::size_t mSize;
  std::size_t mPos = 0;
};

class DiskFile : public SoundFile {
 public:
  explicit DiskFile(std::FILE* f) : mFile(f) {}
  ~DiskFile() override { std::fclose(mFile); }
  std::size_t Read(void* buffer, std::size_t bytes) override { return std::fread(buffer, 1, bytes, mFile); }
  bool Seek(std::int64_t offset, int origin) override { return fseeko(mFile, offset, origin) == 0; }
  std::int64_t Tell() override { return ftello(mFile); }

 private:
  std::FILE* mFile;
};

std::mutex& OpenerMutex() {
  static std::mutex m;
  return m;
}

SoundFileOpener& Opener() {
  static SoundFileOpener opener;
  return opener;
}

}  // namespace

std::int64_t SoundFile::Size() {
  std::int64_t at = Tell();
  if (at < 0 || !Seek(0, SEEK_END)) return -1;
  std::int64_t size = Tell();
  return Seek(at, SEEK_SET) ? size : -1;
}

std::unique_ptr<SoundFile> MemorySoundFile(const std::uint8_t* data, std::size_t size) {
  return std::make_unique<MemoryFile>(data, size);
}

std::unique_ptr<SoundFile> MemorySoundFile(std::vector<std::uint8_t> bytes) {
  return std::make_unique<MemoryFile>(std::move(bytes));
}

void SetSoundFileOpener(SoundFileOpener opener) {
  std::lock_guard<std::mutex> lock(OpenerMutex());
  Opener() = std::move(opener);
}

std::unique_ptr<SoundFile> OpenSoundFile(const std::string& name) {
  SoundFileOpener opener;
  {
    std::lock_guard<std::mutex> lock(OpenerMutex());
    opener = Opener();
  }
  if (opener) return opener(name);
  std::FILE* f = OpenFileStream(name.c_str(), "rb");
  return f == nullptr ? nullptr : std::make_unique<DiskFile>(f);
}

bool ReadSoundFile(const std::string& name, std::vector<std::uint8_t>& bytes) {
  std::unique_ptr<SoundFile> file = OpenSoundFile(name);
  if (!file) return false;
  bytes.clear();
  std::uint8_t chunk[65536];
  std::size_t got;
  while ((got = file->Read(chunk, sizeof(chunk))) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  return true;
}

// ---- WAV ----

namespace {

bool ReadExactly(SoundFile& f, void* buffer, std::size_t bytes) { return f.Read(buffer, bytes) == bytes; }

// Without a check of its own, a "dep " chunk is current when the file it names has on disk
// the time it records (as a FILETIME: 100 ns steps since 1601), or is not on disk and it
// records 0.
bool DependencyOnDisk(const std::string& name, std::uint32_t low, std::uint32_t high) {
  std::uint64_t ticks = 0;
  std::error_code ec;
  std::filesystem::path file(ResolveFileName(name));
  if (!name.empty() && std::filesystem::is_regular_file(file, ec)) {
    auto written = std::filesystem::last_write_time(file, ec);
    if (!ec) {
      auto since1970 = std::chrono::file_clock::to_sys(written).time_since_epoch();
      ticks = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since1970).count() / 100 +
                                         11644473600LL * 10000000LL);
    }
  }
  return static_cast<std::uint32_t>(ticks) == low && static_cast<std::uint32_t>(ticks >> 32) == high;
}

bool LooksLikeChunkName(SoundFile& f, std::int64_t at) {
  std::uint8_t id[4];
  if (!f.Seek(at, SEEK_SET) || !ReadExactly(f, id, 4)) return false;
  return std::all_of(id, id + 4, [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

}  // namespace

bool ParseWav(SoundFile& f, WavFormat& out, const WavDependencyCheck& dependency) {
  std::uint8_t head[12];
  if (!ReadExactly(f, head, 12) || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
    return false;
  const std::int64_t fileSize = f.Size();
  if (fileSize < 0) return false;
  WavFormat w;
  std::int64_t position = 12;
  for (;;) {
    std::uint8_t chunk[8];
    if (!f.Seek(position, SEEK_SET) || !ReadExactly(f, chunk, 8)) return false;  // no "data" chunk
    const std::uint32_t size = Le32(chunk + 4);
    const std::int64_t body = position + 8;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      std::uint8_t fmt[16];
      if (!ReadExactly(f, fmt, 16) || Le16(fmt) != 1) return false;
      w.channels = Le16(fmt + 2);
      w.rate = static_cast<int>(std::min<std::uint32_t>(Le32(fmt + 4), 0x7FFFFFFF));
      w.bits = Le16(fmt + 14);
    } else if (std::memcmp(chunk, "dep ", 4) == 0) {
      std::uint8_t length[2];
      if (!ReadExactly(f, length, 2)) return false;
      std::size_t n = std::min<std::size_t>(Le16(length), 255);
      char name[256];
      std::uint8_t time[8];
      if (!ReadExactly(f, name, n) || !ReadExactly(f, time, 8)) return false;
      const std::string source(name, n);
      if (!(dependency ? dependency(source, Le32(time), Le32(time + 4)) : DependencyOnDisk(source, Le32(time), Le32(time + 4))))
        return false;
    } else if (std::memcmp(chunk, "xor ", 4) == 0) {
      if (!ReadExactly(f, &w.key, 1)) return false;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if ((w.channels != 1 && w.channels != 2) || (w.bits != 8 && w.bits != 16) || w.rate < 100 || w.rate > 100000 ||
          size < 4 || size > kMaxSampleBytes || static_cast<std::int64_t>(size) > fileSize - body)
        return false;
      w.dataOffset = body;
      w.dataSize = size;
      out = w;
      return f.Seek(body, SEEK_SET);
    }
    std::int64_t next = body + size;
    if ((size & 1) != 0 && !LooksLikeChunkName(f, next) && LooksLikeChunkName(f, next + 1)) ++next;
    if (next > fileSize) return false;
    position = next;
  }
}

namespace {

class WavSource : public StreamSource {
 public:
  WavSource(std::unique_ptr<SoundFile> file, const WavFormat& format) : mFile(std::move(file)), mFormat(format) {}
  int Channels() const override { return mFormat.channels; }
  int Rate() const override { return mFormat.rate; }
  std::uint64_t Length() const override { return mFormat.dataSize / FrameBytes(); }
  std::uint64_t Position() const override { return mFrame; }
  bool Seek(std::uint64_t frame) override {
    if (frame > Length()) return false;
    mFrame = frame;
    return mFile->Seek(mFormat.dataOffset + static_cast<std::int64_t>(frame * FrameBytes()), SEEK_SET);
  }
  int Read(std::int16_t* out, int frames, bool) override {
    const std::uint64_t left = Length() - std::min(mFrame, Length());
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, static_cast<std::uint64_t>(frames)));
    mBytes.resize(n * FrameBytes());
    const std::size_t got = mFile->Read(mBytes.data(), mBytes.size()) / FrameBytes();
    const std::size_t samples = got * static_cast<std::size_t>(mFormat.channels);
    for (std::size_t i = 0; i < samples; ++i) {
      if (mFormat.bits == 8) {
        out[i] = static_cast<std::int16_t>((static_cast<int>(mBytes[i] ^ mFormat.key) - 128) * 256);
      } else {
        out[i] = static_cast<std::int16_t>((mBytes[2 * i] ^ mFormat.key) | ((mBytes[2 * i + 1] ^ mFormat.key) << 8));
      }
    }
    mFrame += got;
    return static_cast<int>(got);
  }

 private:
  std::size_t FrameBytes() const { return static_cast<std::size_t>(mFormat.channels * mFormat.bits / 8); }
  std::unique_ptr<SoundFile> mFile;
  WavFormat mFormat;
  std::uint64_t mFrame = 0;
  std::vector<std::uint8_t> mBytes;
};

// ---- Ogg Vorbis ----

size_t OggRead(void* ptr, size_t size, size_t count, void* source) {
  if (size == 0) return 0;
  return static_cast<SoundFile*>(source)->Read(ptr, size * count) / size;
}
int OggSeek(void* source, ogg_int64_t offset, int whence) {
  return static_cast<SoundFile*>(source)->Seek(offset, whence) ? 0 : -1;
}
long OggTell(void* source) { return static_cast<long>(static_cast<SoundFile*>(source)->Tell()); }

bool UsableFormat(long channels, long rate) { return (channels == 1 || channels == 2) && rate >= 100 && rate <= 100000; }

// What the compressed-file sources share: a format read from the header, and a frame count.
class FileSource : public StreamSource {
 public:
  int Channels() const override { return mChannels; }
  int Rate() const override { return mRate; }
  std::uint64_t Length() const override { return mLength; }
  std::uint64_t Position() const override { return mFrame; }

 protected:
  int mChannels = 0, mRate = 0;
  std::uint64_t mLength = 0, mFrame = 0;
};

class OggSource : public FileSource {
 public:
  static std::unique_ptr<OggSource> Open(std::unique_ptr<SoundFile> file) {
    std::unique_ptr<OggSource> s(new OggSource(std::move(file)));
    ov_callbacks callbacks{OggRead, OggSeek, nullptr, OggTell};
    if (ov_open_callbacks(s->mFile.get(), &s->mState, nullptr, 0, callbacks) < 0) return nullptr;
    s->mOpen = true;
    vorbis_info* info = ov_info(&s->mState, -1);
    if (info == nullptr || !UsableFormat(info->channels, info->rate)) return nullptr;
    s->mChannels = info->channels;
    s->mRate = static_cast<int>(info->rate);
    ogg_int64_t total = ov_pcm_total(&s->mState, -1);
    s->mLength = total > 0 ? static_cast<std::uint64_t>(total) : 0;
    return s;
  }
  ~OggSource() override {
    if (mOpen) ov_clear(&mState);
  }
  bool Seek(std::uint64_t frame) override {
    if (mLength != 0 && frame > mLength) return false;
    if (ov_pcm_seek(&mState, static_cast<ogg_int64_t>(frame)) != 0) return false;
    mFrame = frame;
    return true;
  }
  int Read(std::int16_t* out, int frames, bool) override {
    const int frameBytes = 2 * mChannels;
    int done = 0;
    while (done < frames) {
      int section = 0;
      long got = ov_read(&mState, reinterpret_cast<char*>(out + done * mChannels), (frames - done) * frameBytes, &section);
      if (got == OV_HOLE) continue;
      if (got <= 0) break;
      // A chained file that changes its format ends here.
      vorbis_info* info = ov_info(&mState, section);
      if (info == nullptr || info->channels != mChannels || info->rate != mRate) break;
      done += static_cast<int>(got / frameBytes);
    }
    mFrame += static_cast<std::uint64_t>(done);
    return done;
  }

 private:
  explicit OggSource(std::unique_ptr<SoundFile> file) : mFile(std::move(file)) {}
  std::unique_ptr<SoundFile> mFile;
  OggVorbis_File mState{};
  bool mOpen = false;
};

// ---- MP3 ----

mpg123_ssize_t Mp3Read(void* source, void* buffer, size_t bytes) {
  return static_cast<mpg123_ssize_t>(static_cast<SoundFile*>(source)->Read(buffer, bytes));
}
off_t Mp3Seek(void* source, off_t offset, int whence) {
  auto* f = static_cast<SoundFile*>(source);
  return f->Seek(offset, whence) ? static_cast<off_t>(f->Tell()) : -1;
}

class Mp3Source : public FileSource {
 public:
  static std::unique_ptr<Mp3Source> Open(std::unique_ptr<SoundFile> file) {
    std::unique_ptr<Mp3Source> s(new Mp3Source(std::move(file)));
    int error = 0;
    s->mHandle = mpg123_new(nullptr, &error);
    if (s->mHandle == nullptr) return nullptr;
    mpg123_param(s->mHandle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_replace_reader_handle(s->mHandle, Mp3Read, Mp3Seek, nullptr) != MPG123_OK ||
        mpg123_open_handle(s->mHandle, s->mFile.get()) != MPG123_OK)
      return nullptr;
    s->mOpen = true;
    if (mpg123_getformat(s->mHandle, &rate, &channels, &encoding) != MPG123_OK || !UsableFormat(channels, rate))
      return nullptr;
    // Always 16-bit samples at the file's own rate and channels.
    mpg123_format_none(s->mHandle);
    if (mpg123_format(s->mHandle, rate, channels, MPG123_ENC_SIGNED_16) != MPG123_OK) return nullptr;
    s->mChannels = channels;
    s->mRate = static_cast<int>(rate);
    off_t length = mpg123_length(s->mHandle);
    s->mLength = length > 0 ? static_cast<std::uint64_t>(length) : 0;
    return s;
  }
  ~Mp3Source() override {
    if (mOpen) mpg123_close(mHandle);
    if (mHandle != nullptr) mpg123_delete(mHandle);
  }
  bool Seek(std::uint64_t frame) override {
    if (mLength != 0 && frame > mLength) return false;
    if (mpg123_seek(mHandle, static_cast<off_t>(frame), SEEK_SET) < 0) return false;
    mFrame = frame;
    return true;
  }
  int Read(std::int16_t* out, int frames, bool) override {
    const std::size_t frameBytes = 2 * static_cast<std::size_t>(mChannels);
    std::size_t done = 0, want = static_cast<std::size_t>(frames) * frameBytes;
    while (done < want) {
      size_t got = 0;
      int result = mpg123_read(mHandle, reinterpret_cast<unsigned char*>(out) + done, want - done, &got);
      done += got;
      if (result == MPG123_NEW_FORMAT) {
        // The format may be announced again as it was; a real change ends the stream.
        long rate = 0;
        int channels = 0, encoding = 0;
        mpg123_getformat(mHandle, &rate, &channels, &encoding);
        if (rate != mRate || channels != mChannels || encoding != MPG123_ENC_SIGNED_16) break;
        continue;
      }
      if (result != MPG123_OK || got == 0) break;
    }
    const int n = static_cast<int>(done / frameBytes);
    mFrame += static_cast<std::uint64_t>(n);
    return n;
  }

 private:
  explicit Mp3Source(std::unique_ptr<SoundFile> file) : mFile(std::move(file)) {}
  std::unique_ptr<SoundFile> mFile;
  mpg123_handle* mHandle = nullptr;
  bool mOpen = false;
};

// ---- Tracker modules ----

class ModuleSource : public StreamSource {
 public:
  static std::unique_ptr<ModuleSource> Open(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > 0x7FFFFFFF) return nullptr;
    std::unique_ptr<ModuleSource> s(new ModuleSource());
    s->mContext = xmp_create_context();
    if (s->mContext == nullptr) return nullptr;
    if (xmp_load_module_from_memory(s->mContext, data, static_cast<long>(size)) != 0) return nullptr;
    s->mLoaded = true;
    xmp_module_info info;
    xmp_get_module_info(s->mContext, &info);
    if (info.mod == nullptr || info.mod->len <= 0) return nullptr;
    s->mOrders = static_cast<std::uint64_t>(info.mod->len);
    if (xmp_start_player(s->mContext, AudioMixer::kOutputRate, 0) != 0) return nullptr;
    s->mPlaying = true;
    xmp_set_player(s->mContext, XMP_PLAYER_INTERP, XMP_INTERP_SPLINE);
    return s;
  }
  ~ModuleSource() override {
    if (mPlaying) xmp_end_player(mContext);
    if (mLoaded) xmp_release_module(mContext);
    if (mContext != nullptr) xmp_free_context(mContext);
  }
  bool IsModule() const override { return true; }
  int Channels() const override { return 2; }
  int Rate() const override { return AudioMixer::kOutputRate; }
  std::uint64_t Length() const override { return mOrders; }
  std::uint64_t Position() const override { return mPosition; }
  bool Seek(std::uint64_t order) override {
    if (order >= mOrders) return false;
    // Order 0 answers -1 (the player restarts the song); errors are -2 and below.
    if (xmp_set_position(mContext, static_cast<int>(order)) < -1) return false;
    mCarry.clear();
    mCarryAt = 0;
    mEnded = false;
    mPosition = order << 16;
    xmp_frame_info fi;
    xmp_get_frame_info(mContext, &fi);
    mLoopsAtStart = fi.loop_count;
    return true;
  }
  int Read(std::int16_t* out, int frames, bool loop) override {
    int done = 0;
    while (done < frames) {
      if (mCarryAt >= mCarry.size()) {
        if (mEnded || !RenderFrame(loop)) break;
      }
      std::size_t n = std::min((mCarry.size() - mCarryAt) / 2, static_cast<std::size_t>(frames - done));
      std::memcpy(out + 2 * done, mCarry.data() + mCarryAt, n * 4);
      mCarryAt += 2 * n;
      done += static_cast<int>(n);
    }
    return done;
  }

 private:
  ModuleSource() = default;

  // One tick of the song into the carry buffer; false at the song's end when it does not loop.
  bool RenderFrame(bool loop) {
    if (xmp_play_frame(mContext) != 0) {
      mEnded = true;
      return false;
    }
    xmp_frame_info fi;
    xmp_get_frame_info(mContext, &fi);
    if (!loop && fi.loop_count > mLoopsAtStart) {
      mEnded = true;
      return false;
    }
    if (loop) mLoopsAtStart = fi.loop_count;
    mPosition = (static_cast<std::uint64_t>(std::max(fi.pos, 0)) << 16) | static_cast<std::uint64_t>(std::max(fi.row, 0) & 0xFFFF);
    const auto* samples = static_cast<const std::int16_t*>(fi.buffer);
    mCarry.assign(samples, samples + std::max(fi.buffer_size, 0) / 2);
    mCarryAt = 0;
    if (mCarry.empty()) mEnded = true;  // a tick of no length would never move on
    return !mCarry.empty();
  }

  xmp_context mContext = nullptr;
  bool mLoaded = false, mPlaying = false, mEnded = false;
  std::uint64_t mOrders = 0, mPosition = 0;
  int mLoopsAtStart = 0;
  std::vector<std::int16_t> mCarry;
  std::size_t mCarryAt = 0;
};

enum class Kind { Unknown, Wav, Ogg, Mp3 };

Kind Sniff(SoundFile& f) {
  std::uint8_t head[4] = {};
  std::size_t n = f.Read(head, 4);
  f.Seek(0, SEEK_SET);
  if (n == 4 && std::memcmp(head, "RIFF", 4) == 0) return Kind::Wav;
  if (n == 4 && std::memcmp(head, "OggS", 4) == 0) return Kind::Ogg;
  // An ID3 tag, or an MPEG audio frame's sync bits.
  if (n >= 3 && std::memcmp(head, "ID3", 3) == 0) return Kind::Mp3;
  if (n >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0) return Kind::Mp3;
  return Kind::Unknown;
}

}  // namespace

std::unique_ptr<StreamSource> OpenStreamSource(std::unique_ptr<SoundFile> file) {
  if (!file) return nullptr;
  switch (Sniff(*file)) {
    case Kind::Wav: {
      WavFormat format;
      if (!ParseWav(*file, format)) return nullptr;
      return std::make_unique<WavSource>(std::move(file), format);
    }
    case Kind::Ogg: return OggSource::Open(std::move(file));
    case Kind::Mp3: return Mp3Source::Open(std::move(file));
    case Kind::Unknown: break;
  }
  return nullptr;
}

std::unique_ptr<StreamSource> OpenModuleSource(const std::uint8_t* data, std::size_t size) {
  return ModuleSource::Open(data, size);
}

bool DecodeSoundFile(const std::vector<std::uint8_t>& bytes, DecodedSound& out) {
  MemoryFile file(bytes.data(), bytes.size());
  auto block = std::make_shared<SampleBlock>();
  int rate = 0;
  if (Sniff(file) == Kind::Wav) {
    // WAV samples stay as they are, 8-bit included.
    WavFormat format;
    if (!ParseWav(file, format)) return false;
    std::size_t frameBytes = static_cast<std::size_t>(format.channels * format.bits / 8);
    std::size_t size = format.dataSize - format.dataSize % frameBytes;
    if (size == 0) return false;
    const std::uint8_t* samples = bytes.data() + format.dataOffset;
    block->bytes.assign(samples, samples + size);
    if (format.key != 0)
      for (auto& b : block->bytes) b ^= format.key;
    block->channels = format.channels;
    block->bitsPerSample = format.bits;
    rate = format.rate;
  } else {
    std::unique_ptr<StreamSource> source = OpenStreamSource(MemorySoundFile(bytes.data(), bytes.size()));
    if (!source) return false;
    block->channels = source->Channels();
    block->bitsPerSample = 16;
    rate = source->Rate();
    std::vector<std::int16_t> piece(4096 * 2);
    const std::size_t frameBytes = static_cast<std::size_t>(block->frameBytes());
    for (;;) {
      int got = source->Read(piece.data(), 4096, false);
      if (got <= 0) break;
      std::size_t n = static_cast<std::size_t>(got) * frameBytes;
      if (block->bytes.size() + n > kMaxSampleBytes) break;
      const auto* p = reinterpret_cast<const std::uint8_t*>(piece.data());
      block->bytes.insert(block->bytes.end(), p, p + n);
    }
    if (block->bytes.empty()) return false;
  }
  out.block = std::move(block);
  out.rate = rate;
  return true;
}

}  // namespace plat
