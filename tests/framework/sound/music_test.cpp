// The music libraries' loading, the Bass back-end's exact calls (through a recording
// bass.dll), and both back-ends over the real stand-in libraries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <thread>
#include <string>
#include <vector>

#include "framework/core/Common.h"
#include "framework/sound/BassMusicInterface.h"
#include "framework/sound/DSoundManager.h"
#include "framework/sound/FModMusicInterface.h"
#include "framework/sound/MusicLibraries.h"
#include "platform/AudioDecode.h"
#include "platform/AudioMixer.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "tests/framework/sound/SoundFixtures.h"

using namespace Orvo;
using plat::BOOL;
using plat::DWORD;
using plat::QWORD;

namespace {

// ---- A bass.dll that records what it is asked ----

std::vector<std::string> gCalls;
std::map<DWORD, DWORD> gActive;
DWORD gNextHandle = 100;

void Log(const std::string& s) { gCalls.push_back(s); }
std::string N(std::uint64_t v) { return std::to_string(v); }

BOOL FakeInit2(int device, DWORD freq, DWORD, void*, const void*) {
  Log("init2 " + std::to_string(device) + " " + N(freq));
  return 1;
}
BOOL FakeInit(int device, DWORD freq, DWORD, void*) {
  Log("init " + std::to_string(device) + " " + N(freq));
  return 1;
}
BOOL FakeNop() { return 1; }
DWORD FakeConfig(DWORD option, DWORD value) {
  Log("config " + N(option) + " " + N(value));
  return value;
}
BOOL FakeGlobal(int a, int b, int c) {
  Log("global " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c));
  return 1;
}
BOOL FakeStop(DWORD h) {
  Log("stop " + N(h));
  gActive[h] = 0;
  return 1;
}
BOOL FakePlay(DWORD h, BOOL restart) {
  Log("play " + N(h) + " " + N(restart ? 1 : 0));
  gActive[h] = 1;
  return 1;
}
BOOL FakePause(DWORD h) {
  Log("pause " + N(h));
  gActive[h] = 3;
  return 1;
}
BOOL FakeAttributes(DWORD h, int freq, int volume, int pan) {
  Log("attr " + N(h) + " " + std::to_string(freq) + " " + std::to_string(volume) + " " + std::to_string(pan));
  return 1;
}
BOOL FakePosition(DWORD h, QWORD pos) {
  char text[64];
  std::snprintf(text, sizeof(text), "pos %u %llX", h, static_cast<unsigned long long>(pos));
  Log(text);
  return 1;
}
DWORD FakeActive(DWORD h) { return gActive[h]; }
BOOL FakeFlags(DWORD h, DWORD flags) {
  Log("flags " + N(h) + " " + N(flags));
  return 1;
}
DWORD FakeMusicLoad2(BOOL, const void* file, QWORD, DWORD, DWORD flags, DWORD freq) {
  Log(std::string("musicload ") + static_cast<const char*>(file) + " " + N(flags) + " " + N(freq));
  return std::string(static_cast<const char*>(file)).find("bad") != std::string::npos ? 0 : gNextHandle++;
}
void FakeMusicFree(DWORD h) { Log("musicfree " + N(h)); }
DWORD FakeStreamCreate(BOOL, const void* file, QWORD, QWORD, DWORD) {
  Log(std::string("stream ") + static_cast<const char*>(file));
  return std::string(static_cast<const char*>(file)).find("bad") != std::string::npos ? 0 : gNextHandle++;
}
BOOL FakeStreamFree(DWORD h) {
  Log("streamfree " + N(h));
  return 1;
}

template <typename Fn>
plat::FARPROC E(Fn fn) {
  return reinterpret_cast<plat::FARPROC>(fn);
}

