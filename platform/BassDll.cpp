// The "bass.dll" stand-in: a table of channels by handle over mixer voices. Short sounds are
// decoded whole; long files and tracker modules play as streams, decoded while they play.
// Files are opened, parsed and first decoded without the library's lock, which is the
// mixer's, so no other thread waits on a load.
#include "platform/BassDll.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/AudioDecode.h"
#include "platform/AudioEffects.h"
#include "platform/AudioMixer.h"
#include "platform/DecoderPlugin.h"
#include "platform/Module.h"

namespace plat {

namespace {

constexpr DWORD kVersion = 0x02040000;  // the newer interface: config calls, six-argument loads
// Files up to this size are decoded whole; longer ones stream.
constexpr std::int64_t kWholeFileLimit = 256 * 1024;

constexpr DWORD kSyncFlags = BASS_SYNC_MIXTIME | BASS_SYNC_ONETIME;

struct Sync {
  DWORD type = 0;   // without the flags
  DWORD flags = 0;  // BASS_SYNC_MIXTIME, BASS_SYNC_ONETIME
  QWORD param = 0;  // positions as the watch counts them (see WatchPosition)
  SYNCPROC proc = nullptr;
  void* user = nullptr;
  bool spent = false;  // a one-time sync on its way to being called
};

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
  // Its syncs, and what their watch saw at the last mixed piece.
  std::map<HSYNC, Sync> syncs;
  QWORD watchPosition = 0;
  std::uint32_t watchEnds = 0;
  DWORD slideAttrib = 0;  // the attribute a slide under way moves; 0: no slide
  bool watchFresh = true;  // the position it is at has not been played over yet
};

// A sync's call, taken from the table under the lock and made without it.
struct Call {
  HSYNC sync;
  DWORD channel;
  DWORD data;
  SYNCPROC proc;
  void* user;
  bool oneTime;
  bool checked;  // called only if the sync is still set when its turn comes
};

struct Plugin {
  void* library = nullptr;
  const QvDecoderPlugin* table = nullptr;
  Plugin(void* lib, const QvDecoderPlugin* t) : library(lib), table(t) {}
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;
  ~Plugin() { CloseSharedLibrary(library); }
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
  HSYNC nextSync = 1;
  std::vector<Call> heard;  // syncs due when the mixed block is handed to the output
  std::map<HPLUGIN, std::shared_ptr<Plugin>> plugins;  // in load order
  HPLUGIN nextPlugin = 1;
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

// Sets the gains at once; a slide under way ends where it was going (not completed).
void ApplyGains(Channel& c) {
  auto [left, right] = GainsOf(c);
  c.voice->gainLeft = c.voice->slideLeft = left;
  c.voice->gainRight = c.voice->slideRight = right;
  c.voice->slideFrames = 0;
  c.slideAttrib = 0;
}

// After a change of a global volume: a channel that is sliding goes on sliding, to where its
// slide now ends.
void ApplyAllGains() {
  for (auto& [handle, channel] : Lib().channels) {
    if (channel.voice->slideFrames == 0) {
      ApplyGains(channel);
      continue;
    }
    auto [left, right] = GainsOf(channel);
    channel.voice->slideLeft = left;
    channel.voice->slideRight = right;
  }
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
  c.voice->history = std::make_unique<VoiceHistory>();
  ApplyGains(c);
  lib.lastError = BASS_OK;
  return handle;
}

// ---- Syncs ----
// The mixer reports each mixed piece (1024 frames at most) to Watch, on the mixing thread and
// without its lock. Watch compares every channel that has syncs with what it saw at the last
// piece (position, end count, slide) and collects the calls due. Mix-time syncs are called
// right away, before the next piece is mixed; the others when the whole block asked of the
// mixer is done, which is when it goes to the output to be heard. No lock of this library is
// held during a call, so a callback may call any function here, on its own channel too; a
// sync that is removed (or whose channel is freed) before its call comes is not called, and
// removing or freeing from another thread waits for a call of it already under way.

// Which syncs are being called, and on which thread.
struct Deliveries {
  std::mutex mutex;
  std::condition_variable done;
  std::vector<std::pair<HSYNC, std::thread::id>> running;
};

Deliveries& Running() {
  static Deliveries* deliveries = new Deliveries();
  return *deliveries;
}

void Deliver(const std::vector<Call>& calls) {
  Deliveries& d = Running();
  const std::thread::id self = std::this_thread::get_id();
  for (const Call& call : calls) {
    if (call.checked) {
      Guard lock(Mutex());
      auto it = Lib().channels.find(call.channel);
      if (it == Lib().channels.end() || it->second.syncs.count(call.sync) == 0) continue;
      std::lock_guard<std::mutex> running(d.mutex);
      d.running.emplace_back(call.sync, self);
    }
    call.proc(call.sync, call.channel, call.data, call.user);
    if (!call.checked) continue;
    if (call.oneTime) {
      Guard lock(Mutex());
      auto it = Lib().channels.find(call.channel);
      if (it != Lib().channels.end()) it->second.syncs.erase(call.sync);
    }
    std::lock_guard<std::mutex> running(d.mutex);
    d.running.erase(std::find(d.running.begin(), d.running.end(), std::make_pair(call.sync, self)));
    d.done.notify_all();
  }
}

// Waits, without the library's lock, until no other thread is calling one of these syncs.
void AwaitDeliveries(const std::vector<HSYNC>& syncs) {
  if (syncs.empty()) return;
  Deliveries& d = Running();
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock<std::mutex> running(d.mutex);
  d.done.wait(running, [&] {
    return std::none_of(d.running.begin(), d.running.end(), [&](const auto& r) {
      return r.second != self && std::find(syncs.begin(), syncs.end(), r.first) != syncs.end();
    });
  });
}

// What freeing channels leaves to do once the lock is let go: wait for calls of their syncs
// under way elsewhere, then call their free syncs.
struct Freed {
  std::vector<HSYNC> syncs;
  std::vector<Call> calls;
  void Finish() {
    AwaitDeliveries(syncs);
    Deliver(calls);
  }
};

void RemoveChannel(std::map<DWORD, Channel>::iterator it, Freed& freed) {
  for (const auto& [id, sync] : it->second.syncs) {
    freed.syncs.push_back(id);
    if (sync.type == BASS_SYNC_FREE) freed.calls.push_back({id, it->first, 0, sync.proc, sync.user, false, false});
  }
  AudioMixer::Get().RemoveVoice(it->second.voice);
  Lib().channels.erase(it);
}

// A channel's position as the watch counts it: frames of the sound (a module: order << 16 | row).
QWORD WatchPosition(const Channel& c) {
  const Voice& v = *c.voice;
  return v.stream ? v.stream->SourcePosition(v.Frame()) : v.Frame();
}

// The channel jumped or starts afresh: the position it is at counts as reached when it plays.
void WatchFromHere(Channel& c) {
  c.watchPosition = WatchPosition(c);
  c.watchFresh = true;
}

// What one piece of playing covered: positions after `from` (at `from` too when fresh) up to
// and with `to`, or, when it went round, on to the end and from the start up to `to`; or, when
// it ended, on to the end.
struct Covered {
  QWORD from, to;
  bool fresh, round, ended;
  // Whether a position in [lo, hi] was reached.
  bool Any(QWORD lo, QWORD hi) const {
    const bool after = fresh ? hi >= from : hi > from;
    if (ended) return after;
    if (round) return after || lo <= to;
    return after && lo <= to;
  }
};

// Modules: `param` is an order in its low word and a row in its high word, 0xFFFF for any.
bool MusicPositionReached(const Covered& c, QWORD param) {
  const QWORD order = param & 0xFFFF, row = (param >> 16) & 0xFFFF;
  constexpr QWORD kAny = 0xFFFF;
  if (order != kAny) return c.Any((order << 16) | (row == kAny ? 0 : row), (order << 16) | (row == kAny ? 0xFFFF : row));
  const QWORD fromOrder = c.from >> 16, toOrder = c.to >> 16;
  const QWORD fromRow = c.from & 0xFFFF, toRow = c.to & 0xFFFF;
  if (row == kAny) return true;  // any row: the piece moved
  const bool inFrom = c.fresh ? row >= fromRow : row > fromRow;  // later in the order it was in
  if (c.ended) return inFrom;
  if (c.round || fromOrder != toOrder) return inFrom || row <= toRow || (!c.round && toOrder > fromOrder + 1);
  return inFrom && row <= toRow;
}

constexpr std::uint32_t kMostCallsPerPiece = 64;  // a tiny loop going round many times

// Under the lock: collects the calls a channel's syncs are due after a piece.
void Observe(DWORD handle, Channel& c, std::vector<Call>& mixTime, std::vector<Call>& heard) {
  const Voice& v = *c.voice;
  Covered covered{c.watchPosition, WatchPosition(c), c.watchFresh, false, false};
  std::uint32_t ends = v.ends - c.watchEnds;
  covered.ended = ends > 0 && !v.playing;
  // A looping stream goes round inside its stream: its position goes back while it plays.
  if (v.stream && v.playing && covered.to < covered.from) ++ends;
  covered.round = ends > 0 && !covered.ended;
  DWORD slid = 0;
  if (c.slideAttrib != 0 && v.slideFrames == 0) {
    slid = c.slideAttrib;
    c.slideAttrib = 0;
  }
  c.watchPosition = covered.to;
  c.watchEnds = v.ends;
  // A channel that starts reaches the position it starts at with its first piece.
  const bool moved = covered.from != covered.to || ends > 0 || (c.watchFresh && v.playing);
  if (!moved && slid == 0) return;
  if (moved) c.watchFresh = false;
  for (auto& [id, sync] : c.syncs) {
    if (sync.spent) continue;
    std::uint32_t times = 0;
    switch (sync.type) {
      case BASS_SYNC_END: times = std::min(ends, kMostCallsPerPiece); break;
      case BASS_SYNC_POS: times = moved && covered.Any(sync.param, sync.param) ? 1 : 0; break;
      case BASS_SYNC_MUSICPOS: times = moved && MusicPositionReached(covered, sync.param) ? 1 : 0; break;
      case BASS_SYNC_SLIDE: times = slid != 0 ? 1 : 0; break;
      default: break;
    }
    if (times == 0) continue;
    const bool oneTime = (sync.flags & BASS_SYNC_ONETIME) != 0;
    if (oneTime) {
      sync.spent = true;
      times = 1;
    }
    const DWORD data = sync.type == BASS_SYNC_SLIDE ? slid : 0;
    auto& list = (sync.flags & BASS_SYNC_MIXTIME) != 0 ? mixTime : heard;
    for (std::uint32_t i = 0; i < times; ++i) list.push_back({id, handle, data, sync.proc, sync.user, oneTime, true});
  }
}

void Watch(bool last) {
  std::vector<Call> now, later;
  {
    Guard lock(Mutex());
    Library& lib = Lib();
    for (auto& [handle, channel] : lib.channels)
      if (!channel.syncs.empty()) Observe(handle, channel, now, lib.heard);
    if (last) later.swap(lib.heard);
  }
  Deliver(now);
  Deliver(later);
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

// Frees every channel, sample and plug-in (a plug-in's library stays loaded while a stream it
// decodes is still being mixed).
BOOL Free() {
  Freed freed;
  std::map<HPLUGIN, std::shared_ptr<Plugin>> plugins;
  {
    Guard lock(Mutex());
    Library& lib = Lib();
    while (!lib.channels.empty()) RemoveChannel(lib.channels.begin(), freed);
    lib.samples.clear();
    lib.heard.clear();
    plugins.swap(lib.plugins);
  }
  freed.Finish();
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
  if (restart || (!c->voice->playing && !c->paused)) WatchFromHere(*c);
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
    WatchFromHere(*c);
    return TRUE;
  }
  QWORD frame = position / c->frameBytes;
  QWORD length = c->voice->stream ? c->voice->stream->Length() : c->voice->block->frames();
  if (length != 0 && frame >= length) return Error(BASS_ERROR_POSITION, FALSE);
  c->voice->SetFrame(frame);
  WatchFromHere(*c);
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
  else c->slideAttrib = volume >= 0 || pan == -101 ? 2 : 3;  // what the slide's sync reports
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
  Freed freed;
  {
    Guard lock(Mutex());
    auto it = Lib().channels.find(handle);
    if (it == Lib().channels.end() || !it->second.module) return;
    RemoveChannel(it, freed);
  }
  freed.Finish();
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

std::unique_ptr<StreamSource> OpenWithPlugins(BOOL mem, const void* file, QWORD offset, QWORD length);

// Files that no built-in decoder reads are offered to the loaded decoder plug-ins.
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
  if (!stream && !whole.block) stream = StartStream(OpenWithPlugins(mem, file, offset, length));
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
  Freed freed;
  {
    Guard lock(Mutex());
    auto it = Lib().channels.find(handle);
    if (it == Lib().channels.end() || it->second.module) return Error(BASS_ERROR_HANDLE, FALSE);
    RemoveChannel(it, freed);
  }
  freed.Finish();
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
  Freed freed;
  {
    Guard lock(Mutex());
    if (Lib().samples.erase(handle) == 0) return Error(BASS_ERROR_HANDLE, FALSE);
    for (auto it = Lib().channels.begin(); it != Lib().channels.end();) {
      auto next = std::next(it);
      if (it->second.sample == handle) RemoveChannel(it, freed);
      it = next;
    }
  }
  freed.Finish();
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

// Sets a sync: END, POS, MUSICPOS (modules), SLIDE, STALL or FREE, with the MIXTIME and
// ONETIME flags. A STALL sync is taken but never called: streams here are decoded on the
// mixing thread just before each piece is mixed, so they never run dry while playing.
HSYNC ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC proc, void* user) {
  Guard lock(Mutex());
  Channel* c = Find(handle);
  if (c == nullptr) return 0;
  const DWORD kind = type & ~kSyncFlags;
  if (proc == nullptr) return Error(BASS_ERROR_ILLPARAM, 0u);
  Sync sync;
  sync.type = kind;
  sync.flags = type & kSyncFlags;
  sync.proc = proc;
  sync.user = user;
  switch (kind) {
    case BASS_SYNC_POS:
      // Modules: order in the low word, row in the high word; others: bytes.
      sync.param = c->module ? ((param & 0xFFFF) << 16) | ((param >> 16) & 0xFFFF) : param / c->frameBytes;
      break;
    case BASS_SYNC_MUSICPOS:
      if (!c->module) return Error(BASS_ERROR_ILLTYPE, 0u);
      sync.param = param & 0xFFFFFFFFu;
      break;
    case BASS_SYNC_END:
    case BASS_SYNC_SLIDE:
    case BASS_SYNC_STALL:
    case BASS_SYNC_FREE: break;
    default: return Error(BASS_ERROR_ILLTYPE, 0u);
  }
  if (c->syncs.empty()) {  // the watch starts from here
    c->watchPosition = WatchPosition(*c);
    c->watchEnds = c->voice->ends;
    c->watchFresh = c->watchFresh && !c->voice->playing && !c->paused;
  }
  const HSYNC id = Lib().nextSync++;
  if (Lib().nextSync == 0) Lib().nextSync = 1;
  c->syncs[id] = sync;
  AudioMixer::Get().SetPieceListener(&Watch);
  return id;
}

// Once it returns, the sync is not called again, nor still being called on another thread.
BOOL ChannelRemoveSync(DWORD handle, HSYNC sync) {
  {
    Guard lock(Mutex());
    Channel* c = Find(handle);
    if (c == nullptr) return FALSE;
    if (c->syncs.erase(sync) == 0) return Error(BASS_ERROR_HANDLE, FALSE);
  }
  AwaitDeliveries({sync});
  return TRUE;
}

// ---- Sample data and spectra ----
// Every channel keeps the latest frames it played (at the output's 44100 Hz, stereo, before
// its volume and pan), which is what its sample data and spectra are taken from.

// The latest `count` frames (older first, -1..1, stereo); silence before what was played.
std::vector<float> LatestFrames(const VoiceHistory& h, std::size_t count) {
  std::vector<float> out(count * 2, 0.0f);
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>({count, h.written, VoiceHistory::kFrames}));
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t frame = h.written - n + i;
    const std::size_t slot = static_cast<std::size_t>(frame & (VoiceHistory::kFrames - 1)) * 2;
    out[(count - n + i) * 2] = h.samples[slot] / 32768.0f;
    out[(count - n + i) * 2 + 1] = h.samples[slot + 1] / 32768.0f;
  }
  return out;
}

