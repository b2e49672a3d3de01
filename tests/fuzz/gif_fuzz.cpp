// libFuzzer target: arbitrary bytes as a GIF file, read by the GIF reader.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/image_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckDecoded(ImageLib::GetGIFImage(WriteFuzzInput(data, size, ".gif")));
  return 0;
}
