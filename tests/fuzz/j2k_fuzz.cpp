// libFuzzer target: arbitrary bytes as a JPEG2000 file, read by the JPEG2000 reader.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool loaded = (ImageLib::InitJPEG2000(), true);
  (void)loaded;
  CheckDecoded(ImageLib::GetJPEG2000Image(ServeFromMemory("fuzz.j2k", data, size)));
  return 0;
}