// In place, radix 2; the size is a power of two.
void Fft(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const double angle = -2.0 * M_PI / static_cast<double>(len);
    const std::complex<double> step(std::cos(angle), std::sin(angle));
    for (std::size_t i = 0; i < n; i += len) {
      std::complex<double> w(1.0, 0.0);
      for (std::size_t k = 0; k < len / 2; ++k) {
        const std::complex<double> even = a[i + k], odd = a[i + k + len / 2] * w;
        a[i + k] = even + odd;
        a[i + k + len / 2] = even - odd;
        w *= step;
      }
    }
  }
}

// The spectrum of `frames` (stereo, -1..1): Hann-windowed (unless NOWINDOW), of the mono mix
// or of each side (INDIVIDUAL, interleaved). Magnitudes of the first half of the bins, scaled so
// that a full-scale sine at a bin's frequency reads 1 there (capped at 1); COMPLEX gives every
// bin's real and imaginary parts at the same scale instead.
std::vector<float> Spectrum(const std::vector<float>& frames, DWORD flags) {
  const std::size_t n = frames.size() / 2;
  const bool individual = (flags & BASS_DATA_FFT_INDIVIDUAL) != 0;
  const bool complex = (flags & BASS_DATA_FFT_COMPLEX) != 0;
  const std::size_t parts = individual ? 2 : 1, bins = complex ? n : n / 2;
  std::vector<float> out(bins * parts * (complex ? 2 : 1));
  std::vector<std::complex<double>> a(n);
  for (std::size_t part = 0; part < parts; ++part) {
    double mean = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      const double x = individual ? frames[2 * i + part] : (frames[2 * i] + frames[2 * i + 1]) / 2.0;
      a[i] = x;
      mean += x;
    }
    mean /= static_cast<double>(n);
    double weight = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      double w = 1.0;
      if ((flags & BASS_DATA_FFT_NOWINDOW) == 0) w = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / static_cast<double>(n));
      if ((flags & BASS_DATA_FFT_REMOVEDC) != 0) a[i] -= mean;
      a[i] *= w;
      weight += w;
    }
    Fft(a);
    const double scale = 2.0 / weight;
    for (std::size_t k = 0; k < bins; ++k) {
      if (complex) {
        out[(k * parts + part) * 2] = static_cast<float>(a[k].real() * scale);
        out[(k * parts + part) * 2 + 1] = static_cast<float>(a[k].imag() * scale);
      } else {
        out[k * parts + part] = static_cast<float>(std::min(1.0, std::abs(a[k]) * scale));
      }
    }
  }
  return out;
}

