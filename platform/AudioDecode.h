// Whole-file decoding for the stand-in music libraries: PCM WAV and Ogg Vorbis files become
// plain sample blocks for the mixer. Files are read through a replaceable reader, so the
// framework can let the libraries see into its pak archives before the disk.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioMixer.h"

namespace plat {

struct DecodedSound {
  std::shared_ptr<SampleBlock> block;
  int rate = 0;
};

// PCM WAV (8 or 16 bits, 1 or 2 channels); chunks are walked by their sizes, padded to even
// lengths as RIFF files are.
bool DecodeWav(const std::uint8_t* data, std::size_t size, DecodedSound& out);
// Ogg Vorbis, decoded whole to 16-bit samples.
bool DecodeOggVorbis(const std::uint8_t* data, std::size_t size, DecodedSound& out);
// Either of the above, chosen by the file's first bytes.
bool DecodeSoundFile(const std::vector<std::uint8_t>& bytes, DecodedSound& out);

// Reads a whole file by name. The default reads from the disk (names with '\' and any case).
using SoundFileReader = std::function<bool(const std::string& name, std::vector<std::uint8_t>& bytes)>;
void SetSoundFileReader(SoundFileReader reader);
bool ReadSoundFile(const std::string& name, std::vector<std::uint8_t>& bytes);

}  // namespace plat
