// Decoding for the stand-in music libraries: PCM WAV, Ogg Vorbis (Tremor), MP3 (libmpg123) and
// tracker modules (libxmp), either whole into sample blocks or piece by piece as stream
// sources for the mixer. Files are opened through a replaceable opener, so the framework can
// let the libraries see into its pak archives before the disk.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioMixer.h"

namespace plat {

// A file being read by a decoder: on disk, in a pak archive, or in memory.
class SoundFile {
 public:
  virtual ~SoundFile() = default;
  virtual std::size_t Read(void* buffer, std::size_t bytes) = 0;
  // As fseek; false when it fails.
  virtual bool Seek(std::int64_t offset, int origin) = 0;
  virtual std::int64_t Tell() = 0;
  // The size in bytes (the position is kept), or -1.
  std::int64_t Size();
};

// A file over bytes the caller keeps alive, or over bytes it owns.
std::unique_ptr<SoundFile> MemorySoundFile(const std::uint8_t* data, std::size_t size);
std::unique_ptr<SoundFile> MemorySoundFile(std::vector<std::uint8_t> bytes);

// Opens a file by name, or gives null. The default opens from the disk (names with '\' and
// any case).
using SoundFileOpener = std::function<std::unique_ptr<SoundFile>(const std::string& name)>;
void SetSoundFileOpener(SoundFileOpener opener);
std::unique_ptr<SoundFile> OpenSoundFile(const std::string& name);
bool ReadSoundFile(const std::string& name, std::vector<std::uint8_t>& bytes);

// ---- WAV ----

struct WavFormat {
  int channels = 1;
  int rate = 22050;
  int bits = 16;
  std::uint8_t key = 0;           // every sample byte is stored XORed with it
  std::int64_t dataOffset = 0;
  std::uint32_t dataSize = 0;
};
// Asked about each "dep " chunk (the name of the file it was made from and that file's time);
// false makes the file stale, and it is refused. Without one, the time must be the named
// file's last-write time on disk as a FILETIME (0 when it is not on disk).
using WavDependencyCheck = std::function<bool(const std::string& name, std::uint32_t low, std::uint32_t high)>;
// The one WAV reader's rules, shared by the sound manager and the music libraries: "RIFF",
// "WAVE", then chunks: "fmt " (PCM only; without it 16-bit mono 22050 Hz), "dep ", "xor ",
// "data". Chunks follow each other unpadded, as the sound cache writes them; after an odd-sized
// chunk the RIFF padding byte is skipped when only that leads to a chunk name. The format must
// be one a sound buffer takes (1 or 2 channels, 8 or 16 bits, 100..100000 Hz, 4 bytes to
// 256 MB) and the samples must all be in the file.
bool ParseWav(SoundFile& file, WavFormat& out, const WavDependencyCheck& dependency = nullptr);

// ---- Whole sounds ----

struct DecodedSound {
  std::shared_ptr<SampleBlock> block;
  int rate = 0;
};

// A WAV, Ogg Vorbis or MP3 file decoded whole, chosen by its first bytes.
bool DecodeSoundFile(const std::vector<std::uint8_t>& bytes, DecodedSound& out);

// ---- Stream sources ----

// WAV, Ogg Vorbis or MP3, chosen by the file's first bytes; null when the file is none of them
// or its header is broken.
std::unique_ptr<StreamSource> OpenStreamSource(std::unique_ptr<SoundFile> file);
// A tracker module (MOD, S3M, XM, IT and the other formats libxmp reads) rendered at 44100 Hz
// stereo; null when it does not load.
std::unique_ptr<StreamSource> OpenModuleSource(const std::uint8_t* data, std::size_t size);

}  // namespace plat
