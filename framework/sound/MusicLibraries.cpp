// Loading "bass.dll" and "fmod.dll" and looking up their functions by name.
#include "framework/sound/MusicLibraries.h"

#include <string>

#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace Orvo {

BASS_INSTANCE* gBassInstance = nullptr;
FMOD_INSTANCE* gFModInstance = nullptr;

namespace {

std::atomic<int> gBassUsers{0};
std::atomic<int> gFModUsers{0};

[[noreturn]] void Fail(const std::string& text) {
  plat::MessageBoxA(nullptr, text.c_str(), "Error", plat::MB_ICONERROR);
  plat::ExitProcess(0);
}

// Looks up one function; a required one that is missing ends the program with `missingText`.
template <typename Fn>
void Find(plat::HMODULE module, Fn& slot, const char* name, bool required, const std::string& missingText) {
  slot = plat::ProcAs<Fn>(plat::GetProcAddress(module, name));
  if (slot == nullptr && required) Fail(missingText);
}

}  // namespace

BASS_INSTANCE::BASS_INSTANCE(const char* path) {
  mModule = plat::LoadLibrary(path);
  if (mModule == nullptr) return;
  auto req = [this](auto& slot, const char* name) {
    Find(mModule, slot, name, true, std::string(name) + " function not found in bass.dll");
  };
  auto opt = [this](auto& slot, const char* name) { Find(mModule, slot, name, false, ""); };

  plat::FARPROC init = plat::GetProcAddress(mModule, "BASS_Init");
  if (init == nullptr) Fail("BASS_Init function not found in bass.dll");
  req(BASS_Free, "BASS_Free");
  req(BASS_Stop, "BASS_Stop");
  req(BASS_Start, "BASS_Start");
  opt(BASS_SetGlobalVolumes, "BASS_SetGlobalVolumes");
  opt(BASS_SetVolume, "BASS_SetVolume");
  if (BASS_SetGlobalVolumes == nullptr && BASS_SetVolume == nullptr)
    Fail("Neither BASS_SetGlobalVolumes or BASS_SetVolume found in bass.dll");
  opt(BASS_SetConfig, "BASS_SetConfig");
  opt(BASS_GetConfig, "BASS_GetConfig");
  mVersion2 = BASS_SetConfig != nullptr;
  if (mVersion2) BASS_Init2 = plat::ProcAs<plat::BASS_Init_Fn>(init);
  else BASS_Init = plat::ProcAs<plat::BASS_Init_Old_Fn>(init);
  req(BASS_GetVolume, "BASS_GetVolume");
  req(BASS_GetInfo, "BASS_GetInfo");
  req(BASS_GetVersion, "BASS_GetVersion");
  req(BASS_ChannelStop, "BASS_ChannelStop");
  req(BASS_ChannelPlay, "BASS_ChannelPlay");
  req(BASS_ChannelPause, "BASS_ChannelPause");
  req(BASS_ChannelSetAttributes, "BASS_ChannelSetAttributes");
  req(BASS_ChannelGetAttributes, "BASS_ChannelGetAttributes");
  req(BASS_ChannelSetPosition, "BASS_ChannelSetPosition");
  req(BASS_ChannelGetPosition, "BASS_ChannelGetPosition");
  req(BASS_ChannelIsActive, "BASS_ChannelIsActive");
  req(BASS_ChannelSetFlags, "BASS_ChannelSetFlags");
  req(BASS_ChannelSlideAttributes, "BASS_ChannelSlideAttributes");
  req(BASS_ChannelIsSliding, "BASS_ChannelIsSliding");
  req(BASS_ChannelGetLevel, "BASS_ChannelGetLevel");
  req(BASS_ChannelSetSync, "BASS_ChannelSetSync");
  req(BASS_ChannelRemoveSync, "BASS_ChannelRemoveSync");
  req(BASS_ChannelGetData, "BASS_ChannelGetData");
  req(BASS_FXSetParameters, "BASS_FXSetParameters");
  req(BASS_FXGetParameters, "BASS_FXGetParameters");
  req(BASS_ChannelSetFX, "BASS_ChannelSetFX");
  req(BASS_ChannelRemoveFX, "BASS_ChannelRemoveFX");
  plat::FARPROC musicLoad = plat::GetProcAddress(mModule, "BASS_MusicLoad");
  if (musicLoad == nullptr) Fail("BASS_MusicLoad function not found in bass.dll");
  if (mVersion2) BASS_MusicLoad2 = plat::ProcAs<plat::BASS_MusicLoad_Fn>(musicLoad);
  else BASS_MusicLoad = plat::ProcAs<plat::BASS_MusicLoad_Old_Fn>(musicLoad);
  req(BASS_MusicFree, "BASS_MusicFree");
  req(BASS_MusicGetAttribute, "BASS_MusicGetAttribute");
  req(BASS_MusicSetAttribute, "BASS_MusicSetAttribute");
  req(BASS_StreamCreateFile, "BASS_StreamCreateFile");
  req(BASS_StreamFree, "BASS_StreamFree");
  req(BASS_MusicGetOrders, "BASS_MusicGetOrders");
  req(BASS_MusicGetOrderPosition, "BASS_MusicGetOrderPosition");
  req(BASS_SampleLoad, "BASS_SampleLoad");
  req(BASS_SampleFree, "BASS_SampleFree");
  req(BASS_SampleSetInfo, "BASS_SampleSetInfo");
  req(BASS_SampleGetInfo, "BASS_SampleGetInfo");
  req(BASS_SampleGetChannel, "BASS_SampleGetChannel");
  req(BASS_SampleStop, "BASS_SampleStop");
  req(BASS_ErrorGetCode, "BASS_ErrorGetCode");
  if (mVersion2) {
    opt(BASS_PluginLoad, "BASS_PluginLoad");
    opt(BASS_ChannelGetLength, "BASS_ChannelGetLength");
    opt(BASS_ChannelPreBuf, "BASS_ChannelPreBuf");
  }
}

