// The whole program with widgets, headless: real mouse input posted to the main window goes
// through the input queue into the widget tree; a button removes itself in its own callback
// and is deleted later; a modal dialog is dragged, drawn on the screen and answered.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/SysFont.h"
#include "framework/widgets/ButtonWidget.h"
#include "framework/widgets/Dialog.h"
#include "framework/widgets/DialogButton.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/Messages.h"
#include "platform/Time.h"
#include "tests/framework/core/AppSandbox.h"

namespace {

constexpr int kSelfRemoverId = 77;
constexpr int kDialogId = 7;

bool Near(std::uint32_t rgb, std::uint32_t expected) {
  for (int shift : {0, 8, 16}) {
    const int a = static_cast<int>((rgb >> shift) & 0xFF), b = static_cast<int>((expected >> shift) & 0xFF);
    if (a - b > 8 || b - a > 8) return false;
  }
  return true;
}

class CountedButton : public Orvo::ButtonWidget {
 public:
  CountedButton(int id, Orvo::ButtonListener* listener, bool* deleted) : ButtonWidget(id, listener), mDeleted(deleted) {}
  ~CountedButton() override { *mDeleted = true; }
  bool* mDeleted;
};

// Runs a script of posted input, one step per update once loading has completed.
class ScriptedApp : public Orvo::OrvoAppBase {
 public:
  ScriptedApp() {
    mProductName = "WidgetsTest" + std::to_string(std::random_device{}());
    mRegKey = "WidgetsTest";
  }
  void LoadingCompleted() override { mLoaded = mUpdateCount; }
  void UpdateApp() override {
    OrvoAppBase::UpdateApp();
    if (mLoaded < 0) return;
    const int step = mUpdateCount - mLoaded;
    if (mSteps.count(step) != 0) mSteps[step]();
    if (step > 200) Shutdown();
  }
  void ButtonReleased(int id) override {
    mReleased.push_back(id);
    if (id == kSelfRemoverId) {
      // Removed and queued for deletion from inside its own callback.
      mWidgetManager->RemoveWidget(mButton);
      QueueWidgetDeletion(mButton);
      mButton = nullptr;
      mDeletedInsideCallback = *mButtonDeleted;
    }
  }
  void Post(plat::UINT message, plat::WPARAM wParam, int x, int y) {
    plat::PostMessageA(mHWnd, message, wParam, plat::MAKELPARAM(x, y));
  }
  void Click(int x, int y) {
    Post(plat::WM_MOUSEMOVE, 0, x, y);
    Post(plat::WM_LBUTTONDOWN, plat::MK_LBUTTON, x, y);
    Post(plat::WM_LBUTTONUP, 0, x, y);
  }
  // The screen's pixel (x, y) as 0xRRGGBB.
  std::uint32_t ScreenPixel(int x, int y) {
    Orvo::DDImage* screen = mDDInterface != nullptr ? mDDInterface->GetScreenImage() : nullptr;
    if (screen == nullptr) return 0xDEADBEEF;
    const std::uint32_t* bits = screen->GetBits();
    return bits != nullptr ? bits[y * screen->GetWidth() + x] & 0xFFFFFF : 0xDEADBEEF;
  }

