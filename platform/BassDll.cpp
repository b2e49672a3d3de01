// The "bass.dll" stand-in: a table of channels by handle over mixer voices. Short sounds are
// decoded whole; long files and tracker modules play as streams, decoded while they play.
// Files are opened, parsed and first decoded without the library's lock, which is the
// mixer's, so no other thread waits on a load.
#include "platform/BassDll.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/AudioDecode.h"
#include "platform/AudioEffects.h"
#include "platform/AudioMixer.h"
#include "platform/Module.h"

namespace plat {

namespace {

constexpr int BASS_OK = 0;
constexpr int BASS_ERROR_FILEOPEN = 2;
constexpr int BASS_ERROR_HANDLE = 5;
constexpr int BASS_ERROR_POSITION = 7;
constexpr int BASS_ERROR_ILLTYPE = 19;
constexpr int BASS_ERROR_ILLPARAM = 20;
constexpr int BASS_ERROR_NOTAVAIL = 37;
constexpr int BASS_ERROR_FILEFORM = 41;

constexpr DWORD kVersion = 0x02040000;  // the newer interface: config calls, six-argument loads
// Files up to this size are decoded whole; longer ones stream.
constexpr std::int64_t kWholeFileLimit = 256 * 1024;

struct Channel {
  std::shared_ptr<Voice> voice;
  bool module = false;
  int rate = 44100;   // the sound's own rate
  DWORD frameBytes = 4;  // bytes of one frame in positions and lengths
  int volume = 100;   // 0..100
  int pan = 0;        // -100..100
  int amplify = 50;   // modules: 50 plays the module as written, 100 twice as loud
  bool paused = false;
  DWORD sample = 0;   // the sample it was made from, if any
};

struct Sample {
  DecodedSound sound;
  BASS_SAMPLE info;
};

struct Library {
  std::map<DWORD, Channel> channels;
  std::map<DWORD, Sample> samples;
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
using Guard = std::lock_guard<std::recursive_mutex>;

template <typename T>
T Error(int code, T result) {
  Lib().lastError = code;
  return result;
}

// The gains a channel's volume, pan and the global volumes give, left and right.
std::pair<float, float> GainsOf(const Channel& c) {
  Library& lib = Lib();
  const DWORD global = c.module ? lib.musicVolume : lib.streamVolume;
  float gain = static_cast<float>(c.volume) / 100.0f * static_cast<float>(global) / 100.0f *
               static_cast<float>(lib.outputVolume) / 100.0f;
  if (c.module) gain *= static_cast<float>(c.amplify) / 50.0f;
  float left = gain, right = gain;
  if (c.pan > 0) left *= static_cast<float>(100 - c.pan) / 100.0f;
  if (c.pan < 0) right *= static_cast<float>(100 + c.pan) / 100.0f;
  return {left, right};
}

// Sets the gains at once; a slide under way ends where it was going.
void ApplyGains(Channel& c) {
  auto [left, right] = GainsOf(c);
  c.voice->gainLeft = c.voice->slideLeft = left;
  c.voice->gainRight = c.voice->slideRight = right;
  c.voice->slideFrames = 0;
}

void ApplyAllGains() {
  for (auto& [handle, channel] : Lib().channels) ApplyGains(channel);
}

Channel* Find(DWORD handle) {
  auto it = Lib().channels.find(handle);
  if (it == Lib().channels.end()) return Error(BASS_ERROR_HANDLE, nullptr);
  Lib().lastError = BASS_OK;
  return &it->second;
}

// Registers a channel over a voice made outside the lock.
DWORD AddChannel(Channel channel, DWORD flags) {
  Library& lib = Lib();
  DWORD handle = lib.nextHandle++;
  Channel& c = lib.channels[handle] = std::move(channel);
  c.voice->looping = (flags & BASS_SAMPLE_LOOP) != 0;
  ApplyGains(c);
  lib.lastError = BASS_OK;
  return handle;
}

void RemoveChannel(std::map<DWORD, Channel>::iterator it) {
  AudioMixer::Get().RemoveVoice(it->second.voice);
  Lib().channels.erase(it);
}

// A stream over a source, with its first piece decoded: a source that gives no samples at all
// is refused here, before it becomes a channel.
std::shared_ptr<Stream> StartStream(std::unique_ptr<StreamSource> source) {
  if (!source) return nullptr;
  auto stream = std::make_shared<Stream>(std::move(source));
  stream->Fill(false);
  return stream->Buffered() > 0 ? stream : nullptr;
}

// The bytes a call names: a block of memory, or a file (through the sound-file opener).
bool ReadNamed(BOOL mem, const void* file, QWORD offset, QWORD length, std::vector<std::uint8_t>& bytes) {
  if (mem) {
    if (length == 0) return false;
    const auto* p = static_cast<const std::uint8_t*>(file) + offset;
    bytes.assign(p, p + length);
    return true;
  }
  if (!ReadSoundFile(static_cast<const char*>(file), bytes)) return false;
  if (offset > 0 || length > 0) {
    if (offset >= bytes.size()) bytes.clear();
    else bytes = std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                           length > 0 && length < bytes.size() - offset
                                               ? bytes.begin() + static_cast<std::ptrdiff_t>(offset + length)
                                               : bytes.end());
  }
  return true;
}

BOOL Init(int, DWORD, DWORD, void*, const void*) {
  AudioMixer::Get().Start();
  return TRUE;
}

BOOL Free() {
  Guard lock(Mutex());
  for (auto& [handle, channel] : Lib().channels) AudioMixer::Get().RemoveVoice(channel.voice);
  Lib().channels.clear();
  Lib().samples.clear();
  return TRUE;
}

// Stopping the output stops every channel; starting it again plays what is played next.
BOOL Stop() {
  Guard lock(Mutex());
  for (auto& [handle, channel] : Lib().channels) {
    channel.voice->playing = false;
    channel.paused = false;
  }
  return TRUE;
}

BOOL Start() {
  AudioMixer::Get().Start();
  return TRUE;
}

BOOL SetVolume(DWORD volume) {
  Guard lock(Mutex());
  if (volume > 100) return Error(BASS_ERROR_ILLPARAM, FALSE);
  Lib().outputVolume = volume;
  ApplyAllGains();
  return TRUE;
}

DWORD GetVolume() {
  Guard lock(Mutex());
  return Lib().outputVolume;
}

DWORD SetConfig(DWORD option, DWORD value) {
  Guard lock(Mutex());
  Library& lib = Lib();
  switch (option) {
    case 0: lib.bufferLength = value; return value;
    case BASS_CONFIG_GVOL_STREAM: lib.streamVolume = std::min<DWORD>(value, 100); break;
    case BASS_CONFIG_GVOL_MUSIC: lib.musicVolume = std::min<DWORD>(value, 100); break;
    default: return Error(BASS_ERROR_ILLPARAM, 0u);
  }
  ApplyAllGains();
  return value;
}

DWORD GetConfig(DWORD option) {
  Guard lock(Mutex());
  switch (option) {
    case 0: return Lib().bufferLength;
    case BASS_CONFIG_GVOL_STREAM: return Lib().streamVolume;
    case BASS_CONFIG_GVOL_MUSIC: return Lib().musicVolume;
    default: return Error(BASS_ERROR_ILLPARAM, 0xFFFFFFFFu);
  }
}

BOOL GetInfo(BASS_INFO* info) {
  if (info == nullptr) return Error(BASS_ERROR_ILLPARAM, FALSE);
  *info = BASS_INFO{};
  info->minrate = 100;
  info->maxrate = 100000;
  info->freq = AudioMixer::kOutputRate;
  info->speakers = 2;
  return TRUE;
}

DWORD GetVersion() { return kVersion; }

BOOL ChannelStop(DWORD handle) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  c->voice->playing = false;
  c->paused = false;
  return TRUE;
}

BOOL ChannelPlay(DWORD handle, BOOL restart) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  if (restart) c->voice->SetFrame(0);
  c->paused = false;
  c->voice->playing = true;
  return TRUE;
}

