// The music libraries loaded at run time, "bass.dll" and "fmod.dll": one process-wide object
// each, holding the module and its functions looked up one by one, shared by a user count.
// A missing library or function ends the program with a message, as there is no fallback.
#pragma once

#include <atomic>

#include "platform/BassDll.h"
#include "platform/FModDll.h"
#include "platform/Module.h"

namespace Orvo {

class BASS_INSTANCE {
 public:
  explicit BASS_INSTANCE(const char* path);
  virtual ~BASS_INSTANCE();

  plat::HMODULE mModule = nullptr;
  // True when the library has "BASS_SetConfig": the newer argument lists are used.
  bool mVersion2 = false;

  plat::BASS_Init_Old_Fn BASS_Init = nullptr;
  plat::BASS_Init_Fn BASS_Init2 = nullptr;
  plat::BASS_Void_Fn BASS_Free = nullptr;
  plat::BASS_Void_Fn BASS_Stop = nullptr;
  plat::BASS_Void_Fn BASS_Start = nullptr;
  plat::BASS_SetGlobalVolumes_Fn BASS_SetGlobalVolumes = nullptr;
  plat::BASS_SetVolume_Fn BASS_SetVolume = nullptr;
  plat::BASS_SetConfig_Fn BASS_SetConfig = nullptr;
  plat::BASS_GetConfig_Fn BASS_GetConfig = nullptr;
  plat::BASS_GetVolume_Fn BASS_GetVolume = nullptr;
  plat::FARPROC BASS_GetInfo = nullptr;
  plat::FARPROC BASS_GetVersion = nullptr;
  plat::BASS_Channel_Fn BASS_ChannelStop = nullptr;
  plat::BASS_ChannelPlay_Fn BASS_ChannelPlay = nullptr;
  plat::BASS_Channel_Fn BASS_ChannelPause = nullptr;
  plat::BASS_ChannelSetAttributes_Fn BASS_ChannelSetAttributes = nullptr;
  plat::FARPROC BASS_ChannelGetAttributes = nullptr;
  plat::BASS_ChannelSetPosition_Fn BASS_ChannelSetPosition = nullptr;
  plat::FARPROC BASS_ChannelGetPosition = nullptr;
  plat::BASS_ChannelIsActive_Fn BASS_ChannelIsActive = nullptr;
  plat::BASS_ChannelSetFlags_Fn BASS_ChannelSetFlags = nullptr;
  plat::FARPROC BASS_ChannelSlideAttributes = nullptr;
  plat::FARPROC BASS_ChannelIsSliding = nullptr;
  plat::FARPROC BASS_ChannelGetLevel = nullptr;
  plat::FARPROC BASS_ChannelSetSync = nullptr;
  plat::FARPROC BASS_ChannelRemoveSync = nullptr;
  plat::FARPROC BASS_ChannelGetData = nullptr;
  plat::FARPROC BASS_FXSetParameters = nullptr;
  plat::FARPROC BASS_FXGetParameters = nullptr;
  plat::FARPROC BASS_ChannelSetFX = nullptr;
  plat::FARPROC BASS_ChannelRemoveFX = nullptr;
  plat::BASS_MusicLoad_Old_Fn BASS_MusicLoad = nullptr;
  plat::BASS_MusicLoad_Fn BASS_MusicLoad2 = nullptr;
  plat::BASS_MusicFree_Fn BASS_MusicFree = nullptr;
  plat::FARPROC BASS_MusicGetAttribute = nullptr;
  plat::BASS_MusicSetAttribute_Fn BASS_MusicSetAttribute = nullptr;
  plat::BASS_StreamCreateFile_Fn BASS_StreamCreateFile = nullptr;
  plat::BASS_StreamFree_Fn BASS_StreamFree = nullptr;
  plat::FARPROC BASS_MusicGetOrders = nullptr;
  plat::FARPROC BASS_MusicGetOrderPosition = nullptr;
  plat::FARPROC BASS_SampleLoad = nullptr;
  plat::FARPROC BASS_SampleFree = nullptr;
  plat::FARPROC BASS_SampleSetInfo = nullptr;
  plat::FARPROC BASS_SampleGetInfo = nullptr;
  plat::FARPROC BASS_SampleGetChannel = nullptr;
  plat::FARPROC BASS_SampleStop = nullptr;
  plat::BASS_ErrorGetCode_Fn BASS_ErrorGetCode = nullptr;
  plat::FARPROC BASS_PluginLoad = nullptr;
  plat::FARPROC BASS_ChannelGetLength = nullptr;
  plat::FARPROC BASS_ChannelPreBuf = nullptr;
};

class FMOD_INSTANCE {
 public:
  explicit FMOD_INSTANCE(const char* path);
  virtual ~FMOD_INSTANCE();

