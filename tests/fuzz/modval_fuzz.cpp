// The live-tuning re-parser on arbitrary source text: marked sites of every kind are
// registered on the first lines of the file and the file is re-parsed. Nothing may crash,
// hang or run past a buffer, whatever the text holds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/core/Tuning.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file = WriteScratchFile("modval.cpp", data, size);

  Orvo::ModValRegistry registry;
  registry.SetReporter([](const std::string&, const std::string&) {});
  registry.Register((file + "1,0").c_str(), Orvo::ModValRecord::From(1));
  registry.Register((file + "1,1").c_str(), Orvo::ModValRecord::From(2.5));
  registry.Register((file + "2,0").c_str(), Orvo::ModValRecord::From("text"));
  registry.Register((file + "3,0").c_str(), Orvo::ModValRecord::From(true));
  registry.ReparseAll();
  return 0;
}
