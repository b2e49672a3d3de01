// The Bass music back-end.
#include "framework/sound/BassMusicInterface.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/core/Common.h"
#include "framework/resources/PakInterface.h"
#include "framework/sound/DSoundManager.h"
#include "framework/sound/MusicLibraries.h"
#include "framework/sound/PakSoundFile.h"
#include "framework/sound/SoundMath.h"
#include "platform/AudioDecode.h"

namespace Orvo {

void InstallPakSoundFileReader() {
  plat::SetSoundFileOpener([](const std::string& name) -> std::unique_ptr<plat::SoundFile> {
    PakHandle* file = PakOpen(name.c_str(), "rb");
    if (file == nullptr) return nullptr;
    return std::make_unique<PakSoundFile>(file);
  });
}

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;
}

BassMusicInterface::BassMusicInterface(plat::HWND window) {
  InstallPakSoundFileReader();
  LoadBassLibrary();
  BASS_INSTANCE& bass = *gBassInstance;
  // Starting the library must not change the user's system volume: keep it and put it back.
  plat::DWORD savedVolume = ReadWaveOutVolume();
  if (bass.mVersion2) {
    bass.BASS_Init2(1, 44100, 0, window, nullptr);
    bass.BASS_SetConfig(0, 2000);
  } else {
    bass.BASS_Init(-1, 44100, 0, window);
  }
  WriteWaveOutVolume(savedVolume);
  bass.BASS_Start();
  mMaxVolume = 40;
  mMusicLoadFlags = bass.mVersion2 ? 0x204 : 4;
}

BassMusicInterface::~BassMusicInterface() {
  gBassInstance->BASS_Stop();
  gBassInstance->BASS_Free();
  FreeBassLibrary();
  mMusicMap.clear();
}

BassMusicInfo* BassMusicInterface::Find(int songId) {
  auto it = mMusicMap.find(songId);
  return it == mMusicMap.end() ? nullptr : &it->second;
}

const BassMusicInfo* BassMusicInterface::FindSong(int songId) {
  Guard lock(mMutex);
  return Find(songId);
}

void BassMusicInterface::ApplyVolume(const BassMusicInfo& info) {
  // Volumes the library cannot take (below 0, above 1, NaN) are held to its 0..100.
  gBassInstance->BASS_ChannelSetAttributes(info.GetHandle(), -1,
                                           static_cast<int>(TruncateInRange(info.mVolume * 100, 0, 100, 0)), -101);
}

bool BassMusicInterface::LoadMusic(int songId, const std::string& fileName) {
  // The library opens and decodes without the song table's lock, so that other threads'
  // calls (IsPlaying from the timing thread) never wait on a file.
  BASS_INSTANCE& bass = *gBassInstance;
  std::string extension;
  if (auto dot = fileName.rfind('.'); dot != std::string::npos) extension = ToLowerCopy(fileName.substr(dot + 1));

  BassMusicInfo info;
  if (extension == "wav" || extension == "ogg" || extension == "mp3") {
    info.mHStream = bass.BASS_StreamCreateFile(0, fileName.c_str(), 0, 0, 0);
  } else {
    // A module must exist before the library is asked for it.
    PakHandle* file = PakOpen(fileName.c_str(), "rb");
    if (file == nullptr) return false;
    PakClose(file);
    info.mHMusic = bass.mVersion2 ? bass.BASS_MusicLoad2(0, fileName.c_str(), 0, 0, 0x204, 0)
                                  : bass.BASS_MusicLoad(0, fileName.c_str(), 0, 0, 4);
  }
  if (info.GetHandle() == 0) return false;
  Guard lock(mMutex);
  // An id that already holds a song keeps it; the handle just made is given back.
  if (!mMusicMap.emplace(songId, info).second) FreeSong(info);
  return true;
}

void BassMusicInterface::FreeSong(const BassMusicInfo& info) {
  if (info.mHStream != 0) gBassInstance->BASS_StreamFree(info.mHStream);
  else gBassInstance->BASS_MusicFree(info.mHMusic);
}

void BassMusicInterface::PlayModuleFromOrder(std::uint32_t module, int offset, bool noLoop, std::uint32_t extraFlags) {
  BASS_INSTANCE& bass = *gBassInstance;
  bass.BASS_ChannelStop(module);
  std::uint64_t position = (0xFFFFFFFFull << 32) | ((static_cast<std::uint32_t>(offset) & 0xFFFF) | 0x80000000u);
  bass.BASS_ChannelSetPosition(module, position);
  std::uint32_t flags = noLoop ? 0 : 4;
  if (bass.mVersion2) flags |= extraFlags;
  bass.BASS_ChannelSetFlags(module, flags);
  bass.BASS_ChannelPlay(module, 0);
}

void BassMusicInterface::PlayStream(std::uint32_t stream, int offset, bool noLoop) {
  BASS_INSTANCE& bass = *gBassInstance;
  bass.BASS_ChannelSetFlags(stream, noLoop ? 0 : 4);
  bass.BASS_ChannelPlay(stream, offset != -1 ? 1 : 0);
  if (offset > 0) bass.BASS_ChannelSetPosition(stream, static_cast<std::uint64_t>(offset));
}

void BassMusicInterface::PlayMusic(int songId, int offset, bool noLoop) {
  Guard lock(mMutex);
  BassMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  info->mVolume = info->mVolumeCap;
  info->mVolumeAdd = 0.0;
  info->mStopOnFade = noLoop;
  ApplyVolume(*info);
  gBassInstance->BASS_ChannelStop(info->GetHandle());
  if (info->mHMusic != 0) PlayModuleFromOrder(info->mHMusic, offset, noLoop, 0x8200);
  else PlayStream(info->mHStream, offset, noLoop);
}

