// Channel effects: each type changes a known signal as it should (run directly on frames), and
// through the bass.dll stand-in they run in priority order on streams, sounds and modules,
// come off again, refuse bad parameters and handles, and can be changed while the mixer runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstring>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include "platform/AudioEffects.h"
#include "platform/AudioMixer.h"
#include "platform/BassDll.h"
#include "platform/Module.h"
#include "tests/framework/sound/SoundFixtures.h"

using namespace plat;

namespace {

constexpr int kRate = 44100;
using Frames = std::vector<float>;  // stereo, interleaved

Frames Silence(int frames) { return Frames(static_cast<std::size_t>(frames) * 2, 0.0f); }

Frames Impulse(int frames, float left, float right) {
  Frames f = Silence(frames);
  f[0] = left;
  f[1] = right;
  return f;
}

Frames Tone(int frames, double hz, float amplitude) {
  Frames f = Silence(frames);
  for (int i = 0; i < frames; ++i)
    f[2 * i] = f[2 * i + 1] = amplitude * static_cast<float>(std::sin(2 * M_PI * hz * i / kRate));
  return f;
}

float L(const Frames& f, int i) { return f[2 * static_cast<std::size_t>(i)]; }
float R(const Frames& f, int i) { return f[2 * static_cast<std::size_t>(i) + 1]; }

// Amplitude of one frequency on the left side over frames [from, from + count).
double AmplitudeAt(const Frames& f, double hz, int from, int count) {
  std::complex<double> sum;
  for (int i = 0; i < count; ++i) sum += static_cast<double>(L(f, from + i)) * std::polar(1.0, -2 * M_PI * hz * i / kRate);
  return 2.0 * std::abs(sum) / count;
}

// Root mean square on the left side over [from, to) seconds, in dB.
double LevelDb(const Frames& f, double from, double to) {
  double sum = 0;
  const int a = static_cast<int>(from * kRate), b = static_cast<int>(to * kRate);
  for (int i = a; i < b; ++i) sum += static_cast<double>(L(f, i)) * L(f, i);
  return 10.0 * std::log10(sum / (b - a) + 1e-30);
}

double Db(double ratio) { return 20.0 * std::log10(ratio); }

template <typename Params>
Frames Apply(DWORD type, const Params& params, Frames f) {
  std::unique_ptr<AudioEffect> effect = MakeAudioEffect(type, kRate);
  EXPECT_TRUE(effect->SetParameters(&params));
  effect->Process(f.data(), static_cast<int>(f.size() / 2));
  return f;
}

// ---- Each type on a known signal ----

struct EffectCase {
  const char* name;
  std::function<void()> check;
};

TEST(AudioEffects, EachTypeChangesAKnownSignalAsItShould) {
  const std::vector<EffectCase> cases = {
      {"echo: the impulse comes back after each side's delay at the wet level, then at the feedback",
       [] {
         Frames f = Apply(kBassFxEcho, BassEchoParams{50, 50, 100, 50, 0}, Impulse(10000, 10000, 10000));
         EXPECT_FLOAT_EQ(L(f, 0), 5000);
         EXPECT_FLOAT_EQ(L(f, 4410), 5000);
         EXPECT_FLOAT_EQ(L(f, 8820), 2500);
         EXPECT_FLOAT_EQ(L(f, 2205), 0);
         EXPECT_FLOAT_EQ(R(f, 2205), 5000);
         EXPECT_FLOAT_EQ(R(f, 4410), 2500);
       }},
      {"echo with pan delay: every echo changes side",
       [] {
         Frames f = Apply(kBassFxEcho, BassEchoParams{50, 50, 100, 50, 1}, Impulse(12000, 10000, 0));
         EXPECT_FLOAT_EQ(L(f, 4410), 5000);
         EXPECT_FLOAT_EQ(R(f, 4410 + 2205), 2500);
         EXPECT_FLOAT_EQ(L(f, 8820), 0);
         EXPECT_FLOAT_EQ(L(f, 4410 + 2205 + 4410), 1250);
       }},
      {"chorus: a steady delay without depth, a longer one when the sine swings up",
       [] {
         Frames f = Apply(kBassFxChorus, BassChorusParams{50, 0, 0, 0, 1, 10, 2}, Impulse(2000, 10000, 10000));
         EXPECT_FLOAT_EQ(L(f, 441), 5000);
         EXPECT_FLOAT_EQ(R(f, 441), 5000);
         // 10 Hz at 50 % depth: a quarter cycle in, the delay is 15 ms instead of 10, with
         // either wave; at 0 Hz both leave it at 10 ms.
         Frames in = Silence(2000);
         in[2 * 441] = 10000;
         for (DWORD wave : {0u, 1u}) {
           f = Apply(kBassFxChorus, BassChorusParams{100, 50, 0, 10, wave, 10, 2}, in);
           int peak = 900;
           for (int i = 900; i < 1400; ++i)
             if (L(f, i) > L(f, peak)) peak = i;
           EXPECT_NEAR(peak - 441, 661, 2) << wave;
           f = Apply(kBassFxChorus, BassChorusParams{100, 100, 0, 0, wave, 10, 2}, in);
           EXPECT_FLOAT_EQ(L(f, 882), 10000) << wave;
         }
       }},
      {"flanger: negative feedback returns the echo inverted",
       [] {
         Frames f = Apply(kBassFxFlanger, BassFlangerParams{50, 0, -50, 0, 1, 4, 2}, Impulse(1000, 10000, 10000));
         EXPECT_NEAR(L(f, 176) + L(f, 177), 5000, 1);  // 4 ms is 176.4 frames
         float second = 0;
         for (int i = 350; i < 357; ++i) second += L(f, i);
         EXPECT_NEAR(second, -2500, 1);
       }},
      {"gargle: amplitude switched or swept at the rate",
       [] {
         Frames dc = Silence(8820);
         for (float& s : dc) s = 10000;
         Frames f = Apply(kBassFxGargle, BassGargleParams{10, 1}, dc);
         EXPECT_FLOAT_EQ(L(f, 2204), 10000);
         EXPECT_FLOAT_EQ(L(f, 2205), 0);
         EXPECT_FLOAT_EQ(R(f, 4409), 0);
         EXPECT_FLOAT_EQ(R(f, 4410), 10000);
         f = Apply(kBassFxGargle, BassGargleParams{10, 0}, dc);
         EXPECT_FLOAT_EQ(L(f, 0), 10000);
         EXPECT_NEAR(L(f, 1102), 5000, 5);
         EXPECT_NEAR(L(f, 2205), 0, 5);
         EXPECT_NEAR(L(f, 4410), 10000, 5);
       }},
      {"distortion: harmonics appear with the edge; the gain lowers the whole",
       [] {
         const Frames tone = Tone(8820, 500, 16384);
         Frames clean = Apply(kBassFxDistortion, BassDistortionParams{0, 0, 1500, 1000, 8000}, tone);
         Frames rough = Apply(kBassFxDistortion, BassDistortionParams{0, 60, 1500, 1000, 8000}, tone);
         Frames quiet = Apply(kBassFxDistortion, BassDistortionParams{-20, 0, 1500, 1000, 8000}, tone);
         const double fundamental = AmplitudeAt(clean, 500, 4410, 4410);
         EXPECT_NEAR(fundamental, 16384, 300);
         EXPECT_LT(Db(AmplitudeAt(clean, 1500, 4410, 4410) / fundamental), -60);
         EXPECT_GT(Db(AmplitudeAt(rough, 1500, 4410, 4410) / fundamental), -20);
         EXPECT_NEAR(Db(AmplitudeAt(quiet, 500, 4410, 4410) / fundamental), -20, 0.1);
       }},
      {"compressor: a loud tone comes down by the ratio above the threshold, a quiet one stays",
       [] {
         const BassCompressorParams params{0, 1, 100, -20, 4, 0};
         Frames loud = Apply(kBassFxCompressor, params, Tone(22050, 1000, 29000));
         const double in = Db(29000 / 32768.0), expected = -20 + (in + 20) / 4;
         EXPECT_NEAR(Db(AmplitudeAt(loud, 1000, 17640, 4410) / 32768.0), expected, 1.5);
         Frames quiet = Apply(kBassFxCompressor, params, Tone(22050, 1000, 300));
         EXPECT_NEAR(AmplitudeAt(quiet, 1000, 17640, 4410), 300, 1);
         Frames raised = Apply(kBassFxCompressor, BassCompressorParams{6, 1, 100, -20, 4, 0}, Tone(22050, 1000, 300));
         EXPECT_NEAR(Db(AmplitudeAt(raised, 1000, 17640, 4410) / 300), 6, 0.05);
         // The pre-delay holds the sound back while its level is already measured.
         Frames late = Apply(kBassFxCompressor, BassCompressorParams{0, 1, 100, -20, 4, 4}, Impulse(400, 300, 300));
         EXPECT_FLOAT_EQ(L(late, 0), 0);
         EXPECT_FLOAT_EQ(L(late, 176), 300);  // 4 ms
       }},
      {"parametric EQ: a tone at the centre gains the set dB, a far tone is unchanged",
       [] {
         for (float gain : {12.0f, -12.0f}) {
           Frames near = Apply(kBassFxParamEq, BassParamEqParams{1000, 12, gain}, Tone(8820, 1000, 1000));
           Frames far = Apply(kBassFxParamEq, BassParamEqParams{1000, 12, gain}, Tone(8820, 100, 1000));
           EXPECT_NEAR(Db(AmplitudeAt(near, 1000, 4410, 4410) / 1000), gain, 0.2);
           EXPECT_NEAR(Db(AmplitudeAt(far, 100, 4410, 4410) / 1000), 0, 0.5);
         }
       }},
      {"waves reverb: the dry sound at the input gain, then a tail 60 dB down after the reverb time",
       [] {
         Frames f = Apply(kBassFxWavesReverb, BassWavesReverbParams{-6, 0, 500, 0.999f}, Impulse(kRate, 10000, 10000));
         EXPECT_NEAR(L(f, 0), 10000 * std::pow(10.0, -6 / 20.0), 0.1);
         EXPECT_GT(LevelDb(f, 0.1, 0.15), 20);
         EXPECT_NEAR(LevelDb(f, 0.1, 0.15) - LevelDb(f, 0.35, 0.4), 30, 6);
         EXPECT_NE(L(f, 5000), R(f, 5000));  // the two sides reverberate apart
       }},
      {"I3DL2 reverb: silence until the first reflection, then a tail that decays at the decay time",
       [] {
         BassI3DL2ReverbParams p;
         p.decayTime = 1;
         p.decayHfRatio = 1;
         p.reflectionsDelay = 0.02f;
         p.reverbDelay = 0.03f;
         Frames f = Apply(kBassFxI3DL2Reverb, p, Impulse(kRate, 10000, 10000));
         EXPECT_FLOAT_EQ(L(f, 0), 10000);
         for (int i = 1; i < 882; ++i) ASSERT_EQ(L(f, i), 0) << i;
         EXPECT_NE(L(f, 882), 0);
         EXPECT_NEAR(LevelDb(f, 0.2, 0.25) - LevelDb(f, 0.7, 0.75), 30, 6);
         // High frequencies that decay faster leave a darker tail.
         p.decayHfRatio = 0.1f;
         Frames dark = Apply(kBassFxI3DL2Reverb, p, Impulse(kRate, 10000, 10000));
         EXPECT_LT(LevelDb(dark, 0.5, 0.55), LevelDb(f, 0.5, 0.55) - 3);
         p.room = -10000;
         Frames dry = Apply(kBassFxI3DL2Reverb, p, Impulse(kRate, 10000, 10000));
         EXPECT_LT(LevelDb(dry, 0.05, 0.5), -30);
       }},
  };
  for (const EffectCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.check();
  }
}

TEST(AudioEffects, SixteenBitFramesAreRoundedAndClipped) {
  std::unique_ptr<AudioEffect> eq = MakeAudioEffect(kBassFxParamEq, kRate);
  BassParamEqParams p{1000, 36, 15};
  ASSERT_TRUE(eq->SetParameters(&p));
  std::vector<std::int16_t> frames(2 * 4410);
  for (std::size_t i = 0; i < frames.size(); ++i)
    frames[i] = static_cast<std::int16_t>(30000 * std::sin(2 * M_PI * 1000 * static_cast<double>(i / 2) / kRate));
  eq->Process(frames.data(), 4410);
  int clipped = 0;
  for (std::int16_t s : frames) clipped += s == 32767 || s == -32768;
  EXPECT_GT(clipped, 100);  // +15 dB on a loud tone: clipped, not wrapped round
  EXPECT_EQ(MakeAudioEffect(9, kRate), nullptr);
}

// ---- Through bass.dll and the mixer ----

struct Bass {
  HMODULE dll = LoadLibrary("bass.dll");
  template <typename Fn>
  Fn Get(const char* name) {
    return ProcAs<Fn>(GetProcAddress(dll, name));
  }
  BASS_StreamCreateFile_Fn create = Get<BASS_StreamCreateFile_Fn>("BASS_StreamCreateFile");
  BASS_StreamFree_Fn release = Get<BASS_StreamFree_Fn>("BASS_StreamFree");
  BASS_ChannelPlay_Fn play = Get<BASS_ChannelPlay_Fn>("BASS_ChannelPlay");
  BASS_ChannelSetAttributes_Fn attributes = Get<BASS_ChannelSetAttributes_Fn>("BASS_ChannelSetAttributes");
  BASS_MusicLoad_Fn musicLoad = Get<BASS_MusicLoad_Fn>("BASS_MusicLoad");
  BASS_MusicFree_Fn musicFree = Get<BASS_MusicFree_Fn>("BASS_MusicFree");
  BASS_ChannelSetFX_Fn setFx = Get<BASS_ChannelSetFX_Fn>("BASS_ChannelSetFX");
  BASS_ChannelRemoveFX_Fn removeFx = Get<BASS_ChannelRemoveFX_Fn>("BASS_ChannelRemoveFX");
  BASS_FXSetParameters_Fn setParams = Get<BASS_FXSetParameters_Fn>("BASS_FXSetParameters");
  BASS_FXGetParameters_Fn getParams = Get<BASS_FXGetParameters_Fn>("BASS_FXGetParameters");
  BASS_ErrorGetCode_Fn error = Get<BASS_ErrorGetCode_Fn>("BASS_ErrorGetCode");
  ~Bass() { FreeLibrary(dll); }
};

constexpr int kHandleError = 5, kTypeError = 19, kParamError = 20;

class BassEffects : public ::testing::Test {
 protected:
  void SetUp() override { AudioMixer::Get().SetManualPull(true); }
  void TearDown() override { EXPECT_EQ(AudioMixer::Get().VoiceCount(), 0); }