const char* const kRequiredStubs[] = {
    "BASS_GetVolume", "BASS_GetInfo", "BASS_GetVersion", "BASS_ChannelGetAttributes", "BASS_ChannelGetPosition",
    "BASS_ChannelSlideAttributes", "BASS_ChannelIsSliding", "BASS_ChannelGetLevel", "BASS_ChannelSetSync",
    "BASS_ChannelRemoveSync", "BASS_ChannelGetData", "BASS_FXSetParameters", "BASS_FXGetParameters",
    "BASS_ChannelSetFX", "BASS_ChannelRemoveFX", "BASS_MusicGetAttribute", "BASS_MusicSetAttribute",
    "BASS_MusicGetOrders", "BASS_MusicGetOrderPosition", "BASS_SampleLoad", "BASS_SampleFree", "BASS_SampleSetInfo",
    "BASS_SampleGetInfo", "BASS_SampleGetChannel", "BASS_SampleStop", "BASS_ErrorGetCode", "BASS_Free", "BASS_Stop",
    "BASS_Start"};

plat::ModuleExports FakeBass(bool newer) {
  plat::ModuleExports e = {
      {"BASS_Init", newer ? E(&FakeInit2) : E(&FakeInit)},
      {"BASS_ChannelStop", E(&FakeStop)},
      {"BASS_ChannelPlay", E(&FakePlay)},
      {"BASS_ChannelPause", E(&FakePause)},
      {"BASS_ChannelSetAttributes", E(&FakeAttributes)},
      {"BASS_ChannelSetPosition", E(&FakePosition)},
      {"BASS_ChannelIsActive", E(&FakeActive)},
      {"BASS_ChannelSetFlags", E(&FakeFlags)},
      {"BASS_MusicLoad", E(&FakeMusicLoad2)},
      {"BASS_MusicFree", E(&FakeMusicFree)},
      {"BASS_StreamCreateFile", E(&FakeStreamCreate)},
      {"BASS_StreamFree", E(&FakeStreamFree)},
  };
  for (const char* name : kRequiredStubs) e[name] = E(&FakeNop);
  if (newer) e["BASS_SetConfig"] = E(&FakeConfig);
  if (newer) e["BASS_SetVolume"] = E(&FakeNop);
  else e["BASS_SetGlobalVolumes"] = E(&FakeGlobal);
  return e;
}

struct Ended : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::AudioMixer::Get().SetManualPull(true);
    plat::FreeLibrary(plat::LoadLibrary("bass.dll"));  // the built-in libraries are registered first
    plat::SetMessageBoxHook([this](const std::string& text, const std::string& caption, plat::UINT flags) {
      boxes.push_back(text + "|" + caption + "|" + std::to_string(flags));
      return 1;
    });
    plat::SetExitProcessHook([](plat::UINT code) { throw Ended("exit " + std::to_string(code)); });
    gCalls.clear();
    gActive.clear();
    gNextHandle = 100;
  }
  void TearDown() override {
    plat::SetMessageBoxHook(nullptr);
    plat::SetExitProcessHook(nullptr);
    plat::RegisterBassModule();
    plat::RegisterFModModule();
  }
  // Calls since the last look, then forgets them.
  std::vector<std::string> Calls() { return std::exchange(gCalls, {}); }

  std::vector<std::string> boxes;
  soundtest::ScratchFolder folder{"music"};
};

