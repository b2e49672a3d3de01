// The FMod music back-end and its music cache.
#include "framework/sound/FModMusicInterface.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "framework/core/Common.h"
#include "framework/sound/BassMusicInterface.h"
#include "framework/sound/MusicLibraries.h"
#include "framework/sound/SoundMath.h"
#include "platform/Files.h"

namespace Orvo {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutTags(std::vector<std::uint8_t>& out, const char* tags) {
  for (const char* c = tags; *c != 0; ++c) out.push_back(static_cast<std::uint8_t>(*c));
}

// A plain PCM WAV file, written beside its place and renamed over it.
void WritePlainWav(const std::string& path, int channels, int rate, int bits, const void* data, std::uint32_t size) {
  std::vector<std::uint8_t> file;
  std::uint32_t align = static_cast<std::uint32_t>(channels * bits / 8);
  PutTags(file, "RIFF");
  PutLe(file, size + 36, 4);
  PutTags(file, "WAVEfmt ");
  PutLe(file, 16, 4);
  PutLe(file, 1, 2);
  PutLe(file, static_cast<std::uint32_t>(channels), 2);
  PutLe(file, static_cast<std::uint32_t>(rate), 4);
  PutLe(file, align * static_cast<std::uint32_t>(rate), 4);
  PutLe(file, align, 2);
  PutLe(file, static_cast<std::uint32_t>(bits), 2);
  PutTags(file, "data");
  PutLe(file, size, 4);
  Orvo::WriteFileAtomically(plat::ResolveFileName(path), {{file.data(), file.size()}, {data, size}});
}

struct SampleFormat {
  int channels, bits, rate;
  plat::DWORD mode, frames;
  std::uint32_t bytes() const { return frames * static_cast<std::uint32_t>(channels * bits / 8); }
};

SampleFormat FormatOf(plat::FSOUND_SAMPLE* sample) {
  FMOD_INSTANCE& fmod = *gFModInstance;
  SampleFormat f{};
  f.mode = fmod.FSOUND_Sample_GetMode(sample);
  fmod.FSOUND_Sample_GetDefaults(sample, &f.rate, nullptr, nullptr, nullptr);
  f.channels = (f.mode & plat::FSOUND_MONO) ? 1 : 2;
  f.bits = (f.mode & plat::FSOUND_8BITS) ? 8 : 16;
  f.frames = fmod.FSOUND_Sample_GetLength(sample);
  return f;
}

}  // namespace

FModMusicInterface::FModMusicInterface(plat::HWND) {
  InstallPakSoundFileReader();
  LoadFModLibrary();
}

FModMusicInterface::~FModMusicInterface() {
  // Sample songs are this interface's own copies: stopped and given back before the library goes.
  for (auto& [id, info] : mMusicMap) {
    if (info.mHMusic != nullptr && gFModInstance->FMUSIC_FreeSong != nullptr) gFModInstance->FMUSIC_FreeSong(info.mHMusic);
    if (info.mHSample == nullptr) continue;
    gFModInstance->FSOUND_StopSound(id);
    gFModInstance->FSOUND_Sample_Free(info.mHSample);
  }
  FreeFModLibrary();
  mMusicMap.clear();
}

FModMusicInfo* FModMusicInterface::Find(int songId) {
  auto it = mMusicMap.find(songId);
  return it == mMusicMap.end() ? nullptr : &it->second;
}

std::string FModMusicInterface::CachePath(const std::string& name) {
  return GetAppDataFolder() + "cached/" + GetFileName(name, true) + ".wav";
}

void FModMusicInterface::ApplyVolume(int songId, const FModMusicInfo& info) {
  FMOD_INSTANCE& fmod = *gFModInstance;
  // Held to the library's 0..100 (NaN as 0) before the conversion.
  if (info.mHMusic != nullptr)
    fmod.FMUSIC_SetMasterVolume(info.mHMusic, static_cast<int>(TruncateInRange(
                                                  info.mVolume * mGlobalVolume * mModuleVolumeScale, 0, 100, 0)));
  else
    fmod.FSOUND_SetVolume(songId, static_cast<int>(TruncateInRange(mGlobalVolume * info.mVolume * mSampleVolumeScale,
                                                                   0, 100, 0)));
}

bool FModMusicInterface::LoadMusic(int songId, const std::string& fileName) {
  // Loaded without the song table's lock: other threads' calls never wait on a file.
  plat::FMUSIC_MODULE* module = gFModInstance->FMUSIC_LoadSong(fileName.c_str());
  if (module == nullptr) return false;
  FModMusicInfo info;
  info.mHMusic = module;
  Guard lock(mMutex);
  // An id that already holds a song keeps it; the new module is given back.
  if (!mMusicMap.emplace(songId, info).second && gFModInstance->FMUSIC_FreeSong != nullptr)
    gFModInstance->FMUSIC_FreeSong(module);
  return true;
}