  // A 44100 Hz mono sound of `frames` frames with one impulse at the start.
  DWORD ImpulseSound(int frames) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames), 0);
    samples[0] = 16000;
    file = soundtest::Wav16(samples, kRate);
    return bass.create(TRUE, file.data(), 0, file.size(), 0);
  }
  // The left side of the next `frames` mixed frames.
  static std::vector<int> Pull(int frames) {
    std::vector<std::int16_t> raw(static_cast<std::size_t>(frames) * 2);
    AudioMixer::Get().Mix(raw.data(), frames);
    std::vector<int> left;
    for (int i = 0; i < frames; ++i) left.push_back(raw[2 * static_cast<std::size_t>(i)]);
    return left;
  }
  DWORD Fx(DWORD channel, DWORD type, int priority, const void* params) {
    DWORD fx = bass.setFx(channel, type, priority);
    EXPECT_NE(fx, 0u);
    EXPECT_TRUE(bass.setParams(fx, params));
    return fx;
  }

  Bass bass;
  std::vector<std::uint8_t> file;
};

// Echo after 50 ms, and a gargle that silences the second 50 ms: which runs first decides
// whether the echo is heard.
TEST_F(BassEffects, HigherPriorityRunsFirstAndRemovingRestoresTheDrySound) {
  DWORD h = ImpulseSound(10000);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(bass.play(h, TRUE));
  const std::vector<int> dry = Pull(5000);
  EXPECT_EQ(dry[0], 16000);

  const BassEchoParams echo{50, 0, 50, 50, 0};
  const BassGargleParams gargle{10, 1};
  DWORD e = Fx(h, kBassFxEcho, 1, &echo);
  DWORD g = Fx(h, kBassFxGargle, 2, &gargle);
  bass.play(h, TRUE);
  std::vector<int> out = Pull(5000);
  EXPECT_EQ(out[0], 8000);
  EXPECT_EQ(out[2205], 8000);  // gated first, then echoed into the silent half

  ASSERT_TRUE(bass.removeFx(h, g));
  g = Fx(h, kBassFxGargle, 0, &gargle);
  bass.play(h, TRUE);
  out = Pull(5000);
  EXPECT_EQ(out[0], 8000);
  EXPECT_EQ(out[2205], 0);  // echoed first, then gated

  // Equal priorities run in the order they were set.
  ASSERT_TRUE(bass.removeFx(h, g));
  g = Fx(h, kBassFxGargle, 1, &gargle);
  bass.play(h, TRUE);
  EXPECT_EQ(Pull(5000)[2205], 0);

  // The volume applies after the effects; removing both gives back the dry sound exactly.
  bass.attributes(h, -1, 50, -101);
  bass.play(h, TRUE);
  EXPECT_EQ(Pull(5000)[2205], 0);
  bass.attributes(h, -1, 100, -101);
  ASSERT_TRUE(bass.removeFx(h, e));
  ASSERT_TRUE(bass.removeFx(h, g));
  bass.play(h, TRUE);
  EXPECT_EQ(Pull(5000), dry);
  EXPECT_TRUE(bass.release(h));
}

