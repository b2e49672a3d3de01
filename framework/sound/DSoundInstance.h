// A sound instance on DirectSound: a duplicate of the manager's buffer of the sound, so that
// copies share the samples, with its own volume, pan and frequency.
#pragma once

#include <cstdint>
#include <mutex>

#include "framework/sound/SoundInstance.h"
#include "platform/DirectSound.h"

namespace Orvo {

class DSoundManager;

// A volume factor 0..1 in hundredths of a decibel; below about 0.0431 it is silence (-10000).
std::int32_t VolumeToDSoundDB(double volume);

class DSoundInstance : public SoundInstance {
 public:
  // A null source buffer makes a silent instance whose operations do nothing.
  DSoundInstance(DSoundManager* manager, plat::IDirectSoundBuffer* sourceBuffer);
  ~DSoundInstance() override;

  void Release() override;
  void SetBaseVolume(double volume) override;
  void SetBasePan(int pan) override;
  void AdjustPitch(double semitones) override;
  void SetVolume(double volume) override;
  void SetPan(int pan) override;
  bool Play(bool looping, bool autoRelease) override;
  void Stop() override;
  bool IsPlaying() override;
  bool IsReleased() override;
  double GetVolume() override;

  void ApplyVolume();
  void ApplyPan();

  bool AutoRelease() const { return mAutoRelease; }
  void SetAutoRelease(bool autoRelease) { mAutoRelease = autoRelease; }

  // The duplicate this instance plays (null for a silent instance).
  plat::IDirectSoundBuffer* GetBuffer() const { return mBuffer; }

 private:
  std::unique_lock<std::recursive_mutex> Guard();

  DSoundManager* mManager;
  plat::IDirectSoundBuffer* mSourceBuffer;
  plat::IDirectSoundBuffer* mBuffer = nullptr;
  bool mAutoRelease = false;
  bool mHasPlayed = false;
  bool mReleased = false;
  int mBasePan = 0;
  double mBaseVolume = 1.0;
  int mPan = 0;
  double mVolume = 1.0;
  std::uint32_t mDefaultFrequency = 44100;
};

}  // namespace Orvo