// Sample songs are decoded and cached without the song table's lock; only the insertion takes it.
bool FModMusicInterface::LoadCachedSample(int songId, const std::string& name, bool loop) {
  plat::FSOUND_SAMPLE* sample = CacheOggAsWav(name);
  if (sample == nullptr) return false;
  FModMusicInfo info;
  info.mHSample = sample;
  info.mRepeats = loop;
  Guard lock(mMutex);
  // An id that already holds a song keeps it; the new sample is given back.
  if (!mMusicMap.emplace(songId, info).second) gFModInstance->FSOUND_Sample_Free(sample);
  return true;
}

plat::FSOUND_SAMPLE* FModMusicInterface::CacheOggAsWav(const std::string& name) {
  FMOD_INSTANCE& fmod = *gFModInstance;
  const std::string cachePath = CachePath(name);
  MakeDirs(GetFileDir(cachePath, false));
  if (plat::FSOUND_SAMPLE* cached = fmod.FSOUND_Sample_Load(-1, cachePath.c_str(), 0, 0)) return cached;
  plat::FSOUND_SAMPLE* sample = fmod.FSOUND_Sample_Load(-1, (name + ".ogg").c_str(), 0, 0);
  if (sample == nullptr) return nullptr;
  SampleFormat f = FormatOf(sample);
  void *p1 = nullptr, *p2 = nullptr;
  plat::DWORD l1 = 0, l2 = 0;
  if (fmod.FSOUND_Sample_Lock(sample, 0, static_cast<int>(f.bytes()), &p1, &p2, &l1, &l2)) {
    // Only the first region is written, and never more than it holds.
    WritePlainWav(cachePath, f.channels, f.rate, f.bits, p1, std::min<std::uint32_t>(l1, f.bytes()));
    fmod.FSOUND_Sample_Unlock(sample, p1, p2, l1, l2);
  }
  return sample;
}

bool FModMusicInterface::LoadSampleSong(int songId, const std::string& introName, const std::string& loopName,
                                        bool loop) {
  FMOD_INSTANCE& fmod = *gFModInstance;
  plat::FSOUND_SAMPLE* a = CacheOggAsWav(introName);
  plat::FSOUND_SAMPLE* b = CacheOggAsWav(loopName);
  // The parts are freed on every path: they are only copied into the song's own sample.
  auto freeParts = [&] {
    if (a != nullptr) fmod.FSOUND_Sample_Free(a);
    if (b != nullptr) fmod.FSOUND_Sample_Free(b);
  };
  if (a == nullptr || b == nullptr) {
    freeParts();
    return false;
  }
  SampleFormat fa = FormatOf(a), fb = FormatOf(b);
  if (fa.rate != fb.rate || fa.mode != fb.mode) {
    freeParts();
    return false;
  }
  plat::FSOUND_SAMPLE* c = fmod.FSOUND_Sample_Alloc(-1, static_cast<int>(fa.frames + fb.frames),
                                                   fa.mode | plat::FSOUND_LOOP_NORMAL, fa.rate, 255, 128, 0);
  if (c == nullptr) {
    freeParts();
    return false;
  }
  void *pc = nullptr, *p2 = nullptr;
  plat::DWORD lc = 0, l2 = 0;
  if (fmod.FSOUND_Sample_Lock(c, 0, static_cast<int>(fa.bytes() + fb.bytes()), &pc, &p2, &lc, &l2)) {
    auto* out = static_cast<std::uint8_t*>(pc);
    std::uint32_t offset = 0;
    for (auto [part, bytes] : {std::pair{a, fa.bytes()}, std::pair{b, fb.bytes()}}) {
      void *pp = nullptr, *pq = nullptr;
      plat::DWORD lp = 0, lq = 0;
      if (bytes > 0 && fmod.FSOUND_Sample_Lock(part, 0, static_cast<int>(bytes), &pp, &pq, &lp, &lq)) {
        std::memcpy(out + offset, pp, std::min<std::uint32_t>(lp, bytes));
        fmod.FSOUND_Sample_Unlock(part, pp, pq, lp, lq);
      }
      offset += bytes;
    }
    fmod.FSOUND_Sample_Unlock(c, pc, p2, lc, l2);
  }
  freeParts();
  // The loop is the second part: from its first frame to the song's last.
  fmod.FSOUND_Sample_SetLoopPoints(c, static_cast<int>(fa.frames), static_cast<int>(fa.frames + fb.frames - 1));
  FModMusicInfo info;
  info.mHSample = c;
  info.mRepeats = loop;
  Guard lock(mMutex);
  if (!mMusicMap.emplace(songId, info).second) fmod.FSOUND_Sample_Free(c);
  return true;
}