TEST_F(BassEffects, AReplayedChannelStartsWithoutTheOldEchoes) {
  DWORD h = ImpulseSound(10000);
  const BassEchoParams echo{50, 0, 100, 100, 0};
  Fx(h, kBassFxEcho, 0, &echo);
  bass.play(h, TRUE);
  Pull(2000);
  bass.play(h, TRUE);
  std::vector<int> out = Pull(5000);
  EXPECT_EQ(out[0], 8000);
  EXPECT_EQ(out[4410 - 2000], 0);
  EXPECT_EQ(out[4410], 8000);
  EXPECT_TRUE(bass.release(h));
}

TEST_F(BassEffects, StreamsAndModulesCarryEffectsToo) {
  // Longer than what is decoded whole: a streaming channel.
  DWORD h = ImpulseSound(200000);
  ASSERT_NE(h, 0u);
  ASSERT_GT(AudioMixer::Get().VoiceCount(), 0);
  const BassEchoParams echo{50, 0, 100, 100, 0};
  Fx(h, kBassFxEcho, 0, &echo);
  bass.play(h, TRUE);
  std::vector<int> out = Pull(6000);
  EXPECT_EQ(out[0], 8000);
  EXPECT_EQ(out[4410], 8000);
  EXPECT_TRUE(bass.release(h));

  // A module: a fast square gargle silences half of what it plays.
  std::vector<std::uint8_t> mod = soundtest::Mod({64, 64, 64, 64});
  auto silentFrames = [&](bool gargled) {
    DWORD m = bass.musicLoad(TRUE, mod.data(), 0, static_cast<DWORD>(mod.size()), BASS_SAMPLE_LOOP, 0);
    EXPECT_NE(m, 0u);
    const BassGargleParams gargle{1000, 1};
    if (gargled) Fx(m, kBassFxGargle, 0, &gargle);
    bass.play(m, TRUE);
    std::vector<int> played = Pull(8820);
    bass.musicFree(m);
    return std::count(played.begin() + 4410, played.end(), 0);
  };
  const auto dry = silentFrames(false);
  EXPECT_LT(dry, 4410 / 4);
  EXPECT_GT(silentFrames(true), dry + 4410 * 4 / 10);
}

