// The "fmod.dll" stand-in: samples as shared mixer blocks, channels as mixer voices, streams
// and modules as streaming voices (opened and first decoded without the mixer's lock).
#include "platform/FModDll.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/AudioDecode.h"
#include "platform/AudioMixer.h"
#include "platform/Module.h"

namespace plat {

struct FSOUND_SAMPLE {
  std::shared_ptr<SampleBlock> block;
  int rate = 44100;
  DWORD mode = 0;
  std::size_t loopStart = 0;
  std::size_t loopEnd = 0;  // exclusive; 0 means the end
};

struct FMUSIC_MODULE {
  std::shared_ptr<Voice> voice;
  int volume = 100;
  bool paused = false;
};

struct FSOUND_STREAM {
  std::shared_ptr<Stream> stream;
  int channel = -1;
};

namespace {

struct FChannel {
  std::shared_ptr<Voice> voice;
  int volume = 100;
  bool paused = false;
  FSOUND_STREAM* stream = nullptr;  // the stream it plays, if any
};

std::array<FChannel, FSOUND_CHANNELS>& Channels() {
  static auto* channels = new std::array<FChannel, FSOUND_CHANNELS>();
  return *channels;
}

std::recursive_mutex& Mutex() { return AudioMixer::Get().Lock(); }

FChannel* FindChannel(int channel) {
  if (channel < 0 || channel >= FSOUND_CHANNELS || !Channels()[static_cast<std::size_t>(channel)].voice) return nullptr;
  return &Channels()[static_cast<std::size_t>(channel)];
}

void ApplyVolume(FChannel& c) {
  float gain = static_cast<float>(std::clamp(c.volume, 0, 100)) / 100.0f;
  c.voice->gainLeft = c.voice->gainRight = gain;
}

void StopChannel(FChannel& c) {
  if (c.voice) AudioMixer::Get().RemoveVoice(c.voice);
  if (c.stream != nullptr) c.stream->channel = -1;
  c = FChannel{};
}

// A stream over a source with its first piece decoded, or null when nothing decodes.
std::shared_ptr<Stream> StartStream(std::unique_ptr<StreamSource> source) {
  if (!source) return nullptr;
  auto stream = std::make_shared<Stream>(std::move(source));
  stream->Fill(false);
  return stream->Buffered() > 0 ? stream : nullptr;
}

BOOL SetBufferSize(int) { return TRUE; }
BOOL SetHWND(void*) { return TRUE; }
BOOL Init(int, int, DWORD) {
  AudioMixer::Get().Start();
  return TRUE;
}

void Close() {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  for (auto& c : Channels()) StopChannel(c);
}

FSOUND_SAMPLE* SampleLoad(int, const char* name, DWORD, int) {
  if (name == nullptr) return nullptr;
  std::vector<std::uint8_t> bytes;
  DecodedSound sound;
  if (!ReadSoundFile(name, bytes) || !DecodeSoundFile(bytes, sound)) return nullptr;
  auto* sample = new FSOUND_SAMPLE();
  sample->block = sound.block;
  sample->rate = sound.rate;
  sample->mode = FSOUND_LOOP_OFF | (sound.block->bitsPerSample == 8 ? FSOUND_8BITS : FSOUND_16BITS) |
                 (sound.block->channels == 1 ? FSOUND_MONO : FSOUND_STEREO);
  return sample;
}

FSOUND_SAMPLE* SampleAlloc(int, int frames, DWORD mode, int freq, int, int, int) {
  int channels = (mode & FSOUND_MONO) ? 1 : 2;
  int bits = (mode & FSOUND_8BITS) ? 8 : 16;
  if (frames <= 0 || freq < 100 || freq > 100000 || static_cast<std::size_t>(frames) > 0x0FFFFFFFu / 4) return nullptr;
  auto* sample = new (std::nothrow) FSOUND_SAMPLE();
  if (sample == nullptr) return nullptr;
  sample->block = std::make_shared<SampleBlock>();
  sample->block->channels = channels;
  sample->block->bitsPerSample = bits;
  sample->block->bytes.assign(static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels * bits / 8),
                              bits == 8 ? 0x80 : 0);
  sample->rate = freq;
  sample->mode = mode;
  return sample;
}

void SampleFree(FSOUND_SAMPLE* sample) { delete sample; }

BOOL SampleLock(FSOUND_SAMPLE* sample, int offset, int length, void** ptr1, void** ptr2, DWORD* len1, DWORD* len2) {
  if (sample == nullptr || ptr1 == nullptr || len1 == nullptr || offset < 0 || length <= 0) return FALSE;
  std::size_t size = sample->block->bytes.size();
  if (static_cast<std::size_t>(offset) >= size || static_cast<std::size_t>(length) > size - offset) return FALSE;
  *ptr1 = sample->block->bytes.data() + offset;
  *len1 = static_cast<DWORD>(length);
  if (ptr2 != nullptr) *ptr2 = nullptr;
  if (len2 != nullptr) *len2 = 0;
  return TRUE;
}

BOOL SampleUnlock(FSOUND_SAMPLE* sample, void* ptr1, void*, DWORD, DWORD) { return sample != nullptr && ptr1 != nullptr; }

BOOL SampleSetLoopPoints(FSOUND_SAMPLE* sample, int start, int end) {
  if (sample == nullptr || start < 0 || end < start || static_cast<std::size_t>(end) >= sample->block->frames())
    return FALSE;
  sample->loopStart = static_cast<std::size_t>(start);
  sample->loopEnd = static_cast<std::size_t>(end) + 1;
  return TRUE;
}

DWORD SampleGetLength(FSOUND_SAMPLE* sample) {
  return sample == nullptr ? 0 : static_cast<DWORD>(sample->block->frames());
}

BOOL SampleGetDefaults(FSOUND_SAMPLE* sample, int* freq, int* vol, int* pan, int* priority) {
  if (sample == nullptr) return FALSE;
  if (freq != nullptr) *freq = sample->rate;
  if (vol != nullptr) *vol = 255;
  if (pan != nullptr) *pan = 128;
  if (priority != nullptr) *priority = 0;
  return TRUE;
}

DWORD SampleGetMode(FSOUND_SAMPLE* sample) { return sample == nullptr ? 0 : sample->mode; }

int PlaySound(int channel, FSOUND_SAMPLE* sample) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  if (sample == nullptr || channel < 0 || channel >= FSOUND_CHANNELS) return -1;
  FChannel& c = Channels()[static_cast<std::size_t>(channel)];
  StopChannel(c);
  c.voice = AudioMixer::Get().AddVoice(sample->block);
  c.voice->frequency = static_cast<std::uint32_t>(sample->rate);
  c.voice->looping = (sample->mode & FSOUND_LOOP_NORMAL) != 0;
  c.voice->loopStart = sample->loopStart;
  c.voice->loopEnd = sample->loopEnd;
  ApplyVolume(c);
  c.voice->playing = true;
  return channel;
}