// `length`: bytes of sample data wanted (16-bit, or float with BASS_DATA_FLOAT; stereo at
// 44100 Hz), BASS_DATA_AVAILABLE for how many bytes there are, or an FFT size with its flags.
// Gives the bytes written, or -1 (a channel that is not playing: BASS_ERROR_NOPLAY).
DWORD ChannelGetData(DWORD handle, void* buffer, DWORD length) {
  constexpr DWORD kFailed = 0xFFFFFFFFu;
  const bool fft = (length & BASS_DATA_FFT256) != 0;
  std::vector<float> frames;
  {
    Guard lock(Mutex());
    Channel* c = Find(handle);
    if (c == nullptr) return kFailed;
    if (!c->voice->playing && !c->paused) return Error(BASS_ERROR_NOPLAY, kFailed);
    const VoiceHistory& history = *c->voice->history;
    const std::uint64_t have = std::min<std::uint64_t>(history.written, VoiceHistory::kFrames);
    if (fft) {
      const DWORD size = length & 0xF;
      if (size > 5 || (length & 0x7FFFFF00u) != 0) return Error(BASS_ERROR_ILLPARAM, kFailed);
      if (buffer == nullptr) return Error(BASS_ERROR_ILLPARAM, kFailed);
      frames = LatestFrames(history, std::size_t{256} << size);
    } else {
      if ((length & 0xB0000000u) != 0) return Error(BASS_ERROR_ILLPARAM, kFailed);
      const DWORD frameBytes = (length & BASS_DATA_FLOAT) != 0 ? 8 : 4;
      const DWORD bytes = length & ~BASS_DATA_FLOAT;
      if (bytes == BASS_DATA_AVAILABLE) return static_cast<DWORD>(have * frameBytes);
      if (buffer == nullptr) return Error(BASS_ERROR_ILLPARAM, kFailed);
      frames = LatestFrames(history, static_cast<std::size_t>(std::min<std::uint64_t>(bytes / frameBytes, have)));
    }
  }
  if (fft) {
    std::vector<float> spectrum = Spectrum(frames, length);
    std::memcpy(buffer, spectrum.data(), spectrum.size() * sizeof(float));
    return static_cast<DWORD>(spectrum.size() * sizeof(float));
  }
  if ((length & BASS_DATA_FLOAT) != 0) {
    std::memcpy(buffer, frames.data(), frames.size() * sizeof(float));
    return static_cast<DWORD>(frames.size() * sizeof(float));
  }
  auto* out = static_cast<std::int16_t*>(buffer);
  for (std::size_t i = 0; i < frames.size(); ++i)
    out[i] = static_cast<std::int16_t>(std::lround(std::clamp(frames[i] * 32768.0f, -32768.0f, 32767.0f)));
  return static_cast<DWORD>(frames.size() * sizeof(std::int16_t));
}

