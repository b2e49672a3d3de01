// The stand-in for the music library "fmod.dll": whole decoded samples (WAV, Ogg Vorbis and
// MP3, read through the sound-file opener) and streams played on 64 numbered channels of the
// software mixer, with volume, pause and loop points, and tracker modules with orders,
// looping, pause and volume. Functions are exported under the library's decorated names.
#pragma once

#include "platform/Types.h"

namespace plat {

struct FSOUND_SAMPLE;
struct FSOUND_STREAM;
struct FMUSIC_MODULE;

// Sample modes: bits of FSOUND_Sample_GetMode and FSOUND_Sample_Alloc.
constexpr DWORD FSOUND_LOOP_OFF = 0x1;
constexpr DWORD FSOUND_LOOP_NORMAL = 0x2;
constexpr DWORD FSOUND_8BITS = 0x8;
constexpr DWORD FSOUND_16BITS = 0x10;
constexpr DWORD FSOUND_MONO = 0x20;
constexpr DWORD FSOUND_STEREO = 0x40;
constexpr int FSOUND_FREE = -1;
constexpr int FSOUND_CHANNELS = 64;

using FSOUND_SetBufferSize_Fn = BOOL (*)(int milliseconds);
using FSOUND_SetHWND_Fn = BOOL (*)(void* window);
using FSOUND_Init_Fn = BOOL (*)(int mixRate, int maxChannels, DWORD flags);
using FSOUND_Close_Fn = void (*)();
using FSOUND_Sample_Load_Fn = FSOUND_SAMPLE* (*)(int index, const char* name, DWORD mode, int memLength);
using FSOUND_Sample_Alloc_Fn = FSOUND_SAMPLE* (*)(int index, int frames, DWORD mode, int freq, int vol, int pan,
                                                  int priority);
using FSOUND_Sample_Free_Fn = void (*)(FSOUND_SAMPLE* sample);
using FSOUND_Sample_Lock_Fn = BOOL (*)(FSOUND_SAMPLE* sample, int offset, int length, void** ptr1, void** ptr2,
                                       DWORD* len1, DWORD* len2);
using FSOUND_Sample_Unlock_Fn = BOOL (*)(FSOUND_SAMPLE* sample, void* ptr1, void* ptr2, DWORD len1, DWORD len2);
// The loop runs from frame `start` to frame `end`, both included.
using FSOUND_Sample_SetLoopPoints_Fn = BOOL (*)(FSOUND_SAMPLE* sample, int start, int end);
using FSOUND_Sample_GetLength_Fn = DWORD (*)(FSOUND_SAMPLE* sample);
using FSOUND_Sample_GetDefaults_Fn = BOOL (*)(FSOUND_SAMPLE* sample, int* freq, int* vol, int* pan, int* priority);
using FSOUND_Sample_GetMode_Fn = DWORD (*)(FSOUND_SAMPLE* sample);
using FSOUND_PlaySound_Fn = int (*)(int channel, FSOUND_SAMPLE* sample);
using FSOUND_Channel_Fn = BOOL (*)(int channel);
using FSOUND_ChannelValue_Fn = BOOL (*)(int channel, int value);
using FSOUND_SetLoopMode_Fn = BOOL (*)(int channel, DWORD mode);
using FSOUND_Stream_OpenFile_Fn = FSOUND_STREAM* (*)(const char* name, DWORD mode, int memLength);
using FSOUND_Stream_Play_Fn = int (*)(int channel, FSOUND_STREAM* stream);
using FSOUND_Stream_Close_Fn = BOOL (*)(FSOUND_STREAM* stream);
using FMUSIC_LoadSong_Fn = FMUSIC_MODULE* (*)(const char* name);
using FMUSIC_Module_Fn = BOOL (*)(FMUSIC_MODULE* module);
// FMUSIC_SetLooping takes 1 (play once) or 2 (loop), as FSOUND_SetLoopMode does; the master
// volume runs 0..100.
using FMUSIC_ModuleValue_Fn = BOOL (*)(FMUSIC_MODULE* module, int value);

// Registers "fmod.dll".
void RegisterFModModule();

}  // namespace plat
