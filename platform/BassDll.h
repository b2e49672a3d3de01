// The stand-in for the music library "bass.dll": WAV, Ogg Vorbis and MP3 streams and tracker
// modules (files opened through the sound-file opener: the pak archives, then the disk),
// played through the software mixer with per-channel volume, pan, rate, looping, pause,
// positions and orders, the global stream and module volumes, samples played on many
// channels, effects (echo, chorus, reverb, ...) on any channel, syncs (callbacks at a
// channel's end, positions, slides and free), its latest sample data and spectra, and
// decoder plug-ins (DecoderPlugin.h) for formats it does not read itself. Every function is
// safe from any thread.
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

// Channel effects: a type given to BASS_ChannelSetFX, and the parameter block of each type that
// BASS_FXSetParameters takes and BASS_FXGetParameters fills. Ranges are inclusive; the comments
// give each field's range and the value a new effect starts with.
enum BassEffectType : DWORD {
  kBassFxChorus = 0,
  kBassFxCompressor = 1,
  kBassFxDistortion = 2,
  kBassFxEcho = 3,
  kBassFxFlanger = 4,
  kBassFxGargle = 5,
  kBassFxI3DL2Reverb = 6,
  kBassFxParamEq = 7,
  kBassFxWavesReverb = 8,
};

// Modulated delay: the delay swings by `depth` percent of itself at `frequency`.
struct BassChorusParams {
  float wetDryMix = 50;   // 0..100, percent of the delayed signal in the output
  float depth = 10;       // 0..100
  float feedback = 25;    // -99..99, percent of the delayed signal fed back
  float frequency = 1.1f; // 0..10 Hz
  DWORD waveform = 1;     // 0 triangle, 1 sine
  float delay = 16;       // 0..20 ms
  DWORD phase = 3;        // right against left: 0 -180, 1 -90, 2 0, 3 90, 4 180 degrees
};
struct BassFlangerParams {
  float wetDryMix = 50;   // 0..100
  float depth = 100;      // 0..100
  float feedback = -50;   // -99..99
  float frequency = 0.25f;  // 0..10 Hz
  DWORD waveform = 1;     // 0 triangle, 1 sine
  float delay = 2;        // 0..4 ms
  DWORD phase = 2;        // as the chorus
};
struct BassCompressorParams {
  float gain = 0;         // -60..60 dB after compression
  float attack = 10;      // 0.01..500 ms
  float release = 200;    // 50..3000 ms
  float threshold = -20;  // -60..0 dB of full scale
  float ratio = 3;        // 1..100
  float predelay = 4;     // 0..4 ms the signal lags its level detection
};
struct BassDistortionParams {
  float gain = -18;                  // -60..0 dB
  float edge = 15;                   // 0..100, strength of the distortion
  float postEqCenterFrequency = 2400;  // 100..8000 Hz, band the added harmonics are kept in
  float postEqBandwidth = 2400;      // 100..8000 Hz
  float preLowpassCutoff = 8000;     // 100..8000 Hz
};
struct BassEchoParams {
  float wetDryMix = 50;   // 0..100
  float feedback = 50;    // 0..100
  float leftDelay = 500;  // 1..2000 ms
  float rightDelay = 500; // 1..2000 ms
  BOOL panDelay = 0;      // each echo swaps sides
};
struct BassGargleParams {
  DWORD rateHz = 20;      // 1..1000
  DWORD waveShape = 0;    // 0 triangle, 1 square
};
// Room reverberation; levels in hundredths of a decibel.
struct BassI3DL2ReverbParams {
  int room = -1000;              // -10000..0, level of the whole room effect
  int roomHf = -100;             // -10000..0, its level at the high-frequency reference
  float roomRolloffFactor = 0;   // 0..10, for sources at a distance
  float decayTime = 1.49f;       // 0.1..20 s
  float decayHfRatio = 0.83f;    // 0.1..2, high-frequency decay time against decayTime
  int reflections = -2602;       // -10000..1000, early reflections against room
  float reflectionsDelay = 0.007f;  // 0..0.3 s
  int reverb = 200;              // -10000..2000, late reverberation against room
  float reverbDelay = 0.011f;    // 0..0.1 s after the first reflection
  float diffusion = 100;         // 0..100 percent
  float density = 100;           // 0..100 percent
  float hfReference = 5000;      // 20..20000 Hz
};
// A peaking filter: a band around `center` is raised or lowered.
struct BassParamEqParams {
  float center = 8000;    // 80..16000 Hz, and at most a third of the output rate
  float bandwidth = 12;   // 1..36 semitones
  float gain = 0;         // -15..15 dB
};
struct BassWavesReverbParams {
  float inGain = 0;           // -96..0 dB
  float reverbMix = 0;        // -96..0 dB
  float reverbTime = 1000;    // 0.001..3000 ms
  float highFreqRtRatio = 0.001f;  // 0.001..0.999
};