// ---- Decoder plug-ins ----

// The plug-in file as the decoder sees it: one of ours, through the table's calls.
class PluginSource : public StreamSource {
 public:
  static std::unique_ptr<StreamSource> Open(std::shared_ptr<Plugin> plugin, std::unique_ptr<SoundFile> file) {
    std::unique_ptr<PluginSource> s(new PluginSource(std::move(plugin), std::move(file)));
    QvDecoderFormat format{};
    s->mDecoder = s->mPlugin->table->open(&s->mIo, &format);
    if (s->mDecoder == nullptr) return nullptr;
    if (format.channels < 1 || format.channels > 2 || format.rate < 100 || format.rate > 100000) return nullptr;
    s->mChannels = format.channels;
    s->mRate = format.rate;
    s->mFrames = format.frames;
    return s;
  }
  ~PluginSource() override {
    if (mDecoder != nullptr) mPlugin->table->close(mDecoder);
  }
  int Channels() const override { return mChannels; }
  int Rate() const override { return mRate; }
  std::uint64_t Length() const override { return mFrames; }
  std::uint64_t Position() const override { return mPosition; }
  int Read(std::int16_t* out, int frames, bool) override {
    const int got = std::clamp(mPlugin->table->read(mDecoder, out, frames), 0, frames);
    mPosition += static_cast<std::uint64_t>(got);
    return got;
  }
  bool Seek(std::uint64_t target) override {
    if ((mFrames != 0 && target >= mFrames) || mPlugin->table->seek(mDecoder, target) == 0) return false;
    mPosition = target;
    return true;
  }