BASS_INSTANCE::~BASS_INSTANCE() {
  if (mModule != nullptr) plat::FreeLibrary(mModule);
}

FMOD_INSTANCE::FMOD_INSTANCE(const char* path) {
  mModule = plat::LoadLibrary(path);
  if (mModule == nullptr) return;
  // The library's functions carry their decorated names; a missing one is named in quotes.
  auto req = [this](auto& slot, const char* name) {
    Find(mModule, slot, name, true, "\"" + std::string(name) + "\" function not found in fmod.dll");
  };
  req(FSOUND_SetBufferSize, "_FSOUND_SetBufferSize@4");
  req(FSOUND_SetHWND, "_FSOUND_SetHWND@4");
  req(FSOUND_Init, "_FSOUND_Init@12");
  req(FSOUND_Close, "_FSOUND_Close@0");
  req(FSOUND_Sample_Load, "_FSOUND_Sample_Load@16");
  req(FSOUND_Sample_Alloc, "_FSOUND_Sample_Alloc@28");
  req(FSOUND_Sample_Free, "_FSOUND_Sample_Free@4");
  req(FSOUND_Sample_Lock, "_FSOUND_Sample_Lock@28");
  req(FSOUND_Sample_Unlock, "_FSOUND_Sample_Unlock@20");
  req(FSOUND_Sample_SetLoopPoints, "_FSOUND_Sample_SetLoopPoints@12");
  req(FSOUND_Sample_GetLength, "_FSOUND_Sample_GetLength@4");
  req(FSOUND_Sample_GetDefaults, "_FSOUND_Sample_GetDefaults@20");
  req(FSOUND_Sample_GetMode, "_FSOUND_Sample_GetMode@4");
  req(FSOUND_PlaySound, "_FSOUND_PlaySound@8");
  req(FSOUND_StopSound, "_FSOUND_StopSound@4");
  req(FSOUND_SetVolume, "_FSOUND_SetVolume@8");
  req(FSOUND_SetPaused, "_FSOUND_SetPaused@8");
  req(FSOUND_SetLoopMode, "_FSOUND_SetLoopMode@8");
  req(FSOUND_IsPlaying, "_FSOUND_IsPlaying@4");
  req(FSOUND_Stream_OpenFile, "_FSOUND_Stream_OpenFile@12");
  req(FSOUND_Stream_Close, "_FSOUND_Stream_Close@4");
  req(FSOUND_Stream_Play, "_FSOUND_Stream_Play@8");
  req(FMUSIC_LoadSong, "_FMUSIC_LoadSong@4");
  req(FMUSIC_PlaySong, "_FMUSIC_PlaySong@4");
  req(FMUSIC_StopSong, "_FMUSIC_StopSong@4");
  req(FMUSIC_SetLooping, "_FMUSIC_SetLooping@8");
  req(FMUSIC_SetOrder, "_FMUSIC_SetOrder@8");
  req(FMUSIC_SetPaused, "_FMUSIC_SetPaused@8");
  req(FMUSIC_SetMasterVolume, "_FMUSIC_SetMasterVolume@8");
  req(FMUSIC_IsPlaying, "_FMUSIC_IsPlaying@4");
  // Not in the library's required table: songs are freed when it is there.
  FMUSIC_FreeSong = plat::ProcAs<plat::FMUSIC_Module_Fn>(plat::GetProcAddress(mModule, "_FMUSIC_FreeSong@4"));
}

FMOD_INSTANCE::~FMOD_INSTANCE() {
  if (mModule != nullptr) plat::FreeLibrary(mModule);
}

namespace {

// The first user makes the library's object; a library that cannot be loaded ends the program.
template <typename Instance>
void LoadShared(Instance*& instance, std::atomic<int>& users, const char* path, const char* missingText) {
  ++users;
  if (instance != nullptr) return;
  instance = new Instance(path);
  if (instance->mModule == nullptr) {
    delete instance;
    instance = nullptr;
    Fail(missingText);
  }
}

// The last user deletes it. The count never goes below 0, so an unpaired free cannot take a
// later user's load away.
template <typename Instance>
void FreeShared(Instance*& instance, std::atomic<int>& users) {
  int left = --users;
  if (left < 0) users = left = 0;
  if (instance != nullptr && left < 1) {
    delete instance;
    instance = nullptr;
  }
}

}  // namespace

void LoadBassLibrary() { LoadShared(gBassInstance, gBassUsers, ".\\bass.dll", "Can't find bass.dll."); }
void FreeBassLibrary() { FreeShared(gBassInstance, gBassUsers); }
void LoadFModLibrary() { LoadShared(gFModInstance, gFModUsers, ".\\fmod.dll", "Can't find fmod.dll."); }
void FreeFModLibrary() { FreeShared(gFModInstance, gFModUsers); }

}  // namespace Orvo
