// The software mixer through DirectSound buffers and the bass.dll stand-in, with the device
// taken away so the test pulls every mixed sample itself.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/AudioDecode.h"
#include "platform/AudioMixer.h"
#include "platform/BassDll.h"
#include "platform/DirectSound.h"
#include "platform/Module.h"
#include "platform/WaveOutMixer.h"
#include "tests/framework/sound/SoundFixtures.h"

using namespace plat;

namespace {

struct Frame {
  int left, right;
};

std::vector<Frame> Pull(int frames) {
  std::vector<std::int16_t> raw(static_cast<std::size_t>(frames) * 2);
  AudioMixer::Get().Mix(raw.data(), frames);
  std::vector<Frame> out;
  for (int i = 0; i < frames; ++i) out.push_back({raw[2 * i], raw[2 * i + 1]});
  return out;
}

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AudioMixer::Get().SetManualPull(true);
    AudioMixer::Get().SetMasterLevel(65535);
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
  }
  void TearDown() override {
    for (auto* b : buffers) b->Release();
    ds->Release();
    EXPECT_EQ(AudioMixer::Get().VoiceCount(), 0);
  }

  // A buffer of `frames` frames, each sample `value`.
  IDirectSoundBuffer* Make(int frames, std::int16_t value, WORD channels = 1, DWORD rate = 44100) {
    WAVEFORMATEX f{WAVE_FORMAT_PCM, channels, rate, rate * channels * 2, static_cast<WORD>(channels * 2), 16, 0};
    DSBUFFERDESC desc{20, 0x80EA, static_cast<DWORD>(frames * channels * 2), 0, &f};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
    void* p;
    DWORD n;
    EXPECT_EQ(b->Lock(0, desc.dwBufferBytes, &p, &n, nullptr, nullptr, 0), DS_OK);
    for (DWORD i = 0; i < n / 2; ++i) static_cast<std::int16_t*>(p)[i] = value;
    b->Unlock(p, n, nullptr, 0);
    buffers.push_back(b);
    return b;
  }

  IDirectSound* ds = nullptr;
  std::vector<IDirectSoundBuffer*> buffers;
};

TEST_F(MixerTest, VolumeAndPanScaleEachSide) {
  IDirectSoundBuffer* b = Make(1000, 10000);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  Frame f = Pull(1)[0];
  EXPECT_EQ(f.left, 10000);
  EXPECT_EQ(f.right, 10000);

  ASSERT_EQ(b->SetVolume(-2000), DS_OK);  // -20 dB
  f = Pull(1)[0];
  EXPECT_NEAR(f.left, 1000, 1);
  EXPECT_NEAR(f.right, 1000, 1);

  ASSERT_EQ(b->SetVolume(0), DS_OK);
  ASSERT_EQ(b->SetPan(2000), DS_OK);  // right: the left side drops 20 dB
  f = Pull(1)[0];
  EXPECT_NEAR(f.left, 1000, 1);
  EXPECT_EQ(f.right, 10000);
  ASSERT_EQ(b->SetPan(-10000), DS_OK);
  f = Pull(1)[0];
  EXPECT_EQ(f.left, 10000);
  EXPECT_EQ(f.right, 0);

  // Out-of-range values are refused and the old value stays.
  EXPECT_EQ(b->SetVolume(376), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetPan(10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetFrequency(99), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetFrequency(100001), DSERR_INVALIDPARAM);
  LONG pan = 0;
  b->GetPan(&pan);
  EXPECT_EQ(pan, -10000);
  ASSERT_EQ(b->SetVolume(-10000), DS_OK);
  f = Pull(1)[0];
  EXPECT_EQ(f.left, 0);
}

TEST_F(MixerTest, SoundsSumAndClipAndMasterLevelScalesTheMix) {
  Make(100, 20000)->Play(0, 0, 0);
  Make(100, 20000)->Play(0, 0, 0);
  EXPECT_EQ(Pull(1)[0].left, 32767);
  AudioMixer::Get().SetMasterLevel(65535 / 4);
  EXPECT_NEAR(Pull(1)[0].left, 10000, 2);
}

TEST_F(MixerTest, OneShotEndsAndLoopKeepsGoing) {
  IDirectSoundBuffer* once = Make(100, 1000);
  IDirectSoundBuffer* loop = Make(100, 2000);
  once->Play(0, 0, 0);
  loop->Play(0, 0, DSBPLAY_LOOPING);
  std::vector<Frame> frames = Pull(250);
  EXPECT_EQ(frames[99].left, 3000);
  EXPECT_EQ(frames[100].left, 2000);
  EXPECT_EQ(frames[249].left, 2000);
  DWORD status = 0;
  once->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  loop->GetStatus(&status);
  EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
  loop->Stop();
  EXPECT_EQ(Pull(1)[0].left, 0);
}

TEST_F(MixerTest, FrequencyStepsThroughTheSamplesAndInterpolatesBetweenThem) {
  // A ramp at 22050 Hz: every other output frame is a frame of the ramp, the ones between lie
  // between their neighbours; at 88200 Hz every other frame is played.
  IDirectSoundBuffer* b = Make(32, 0, 1, 22050);
  void* p;
  DWORD n;
  b->Lock(0, 64, &p, &n, nullptr, nullptr, 0);
  for (int i = 0; i < 32; ++i) static_cast<std::int16_t*>(p)[i] = static_cast<std::int16_t>(100 * (i + 1));
  b->Unlock(p, n, nullptr, 0);
  b->Play(0, 0, 0);
  std::vector<Frame> slow = Pull(40);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(slow[static_cast<std::size_t>(2 * i)].left, 100 * (i + 1)) << i;
  for (int i = 8; i < 12; ++i) EXPECT_NEAR(slow[static_cast<std::size_t>(2 * i + 1)].left, 100 * (i + 1) + 50, 5) << i;
  b->Stop();
  b->SetCurrentPosition(0);
  b->SetFrequency(88200);
  DWORD freq = 0;
  b->GetFrequency(&freq);
  EXPECT_EQ(freq, 88200u);
  b->Play(0, 0, 0);
  std::vector<Frame> fast = Pull(6);
  EXPECT_NEAR(fast[4].left, 900, 5);  // filtered against aliasing, so close to the ramp
  EXPECT_NEAR(fast[5].left, 1100, 5);
  EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);  // 0: back to the buffer's own rate
  b->GetFrequency(&freq);
  EXPECT_EQ(freq, 22050u);
}

