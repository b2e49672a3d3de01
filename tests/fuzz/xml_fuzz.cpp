// libFuzzer target: arbitrary bytes as an XML manifest, read element by element to the end
// or the first error.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/resources/XmlReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Orvo::XmlReader reader;
  reader.OpenBuffer(std::string(reinterpret_cast<const char*>(data), size));
  reader.AllowComments(size > 0 && (data[0] & 1) != 0);
  Orvo::XmlElement element;
  std::size_t count = 0;
  while (reader.ReadElement(&element)) {
    // Each element takes at least one character, plus the end tags an empty tag adds.
    if (++count > 2 * size + 2) __builtin_trap();
  }
  return 0;
}
