// The sound manager's ids and channels and its instances' volume, pan, pitch and release,
// read back from the DirectSound buffers the instances play.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>

#include <atomic>
#include <filesystem>
#include <thread>

#include "framework/sound/DSoundInstance.h"
#include "framework/sound/DSoundManager.h"
#include "platform/AudioMixer.h"
#include "platform/Module.h"
#include "platform/Time.h"
#include "tests/framework/sound/SoundFixtures.h"

using namespace Orvo;
using soundtest::ScratchFolder;

namespace {

plat::HWND const kWindow = reinterpret_cast<plat::HWND>(static_cast<std::uintptr_t>(1));

plat::LONG BufferVolume(SoundInstance* s) {
  plat::LONG v = 1;
  static_cast<DSoundInstance*>(s)->GetBuffer()->GetVolume(&v);
  return v;
}
plat::LONG BufferPan(SoundInstance* s) {
  plat::LONG v = 1;
  static_cast<DSoundInstance*>(s)->GetBuffer()->GetPan(&v);
  return v;
}
plat::DWORD BufferFrequency(SoundInstance* s) {
  plat::DWORD v = 0;
  static_cast<DSoundInstance*>(s)->GetBuffer()->GetFrequency(&v);
  return v;
}

void PullFrames(int frames) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2);
  plat::AudioMixer::Get().Mix(out.data(), frames);
}

class SoundManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::AudioMixer::Get().SetManualPull(true);
    plat::SetClockSource(&clock);
    // Absolute names: the decoded-sound cache stays out of these tests.
    shortSound = folder.Write("short.wav", soundtest::Wav16(std::vector<std::int16_t>(50, 1000)));
    slowSound = folder.Write("slow.wav", soundtest::Wav16({1, 2, 3, 4}, 22050));
    fastSound = folder.Write("fast.wav", soundtest::Wav16({1, 2, 3, 4}, 44100));
    for (std::string* s : {&shortSound, &slowSound, &fastSound}) s->resize(s->size() - 4);
  }
  void TearDown() override { plat::SetClockSource(nullptr); }

  plat::SimulatedClock clock{100000};
  ScratchFolder folder{"sound_manager"};
  std::string shortSound, slowSound, fastSound;
};

TEST(VolumeToDSoundDBTest, FollowsTheLogCurveAndCutsToSilence) {
  const std::pair<double, int> cases[] = {{1.0, 0},       {0.85, -146},   {0.5, -605},  {0.25, -1138},
                                          {0.1, -1682},   {0.05, -1956},  {0.044, -1994}, {0.0431, -2000},
                                          {0.04, -10000}, {0.0, -10000}, {-0.5, -10000},
                                          {std::nan(""), -10000}, {-INFINITY, -10000}, {1e300, 10000},
                                          {INFINITY, 10000}};
  for (auto [volume, db] : cases) EXPECT_EQ(VolumeToDSoundDB(volume), db) << volume;
}

TEST_F(SoundManagerTest, InstancesApplyVolumePanAndPitchToTheirBuffer) {
  DSoundManager manager(kWindow, false);
  ASSERT_TRUE(manager.Initialized());
  ASSERT_TRUE(manager.LoadSoundAt(1, slowSound));
  ASSERT_TRUE(manager.LoadSoundAt(2, fastSound));
  manager.SetBasePan(1, 50);
  SoundInstance* slow = manager.GetSoundInstance(1);
  SoundInstance* fast = manager.GetSoundInstance(2);
  ASSERT_NE(slow, nullptr);

  slow->SetPan(-100);
  EXPECT_EQ(BufferPan(slow), -50);
  slow->SetPan(INT_MAX);  // the sum is out of range, and refused: the pan stays
  EXPECT_EQ(BufferPan(slow), -50);
  slow->SetVolume(0.05);
  EXPECT_EQ(BufferVolume(slow), -1956);
  slow->SetVolume(0.04);
  EXPECT_EQ(BufferVolume(slow), -10000);
  slow->SetVolume(1.0);
  manager.SetVolume(0.0);  // the application while muted
  EXPECT_EQ(BufferVolume(slow), -10000);
  EXPECT_EQ(BufferVolume(fast), -10000);
  manager.SetVolume(1.0);
  EXPECT_EQ(BufferVolume(slow), 0);

  const struct {
    SoundInstance* s;
    double semitones;
    plat::DWORD hz;
  } pitches[] = {{slow, 12, 44100},          {slow, -120, 100},       {fast, 48, 100000}, {fast, -12, 22049},
                 {slow, 0, 22050},           {slow, std::nan(""), 22050}, {slow, 1e9, 100000}, {slow, -INFINITY, 100}};
  for (auto p : pitches) {
    p.s->AdjustPitch(p.semitones);  // each call starts again from the sound's own rate
    EXPECT_EQ(BufferFrequency(p.s), p.hz) << p.semitones;
  }
}

