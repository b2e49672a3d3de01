// The application's services: dialogs by id with modal hooks and deferred deletion, message
// boxes and the screensaver log, counted mutes, the shared-image cache, links and versions,
// and font descriptor errors shown through the application.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/ImageFont.h"
#include "framework/sound/MusicInterface.h"
#include "framework/sound/DSoundManager.h"
#include "framework/widgets/Dialog.h"
#include "framework/widgets/DialogButton.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "platform/Files.h"

namespace {

using Orvo::Dialog;

class HookedApp : public Orvo::OrvoAppBase {
 public:
  void ModalOpenHook() override { ++modalOpens; }
  void ModalCloseHook() override { ++modalCloses; }
  void ButtonPressed(int id) override { pressed.push_back(id); }
  void ButtonReleased(int id) override { released.push_back(id); }
  int modalOpens = 0;
  int modalCloses = 0;
  std::vector<int> pressed, released;
};

struct RecordingMusic : Orvo::MusicInterface {
  void SetVolume(double volume) override { last = volume; }
  double last = -1;
};

class AppServicesTest : public ::testing::Test {
 protected:
  HookedApp app;
  std::vector<std::string> boxes;
  void SetUp() override {
    app.mWidth = 800;
    app.mHeight = 600;
    app.mWidgetManager->SetMouseMapping(Orvo::Rect(0, 0, 800, 600), Orvo::Rect(0, 0, 800, 600));
    plat::SetMessageBoxHook([this](const std::string& text, const std::string& caption, plat::UINT flags) {
      boxes.push_back(caption + "|" + text);
      return plat::IDOK;
    });
  }
  void TearDown() override {
    plat::SetMessageBoxHook(nullptr);
    plat::SetShellOpenHook(nullptr);
  }
};

TEST_F(AppServicesTest, DialogsByIdWithModalHooksAndDeferredDeletion) {
  Dialog* first = app.ShowDialog(5, true, "Header", "Lines", "", Dialog::BUTTONS_YES_NO);
  EXPECT_EQ(app.FindDialog(5), first);
  EXPECT_EQ(app.CountDialogs(), 1);
  EXPECT_EQ(app.modalOpens, 1);
  EXPECT_EQ(app.mWidgetManager->mBaseModalWidget, first);
  // A dialog without a width takes half the screen, centred, a fifth down.
  EXPECT_EQ(first->mWidth, 400);
  EXPECT_EQ(first->mX, 200);
  EXPECT_EQ(first->mY, 120);
  EXPECT_EQ(first->mHeight, first->GetPreferredHeight(400));

  // The application maps the dialog's buttons onto its own ids.
  const Orvo::Rect no = first->mNoButton->GetRect();
  auto* manager = app.mWidgetManager;
  manager->MouseMove(no.mX + 3, no.mY + 3);
  manager->MouseDown(no.mX + 3, no.mY + 3, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager->MouseUp(no.mX + 3, no.mY + 3, 1, Orvo::MOUSE_BUTTON_LEFT);
  EXPECT_EQ(app.pressed, std::vector<int>{5 + 3000});
  EXPECT_EQ(app.released, std::vector<int>{5 + 3000});

  // The same id again: the old dialog is closed and deleted later.
  Dialog* second = app.ShowDialog(5, false, "Again", "", "", 0);
  EXPECT_EQ(app.FindDialog(5), second);
  EXPECT_EQ(app.CountDialogs(), 1);
  EXPECT_EQ(app.modalCloses, 1);
  EXPECT_EQ(manager->mBaseModalWidget, nullptr);
  EXPECT_FALSE(manager->HasWidget(first));
  EXPECT_EQ(app.mDeferredDeletes.size(), 1u);
  app.FlushDeferredDeletes();

  // Adding the dialog that is already stored under its id leaves it alone.
  app.AddDialog(5, second);
  EXPECT_TRUE(app.mDeferredDeletes.empty());
  EXPECT_TRUE(manager->HasWidget(second));
  EXPECT_FALSE(app.CloseDialog(99));
  EXPECT_TRUE(app.CloseDialog(second));
  EXPECT_EQ(app.CountDialogs(), 0);
  app.FlushDeferredDeletes();
}

TEST_F(AppServicesTest, CountedMuteKeepsTheStoredVolumes) {
  auto* music = new RecordingMusic();
  auto* sound = new Orvo::DSoundManager(nullptr, false);
  app.mMusicInterface = music;
  app.mSoundManager = sound;
  app.SetMusicVolume(0.5);
  EXPECT_EQ(music->last, 0.5);
  app.Mute(false);
  app.Mute(false);
  app.Unmute(false);
  EXPECT_TRUE(app.IsMuted());
  app.SetMusicVolume(0.4);
  EXPECT_EQ(app.GetMusicVolume(), 0.4);
  EXPECT_EQ(music->last, 0.0);
  EXPECT_EQ(sound->GetVolume(), 0.0);
  app.Unmute(false);
  EXPECT_FALSE(app.IsMuted());
  EXPECT_EQ(music->last, 0.4);
  EXPECT_EQ(sound->GetVolume(), 0.85);
  app.Unmute(false);  // at 0: nothing changes
  EXPECT_EQ(app.mMuteCount, 0);
  app.SetMasterVolume(0.3);
  EXPECT_EQ(app.GetSfxVolume(), 0.3);
  EXPECT_NEAR(app.GetMasterVolume(), 0.3, 1.0 / 65535);  // the mixer control keeps 16 bits
  app.PlaySoundById(3);  // no instance: nothing plays
}

TEST_F(AppServicesTest, SharedImagesAreCountedAndFreedAfterTheNextCleanUp) {
  bool created = false;
  Orvo::SharedImageRef a = app.AcquireSharedImage("!canvas", "v1", &created);
  EXPECT_TRUE(created);
  Orvo::SharedImageRef b = app.AcquireSharedImage("!CANVAS", "V1", &created);
  EXPECT_FALSE(created);
  ASSERT_NE(a.GetDDImage(), nullptr);
  EXPECT_EQ(a.GetDDImage(), b.GetDDImage());
  Orvo::SharedImageRef other = app.AcquireSharedImage("!canvas", "v2", &created);
  EXPECT_NE(other.GetDDImage(), a.GetDDImage());

  a.Release();
  app.CleanSharedImages();
  EXPECT_EQ(app.mSharedImageMap.size(), 2u);  // still held by b
  b.Release();
  EXPECT_EQ(app.mSharedImageMap.size(), 2u);  // freed only by the next clean-up
  app.CleanSharedImages();
  EXPECT_EQ(app.mSharedImageMap.size(), 1u);

  Orvo::SharedImageRef missing = app.AcquireSharedImage("no/such/image.png", "", &created);
  EXPECT_EQ(missing.GetImage(), nullptr);
  EXPECT_FALSE(created);
  EXPECT_EQ(app.mSharedImageMap.size(), 1u);  // a failed load is not cached

  // Threads acquiring the same name share one image.
  // (each handle is built in place, so that only the cache itself counts references)
  std::vector<std::thread> threads;
  std::vector<std::unique_ptr<Orvo::SharedImageRef>> refs(8);
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([&, i] { refs[i].reset(new Orvo::SharedImageRef(app.AcquireSharedImage("!shared", ""))); });
  for (std::thread& t : threads) t.join();
  for (const auto& ref : refs) EXPECT_EQ(ref->GetDDImage(), refs[0]->GetDDImage());
  EXPECT_EQ(refs[0]->mSharedImage->mRefCount, 8);
}

TEST_F(AppServicesTest, LinksOpenOnceWhilePending) {
  std::vector<std::string> opened;
  bool succeed = true;
  plat::SetShellOpenHook([&](const std::string& url) {
    opened.push_back(url);
    return succeed;
  });
  EXPECT_TRUE(app.OpenURL("https://example.org/a"));
  EXPECT_TRUE(app.OpenURL("https://example.org/a"));
  EXPECT_EQ(opened.size(), 1u);
  app.URLOpenCompleted("https://example.org/a");
  EXPECT_FALSE(app.mURLPending);
  succeed = false;
  EXPECT_FALSE(app.OpenURL("https://example.org/b"));
  EXPECT_FALSE(app.mURLPending);  // abandoned
  EXPECT_EQ(opened.size(), 2u);
  EXPECT_LE(plat::ShellExecuteA(nullptr, "open", "--help", nullptr, nullptr, 1), 32);  // never an option

  EXPECT_EQ(app.GetProductVersion(QUORVANE_TEST_DATA_DIR "/../CMakeLists.txt"), "1.0");
  EXPECT_EQ(app.GetProductVersion("/no/such/file"), "");
}

TEST_F(AppServicesTest, MessageBoxesAndTheScreenSaverLog) {
  app.ShowFatalError(std::string("It broke"));
  EXPECT_EQ(boxes, std::vector<std::string>{"FATAL ERROR|It broke"});
  EXPECT_EQ(app.ShowMessageBox(std::string("Hello"), std::string("Caption"), plat::MB_OK), plat::IDOK);
  EXPECT_EQ(boxes.size(), 2u);

  const auto dir = std::filesystem::temp_directory_path() / ("app_services_screensaver_" + std::to_string(plat::CurrentProcessId()));
  std::filesystem::create_directories(dir);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  app.mScreenSaverMode = true;
  EXPECT_EQ(app.ShowMessageBox(std::string("first"), std::string("c"), plat::MB_YESNO), 1);
  app.ShowFatalError(std::string("second"));
  std::filesystem::current_path(previous);
  EXPECT_EQ(boxes.size(), 2u);  // no box in screensaver mode
  std::ifstream log(dir / "ScrError.txt");
  std::string line1, line2;
  std::getline(log, line1);
  std::getline(log, line2);
  EXPECT_EQ(line1.rfind("first ", 0), 0u) << line1;
  EXPECT_EQ(line2.rfind("second ", 0), 0u) << line2;
  std::filesystem::remove_all(dir);
}

TEST_F(AppServicesTest, FontDescriptorErrorsNameFileLineAndCommand) {
  const auto file = std::filesystem::temp_directory_path() / ("app_services_font_" + std::to_string(plat::CurrentProcessId()) + ".txt");
  std::ofstream(file) << "CreateLayer Main;\n\n\n\n\n\n\n\n\n\n\nLayerSetAscent Other 3;\n";
  Orvo::ImageFont font(&app, file.string());
  EXPECT_FALSE(font.mLoaded);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "FATAL ERROR|Font Descriptor Error in " + file.string() +
                          "\r\nUndefined Layer on Line 12:\r\n\r\nLayerSetAscent Other 3");
  std::filesystem::remove(file);
}

}  // namespace
