// The channel effects: delay lines, modulators, filters, a compressor and two reverbs built on
// one comb-and-allpass network, each taking its parameter block only when every value is in
// range. The effects run at the mixer's output rate, on frames at 16-bit scale.
#include "platform/AudioEffects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "platform/BassDll.h"

namespace plat {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kFullScale = 32768.0f;

// A value with its allowed range; NaN is never in range. The bounds are taken as the callers'
// single-precision numbers, so that 0.999f is within 0.001..0.999.
struct Bounded {
  double value, low, high;
};
bool AllInRange(std::initializer_list<Bounded> values) {
  return std::all_of(values.begin(), values.end(), [](const Bounded& b) {
    return b.value >= static_cast<float>(b.low) && b.value <= static_cast<float>(b.high);
  });
}

// A level in decibels, or in hundredths of one, as a factor.
double FromDecibels(double db) { return std::pow(10.0, db / 20.0); }
double FromMillibels(double mb) { return std::pow(10.0, mb / 2000.0); }

// Sound that has died away below any audible level becomes exact silence, so that feedback
// loops never slow down on denormal numbers.
inline float Settle(float v) { return std::fabs(v) < 1e-20f ? 0.0f : v; }

std::size_t FramesOf(double milliseconds, int rate) {
  return static_cast<std::size_t>(std::lround(milliseconds * rate / 1000.0));
}

// Stereo frames kept for reading back at a delay.
class DelayLine {
 public:
  explicit DelayLine(std::size_t longestDelay) {
    std::size_t size = 4;
    while (size < longestDelay + 2) size *= 2;
    mMask = size - 1;
    mData.assign(size * 2, 0.0f);
  }
  void Push(float left, float right) {
    mData[2 * mAt] = left;
    mData[2 * mAt + 1] = right;
    mAt = (mAt + 1) & mMask;
  }
  // The sample pushed `delay` frames ago: 1 is the last one.
  float At(int channel, std::size_t delay) const { return mData[2 * ((mAt - delay) & mMask) + static_cast<std::size_t>(channel)]; }
  // Between two frames, for delays that are not whole frames (at least 1).
  float Between(int channel, double delay) const {
    const auto whole = static_cast<std::size_t>(delay);
    const float part = static_cast<float>(delay - static_cast<double>(whole));
    const float a = At(channel, whole), b = At(channel, whole + 1);
    return a + (b - a) * part;
  }
  void Clear() { std::fill(mData.begin(), mData.end(), 0.0f); }

 private:
  std::vector<float> mData;
  std::size_t mMask = 0;
  std::size_t mAt = 0;
};

// A second-order filter for both channels (transposed direct form II).
class Biquad {
 public:
  enum Shape { kLowPass, kBandPass, kPeaking };
  // `width` is Q for the low and band passes, the bandwidth in octaves for the peaking filter.
  void Design(Shape shape, double frequency, double width, double gainDb, int rate) {
    const double w0 = 2.0 * kPi * std::min(frequency, 0.45 * rate) / rate;
    const double cosW = std::cos(w0), sinW = std::sin(w0);
    double b0, b1, b2, a0, a1, a2;
    if (shape == kPeaking) {
      const double a = std::pow(10.0, gainDb / 40.0);
      const double alpha = sinW * std::sinh(std::log(2.0) / 2.0 * width * w0 / sinW);
      b0 = 1 + alpha * a, b1 = -2 * cosW, b2 = 1 - alpha * a;
      a0 = 1 + alpha / a, a1 = -2 * cosW, a2 = 1 - alpha / a;
    } else {
      const double alpha = sinW / (2.0 * width);
      if (shape == kLowPass) b0 = (1 - cosW) / 2, b1 = 1 - cosW, b2 = (1 - cosW) / 2;
      else b0 = alpha, b1 = 0, b2 = -alpha;
      a0 = 1 + alpha, a1 = -2 * cosW, a2 = 1 - alpha;
    }
    mB0 = static_cast<float>(b0 / a0), mB1 = static_cast<float>(b1 / a0), mB2 = static_cast<float>(b2 / a0);
    mA1 = static_cast<float>(a1 / a0), mA2 = static_cast<float>(a2 / a0);
  }
  float Run(int channel, float x) {
    const float y = mB0 * x + mZ1[channel];
    mZ1[channel] = Settle(mB1 * x - mA1 * y + mZ2[channel]);
    mZ2[channel] = Settle(mB2 * x - mA2 * y);
    return y;
  }
  void Clear() { mZ1[0] = mZ1[1] = mZ2[0] = mZ2[1] = 0.0f; }

