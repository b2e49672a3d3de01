// The software mixer and its output (the SDL audio device, or a pacing thread when there is
// no device, or nothing at all when a test pulls the samples itself), its streams and its
// resampling filter.
#include "platform/AudioMixer.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/Crash.h"
#include "platform/Threads.h"

namespace plat {

struct AudioMixer::Output {
  SDL_AudioDeviceID device = 0;
  std::thread pacer;
  std::atomic<bool> stopPacer{false};
};

AudioMixer& AudioMixer::Get() {
  // Never destroyed: the audio thread may still call in while the process ends.
  static AudioMixer* mixer = new AudioMixer();
  return *mixer;
}

AudioMixer::~AudioMixer() { StopOutput(); }

namespace {

void SDLCALL AudioCallback(void* userdata, Uint8* stream, int len) {
  // SDL's audio thread runs the mixer (and the decoders and syncs it calls): a fault there
  // needs a signal stack of that thread's own.
  EnsureCrashSignalStack();
  static_cast<AudioMixer*>(userdata)->Mix(reinterpret_cast<std::int16_t*>(stream), len / 4);
}

}  // namespace

void AudioMixer::Start() {
  // The device's callback runs with SDL's device lock held and then takes the mixer lock,
  // so the device is opened and unpaused without the mixer lock: the other order could
  // deadlock. Starting and stopping are kept apart by their own lock.
  std::lock_guard<std::mutex> outputLock(mOutputMutex);
  {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mManual || mOutput) return;
  }
  auto output = std::make_unique<Output>();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    SDL_AudioSpec want{};
    want.freq = kOutputRate;
    want.format = AUDIO_S16LSB;
    want.channels = 2;
    want.samples = 1024;
    want.callback = AudioCallback;
    want.userdata = this;
    output->device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  }
  Output* started = output.get();
  {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mOutput = std::move(output);
  }
  if (started->device != 0) {
    SDL_PauseAudioDevice(started->device, 0);
    return;
  }
  // No device: consume the mix at real-time speed so that sounds end as they would.
  started->pacer = StartThread([this, started] {
    std::vector<std::int16_t> scratch(2 * kOutputRate / 100);
    auto next = std::chrono::steady_clock::now();
    while (!started->stopPacer.load()) {
      Mix(scratch.data(), kOutputRate / 100);
      next += std::chrono::milliseconds(10);
      std::this_thread::sleep_until(next);
    }
  });
}

void AudioMixer::StopOutput() {
  std::lock_guard<std::mutex> outputLock(mOutputMutex);
  std::unique_ptr<Output> output;
  {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    output = std::move(mOutput);
  }
  if (!output) return;
  // Closing the device waits for its callback, which takes the lock: do it unlocked.
  if (output->device != 0) SDL_CloseAudioDevice(output->device);
  output->stopPacer = true;
  if (output->pacer.joinable()) output->pacer.join();
}

void AudioMixer::SetManualPull(bool manual) {
  if (manual) StopOutput();
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mManual = manual;
}

std::shared_ptr<Voice> AudioMixer::AddVoice(std::shared_ptr<SampleBlock> block) {
  auto voice = std::make_shared<Voice>();
  voice->block = std::move(block);
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mVoices.push_back(voice);
  return voice;
}

std::shared_ptr<Voice> AudioMixer::AddStreamVoice(std::shared_ptr<Stream> stream) {
  auto voice = std::make_shared<Voice>();
  voice->frequency = static_cast<std::uint32_t>(stream->Rate());
  voice->stream = std::move(stream);
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mVoices.push_back(voice);
  return voice;
}

void AudioMixer::RemoveVoice(const std::shared_ptr<Voice>& voice) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mVoices.erase(std::remove(mVoices.begin(), mVoices.end(), voice), mVoices.end());
}

int AudioMixer::VoiceCount() {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  return static_cast<int>(mVoices.size());
}

void AudioMixer::SetMasterLevel(std::uint32_t level) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mMasterLevel = std::min<std::uint32_t>(level, 65535);
}

std::uint32_t AudioMixer::GetMasterLevel() {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  return mMasterLevel;
}

// ---- Streams ----

Stream::Stream(std::unique_ptr<StreamSource> source)
    : mSource(std::move(source)),
      mRate(mSource->Rate()),
      mChannels(mSource->Channels()),
      mLength(mSource->Length()),
      mModule(mSource->IsModule()),
      mRing(kCapacity * 2) {}