BOOL ChannelPause(DWORD handle) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  if (!c->voice->playing) return Error(BASS_ERROR_NOTAVAIL, FALSE);
  c->voice->playing = false;
  c->paused = true;
  return TRUE;
}

// A frequency of -1 (or 0: the sound's own rate), a volume of -1 and a pan of -101 leave that
// attribute unchanged.
void SetAttributes(Channel& c, int freq, int volume, int pan) {
  if (freq == 0) c.voice->frequency = static_cast<std::uint32_t>(c.rate);
  if (freq >= 100 && freq <= 100000) c.voice->frequency = static_cast<std::uint32_t>(freq);
  if (volume >= 0) c.volume = std::min(volume, 100);
  if (pan != -101) c.pan = std::clamp(pan, -100, 100);
}

BOOL ChannelSetAttributes(DWORD handle, int freq, int volume, int pan) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  SetAttributes(*c, freq, volume, pan);
  ApplyGains(*c);
  return TRUE;
}

BOOL ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  if (freq != nullptr) *freq = c->voice->frequency;
  if (volume != nullptr) *volume = static_cast<DWORD>(c->volume);
  if (pan != nullptr) *pan = c->pan;
  return TRUE;
}

// Streams and sounds: a byte position in the decoded samples. Modules: a position whose high
// 32 bits are all set names an order in its low 16 bits (rows other than 0 are not offered).
BOOL ChannelSetPosition(DWORD handle, QWORD position) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  if (c->module) {
    if ((position >> 32) != 0xFFFFFFFFu) return Error(BASS_ERROR_NOTAVAIL, FALSE);
    QWORD order = position & 0xFFFF, row = (position >> 16) & 0x7FFF;
    if (row != 0) return Error(BASS_ERROR_NOTAVAIL, FALSE);
    if (order >= c->voice->stream->Length()) return Error(BASS_ERROR_POSITION, FALSE);
    c->voice->SetFrame(order);
    return TRUE;
  }
  QWORD frame = position / c->frameBytes;
  QWORD length = c->voice->stream ? c->voice->stream->Length() : c->voice->block->frames();
  if (length != 0 && frame >= length) return Error(BASS_ERROR_POSITION, FALSE);
  c->voice->SetFrame(frame);
  return TRUE;
}

