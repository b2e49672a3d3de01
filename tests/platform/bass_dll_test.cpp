// The "bass.dll" stand-in's syncs, sample data and spectra, and decoder plug-ins, with the
// output device taken away so the test pulls every mixed sample itself.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/AudioDecode.h"
#include "platform/AudioMixer.h"
#include "platform/BassDll.h"
#include "platform/Module.h"
#include "tests/framework/sound/SoundFixtures.h"

using namespace plat;

namespace {

void Pull(int frames) {
  std::vector<std::int16_t> raw(static_cast<std::size_t>(frames) * 2);
  AudioMixer::Get().Mix(raw.data(), frames);
}

std::vector<std::int16_t> PullSamples(int frames) {
  std::vector<std::int16_t> raw(static_cast<std::size_t>(frames) * 2);
  AudioMixer::Get().Mix(raw.data(), frames);
  return raw;
}

template <typename Fn>
Fn Proc(HMODULE bass, const char* name) {
  FARPROC p = GetProcAddress(bass, name);
  EXPECT_NE(p, nullptr) << name;
  return ProcAs<Fn>(p);
}

struct Bass {
  HMODULE lib = LoadLibrary("bass.dll");
  BASS_StreamCreateFile_Fn create = Proc<BASS_StreamCreateFile_Fn>(lib, "BASS_StreamCreateFile");
  BASS_MusicLoad_Fn music = Proc<BASS_MusicLoad_Fn>(lib, "BASS_MusicLoad");
  BASS_ChannelPlay_Fn play = Proc<BASS_ChannelPlay_Fn>(lib, "BASS_ChannelPlay");
  BASS_Channel_Fn stop = Proc<BASS_Channel_Fn>(lib, "BASS_ChannelStop");
  BASS_ChannelIsActive_Fn active = Proc<BASS_ChannelIsActive_Fn>(lib, "BASS_ChannelIsActive");
  BASS_ChannelSetFlags_Fn flags = Proc<BASS_ChannelSetFlags_Fn>(lib, "BASS_ChannelSetFlags");
  BASS_ChannelSetPosition_Fn seek = Proc<BASS_ChannelSetPosition_Fn>(lib, "BASS_ChannelSetPosition");
  BASS_ChannelGetPosition_Fn position = Proc<BASS_ChannelGetPosition_Fn>(lib, "BASS_ChannelGetPosition");
  BASS_ChannelSetAttributes_Fn attributes = Proc<BASS_ChannelSetAttributes_Fn>(lib, "BASS_ChannelSetAttributes");
  BASS_ChannelSlideAttributes_Fn slide = Proc<BASS_ChannelSlideAttributes_Fn>(lib, "BASS_ChannelSlideAttributes");
  BASS_StreamFree_Fn release = Proc<BASS_StreamFree_Fn>(lib, "BASS_StreamFree");
  BASS_MusicFree_Fn releaseMusic = Proc<BASS_MusicFree_Fn>(lib, "BASS_MusicFree");
  BASS_ChannelSetSync_Fn setSync = Proc<BASS_ChannelSetSync_Fn>(lib, "BASS_ChannelSetSync");
  BASS_ChannelRemoveSync_Fn removeSync = Proc<BASS_ChannelRemoveSync_Fn>(lib, "BASS_ChannelRemoveSync");
  BASS_ChannelGetData_Fn data = Proc<BASS_ChannelGetData_Fn>(lib, "BASS_ChannelGetData");
  BASS_PluginLoad_Fn pluginLoad = Proc<BASS_PluginLoad_Fn>(lib, "BASS_PluginLoad");
  BASS_Void_Fn free = Proc<BASS_Void_Fn>(lib, "BASS_Free");
  BASS_ErrorGetCode_Fn error = Proc<BASS_ErrorGetCode_Fn>(lib, "BASS_ErrorGetCode");
  ~Bass() { FreeLibrary(lib); }
};

class BassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AudioMixer::Get().SetManualPull(true);
    AudioMixer::Get().SetMasterLevel(65535);
  }
  void TearDown() override {
    bass.free();
    EXPECT_EQ(AudioMixer::Get().VoiceCount(), 0);
  }
  Bass bass;
};