void Stream::ResetRing(std::uint64_t target) {
  mSeekPending = true;
  mSeekTarget = target;
  ++mGeneration;
  mStart = mEnd = 0;
  mEnded = false;
  mMarks.clear();
}

std::uint64_t Stream::Buffered() {
  std::lock_guard<std::mutex> ring(mRingMutex);
  return mEnd - mStart;
}

void Stream::RequestSeek(std::uint64_t target) {
  std::lock_guard<std::mutex> ring(mRingMutex);
  ResetRing(target);
}

std::uint64_t Stream::SourcePosition(std::uint64_t voiceFrame) {
  std::lock_guard<std::mutex> ring(mRingMutex);
  if (mSeekPending || mMarks.empty()) return mModule ? mSeekTarget << 16 : mSeekTarget;
  auto mark = mMarks.front();
  for (const auto& m : mMarks)
    if (m.first <= voiceFrame) mark = m;
  // A module reports the order and row of the piece; a file counts frames on from it.
  if (mModule) return mark.second;
  return mark.second + (voiceFrame > mark.first ? voiceFrame - mark.first : 0);
}

void Stream::Fill(bool loop) {
  constexpr std::size_t kPiece = 2048;
  std::lock_guard<std::mutex> decode(mDecodeMutex);
  bool rewind = false;
  int emptyRewinds = 0;
  for (;;) {
    bool seek = false;
    std::uint64_t target = 0, generation, at;
    std::size_t room;
    {
      std::lock_guard<std::mutex> ring(mRingMutex);
      if (mSeekPending) {
        seek = true;
        target = mSeekTarget;
        mSeekPending = false;
      } else if (rewind || mEnded) {
        if (!loop) return;
        seek = true;  // a voice that loops goes on from the start, on the same time line
        mEnded = false;
      }
      rewind = false;
      generation = mGeneration;
      at = mEnd;
      room = kCapacity - static_cast<std::size_t>(mEnd - mStart);
    }
    if (seek && !mSource->Seek(target)) {
      std::lock_guard<std::mutex> ring(mRingMutex);
      if (mGeneration == generation) mEnded = true;
      return;
    }
    if (room < kPiece / 4) return;  // full enough
    const int want = static_cast<int>(std::min(room, kPiece));
    mScratch.resize(static_cast<std::size_t>(want) * 2);
    const std::uint64_t sourceAt = mSource->Position();
    const int got = std::clamp(mSource->Read(mScratch.data(), want, loop), 0, want);
    std::lock_guard<std::mutex> ring(mRingMutex);
    if (mGeneration != generation) continue;  // a new jump came in while decoding
    if (got > 0) {
      mMarks.emplace_back(at, sourceAt);
      while (mMarks.size() > 1 && mMarks[1].first <= mStart) mMarks.erase(mMarks.begin());
      for (int i = 0; i < got; ++i) {
        std::size_t slot = static_cast<std::size_t>((mEnd + static_cast<std::uint64_t>(i)) & (kCapacity - 1)) * 2;
        std::size_t from = static_cast<std::size_t>(i) * static_cast<std::size_t>(mChannels);
        mRing[slot] = mScratch[from];
        mRing[slot + 1] = mScratch[from + (mChannels == 2 ? 1 : 0)];
      }
      mEnd += static_cast<std::uint64_t>(got);
    }
    if (got < want) {
      // The source ran out. A source that gives nothing even from its start ends for good.
      emptyRewinds = got == 0 ? emptyRewinds + 1 : 0;
      if (!loop || emptyRewinds > 1) {
        mEnded = true;
        return;
      }
      rewind = true;
    }
  }
}

void Voice::SetFrame(std::uint64_t frame) {
  wrapped = false;
  effects.Reset();  // what the effects hold belongs to the sound before the jump
  if (stream) {
    stream->RequestSeek(frame);
    position = 0;
  } else {
    position = frame << 32;
  }
}

// ---- Resampling ----

namespace {

// A Kaiser-windowed sinc of 16 taps: frames f-7 .. f+8 around a position f + t. Its cutoff sits
// a little below the source's Nyquist frequency, so that images of what is played up-sampled
// stay well down.
constexpr int kTaps = 16;
constexpr int kHalf = kTaps / 2;
constexpr int kPhases = 256;
constexpr double kCutoff = 1.0;
constexpr double kBeta = 5.0;
constexpr int kKernelSteps = 512;  // table entries per frame of distance

double BesselI0(double x) {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 40; ++k) {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
  }
  return sum;
}

