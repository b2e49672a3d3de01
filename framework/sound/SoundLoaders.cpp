// Filling a sound id from a file: WAV (with the cache's "dep " and "xor " chunks), Ogg
// Vorbis, AU and, with the FMod library, MP3; and the decoded-sound cache, which keeps sounds
// decoded from other formats as scrambled WAV files under the per-user data folder.
#include <tremor/ivorbisfile.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "framework/core/Common.h"
#include "framework/resources/PakInterface.h"
#include "framework/sound/DSoundManager.h"
#include "framework/sound/MusicLibraries.h"
#include "framework/sound/PakSoundFile.h"
#include "platform/Files.h"

namespace Orvo {

namespace {

// Closes a pak file when it goes out of scope, unless released to a new owner.
struct PakFile {
  explicit PakFile(const std::string& path) : handle(PakOpen(path.c_str(), "rb")) {}
  ~PakFile() {
    if (handle != nullptr) PakClose(handle);
  }
  PakFile(const PakFile&) = delete;
  PakFile& operator=(const PakFile&) = delete;
  PakHandle* Release() {
    PakHandle* h = handle;
    handle = nullptr;
    return h;
  }
  bool Read(void* buffer, std::size_t bytes) { return PakRead(buffer, 1, bytes, handle) == bytes; }
  bool ReadU32(std::uint32_t& v) {
    std::uint8_t b[4];
    if (!Read(b, 4)) return false;
    v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    return true;
  }
  bool ReadU16(std::uint16_t& v) {
    std::uint8_t b[2];
    if (!Read(b, 2)) return false;
    v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    return true;
  }
  bool ReadBigU32(std::uint32_t& v) {
    std::uint8_t b[4];
    if (!Read(b, 4)) return false;
    v = (static_cast<std::uint32_t>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    return true;
  }
  PakHandle* handle;
};

// Locks a whole buffer for writing or reading, and unlocks it when done.
struct BufferLock {
  explicit BufferLock(plat::IDirectSoundBuffer* b, std::uint32_t size) : buffer(b) {
    ok = buffer != nullptr && buffer->Lock(0, size, &data, &bytes, nullptr, nullptr, 0) == plat::DS_OK;
  }
  bool Unlock() {
    if (!ok) return false;
    ok = false;
    return buffer->Unlock(data, bytes, nullptr, 0) == plat::DS_OK;
  }
  ~BufferLock() { Unlock(); }
  BufferLock(const BufferLock&) = delete;
  BufferLock& operator=(const BufferLock&) = delete;
  plat::IDirectSoundBuffer* buffer;
  void* data = nullptr;
  plat::DWORD bytes = 0;
  bool ok = false;
};

size_t OggRead(void* ptr, size_t size, size_t count, void* source) {
  return PakRead(ptr, size, count, static_cast<PakHandle*>(source));
}
int OggSeek(void* source, ogg_int64_t offset, int origin) {
  if (source == nullptr) return -1;
  return PakSeek(static_cast<PakHandle*>(source), static_cast<std::int32_t>(offset), origin);
}
int OggClose(void* source) { return PakClose(static_cast<PakHandle*>(source)); }
long OggTell(void* source) { return PakTell(static_cast<PakHandle*>(source)); }

int OpenOggCallbacks(PakHandle* file, OggVorbis_File* state) {
  ov_callbacks callbacks{OggRead, OggSeek, OggClose, OggTell};
  return ov_open_callbacks(file, state, nullptr, 0, callbacks);
}

// The 16-bit sample of one 8-bit mu-law byte.
std::int16_t MuLawSample(std::uint8_t c) {
  int u = c | 0x80;
  int m;
  if (u >= 0xF0) m = 0x1FE - u * 2;
  else if (u >= 0xE0) m = 0x3DC - u * 4;
  else if (u >= 0xD0) m = 0x758 - u * 8;
  else if (u >= 0xC0) m = 0xDD0 - u * 16;
  else if (u >= 0xB0) m = 0x19C0 - u * 32;
  else if (u >= 0xA0) m = 0x2FA0 - u * 64;
  else if (u >= 0x90) m = 0x5760 - u * 128;
  else if (u >= 0x81) m = 0x9EE0 - u * 256;
  else m = 255;
  int s = c >= 0x80 ? 1 : -1;
  return static_cast<std::int16_t>(m * s * 4);
}

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}
void PutTag(std::vector<std::uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

}  // namespace

bool DSoundManager::GetFileWriteTime(const std::string& path, plat::FILETIME& time) {
  time = plat::FILETIME{};
  std::error_code ec;
  std::filesystem::path file(plat::ResolveFileName(path));
  if (path.empty() || !std::filesystem::is_regular_file(file, ec)) return false;
  auto written = std::filesystem::last_write_time(file, ec);
  if (ec) return false;
  auto since1970 = std::chrono::file_clock::to_sys(written).time_since_epoch();
  auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since1970).count() / 100 +
               11644473600LL * 10000000LL;
  time.dwLowDateTime = static_cast<plat::DWORD>(static_cast<std::uint64_t>(ticks));
  time.dwHighDateTime = static_cast<plat::DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
  return true;
}

bool DSoundManager::CreateBuffer(int id, int channels, int samplesPerSec, int bitsPerSample, std::uint32_t size) {
  auto i = static_cast<std::size_t>(id);
  if (mSourceSounds[i] != nullptr) {
    mSourceSounds[i]->Release();
    mSourceSounds[i] = nullptr;
  }
  plat::WAVEFORMATEX format;
  format.wFormatTag = plat::WAVE_FORMAT_PCM;
  format.nChannels = static_cast<plat::WORD>(channels);
  format.nSamplesPerSec = static_cast<plat::DWORD>(samplesPerSec);
  format.wBitsPerSample = static_cast<plat::WORD>(bitsPerSample);
  format.nBlockAlign = static_cast<plat::WORD>(channels * bitsPerSample / 8);
  format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
  format.cbSize = 0;
  plat::DSBUFFERDESC desc;
  desc.dwSize = 20;
  desc.dwFlags = 0x80EA;
  desc.dwBufferBytes = size;
  desc.lpwfxFormat = &format;
  if (mDirectSound->CreateSoundBuffer(&desc, &mSourceSounds[i], nullptr) != plat::DS_OK) {
    mSourceSounds[i] = nullptr;
    return false;
  }
  return true;
}

bool DSoundManager::LoadSoundAt(int id, const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  if (!ValidId(id)) return false;
  ReleaseSound(id);
  if (mDirectSound == nullptr) return true;
  mSourceFileNames[static_cast<std::size_t>(id)] = name;

  // A reader that fails leaves no half-filled buffer behind for the next one.
  auto attempt = [&](bool loaded) {
    if (!loaded) {
      auto& buffer = mSourceSounds[static_cast<std::size_t>(id)];
      if (buffer != nullptr) buffer->Release();
      buffer = nullptr;
    }
    return loaded;
  };

  std::string cachePath;
  if (name.size() > 2 && name[0] != '\\' && name[0] != '/' && name[1] != ':') {
    cachePath = GetAppDataFolder() + name;
    if (attempt(LoadWAVFile(id, cachePath))) return true;
    MakeDirs(GetFileDir(cachePath, false));
  }
  if (attempt(LoadWAVFile(id, name + ".wav"))) return true;
  if (mUseFMod && attempt(LoadFModSample(id, name + ".mp3"))) {
    WriteCachedWAV(id, cachePath, name + ".mp3");
    return true;
  }
  for (const char* extension : {".ogg", ".au"}) {
    bool loaded = extension[1] == 'o' ? LoadOGGFile(id, name + extension) : LoadAUFile(id, name + extension);
    if (attempt(loaded)) {
      WriteCachedWAV(id, cachePath, name + extension);
      return true;
    }
  }
  return false;
}

// The WAV rules are the platform's, which the music libraries read by too, so both accept and
// refuse the same files; a "dep " chunk here also checks that the cache is not stale.
bool DSoundManager::LoadWAVFile(int id, const std::string& path) {
  PakHandle* handle = PakOpen(path.c_str(), "rb");
  if (handle == nullptr) return false;
  PakSoundFile file(handle);
  plat::WavFormat format;
  auto current = [](const std::string& source, std::uint32_t low, std::uint32_t high) {
    plat::FILETIME now;
    GetFileWriteTime(source, now);
    return now.dwLowDateTime == low && now.dwHighDateTime == high;
  };
  if (!plat::ParseWav(file, format, current)) return false;
  mSourceDataSizes[static_cast<std::size_t>(id)] = format.dataSize;
  if (!CreateBuffer(id, format.channels, format.rate, format.bits, format.dataSize)) return false;
  BufferLock lock(mSourceSounds[static_cast<std::size_t>(id)], format.dataSize);
  if (!lock.ok) return false;
  std::size_t got = file.Read(lock.data, format.dataSize);
  auto* bytes = static_cast<std::uint8_t*>(lock.data);
  for (std::size_t i = 0; i < got; ++i) bytes[i] ^= format.key;
  return lock.Unlock() && got == format.dataSize;
}

bool DSoundManager::LoadOGGFile(int id, const std::string& path) {
  PakFile file(path);
  if (file.handle == nullptr) return false;
  OggVorbis_File state;
  if (OpenOggCallbacks(file.handle, &state) < 0) return false;  // the file is still ours to close
  file.Release();  // the decoder owns it now
  struct Clear {
    OggVorbis_File* s;
    ~Clear() { ov_clear(s); }
  } clear{&state};

  vorbis_info* info = ov_info(&state, -1);
  if (info == nullptr) return false;
  int channels = info->channels;
  int rate = static_cast<int>(info->rate);
  ogg_int64_t frames = ov_pcm_total(&state, -1);
  std::int64_t size = frames * channels * 2;
  if (frames <= 0 || channels <= 0 || size > plat::DSBSIZE_MAX) return false;
  auto sampleSize = static_cast<std::uint32_t>(size);
  mSourceDataSizes[static_cast<std::size_t>(id)] = sampleSize;
  if (!CreateBuffer(id, channels, rate, 16, sampleSize)) return false;
  BufferLock lock(mSourceSounds[static_cast<std::size_t>(id)], sampleSize);
  if (!lock.ok) return false;
  auto* out = static_cast<char*>(lock.data);
  std::uint32_t remaining = sampleSize;
  int section = 0;
  while (remaining > 0) {
    long got = ov_read(&state, out, static_cast<int>(std::min<std::uint32_t>(remaining, 1u << 20)), &section);
    if (got <= 0) break;
    out += got;
    remaining -= static_cast<std::uint32_t>(got);
  }
  return lock.Unlock() && remaining == 0;
}

bool DSoundManager::LoadAUFile(int id, const std::string& path) {
  PakFile file(path);
  if (file.handle == nullptr) return false;
  char magic[4];
  if (!file.Read(magic, 4) || std::memcmp(magic, ".snd", 4) != 0) return false;
  std::uint32_t offset, dataSize, encoding, rate, channels;
  if (!file.ReadBigU32(offset) || !file.ReadBigU32(dataSize) || !file.ReadBigU32(encoding) || !file.ReadBigU32(rate) ||
      !file.ReadBigU32(channels))
    return false;
  int bits;
  if (encoding == 1) bits = 16;
  else if (encoding == 2) bits = 8;
  else return false;
  // A header that promises more samples than the file holds is refused before any buffer is
  // made, so its size cannot wrap or outgrow what is read.
  if (PakSeek(file.handle, 0, SEEK_END) != 0) return false;
  std::int64_t fileSize = PakTell(file.handle);
  if (offset > INT32_MAX || offset > fileSize || dataSize > fileSize - offset) return false;
  if (PakSeek(file.handle, static_cast<std::int32_t>(offset), SEEK_SET) != 0) return false;
  std::uint64_t sampleSize = static_cast<std::uint64_t>(bits) * dataSize / 8;
  if (channels > 2 || rate > 100000 || sampleSize > plat::DSBSIZE_MAX) return false;
  mSourceDataSizes[static_cast<std::size_t>(id)] = static_cast<std::uint32_t>(sampleSize);
  if (!CreateBuffer(id, static_cast<int>(channels), static_cast<int>(rate), bits, static_cast<std::uint32_t>(sampleSize)))
    return false;
  BufferLock lock(mSourceSounds[static_cast<std::size_t>(id)], static_cast<std::uint32_t>(sampleSize));
  if (!lock.ok) return false;
  std::vector<std::uint8_t> block(dataSize);
  std::size_t got = PakRead(block.data(), 1, dataSize, file.handle);
  if (encoding == 2) {
    // AU's 8-bit samples are signed; the buffer's 8-bit samples are unsigned.
    auto* out = static_cast<std::uint8_t*>(lock.data);
    for (std::size_t i = 0; i < got; ++i) out[i] = static_cast<std::uint8_t>(block[i] ^ 0x80);
  } else {
    auto* out = static_cast<std::uint8_t*>(lock.data);
    for (std::size_t i = 0; i < got; ++i) {
      auto s = static_cast<std::uint16_t>(MuLawSample(block[i]));
      out[2 * i] = static_cast<std::uint8_t>(s);
      out[2 * i + 1] = static_cast<std::uint8_t>(s >> 8);
    }
  }
  return lock.Unlock() && got == dataSize;
}

bool DSoundManager::LoadFModSample(int id, const std::string& path) {
  if (!mUseFMod || gFModInstance == nullptr) return false;
  FMOD_INSTANCE& fmod = *gFModInstance;
  plat::FSOUND_SAMPLE* sample = fmod.FSOUND_Sample_Load(-1, path.c_str(), 0, 0);
  if (sample == nullptr) return false;
  plat::DWORD mode = fmod.FSOUND_Sample_GetMode(sample);
  int frequency = 0;
  fmod.FSOUND_Sample_GetDefaults(sample, &frequency, nullptr, nullptr, nullptr);
  int channels = (mode & plat::FSOUND_MONO) ? 1 : 2;
  int bits = (mode & plat::FSOUND_8BITS) ? 8 : 16;
  std::uint64_t size = static_cast<std::uint64_t>(fmod.FSOUND_Sample_GetLength(sample)) * (channels * bits / 8);
  if (size > plat::DSBSIZE_MAX || !CreateBuffer(id, channels, frequency, bits, static_cast<std::uint32_t>(size))) {
    fmod.FSOUND_Sample_Free(sample);
    return false;
  }
  auto sampleSize = static_cast<std::uint32_t>(size);
  mSourceDataSizes[static_cast<std::size_t>(id)] = sampleSize;
  {
    BufferLock lock(mSourceSounds[static_cast<std::size_t>(id)], sampleSize);
    if (lock.ok) {
      void *p1 = nullptr, *p2 = nullptr;
      plat::DWORD l1 = 0, l2 = 0;
      if (fmod.FSOUND_Sample_Lock(sample, 0, static_cast<int>(sampleSize), &p1, &p2, &l1, &l2)) {
        std::memcpy(lock.data, p1, std::min<plat::DWORD>(l1, sampleSize));
        fmod.FSOUND_Sample_Unlock(sample, p1, p2, l1, l2);
      }
    }
  }
  fmod.FSOUND_Sample_Free(sample);
  return true;
}

bool DSoundManager::WriteCachedWAV(int id, const std::string& cachePath, const std::string& sourceName) {
  std::lock_guard<std::recursive_mutex> guard(mMutex);
  if (cachePath.empty() || !ValidId(id)) return false;
  plat::IDirectSoundBuffer* buffer = mSourceSounds[static_cast<std::size_t>(id)];
  std::uint32_t size = mSourceDataSizes[static_cast<std::size_t>(id)];
  BufferLock lock(buffer, size);
  if (!lock.ok) return false;

  plat::DWORD formatSize = 0;
  buffer->GetFormat(nullptr, 0, &formatSize);
  plat::WAVEFORMATEX format;
  if (buffer->GetFormat(&format, formatSize, nullptr) != plat::DS_OK) return false;
  plat::FILETIME sourceTime;
  GetFileWriteTime(sourceName, sourceTime);

  const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(sourceName.size(), 0xFFFF));
  std::vector<std::uint8_t> header;
  PutTag(header, "RIFF");
  PutLe32(header, size + 36);
  PutTag(header, "WAVE");
  PutTag(header, "fmt ");
  PutLe32(header, 16);
  PutLe16(header, 1);
  PutLe16(header, format.nChannels);
  PutLe32(header, format.nSamplesPerSec);
  std::uint32_t blockAlign = format.nChannels * format.wBitsPerSample / 8u;
  PutLe32(header, blockAlign * format.nSamplesPerSec);
  PutLe16(header, blockAlign);
  PutLe16(header, format.wBitsPerSample);
  PutTag(header, "dep ");
  PutLe32(header, n + 10);
  PutLe16(header, n);
  header.insert(header.end(), sourceName.begin(), sourceName.begin() + n);
  PutLe32(header, sourceTime.dwLowDateTime);
  PutLe32(header, sourceTime.dwHighDateTime);
  PutTag(header, "xor ");
  PutLe32(header, 1);
  header.push_back(kCacheKey);
  PutTag(header, "data");
  PutLe32(header, size);

  // Written beside the cache file and renamed over it, so a crash never leaves half a file.
  // The samples are scrambled in a copy: the buffer keeps plain samples throughout.
  const auto* samples = static_cast<const std::uint8_t*>(lock.data);
  std::vector<std::uint8_t> scrambled(samples, samples + size);
  for (auto& b : scrambled) b ^= kCacheKey;
  if (!Orvo::WriteFileAtomically(plat::ResolveFileName(cachePath),
                                 {{header.data(), header.size()}, {scrambled.data(), scrambled.size()}}))
    return false;
  return lock.Unlock();
}

}  // namespace Orvo