TEST_F(SoundManagerTest, PlayingAgainRestartsFromTheBeginning) {
  DSoundManager manager(kWindow, false);
  ASSERT_TRUE(manager.LoadSoundAt(0, shortSound));
  SoundInstance* s = manager.GetSoundInstance(0);
  ASSERT_TRUE(s->Play(false, false));
  PullFrames(30);
  plat::DWORD position = 0;
  static_cast<DSoundInstance*>(s)->GetBuffer()->GetCurrentPosition(&position, nullptr);
  EXPECT_GT(position, 0u);
  ASSERT_TRUE(s->Play(false, false));
  static_cast<DSoundInstance*>(s)->GetBuffer()->GetCurrentPosition(&position, nullptr);
  EXPECT_EQ(position, 0u);
  EXPECT_TRUE(s->IsPlaying());
  PullFrames(200);
  EXPECT_FALSE(s->IsPlaying());
}

TEST_F(SoundManagerTest, NamesMapToIdsAndFailedLoadsAreForgotten) {
  DSoundManager manager(kWindow, false);
  EXPECT_EQ(manager.LoadSound(shortSound), 255);
  std::filesystem::remove(shortSound + ".wav");
  EXPECT_EQ(manager.LoadSound(shortSound), 255);  // known name: the file is not read again
  manager.ReleaseSound(255);
  EXPECT_EQ(manager.LoadSound(slowSound), 255);
  EXPECT_EQ(manager.LoadSound(shortSound), -1);  // the file is gone now
  EXPECT_EQ(manager.LoadSound(shortSound), -1);  // and stays a failure when asked again
  EXPECT_EQ(manager.GetNumSounds(), 1);
  EXPECT_EQ(manager.GetFreeSoundId(), 0);

  for (int id = 0; id < 256; ++id) ASSERT_TRUE(manager.LoadSoundAt(id, fastSound)) << id;
  EXPECT_EQ(manager.GetNumSounds(), 256);
  EXPECT_EQ(manager.GetFreeSoundId(), -1);
  EXPECT_EQ(manager.LoadSound(slowSound + "x"), -1);
}

TEST_F(SoundManagerTest, IdsOutsideTheTableAreRefused) {
  for (bool silent : {false, true}) {
    DSoundManager manager(silent ? nullptr : kWindow, false);
    for (int id : {-1, 256, 100000}) {
      EXPECT_FALSE(manager.SetBaseVolume(id, 0.5)) << id;
      EXPECT_FALSE(manager.SetBasePan(id, 10)) << id;
      EXPECT_EQ(manager.GetSoundInstance(id), nullptr) << id;
      EXPECT_FALSE(manager.LoadSoundAt(id, fastSound)) << id;
      manager.ReleaseSound(id);  // harmless
    }
  }
}