// A 16-bit WAV at 44100 Hz, `channels` wide, of `frames` frames given by `sample(frame, side)`.
template <typename Fn>
std::vector<std::uint8_t> Wav(int frames, int channels, Fn sample) {
  soundtest::Bytes w = soundtest::WavHead();
  soundtest::Fmt(w, 1, channels, 44100, 16);
  std::vector<std::uint8_t> raw;
  for (int i = 0; i < frames; ++i)
    for (int side = 0; side < channels; ++side) {
      const auto s = static_cast<std::uint16_t>(sample(i, side));
      raw.push_back(static_cast<std::uint8_t>(s));
      raw.push_back(static_cast<std::uint8_t>(s >> 8));
    }
  return soundtest::Data(w, raw).b;
}

std::vector<std::uint8_t> Tone(int frames) {
  return Wav(frames, 1, [](int, int) { return std::int16_t{8000}; });
}

// Counts its calls; `data` is the last call's.
struct Record {
  std::atomic<int> calls{0};
  std::atomic<DWORD> data{0};
  std::atomic<DWORD> channel{0};
};

void Count(HSYNC, DWORD channel, DWORD data, void* user) {
  auto* r = static_cast<Record*>(user);
  r->data = data;
  r->channel = channel;
  ++r->calls;
}

// ---- Syncs ----

// A sound decoded whole (short), a stream decoded as it plays (long), and a module: END comes
// once at the end, and then once each time round when looping; a one-time END only once.
TEST_F(BassTest, EndComesAtTheEndAndEachTimeALoopGoesRound) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
    bool module;
    int length;  // frames of one pass
  };
  const std::vector<Case> cases = {
      {"whole", Tone(10000), false, 10000},
      {"stream", Tone(100000), false, 100000},
      {"module", soundtest::Mod({64, 32, 16}), true, 3 * soundtest::kRowFrames},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DWORD h = c.module ? bass.music(TRUE, c.file.data(), 0, static_cast<DWORD>(c.file.size()), 0, 0)
                             : bass.create(TRUE, c.file.data(), 0, c.file.size(), 0);
    ASSERT_NE(h, 0u);
    Record end, once;
    ASSERT_NE(bass.setSync(h, BASS_SYNC_END, 0, &Count, &end), 0u);
    const HSYNC onetime = bass.setSync(h, BASS_SYNC_END | BASS_SYNC_ONETIME, 0, &Count, &once);
    ASSERT_NE(onetime, 0u);
    bass.play(h, TRUE);
    Pull(c.length - 4096);
    EXPECT_EQ(end.calls, 0);
    Pull(8192);
    EXPECT_EQ(end.calls, 1);
    EXPECT_EQ(end.channel, h);
    EXPECT_EQ(bass.active(h), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(once.calls, 1);
    EXPECT_FALSE(bass.removeSync(h, onetime));  // gone once called

    bass.flags(h, BASS_SAMPLE_LOOP);
    bass.play(h, TRUE);
    Pull(c.length * 2 + c.length / 2);
    EXPECT_EQ(end.calls, 3);
    EXPECT_EQ(bass.active(h), BASS_ACTIVE_PLAYING);
    if (c.module) bass.releaseMusic(h);
    else EXPECT_TRUE(bass.release(h));
  }
}

