// libFuzzer target: arbitrary bytes through the MP3 path of the music libraries (libmpg123 over
// a file in memory): opened as a stream, decoded in pieces with a seek back to the start, and
// decoded whole as the samples of the sound loaders are.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/AudioDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The sync bits that make the reader take the bytes for MP3, unless they are there already.
  std::vector<std::uint8_t> bytes;
  if (size < 2 || data[0] != 0xFF || (data[1] & 0xE0) != 0xE0) bytes = {0xFF, 0xF3};
  bytes.insert(bytes.end(), data, data + size);
  if (auto source = plat::OpenStreamSource(plat::MemorySoundFile(bytes.data(), bytes.size()))) {
    if (source->Channels() < 1 || source->Channels() > 2) __builtin_trap();
    std::vector<std::int16_t> out(2048 * 2);
    std::size_t frames = 0;
    for (int piece = 0; piece < 64; ++piece) {
      int got = source->Read(out.data(), 2048, false);
      if (got < 0 || got > 2048) __builtin_trap();
      if (got == 0) break;
      frames += static_cast<std::size_t>(got);
      if (piece == 3) source->Seek(0);
    }
  }
  plat::DecodedSound sound;
  if (plat::DecodeSoundFile(bytes, sound) && (sound.block->bytes.empty() || sound.rate < 100)) __builtin_trap();
  return 0;
}