TEST_F(MusicTest, MissingLibrariesAndFunctionsEndTheProgramWithTheirMessage) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
    std::function<void()> load;
    std::string box;
  };
  auto without = [](const char* name) {
    return [name] {
      plat::ModuleExports e = FakeBass(true);
      e.erase(name);
      plat::RegisterModule("bass.dll", e);
    };
  };
  const Case cases[] = {
      {"no bass", [] { plat::UnregisterModule("bass.dll"); }, LoadBassLibrary, "Can't find bass.dll.|Error|16"},
      {"no fmod", [] { plat::UnregisterModule("fmod.dll"); }, LoadFModLibrary, "Can't find fmod.dll.|Error|16"},
      {"no play", without("BASS_ChannelPlay"), LoadBassLibrary,
       "BASS_ChannelPlay function not found in bass.dll|Error|16"},
      {"no volume", [] {
         plat::ModuleExports e = FakeBass(true);
         e.erase("BASS_SetVolume");
         plat::RegisterModule("bass.dll", e);
       },
       LoadBassLibrary, "Neither BASS_SetGlobalVolumes or BASS_SetVolume found in bass.dll|Error|16"},
      {"no fmod init", [] {
         plat::RegisterFModModule();
         plat::HMODULE m = plat::LoadLibrary("fmod.dll");
         plat::ModuleExports e;
         for (const char* n : {"_FSOUND_SetBufferSize@4", "_FSOUND_SetHWND@4"}) e[n] = plat::GetProcAddress(m, n);
         plat::RegisterModule("fmod.dll", e);
       },
       LoadFModLibrary, "\"_FSOUND_Init@12\" function not found in fmod.dll|Error|16"},
  };
  for (const Case& c : cases) {
    boxes.clear();
    c.prepare();
    EXPECT_THROW(c.load(), Ended) << c.what;
    ASSERT_EQ(boxes.size(), 1u) << c.what;
    EXPECT_EQ(boxes[0], c.box) << c.what;
    FreeBassLibrary();
    FreeFModLibrary();
  }
}

TEST_F(MusicTest, LibrariesAreSharedByTheirUsers) {
  plat::RegisterModule("bass.dll", FakeBass(true));
  LoadBassLibrary();
  BASS_INSTANCE* first = gBassInstance;
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->mVersion2);
  EXPECT_NE(first->BASS_Init2, nullptr);
  EXPECT_EQ(first->BASS_Init, nullptr);  // only the newer argument list is set
  LoadBassLibrary();
  EXPECT_EQ(gBassInstance, first);
  FreeBassLibrary();
  EXPECT_EQ(gBassInstance, first);
  FreeBassLibrary();
  EXPECT_EQ(gBassInstance, nullptr);
  FreeBassLibrary();  // an extra free does nothing
  LoadBassLibrary();
  EXPECT_NE(gBassInstance, nullptr);
  FreeBassLibrary();
  EXPECT_EQ(gBassInstance, nullptr);
}

TEST_F(MusicTest, BassBackEndLoadsStreamsAndModulesAndKeepsTheFirstSongOfAnId) {
  plat::RegisterModule("bass.dll", FakeBass(true));
  std::string module = folder.Write("m.xm", {1, 2, 3});
  BassMusicInterface music(nullptr);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"init2 1 44100", "config 0 2000"}));

  EXPECT_TRUE(music.LoadMusic(1, "a.WAV"));
  EXPECT_EQ(Calls(), std::vector<std::string>{"stream a.WAV"});
  EXPECT_FALSE(music.LoadMusic(2, folder / "none"));  // a module that is not there: no library call
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(music.LoadMusic(3, module));
  EXPECT_EQ(Calls(), std::vector<std::string>{"musicload " + module + " 516 0"});
  EXPECT_FALSE(music.LoadMusic(4, "bad.ogg"));
  Calls();
  EXPECT_TRUE(music.LoadMusic(1, "b.mp3"));  // id 1 keeps a.WAV; the new stream is given back
  EXPECT_EQ(Calls(), (std::vector<std::string>{"stream b.mp3", "streamfree 102"}));
  EXPECT_EQ(music.FindSong(1)->mHStream, 100u);

  music.PlayMusic(3, 3, false);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"attr 101 -1 100 -101", "stop 101", "stop 101", "pos 101 FFFFFFFF80000003",
                                               "flags 101 33284", "play 101 0"}));
  music.PlayMusic(1, 0, true);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"attr 100 -1 100 -101", "stop 100", "flags 100 0", "play 100 1"}));
  EXPECT_TRUE(music.IsPlaying(1));
  EXPECT_FALSE(music.IsPlaying(99));
  music.PauseAllMusic();
  EXPECT_EQ(Calls(), (std::vector<std::string>{"pause 100", "pause 101"}));
  music.ResumeAllMusic();
  EXPECT_EQ(Calls(), (std::vector<std::string>{"play 100 0", "play 101 0"}));

  music.SetVolume(0.5);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"config 6 50", "config 5 50"}));
  music.UnloadMusic(3);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"stop 101", "musicfree 101"}));
  EXPECT_EQ(music.FindSong(3), nullptr);
  music.StopMusic(3);  // unknown ids do nothing
  EXPECT_TRUE(Calls().empty());
}