TEST_F(BassEffects, NewEffectsStartWithTheirDefaultsAndBadParametersChangeNothing) {
  DWORD h = ImpulseSound(1000);
  DWORD fx = bass.setFx(h, kBassFxEcho, 0);
  BassEchoParams echo{1, 1, 1, 1, 1};
  ASSERT_TRUE(bass.getParams(fx, &echo));
  EXPECT_EQ(echo.wetDryMix, 50);
  EXPECT_EQ(echo.feedback, 50);
  EXPECT_EQ(echo.leftDelay, 500);
  EXPECT_EQ(echo.rightDelay, 500);
  EXPECT_EQ(echo.panDelay, 0);

  // One field out of range (or not a number) in each type's block; the rest as it starts.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Bad {
    DWORD type;
    std::function<void(void*)> spoil;
  };
  const std::vector<Bad> bad = {
      {kBassFxChorus, [&](void* p) { static_cast<BassChorusParams*>(p)->delay = 20.5f; }},
      {kBassFxChorus, [&](void* p) { static_cast<BassChorusParams*>(p)->phase = 5; }},
      {kBassFxFlanger, [&](void* p) { static_cast<BassFlangerParams*>(p)->delay = 4.5f; }},
      {kBassFxFlanger, [&](void* p) { static_cast<BassFlangerParams*>(p)->feedback = nan; }},
      {kBassFxCompressor, [&](void* p) { static_cast<BassCompressorParams*>(p)->ratio = 0.5f; }},
      {kBassFxCompressor, [&](void* p) { static_cast<BassCompressorParams*>(p)->attack = 0; }},
      {kBassFxDistortion, [&](void* p) { static_cast<BassDistortionParams*>(p)->gain = 1; }},
      {kBassFxDistortion, [&](void* p) { static_cast<BassDistortionParams*>(p)->preLowpassCutoff = 9000; }},
      {kBassFxEcho, [&](void* p) { static_cast<BassEchoParams*>(p)->leftDelay = 0.5f; }},
      {kBassFxEcho, [&](void* p) { static_cast<BassEchoParams*>(p)->wetDryMix = nan; }},
      {kBassFxGargle, [&](void* p) { static_cast<BassGargleParams*>(p)->rateHz = 0; }},
      {kBassFxGargle, [&](void* p) { static_cast<BassGargleParams*>(p)->waveShape = 2; }},
      {kBassFxI3DL2Reverb, [&](void* p) { static_cast<BassI3DL2ReverbParams*>(p)->decayTime = 0.05f; }},
      {kBassFxI3DL2Reverb, [&](void* p) { static_cast<BassI3DL2ReverbParams*>(p)->reverb = 2001; }},
      {kBassFxParamEq, [&](void* p) { static_cast<BassParamEqParams*>(p)->center = 15000; }},  // above a third of 44100
      {kBassFxParamEq, [&](void* p) { static_cast<BassParamEqParams*>(p)->gain = -15.5f; }},
      {kBassFxWavesReverb, [&](void* p) { static_cast<BassWavesReverbParams*>(p)->highFreqRtRatio = 1; }},
      {kBassFxWavesReverb, [&](void* p) { static_cast<BassWavesReverbParams*>(p)->reverbTime = nan; }},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.type);
    DWORD e = bass.setFx(h, b.type, 0);
    ASSERT_NE(e, 0u);
    std::uint8_t before[64] = {}, block[64] = {}, after[64] = {};
    ASSERT_TRUE(bass.getParams(e, before));
    std::memcpy(block, before, sizeof block);
    ASSERT_TRUE(bass.setParams(e, block));  // the starting values are in range
    b.spoil(block);
    EXPECT_FALSE(bass.setParams(e, block));
    EXPECT_EQ(bass.error(), kParamError);
    ASSERT_TRUE(bass.getParams(e, after));
    EXPECT_EQ(std::memcmp(before, after, sizeof after), 0);
    EXPECT_TRUE(bass.removeFx(h, e));
  }
  EXPECT_FALSE(bass.setParams(fx, nullptr));
  EXPECT_EQ(bass.error(), kParamError);
  EXPECT_FALSE(bass.getParams(fx, nullptr));
  EXPECT_EQ(bass.error(), kParamError);
  EXPECT_TRUE(bass.release(h));
}

