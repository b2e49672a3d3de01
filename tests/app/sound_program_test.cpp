// The application with its real sound start-up, headless: it opens the audio device, and the
// game's own sounds from the run folder load and play to their end through both paths the
// game uses (the music interface first, the sound manager as the fallback).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "framework/core/OrvoAppBase.h"
#include "framework/sound/DSoundManager.h"
#include "framework/sound/MusicInterface.h"
#include "framework/sound/SoundInstance.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/SingleInstance.h"
#include "tests/app/ProgramSandbox.h"

using namespace Orvo;

namespace {

struct ExitCalled {
  plat::UINT code;
};

template <typename Done>
bool WaitFor(Done done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

TEST(SoundProgramTest, TheGamesSoundsLoadAndPlayToTheirEnd) {
  ProgramSandbox sandbox("orvo_sound");
  plat::SetExitProcessHook([](plat::UINT code) { throw ExitCalled{code}; });
  plat::SetMessageBoxHook([](const std::string&, const std::string&, plat::UINT flags) {
    return plat::DefaultMessageBoxAnswer(flags);
  });
  auto previous = std::filesystem::current_path();
  {
    OrvoAppBase app;
    app.mProductName = "SoundTest" + std::to_string(std::random_device{}());
    app.mRegKey = "SoundTest";
    app.mWindowed = true;
    app.Init();
    std::filesystem::current_path(QUORVANE_RUN_DIR);
    ASSERT_TRUE(std::filesystem::exists("sounds/click.wav")) << "the run folder's sounds are not made yet";
    ASSERT_NE(app.mSoundManager, nullptr);
    EXPECT_TRUE(app.mSoundManager->Initialized());

    // The music interface: the path every game sound tries first.
    ASSERT_TRUE(app.mMusicInterface->LoadMusic(2, "sounds/click.wav"));
    app.mMusicInterface->PlayMusic(2, 0, true);
    EXPECT_TRUE(app.mMusicInterface->IsPlaying(2));
    EXPECT_TRUE(WaitFor([&] { return !app.mMusicInterface->IsPlaying(2); }));

    // The sound manager: loaded by name without extension, played as the application does.
    int id = app.mSoundManager->GetFreeSoundId();
    ASSERT_TRUE(app.mSoundManager->LoadSoundAt(id, "sounds/slide"));
    EXPECT_EQ(app.mSoundManager->GetNumSounds(), 1);
    SoundInstance* instance = app.mSoundManager->GetSoundInstance(id);
    ASSERT_NE(instance, nullptr);
    ASSERT_TRUE(instance->Play(false, false));
    EXPECT_TRUE(instance->IsPlaying());
    EXPECT_TRUE(WaitFor([&] { return !instance->IsPlaying(); }));
    app.PlaySoundById(id);  // auto-release: the manager reaps it later

    app.Shutdown();
  }
  std::filesystem::current_path(previous);
  plat::SetExitProcessHook(nullptr);
  plat::SetMessageBoxHook(nullptr);
  plat::StopListeningForRegisteredMessages();
}

}  // namespace