  int mLoaded = -1;
  std::map<int, std::function<void()>> mSteps;
  std::vector<int> mReleased;
  Orvo::ButtonWidget* mButton = nullptr;
  bool* mButtonDeleted = nullptr;
  bool mDeletedInsideCallback = true;
};

class AppWidgetsTest : public ::testing::Test {
 protected:
  AppWidgetsTest() { plat::SetClockSource(&clock); }
  ~AppWidgetsTest() override { plat::SetClockSource(nullptr); }
  AppSandbox sandbox;
  plat::SimulatedClock clock{100000};
};

TEST_F(AppWidgetsTest, RealInputReachesButtonsAndDialogs) {
  ScriptedApp app;
  app.Init();
  bool buttonDeleted = false;
  app.mButtonDeleted = &buttonDeleted;
  Orvo::Dialog* dialog = nullptr;
  Orvo::Point dialogStart;

  app.mSteps[2] = [&] {
    app.mButton = new CountedButton(kSelfRemoverId, &app, &buttonDeleted);
    app.mButton->Resize(20, 20, 80, 30);
    app.mWidgetManager->AddWidget(app.mButton);
    app.Click(40, 30);
  };
  app.mSteps[6] = [&] {
    ASSERT_EQ(app.mReleased, std::vector<int>{kSelfRemoverId});
    EXPECT_TRUE(buttonDeleted);  // deleted after its callback returned
    dialog = app.ShowDialog(kDialogId, true, "Question", "Keep going?", "", Orvo::Dialog::BUTTONS_OK_CANCEL);
    dialogStart = Orvo::Point{dialog->mX, dialog->mY};
    // Drag the box by its top, 40 right and 25 down.
    app.Post(plat::WM_MOUSEMOVE, 0, dialog->mX + 60, dialog->mY + 20);
    app.Post(plat::WM_LBUTTONDOWN, plat::MK_LBUTTON, dialog->mX + 60, dialog->mY + 20);
    app.Post(plat::WM_MOUSEMOVE, plat::MK_LBUTTON, dialog->mX + 80, dialog->mY + 30);
    app.Post(plat::WM_MOUSEMOVE, plat::MK_LBUTTON, dialog->mX + 100, dialog->mY + 45);
    app.Post(plat::WM_LBUTTONUP, 0, dialog->mX + 100, dialog->mY + 45);
  };
  app.mSteps[12] = [&] {
    EXPECT_EQ(dialog->mX, dialogStart.mX + 40);
    EXPECT_EQ(dialog->mY, dialogStart.mY + 25);
    // The plain frame is on the screen at its new place: outline and fill.
    // (the screen may be a 16-bit surface: colours match to a few steps)
    EXPECT_TRUE(Near(app.ScreenPixel(dialog->mX + 40, dialog->mY + 12), 0xFFFFFF));
    EXPECT_TRUE(Near(app.ScreenPixel(dialog->mX + 16, dialog->mY + dialog->mHeight - 16), 0x505050));
    // The header, drawn by the system font straight into the screen's surface, is visible.
    int headerInk = 0;
    for (int yy = dialog->mY + 24; yy < dialog->mY + 44; ++yy)
      for (int xx = dialog->mX + 30; xx < dialog->mX + dialog->mWidth - 30; ++xx)
        headerInk += Near(app.ScreenPixel(xx, yy), 0xFFFFFF);
    EXPECT_GT(headerInk, 20);
    // Text drawn on a locked surface leaves the lock as it was.
    Orvo::DDImage* screen = app.mDDInterface->GetScreenImage();
    ASSERT_TRUE(screen->LockSurface());
    Orvo::Graphics g(screen);
    Orvo::SysFont font("Arial", 12);
    font.DrawString(&g, 5, 20, "locked", Orvo::Color::White, Orvo::Rect(0, 0, 100, 100));
    EXPECT_EQ(screen->mLockCount, 1);
    EXPECT_NE(screen->mLockedSurfaceDesc.lpSurface, nullptr);
    EXPECT_EQ(screen->mBits, nullptr);  // drawn into the surface, which is now the only copy
    screen->UnlockSurface();
    // Behind the modal dialog nothing is clicked.
    app.Click(40, 30);
    const Orvo::Rect cancel = dialog->mNoButton->GetRect();
    app.Click(cancel.mX + cancel.mWidth / 2, cancel.mY + cancel.mHeight / 2);
  };
  int waited = 0;
  app.mSteps[18] = [&] {
    EXPECT_EQ(dialog->mResult, Orvo::Dialog::ID_CANCEL);
    app.CloseDialog(kDialogId);
    // A second dialog answered while the caller waits in a nested loop.
    Orvo::Dialog* question = app.ShowDialog(kDialogId + 1, true, "Sure?", "", "", Orvo::Dialog::BUTTONS_YES_NO);
    const Orvo::Rect yes = question->mYesButton->GetRect();
    app.Click(yes.mX + 5, yes.mY + 5);
    waited = question->WaitForResult(true);
    app.Shutdown();
  };
  app.Start();

  EXPECT_EQ(waited, Orvo::Dialog::ID_YES);

  EXPECT_FALSE(app.mDeletedInsideCallback);
  EXPECT_EQ(app.mReleased, (std::vector<int>{kSelfRemoverId, kDialogId + 3000, kDialogId + 1 + 2000}));
  EXPECT_EQ(app.CountDialogs(), 0);
}

}  // namespace