// Streams and sounds: bytes played. Modules: the order in the low 16 bits, the row above.
QWORD ChannelGetPosition(DWORD handle) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return ~QWORD{0};
  const Voice& v = *c->voice;
  if (!v.stream) return v.Frame() * c->frameBytes;
  QWORD at = v.stream->SourcePosition(v.Frame());
  if (c->module) return (at >> 16) | ((at & 0xFFFF) << 16);
  return at * c->frameBytes;
}

// Streams and sounds: their length in bytes (0 when a stream cannot tell). Modules: orders.
QWORD ChannelGetLength(DWORD handle) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return ~QWORD{0};
  if (c->module) return c->voice->stream->Length();
  QWORD frames = c->voice->stream ? c->voice->stream->Length() : c->voice->block->frames();
  return frames * c->frameBytes;
}

// Volume and pan glide to their new values over `milliseconds` of playing (-1 and -101 leave
// them); a frequency other than -1 is set at once.
BOOL ChannelSlideAttributes(DWORD handle, int freq, int volume, int pan, DWORD milliseconds) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  SetAttributes(*c, freq, volume, pan);
  auto [left, right] = GainsOf(*c);
  c->voice->slideLeft = left;
  c->voice->slideRight = right;
  c->voice->slideFrames = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(static_cast<std::uint64_t>(milliseconds) * AudioMixer::kOutputRate / 1000, 0xFFFFFFFFu));
  if (c->voice->slideFrames == 0) ApplyGains(*c);
  return TRUE;
}

