// libFuzzer target: arbitrary bytes as a PNG file, read by the PNG reader.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckDecoded(ImageLib::GetPNGImage(ServeFromMemory("fuzz.png", data, size)));
  return 0;
}