TEST_F(BassEffects, BadHandlesAndTypesAreRefused) {
  DWORD a = ImpulseSound(1000);
  DWORD b = ImpulseSound(1000);
  BassEchoParams echo;
  EXPECT_EQ(bass.setFx(0, kBassFxEcho, 0), 0u);
  EXPECT_EQ(bass.error(), kHandleError);
  EXPECT_EQ(bass.setFx(a, 9, 0), 0u);
  EXPECT_EQ(bass.error(), kTypeError);
  DWORD fx = bass.setFx(a, kBassFxEcho, 0);
  ASSERT_NE(fx, 0u);
  EXPECT_FALSE(bass.removeFx(b, fx));  // not on that channel
  EXPECT_EQ(bass.error(), kHandleError);
  EXPECT_FALSE(bass.removeFx(12345, fx));
  EXPECT_EQ(bass.error(), kHandleError);
  EXPECT_FALSE(bass.setParams(a, &echo));  // a channel is not an effect
  EXPECT_EQ(bass.error(), kHandleError);
  EXPECT_TRUE(bass.getParams(fx, &echo));
  // Freeing the channel frees its effects.
  EXPECT_TRUE(bass.release(a));
  EXPECT_FALSE(bass.getParams(fx, &echo));
  EXPECT_EQ(bass.error(), kHandleError);
  EXPECT_FALSE(bass.removeFx(b, fx));
  EXPECT_TRUE(bass.release(b));
}