TEST_F(MusicTest, BassFadesStepOnEveryUpdate) {
  plat::RegisterModule("bass.dll", FakeBass(true));
  BassMusicInterface music(nullptr);
  ASSERT_TRUE(music.LoadMusic(1, "a.wav"));
  ASSERT_TRUE(music.LoadMusic(2, "b.wav"));
  music.PlayMusic(1, 0, false);
  music.FadeOut(1, true, 0.01);
  music.FadeOut(2, true, 0.01);  // at volume 0: no fade, but the flag is set
  EXPECT_TRUE(music.FindSong(2)->mStopOnFade);
  EXPECT_EQ(music.FindSong(2)->mVolumeAdd, 0.0);
  Calls();
  for (int i = 1; i < 100; ++i) music.Update();
  std::vector<std::string> calls = Calls();
  EXPECT_EQ(calls.size(), 99u);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "stop 100"), 0);  // still above 0 after 99 steps
  music.Update();
  EXPECT_EQ(Calls(), (std::vector<std::string>{"stop 100", "attr 100 -1 0 -101"}));
  music.Update();
  EXPECT_TRUE(Calls().empty());

  music.SetSongVolume(1, 1.0);
  music.SetSongMaxVolume(1, 0.5);
  EXPECT_EQ(music.FindSong(1)->mVolume, 0.5);
  music.SetSongVolume(1, 0.2);
  music.SetSongMaxVolume(1, 0.5);
  EXPECT_EQ(music.FindSong(1)->mVolume, 0.2);
  music.FadeIn(1, -1, 0.2, false);
  music.Update();
  music.Update();
  EXPECT_EQ(music.FindSong(1)->mVolume, 0.5);  // capped by the song's ceiling
  EXPECT_EQ(music.FindSong(1)->mVolumeAdd, 0.0);
}

TEST_F(MusicTest, OlderBassInterfaceUsesItsOwnCallsAndScale) {
  plat::RegisterModule("bass.dll", FakeBass(false));
  BassMusicInterface music(nullptr);
  EXPECT_EQ(Calls(), std::vector<std::string>{"init -1 44100"});
  music.SetVolume(0.5);
  music.SetVolume(0.0);
  music.SetVolume(std::nan(""));
  music.SetVolume(7.0);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"global 20 20 20", "global 0 0 0", "global 0 0 0", "global 40 40 40"}));
}

TEST_F(MusicTest, VolumesNoIntegerHoldsReachTheLibraryHeldToItsRange) {
  plat::RegisterModule("bass.dll", FakeBass(true));
  BassMusicInterface music(nullptr);
  ASSERT_TRUE(music.LoadMusic(1, "a.wav"));
  Calls();
  const struct {
    double value;
    const char* attr;
    const char* config;
  } cases[] = {{0.5, "attr 100 -1 50 -101", "config 6 50"}, {-0.5, "attr 100 -1 0 -101", "config 6 0"},
               {std::nan(""), "attr 100 -1 0 -101", "config 6 0"}, {1e30, "attr 100 -1 100 -101", "config 6 100"},
               {-INFINITY, "attr 100 -1 0 -101", "config 6 0"}};
  for (const auto& c : cases) {
    music.SetSongVolume(1, c.value);
    music.SetVolume(c.value);
    std::vector<std::string> calls = Calls();
    ASSERT_EQ(calls.size(), 3u) << c.value;
    EXPECT_EQ(calls[0], c.attr) << c.value;
    EXPECT_EQ(calls[1], c.config) << c.value;
  }
}

