// One playing (or playable) copy of a loaded sound: its own volume, pan and pitch, played
// once or looped. Instances come from the sound manager, which also deletes them.
#pragma once

namespace Orvo {

class SoundInstance {
 public:
  virtual ~SoundInstance() = default;
  // Stops the sound and lets the manager delete the instance later.
  virtual void Release() = 0;
  virtual void SetBaseVolume(double volume) = 0;
  virtual void SetBasePan(int pan) = 0;
  // Plays `semitones` above (or below) the sound's own rate; calls do not add up.
  virtual void AdjustPitch(double semitones) = 0;
  virtual void SetVolume(double volume) = 0;
  virtual void SetPan(int pan) = 0;
  // With autoRelease the instance lets itself go once it has played to its end.
  virtual bool Play(bool looping, bool autoRelease) = 0;
  virtual void Stop() = 0;
  virtual bool IsPlaying() = 0;
  virtual bool IsReleased() = 0;
  virtual double GetVolume() = 0;
};

}  // namespace Orvo