 private:
  float mB0 = 1, mB1 = 0, mB2 = 0, mA1 = 0, mA2 = 0;
  float mZ1[2] = {}, mZ2[2] = {};
};

// What every effect shares: its parameter block, taken whole or not at all.
template <typename Params>
class EffectWith : public AudioEffect {
 public:
  bool SetParameters(const void* params) override {
    Params next;
    std::memcpy(&next, params, sizeof next);
    if (!Valid(next)) return false;
    mParams = next;
    Update();
    return true;
  }
  void GetParameters(void* params) const override { std::memcpy(params, &mParams, sizeof mParams); }

 protected:
  explicit EffectWith(int rate) : mRate(rate) {}
  virtual bool Valid(const Params& p) const = 0;
  // Works out the values the processing uses from the parameters.
  virtual void Update() = 0;

  Params mParams;
  int mRate;
};

// ---- Echo: a delay line per side with feedback, optionally crossing sides on every echo ----

class Echo final : public EffectWith<BassEchoParams> {
 public:
  explicit Echo(int rate) : EffectWith(rate), mLine(FramesOf(2000, rate)) { Update(); }
  void Process(float* f, int count) override {
    const bool cross = mParams.panDelay != 0;
    for (int i = 0; i < count; ++i, f += 2) {
      const float left = mLine.At(0, mDelay[0]), right = mLine.At(1, mDelay[1]);
      mLine.Push(Settle(f[0] + mFeedback * (cross ? right : left)), Settle(f[1] + mFeedback * (cross ? left : right)));
      f[0] = mDry * f[0] + mWet * left;
      f[1] = mDry * f[1] + mWet * right;
    }
  }
  void Reset() override { mLine.Clear(); }

 private:
  bool Valid(const BassEchoParams& p) const override {
    return AllInRange({{p.wetDryMix, 0, 100}, {p.feedback, 0, 100}, {p.leftDelay, 1, 2000}, {p.rightDelay, 1, 2000}});
  }
  void Update() override {
    mWet = mParams.wetDryMix / 100.0f;
    mDry = 1.0f - mWet;
    mFeedback = mParams.feedback / 100.0f;
    mDelay[0] = std::max<std::size_t>(FramesOf(mParams.leftDelay, mRate), 1);
    mDelay[1] = std::max<std::size_t>(FramesOf(mParams.rightDelay, mRate), 1);
  }

  DelayLine mLine;
  float mWet = 0, mDry = 0, mFeedback = 0;
  std::size_t mDelay[2] = {1, 1};
};

// ---- Chorus and flanger: a delay swept by a slow oscillator, mixed with the dry sound ----

// The oscillator at a phase (in cycles): a sine, or a triangle in step with it (0 at the
// start, 1 a quarter in, -1 three quarters in), so that at 0 Hz both leave the delay as set.
float Oscillator(double phase, bool sine) {
  if (sine) return static_cast<float>(std::sin(2.0 * kPi * phase));
  phase += 0.25;
  return static_cast<float>(1.0 - 4.0 * std::fabs(phase - std::floor(phase) - 0.5));
}

template <typename Params, int kLongestDelayMs>
class SweptDelay final : public EffectWith<Params> {
  using Base = EffectWith<Params>;

