// What the sound manager's fuzz targets share: a working manager on the mixer pulled by hand
// (no device), and the check that a read either failed cleanly or filled a buffer exactly as
// large as the sample size it recorded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/sound/DSoundManager.h"
#include "platform/AudioMixer.h"
#include "platform/DirectSound.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Module.h"
#include "platform/Process.h"
#include "tests/fuzz/fuzz_support.h"

namespace plat {
// Only DirectSound is needed here, and no file may end the process or ask the user.
void RegisterBuiltinModules() { RegisterDirectSoundModule(); }
int MessageBoxA(HWND, const char*, const char*, UINT) { __builtin_trap(); }
[[noreturn]] void ExitProcess(UINT) { __builtin_trap(); }
}  // namespace plat

namespace soundfuzz {

inline Orvo::DSoundManager& Manager() {
  static Orvo::DSoundManager* manager = [] {
    plat::AudioMixer::Get().SetManualPull(true);
    return new Orvo::DSoundManager(reinterpret_cast<plat::HWND>(1), false);
  }();
  return *manager;
}

// Checks sound id 1 after a read that gave `ok`, then empties it.
inline void CheckAndRelease(bool ok) {
  Orvo::DSoundManager& manager = Manager();
  plat::IDirectSoundBuffer* buffer = manager.GetSourceBuffer(1);
  if (ok) {
    void* p = nullptr;
    plat::DWORD n = 0;
    if (buffer == nullptr || buffer->Lock(0, manager.GetSampleSize(1), &p, &n, nullptr, nullptr, 0) != plat::DS_OK)
      __builtin_trap();
    buffer->Unlock(p, n, nullptr, 0);
  }
  manager.ReleaseSound(1);
  if (buffer != nullptr && !ok) manager.ReleaseSounds();  // a failed read may leave a buffer behind
}

}  // namespace soundfuzz