// Power of one frequency in a run of samples (Goertzel), after a Hann window.
double Power(const std::vector<Frame>& frames, double frequency) {
  const double w = 2.0 * M_PI * frequency / AudioMixer::kOutputRate;
  double s1 = 0.0, s2 = 0.0;
  const std::size_t n = frames.size();
  for (std::size_t i = 0; i < n; ++i) {
    double hann = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / static_cast<double>(n - 1));
    double s = frames[i].left * hann + 2.0 * std::cos(w) * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  return s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2;
}

TEST_F(MixerTest, UpSampledToneLeavesItsImageFarBelowIt) {
  // A 9 kHz tone at 22050 Hz played out at 44100 Hz: its image lies at 13050 Hz.
  const int frames = 22050;
  IDirectSoundBuffer* b = Make(frames, 0, 1, 22050);
  void* p;
  DWORD n;
  b->Lock(0, frames * 2, &p, &n, nullptr, nullptr, 0);
  for (int i = 0; i < frames; ++i)
    static_cast<std::int16_t*>(p)[i] = static_cast<std::int16_t>(std::lround(16000.0 * std::sin(2.0 * M_PI * 9000.0 * i / 22050.0)));
  b->Unlock(p, n, nullptr, 0);
  b->Play(0, 0, 0);
  Pull(1000);
  std::vector<Frame> heard = Pull(8192);
  double db = 10.0 * std::log10(Power(heard, 9000.0) / Power(heard, 13050.0));
  EXPECT_GT(db, 30.0);
}

TEST_F(MixerTest, DuplicateOutlivesItsSourceAndKeepsItsOwnState) {
  IDirectSoundBuffer* source = Make(100, 4000);
  IDirectSoundBuffer* copy = nullptr;
  ASSERT_EQ(ds->DuplicateSoundBuffer(source, &copy), DS_OK);
  buffers.erase(buffers.begin());
  source->Release();  // the samples stay while the copy holds them
  copy->SetVolume(-2000);
  copy->Play(0, 0, 0);
  EXPECT_NEAR(Pull(1)[0].left, 400, 1);
  DWORD play = 0;
  copy->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 2u);
  copy->Release();
}