std::int16_t PullOne() {
  std::int16_t out[2];
  plat::AudioMixer::Get().Mix(out, 1);
  return out[0];
}

TEST_F(MusicTest, BassStandInPlaysSongsThroughTheMixer) {
  std::string song = folder.Write("song.wav", soundtest::Wav16(std::vector<std::int16_t>(100, 6000), 44100));
  BassMusicInterface music(nullptr);
  music.SetVolume(1.0);
  ASSERT_TRUE(music.LoadMusic(5, song));
  EXPECT_FALSE(music.LoadMusic(6, folder / "missing.ogg"));
  music.PlayMusic(5, 0, false);
  EXPECT_TRUE(music.IsPlaying(5));
  EXPECT_EQ(PullOne(), 6000);
  music.SetSongVolume(5, 0.5);
  music.SetVolume(0.5);
  EXPECT_EQ(PullOne(), 1500);
  music.PauseMusic(5);
  EXPECT_FALSE(music.IsPlaying(5));
  EXPECT_EQ(PullOne(), 0);
  music.ResumeMusic(5);
  EXPECT_TRUE(music.IsPlaying(5));
  music.StopAllMusic();
  EXPECT_FALSE(music.IsPlaying(5));

  // An Ogg Vorbis song is decoded whole and plays to its end.
  ASSERT_TRUE(music.LoadMusic(7, std::string(QUORVANE_TEST_DATA_DIR) + "/tone440.ogg"));
  music.SetVolume(1.0);
  music.PlayMusic(7, 0, true);
  std::vector<std::int16_t> heard(2 * 8820);
  plat::AudioMixer::Get().Mix(heard.data(), 8820);  // 0.2 s at 22050 Hz is 8820 output frames
  EXPECT_GT(*std::max_element(heard.begin(), heard.end()), 6000);
  EXPECT_TRUE(music.IsPlaying(7));
  PullOne();
  EXPECT_FALSE(music.IsPlaying(7));
}

TEST_F(MusicTest, FModSampleSongsJoinTheirPartsAndLoopTheSecond) {
  // The stand-in decodes by content, so WAV samples stand in for Ogg Vorbis files here.
  folder.Write("intro.ogg", soundtest::Wav16({100, 100}, 44100));
  folder.Write("loop.ogg", soundtest::Wav16({300, 300, 300}, 44100));
  folder.Write("slow.ogg", soundtest::Wav16({1, 1}, 22050));
  SetAppDataFolder(folder / "appdata");
  FModMusicInterface music(nullptr);
  EXPECT_FALSE(music.LoadSampleSong(1, folder / "intro", folder / "slow", true));
  ASSERT_TRUE(music.LoadSampleSong(2, folder / "intro", folder / "loop", true));
  EXPECT_TRUE(std::filesystem::exists(folder / "appdata/cached/loop.wav"));
  music.PlayMusic(2, 0, false);
  EXPECT_TRUE(music.IsPlaying(2));
  std::vector<std::int16_t> heard;
  for (int i = 0; i < 9; ++i) heard.push_back(PullOne());
  EXPECT_EQ(heard, (std::vector<std::int16_t>{100, 100, 300, 300, 300, 300, 300, 300, 300}));

  music.SetVolume(0.5);
  EXPECT_EQ(PullOne(), 150);
  music.SetSongVolume(2, 0.0);
  music.FadeOut(2, true, 0.1);  // even at volume 0 the fade runs, and stops the song
  music.Update();
  EXPECT_FALSE(music.IsPlaying(2));
}

// ---- Tracker modules and MP3 through both back-ends ----

// Root-mean-square level of the next `frames` frames of the mix, both sides together.
double Level(int frames) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2);
  plat::AudioMixer::Get().Mix(out.data(), frames);
  double sum = 0.0;
  for (std::int16_t v : out) sum += static_cast<double>(v) * v;
  return std::sqrt(sum / static_cast<double>(out.size()));
}

