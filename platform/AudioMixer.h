// The one software mixer behind every sound the program plays: voices over shared sample
// blocks, each with its own position, rate, gains, looping and play state, summed into
// 44100 Hz stereo 16-bit for the SDL audio device. Thread-safe: the audio callback, the main
// thread and the timing thread all reach it. Tests can take the device away and pull the
// mixed samples themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace plat {

// Samples of one sound, shared by every voice that plays it.
struct SampleBlock {
  std::vector<std::uint8_t> bytes;
  int channels = 1;       // 1 or 2
  int bitsPerSample = 16; // 8 (unsigned) or 16 (signed, little-endian)
  int frameBytes() const { return channels * bitsPerSample / 8; }
  std::size_t frames() const { return frameBytes() > 0 ? bytes.size() / frameBytes() : 0; }
};

// One playing copy. Its fields are read and written only under the mixer's lock.
struct Voice {
  std::shared_ptr<SampleBlock> block;
  std::uint64_t position = 0;  // in frames, 32.32 fixed point
  std::uint32_t frequency = 22050;
  float gainLeft = 1.0f;
  float gainRight = 1.0f;
  bool looping = false;
  bool playing = false;
  // Loop range in frames; loopEnd 0 means the end of the block.
  std::size_t loopStart = 0;
  std::size_t loopEnd = 0;
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
  void RemoveVoice(const std::shared_ptr<Voice>& voice);

  // Sums every playing voice into `frames` stereo frames (interleaved left, right).
  void Mix(std::int16_t* out, int frames);

  // Final gain of the whole mix (the system's wave-out volume), 0..65535.
  void SetMasterLevel(std::uint32_t level);
  std::uint32_t GetMasterLevel();

  std::recursive_mutex& Lock() { return mMutex; }
  int VoiceCount();

 private:
  AudioMixer() = default;
  ~AudioMixer();
  void StopOutput();

  std::recursive_mutex mMutex;
  std::mutex mOutputMutex;  // orders Start and StopOutput; never held by the mixing thread
  std::vector<std::shared_ptr<Voice>> mVoices;
  std::vector<std::int32_t> mAccumulator;
  std::uint32_t mMasterLevel = 65535;
  bool mManual = false;
  struct Output;
  std::unique_ptr<Output> mOutput;
};

}  // namespace plat
