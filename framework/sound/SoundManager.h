// The sound-effect manager the application owns: sounds loaded into ids 0..255, instances
// to play them, the effects volume and the system master volume.
#pragma once

#include <string>

#include "platform/Messages.h"

namespace Orvo {

class SoundInstance;

class SoundManager {
 public:
  static constexpr int kMaxSounds = 256;

  virtual ~SoundManager() = default;
  virtual bool Initialized() = 0;
  virtual void SetVolume(double volume) = 0;
  virtual SoundInstance* GetSoundInstance(int id) = 0;
  virtual double GetMasterVolume() = 0;
  virtual void SetMasterVolume(double volume) = 0;
  virtual void SetCooperativeWindow(plat::HWND window, bool windowed) = 0;
  virtual void StopAllSounds() = 0;
  virtual int GetNumSounds() = 0;
  // The first free id from 0 to 255, or -1.
  virtual int GetFreeSoundId() = 0;
  virtual bool LoadSoundAt(int id, const std::string& fileName) = 0;
  virtual bool SetBaseVolume(int id, double volume) = 0;
  virtual bool SetBasePan(int id, int pan) = 0;
  virtual void ReleaseSound(int id) = 0;
};

}  // namespace Orvo