void FModMusicInterface::PlayMusic(int songId, int offset, bool noLoop) {
  Guard lock(mMutex);
  FModMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  FMOD_INSTANCE& fmod = *gFModInstance;
  info->mVolume = info->mVolumeCap;
  info->mVolumeAdd = 0.0;
  if (info->mHMusic != nullptr) {
    ApplyVolume(songId, *info);
    fmod.FMUSIC_SetLooping(info->mHMusic, noLoop ? 1 : 2);
    fmod.FMUSIC_PlaySong(info->mHMusic);
    fmod.FMUSIC_SetOrder(info->mHMusic, offset);
  } else {
    fmod.FSOUND_PlaySound(songId, info->mHSample);
    fmod.FSOUND_SetLoopMode(songId, info->mRepeats ? plat::FSOUND_LOOP_NORMAL : plat::FSOUND_LOOP_OFF);
    ApplyVolume(songId, *info);
  }
}

void FModMusicInterface::FadeIn(int songId, int offset, double speed, bool noLoop) {
  Guard lock(mMutex);
  FModMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  FMOD_INSTANCE& fmod = *gFModInstance;
  info->mVolumeAdd = speed;
  if (info->mHSample != nullptr) {
    if (!fmod.FSOUND_IsPlaying(songId)) {
      fmod.FSOUND_PlaySound(songId, info->mHSample);
      fmod.FSOUND_SetLoopMode(songId, info->mRepeats ? plat::FSOUND_LOOP_NORMAL : plat::FSOUND_LOOP_OFF);
    }
    ApplyVolume(songId, *info);
  } else {
    ApplyVolume(songId, *info);
    fmod.FMUSIC_SetLooping(info->mHMusic, noLoop ? 1 : 2);
    if (!fmod.FMUSIC_IsPlaying(info->mHMusic)) fmod.FMUSIC_PlaySong(info->mHMusic);
    if (offset != -1) fmod.FMUSIC_SetOrder(info->mHMusic, offset);
  }
}

void FModMusicInterface::FadeOut(int songId, bool stopWhenDone, double speed) {
  Guard lock(mMutex);
  FModMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  info->mStopOnFade = stopWhenDone;
  info->mVolumeAdd = -speed;
}

void FModMusicInterface::FadeOutAll(bool stopWhenDone, double speed) {
  Guard lock(mMutex);
  for (auto& [id, info] : mMusicMap) {
    info.mStopOnFade = stopWhenDone;
    info.mVolumeAdd = -speed;
  }
}

void FModMusicInterface::StopSong(int songId, FModMusicInfo& info) {
  if (info.mHMusic != nullptr) gFModInstance->FMUSIC_StopSong(info.mHMusic);
  else gFModInstance->FSOUND_StopSound(songId);
}

void FModMusicInterface::Update() {
  Guard lock(mMutex);
  for (auto& [id, info] : mMusicMap) {
    if (info.mVolumeAdd == 0.0) continue;
    if (StepSongFade(info.mVolume, info.mVolumeAdd, info.mVolumeCap) && info.mStopOnFade) StopSong(id, info);
    ApplyVolume(id, info);
  }
}

void FModMusicInterface::StopMusic(int songId) {
  Guard lock(mMutex);
  FModMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  info->mVolume = 0.0;
  StopSong(songId, *info);
}

void FModMusicInterface::PauseMusic(int songId) {
  Guard lock(mMutex);
  FModMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  if (info->mHMusic != nullptr) gFModInstance->FMUSIC_SetPaused(info->mHMusic, 1);
  else gFModInstance->FSOUND_SetPaused(songId, 1);
}

void FModMusicInterface::ResumeMusic(int songId) {
  Guard lock(mMutex);
  FModMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  if (info->mHMusic != nullptr) gFModInstance->FMUSIC_SetPaused(info->mHMusic, 0);
  else gFModInstance->FSOUND_SetPaused(songId, 0);
}

void FModMusicInterface::StopAllMusic() {
  Guard lock(mMutex);
  for (auto& [id, info] : mMusicMap) {
    info.mVolume = 0.0;
    StopSong(id, info);
  }
}

void FModMusicInterface::SetSongVolume(int songId, double volume) {
  Guard lock(mMutex);
  FModMusicInfo* info = Find(songId);
  if (info == nullptr) return;
  info->mVolume = volume;
  ApplyVolume(songId, *info);
}

bool FModMusicInterface::IsPlaying(int songId) {
  Guard lock(mMutex);
  FModMusicInfo* info = Find(songId);
  if (info == nullptr) return false;
  if (info->mHMusic != nullptr) return gFModInstance->FMUSIC_IsPlaying(info->mHMusic) != 0;
  return gFModInstance->FSOUND_IsPlaying(songId) != 0;
}

void FModMusicInterface::SetVolume(double volume) {
  Guard lock(mMutex);
  mGlobalVolume = volume;
  for (auto& [id, info] : mMusicMap) ApplyVolume(id, info);
}

}  // namespace Orvo