void BassMusicInterface::FadeIn(int songId, int offset, double speed, bool noLoop) {
  Guard lock(mMutex);
  BassMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  info->mVolumeAdd = speed;
  info->mStopOnFade = noLoop;
  gBassInstance->BASS_ChannelStop(info->GetHandle());
  ApplyVolume(*info);
  if (info->mHMusic != 0) {
    if (offset == -1) gBassInstance->BASS_ChannelPlay(info->mHMusic, 1);
    else PlayModuleFromOrder(info->mHMusic, offset, noLoop, 0x200);
  } else {
    PlayStream(info->mHStream, offset, noLoop);
  }
}

void BassMusicInterface::FadeOut(int songId, bool stopWhenDone, double speed) {
  Guard lock(mMutex);
  BassMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  if (info->mVolume != 0.0) info->mVolumeAdd = -speed;
  info->mStopOnFade = stopWhenDone;
}

void BassMusicInterface::FadeOutAll(bool stopWhenDone, double speed) {
  Guard lock(mMutex);
  for (auto& [id, info] : mMusicMap) {
    info.mVolumeAdd = -speed;
    info.mStopOnFade = stopWhenDone;
  }
}

void BassMusicInterface::Update() {
  Guard lock(mMutex);
  for (auto& [id, info] : mMusicMap) {
    if (info.mVolumeAdd == 0.0) continue;
    if (StepSongFade(info.mVolume, info.mVolumeAdd, info.mVolumeCap) && info.mStopOnFade) gBassInstance->BASS_ChannelStop(info.GetHandle());
    ApplyVolume(info);
  }
}

void BassMusicInterface::StopMusic(int songId) {
  Guard lock(mMutex);
  BassMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  info->mVolume = 0.0;
  gBassInstance->BASS_ChannelStop(info->GetHandle());
}

void BassMusicInterface::PauseMusic(int songId) {
  Guard lock(mMutex);
  if (BassMusicInfo* info = Find(songId)) gBassInstance->BASS_ChannelPause(info->GetHandle());
}

void BassMusicInterface::ResumeMusic(int songId) {
  Guard lock(mMutex);
  if (BassMusicInfo* info = Find(songId)) gBassInstance->BASS_ChannelPlay(info->GetHandle(), 0);
}

void BassMusicInterface::StopAllMusic() {
  Guard lock(mMutex);
  for (auto& [id, info] : mMusicMap) {
    info.mVolume = 0.0;
    gBassInstance->BASS_ChannelStop(info.GetHandle());
  }
}

void BassMusicInterface::UnloadMusic(int songId) {
  Guard lock(mMutex);
  BassMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  StopMusic(songId);
  FreeSong(*info);
  mMusicMap.erase(songId);
}

void BassMusicInterface::UnloadAllMusic() {
  Guard lock(mMutex);
  StopAllMusic();
  for (auto& [id, info] : mMusicMap) FreeSong(info);
  mMusicMap.clear();
}

void BassMusicInterface::PauseAllMusic() {
  Guard lock(mMutex);
  for (auto& [id, info] : mMusicMap)
    if (gBassInstance->BASS_ChannelIsActive(info.GetHandle()) == plat::BASS_ACTIVE_PLAYING)
      gBassInstance->BASS_ChannelPause(info.GetHandle());
}

void BassMusicInterface::ResumeAllMusic() {
  Guard lock(mMutex);
  for (auto& [id, info] : mMusicMap)
    if (gBassInstance->BASS_ChannelIsActive(info.GetHandle()) == plat::BASS_ACTIVE_PAUSED)
      gBassInstance->BASS_ChannelPlay(info.GetHandle(), 0);
}

void BassMusicInterface::SetSongVolume(int songId, double volume) {
  Guard lock(mMutex);
  BassMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  info->mVolume = volume;
  ApplyVolume(*info);
}

void BassMusicInterface::SetSongMaxVolume(int songId, double maxVolume) {
  Guard lock(mMutex);
  BassMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  info->mVolumeCap = maxVolume;
  info->mVolume = std::min(info->mVolume, maxVolume);
  ApplyVolume(*info);
}

bool BassMusicInterface::IsPlaying(int songId) {
  Guard lock(mMutex);
  BassMusicInfo* info = Find(songId);
  return info != nullptr && gBassInstance->BASS_ChannelIsActive(info->GetHandle()) == plat::BASS_ACTIVE_PLAYING;
}

void BassMusicInterface::SetVolume(double volume) {
  Guard lock(mMutex);
  BASS_INSTANCE& bass = *gBassInstance;
  if (bass.mVersion2) {
    auto w = static_cast<plat::DWORD>(TruncateInRange(volume * 100, 0, 100, 0));
    bass.BASS_SetConfig(plat::BASS_CONFIG_GVOL_MUSIC, w);
    bass.BASS_SetConfig(plat::BASS_CONFIG_GVOL_STREAM, w);
  } else {
    auto v = static_cast<int>(TruncateInRange(mMaxVolume * volume, 0, mMaxVolume, 0));
    if (bass.BASS_SetGlobalVolumes != nullptr) bass.BASS_SetGlobalVolumes(v, v, v);
  }
}

void BassMusicInterface::SetMusicAttribute(int songId, double value) {
  Guard lock(mMutex);
  if (BassMusicInfo* info = Find(songId))
    gBassInstance->BASS_MusicSetAttribute(info->GetHandle(), 0,
                                          static_cast<plat::DWORD>(TruncateInRange(value * 100, 0, 100, 0)));
}

}  // namespace Orvo