// The filter at a distance d (in source frames) from the position, at a cutoff c of Nyquist.
double Kernel(double d, double c) {
  if (std::fabs(d) >= kHalf) return 0.0;
  double x = d / kHalf;
  double window = BesselI0(kBeta * std::sqrt(1.0 - x * x)) / BesselI0(kBeta);
  double s = d == 0.0 ? 1.0 : std::sin(M_PI * c * d) / (M_PI * c * d);
  return c * s * window;
}

struct Filters {
  // Up-sampling and equal rates: one set of taps per phase (257: the last is the next frame).
  float phase[kPhases + 1][kTaps];
  // Down-sampling: the kernel over distance, stretched by the step when used.
  std::vector<float> kernel;
  Filters() {
    for (int p = 0; p <= kPhases; ++p) {
      double t = static_cast<double>(p) / kPhases, sum = 0.0;
      double taps[kTaps];
      for (int k = 0; k < kTaps; ++k) sum += taps[k] = Kernel(k - (kHalf - 1) - t, kCutoff);
      for (int k = 0; k < kTaps; ++k) phase[p][k] = static_cast<float>(taps[k] / sum);
    }
    kernel.resize(kHalf * kKernelSteps + 2);
    for (std::size_t i = 0; i < kernel.size(); ++i)
      kernel[i] = static_cast<float>(Kernel(static_cast<double>(i) / kKernelSteps, kCutoff));
  }
  float At(double d) const {
    double x = std::fabs(d) * kKernelSteps;
    auto i = static_cast<std::size_t>(x);
    if (i + 1 >= kernel.size()) return 0.0f;
    float f = static_cast<float>(x - static_cast<double>(i));
    return kernel[i] + (kernel[i + 1] - kernel[i]) * f;
  }
};

const Filters& TheFilters() {
  static const Filters filters;
  return filters;
}

// Frames of a sample block as floats, with what lies outside the block: silence, or the
// other end of the loop once the voice has looped.
struct BlockFrames {
  const std::uint8_t* data;
  int channels, bits;
  std::int64_t end, loopStart;
  bool looping, wrapped;

  void Raw(std::int64_t i, float& l, float& r) const {
    const std::uint8_t* p = data + static_cast<std::size_t>(i) * static_cast<std::size_t>(channels * bits / 8);
    if (bits == 16) {
      l = static_cast<std::int16_t>(p[0] | (p[1] << 8));
      r = channels == 2 ? static_cast<std::int16_t>(p[2] | (p[3] << 8)) : l;
    } else {
      l = static_cast<float>((static_cast<int>(p[0]) - 128) * 256);
      r = channels == 2 ? static_cast<float>((static_cast<int>(p[1]) - 128) * 256) : l;
    }
  }
  void Get(std::int64_t i, float& l, float& r) const {
    const std::int64_t span = end - loopStart;
    if (i >= end) {
      if (!looping) { l = r = 0.0f; return; }
      i = loopStart + (i - end) % span;
    } else if (i < loopStart && wrapped && looping && i < end) {
      i = end - 1 - (loopStart - 1 - i) % span;
    }
    if (i < 0) { l = r = 0.0f; return; }
    Raw(i, l, r);
  }
};

// Frames of a stream's ring; what is not there is silence.
struct RingFrames {
  const std::int16_t* ring;
  std::uint64_t start, end;
  void Get(std::int64_t i, float& l, float& r) const {
    if (i < 0 || static_cast<std::uint64_t>(i) < start || static_cast<std::uint64_t>(i) >= end) {
      l = r = 0.0f;
      return;
    }
    std::size_t slot = static_cast<std::size_t>(static_cast<std::uint64_t>(i) & (Stream::kCapacity - 1)) * 2;
    l = ring[slot];
    r = ring[slot + 1];
  }
};