BOOL StopSound(int channel) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  FChannel* c = FindChannel(channel);
  if (c == nullptr) return FALSE;
  StopChannel(*c);
  return TRUE;
}

// Volumes run from 0 to 100; higher values play at full volume.
BOOL SetVolume(int channel, int volume) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  FChannel* c = FindChannel(channel);
  if (c == nullptr) return FALSE;
  c->volume = volume;
  ApplyVolume(*c);
  return TRUE;
}

BOOL SetPaused(int channel, int paused) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  FChannel* c = FindChannel(channel);
  if (c == nullptr) return FALSE;
  if (paused && c->voice->playing) {
    c->voice->playing = false;
    c->paused = true;
  } else if (!paused && c->paused) {
    c->voice->playing = true;
    c->paused = false;
  }
  return TRUE;
}

BOOL SetLoopMode(int channel, DWORD mode) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  FChannel* c = FindChannel(channel);
  if (c == nullptr) return FALSE;
  c->voice->looping = (mode & FSOUND_LOOP_NORMAL) != 0;
  return TRUE;
}

BOOL IsPlaying(int channel) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  FChannel* c = FindChannel(channel);
  return c != nullptr && c->voice->playing;
}

// Channel -1 (FSOUND_FREE) takes the first channel that is not playing.
int PickChannel(int channel) {
  if (channel != FSOUND_FREE) return channel >= 0 && channel < FSOUND_CHANNELS ? channel : -1;
  for (int i = 0; i < FSOUND_CHANNELS; ++i) {
    const FChannel& c = Channels()[static_cast<std::size_t>(i)];
    if (!c.voice || (!c.voice->playing && !c.paused)) return i;
  }
  return -1;
}