// POS comes in the piece that plays its position, not for a jump over it; a mix-time call comes
// as soon as its piece is mixed, an ordinary one when the whole block asked for is done.
TEST_F(BassTest, PositionSyncsComeWhenTheirPositionIsPlayed) {
  const std::vector<std::uint8_t> file = Tone(40000);
  const DWORD h = bass.create(TRUE, file.data(), 0, file.size(), 0);
  ASSERT_NE(h, 0u);
  struct Seen {
    Bass* bass;
    std::atomic<QWORD> at{0};
    std::atomic<int> calls{0};
  } mixTime{&bass}, heard{&bass};
  auto note = [](HSYNC, DWORD channel, DWORD, void* user) {
    auto* s = static_cast<Seen*>(user);
    s->at = s->bass->position(channel);
    ++s->calls;
  };
  // Mono 16-bit: two bytes a frame; the position is 3000 frames in.
  ASSERT_NE(bass.setSync(h, BASS_SYNC_POS | BASS_SYNC_MIXTIME, 6000, note, &mixTime), 0u);
  ASSERT_NE(bass.setSync(h, BASS_SYNC_POS, 6000, note, &heard), 0u);
  bass.play(h, TRUE);
  Pull(2900);
  EXPECT_EQ(heard.calls, 0);
  Pull(8192);
  EXPECT_EQ(mixTime.calls, 1);
  EXPECT_EQ(heard.calls, 1);
  EXPECT_EQ(mixTime.at, 2 * (2900u + 1024u));  // after the piece of 1024 frames over frame 3000
  EXPECT_EQ(heard.at, 2 * (2900u + 8192u));

  ASSERT_TRUE(bass.seek(h, 2 * 1000));  // back before it: it comes again
  Pull(2500);
  EXPECT_EQ(heard.calls, 2);
  ASSERT_TRUE(bass.seek(h, 2 * 1000));
  ASSERT_TRUE(bass.seek(h, 2 * 20000));  // a jump over it: nothing
  Pull(4000);
  EXPECT_EQ(heard.calls, 2);
  EXPECT_TRUE(bass.release(h));
}

// Modules count positions in orders and rows: POS at an order, MUSICPOS at a row of any order.
TEST_F(BassTest, ModulePositionSyncsComeAtTheirOrderAndRow) {
  const std::vector<std::uint8_t> file = soundtest::Mod({64, 48, 32, 16});
  const DWORD h = bass.music(TRUE, file.data(), 0, static_cast<DWORD>(file.size()), 0, 0);
  ASSERT_NE(h, 0u);
  Record order2, everyOrder;
  ASSERT_NE(bass.setSync(h, BASS_SYNC_POS, 2, &Count, &order2), 0u);  // order 2, row 0
  ASSERT_NE(bass.setSync(h, BASS_SYNC_MUSICPOS, 0xFFFF, &Count, &everyOrder), 0u);  // row 0 of any order
  EXPECT_EQ(bass.setSync(h, BASS_SYNC_MUSICPOS + 100, 0, &Count, &order2), 0u);
  EXPECT_EQ(bass.error(), BASS_ERROR_ILLTYPE);
  bass.play(h, TRUE);
  Pull(2 * soundtest::kRowFrames - 3000);
  EXPECT_EQ(order2.calls, 0);
  EXPECT_EQ(everyOrder.calls, 2);  // orders 0 and 1 began
  Pull(6000);
  EXPECT_EQ(order2.calls, 1);
  EXPECT_EQ(everyOrder.calls, 3);
  bass.releaseMusic(h);
}

TEST_F(BassTest, MusicPositionSyncsAreForModulesOnly) {
  const std::vector<std::uint8_t> file = Tone(1000);
  const DWORD h = bass.create(TRUE, file.data(), 0, file.size(), 0);
  Record r;
  EXPECT_EQ(bass.setSync(h, BASS_SYNC_MUSICPOS, 0, &Count, &r), 0u);
  EXPECT_EQ(bass.error(), BASS_ERROR_ILLTYPE);
  EXPECT_EQ(bass.setSync(h, BASS_SYNC_END, 0, nullptr, &r), 0u);
  EXPECT_EQ(bass.error(), BASS_ERROR_ILLPARAM);
  EXPECT_EQ(bass.setSync(0x7777, BASS_SYNC_END, 0, &Count, &r), 0u);
  EXPECT_EQ(bass.error(), BASS_ERROR_HANDLE);
  EXPECT_FALSE(bass.removeSync(h, 12345));
  EXPECT_EQ(bass.error(), BASS_ERROR_HANDLE);
}

