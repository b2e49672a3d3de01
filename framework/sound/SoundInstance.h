// One playing (or playable) copy of a loaded sound.
#pragma once

namespace Orvo {

class SoundInstance {
 public:
  virtual ~SoundInstance() = default;
  virtual void Release() = 0;
  virtual void SetVolume(double volume) = 0;
  virtual void SetPan(int pan) = 0;
  virtual bool Play(bool looping, bool autoRelease) = 0;
  virtual void Stop() = 0;
  virtual bool IsPlaying() = 0;
};

}  // namespace Orvo
