// libFuzzer target: arbitrary bytes as a GIF file, read by the GIF reader.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckDecoded(ImageLib::GetGIFImage(ServeFromMemory("fuzz.gif", data, size)));
  return 0;
}
