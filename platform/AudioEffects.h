// Effects a playing channel can carry (echo, chorus, flanger, gargle, distortion, compressor,
// a peaking equaliser and two reverbs), and the chain that runs them in priority order over a
// voice's frames before the mixer applies its volume and pan.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace plat {

class AudioEffect {
 public:
  virtual ~AudioEffect() = default;
  // Changes stereo frames in place: interleaved left and right at 16-bit scale (full scale 32768).
  virtual void Process(float* frames, int count) = 0;
  // Takes the parameter block of the effect's type (see BassDll.h). False, with nothing
  // changed, when a value is outside its range or not a number.
  virtual bool SetParameters(const void* params) = 0;
  virtual void GetParameters(void* params) const = 0;
  // Forgets what the effect holds of the sound so far (delay lines, levels, filter states).
  virtual void Reset() = 0;
  // The same on 16-bit frames, the results rounded and clipped.
  void Process(std::int16_t* frames, int count);
};

// A new effect of a type (BassEffectType) with its starting parameters, for frames at `rate`;
// null for a type that does not exist.
std::unique_ptr<AudioEffect> MakeAudioEffect(std::uint32_t type, int rate);

// The effects of one voice, in the order they run. Used under the mixer's lock.
class EffectChain {
 public:
  // Higher priorities run first; among equal ones, those added earlier.
  void Insert(std::uint32_t id, int priority, std::unique_ptr<AudioEffect> effect);
  // Takes an effect out (null when the id is not here), so the caller frees it unlocked.
  std::unique_ptr<AudioEffect> Remove(std::uint32_t id);
  AudioEffect* Find(std::uint32_t id) const;
  bool Empty() const { return mEntries.empty(); }
  void Process(float* frames, int count);
  void Reset();

 private:
  struct Entry {
    std::uint32_t id;
    int priority;
    std::unique_ptr<AudioEffect> effect;
  };
  std::vector<Entry> mEntries;
};

}  // namespace plat