FSOUND_STREAM* StreamOpenFile(const char* name, DWORD, int) {
  if (name == nullptr) return nullptr;
  std::shared_ptr<Stream> stream = StartStream(OpenStreamSource(OpenSoundFile(name)));
  if (!stream) return nullptr;
  auto* s = new FSOUND_STREAM();
  s->stream = std::move(stream);
  return s;
}

int StreamPlay(int channel, FSOUND_STREAM* stream) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  if (stream == nullptr) return -1;
  // A stream plays on one channel at a time: playing it again moves it.
  if (stream->channel >= 0) StopChannel(Channels()[static_cast<std::size_t>(stream->channel)]);
  int index = PickChannel(channel);
  if (index < 0) return -1;
  FChannel& c = Channels()[static_cast<std::size_t>(index)];
  StopChannel(c);
  c.voice = AudioMixer::Get().AddStreamVoice(stream->stream);
  c.voice->SetFrame(0);
  c.stream = stream;
  stream->channel = index;
  ApplyVolume(c);
  c.voice->playing = true;
  return index;
}

BOOL StreamClose(FSOUND_STREAM* stream) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  if (stream == nullptr) return FALSE;
  if (stream->channel >= 0) StopChannel(Channels()[static_cast<std::size_t>(stream->channel)]);
  delete stream;
  return TRUE;
}

// ---- Modules ----

void ApplyModuleVolume(FMUSIC_MODULE& m) {
  m.voice->gainLeft = m.voice->gainRight = static_cast<float>(std::clamp(m.volume, 0, 100)) / 100.0f;
}

FMUSIC_MODULE* LoadSong(const char* name) {
  std::vector<std::uint8_t> bytes;
  if (name == nullptr || !ReadSoundFile(name, bytes)) return nullptr;
  std::shared_ptr<Stream> stream = StartStream(OpenModuleSource(bytes.data(), bytes.size()));
  if (!stream) return nullptr;
  auto* m = new FMUSIC_MODULE();
  m->voice = AudioMixer::Get().AddStreamVoice(std::move(stream));
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  m->voice->looping = true;
  ApplyModuleVolume(*m);
  return m;
}

BOOL FreeSong(FMUSIC_MODULE* m) {
  if (m == nullptr) return FALSE;
  AudioMixer::Get().RemoveVoice(m->voice);
  delete m;
  return TRUE;
}

BOOL PlaySong(FMUSIC_MODULE* m) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  if (m == nullptr) return FALSE;
  m->voice->SetFrame(0);
  m->paused = false;
  m->voice->playing = true;
  return TRUE;
}

BOOL StopSong(FMUSIC_MODULE* m) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  if (m == nullptr) return FALSE;
  m->voice->playing = m->paused = false;
  return TRUE;
}

// 1 plays the song once, 2 loops it (the codes of FSOUND_SetLoopMode).
BOOL SetLooping(FMUSIC_MODULE* m, int mode) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  if (m == nullptr) return FALSE;
  m->voice->looping = mode == static_cast<int>(FSOUND_LOOP_NORMAL);
  return TRUE;
}

