// libFuzzer target: arbitrary bytes as a WAV file and as an AU file, read into a sound id of
// a working sound manager.
#include "tests/fuzz/sound_manager_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = ServeFromMemory("fuzz.snd", data, size);
  soundfuzz::CheckAndRelease(soundfuzz::Manager().LoadWAVFile(1, path));
  soundfuzz::CheckAndRelease(soundfuzz::Manager().LoadAUFile(1, path));
  return 0;
}
