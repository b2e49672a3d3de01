// The one software mixer behind every sound the program plays: voices over shared sample
// blocks or over streams decoded as they play, each with its own position, rate, gains,
// looping and play state, resampled with a windowed-sinc filter and summed into 44100 Hz
// stereo 16-bit for the SDL audio device. Thread-safe: the audio callback, the main thread and
// the timing thread all reach it. Tests can take the device away and pull the mix themselves.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/AudioEffects.h"

namespace plat {

// Samples of one sound, shared by every voice that plays it.
struct SampleBlock {
  std::vector<std::uint8_t> bytes;
  int channels = 1;       // 1 or 2
  int bitsPerSample = 16; // 8 (unsigned) or 16 (signed, little-endian)
  int frameBytes() const { return channels * bitsPerSample / 8; }
  std::size_t frames() const { return frameBytes() > 0 ? bytes.size() / frameBytes() : 0; }
};

// Decoded audio produced a piece at a time: a file being decoded or a module being rendered.
// Only one thread at a time calls it (its stream's decoding lock).
class StreamSource {
 public:
  virtual ~StreamSource() = default;
  virtual int Channels() const = 0;  // 1 or 2
  virtual int Rate() const = 0;      // frames per second
  // Up to `frames` frames of 16-bit samples (interleaved when stereo); fewer, or 0, at the end.
  // A looping module plays on through its own restart point; other sources ignore `loop`.
  virtual int Read(std::int16_t* out, int frames, bool loop) = 0;
  // Moves to a frame (a module: to an order). False when the target is outside the source.
  virtual bool Seek(std::uint64_t target) = 0;
  // Length in frames (a module: its number of orders); 0 when unknown.
  virtual std::uint64_t Length() const = 0;
  // Where the next Read starts: a frame, or for a module order << 16 | row.
  virtual std::uint64_t Position() const = 0;
  virtual bool IsModule() const { return false; }
};

// The decoded samples a streaming voice plays, kept a little ahead of it. The mixer fills it
// outside its own lock, so decoding and file reading never hold up the other threads; a
// jump asked for under the mixer's lock is only noted here and carried out by the next fill.
class Stream {
 public:
  static constexpr std::size_t kCapacity = 8192;  // stereo frames, a power of two

  explicit Stream(std::unique_ptr<StreamSource> source);
  int Rate() const { return mRate; }
  int Channels() const { return mChannels; }
  std::uint64_t Length() const { return mLength; }
  // Decoded frames waiting to be played.
  std::uint64_t Buffered();

  // Notes a jump (frame, or module order) for the next fill; the voice plays from there.
  void RequestSeek(std::uint64_t target);
  // Decodes until the buffer is full or the source has ended. Takes the decoding lock only.
  void Fill(bool loop);
  // Where the given frame of the voice came from (see StreamSource::Position).
  std::uint64_t SourcePosition(std::uint64_t voiceFrame);

 private:
  friend class AudioMixer;
  friend struct Voice;
  void ResetRing(std::uint64_t target);

  std::mutex mDecodeMutex;  // held while the source decodes or seeks
  std::unique_ptr<StreamSource> mSource;
  std::vector<std::int16_t> mScratch;
  int mRate;
  int mChannels;
  std::uint64_t mLength;
  bool mModule;

