// Sound handles through the factory: the back-end that loaded a sound plays, stops and
// unloads it; the volume is remembered across plays; an instance played before is given
// back when the sound is played again.
#include "framework/sound/MusicInterface.h"
#include "framework/sound/SoundInstance.h"
#include "framework/sound/SoundManager.h"
#include "tests/kernel/controls/ControlsFixture.h"

namespace {

using namespace ControlLibrary;

std::vector<std::string> gEvents;

class FakeInstance : public Orvo::SoundInstance {
 public:
  explicit FakeInstance(int n) : mN(n) {}
  void Release() override { gEvents.push_back("release " + std::to_string(mN)); }
  void SetBaseVolume(double) override {}
  void SetBasePan(int) override {}
  void AdjustPitch(double) override {}
  void SetVolume(double v) override { gEvents.push_back("volume " + std::to_string(mN) + " " + std::to_string(v)); }
  void SetPan(int) override {}
  bool Play(bool looping, bool autoRelease) override {
    gEvents.push_back("play " + std::to_string(mN) + (looping ? " loop" : "") + (autoRelease ? " auto" : ""));
    return true;
  }
  void Stop() override { gEvents.push_back("stop " + std::to_string(mN)); }
  bool IsPlaying() override { return true; }
  bool IsReleased() override { return false; }
  double GetVolume() override { return 1.0; }
  int mN;
};

class FakeSounds : public Orvo::SoundManager {
 public:
  bool Initialized() override { return true; }
  int LoadSound(const std::string&) override { return -1; }
  bool LoadSoundAt(int id, const std::string& name) override { return name == "click.wav"; }
  void ReleaseSound(int id) override { gEvents.push_back("unload sound " + std::to_string(id)); }
  void SetVolume(double) override {}
  bool SetBaseVolume(int, double) override { return true; }
  bool SetBasePan(int, int) override { return true; }
  Orvo::SoundInstance* GetSoundInstance(int id) override {
    instances.push_back(std::make_unique<FakeInstance>(static_cast<int>(instances.size())));
    return instances.back().get();
  }
  void ReleaseSounds() override {}
  void ReleaseChannels() override {}
  double GetMasterVolume() override { return 1.0; }
  void SetMasterVolume(double) override {}
  void SetCooperativeWindow(plat::HWND, bool) override {}
  void StopAllSounds() override {}
  int GetFreeSoundId() override { return 0; }
  int GetNumSounds() override { return 0; }
  std::vector<std::unique_ptr<FakeInstance>> instances;
};

class FakeMusic : public Orvo::MusicInterface {
 public:
  bool LoadMusic(int id, const std::string& name) override { return name == "song.ogg"; }
  void PlayMusic(int id, int offset, bool noLoop) override {
    gEvents.push_back("music play " + std::to_string(id) + (noLoop ? " once" : ""));
  }
  void UnloadMusic(int id) override { gEvents.push_back("music unload " + std::to_string(id)); }
  void SetSongVolume(int id, double v) override {
    gEvents.push_back("music volume " + std::to_string(id) + " " + std::to_string(v));
  }
};

class SoundHandleTest : public controls_test::FactoryTest {
 protected:
  SoundHandleTest() {
    gEvents.clear();
    savedSounds = app->mSoundManager;
    savedMusic = app->mMusicInterface;
    app->mSoundManager = &sounds;
    app->mMusicInterface = &music;
  }
  ~SoundHandleTest() override {
    ControlLibrary::DestroyControlFactory();
    app->mSoundManager = savedSounds;
    app->mMusicInterface = savedMusic;
  }
  FakeSounds sounds;
  FakeMusic music;
  Orvo::SoundManager* savedSounds = nullptr;
  Orvo::MusicInterface* savedMusic = nullptr;
};

TEST_F(SoundHandleTest, EffectsPlayThroughKeptInstancesAndUnloadFromTheManager) {
  ISound* click = factory->CreateSound();
  click->SetVolume(0.5);  // remembered before the load
  const int id = click->Load("click.wav");
  ASSERT_GE(id, 2);
  click->Play(false);
  click->Play(false);
  click->Stop();
  factory->ReleaseSound(click);
  const std::string s = std::to_string(id);
  EXPECT_EQ(gEvents, (std::vector<std::string>{"play 0", "volume 0 0.500000", "release 0", "play 1",
                                               "volume 1 0.500000", "stop 1", "release 1", "unload sound " + s}));
}

TEST_F(SoundHandleTest, MusicLoadedSoundsStayWithTheMusicInterface) {
  ISound* song = factory->CreateSound();
  const int id = song->Load("song.ogg");
  ASSERT_GE(id, 2);
  song->Play(false);
  factory->ReleaseSound(song);
  ISound* click = factory->CreateSound();
  EXPECT_GE(click->Load("click.wav"), 2);
  factory->ReleaseSound(click);  // loaded but never played: still unloaded by the manager
  const std::string s = std::to_string(id);
  EXPECT_EQ(gEvents, (std::vector<std::string>{"music play " + s + " once", "music volume " + s + " 1.000000",
                                               "music unload " + s, "unload sound " + s}));
  EXPECT_TRUE(sounds.instances.empty());  // the manager was never asked for a music id
}

// Every holder counts: the creator's release leaves the sound to the button that plays it,
// and the button gives its reference back when it goes, which unloads the sound.
TEST_F(SoundHandleTest, ReleasedSoundPlaysOnWhileAButtonHoldsIt) {
  ISound* click = factory->CreateSound();
  const int id = click->Load("click.wav");
  ASSERT_GE(id, 2);
  IButtonVO* button = factory->CreateButtonVO();
  button->SetSize(20, 20);
  button->SetVisible(true);
  button->SetSounds(click, click, nullptr);
  factory->ReleaseSound(click);
  EXPECT_EQ(click->GetRefCount(), 2);
  factory->OnMouseMove(5, 5);  // the hover sound: the handle is still alive
  factory->OnMouseDown(5, 5, kMouseLeft, 1);
  EXPECT_EQ(gEvents.size(), 5u);  // play, volume; release of the first instance, play, volume
  gEvents.clear();
  button->SetSounds(nullptr, click, nullptr);  // the hover slot's reference goes back
  EXPECT_EQ(click->GetRefCount(), 1);
  factory->DeleteVO(button);  // the press slot's goes with the button, and the sound with it
  EXPECT_EQ(gEvents, (std::vector<std::string>{"release 1", "unload sound " + std::to_string(id)}));
}

}  // namespace
