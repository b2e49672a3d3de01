// Option values, their observers and the files "options.opt" and "resolution.opt".
#include <gtest/gtest.h>

#include "game/Options.h"
#include "tests/game/GameSandbox.h"
#include "tests/platform/FileFaults.h"

using namespace Doduderor;
using game_test::ScratchFolder;

namespace {

class CountingObserver : public IOptionObserver {
 public:
  void OnMusicVolumeChanged() override { ++calls; }
  void OnOptionUnused() override {}
  int calls = 0;
};

class OptionsTest : public ::testing::Test {
 protected:
  OptionsTest() : folder("options") {
    ResetOptionsToDefaults();
    KernelLibrary::LoadResolution("no-such-folder/");
    SetDisplayModeFlag(0);
  }
  ~OptionsTest() override { ResetOptionsToDefaults(); }
  ScratchFolder folder;
};

TEST_F(OptionsTest, MissingFilesKeepDefaultsAndSaveWritesThemBack) {
  LoadOptions();
  EXPECT_EQ(GetMusicVolumeOption(), 20);
  EXPECT_EQ(GetSecondOptionValue(), 40);
  EXPECT_EQ(GetThirdOptionValue(), 3);
  SaveOptions();
  EXPECT_EQ(ScratchFolder::Read("options.opt"), (std::vector<unsigned char>{0x00, 0x14, 0x00, 0x28, 0x00, 0x03}));
  EXPECT_EQ(ScratchFolder::Read("resolution.opt"), (std::vector<unsigned char>{0x00, 0x00, 0x00}));
  EXPECT_FALSE(std::filesystem::exists("options.opt.tmp"));
}

TEST_F(OptionsTest, LoadTakesValuesAsStoredAndShortFieldsKeepTheirValues) {
  ScratchFolder::Write("options.opt", {0x00, 0xFA, 0x00, 0x07, 0x01});  // volume 250, second 7, third cut short
  LoadOptions();
  EXPECT_EQ(GetMusicVolumeOption(), 250);  // no range check on reading
  EXPECT_EQ(GetSecondOptionValue(), 7);
  EXPECT_EQ(GetThirdOptionValue(), 3);
}

TEST_F(OptionsTest, ResolutionIndexOutsideTheTableFallsBackToTheFirstSize) {
  struct Case {
    std::vector<unsigned char> bytes;
    int width, height;
    std::uint8_t fullScreen;
  };
  const Case cases[] = {
      {{0x00, 0x01, 0x01}, 1280, 800, 1},
      {{0x00, 0x02, 0x00}, 1024, 768, 0},
      {{0xFF, 0xFF}, 1024, 768, 0},  // flag missing: the previous value stays
  };
  for (const Case& c : cases) {
    SetDisplayModeFlag(0);
    ScratchFolder::Write("resolution.opt", c.bytes);
    LoadResolution("./");
    int w = 0, h = 0;
    GetResolutionSize(w, h);
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
    EXPECT_EQ(GetDisplayModeFlag(), c.fullScreen);
  }
  // Saved back as loaded (index 0 after the fallback).
  SetDisplayModeFlag(1);
  SaveOptions();
  EXPECT_EQ(ScratchFolder::Read("resolution.opt"), (std::vector<unsigned char>{0x00, 0x00, 0x01}));
}

TEST_F(OptionsTest, VolumeChangesAreClampedAndBroadcastOnce) {
  CountingObserver a, b;
  AddOptionObserver(&a);
  AddOptionObserver(&b);
  AddOptionObserver(&a);  // registered once only
  SetMusicVolumeOption(20);  // the current value: nobody is told
  EXPECT_EQ(a.calls, 0);
  SetMusicVolumeOption(250);
  EXPECT_EQ(GetMusicVolumeOption(), 100);
  EXPECT_EQ(a.calls, 1);
  EXPECT_EQ(b.calls, 1);
  SetMusicVolumeOption(60);
  EXPECT_EQ(GetMusicVolumeOption(), 60);
  EXPECT_EQ(a.calls, 2);
}

// An empty option file gives the defaults, and a scratch file left by a save cut short is
// thrown away at load.
TEST_F(OptionsTest, EmptyFileGivesDefaultsAndLeftoverScratchFilesGo) {
  ScratchFolder::Write("options.opt", {});
  ScratchFolder::Write("options.opt.tmp", {0x00, 0x50});
  ScratchFolder::Write("resolution.opt.tmp", {0x00});
  LoadOptions();
  LoadResolution("./");
  EXPECT_EQ(GetMusicVolumeOption(), 20);
  EXPECT_EQ(GetSecondOptionValue(), 40);
  EXPECT_EQ(GetThirdOptionValue(), 3);
  EXPECT_FALSE(std::filesystem::exists("options.opt.tmp"));
  EXPECT_FALSE(std::filesystem::exists("resolution.opt.tmp"));
  EXPECT_TRUE(ScratchFolder::Read("options.opt").empty());
}

// A save that fails keeps both files byte for byte, is reported, and a later save works.
TEST_F(OptionsTest, FailedSavesKeepBothOldFilesAndAreReported) {
  const std::vector<unsigned char> options{0x00, 0x3C, 0x00, 0x28, 0x00, 0x03};
  const std::vector<unsigned char> resolution{0x00, 0x01, 0x01};
  ScratchFolder::Write("options.opt", options);
  ScratchFolder::Write("resolution.opt", resolution);
  SetMusicVolumeOption(80);
  for (const auto& fault : {file_faults::DiskFull(), file_faults::NoInodes(), file_faults::FolderNotWritable()}) {
    file_faults::Scoped injected(fault);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SaveOptions());
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Could not save options.opt: "), std::string::npos) << log;
    EXPECT_NE(log.find("Could not save resolution.opt: "), std::string::npos) << log;
    EXPECT_EQ(ScratchFolder::Read("options.opt"), options);
    EXPECT_EQ(ScratchFolder::Read("resolution.opt"), resolution);
  }
  EXPECT_TRUE(SaveOptions());
  EXPECT_EQ(ScratchFolder::Read("options.opt"), (std::vector<unsigned char>{0x00, 0x50, 0x00, 0x28, 0x00, 0x03}));
}

}  // namespace