 public:
  explicit SweptDelay(int rate) : Base(rate), mLine(2 * FramesOf(kLongestDelayMs, rate) + 2) { Update(); }
  void Process(float* f, int count) override {
    const bool sine = this->mParams.waveform == 1;
    for (int i = 0; i < count; ++i, f += 2) {
      float wet[2];
      for (int c = 0; c < 2; ++c) {
        const float swing = mDepth * Oscillator(mPhase + (c == 1 ? mRightOffset : 0.0), sine);
        wet[c] = mLine.Between(c, std::max(1.0, mDelay * (1.0 + swing)));
      }
      mLine.Push(Settle(f[0] + mFeedback * wet[0]), Settle(f[1] + mFeedback * wet[1]));
      f[0] = mDry * f[0] + mWet * wet[0];
      f[1] = mDry * f[1] + mWet * wet[1];
      mPhase += mStep;
      if (mPhase >= 1.0) mPhase -= 1.0;
    }
  }
  void Reset() override {
    mLine.Clear();
    mPhase = 0.0;
  }

 private:
  bool Valid(const Params& p) const override {
    return AllInRange({{p.wetDryMix, 0, 100}, {p.depth, 0, 100}, {p.feedback, -99, 99}, {p.frequency, 0, 10},
                       {static_cast<double>(p.waveform), 0, 1}, {p.delay, 0, kLongestDelayMs},
                       {static_cast<double>(p.phase), 0, 4}});
  }
  void Update() override {
    const Params& p = this->mParams;
    mWet = p.wetDryMix / 100.0f;
    mDry = 1.0f - mWet;
    mFeedback = p.feedback / 100.0f;
    mDepth = p.depth / 100.0f;
    mDelay = p.delay * this->mRate / 1000.0;
    mStep = p.frequency / this->mRate;
    mRightOffset = (static_cast<double>(p.phase) - 2.0) / 4.0;  // quarter turns, from -180 degrees
  }

  DelayLine mLine;
  float mWet = 0, mDry = 0, mFeedback = 0, mDepth = 0;
  double mDelay = 0, mStep = 0, mRightOffset = 0, mPhase = 0;
};

using Chorus = SweptDelay<BassChorusParams, 20>;
using Flanger = SweptDelay<BassFlangerParams, 4>;

// ---- Gargle: the sound's amplitude swept between full and silence ----

class Gargle final : public EffectWith<BassGargleParams> {
 public:
  explicit Gargle(int rate) : EffectWith(rate) { Update(); }
  void Process(float* f, int count) override {
    const auto rate = static_cast<std::uint32_t>(mRate);
    for (int i = 0; i < count; ++i, f += 2) {
      // The phase counts in steps of 1/rate of a cycle, so a cycle is exact however long.
      float level;
      if (mParams.waveShape == 1) level = 2 * mPhase < rate ? 1.0f : 0.0f;
      else level = static_cast<float>(std::fabs(2.0 * mPhase / rate - 1.0));  // from full down and back
      f[0] *= level;
      f[1] *= level;
      mPhase = (mPhase + mParams.rateHz) % rate;
    }
  }
  void Reset() override { mPhase = 0; }

 private:
  bool Valid(const BassGargleParams& p) const override {
    return AllInRange({{static_cast<double>(p.rateHz), 1, 1000}, {static_cast<double>(p.waveShape), 0, 1}});
  }
  void Update() override {}

  std::uint32_t mPhase = 0;
};

// ---- Distortion: low-passed, then shaped by a soft clipper whose added harmonics are kept
// in a band around the post-EQ centre, then lowered by the gain ----

class Distortion final : public EffectWith<BassDistortionParams> {
 public:
  explicit Distortion(int rate) : EffectWith(rate) { Update(); }
  void Process(float* f, int count) override {
    for (int i = 0; i < count; ++i, f += 2)
      for (int c = 0; c < 2; ++c) {
        const float x = mPre.Run(c, f[c] / kFullScale);
        const float shaped = mDrive > 0.0f ? std::tanh(mDrive * x) / mNorm : x;
        f[c] = (x + mPost.Run(c, shaped - x)) * mGain;
      }
  }
  void Reset() override {
    mPre.Clear();
    mPost.Clear();
  }

