// The "bass.dll" stand-in: a table of channels by handle over mixer voices.
#include "platform/BassDll.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AudioDecode.h"
#include "platform/AudioMixer.h"
#include "platform/Module.h"

namespace plat {

namespace {

constexpr int BASS_OK = 0;
constexpr int BASS_ERROR_FILEOPEN = 2;
constexpr int BASS_ERROR_HANDLE = 5;
constexpr int BASS_ERROR_FILEFORM = 41;
constexpr int BASS_ERROR_ILLPARAM = 20;
constexpr int BASS_ERROR_NOTAVAIL = 37;

struct Channel {
  std::shared_ptr<Voice> voice;
  int rate = 44100;
  int volume = 100;  // 0..100
  int pan = 0;       // -100..100
  bool paused = false;
};

struct Library {
  std::map<DWORD, Channel> channels;
  DWORD nextHandle = 0x10000;
  DWORD streamVolume = 100;  // global volumes, 0..100
  DWORD musicVolume = 100;
  DWORD outputVolume = 100;
  DWORD bufferLength = 500;
  int lastError = BASS_OK;
};

Library& Lib() {
  static Library* lib = new Library();
  return *lib;
}

std::recursive_mutex& Mutex() { return AudioMixer::Get().Lock(); }

void ApplyGains(Channel& c) {
  Library& lib = Lib();
  float gain = static_cast<float>(c.volume) / 100.0f * static_cast<float>(lib.streamVolume) / 100.0f *
               static_cast<float>(lib.outputVolume) / 100.0f;
  float left = gain, right = gain;
  if (c.pan > 0) left *= static_cast<float>(100 - c.pan) / 100.0f;
  if (c.pan < 0) right *= static_cast<float>(100 + c.pan) / 100.0f;
  c.voice->gainLeft = left;
  c.voice->gainRight = right;
}

Channel* Find(DWORD handle) {
  auto it = Lib().channels.find(handle);
  if (it == Lib().channels.end()) {
    Lib().lastError = BASS_ERROR_HANDLE;
    return nullptr;
  }
  Lib().lastError = BASS_OK;
  return &it->second;
}

void FreeAll() {
  for (auto& [handle, channel] : Lib().channels) AudioMixer::Get().RemoveVoice(channel.voice);
  Lib().channels.clear();
}

BOOL Init(int, DWORD, DWORD, void*, const void*) {
  AudioMixer::Get().Start();
  return TRUE;
}

BOOL Free() {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  FreeAll();
  return TRUE;
}

// Stopping the output stops every channel; starting it again plays what is played next.
BOOL Stop() {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  for (auto& [handle, channel] : Lib().channels) {
    channel.voice->playing = false;
    channel.paused = false;
  }
  return TRUE;
}

BOOL Start() { return TRUE; }

BOOL SetVolume(DWORD volume) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  if (volume > 100) return FALSE;
  Lib().outputVolume = volume;
  for (auto& [handle, channel] : Lib().channels) ApplyGains(channel);
  return TRUE;
}

DWORD GetVolume() {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  return Lib().outputVolume;
}

DWORD SetConfig(DWORD option, DWORD value) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  Library& lib = Lib();
  switch (option) {
    case 0: lib.bufferLength = value; return value;
    case BASS_CONFIG_GVOL_STREAM: lib.streamVolume = std::min<DWORD>(value, 100); break;
    case BASS_CONFIG_GVOL_MUSIC: lib.musicVolume = std::min<DWORD>(value, 100); break;
    default: lib.lastError = BASS_ERROR_ILLPARAM; return 0;
  }
  for (auto& [handle, channel] : lib.channels) ApplyGains(channel);
  return value;
}

DWORD GetConfig(DWORD option) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  switch (option) {
    case 0: return Lib().bufferLength;
    case BASS_CONFIG_GVOL_STREAM: return Lib().streamVolume;
    case BASS_CONFIG_GVOL_MUSIC: return Lib().musicVolume;
    default: return 0xFFFFFFFFu;
  }
}

BOOL ChannelStop(DWORD handle) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  c->voice->playing = false;
  c->paused = false;
  return TRUE;
}

BOOL ChannelPlay(DWORD handle, BOOL restart) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  if (restart) c->voice->position = 0;
  c->paused = false;
  c->voice->playing = true;
  return TRUE;
}

BOOL ChannelPause(DWORD handle) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr || !c->voice->playing) return FALSE;
  c->voice->playing = false;
  c->paused = true;
  return TRUE;
}

// A frequency of -1 (or 0: the sound's own rate), a volume of -1 and a pan of -101 leave that
// attribute unchanged.
BOOL ChannelSetAttributes(DWORD handle, int freq, int volume, int pan) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  if (freq == 0) c->voice->frequency = static_cast<std::uint32_t>(c->rate);
  if (freq >= 100 && freq <= 100000) c->voice->frequency = static_cast<std::uint32_t>(freq);
  if (volume >= 0) c->volume = std::min(volume, 100);
  if (pan != -101) c->pan = std::clamp(pan, -100, 100);
  ApplyGains(*c);
  return TRUE;
}

// A byte position in the decoded samples.
BOOL ChannelSetPosition(DWORD handle, QWORD position) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  const SampleBlock& block = *c->voice->block;
  QWORD frame = position / static_cast<QWORD>(block.frameBytes());
  if (frame >= block.frames()) {
    Lib().lastError = BASS_ERROR_ILLPARAM;
    return FALSE;
  }
  c->voice->position = frame << 32;
  return TRUE;
}