 private:
  PluginSource(std::shared_ptr<Plugin> plugin, std::unique_ptr<SoundFile> file)
      : mPlugin(std::move(plugin)), mFile(std::move(file)) {
    mIo.handle = mFile.get();
    mIo.read = [](void* f, void* buffer, std::size_t bytes) { return static_cast<SoundFile*>(f)->Read(buffer, bytes); };
    mIo.seek = [](void* f, std::int64_t offset, int origin) { return static_cast<SoundFile*>(f)->Seek(offset, origin) ? 0 : -1; };
    mIo.tell = [](void* f) { return static_cast<SoundFile*>(f)->Tell(); };
    mIo.size = [](void* f) { return static_cast<SoundFile*>(f)->Size(); };
  }

  std::shared_ptr<Plugin> mPlugin;  // keeps its library loaded
  std::unique_ptr<SoundFile> mFile;
  QvDecoderFile mIo{};
  void* mDecoder = nullptr;
  int mChannels = 1, mRate = 44100;
  std::uint64_t mFrames = 0, mPosition = 0;
};

// Offers a file that no built-in decoder took to each loaded plug-in in turn.
std::unique_ptr<StreamSource> OpenWithPlugins(BOOL mem, const void* file, QWORD offset, QWORD length) {
  std::vector<std::shared_ptr<Plugin>> plugins;
  {
    Guard lock(Mutex());
    for (const auto& [handle, plugin] : Lib().plugins) plugins.push_back(plugin);
  }
  for (const auto& plugin : plugins) {
    std::unique_ptr<SoundFile> f;
    std::vector<std::uint8_t> bytes;
    if (!mem && offset == 0 && length == 0) f = OpenSoundFile(static_cast<const char*>(file));
    else if (ReadNamed(mem, file, offset, length, bytes)) f = MemorySoundFile(std::move(bytes));
    if (!f) return nullptr;
    if (auto source = PluginSource::Open(plugin, std::move(f))) return source;
  }
  return nullptr;
}