 private:
  bool Valid(const BassDistortionParams& p) const override {
    return AllInRange({{p.gain, -60, 0}, {p.edge, 0, 100}, {p.postEqCenterFrequency, 100, 8000},
                       {p.postEqBandwidth, 100, 8000}, {p.preLowpassCutoff, 100, 8000}});
  }
  void Update() override {
    mGain = static_cast<float>(FromDecibels(mParams.gain)) * kFullScale;
    mDrive = mParams.edge / 100.0f * 30.0f;
    mNorm = mDrive > 0.0f ? std::tanh(mDrive) : 1.0f;
    mPre.Design(Biquad::kLowPass, mParams.preLowpassCutoff, std::sqrt(0.5), 0, mRate);
    mPost.Design(Biquad::kBandPass, mParams.postEqCenterFrequency,
                 mParams.postEqCenterFrequency / mParams.postEqBandwidth, 0, mRate);
  }

  Biquad mPre, mPost;
  float mGain = 1, mDrive = 0, mNorm = 1;
};

// ---- Compressor: the level of the louder side, followed with the attack and release times,
// lowers the sound above the threshold by the ratio; the sound lags by the pre-delay so that
// the gain is down before a sudden peak arrives ----

class Compressor final : public EffectWith<BassCompressorParams> {
 public:
  explicit Compressor(int rate) : EffectWith(rate), mLine(FramesOf(4, rate) + 1) { Update(); }
  void Process(float* f, int count) override {
    for (int i = 0; i < count; ++i, f += 2) {
      const float level = std::max(std::fabs(f[0]), std::fabs(f[1])) / kFullScale;
      const float keep = level > mLevel ? mAttack : mRelease;
      mLevel = Settle(keep * mLevel + (1.0f - keep) * level);
      const float db = 20.0f * std::log10(std::max(mLevel, 1e-6f));
      const float reduction = db > mThreshold ? (mThreshold - db) * mSlope : 0.0f;
      const float gain = reduction == 0.0f ? mMakeUp : std::pow(10.0f, (reduction + mParams.gain) / 20.0f);
      mLine.Push(f[0], f[1]);
      f[0] = mLine.At(0, mDelay) * gain;
      f[1] = mLine.At(1, mDelay) * gain;
    }
  }
  void Reset() override {
    mLine.Clear();
    mLevel = 0.0f;
  }

 private:
  bool Valid(const BassCompressorParams& p) const override {
    return AllInRange({{p.gain, -60, 60}, {p.attack, 0.01, 500}, {p.release, 50, 3000}, {p.threshold, -60, 0},
                       {p.ratio, 1, 100}, {p.predelay, 0, 4}});
  }
  void Update() override {
    auto follow = [&](double ms) { return static_cast<float>(std::exp(-1000.0 / (ms * mRate))); };
    mAttack = follow(mParams.attack);
    mRelease = follow(mParams.release);
    mThreshold = mParams.threshold;
    mSlope = 1.0f - 1.0f / mParams.ratio;
    mMakeUp = static_cast<float>(FromDecibels(mParams.gain));
    mDelay = FramesOf(mParams.predelay, mRate) + 1;
  }

  DelayLine mLine;
  float mLevel = 0, mAttack = 0, mRelease = 0, mThreshold = 0, mSlope = 0, mMakeUp = 1;
  std::size_t mDelay = 1;
};

// ---- Parametric equaliser: one peaking filter ----

class ParamEq final : public EffectWith<BassParamEqParams> {
 public:
  explicit ParamEq(int rate) : EffectWith(rate) { Update(); }
  void Process(float* f, int count) override {
    for (int i = 0; i < count; ++i, f += 2) {
      f[0] = mFilter.Run(0, f[0]);
      f[1] = mFilter.Run(1, f[1]);
    }
  }
  void Reset() override { mFilter.Clear(); }

 private:
  bool Valid(const BassParamEqParams& p) const override {
    return AllInRange({{p.center, 80, std::min(16000.0, mRate / 3.0)}, {p.bandwidth, 1, 36}, {p.gain, -15, 15}});
  }
  void Update() override {
    mFilter.Design(Biquad::kPeaking, mParams.center, mParams.bandwidth / 12.0, mParams.gain, mRate);
  }