TEST_F(MixerTest, BufferDescriptionsOutsideTheLimitsAreRefused) {
  struct Case {
    const char* what;
    WORD tag, channels, bits;
    DWORD rate, bytes;
    HRESULT expected;
  };
  const Case cases[] = {
      {"float samples", 3, 1, 16, 44100, 100, DSERR_BADFORMAT},
      {"three channels", 1, 3, 16, 44100, 102, DSERR_BADFORMAT},
      {"24-bit", 1, 1, 24, 44100, 99, DSERR_BADFORMAT},
      {"rate too low", 1, 1, 16, 99, 100, DSERR_BADFORMAT},
      {"too small", 1, 1, 16, 44100, 2, DSERR_INVALIDPARAM},
      {"too large", 1, 1, 16, 44100, 0x10000000, DSERR_INVALIDPARAM},
      {"8-bit stereo", 1, 2, 8, 8000, 4, DS_OK},
  };
  for (const Case& c : cases) {
    WAVEFORMATEX f{c.tag, c.channels, c.rate, 0, static_cast<WORD>(c.channels * c.bits / 8), c.bits, 0};
    DSBUFFERDESC desc{20, 0x80EA, c.bytes, 0, &f};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), c.expected) << c.what;
    if (b != nullptr) {
      // Fresh 8-bit buffers hold silence (the unsigned middle value).
      b->Play(0, 0, 0);
      EXPECT_EQ(Pull(1)[0].left, 0) << c.what;
      b->Release();
    }
  }
  IDirectSoundBuffer* b = Make(4, 0);
  void* p;
  DWORD n;
  EXPECT_EQ(b->Lock(4, 8, &p, &n, nullptr, nullptr, 0), DSERR_INVALIDPARAM);  // past the end
}