// A callback may stop its own channel, move it, remove its own sync and free the channel: no
// lock of the library is held while it runs. Freeing calls the FREE sync and drops the rest.
TEST_F(BassTest, CallbacksMayCallTheLibraryOnTheirOwnChannel) {
  const std::vector<std::uint8_t> file = Tone(20000);
  const DWORD h = bass.create(TRUE, file.data(), 0, file.size(), BASS_SAMPLE_LOOP);
  ASSERT_NE(h, 0u);
  struct Context {
    Bass* bass;
    HSYNC self = 0;
    int calls = 0;
    bool removed = false;
  } context{&bass};
  auto stopAndRemove = [](HSYNC sync, DWORD channel, DWORD, void* user) {
    auto* c = static_cast<Context*>(user);
    ++c->calls;
    c->bass->stop(channel);
    c->bass->seek(channel, 0);
    c->removed = c->bass->removeSync(channel, sync) != FALSE;
  };
  for (DWORD flag : {DWORD{0}, BASS_SYNC_MIXTIME}) {
    context.calls = 0;
    context.self = bass.setSync(h, BASS_SYNC_POS | flag, 2 * 5000, stopAndRemove, &context);
    ASSERT_NE(context.self, 0u);
    bass.play(h, TRUE);
    Pull(8000);
    EXPECT_EQ(context.calls, 1);
    EXPECT_TRUE(context.removed);
    EXPECT_EQ(bass.active(h), BASS_ACTIVE_STOPPED);
  }

  Record freed, ended;
  ASSERT_NE(bass.setSync(h, BASS_SYNC_FREE, 0, &Count, &freed), 0u);
  ASSERT_NE(bass.setSync(h, BASS_SYNC_END, 0, &Count, &ended), 0u);
  auto freeIt = [](HSYNC, DWORD channel, DWORD, void* user) { static_cast<Bass*>(user)->release(channel); };
  ASSERT_NE(bass.setSync(h, BASS_SYNC_POS, 2 * 100, freeIt, &bass), 0u);
  bass.play(h, TRUE);
  Pull(30000);  // would have gone round the loop: but the channel is freed first
  EXPECT_EQ(freed.calls, 1);
  EXPECT_EQ(freed.channel, h);
  EXPECT_EQ(ended.calls, 0);
  EXPECT_EQ(bass.active(h), BASS_ACTIVE_STOPPED);
}

TEST_F(BassTest, SlideSyncComesWhenTheSlideIsDone) {
  const std::vector<std::uint8_t> file = Tone(20000);
  const DWORD h = bass.create(TRUE, file.data(), 0, file.size(), BASS_SAMPLE_LOOP);
  Record slid;
  ASSERT_NE(bass.setSync(h, BASS_SYNC_SLIDE, 0, &Count, &slid), 0u);
  bass.play(h, TRUE);
  ASSERT_TRUE(bass.slide(h, -1, 0, -101, 100));  // 4410 frames
  Pull(4000);
  EXPECT_EQ(slid.calls, 0);
  Pull(1000);
  EXPECT_EQ(slid.calls, 1);
  EXPECT_EQ(slid.data, 2u);  // the volume
  ASSERT_TRUE(bass.slide(h, -1, -1, 50, 100));
  Pull(1000);
  ASSERT_TRUE(bass.attributes(h, -1, 80, -101));  // cut short: not completed
  Pull(5000);
  EXPECT_EQ(slid.calls, 1);
  ASSERT_TRUE(bass.slide(h, -1, -1, -50, 50));
  Pull(3000);
  EXPECT_EQ(slid.calls, 2);
  EXPECT_EQ(slid.data, 3u);  // the pan
}

