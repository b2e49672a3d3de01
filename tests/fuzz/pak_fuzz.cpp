// libFuzzer target: arbitrary bytes as a pak archive held in memory (unscrambled first, so the
// fuzzer works on the format rather than the key). Every entry is read every way the layer
// offers, and no entry may reach past the end of the archive.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/resources/PakInterface.h"
#include "platform/Files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> scrambled(data, data + size);
  for (std::uint8_t& b : scrambled) b ^= Orvo::PAK_KEY;

  Orvo::PakInterface pak;
  pak.AddPakBuffer("fuzz.pak", scrambled.data(), scrambled.size());
  for (const auto& [key, entry] : pak.Entries()) {
    if (entry->start < 0 || entry->size < 0 ||
        static_cast<std::size_t>(entry->start) + static_cast<std::size_t>(entry->size) > size) {
      __builtin_trap();
    }
    // Stored names need not be names a request can reach, so the entry is opened directly.
    auto* h = new Orvo::PakHandle;
    h->entry = entry;
    char buf[64];
    while (pak.FRead(buf, 3, sizeof buf / 3, h) > 0) {
    }
    pak.FSeek(h, -5, SEEK_END);
    while (pak.FGetC(h) != -1) {
    }
    pak.FSeek(h, 0, SEEK_SET);
    while (pak.FGets(buf, sizeof buf, h) != nullptr) {
    }
    pak.UnGetC('x', h);
    pak.FClose(h);
  }
  plat::WIN32_FIND_DATA found;
  plat::HANDLE s = pak.FindFirstFile("*", &found);
  if (s != plat::INVALID_HANDLE_VALUE) {
    int guard = 0;
    while (pak.FindNextFile(s, &found) && ++guard < 100000) {
    }
    pak.FindClose(s);
  }
  return 0;
}