  Biquad mFilter;
};

// ---- Reverberation: eight feedback combs per side, whose loop gains give the decay time
// (60 dB down after it) and whose loop filters make the highs decay at their own ratio of
// it, then four allpass diffusers in series ----

class LateReverb {
 public:
  explicit LateReverb(int rate) : mRate(rate) {
    for (int side = 0; side < 2; ++side) {
      for (int i = 0; i < kCombs; ++i) {
        mCombs[side][i].base = Scaled(kCombLengths[i] + side * kSpread);
        mCombs[side][i].data.assign(static_cast<std::size_t>(mCombs[side][i].base * kSparsest) + 1, 0.0f);
      }
      for (int i = 0; i < kAllpasses; ++i) {
        mAllpasses[side][i].length = static_cast<std::size_t>(Scaled(kAllpassLengths[i] + side * kSpread));
        mAllpasses[side][i].data.assign(mAllpasses[side][i].length, 0.0f);
      }
    }
  }

  // Density 0..1 makes the combs longer (sparser echoes) as it falls; diffusion 0..1 sets how
  // much the allpasses smear the echoes.
  void Configure(double decaySeconds, double hfRatio, double hfReference, double density, double diffusion) {
    mDamp = static_cast<float>(std::exp(-2.0 * kPi * std::min(hfReference, 0.45 * mRate) / mRate));
    mDiffusion = static_cast<float>(0.6 * diffusion);
    const double stretch = kSparsest - (kSparsest - 1.0) * density;
    for (auto& side : mCombs)
      for (Comb& comb : side) {
        comb.length = std::max<std::size_t>(static_cast<std::size_t>(comb.base * stretch), 1);
        if (comb.at >= comb.length) comb.at = 0;
        const double seconds = static_cast<double>(comb.length) / mRate;
        comb.low = static_cast<float>(std::pow(10.0, -3.0 * seconds / decaySeconds));
        comb.high = static_cast<float>(std::pow(10.0, -3.0 * seconds / (decaySeconds * hfRatio)));
      }
  }

  void Run(float in, float& left, float& right) {
    in *= kInputGain;
    float out[2];
    for (int side = 0; side < 2; ++side) {
      float sum = 0.0f;
      for (Comb& comb : mCombs[side]) {
        const float y = comb.data[comb.at];
        // The loop's gain is `low` for the lows and moves toward `high` above the reference.
        comb.lowPass = Settle((1.0f - mDamp) * y + mDamp * comb.lowPass);
        comb.data[comb.at] = Settle(in + comb.high * y + (comb.low - comb.high) * comb.lowPass);
        if (++comb.at >= comb.length) comb.at = 0;
        sum += y;
      }
      for (Allpass& pass : mAllpasses[side]) {
        const float delayed = pass.data[pass.at];
        const float w = Settle(sum + mDiffusion * delayed);
        sum = delayed - mDiffusion * w;
        pass.data[pass.at] = w;
        if (++pass.at >= pass.length) pass.at = 0;
      }
      out[side] = sum;
    }
    left = out[0];
    right = out[1];
  }

  void Clear() {
    for (auto& side : mCombs)
      for (Comb& comb : side) {
        std::fill(comb.data.begin(), comb.data.end(), 0.0f);
        comb.lowPass = 0.0f;
      }
    for (auto& side : mAllpasses)
      for (Allpass& pass : side) std::fill(pass.data.begin(), pass.data.end(), 0.0f);
  }

 private:
  static constexpr int kCombs = 8, kAllpasses = 4, kSpread = 23;
  static constexpr int kCombLengths[kCombs] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};  // at 44100 Hz
  static constexpr int kAllpassLengths[kAllpasses] = {556, 441, 341, 225};
  static constexpr double kSparsest = 1.5;
  // Eight combs of a one-second decay then give about the energy that goes in.
  static constexpr float kInputGain = 0.2f;

  struct Comb {
    std::vector<float> data;
    double base = 1;
    std::size_t length = 1, at = 0;
    float lowPass = 0, low = 0, high = 0;
  };
  struct Allpass {
    std::vector<float> data;
    std::size_t length = 1, at = 0;
  };
  double Scaled(int frames) const { return std::max(1.0, frames * mRate / 44100.0); }