// Another thread mixes all the time while syncs are set and removed: once RemoveSync (or the
// channel's free) returns, that sync's callback is neither running nor called again.
TEST_F(BassTest, RemovingASyncWhileItFiresIsSafe) {
  const std::vector<std::uint8_t> file = Tone(300);
  struct Guarded {
    std::atomic<bool> removed{false};
    std::atomic<bool> inside{false};
    std::atomic<int> calls{0}, late{0};
  };
  auto slow = [](HSYNC, DWORD, DWORD, void* user) {
    auto* g = static_cast<Guarded*>(user);
    g->inside = true;
    if (g->removed) ++g->late;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (g->removed) ++g->late;
    ++g->calls;
    g->inside = false;
  };
  std::atomic<bool> done{false};
  std::thread mixer([&] {
    // A pause between blocks, as a device makes, so the mixer cannot keep its lock from the
    // thread that changes the channels.
    while (!done) {
      Pull(512);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  int total = 0;
  for (int round = 0; round < 200; ++round) {
    const DWORD h = bass.create(TRUE, file.data(), 0, file.size(), BASS_SAMPLE_LOOP);
    ASSERT_NE(h, 0u);
    Guarded a, b;
    const HSYNC sa = bass.setSync(h, BASS_SYNC_END | (round % 2 ? BASS_SYNC_MIXTIME : 0), 0, slow, &a);
    ASSERT_NE(bass.setSync(h, BASS_SYNC_END, 0, slow, &b), 0u);
    bass.play(h, TRUE);
    while (a.calls == 0 && b.calls == 0) std::this_thread::yield();
    EXPECT_TRUE(bass.removeSync(h, sa));
    a.removed = true;
    EXPECT_FALSE(a.inside);
    ASSERT_TRUE(bass.release(h));
    b.removed = true;
    EXPECT_FALSE(b.inside);
    std::this_thread::sleep_for(std::chrono::microseconds(300));
    EXPECT_EQ(a.late + b.late, 0);
    total += a.calls + b.calls;
  }
  done = true;
  mixer.join();
  EXPECT_GE(total, 200);
}

// ---- Sample data and spectra ----

constexpr int kBin = 100;
constexpr double kToneHz = kBin * 44100.0 / 1024;  // exactly on bin 100 of a 1024-point FFT

std::int16_t ToneSample(int frame, int side) {
  return side == 0 ? static_cast<std::int16_t>(std::lround(16384 * std::sin(2 * M_PI * kToneHz * frame / 44100.0))) : 0;
}

TEST_F(BassTest, GetDataGivesTheLatestSamplesPlayed) {
  const std::vector<std::uint8_t> file = Wav(20000, 2, ToneSample);
  const DWORD h = bass.create(TRUE, file.data(), 0, file.size(), 0);
  ASSERT_NE(h, 0u);
  std::int16_t samples[2 * 512];
  EXPECT_EQ(bass.data(h, samples, sizeof samples), 0xFFFFFFFFu);  // not playing
  EXPECT_EQ(bass.error(), BASS_ERROR_NOPLAY);
  bass.play(h, TRUE);
  bass.attributes(h, -1, 30, -101);  // the data is the channel's own, before its volume
  Pull(4096);
  EXPECT_EQ(bass.data(h, nullptr, BASS_DATA_AVAILABLE), 4096u * 4);
  EXPECT_EQ(bass.data(h, nullptr, BASS_DATA_AVAILABLE | BASS_DATA_FLOAT), 4096u * 8);
  ASSERT_EQ(bass.data(h, samples, sizeof samples + 3), sizeof samples);  // whole frames only
  int wrong = 0;
  for (int i = 0; i < 512; ++i)
    for (int side = 0; side < 2; ++side) wrong += samples[2 * i + side] != ToneSample(4096 - 512 + i, side);
  EXPECT_EQ(wrong, 0);

  float floats[2 * 100];
  ASSERT_EQ(bass.data(h, floats, sizeof floats | BASS_DATA_FLOAT), sizeof floats);
  EXPECT_FLOAT_EQ(floats[2 * 99], ToneSample(4095, 0) / 32768.0f);

  std::vector<std::int16_t> big(2 * 10000);
  EXPECT_EQ(bass.data(h, big.data(), static_cast<DWORD>(big.size() * 2)), 4096u * 4);  // what there is
  EXPECT_EQ(bass.data(h, nullptr, 400), 0xFFFFFFFFu);
  EXPECT_EQ(bass.error(), BASS_ERROR_ILLPARAM);
  EXPECT_EQ(bass.data(0x7777, samples, 400), 0xFFFFFFFFu);
  EXPECT_EQ(bass.error(), BASS_ERROR_HANDLE);
  bass.stop(h);
  EXPECT_EQ(bass.data(h, samples, 400), 0xFFFFFFFFu);
  EXPECT_EQ(bass.error(), BASS_ERROR_NOPLAY);
}

TEST_F(BassTest, FftShowsAToneInItsBin) {
  const std::vector<std::uint8_t> file = Wav(20000, 2, ToneSample);
  const DWORD h = bass.create(TRUE, file.data(), 0, file.size(), 0);
  ASSERT_NE(h, 0u);
  bass.play(h, TRUE);
  Pull(8192);
  float fft[2 * 8192];
  // The mix of both sides: the tone at half scale on one side is a quarter of full scale.
  ASSERT_EQ(bass.data(h, fft, BASS_DATA_FFT1024), 512u * 4);
  EXPECT_NEAR(fft[kBin], 0.25, 0.005);
  EXPECT_NEAR(fft[kBin - 1], 0.125, 0.005);  // the Hann window's skirt
  float worst = 0;
  for (int k = 0; k < 512; ++k)
    if (std::abs(k - kBin) > 2) worst = std::max(worst, fft[k]);
  EXPECT_LT(worst, 0.001);

  ASSERT_EQ(bass.data(h, fft, BASS_DATA_FFT1024 | BASS_DATA_FFT_INDIVIDUAL), 2u * 512 * 4);
  EXPECT_NEAR(fft[2 * kBin], 0.5, 0.01);     // left
  EXPECT_NEAR(fft[2 * kBin + 1], 0.0, 1e-6);  // right: silent

  ASSERT_EQ(bass.data(h, fft, BASS_DATA_FFT1024 | BASS_DATA_FFT_COMPLEX), 1024u * 2 * 4);
  EXPECT_NEAR(std::hypot(fft[2 * kBin], fft[2 * kBin + 1]), 0.25, 0.005);
  EXPECT_NEAR(std::hypot(fft[2 * (1024 - kBin)], fft[2 * (1024 - kBin) + 1]), 0.25, 0.005);  // its mirror

  ASSERT_EQ(bass.data(h, fft, BASS_DATA_FFT8192), 4096u * 4);
  EXPECT_NEAR(fft[8 * kBin], 0.25, 0.005);
  ASSERT_EQ(bass.data(h, fft, BASS_DATA_FFT256), 128u * 4);
  EXPECT_NEAR(fft[kBin / 4], 0.25, 0.01);
  EXPECT_EQ(bass.data(h, fft, BASS_DATA_FFT256 + 6), 0xFFFFFFFFu);  // larger than what is kept
  EXPECT_EQ(bass.error(), BASS_ERROR_ILLPARAM);
  EXPECT_TRUE(bass.release(h));
}

// ---- Decoder plug-ins ----

// A file of the test plug-in's format: stereo at 44100 Hz, left counting up, right down.
std::vector<std::uint8_t> Qraw(int frames, int channels = 2) {
  soundtest::Bytes b;
  b.Tag("QRAW").Le(static_cast<std::uint32_t>(channels), 2).Le(0, 2).Le(44100, 4);
  for (int i = 0; i < frames; ++i) {
    b.Le(static_cast<std::uint16_t>(i % 20000), 2);
    b.Le(static_cast<std::uint16_t>(-(i % 20000)), 2);
  }
  return b.b;
}

TEST_F(BassTest, PluginsLoadOnceAndDecodeWhatNothingElseReads) {
  soundtest::ScratchFolder dir("bass_plugin");
  const std::string file = dir.Write("song.qraw", Qraw(60000));
  EXPECT_EQ(bass.create(FALSE, file.c_str(), 0, 0, 0), 0u);  // nothing reads it yet
  EXPECT_EQ(bass.error(), BASS_ERROR_FILEFORM);

  struct Refused {
    std::string path;
    int error;
  };
  for (const Refused& r : {Refused{dir / "missing.so", BASS_ERROR_FILEOPEN}, Refused{file, BASS_ERROR_FILEFORM},
                           Refused{DECODER_PLUGIN_NOENTRY, BASS_ERROR_FILEFORM},
                           Refused{DECODER_PLUGIN_OLDABI, BASS_ERROR_VERSION}}) {
    EXPECT_EQ(bass.pluginLoad(r.path.c_str(), 0), 0u) << r.path;
    EXPECT_EQ(bass.error(), r.error) << r.path;
  }
  const HPLUGIN plugin = bass.pluginLoad(DECODER_PLUGIN_GOOD, 0);
  ASSERT_NE(plugin, 0u);
  EXPECT_EQ(bass.pluginLoad(DECODER_PLUGIN_GOOD, 0), 0u);
  EXPECT_EQ(bass.error(), BASS_ERROR_ALREADY);

  // From the disk, streamed and played through the mixer: every frame as the file has it.
  const DWORD h = bass.create(FALSE, file.c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  bass.play(h, TRUE);
  std::vector<std::int16_t> out = PullSamples(50000);
  int wrong = 0;
  for (int i = 0; i < 50000; ++i)
    wrong += out[2 * i] != static_cast<std::int16_t>(i % 20000) || out[2 * i + 1] != static_cast<std::int16_t>(-(i % 20000));
  EXPECT_EQ(wrong, 0);
  ASSERT_TRUE(bass.seek(h, 4 * 1000));
  out = PullSamples(10);
  EXPECT_EQ(out[0], 1000);
  Pull(60000);
  EXPECT_EQ(bass.active(h), BASS_ACTIVE_STOPPED);
  EXPECT_TRUE(bass.release(h));

  // Through the sound-file opener, which in the program looks into the pak archives first.
  const std::vector<std::uint8_t> packed = Qraw(500);
  SetSoundFileOpener([&](const std::string& name) -> std::unique_ptr<SoundFile> {
    return name == "packed/song.qraw" ? MemorySoundFile(packed.data(), packed.size()) : nullptr;
  });
  const DWORD p = bass.create(FALSE, "packed/song.qraw", 0, 0, 0);
  SetSoundFileOpener(nullptr);
  ASSERT_NE(p, 0u);
  bass.play(p, TRUE);
  out = PullSamples(100);
  EXPECT_EQ(out[2 * 99], 99);

  // From memory; a broken header or another format is still refused.
  const std::vector<std::uint8_t> mono = Qraw(100, 1);
  const DWORD m = bass.create(TRUE, mono.data(), 0, mono.size(), 0);
  EXPECT_NE(m, 0u);
  for (std::vector<std::uint8_t> bad : {Qraw(100, 3), std::vector<std::uint8_t>{'Q', 'R', 'A', 'W'},
                                        std::vector<std::uint8_t>(500, 7)}) {
    EXPECT_EQ(bass.create(TRUE, bad.data(), 0, bad.size(), 0), 0u);
    EXPECT_EQ(bass.error(), BASS_ERROR_FILEFORM);
  }

  // Freeing the library lets its plug-ins go: loading again is a fresh load.
  bass.free();
  EXPECT_NE(bass.pluginLoad(DECODER_PLUGIN_GOOD, 0), 0u);
}

}  // namespace
