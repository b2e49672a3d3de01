// Music through "fmod.dll": tracker modules, and songs held as whole decoded samples made
// from Ogg Vorbis files and kept as plain WAV files in the music cache ("cached/" under the
// per-user data folder). A sample song plays on the library channel numbered as its song id.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "framework/sound/MusicInterface.h"
#include "platform/FModDll.h"
#include "platform/Messages.h"

namespace Orvo {

struct FModMusicInfo {
  plat::FSOUND_SAMPLE* mHSample = nullptr;
  plat::FMUSIC_MODULE* mHMusic = nullptr;
  double mVolume = 0.0;
  double mVolumeAdd = 0.0;
  double mVolumeCap = 1.0;
  bool mStopOnFade = false;
  bool mRepeats = false;
};

class FModMusicInterface : public MusicInterface {
 public:
  explicit FModMusicInterface(plat::HWND window);
  ~FModMusicInterface() override;

  bool LoadMusic(int songId, const std::string& fileName) override;
  void PlayMusic(int songId, int offset = 0, bool noLoop = false) override;
  void StopMusic(int songId) override;
  void PauseMusic(int songId) override;
  void ResumeMusic(int songId) override;
  void StopAllMusic() override;
  void FadeIn(int songId, int offset = -1, double speed = 0.002, bool noLoop = false) override;
  void FadeOut(int songId, bool stopWhenDone = true, double speed = 0.004) override;
  void FadeOutAll(bool stopWhenDone = true, double speed = 0.004) override;
  void SetSongVolume(int songId, double volume) override;
  bool IsPlaying(int songId) override;
  void SetVolume(double volume) override;
  void Update() override;

  // One song from an intro followed by a loop part (both Ogg Vorbis, same format).
  virtual bool LoadSampleSong(int songId, const std::string& introName, const std::string& loopName, bool loop);
  virtual bool LoadCachedSample(int songId, const std::string& name, bool loop);

  // The decoded sample of name + ".ogg", from the music cache when it is there.
  plat::FSOUND_SAMPLE* CacheOggAsWav(const std::string& name);
  static std::string CachePath(const std::string& name);

 private:
  FModMusicInfo* Find(int songId);
  void ApplyVolume(int songId, const FModMusicInfo& info);
  void StopSong(int songId, FModMusicInfo& info);

  std::recursive_mutex mMutex;
  std::map<int, FModMusicInfo> mMusicMap;
  double mGlobalVolume = 1.0;
  int mModuleVolumeScale = 100;
  int mSampleVolumeScale = 100;
};

}  // namespace Orvo
