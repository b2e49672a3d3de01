// libFuzzer target: arbitrary bytes as a WAV file and as an AU file, read into a sound id of
// a working sound manager (the mixer pulled by hand, no device). A read either fails cleanly
// or fills a buffer exactly as large as the sample size it recorded.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/sound/DSoundManager.h"
#include "platform/AudioMixer.h"
#include "platform/DirectSound.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/Module.h"
#include "tests/fuzz/fuzz_support.h"

namespace plat {
// Only DirectSound is needed here, and no file may end the process or ask the user.
void RegisterBuiltinModules() { RegisterDirectSoundModule(); }
int MessageBoxA(HWND, const char*, const char*, UINT) { __builtin_trap(); }
[[noreturn]] void ExitProcess(UINT) { __builtin_trap(); }
}  // namespace plat

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Orvo::DSoundManager* manager = [] {
    plat::AudioMixer::Get().SetManualPull(true);
    return new Orvo::DSoundManager(reinterpret_cast<plat::HWND>(1), false);
  }();
  const std::string path = ServeFromMemory("fuzz.snd", data, size);

  for (int reader = 0; reader < 2; ++reader) {
    bool ok = reader == 0 ? manager->LoadWAVFile(1, path) : manager->LoadAUFile(1, path);
    plat::IDirectSoundBuffer* buffer = manager->GetSourceBuffer(1);
    if (ok) {
      void* p = nullptr;
      plat::DWORD n = 0;
      if (buffer == nullptr || buffer->Lock(0, manager->GetSampleSize(1), &p, &n, nullptr, nullptr, 0) != plat::DS_OK)
        __builtin_trap();
      buffer->Unlock(p, n, nullptr, 0);
    }
    manager->ReleaseSound(1);
    if (buffer != nullptr && !ok) manager->ReleaseSounds();  // a failed read may leave a buffer behind
  }
  return 0;
}