// The value of a voice's sound at frame f plus a fraction (of 2^32), resampled at `step`.
template <typename Frames>
inline void Sample(const Frames& frames, std::int64_t f, std::uint32_t frac, std::uint64_t step, float& l, float& r) {
  if (frac == 0 && step <= (1ull << 32)) {
    frames.Get(f, l, r);
    return;
  }
  const Filters& filters = TheFilters();
  float sl = 0.0f, sr = 0.0f, a, b;
  if (step <= (1ull << 32)) {
    const float* taps = filters.phase[(frac + (1u << 23)) >> 24];
    for (int k = 0; k < kTaps; ++k) {
      frames.Get(f + k - (kHalf - 1), a, b);
      sl += taps[k] * a;
      sr += taps[k] * b;
    }
  } else {
    // Down-sampling: the filter widens with the step, so its cutoff falls to the output's.
    const double scale = static_cast<double>(step) / 4294967296.0;
    const double t = static_cast<double>(frac) / 4294967296.0;
    const int reach = static_cast<int>(std::ceil(kHalf * scale));
    float sum = 0.0f;
    for (int k = -reach + 1; k <= reach; ++k) {
      float w = filters.At((k - t) / scale);
      if (w == 0.0f) continue;
      frames.Get(f + k, a, b);
      sl += w * a;
      sr += w * b;
      sum += w;
    }
    if (sum != 0.0f) {
      sl /= sum;
      sr /= sum;
    }
  }
  l = sl;
  r = sr;
}

// A voice's frames into the mix, scaled by its gains, noting its peaks. With effects, its
// frames are gathered a piece at a time (they come in order from the first) so that the effects
// run over them before the gains; the mixing loops are made once for each kind.
template <bool kEffects>
struct VoiceOutput {
  static constexpr int kPiece = kEffects ? 256 : 1;
  VoiceOutput(float* accumulator, Voice& voice) : acc(accumulator), v(voice) {}
  float* acc;
  Voice& v;
  float peakL = 0.0f, peakR = 0.0f;
  int first = 0, count = 0;
  float piece[2 * kPiece];

  void Add(int i, float l, float r) {
    if constexpr (!kEffects) {
      Emit(i, l, r);
    } else {
      if (count == 0) first = i;
      piece[2 * count] = l;
      piece[2 * count + 1] = r;
      if (++count == kPiece) Flush();
    }
  }
  void Emit(int i, float l, float r) {
    if (v.history) v.history->Put(l, r);  // after effects, before gains
    if (v.slideFrames > 0) {  // gains move a step toward where a slide ends
      v.gainLeft += (v.slideLeft - v.gainLeft) / static_cast<float>(v.slideFrames);
      v.gainRight += (v.slideRight - v.gainRight) / static_cast<float>(v.slideFrames);
      --v.slideFrames;
    }
    l *= v.gainLeft;
    r *= v.gainRight;
    acc[2 * i] += l;
    acc[2 * i + 1] += r;
    peakL = std::max(peakL, std::fabs(l));
    peakR = std::max(peakR, std::fabs(r));
  }
  void Flush() {
    if constexpr (kEffects) {
      v.effects.Process(piece, count);
      for (int k = 0; k < count; ++k) Emit(first + k, piece[2 * k], piece[2 * k + 1]);
      count = 0;
    }
  }
  void Finish() {
    Flush();
    v.peakLeft = static_cast<std::uint32_t>(std::min(peakL, 32768.0f));
    v.peakRight = static_cast<std::uint32_t>(std::min(peakR, 32768.0f));
  }
};

// Runs a voice's mixing loop with the output its effects call for.
template <typename Loop>
void WithOutput(Voice& v, float* acc, Loop loop) {
  if (v.effects.Empty()) loop(VoiceOutput<false>{acc, v});
  else loop(VoiceOutput<true>{acc, v});
}