BOOL ChannelIsSliding(DWORD handle) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  return c != nullptr && c->voice->slideFrames > 0;
}

DWORD ChannelIsActive(DWORD handle) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return BASS_ACTIVE_STOPPED;
  if (c->paused) return BASS_ACTIVE_PAUSED;
  return c->voice->playing ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
}

// The loop bit. Modules also take 0x200 (volume ramping) and 0x8000 (notes stop on a jump),
// which the module player always does.
BOOL ChannelSetFlags(DWORD handle, DWORD flags) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  c->voice->looping = (flags & BASS_SAMPLE_LOOP) != 0;
  return TRUE;
}

// The peak levels of the last mix: left in the low word, right in the high one (0..32768).
DWORD ChannelGetLevel(DWORD handle) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return 0xFFFFFFFFu;
  if (!c->voice->playing) return 0;
  return (std::min<DWORD>(c->voice->peakRight, 32768) << 16) | std::min<DWORD>(c->voice->peakLeft, 32768);
}

// Decodes what a stream can hold now, so that it starts without waiting.
BOOL ChannelPreBuf(DWORD handle) {
  std::shared_ptr<Stream> stream;
  bool loop;
  {
    Guard lock(Mutex());
    Channel* c = Find(handle);
    if (c == nullptr) return FALSE;
    stream = c->voice->stream;
    loop = c->voice->looping;
  }
  if (stream) stream->Fill(loop);
  return TRUE;
}

DWORD MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD) {
  std::vector<std::uint8_t> bytes;
  if (file == nullptr || !ReadNamed(mem, file, offset, length, bytes)) {
    Guard lock(Mutex());
    return Error(BASS_ERROR_FILEOPEN, 0u);
  }
  std::shared_ptr<Stream> stream = StartStream(OpenModuleSource(bytes.data(), bytes.size()));
  Guard lock(Mutex());
  if (!stream) return Error(BASS_ERROR_FILEFORM, 0u);
  Channel c;
  c.module = true;
  c.voice = AudioMixer::Get().AddStreamVoice(stream);
  return AddChannel(std::move(c), flags);
}

void MusicFree(DWORD handle) {
  Guard lock(Mutex());
  auto it = Lib().channels.find(handle);
  if (it == Lib().channels.end() || !it->second.module) return;
  RemoveChannel(it);
}

// Attribute 0 is the module's amplification, 0..100, where 50 plays it as written.
DWORD MusicSetAttribute(DWORD handle, DWORD attrib, DWORD value) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return 0xFFFFFFFFu;
  if (!c->module) return Error(BASS_ERROR_ILLTYPE, 0xFFFFFFFFu);
  if (attrib != 0 || value > 100) return Error(BASS_ERROR_ILLPARAM, 0xFFFFFFFFu);
  DWORD old = static_cast<DWORD>(c->amplify);
  c->amplify = static_cast<int>(value);
  ApplyGains(*c);
  return old;
}

DWORD MusicGetAttribute(DWORD handle, DWORD attrib) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return 0xFFFFFFFFu;
  if (!c->module) return Error(BASS_ERROR_ILLTYPE, 0xFFFFFFFFu);
  if (attrib != 0) return Error(BASS_ERROR_ILLPARAM, 0xFFFFFFFFu);
  return static_cast<DWORD>(c->amplify);
}

DWORD MusicGetOrders(DWORD handle) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return 0xFFFFFFFFu;
  if (!c->module) return Error(BASS_ERROR_ILLTYPE, 0xFFFFFFFFu);
  return static_cast<DWORD>(c->voice->stream->Length());
}

// The order playing in the low word and its row in the high word.
DWORD MusicGetOrderPosition(DWORD handle) {
  QWORD at = ChannelGetPosition(handle);
  Guard lock(Mutex());
  if (at == ~QWORD{0}) return 0xFFFFFFFFu;
  if (!Lib().channels.at(handle).module) return Error(BASS_ERROR_ILLTYPE, 0xFFFFFFFFu);
  return static_cast<DWORD>(at);
}