DWORD ChannelIsActive(DWORD handle) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return BASS_ACTIVE_STOPPED;
  if (c->paused) return BASS_ACTIVE_PAUSED;
  return c->voice->playing ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
}

BOOL ChannelSetFlags(DWORD handle, DWORD flags) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  c->voice->looping = (flags & BASS_SAMPLE_LOOP) != 0;
  return TRUE;
}

DWORD MusicLoad(BOOL, const void*, QWORD, DWORD, DWORD, DWORD) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  Lib().lastError = BASS_ERROR_FILEFORM;
  return 0;
}

void MusicFree(DWORD handle) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  auto it = Lib().channels.find(handle);
  if (it == Lib().channels.end()) return;
  AudioMixer::Get().RemoveVoice(it->second.voice);
  Lib().channels.erase(it);
}

DWORD MusicSetAttribute(DWORD, DWORD, DWORD) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  Lib().lastError = BASS_ERROR_NOTAVAIL;
  return 0xFFFFFFFFu;
}

DWORD StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
  if (file == nullptr) return 0;
  std::vector<std::uint8_t> bytes;
  if (mem) {
    const auto* p = static_cast<const std::uint8_t*>(file);
    bytes.assign(p + offset, p + offset + length);
  } else if (!ReadSoundFile(static_cast<const char*>(file), bytes)) {
    std::lock_guard<std::recursive_mutex> lock(Mutex());
    Lib().lastError = BASS_ERROR_FILEOPEN;
    return 0;
  } else if (offset > 0 || length > 0) {
    if (offset >= bytes.size()) bytes.clear();
    else bytes = std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                           length > 0 && length < bytes.size() - offset
                                               ? bytes.begin() + static_cast<std::ptrdiff_t>(offset + length)
                                               : bytes.end());
  }
  DecodedSound sound;
  bool decoded = DecodeSoundFile(bytes, sound);
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  if (!decoded) {
    Lib().lastError = BASS_ERROR_FILEFORM;
    return 0;
  }
  Library& lib = Lib();
  DWORD handle = lib.nextHandle++;
  Channel& c = lib.channels[handle];
  c.voice = AudioMixer::Get().AddVoice(sound.block);
  c.rate = sound.rate;
  c.voice->frequency = static_cast<std::uint32_t>(sound.rate);
  c.voice->looping = (flags & BASS_SAMPLE_LOOP) != 0;
  ApplyGains(c);
  lib.lastError = BASS_OK;
  return handle;
}

BOOL StreamFree(DWORD handle) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  auto it = Lib().channels.find(handle);
  if (it == Lib().channels.end()) return FALSE;
  AudioMixer::Get().RemoveVoice(it->second.voice);
  Lib().channels.erase(it);
  return TRUE;
}

int ErrorGetCode() {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  return Lib().lastError;
}

// Functions of the library that this program never calls: present, and answering "not
// available".
DWORD NotAvailable() { return 0; }

template <typename Fn>
FARPROC Export(Fn fn) {
  return reinterpret_cast<FARPROC>(fn);
}

}  // namespace

void RegisterBassModule() {
  ModuleExports exports = {
      {"BASS_Init", Export(&Init)},
      {"BASS_Free", Export(&Free)},
      {"BASS_Stop", Export(&Stop)},
      {"BASS_Start", Export(&Start)},
      {"BASS_SetVolume", Export(&SetVolume)},
      {"BASS_GetVolume", Export(&GetVolume)},
      {"BASS_SetConfig", Export(&SetConfig)},
      {"BASS_GetConfig", Export(&GetConfig)},
      {"BASS_ChannelStop", Export(&ChannelStop)},
      {"BASS_ChannelPlay", Export(&ChannelPlay)},
      {"BASS_ChannelPause", Export(&ChannelPause)},
      {"BASS_ChannelSetAttributes", Export(&ChannelSetAttributes)},
      {"BASS_ChannelSetPosition", Export(&ChannelSetPosition)},
      {"BASS_ChannelIsActive", Export(&ChannelIsActive)},
      {"BASS_ChannelSetFlags", Export(&ChannelSetFlags)},
      {"BASS_MusicLoad", Export(&MusicLoad)},
      {"BASS_MusicFree", Export(&MusicFree)},
      {"BASS_MusicSetAttribute", Export(&MusicSetAttribute)},
      {"BASS_StreamCreateFile", Export(&StreamCreateFile)},
      {"BASS_StreamFree", Export(&StreamFree)},
      {"BASS_ErrorGetCode", Export(&ErrorGetCode)},
  };
  for (const char* name :
       {"BASS_GetInfo", "BASS_GetVersion", "BASS_ChannelGetAttributes", "BASS_ChannelGetPosition",
        "BASS_ChannelSlideAttributes", "BASS_ChannelIsSliding", "BASS_ChannelGetLevel", "BASS_ChannelSetSync",
        "BASS_ChannelRemoveSync", "BASS_ChannelGetData", "BASS_FXSetParameters", "BASS_FXGetParameters",
        "BASS_ChannelSetFX", "BASS_ChannelRemoveFX", "BASS_MusicGetAttribute", "BASS_MusicGetOrders",
        "BASS_MusicGetOrderPosition", "BASS_SampleLoad", "BASS_SampleFree", "BASS_SampleSetInfo", "BASS_SampleGetInfo",
        "BASS_SampleGetChannel", "BASS_SampleStop", "BASS_PluginLoad", "BASS_ChannelGetLength", "BASS_ChannelPreBuf"})
    exports[name] = Export(&NotAvailable);
  RegisterModule("bass.dll", std::move(exports));
}

}  // namespace plat