TEST_F(MixerTest, WaveOutControlIsTheMasterLevel) {
  HMIXER mixer = nullptr;
  ASSERT_EQ(mixerOpen(&mixer, 0, 0, 0, 0), MMSYSERR_NOERROR);
  MIXERLINEA line;
  line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
  ASSERT_EQ(mixerGetLineInfoA(mixer, &line, MIXER_GETLINEINFOF_COMPONENTTYPE), MMSYSERR_NOERROR);
  MIXERCONTROLA control;
  MIXERLINECONTROLSA controls;
  controls.dwLineID = line.dwLineID;
  controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
  controls.cControls = 1;
  controls.pamxctrl = &control;
  ASSERT_EQ(mixerGetLineControlsA(mixer, &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE), MMSYSERR_NOERROR);
  MIXERCONTROLDETAILS_UNSIGNED value{32768};
  MIXERCONTROLDETAILS details;
  details.dwControlID = control.dwControlID;
  details.cChannels = 1;
  details.paDetails = &value;
  ASSERT_EQ(mixerSetControlDetails(mixer, &details, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(AudioMixer::Get().GetMasterLevel(), 32768u);
  value.dwValue = 70000;
  EXPECT_EQ(mixerSetControlDetails(mixer, &details, 0), MMSYSERR_INVALPARAM);
  value.dwValue = 0;
  ASSERT_EQ(mixerGetControlDetailsA(mixer, &details, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(value.dwValue, 32768u);
  EXPECT_EQ(mixerClose(mixer), MMSYSERR_NOERROR);
}

// ---- The bass.dll stand-in ----

std::vector<std::uint8_t> Wav(int frames, std::int16_t value, bool oddChunkFirst) {
  std::vector<std::uint8_t> w;
  auto put = [&](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) w.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto tag = [&](const char* t) { for (int i = 0; i < 4; ++i) w.push_back(static_cast<std::uint8_t>(t[i])); };
  tag("RIFF");
  put(0, 4);
  tag("WAVE");
  if (oddChunkFirst) {  // RIFF pads odd chunks to an even length
    tag("LIST");
    put(3, 4);
    put(0x00030201, 4);
  }
  tag("fmt ");
  put(16, 4);
  put(1, 2);
  put(1, 2);
  put(44100, 4);
  put(88200, 4);
  put(2, 2);
  put(16, 2);
  tag("data");
  put(static_cast<std::uint32_t>(frames * 2), 4);
  for (int i = 0; i < frames; ++i) put(static_cast<std::uint16_t>(value), 2);
  return w;
}

TEST_F(MixerTest, BassStreamsPlayPauseEndAndFollowTheGlobalVolume) {
  HMODULE bass = LoadLibrary("bass.dll");
  ASSERT_NE(bass, nullptr);
  auto create = ProcAs<BASS_StreamCreateFile_Fn>(GetProcAddress(bass, "BASS_StreamCreateFile"));
  auto play = ProcAs<BASS_ChannelPlay_Fn>(GetProcAddress(bass, "BASS_ChannelPlay"));
  auto pause = ProcAs<BASS_Channel_Fn>(GetProcAddress(bass, "BASS_ChannelPause"));
  auto active = ProcAs<BASS_ChannelIsActive_Fn>(GetProcAddress(bass, "BASS_ChannelIsActive"));
  auto attributes = ProcAs<BASS_ChannelSetAttributes_Fn>(GetProcAddress(bass, "BASS_ChannelSetAttributes"));
  auto config = ProcAs<BASS_SetConfig_Fn>(GetProcAddress(bass, "BASS_SetConfig"));
  auto flags = ProcAs<BASS_ChannelSetFlags_Fn>(GetProcAddress(bass, "BASS_ChannelSetFlags"));
  auto release = ProcAs<BASS_StreamFree_Fn>(GetProcAddress(bass, "BASS_StreamFree"));

  std::vector<std::uint8_t> file = Wav(100, 8000, true);
  DWORD h = create(TRUE, file.data(), 0, file.size(), 0);
  ASSERT_NE(h, 0u);
  const char junkText[] = "RIFF\0\0\0\0WAVEdata";
  std::vector<std::uint8_t> junk(junkText, junkText + 16);
  EXPECT_EQ(create(TRUE, junk.data(), 0, junk.size(), 0), 0u);
  EXPECT_EQ(create(FALSE, "no/such/file.wav", 0, 0, 0), 0u);

  EXPECT_EQ(active(h), BASS_ACTIVE_STOPPED);
  play(h, TRUE);
  EXPECT_EQ(active(h), BASS_ACTIVE_PLAYING);
  EXPECT_EQ(Pull(1)[0].left, 8000);
  attributes(h, -1, 50, -101);
  config(BASS_CONFIG_GVOL_STREAM, 50);
  EXPECT_NEAR(Pull(1)[0].left, 2000, 1);
  pause(h);
  EXPECT_EQ(active(h), BASS_ACTIVE_PAUSED);
  EXPECT_EQ(Pull(1)[0].left, 0);
  play(h, FALSE);
  Pull(200);  // past the end of a stream without the loop flag
  EXPECT_EQ(active(h), BASS_ACTIVE_STOPPED);
  flags(h, BASS_SAMPLE_LOOP);
  play(h, TRUE);
  Pull(300);
  EXPECT_EQ(active(h), BASS_ACTIVE_PLAYING);
  config(BASS_CONFIG_GVOL_STREAM, 100);
  EXPECT_TRUE(release(h));
  EXPECT_FALSE(release(h));
  EXPECT_EQ(active(h), BASS_ACTIVE_STOPPED);
  FreeLibrary(bass);
}

struct BassCalls {
  HMODULE bass = LoadLibrary("bass.dll");
  BASS_StreamCreateFile_Fn create = ProcAs<BASS_StreamCreateFile_Fn>(GetProcAddress(bass, "BASS_StreamCreateFile"));
  BASS_ChannelPlay_Fn play = ProcAs<BASS_ChannelPlay_Fn>(GetProcAddress(bass, "BASS_ChannelPlay"));
  BASS_ChannelIsActive_Fn active = ProcAs<BASS_ChannelIsActive_Fn>(GetProcAddress(bass, "BASS_ChannelIsActive"));
  BASS_ChannelSetFlags_Fn flags = ProcAs<BASS_ChannelSetFlags_Fn>(GetProcAddress(bass, "BASS_ChannelSetFlags"));
  BASS_StreamFree_Fn release = ProcAs<BASS_StreamFree_Fn>(GetProcAddress(bass, "BASS_StreamFree"));
  BASS_ChannelSlideAttributes_Fn slide =
      ProcAs<BASS_ChannelSlideAttributes_Fn>(GetProcAddress(bass, "BASS_ChannelSlideAttributes"));
  BASS_Channel_Fn sliding = ProcAs<BASS_Channel_Fn>(GetProcAddress(bass, "BASS_ChannelIsSliding"));
  ~BassCalls() { FreeLibrary(bass); }
};

TEST_F(MixerTest, BassVolumeSlidesGlideOverTheirTimeAsTheMixPlays) {
  BassCalls bass;
  std::vector<std::uint8_t> file = Wav(20000, 8000, false);
  DWORD h = bass.create(TRUE, file.data(), 0, file.size(), BASS_SAMPLE_LOOP);
  ASSERT_NE(h, 0u);
  bass.play(h, TRUE);
  EXPECT_TRUE(bass.slide(h, -1, 0, -101, 100));  // to silence over 100 ms: 4410 frames
  EXPECT_TRUE(bass.sliding(h));
  std::vector<Frame> first = Pull(2205);
  EXPECT_NEAR(first[0].left, 8000, 5);
  EXPECT_NEAR(first.back().left, 4000, 10);
  Pull(2205);
  EXPECT_FALSE(bass.sliding(h));
  EXPECT_EQ(Pull(1)[0].left, 0);
  EXPECT_TRUE(bass.slide(h, -1, 50, -101, 0));  // no time: at once
  EXPECT_NEAR(Pull(1)[0].left, 4000, 1);
  EXPECT_TRUE(bass.release(h));
}

// ---- Streams ----

// A stereo 16-bit WAV at 44100 Hz of a counting pattern; over the size decoded whole.
constexpr int kStreamFrames = 3 * 44100;
std::int16_t PatternLeft(int i) { return static_cast<std::int16_t>(i % 30000); }

std::vector<std::uint8_t> LongWav() {
  std::vector<std::uint8_t> w;
  auto put = [&](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) w.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  for (const char* t : {"RIFF"}) w.insert(w.end(), t, t + 4);
  put(0, 4);
  for (const char* t : {"WAVEfmt "}) w.insert(w.end(), t, t + 8);
  put(16, 4);
  put(1, 2);
  put(2, 2);
  put(44100, 4);
  put(176400, 4);
  put(4, 2);
  put(16, 2);
  for (const char* t : {"data"}) w.insert(w.end(), t, t + 4);
  put(kStreamFrames * 4, 4);
  for (int i = 0; i < kStreamFrames; ++i) {
    put(static_cast<std::uint16_t>(PatternLeft(i)), 2);
    put(static_cast<std::uint16_t>(-PatternLeft(i)), 2);
  }
  return w;
}


TEST_F(MixerTest, LongStreamsPlayEveryFrameInOrderLoopSeamlesslyAndEnd) {
  BassCalls bass;
  std::vector<std::uint8_t> file = LongWav();
  DWORD h = bass.create(TRUE, file.data(), 0, file.size(), 0);
  ASSERT_NE(h, 0u);
  auto expectPattern = [](const std::vector<Frame>& got, int from) {
    int wrong = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
      int at = (from + static_cast<int>(i)) % kStreamFrames;
      if (got[i].left != PatternLeft(at) || got[i].right != -PatternLeft(at)) ++wrong;
    }
    EXPECT_EQ(wrong, 0) << "from frame " << from;
  };
  bass.play(h, TRUE);
  int at = 0;
  for (int piece : {3001, 40000, 777, 50000}) {  // pieces of every size, across many refills
    expectPattern(Pull(piece), at);
    at += piece;
  }
  Pull(kStreamFrames - at + 10);
  EXPECT_EQ(bass.active(h), BASS_ACTIVE_STOPPED);

  bass.flags(h, BASS_SAMPLE_LOOP);
  bass.play(h, TRUE);
  Pull(kStreamFrames - 1000);
  expectPattern(Pull(3000), kStreamFrames - 1000);  // over the loop point without a gap
  EXPECT_EQ(bass.active(h), BASS_ACTIVE_PLAYING);
  EXPECT_TRUE(bass.release(h));
}

TEST_F(MixerTest, NoLockIsHeldWhileStreamsReadOrDecode) {
  BassCalls bass;
  std::vector<std::uint8_t> file = LongWav();
  soundtest::Gate gate;
  SetSoundFileOpener([&](const std::string&) { return std::make_unique<soundtest::GatedFile>(file, gate); });

  // Loading: another thread asks about channels and the mixer while the file is being read.
  gate.Set(false);
  DWORD h = 0;
  std::thread loader([&] { h = bass.create(FALSE, "long.wav", 0, 0, 0); });
  ASSERT_TRUE(gate.AwaitWaiter());
  EXPECT_TRUE(soundtest::ReturnsWhileReading([&] { return bass.active(12345) + AudioMixer::Get().VoiceCount(); }));
  gate.Set(true);
  loader.join();
  ASSERT_NE(h, 0u);

  // Playing: the mixing thread refills the stream from the file without the lock.
  bass.play(h, TRUE);
  gate.Set(false);
  std::thread mixer([] { Pull(4096); });
  ASSERT_TRUE(gate.AwaitWaiter());
  EXPECT_TRUE(soundtest::ReturnsWhileReading([&] { return bass.active(h); }));
  gate.Set(true);
  mixer.join();
  EXPECT_EQ(bass.active(h), BASS_ACTIVE_PLAYING);
  SetSoundFileOpener(nullptr);
  EXPECT_TRUE(bass.release(h));
}

}  // namespace