// The level of the middle of the next row of a test module (rows start with a short ramp).
double RowLevel() {
  Level(1000);
  double level = Level(3000);
  Level(soundtest::kRowFrames - 4000);
  return level;
}

struct Backend {
  const char* name;
  std::function<std::unique_ptr<MusicInterface>()> make;
};

const Backend kBackends[] = {
    {"bass", [] { return std::make_unique<BassMusicInterface>(nullptr); }},
    {"fmod", [] { return std::make_unique<FModMusicInterface>(nullptr); }},
};

TEST_F(MusicTest, TrackerModulesPlayFromAnOrderLoopOrEndAndFollowVolumeAndFades) {
  const struct {
    const char* file;
    std::vector<std::uint8_t> bytes;
  } modules[] = {
      {"song.mod", soundtest::Mod({64, 32, 16})},
      {"song.xm", soundtest::Xm({64, 32, 16})},
  };
  for (const auto& module : modules) {
    for (const Backend& backend : kBackends) {
      SCOPED_TRACE(std::string(module.file) + " through " + backend.name);
      std::string path = folder.Write(module.file, module.bytes);
      std::unique_ptr<MusicInterface> music = backend.make();
      music->SetVolume(1.0);
      ASSERT_TRUE(music->LoadMusic(1, path));

      // Played once from the first order: three rows at falling volume, then the end.
      music->PlayMusic(1, 0, true);
      EXPECT_TRUE(music->IsPlaying(1));
      double rows[3];
      for (double& row : rows) row = RowLevel();
      EXPECT_GT(rows[0], 1000.0);
      EXPECT_NEAR(rows[0] / rows[1], 2.0, 0.3);
      EXPECT_NEAR(rows[1] / rows[2], 2.0, 0.3);
      Level(2000);
      EXPECT_FALSE(music->IsPlaying(1));
      EXPECT_EQ(Level(2000), 0.0);

      // From the third order, looping: after it the song starts over, loud again.
      music->PlayMusic(1, 2, false);
      EXPECT_NEAR(RowLevel() / rows[2], 1.0, 0.15);
      EXPECT_NEAR(RowLevel() / rows[0], 1.0, 0.15);
      EXPECT_TRUE(music->IsPlaying(1));

      // The song's own volume, then a fade-out that stops it.
      music->SetSongVolume(1, 0.5);
      EXPECT_NEAR(RowLevel() / rows[1], 0.5, 0.1);
      music->FadeOut(1, true, 0.25);
      for (int i = 0; i < 2; ++i) music->Update();
      EXPECT_TRUE(music->IsPlaying(1));
      for (int i = 0; i < 3; ++i) music->Update();
      EXPECT_FALSE(music->IsPlaying(1));
      EXPECT_EQ(Level(1000), 0.0);
      music->UnloadAllMusic();
    }
  }
}

TEST_F(MusicTest, BassGlobalModuleVolumeAndAmplificationReachModulesOnly) {
  std::string path = folder.Write("loud.mod", soundtest::Mod({64}));
  BassMusicInterface music(nullptr);
  music.SetVolume(1.0);
  ASSERT_TRUE(music.LoadMusic(1, path));
  music.PlayMusic(1, 0, false);
  double full = RowLevel();
  gBassInstance->BASS_SetConfig(plat::BASS_CONFIG_GVOL_STREAM, 20);  // streams only
  EXPECT_NEAR(RowLevel() / full, 1.0, 0.1);
  gBassInstance->BASS_SetConfig(plat::BASS_CONFIG_GVOL_MUSIC, 50);
  EXPECT_NEAR(RowLevel() / full, 0.5, 0.1);
  music.SetVolume(1.0);
  music.SetMusicAttribute(1, 0.25);  // amplification 25 of 50: half as loud
  EXPECT_NEAR(RowLevel() / full, 0.5, 0.1);
}