TEST_F(SoundManagerTest, ThirtyTwoChannelsAndFinishedInstancesAreSweptOncePerSecond) {
  DSoundManager manager(kWindow, false);
  ASSERT_TRUE(manager.LoadSoundAt(3, shortSound));
  const int source = plat::AudioMixer::Get().VoiceCount();
  SoundInstance* first = manager.GetSoundInstance(3);  // the first search always sweeps
  SoundInstance* kept = manager.GetSoundInstance(3);
  SoundInstance* finished = manager.GetSoundInstance(3);
  ASSERT_TRUE(finished->Play(false, true));
  PullFrames(200);
  EXPECT_EQ(plat::AudioMixer::Get().VoiceCount(), source + 3);  // no search, nothing deleted

  first->Release();
  clock.Advance(500);
  SoundInstance* second = manager.GetSoundInstance(3);  // takes the released channel 0 only
  EXPECT_EQ(plat::AudioMixer::Get().VoiceCount(), source + 3);
  second->Release();
  clock.Advance(600);
  SoundInstance* third = manager.GetSoundInstance(3);  // more than a second: the sweep runs
  EXPECT_EQ(plat::AudioMixer::Get().VoiceCount(), source + 2);
  EXPECT_FALSE(kept->IsReleased());

  for (int i = 2; i < DSoundManager::kMaxChannels; ++i) ASSERT_NE(manager.GetSoundInstance(3), nullptr) << i;
  EXPECT_EQ(manager.GetSoundInstance(3), nullptr);  // the 33rd
  third->Release();
  EXPECT_NE(manager.GetSoundInstance(3), nullptr);
}

TEST_F(SoundManagerTest, StopAllSoundsKeepsAutoReleaseSoStoppedInstancesAreReaped) {
  DSoundManager manager(kWindow, false);
  ASSERT_TRUE(manager.LoadSoundAt(0, shortSound));
  SoundInstance* looping = manager.GetSoundInstance(0);
  SoundInstance* held = manager.GetSoundInstance(0);
  looping->Play(true, true);
  held->Play(true, false);
  manager.StopAllSounds();
  EXPECT_FALSE(looping->IsPlaying());
  EXPECT_FALSE(held->IsPlaying());
  EXPECT_TRUE(looping->IsReleased());
  EXPECT_FALSE(held->IsReleased());
  held->Stop();  // a plain Stop clears auto-release
  held->Play(false, true);
  held->Stop();
  EXPECT_FALSE(held->IsReleased());
}

TEST_F(SoundManagerTest, WithoutDirectSoundEverythingSucceedsSilently) {
  plat::FreeLibrary(plat::LoadLibrary("dsound.dll"));  // the built-in libraries are registered first
  plat::UnregisterModule("dsound.dll");
  DSoundManager noModule(kWindow, false);
  plat::RegisterDirectSoundModule();
  DSoundManager noWindow(nullptr, false);
  for (DSoundManager* manager : {&noModule, &noWindow}) {
    EXPECT_FALSE(manager->Initialized());
    EXPECT_TRUE(manager->LoadSoundAt(0, "missing"));
    EXPECT_EQ(manager->GetNumSounds(), 0);
    SoundInstance* s = manager->GetSoundInstance(0);
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->Play(false, true));
    EXPECT_FALSE(s->IsPlaying());
    EXPECT_TRUE(s->IsReleased());
  }
}

TEST_F(SoundManagerTest, TimingAndMainThreadsPlaySoundsTogether) {
  // The game plays sounds from the timing thread while the main thread plays clicks and the
  // audio thread mixes: channels are handed out and reaped under one lock.
  plat::SetClockSource(nullptr);
  DSoundManager manager(kWindow, false);
  ASSERT_TRUE(manager.LoadSoundAt(0, shortSound));
  std::atomic<bool> stop{false};
  std::thread mixer([&] {
    // A pause between blocks, as a device makes, so the mixer cannot keep its lock from the
    // players.
    while (!stop) {
      PullFrames(64);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  auto player = [&] {
    for (int i = 0; i < 300; ++i) {
      if (SoundInstance* s = manager.GetSoundInstance(0)) {
        s->SetVolume(0.5);
        s->Play(false, true);
      }
      manager.SetVolume(i % 2 ? 1.0 : 0.5);
    }
  };
  std::thread timing(player);
  player();
  timing.join();
  stop = true;
  mixer.join();
  manager.StopAllSounds();
  EXPECT_EQ(manager.GetNumSounds(), 1);
}

TEST_F(SoundManagerTest, MasterVolumeIsHeldToItsRange) {
  DSoundManager manager(nullptr, false);
  const std::pair<double, double> cases[] = {{0.5, 32767.0 / 65535}, {1.5, 1.0}, {-0.5, 0.0}, {1.0, 1.0}};
  for (auto [set, got] : cases) {
    manager.SetMasterVolume(set);
    EXPECT_DOUBLE_EQ(manager.GetMasterVolume(), got) << set;
  }
}

}  // namespace
