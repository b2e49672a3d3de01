// libFuzzer target: arbitrary bytes as a TGA file, read by the TGA reader.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckDecoded(ImageLib::GetTGAImage(ServeFromMemory("fuzz.tga", data, size)));
  return 0;
}