TEST_F(MusicTest, Mp3SongsPlayThroughBassAndLoadAsSoundsThroughFMod) {
  std::string mp3 = folder.Write("tone.mp3", soundtest::ReadAll(std::string(QUORVANE_TEST_DATA_DIR) + "/tone440.mp3"));
  {
    BassMusicInterface music(nullptr);
    music.SetVolume(1.0);
    ASSERT_TRUE(music.LoadMusic(1, mp3));
    music.PlayMusic(1, 0, true);
    EXPECT_GT(Level(8820), 3000.0);  // 0.2 s of a half-scale tone
    Level(44100);                    // past the end of half a second
    EXPECT_FALSE(music.IsPlaying(1));
  }
  // The sound manager's MP3 step goes through the FMod library's sample loader.
  folder.Write("snd/tone.mp3", soundtest::ReadAll(mp3));
  DSoundManager sounds(reinterpret_cast<plat::HWND>(1), true);
  ASSERT_TRUE(sounds.LoadSoundAt(3, folder / "snd/tone"));
  EXPECT_GT(sounds.GetSampleSize(3), 2u * 11025u);  // more than half a second of 16-bit mono
}

TEST_F(MusicTest, OtherThreadsDoNotWaitWhileASongLoads) {
  for (const Backend& backend : kBackends) {
    std::unique_ptr<MusicInterface> music = backend.make();
    std::vector<std::uint8_t> song = soundtest::Mod({64});
    std::string path = folder.Write("song.mod", song);
    soundtest::Gate gate;
    plat::SetSoundFileOpener([&](const std::string&) { return std::make_unique<soundtest::GatedFile>(song, gate); });
    gate.Set(false);
    bool loaded = false;
    std::thread loader([&] { loaded = music->LoadMusic(2, path); });
    EXPECT_TRUE(gate.AwaitWaiter()) << backend.name;
    // The timing thread's question, while the file is still being read.
    EXPECT_TRUE(soundtest::ReturnsWhileReading([&] { return music->IsPlaying(1); })) << backend.name;
    gate.Set(true);
    loader.join();
    EXPECT_TRUE(loaded) << backend.name;
    InstallPakSoundFileReader();
  }
}

TEST_F(MusicTest, BrokenModulesMp3sAndOggsAreRefusedWholly) {
  std::vector<std::uint8_t> mod = soundtest::Mod({64, 32});
  std::vector<std::uint8_t> mp3 = soundtest::ReadAll(std::string(QUORVANE_TEST_DATA_DIR) + "/tone440.mp3");
  std::vector<std::uint8_t> ogg = soundtest::ReadAll(std::string(QUORVANE_TEST_DATA_DIR) + "/tone440.ogg");
  std::vector<std::uint8_t> noise(4000);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 7919 % 251);
  const struct {
    const char* file;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"cut.mod", std::vector<std::uint8_t>(mod.begin(), mod.begin() + 1100)},
      {"noise.mod", noise},
      {"empty.xm", {}},
      {"cut.mp3", std::vector<std::uint8_t>(mp3.begin(), mp3.begin() + 40)},
      {"noise.mp3", noise},
      {"tag.mp3", {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 10, 1, 2, 3}},
      {"cut.ogg", std::vector<std::uint8_t>(ogg.begin(), ogg.begin() + 200)},
      {"noise.ogg", noise},
  };
  for (const Backend& backend : kBackends) {
    std::unique_ptr<MusicInterface> music = backend.make();
    const int voices = plat::AudioMixer::Get().VoiceCount();
    for (const auto& c : cases) {
      std::string path = folder.Write(c.file, c.bytes);
      EXPECT_FALSE(music->LoadMusic(1, path)) << c.file << " through " << backend.name;
    }
    EXPECT_EQ(plat::AudioMixer::Get().VoiceCount(), voices) << backend.name;
  }
}

}  // namespace
