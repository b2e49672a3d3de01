// libFuzzer target: arbitrary bytes as a JPEG file, read by the JPEG reader.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckDecoded(ImageLib::GetJPEGImage(ServeFromMemory("fuzz.jpg", data, size)));
  return 0;
}