// A file that decodes whole into a sample block, or null.
std::shared_ptr<SampleBlock> DecodeWhole(const std::vector<std::uint8_t>& bytes, DecodedSound& sound) {
  return DecodeSoundFile(bytes, sound) ? sound.block : nullptr;
}

DWORD StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
  if (file == nullptr) return 0;
  Channel c;
  std::shared_ptr<Stream> stream;
  DecodedSound whole;
  std::unique_ptr<SoundFile> opened;
  if (!mem && offset == 0 && length == 0) {
    opened = OpenSoundFile(static_cast<const char*>(file));
    if (!opened) {
      Guard lock(Mutex());
      return Error(BASS_ERROR_FILEOPEN, 0u);
    }
  }
  if (opened && opened->Size() > kWholeFileLimit) {
    stream = StartStream(OpenStreamSource(std::move(opened)));
  } else {
    std::vector<std::uint8_t> bytes;
    bool read = true;
    if (opened) {
      std::int64_t size = opened->Size();
      bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
      read = size >= 0 && opened->Read(bytes.data(), bytes.size()) == bytes.size();
    } else {
      read = ReadNamed(mem, file, offset, length, bytes);
    }
    if (!read) {
      Guard lock(Mutex());
      return Error(BASS_ERROR_FILEOPEN, 0u);
    }
    if (static_cast<std::int64_t>(bytes.size()) > kWholeFileLimit)
      stream = StartStream(OpenStreamSource(MemorySoundFile(std::move(bytes))));
    else
      DecodeWhole(bytes, whole);
  }
  Guard lock(Mutex());
  if (stream) {
    c.voice = AudioMixer::Get().AddStreamVoice(stream);
    c.rate = stream->Rate();
    c.frameBytes = static_cast<DWORD>(2 * stream->Channels());
  } else if (whole.block) {
    c.voice = AudioMixer::Get().AddVoice(whole.block);
    c.voice->frequency = static_cast<std::uint32_t>(whole.rate);
    c.rate = whole.rate;
    c.frameBytes = static_cast<DWORD>(whole.block->frameBytes());
  } else {
    return Error(BASS_ERROR_FILEFORM, 0u);
  }
  return AddChannel(std::move(c), flags);
}

BOOL StreamFree(DWORD handle) {
  Guard lock(Mutex());
  auto it = Lib().channels.find(handle);
  if (it == Lib().channels.end() || it->second.module) return Error(BASS_ERROR_HANDLE, FALSE);
  RemoveChannel(it);
  return TRUE;
}

// ---- Samples: sounds decoded whole, played on as many channels as asked ----

DWORD SampleLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD max, DWORD flags) {
  std::vector<std::uint8_t> bytes;
  DecodedSound sound;
  bool read = file != nullptr && ReadNamed(mem, file, offset, length, bytes);
  bool decoded = read && DecodeSoundFile(bytes, sound);
  Guard lock(Mutex());
  if (!read) return Error(BASS_ERROR_FILEOPEN, 0u);
  if (!decoded) return Error(BASS_ERROR_FILEFORM, 0u);
  DWORD handle = Lib().nextHandle++;
  Sample& s = Lib().samples[handle];
  s.sound = sound;
  s.info.freq = static_cast<DWORD>(sound.rate);
  s.info.volume = 100;
  s.info.flags = flags;
  s.info.length = static_cast<DWORD>(sound.block->bytes.size());
  s.info.max = std::max<DWORD>(max, 1);
  s.info.chans = static_cast<DWORD>(sound.block->channels);
  Lib().lastError = BASS_OK;
  return handle;
}

