// libFuzzer target: arbitrary bytes as an Ogg Vorbis file read by the sound manager's Ogg reader
// (Tremor through the pak-aware file calls) into a sound id.
#include "tests/fuzz/sound_manager_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  soundfuzz::CheckAndRelease(soundfuzz::Manager().LoadOGGFile(1, ServeFromMemory("fuzz.ogg", data, size)));
  return 0;
}