template <bool kEffects>
void MixBlockVoice(Voice& v, float* acc, int frames) {
  const SampleBlock& b = *v.block;
  const std::size_t total = b.frames();
  const std::size_t end = (v.loopEnd > 0 && v.loopEnd <= total) ? v.loopEnd : total;
  const std::size_t loopStart = v.loopStart < end ? v.loopStart : 0;
  if (end == 0) {
    v.playing = false;
    return;
  }
  BlockFrames source{b.bytes.data(), b.channels, b.bitsPerSample, static_cast<std::int64_t>(end),
                     static_cast<std::int64_t>(loopStart), v.looping, v.wrapped};
  const std::uint64_t step = (static_cast<std::uint64_t>(v.frequency) << 32) / AudioMixer::kOutputRate;
  VoiceOutput<kEffects> out{acc, v};
  for (int i = 0; i < frames; ++i) {
    std::size_t frame = static_cast<std::size_t>(v.position >> 32);
    if (frame >= end) {
      ++v.ends;
      if (!v.looping) {
        v.playing = false;
        v.position = 0;
        v.wrapped = false;
        break;
      }
      std::uint64_t span = static_cast<std::uint64_t>(end - loopStart) << 32;
      v.position = (static_cast<std::uint64_t>(loopStart) << 32) + (v.position - (static_cast<std::uint64_t>(end) << 32)) % span;
      v.wrapped = source.wrapped = true;
      frame = static_cast<std::size_t>(v.position >> 32);
    }
    float l, r;
    Sample(source, static_cast<std::int64_t>(frame), static_cast<std::uint32_t>(v.position), step, l, r);
    out.Add(i, l, r);
    v.position += step;
  }
  out.Finish();
}

void MixBlockVoice(Voice& v, float* acc, int frames) {
  if (v.effects.Empty()) MixBlockVoice<false>(v, acc, frames);
  else MixBlockVoice<true>(v, acc, frames);
}

}  // namespace

// A streaming voice plays what its stream holds; past the end of a stream that has ended it
// stops, and before frames that are still to come it waits (the next fill brings them).
void AudioMixer::MixStreamVoice(Voice& v, float* acc, int frames) {
  Stream& s = *v.stream;
  std::lock_guard<std::mutex> ring(s.mRingMutex);
  if (s.mSeekPending) return;
  RingFrames source{s.mRing.data(), s.mStart, s.mEnd};
  const std::uint64_t step = (static_cast<std::uint64_t>(v.frequency) << 32) / AudioMixer::kOutputRate;
  WithOutput(v, acc, [&](auto out) {
    for (int i = 0; i < frames; ++i) {
      const std::uint64_t frame = v.position >> 32;
      if (frame >= s.mEnd && s.mEnded) {
        ++v.ends;
        v.playing = false;
        v.position = 0;
        s.ResetRing(0);  // played again, it starts from the beginning
        out.Finish();
        return;
      }
      if (frame + kHalf >= s.mEnd && !s.mEnded) break;
      float l, r;
      Sample(source, static_cast<std::int64_t>(frame), static_cast<std::uint32_t>(v.position), step, l, r);
      out.Add(i, l, r);
      v.position += step;
    }
    const std::uint64_t keep = (v.position >> 32) > static_cast<std::uint64_t>(kHalf) ? (v.position >> 32) - kHalf : 0;
    s.mStart = std::min(std::max(s.mStart, keep), s.mEnd);
    out.Finish();
  });
}

void AudioMixer::FillStreams() {
  std::vector<std::pair<std::shared_ptr<Stream>, bool>> streams;
  {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    for (const auto& voice : mVoices)
      if (voice->playing && voice->stream) streams.emplace_back(voice->stream, voice->looping);
  }
  for (auto& [stream, loop] : streams) stream->Fill(loop);
}

void AudioMixer::MixBlock(std::int16_t* out, int frames) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mAccumulator.assign(static_cast<std::size_t>(frames) * 2, 0.0f);
  for (const auto& voice : mVoices) {
    if (!voice->playing) continue;
    if (voice->stream) MixStreamVoice(*voice, mAccumulator.data(), frames);
    else if (voice->block) MixBlockVoice(*voice, mAccumulator.data(), frames);
  }
  const float master = static_cast<float>(mMasterLevel) / 65535.0f;
  for (std::size_t i = 0; i < mAccumulator.size(); ++i) {
    float s = std::clamp(mAccumulator[i] * master, -32768.0f, 32767.0f);
    out[i] = static_cast<std::int16_t>(s < 0.0f ? s - 0.5f : s + 0.5f);  // to the nearest
  }
}

void AudioMixer::Mix(std::int16_t* out, int frames) {
  // In pieces, each with its streams filled first: decoding runs without the mixer's lock.
  constexpr int kBlock = 1024;
  for (int done = 0; done < frames;) {
    const int n = std::min(kBlock, frames - done);
    FillStreams();
    MixBlock(out + 2 * done, n);
    done += n;
    if (PieceListener listener = mListener.load()) listener(done >= frames);
  }
}

}  // namespace plat