DWORD SampleGetChannel(DWORD handle, BOOL) {
  Guard lock(Mutex());
  auto it = Lib().samples.find(handle);
  if (it == Lib().samples.end()) return Error(BASS_ERROR_HANDLE, 0u);
  const Sample& s = it->second;
  DWORD used = static_cast<DWORD>(std::count_if(Lib().channels.begin(), Lib().channels.end(),
                                                [&](const auto& entry) { return entry.second.sample == handle; }));
  if (used >= s.info.max) return Error(BASS_ERROR_NOTAVAIL, 0u);
  Channel c;
  c.voice = AudioMixer::Get().AddVoice(s.sound.block);
  c.voice->frequency = std::clamp<DWORD>(s.info.freq, 100, 100000);
  c.rate = s.sound.rate;
  c.frameBytes = static_cast<DWORD>(s.sound.block->frameBytes());
  c.volume = static_cast<int>(std::min<DWORD>(s.info.volume, 100));
  c.pan = std::clamp(s.info.pan, -100, 100);
  c.sample = handle;
  return AddChannel(std::move(c), s.info.flags);
}

BOOL SampleStop(DWORD handle) {
  Guard lock(Mutex());
  if (Lib().samples.count(handle) == 0) return Error(BASS_ERROR_HANDLE, FALSE);
  for (auto& [h, channel] : Lib().channels)
    if (channel.sample == handle) channel.voice->playing = channel.paused = false;
  return TRUE;
}

BOOL SampleFree(DWORD handle) {
  Guard lock(Mutex());
  if (Lib().samples.erase(handle) == 0) return Error(BASS_ERROR_HANDLE, FALSE);
  for (auto it = Lib().channels.begin(); it != Lib().channels.end();) {
    auto next = std::next(it);
    if (it->second.sample == handle) RemoveChannel(it);
    it = next;
  }
  return TRUE;
}

BOOL SampleGetInfo(DWORD handle, BASS_SAMPLE* info) {
  Guard lock(Mutex());
  auto it = Lib().samples.find(handle);
  if (it == Lib().samples.end() || info == nullptr) return Error(BASS_ERROR_HANDLE, FALSE);
  *info = it->second.info;
  return TRUE;
}

// Rate, volume, pan, flags and channel count apply to channels made from then on.
BOOL SampleSetInfo(DWORD handle, const BASS_SAMPLE* info) {
  Guard lock(Mutex());
  auto it = Lib().samples.find(handle);
  if (it == Lib().samples.end() || info == nullptr) return Error(BASS_ERROR_HANDLE, FALSE);
  BASS_SAMPLE& s = it->second.info;
  s.freq = info->freq;
  s.volume = info->volume;
  s.pan = info->pan;
  s.flags = info->flags;
  s.max = std::max<DWORD>(info->max, 1);
  return TRUE;
}

int ErrorGetCode() {
  Guard lock(Mutex());
  return Lib().lastError;
}

// ---- Effects: a chain on each channel's voice, run over its frames before volume and pan ----

// A new effect is made (its delay lines allocated) before the lock is taken; one that is not
// wanted is freed after it is let go.
DWORD ChannelSetFX(DWORD handle, DWORD type, int priority) {
  std::unique_ptr<AudioEffect> effect = MakeAudioEffect(type, AudioMixer::kOutputRate);
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return 0;
  if (!effect) return Error(BASS_ERROR_ILLTYPE, 0u);
  DWORD fx = Lib().nextHandle++;
  c->voice->effects.Insert(fx, priority, std::move(effect));
  return fx;
}

BOOL ChannelRemoveFX(DWORD handle, DWORD fx) {
  std::unique_ptr<AudioEffect> removed;  // freed once the lock is let go
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return FALSE;
  removed = c->voice->effects.Remove(fx);
  if (!removed) return Error(BASS_ERROR_HANDLE, FALSE);
  return TRUE;
}

AudioEffect* FindEffect(DWORD fx) {
  for (auto& [handle, channel] : Lib().channels)
    if (AudioEffect* effect = channel.voice->effects.Find(fx)) {
      Lib().lastError = BASS_OK;
      return effect;
    }
  return Error(BASS_ERROR_HANDLE, nullptr);
}

