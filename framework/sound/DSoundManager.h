// The sound manager on DirectSound: 256 sound ids, each holding one loaded sound buffer, and
// 32 channels of instances that play copies of them. Without DirectSound (no window, no
// "dsound.dll", or creation failed) it stays silent: loads succeed and instances play nothing.
// Callers reach it from the main thread and from the timing thread; one lock guards it.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "framework/sound/SoundManager.h"
#include "platform/DirectSound.h"
#include "platform/Types.h"

namespace Orvo {

class DSoundInstance;

// The system's wave-out volume, 0..65535, through the first mixer device.
plat::DWORD ReadWaveOutVolume();
void WriteWaveOutVolume(plat::DWORD level);

class DSoundManager : public SoundManager {
 public:
  static constexpr int kMaxChannels = 32;
  // The byte the decoded-sound cache scrambles its samples with (the pak archives' key).
  static constexpr std::uint8_t kCacheKey = 0x6D;

  DSoundManager(plat::HWND window, bool useFMod);
  ~DSoundManager() override;

  bool Initialized() override;
  int LoadSound(const std::string& name) override;
  bool LoadSoundAt(int id, const std::string& name) override;
  void ReleaseSound(int id) override;
  void SetVolume(double volume) override;
  bool SetBaseVolume(int id, double volume) override;
  bool SetBasePan(int id, int pan) override;
  SoundInstance* GetSoundInstance(int id) override;
  void ReleaseSounds() override;
  void ReleaseChannels() override;
  double GetMasterVolume() override;
  void SetMasterVolume(double volume) override;
  void SetCooperativeWindow(plat::HWND window, bool windowed) override;
  void StopAllSounds() override;
  int GetFreeSoundId() override;
  int GetNumSounds() override;

  int FindFreeChannel();
  void ReleaseFinishedChannels();

  // Readers of one sound file into an id, and the writer of the decoded-sound cache.
  bool LoadWAVFile(int id, const std::string& path);
  bool LoadOGGFile(int id, const std::string& path);
  bool LoadAUFile(int id, const std::string& path);
  bool LoadFModSample(int id, const std::string& path);
  bool WriteCachedWAV(int id, const std::string& cachePath, const std::string& sourceName);
  // The last-write time of a file on disk; false and 0 when there is none.
  static bool GetFileWriteTime(const std::string& path, plat::FILETIME& time);

  plat::IDirectSound* GetDirectSound() const { return mDirectSound; }
  plat::IDirectSoundBuffer* GetSourceBuffer(int id) const;
  std::uint32_t GetSampleSize(int id) const;
  double GetVolume() const { return mVolume; }
  std::recursive_mutex& Mutex() { return mMutex; }

 private:
  static bool ValidId(int id) { return id >= 0 && id < kMaxSounds; }
  // A static secondary buffer for `size` bytes of PCM in the given format, into the id.
  bool CreateBuffer(int id, int channels, int samplesPerSec, int bitsPerSample, std::uint32_t size);

  std::recursive_mutex mMutex;
  std::array<plat::IDirectSoundBuffer*, kMaxSounds> mSourceSounds{};
  std::array<std::string, kMaxSounds> mSourceFileNames;
  plat::IDirectSoundBuffer* mPrimaryBuffer = nullptr;
  std::array<std::uint32_t, kMaxSounds> mSourceDataSizes{};
  std::array<double, kMaxSounds> mBaseVolumes;
  std::array<int, kMaxSounds> mBasePans{};
  std::array<SoundInstance*, kMaxChannels> mPlayingSounds{};
  double mVolume = 1.0;
  std::uint32_t mLastReleaseTick = 0;
  plat::IDirectSound* mDirectSound = nullptr;
  bool mUseFMod;
};

}  // namespace Orvo
