// The stand-in for the music library "bass.dll": WAV, Ogg Vorbis and MP3 streams and tracker
// modules (files opened through the sound-file opener: the pak archives, then the disk),
// played through the software mixer with per-channel volume, pan, rate, looping, pause,
// positions and orders, the global stream and module volumes, and samples played on many
// channels. Every function is safe from any thread.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace plat {

using QWORD = std::uint64_t;

// The calling shapes of the library's functions, shared by the library and its callers.
using BASS_Init_Fn = BOOL (*)(int device, DWORD freq, DWORD flags, void* window, const void* clsid);
using BASS_Init_Old_Fn = BOOL (*)(int device, DWORD freq, DWORD flags, void* window);
using BASS_Void_Fn = BOOL (*)();
using BASS_SetGlobalVolumes_Fn = BOOL (*)(int music, int sample, int stream);
using BASS_SetVolume_Fn = BOOL (*)(DWORD volume);
using BASS_GetVolume_Fn = DWORD (*)();
using BASS_SetConfig_Fn = DWORD (*)(DWORD option, DWORD value);
using BASS_GetConfig_Fn = DWORD (*)(DWORD option);
using BASS_Channel_Fn = BOOL (*)(DWORD handle);
using BASS_ChannelPlay_Fn = BOOL (*)(DWORD handle, BOOL restart);
using BASS_ChannelSetAttributes_Fn = BOOL (*)(DWORD handle, int freq, int volume, int pan);
using BASS_ChannelSetPosition_Fn = BOOL (*)(DWORD handle, QWORD position);
using BASS_ChannelIsActive_Fn = DWORD (*)(DWORD handle);
using BASS_ChannelSetFlags_Fn = BOOL (*)(DWORD handle, DWORD flags);
using BASS_MusicLoad_Fn = DWORD (*)(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq);
using BASS_MusicLoad_Old_Fn = DWORD (*)(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags);
using BASS_MusicFree_Fn = void (*)(DWORD handle);
using BASS_MusicSetAttribute_Fn = DWORD (*)(DWORD handle, DWORD attrib, DWORD value);
using BASS_StreamCreateFile_Fn = DWORD (*)(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
using BASS_StreamFree_Fn = BOOL (*)(DWORD handle);
using BASS_ErrorGetCode_Fn = int (*)();

struct BASS_INFO {
  DWORD flags = 0, hwsize = 0, hwfree = 0, freesam = 0, free3d = 0;
  DWORD minrate = 0, maxrate = 0;
  BOOL eax = 0;
  DWORD minbuf = 0, dsver = 0, latency = 0, initflags = 0, speakers = 0, freq = 0;
};

struct BASS_SAMPLE {
  DWORD freq = 0;     // default rate
  DWORD volume = 0;   // 0..100
  int pan = 0;        // -100..100
  DWORD flags = 0;
  DWORD length = 0;   // bytes
  DWORD max = 1;      // channels that may play it at once
  DWORD origres = 16, chans = 1;
};

using BASS_GetInfo_Fn = BOOL (*)(BASS_INFO* info);
using BASS_GetVersion_Fn = DWORD (*)();
using BASS_ChannelGetAttributes_Fn = BOOL (*)(DWORD handle, DWORD* freq, DWORD* volume, int* pan);
using BASS_ChannelGetPosition_Fn = QWORD (*)(DWORD handle);
using BASS_ChannelGetLevel_Fn = DWORD (*)(DWORD handle);
using BASS_ChannelSlideAttributes_Fn = BOOL (*)(DWORD handle, int freq, int volume, int pan, DWORD milliseconds);
using BASS_MusicGetAttribute_Fn = DWORD (*)(DWORD handle, DWORD attrib);
using BASS_MusicGetOrders_Fn = DWORD (*)(DWORD handle);
using BASS_SampleLoad_Fn = DWORD (*)(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD max, DWORD flags);
using BASS_SampleGetChannel_Fn = DWORD (*)(DWORD sample, BOOL onlyNew);
using BASS_SampleInfo_Fn = BOOL (*)(DWORD sample, BASS_SAMPLE* info);

constexpr DWORD BASS_ACTIVE_STOPPED = 0;
constexpr DWORD BASS_ACTIVE_PLAYING = 1;
constexpr DWORD BASS_ACTIVE_PAUSED = 3;
constexpr DWORD BASS_SAMPLE_LOOP = 4;
constexpr DWORD BASS_CONFIG_GVOL_STREAM = 5;
constexpr DWORD BASS_CONFIG_GVOL_MUSIC = 6;

// Registers "bass.dll".
void RegisterBassModule();

}  // namespace plat