// The parameter block of the effect's type; a value out of range changes nothing.
BOOL FXSetParameters(DWORD fx, const void* params) {
  Guard lock(Mutex());
  AudioEffect* effect = FindEffect(fx);
  if (effect == nullptr) return FALSE;
  if (params == nullptr || !effect->SetParameters(params)) return Error(BASS_ERROR_ILLPARAM, FALSE);
  return TRUE;
}

BOOL FXGetParameters(DWORD fx, void* params) {
  Guard lock(Mutex());
  AudioEffect* effect = FindEffect(fx);
  if (effect == nullptr) return FALSE;
  if (params == nullptr) return Error(BASS_ERROR_ILLPARAM, FALSE);
  effect->GetParameters(params);
  return TRUE;
}

// What this library does not offer (syncs, sample data, plug-ins) answers
// failure with "not available", never success.
DWORD NotAvailable() {
  Guard lock(Mutex());
  return Error(BASS_ERROR_NOTAVAIL, 0u);
}

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
      {"BASS_GetInfo", Export(&GetInfo)},
      {"BASS_GetVersion", Export(&GetVersion)},
      {"BASS_ChannelStop", Export(&ChannelStop)},
      {"BASS_ChannelPlay", Export(&ChannelPlay)},
      {"BASS_ChannelPause", Export(&ChannelPause)},
      {"BASS_ChannelSetAttributes", Export(&ChannelSetAttributes)},
      {"BASS_ChannelGetAttributes", Export(&ChannelGetAttributes)},
      {"BASS_ChannelSetPosition", Export(&ChannelSetPosition)},
      {"BASS_ChannelGetPosition", Export(&ChannelGetPosition)},
      {"BASS_ChannelGetLength", Export(&ChannelGetLength)},
      {"BASS_ChannelIsActive", Export(&ChannelIsActive)},
      {"BASS_ChannelSlideAttributes", Export(&ChannelSlideAttributes)},
      {"BASS_ChannelIsSliding", Export(&ChannelIsSliding)},
      {"BASS_ChannelSetFlags", Export(&ChannelSetFlags)},
      {"BASS_ChannelGetLevel", Export(&ChannelGetLevel)},
      {"BASS_ChannelPreBuf", Export(&ChannelPreBuf)},
      {"BASS_MusicLoad", Export(&MusicLoad)},
      {"BASS_MusicFree", Export(&MusicFree)},
      {"BASS_MusicGetAttribute", Export(&MusicGetAttribute)},
      {"BASS_MusicSetAttribute", Export(&MusicSetAttribute)},
      {"BASS_MusicGetOrders", Export(&MusicGetOrders)},
      {"BASS_MusicGetOrderPosition", Export(&MusicGetOrderPosition)},
      {"BASS_StreamCreateFile", Export(&StreamCreateFile)},
      {"BASS_StreamFree", Export(&StreamFree)},
      {"BASS_SampleLoad", Export(&SampleLoad)},
      {"BASS_SampleFree", Export(&SampleFree)},
      {"BASS_SampleGetChannel", Export(&SampleGetChannel)},
      {"BASS_SampleStop", Export(&SampleStop)},
      {"BASS_SampleGetInfo", Export(&SampleGetInfo)},
      {"BASS_SampleSetInfo", Export(&SampleSetInfo)},
      {"BASS_ErrorGetCode", Export(&ErrorGetCode)},
      {"BASS_ChannelSetFX", Export(&ChannelSetFX)},
      {"BASS_ChannelRemoveFX", Export(&ChannelRemoveFX)},
      {"BASS_FXSetParameters", Export(&FXSetParameters)},
      {"BASS_FXGetParameters", Export(&FXGetParameters)},
  };
  for (const char* name : {"BASS_ChannelSetSync", "BASS_ChannelRemoveSync", "BASS_ChannelGetData", "BASS_PluginLoad"})
    exports[name] = Export(&NotAvailable);
  RegisterModule("bass.dll", std::move(exports));
}

}  // namespace plat
