// The music interface: songs loaded under ids the caller chooses, played, paused, faded and
// levelled by id, with a per-update step that drives the fades. This base class is also the
// silent music of a program without sound; the back-ends derive from it.
#pragma once

#include <string>

namespace Orvo {

class MusicInterface {
 public:
  MusicInterface() = default;
  virtual ~MusicInterface() = default;
  virtual bool LoadMusic(int songId, const std::string& fileName) { return false; }
  virtual void PlayMusic(int songId, int offset = 0, bool noLoop = false) {}
  virtual void StopMusic(int songId) {}
  virtual void PauseMusic(int songId) {}
  virtual void ResumeMusic(int songId) {}
  virtual void StopAllMusic() {}
  virtual void UnloadMusic(int songId) {}
  virtual void UnloadAllMusic() {}
  virtual void PauseAllMusic() {}
  virtual void ResumeAllMusic() {}
  virtual void FadeIn(int songId, int offset = -1, double speed = 0.002, bool noLoop = false) {}
  virtual void FadeOut(int songId, bool stopWhenDone = true, double speed = 0.004) {}
  virtual void FadeOutAll(bool stopWhenDone = true, double speed = 0.004) {}
  virtual void SetSongVolume(int songId, double volume) {}
  virtual void SetSongMaxVolume(int songId, double maxVolume) {}
  virtual bool IsPlaying(int songId) { return false; }
  // The global music volume, 0..1.
  virtual void SetVolume(double volume) {}
  virtual void SetMusicAttribute(int songId, double value) {}
  // Called once per logic update.
  virtual void Update() {}
};

// One fade step of a song, as both back-ends take it on Update: the volume moves by the step
// and is held to 0..cap, where the fade ends. True when this step faded the song out to 0.
inline bool StepSongFade(double& volume, double& step, double cap) {
  volume += step;
  if (volume > cap) {
    volume = cap;
    step = 0.0;
  } else if (volume < 0.0) {
    volume = 0.0;
    step = 0.0;
    return true;
  }
  return false;
}

}  // namespace Orvo