using BASS_ChannelSetFX_Fn = DWORD (*)(DWORD handle, DWORD type, int priority);
using BASS_ChannelRemoveFX_Fn = BOOL (*)(DWORD handle, DWORD fx);
using BASS_FXSetParameters_Fn = BOOL (*)(DWORD fx, const void* params);
using BASS_FXGetParameters_Fn = BOOL (*)(DWORD fx, void* params);

// Syncs: a callback on a channel's event. `data` is 0 but for a slide (the attribute that
// slid: 2 volume, 3 pan).
using HSYNC = DWORD;
using SYNCPROC = void (*)(HSYNC sync, DWORD channel, DWORD data, void* user);
using BASS_ChannelSetSync_Fn = HSYNC (*)(DWORD handle, DWORD type, QWORD param, SYNCPROC proc, void* user);
using BASS_ChannelRemoveSync_Fn = BOOL (*)(DWORD handle, HSYNC sync);
using BASS_ChannelGetData_Fn = DWORD (*)(DWORD handle, void* buffer, DWORD length);
using HPLUGIN = DWORD;
using BASS_PluginLoad_Fn = HPLUGIN (*)(const char* file, DWORD flags);

constexpr DWORD BASS_SYNC_POS = 0;       // param: a byte position (a module: order | row << 16)
constexpr DWORD BASS_SYNC_END = 2;       // the end, and every time a looping channel goes round
constexpr DWORD BASS_SYNC_SLIDE = 5;     // a slide of an attribute has come to its end
constexpr DWORD BASS_SYNC_STALL = 6;     // a stream ran out of decoded data (never here: see SetSync)
constexpr DWORD BASS_SYNC_FREE = 8;      // the channel is freed
constexpr DWORD BASS_SYNC_MUSICPOS = 10; // modules: param order | row << 16, 0xFFFF in either: any
constexpr DWORD BASS_SYNC_MIXTIME = 0x40000000;  // flag: called as soon as the event is mixed
constexpr DWORD BASS_SYNC_ONETIME = 0x80000000;  // flag: removed once it has been called

// BASS_ChannelGetData's length: bytes of sample data (16-bit, or float with the flag), or one
// of the FFT sizes (magnitudes as floats, FFT size / 2 of them) with the FFT flags.
constexpr DWORD BASS_DATA_AVAILABLE = 0;
constexpr DWORD BASS_DATA_FLOAT = 0x40000000;
constexpr DWORD BASS_DATA_FFT256 = 0x80000000;
constexpr DWORD BASS_DATA_FFT512 = 0x80000001;
constexpr DWORD BASS_DATA_FFT1024 = 0x80000002;
constexpr DWORD BASS_DATA_FFT2048 = 0x80000003;
constexpr DWORD BASS_DATA_FFT4096 = 0x80000004;
constexpr DWORD BASS_DATA_FFT8192 = 0x80000005;
constexpr DWORD BASS_DATA_FFT_INDIVIDUAL = 0x10;  // left and right apart, interleaved
constexpr DWORD BASS_DATA_FFT_NOWINDOW = 0x20;
constexpr DWORD BASS_DATA_FFT_REMOVEDC = 0x40;
constexpr DWORD BASS_DATA_FFT_COMPLEX = 0x80;     // every bin as real and imaginary parts

// Error codes of BASS_ErrorGetCode.
constexpr int BASS_OK = 0;
constexpr int BASS_ERROR_FILEOPEN = 2;
constexpr int BASS_ERROR_HANDLE = 5;
constexpr int BASS_ERROR_POSITION = 7;
constexpr int BASS_ERROR_ALREADY = 14;
constexpr int BASS_ERROR_ILLTYPE = 19;
constexpr int BASS_ERROR_ILLPARAM = 20;
constexpr int BASS_ERROR_NOPLAY = 24;
constexpr int BASS_ERROR_NOTAVAIL = 37;
constexpr int BASS_ERROR_FILEFORM = 41;
constexpr int BASS_ERROR_VERSION = 43;

constexpr DWORD BASS_ACTIVE_STOPPED = 0;
constexpr DWORD BASS_ACTIVE_PLAYING = 1;
constexpr DWORD BASS_ACTIVE_PAUSED = 3;
constexpr DWORD BASS_SAMPLE_LOOP = 4;
constexpr DWORD BASS_CONFIG_GVOL_STREAM = 5;
constexpr DWORD BASS_CONFIG_GVOL_MUSIC = 6;

// Registers "bass.dll".
void RegisterBassModule();

}  // namespace plat
