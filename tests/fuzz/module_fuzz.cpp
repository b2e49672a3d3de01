// libFuzzer target: arbitrary bytes as a tracker module. A module that loads is rendered for a
// while, played once to its end or jumped to each of its first orders; nothing may crash, hang
// or read outside what it was given.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/AudioDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<plat::StreamSource> module = plat::OpenModuleSource(data, size);
  if (!module) return 0;
  if (module->Channels() != 2 || module->Length() == 0) __builtin_trap();
  std::vector<std::int16_t> out(4096 * 2);
  // At most a few seconds of the song, in pieces, with a jump between them.
  for (int piece = 0; piece < 32; ++piece) {
    int got = module->Read(out.data(), 4096, piece % 2 == 1);
    if (got < 0 || got > 4096) __builtin_trap();
    if (piece % 8 == 7) module->Seek(static_cast<std::uint64_t>(piece / 8) % module->Length());
  }
  return 0;
}
