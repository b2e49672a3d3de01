// The music interface. This base class is the do-nothing music of a program without sound;
// the music back-ends derive from it.
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
  virtual void StopAllMusic() {}
  virtual void UnloadMusic(int songId) {}
  virtual void UnloadAllMusic() {}
  virtual void PauseMusic(int songId) {}
  virtual void ResumeMusic(int songId) {}
  virtual void FadeIn(int songId, int offset = -1, double speed = 0.002, bool noLoop = false) {}
  virtual void FadeOut(int songId, bool stopSong = true, double speed = 0.004) {}
  virtual void FadeOutAll(bool stopSong = true, double speed = 0.004) {}
  virtual void SetSongVolume(int songId, double volume) {}
  virtual bool IsPlaying(int songId) { return false; }
  virtual void SetVolume(double volume) {}
  virtual void SetMusicAmplify(int songId, double amp) {}
  // Called once per logic update.
  virtual void Update() {}
};

}  // namespace Orvo
