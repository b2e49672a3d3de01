// A sound manager that loads and plays nothing, so the application can start and run
// before the real sound manager exists. It keeps the volumes it is given, so settings
// still round-trip. The sound issue replaces it with the real manager.
#pragma once

#include "framework/sound/SoundManager.h"

namespace Orvo {

class NullSoundManagerUntilSoundLands : public SoundManager {
 public:
  bool Initialized() override { return false; }
  void SetVolume(double volume) override { mVolume = volume; }
  SoundInstance* GetSoundInstance(int id) override { return nullptr; }
  double GetMasterVolume() override { return mMasterVolume; }
  void SetMasterVolume(double volume) override { mMasterVolume = volume; }
  void SetCooperativeWindow(plat::HWND window, bool windowed) override {}
  void StopAllSounds() override {}
  int GetNumSounds() override { return 0; }
  int GetFreeSoundId() override { return -1; }
  bool LoadSoundAt(int id, const std::string& fileName) override { return false; }
  bool SetBaseVolume(int id, double volume) override { return false; }
  bool SetBasePan(int id, int pan) override { return false; }
  void ReleaseSound(int id) override {}

  double mVolume = 1.0;
  double mMasterVolume = 1.0;
};

}  // namespace Orvo
