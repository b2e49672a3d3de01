// Music through "bass.dll": streamed files (WAV, Ogg Vorbis, MP3) and tracker modules under
// song ids, with fades driven by Update. Calls come from the main thread and the timing
// thread; one lock guards the song table.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "framework/sound/MusicInterface.h"
#include "platform/Messages.h"

namespace Orvo {

struct BassMusicInfo {
  std::uint32_t mHMusic = 0;   // module handle; 0 for a stream
  std::uint32_t mHStream = 0;  // stream handle; 0 for a module
  double mVolume = 0.0;
  double mVolumeAdd = 0.0;     // fade step per Update; 0 means not fading
  double mVolumeCap = 1.0;
  bool mStopOnFade = false;

  std::uint32_t GetHandle() const { return mHMusic != 0 ? mHMusic : mHStream; }
};

class BassMusicInterface : public MusicInterface {
 public:
  explicit BassMusicInterface(plat::HWND window);
  ~BassMusicInterface() override;

  bool LoadMusic(int songId, const std::string& fileName) override;
  void PlayMusic(int songId, int offset = 0, bool noLoop = false) override;
  void StopMusic(int songId) override;
  void PauseMusic(int songId) override;
  void ResumeMusic(int songId) override;
  void StopAllMusic() override;
  void UnloadMusic(int songId) override;
  void UnloadAllMusic() override;
  void PauseAllMusic() override;
  void ResumeAllMusic() override;
  void FadeIn(int songId, int offset = -1, double speed = 0.002, bool noLoop = false) override;
  void FadeOut(int songId, bool stopWhenDone = true, double speed = 0.004) override;
  void FadeOutAll(bool stopWhenDone = true, double speed = 0.004) override;
  void SetSongVolume(int songId, double volume) override;
  void SetSongMaxVolume(int songId, double maxVolume) override;
  bool IsPlaying(int songId) override;
  void SetVolume(double volume) override;
  void SetMusicAttribute(int songId, double value) override;
  void Update() override;

  // Test access: the song of an id, or null.
  const BassMusicInfo* FindSong(int songId);

 private:
  BassMusicInfo* Find(int songId);
  void ApplyVolume(const BassMusicInfo& info);
  void PlayModuleFromOrder(std::uint32_t module, int offset, bool noLoop, std::uint32_t extraFlags);
  void PlayStream(std::uint32_t stream, int offset, bool noLoop);
  void FreeSong(const BassMusicInfo& info);

  std::recursive_mutex mMutex;
  std::map<int, BassMusicInfo> mMusicMap;
  int mMaxVolume = 40;
  std::uint32_t mMusicLoadFlags = 4;
};

// Lets the music libraries read files through the pak archives before the disk.
void InstallPakSoundFileReader();

}  // namespace Orvo