// Loads a decoder plug-in (see DecoderPlugin.h). A name without a folder is looked for in the
// current folder. Errors: FILEOPEN (no such file), FILEFORM (not a plug-in), VERSION (another
// version of the plug-in interface), ALREADY (loaded before).
HPLUGIN PluginLoad(const char* file, DWORD flags) {
  auto fail = [](int code) {
    Guard lock(Mutex());
    return Error(code, HPLUGIN{0});
  };
  constexpr DWORD kUnicode = 0x80000000;
  if (file == nullptr || (flags & kUnicode) != 0) return fail(BASS_ERROR_ILLPARAM);
  std::string path = file;
  if (path.find('/') == std::string::npos) path = "./" + path;
  if (access(path.c_str(), R_OK) != 0) return fail(BASS_ERROR_FILEOPEN);
  void* library = OpenSharedLibrary(path, nullptr);
  if (library == nullptr) return fail(BASS_ERROR_FILEFORM);
  auto entry = reinterpret_cast<QvDecoderPluginEntryFn>(SharedLibrarySymbol(library, QV_DECODER_PLUGIN_ENTRY));
  const QvDecoderPlugin* table = entry != nullptr ? entry() : nullptr;
  int refused = BASS_OK;
  if (table == nullptr || table->name == nullptr || table->open == nullptr || table->read == nullptr ||
      table->seek == nullptr || table->close == nullptr)
    refused = BASS_ERROR_FILEFORM;
  else if (table->abi != QV_DECODER_PLUGIN_ABI)
    refused = BASS_ERROR_VERSION;
  if (refused == BASS_OK) {
    Guard lock(Mutex());
    Library& lib = Lib();
    const bool loaded = std::any_of(lib.plugins.begin(), lib.plugins.end(),
                                    [&](const auto& p) { return p.second->library == library; });
    if (!loaded) {
      const HPLUGIN handle = lib.nextPlugin++;
      lib.plugins[handle] = std::make_shared<Plugin>(library, table);
      lib.lastError = BASS_OK;
      return handle;
    }
    refused = BASS_ERROR_ALREADY;
  }
  CloseSharedLibrary(library);  // this load's own reference
  return fail(refused);
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
      {"BASS_ChannelSetSync", Export(&ChannelSetSync)},
      {"BASS_ChannelRemoveSync", Export(&ChannelRemoveSync)},
      {"BASS_ChannelGetData", Export(&ChannelGetData)},
      {"BASS_PluginLoad", Export(&PluginLoad)},
  };
  RegisterModule("bass.dll", std::move(exports));
}

}  // namespace plat