// Effects are added, changed and removed on one thread while another mixes.
TEST_F(BassEffects, ChangingEffectsWhileTheMixerRuns) {
  std::vector<std::int16_t> samples(20000);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>((i * 97) % 20000 - 10000);
  file = soundtest::Wav16(samples, kRate);
  DWORD h = bass.create(TRUE, file.data(), 0, file.size(), BASS_SAMPLE_LOOP);
  ASSERT_NE(h, 0u);
  bass.play(h, TRUE);
  std::atomic<bool> done{false};
  std::thread mixer([&] {
    std::vector<std::int16_t> out(2 * 512);
    // Block after block, with a pause between them as a device makes: a mixer that takes its
    // lock again at once can keep it from the changing thread for minutes on a loaded machine.
    while (!done) {
      AudioMixer::Get().Mix(out.data(), 512);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  for (int round = 0; round < 40; ++round) {
    const DWORD type = static_cast<DWORD>(round % 9);
    DWORD fx = bass.setFx(h, type, round % 3);
    ASSERT_NE(fx, 0u);
    std::uint8_t block[64];
    ASSERT_TRUE(bass.getParams(fx, block));
    EXPECT_TRUE(bass.setParams(fx, block));
    if (round % 2 == 1) {
      EXPECT_TRUE(bass.removeFx(h, fx));
    }
  }
  done = true;
  mixer.join();
  EXPECT_TRUE(bass.release(h));
}

}  // namespace