  int mRate;
  float mDamp = 0, mDiffusion = 0;
  Comb mCombs[2][kCombs];
  Allpass mAllpasses[2][kAllpasses];
};

// The room reverb: the dry sound, plus early reflections and then the late reverberation, both
// from the sound with its highs lowered by the room's high-frequency level.
class I3DL2Reverb final : public EffectWith<BassI3DL2ReverbParams> {
 public:
  explicit I3DL2Reverb(int rate)
      : EffectWith(rate), mLine(FramesOf(300 + 100 + kTapSpreadMs, rate) + 1), mLate(rate) {
    Update();
  }
  void Process(float* f, int count) override {
    for (int i = 0; i < count; ++i, f += 2) {
      float room[2];
      for (int c = 0; c < 2; ++c) {
        mLowPass[c] = Settle((1.0f - mDamp) * f[c] + mDamp * mLowPass[c]);
        room[c] = mHigh * f[c] + (1.0f - mHigh) * mLowPass[c];
      }
      mLine.Push(room[0], room[1]);
      float early[2] = {0.0f, 0.0f};
      for (int t = 0; t < kTaps; ++t)
        for (int c = 0; c < 2; ++c) early[c] += kTapGains[t] * mLine.At(c, mTapDelay[c][t]);
      float late[2];
      mLate.Run(0.5f * (mLine.At(0, mLateDelay) + mLine.At(1, mLateDelay)), late[0], late[1]);
      for (int c = 0; c < 2; ++c) f[c] += mReflections * early[c] + mReverb * late[c];
    }
  }
  void Reset() override {
    mLine.Clear();
    mLate.Clear();
    mLowPass[0] = mLowPass[1] = 0.0f;
  }

 private:
  static constexpr int kTaps = 4;
  static constexpr int kTapSpreadMs = 20;
  // Reflections after the first one, in ms, for the left and the right side; their gains keep
  // the energy of all four at that of one.
  static constexpr double kTapTimes[2][kTaps] = {{0.0, 4.3, 10.1, 14.9}, {1.9, 6.7, 12.3, 17.1}};
  static constexpr float kTapGains[kTaps] = {0.66f, 0.53f, 0.40f, 0.35f};

  bool Valid(const BassI3DL2ReverbParams& p) const override {
    return AllInRange({{static_cast<double>(p.room), -10000, 0}, {static_cast<double>(p.roomHf), -10000, 0},
                       {p.roomRolloffFactor, 0, 10}, {p.decayTime, 0.1, 20}, {p.decayHfRatio, 0.1, 2},
                       {static_cast<double>(p.reflections), -10000, 1000}, {p.reflectionsDelay, 0, 0.3},
                       {static_cast<double>(p.reverb), -10000, 2000}, {p.reverbDelay, 0, 0.1},
                       {p.diffusion, 0, 100}, {p.density, 0, 100}, {p.hfReference, 20, 20000}});
  }
  void Update() override {
    const BassI3DL2ReverbParams& p = mParams;
    const double room = FromMillibels(p.room);
    mReflections = static_cast<float>(room * FromMillibels(p.reflections));
    mReverb = static_cast<float>(room * FromMillibels(p.reverb));
    mHigh = static_cast<float>(FromMillibels(p.roomHf));
    mDamp = static_cast<float>(std::exp(-2.0 * kPi * std::min<double>(p.hfReference, 0.45 * mRate) / mRate));
    for (int c = 0; c < 2; ++c)
      for (int t = 0; t < kTaps; ++t) mTapDelay[c][t] = FramesOf(p.reflectionsDelay * 1000.0 + kTapTimes[c][t], mRate) + 1;
    mLateDelay = FramesOf((p.reflectionsDelay + p.reverbDelay) * 1000.0, mRate) + 1;
    mLate.Configure(p.decayTime, p.decayHfRatio, p.hfReference, p.density / 100.0, p.diffusion / 100.0);
  }

  DelayLine mLine;
  LateReverb mLate;
  float mReflections = 0, mReverb = 0, mHigh = 1, mDamp = 0;
  float mLowPass[2] = {};
  std::size_t mTapDelay[2][kTaps] = {};
  std::size_t mLateDelay = 1;
};