  // The ring of decoded stereo frames, and the seek request; guarded by mRingMutex, which
  // is held only to copy samples in or out.
  std::mutex mRingMutex;
  std::vector<std::int16_t> mRing;
  std::uint64_t mStart = 0;  // first frame kept (the voice's history)
  std::uint64_t mEnd = 0;    // one past the last decoded frame
  bool mEnded = false;       // the source has nothing after mEnd
  bool mSeekPending = false;
  std::uint64_t mSeekTarget = 0;
  std::uint64_t mGeneration = 0;  // changes with every seek request
  // Source positions of decoded frames, at most one per filled piece.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> mMarks;
};

// The latest frames a voice played, before its gains, as -32768..32767 floats (stereo).
struct VoiceHistory {
  static constexpr std::size_t kFrames = 8192;  // a power of two
  std::vector<float> samples = std::vector<float>(kFrames * 2, 0.0f);
  std::uint64_t written = 0;  // frames put in so far
  void Put(float left, float right) {
    const std::size_t slot = static_cast<std::size_t>(written++ & (kFrames - 1)) * 2;
    samples[slot] = left;
    samples[slot + 1] = right;
  }
};

// One playing copy. Its fields are read and written only under the mixer's lock.
struct Voice {
  std::shared_ptr<SampleBlock> block;
  std::shared_ptr<Stream> stream;  // set instead of the block for a streaming voice
  std::uint64_t position = 0;  // in frames, 32.32 fixed point
  std::uint32_t frequency = 22050;
  float gainLeft = 1.0f;
  float gainRight = 1.0f;
  bool looping = false;
  bool playing = false;
  bool wrapped = false;  // has looped at least once, so frames before the loop start are its end
  // Loop range in frames; loopEnd 0 means the end of the block.
  std::size_t loopStart = 0;
  std::size_t loopEnd = 0;
  // Peak levels of the last mix, 0..32768.
  std::uint32_t peakLeft = 0, peakRight = 0;
  // A slide of the gains: they reach these values after this many more frames are played.
  float slideLeft = 1.0f, slideRight = 1.0f;
  std::uint32_t slideFrames = 0;
  // Effects run over the voice's frames before its gains.
  EffectChain effects;
  // Times the voice has passed its end: a sound that ends, or a looping sound going round (a
  // looping stream goes round inside its stream, which is not counted here).
  std::uint32_t ends = 0;
  // Set by those who want to read back what the voice plays.
  std::unique_ptr<VoiceHistory> history;

  // Moves the play position to a frame (a stream: to a frame or order of its source).
  void SetFrame(std::uint64_t frame);
  std::uint64_t Frame() const { return position >> 32; }
};

class AudioMixer {
 public:
  static constexpr int kOutputRate = 44100;

  static AudioMixer& Get();

  // Opens the SDL audio device once (a no-op when it is open or pulled by hand). Without a
  // device, a pacing thread consumes mixed audio at real-time speed, so sounds still end.
  void Start();
  // Tests: closes the device and the pacing thread; time then moves only through Mix.
  void SetManualPull(bool manual);

  std::shared_ptr<Voice> AddVoice(std::shared_ptr<SampleBlock> block);
  std::shared_ptr<Voice> AddStreamVoice(std::shared_ptr<Stream> stream);
  void RemoveVoice(const std::shared_ptr<Voice>& voice);

  // Sums every playing voice into `frames` stereo frames (interleaved left, right).
  void Mix(std::int16_t* out, int frames);

  // Final gain of the whole mix (the system's wave-out volume), 0..65535.
  void SetMasterLevel(std::uint32_t level);
  std::uint32_t GetMasterLevel();

  std::recursive_mutex& Lock() { return mMutex; }
  int VoiceCount();

  // Called on the mixing thread after every mixed piece (at most 1024 frames), without the
  // mixer's lock; `last` is true for the piece that completes a Mix call. Voices' end counts and
  // slides can be read there to report events.
  using PieceListener = void (*)(bool last);
  void SetPieceListener(PieceListener listener) { mListener.store(listener); }

 private:
  AudioMixer() = default;
  ~AudioMixer();
  void StopOutput();
  void FillStreams();
  void MixBlock(std::int16_t* out, int frames);
  static void MixStreamVoice(Voice& voice, float* accumulator, int frames);

  std::recursive_mutex mMutex;
  std::mutex mOutputMutex;  // orders Start and StopOutput; never held by the mixing thread
  std::vector<std::shared_ptr<Voice>> mVoices;
  std::vector<float> mAccumulator;
  std::uint32_t mMasterLevel = 65535;
  bool mManual = false;
  struct Output;
  std::unique_ptr<Output> mOutput;
  std::atomic<PieceListener> mListener{nullptr};
};

}  // namespace plat