  plat::HMODULE mModule = nullptr;

  plat::FSOUND_SetBufferSize_Fn FSOUND_SetBufferSize = nullptr;
  plat::FSOUND_SetHWND_Fn FSOUND_SetHWND = nullptr;
  plat::FSOUND_Init_Fn FSOUND_Init = nullptr;
  plat::FSOUND_Close_Fn FSOUND_Close = nullptr;
  plat::FSOUND_Sample_Load_Fn FSOUND_Sample_Load = nullptr;
  plat::FSOUND_Sample_Alloc_Fn FSOUND_Sample_Alloc = nullptr;
  plat::FSOUND_Sample_Free_Fn FSOUND_Sample_Free = nullptr;
  plat::FSOUND_Sample_Lock_Fn FSOUND_Sample_Lock = nullptr;
  plat::FSOUND_Sample_Unlock_Fn FSOUND_Sample_Unlock = nullptr;
  plat::FSOUND_Sample_SetLoopPoints_Fn FSOUND_Sample_SetLoopPoints = nullptr;
  plat::FSOUND_Sample_GetLength_Fn FSOUND_Sample_GetLength = nullptr;
  plat::FSOUND_Sample_GetDefaults_Fn FSOUND_Sample_GetDefaults = nullptr;
  plat::FSOUND_Sample_GetMode_Fn FSOUND_Sample_GetMode = nullptr;
  plat::FSOUND_PlaySound_Fn FSOUND_PlaySound = nullptr;
  plat::FSOUND_Channel_Fn FSOUND_StopSound = nullptr;
  plat::FSOUND_ChannelValue_Fn FSOUND_SetVolume = nullptr;
  plat::FSOUND_ChannelValue_Fn FSOUND_SetPaused = nullptr;
  plat::FSOUND_SetLoopMode_Fn FSOUND_SetLoopMode = nullptr;
  plat::FSOUND_Channel_Fn FSOUND_IsPlaying = nullptr;
  plat::FSOUND_Stream_OpenFile_Fn FSOUND_Stream_OpenFile = nullptr;
  plat::FSOUND_Stream_Close_Fn FSOUND_Stream_Close = nullptr;
  plat::FSOUND_Stream_Play_Fn FSOUND_Stream_Play = nullptr;
  plat::FMUSIC_LoadSong_Fn FMUSIC_LoadSong = nullptr;
  plat::FMUSIC_Module_Fn FMUSIC_PlaySong = nullptr;
  plat::FMUSIC_Module_Fn FMUSIC_StopSong = nullptr;
  plat::FMUSIC_ModuleValue_Fn FMUSIC_SetLooping = nullptr;
  plat::FMUSIC_ModuleValue_Fn FMUSIC_SetOrder = nullptr;
  plat::FMUSIC_ModuleValue_Fn FMUSIC_SetPaused = nullptr;
  plat::FMUSIC_ModuleValue_Fn FMUSIC_SetMasterVolume = nullptr;
  plat::FMUSIC_Module_Fn FMUSIC_IsPlaying = nullptr;
  plat::FMUSIC_Module_Fn FMUSIC_FreeSong = nullptr;  // optional
};

extern BASS_INSTANCE* gBassInstance;
extern FMOD_INSTANCE* gFModInstance;

void LoadBassLibrary();
void FreeBassLibrary();
void LoadFModLibrary();
void FreeFModLibrary();

}  // namespace Orvo