BOOL SetOrder(FMUSIC_MODULE* m, int order) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  if (m == nullptr || order < 0 || static_cast<std::uint64_t>(order) >= m->voice->stream->Length()) return FALSE;
  m->voice->SetFrame(static_cast<std::uint64_t>(order));
  return TRUE;
}

BOOL SetSongPaused(FMUSIC_MODULE* m, int paused) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  if (m == nullptr) return FALSE;
  if (paused && m->voice->playing) {
    m->voice->playing = false;
    m->paused = true;
  } else if (!paused && m->paused) {
    m->voice->playing = true;
    m->paused = false;
  }
  return TRUE;
}

// 0..100; higher values play at full volume.
BOOL SetMasterVolume(FMUSIC_MODULE* m, int volume) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  if (m == nullptr) return FALSE;
  m->volume = volume;
  ApplyModuleVolume(*m);
  return TRUE;
}

BOOL SongIsPlaying(FMUSIC_MODULE* m) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  return m != nullptr && m->voice->playing;
}

template <typename Fn>
FARPROC Export(Fn fn) {
  return reinterpret_cast<FARPROC>(fn);
}

}  // namespace

void RegisterFModModule() {
  RegisterModule("fmod.dll", {
                                 {"_FSOUND_SetBufferSize@4", Export(&SetBufferSize)},
                                 {"_FSOUND_SetHWND@4", Export(&SetHWND)},
                                 {"_FSOUND_Init@12", Export(&Init)},
                                 {"_FSOUND_Close@0", Export(&Close)},
                                 {"_FSOUND_Sample_Load@16", Export(&SampleLoad)},
                                 {"_FSOUND_Sample_Alloc@28", Export(&SampleAlloc)},
                                 {"_FSOUND_Sample_Free@4", Export(&SampleFree)},
                                 {"_FSOUND_Sample_Lock@28", Export(&SampleLock)},
                                 {"_FSOUND_Sample_Unlock@20", Export(&SampleUnlock)},
                                 {"_FSOUND_Sample_SetLoopPoints@12", Export(&SampleSetLoopPoints)},
                                 {"_FSOUND_Sample_GetLength@4", Export(&SampleGetLength)},
                                 {"_FSOUND_Sample_GetDefaults@20", Export(&SampleGetDefaults)},
                                 {"_FSOUND_Sample_GetMode@4", Export(&SampleGetMode)},
                                 {"_FSOUND_PlaySound@8", Export(&PlaySound)},
                                 {"_FSOUND_StopSound@4", Export(&StopSound)},
                                 {"_FSOUND_SetVolume@8", Export(&SetVolume)},
                                 {"_FSOUND_SetPaused@8", Export(&SetPaused)},
                                 {"_FSOUND_SetLoopMode@8", Export(&SetLoopMode)},
                                 {"_FSOUND_IsPlaying@4", Export(&IsPlaying)},
                                 {"_FSOUND_Stream_OpenFile@12", Export(&StreamOpenFile)},
                                 {"_FSOUND_Stream_Close@4", Export(&StreamClose)},
                                 {"_FSOUND_Stream_Play@8", Export(&StreamPlay)},
                                 {"_FMUSIC_LoadSong@4", Export(&LoadSong)},
                                 {"_FMUSIC_FreeSong@4", Export(&FreeSong)},
                                 {"_FMUSIC_PlaySong@4", Export(&PlaySong)},
                                 {"_FMUSIC_StopSong@4", Export(&StopSong)},
                                 {"_FMUSIC_SetLooping@8", Export(&SetLooping)},
                                 {"_FMUSIC_SetOrder@8", Export(&SetOrder)},
                                 {"_FMUSIC_SetPaused@8", Export(&SetSongPaused)},
                                 {"_FMUSIC_SetMasterVolume@8", Export(&SetMasterVolume)},
                                 {"_FMUSIC_IsPlaying@4", Export(&SongIsPlaying)},
                             });
}

}  // namespace plat
