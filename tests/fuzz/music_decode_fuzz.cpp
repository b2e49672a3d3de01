// libFuzzer target: arbitrary bytes through the decoder every game sound passes through on the
// way into the music libraries (WAV, Ogg Vorbis or MP3, by the first bytes), and through the
// stream sources the same files play from when long. A decode either fails or gives whole
// frames of a usable format.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/AudioDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  plat::DecodedSound sound;
  if (plat::DecodeSoundFile(bytes, sound)) {
    const plat::SampleBlock& b = *sound.block;
    if ((b.channels != 1 && b.channels != 2) || (b.bitsPerSample != 8 && b.bitsPerSample != 16) ||
        b.bytes.empty() || b.bytes.size() % static_cast<std::size_t>(b.frameBytes()) != 0 || sound.rate < 100 ||
        sound.rate > 100000)
      __builtin_trap();
  }
  if (auto source = plat::OpenStreamSource(plat::MemorySoundFile(bytes.data(), bytes.size()))) {
    std::vector<std::int16_t> out(1024 * 2);
    for (int piece = 0; piece < 16 && source->Read(out.data(), 1024, false) > 0; ++piece) {
    }
  }
  return 0;
}
