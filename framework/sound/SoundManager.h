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
  // The id `name` was loaded under before, else the highest free id loaded from the file;
  // -1 when no id is free or the file cannot be loaded.
  virtual int LoadSound(const std::string& name) = 0;
  virtual bool LoadSoundAt(int id, const std::string& fileName) = 0;
  virtual void ReleaseSound(int id) = 0;
  // The volume of all sound effects, 0..1.
  virtual void SetVolume(double volume) = 0;
  virtual bool SetBaseVolume(int id, double volume) = 0;
  virtual bool SetBasePan(int id, int pan) = 0;
  // A new instance of the sound of `id`, owned by the manager; null when none can be made.
  virtual SoundInstance* GetSoundInstance(int id) = 0;
  virtual void ReleaseSounds() = 0;
  virtual void ReleaseChannels() = 0;
  // The system's wave-out volume, 0..1.
  virtual double GetMasterVolume() = 0;
  virtual void SetMasterVolume(double volume) = 0;
  virtual void NoOperation() {}
  virtual void SetCooperativeWindow(plat::HWND window, bool windowed) = 0;
  virtual void StopAllSounds() = 0;
  // The first free id from 0 to 255, or -1.
  virtual int GetFreeSoundId() = 0;
  virtual int GetNumSounds() = 0;
};

}  // namespace Orvo