// The music reverb: the sound at its input gain, plus its reverberation at the mix level.
class WavesReverb final : public EffectWith<BassWavesReverbParams> {
 public:
  explicit WavesReverb(int rate) : EffectWith(rate), mLate(rate) { Update(); }
  void Process(float* f, int count) override {
    for (int i = 0; i < count; ++i, f += 2) {
      f[0] *= mIn;
      f[1] *= mIn;
      float left, right;
      mLate.Run(0.5f * (f[0] + f[1]), left, right);
      f[0] += mMix * left;
      f[1] += mMix * right;
    }
  }
  void Reset() override { mLate.Clear(); }

 private:
  static constexpr double kHfReference = 5000.0;
  bool Valid(const BassWavesReverbParams& p) const override {
    return AllInRange({{p.inGain, -96, 0}, {p.reverbMix, -96, 0}, {p.reverbTime, 0.001, 3000},
                       {p.highFreqRtRatio, 0.001, 0.999}});
  }
  void Update() override {
    mIn = static_cast<float>(FromDecibels(mParams.inGain));
    mMix = static_cast<float>(FromDecibels(mParams.reverbMix));
    mLate.Configure(mParams.reverbTime / 1000.0, mParams.highFreqRtRatio, kHfReference, 1.0, 1.0);
  }

  LateReverb mLate;
  float mIn = 1, mMix = 1;
};

}  // namespace

void AudioEffect::Process(std::int16_t* frames, int count) {
  constexpr int kPiece = 256;
  float piece[2 * kPiece];
  while (count > 0) {
    const int n = std::min(count, kPiece);
    for (int i = 0; i < 2 * n; ++i) piece[i] = frames[i];
    Process(piece, n);
    for (int i = 0; i < 2 * n; ++i) frames[i] = static_cast<std::int16_t>(std::lround(std::clamp(piece[i], -32768.0f, 32767.0f)));
    frames += 2 * n;
    count -= n;
  }
}

std::unique_ptr<AudioEffect> MakeAudioEffect(std::uint32_t type, int rate) {
  switch (type) {
    case kBassFxChorus: return std::make_unique<Chorus>(rate);
    case kBassFxCompressor: return std::make_unique<Compressor>(rate);
    case kBassFxDistortion: return std::make_unique<Distortion>(rate);
    case kBassFxEcho: return std::make_unique<Echo>(rate);
    case kBassFxFlanger: return std::make_unique<Flanger>(rate);
    case kBassFxGargle: return std::make_unique<Gargle>(rate);
    case kBassFxI3DL2Reverb: return std::make_unique<I3DL2Reverb>(rate);
    case kBassFxParamEq: return std::make_unique<ParamEq>(rate);
    case kBassFxWavesReverb: return std::make_unique<WavesReverb>(rate);
    default: return nullptr;
  }
}

// ---- The chain ----

void EffectChain::Insert(std::uint32_t id, int priority, std::unique_ptr<AudioEffect> effect) {
  auto at = std::find_if(mEntries.begin(), mEntries.end(), [&](const Entry& e) { return e.priority < priority; });
  mEntries.insert(at, Entry{id, priority, std::move(effect)});
}

std::unique_ptr<AudioEffect> EffectChain::Remove(std::uint32_t id) {
  auto it = std::find_if(mEntries.begin(), mEntries.end(), [&](const Entry& e) { return e.id == id; });
  if (it == mEntries.end()) return nullptr;
  std::unique_ptr<AudioEffect> effect = std::move(it->effect);
  mEntries.erase(it);
  return effect;
}

AudioEffect* EffectChain::Find(std::uint32_t id) const {
  for (const Entry& e : mEntries)
    if (e.id == id) return e.effect.get();
  return nullptr;
}

void EffectChain::Process(float* frames, int count) {
  for (Entry& e : mEntries) e.effect->Process(frames, count);
}

void EffectChain::Reset() {
  for (Entry& e : mEntries) e.effect->Reset();
}

}  // namespace plat
