// The report window of the crash report's second stage, driven headless through its
// window's input as a user would: "Send Report", a typed description, "Continue", and the
// report arrives at a loopback server with that description while the progress page waits.
#include "framework/core/CrashReportWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/CrashCatcher.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/widgets/EditWidget.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/MessageBox.h"
#include "platform/Messages.h"
#include "platform/Process.h"
#include "platform/Window.h"
#include "tests/framework/core/AppSandbox.h"
#include "tests/framework/core/LoopbackServer.h"

namespace {

using Orvo::CrashCatcher;
using Orvo::CrashReportWindow;

// The window with a script of input posted to it, update by update.
class ScriptedReportWindow : public CrashReportWindow {
 public:
  explicit ScriptedReportWindow(CrashCatcher& catcher) : CrashReportWindow(catcher) {}

  std::vector<std::string> mPages;     // the pages shown, in turn
  std::vector<std::string> mProgress;  // progress texts seen
  bool mSendEnabledShown = false;

  void UpdateApp() override {
    CrashReportWindow::UpdateApp();
    ++mTicks;
    if (mProgress.empty() || mProgress.back() != GetProgressText()) mProgress.push_back(GetProgressText());
    const std::string page = std::to_string(GetPage());
    if (mPages.empty() || mPages.back() != page) mPages.push_back(page);
    if (mTicks % 10 != 0 || mQuit) return;
    switch (mStep++) {
      case 0:
        Click(ID_SEND_REPORT);
        break;
      case 1:
        for (char c : std::string("It froze\rtwix\bce")) Post(plat::WM_CHAR, static_cast<unsigned char>(c), 0, 0);
        break;
      case 2:
        Click(ID_CONTINUE);
        break;
      default:
        if (mTicks > 3000) Shutdown();  // the server never answered
        break;
    }
  }

 private:
  void Post(plat::UINT message, plat::WPARAM wParam, int x, int y) {
    plat::PostMessageA(mHWnd, message, wParam, plat::MAKELPARAM(x, y));
  }
  void Click(int id) {
    int x = 0, y = 0;
    ASSERT_TRUE(FindButton(id, &x, &y)) << id;
    Post(plat::WM_MOUSEMOVE, 0, x, y);
    Post(plat::WM_LBUTTONDOWN, plat::MK_LBUTTON, x, y);
    Post(plat::WM_LBUTTONUP, 0, x, y);
  }
  int mTicks = 0;
  int mStep = 0;
};

// The window as the report process opens it: it notes the page it shows, and the colour of
// its face between the controls, and presses "Close Now".
class ClosingReportWindow : public CrashReportWindow {
 public:
  explicit ClosingReportWindow(CrashCatcher& catcher) : CrashReportWindow(catcher) {}
  bool mCrashPageShown = false;
  std::vector<std::uint32_t> mFace;  // the headline's ground, a margin, the gap above the button
  void UpdateApp() override {
    CrashReportWindow::UpdateApp();
    if (++mTicks != 10) return;
    int x = 0, y = 0;
    mCrashPageShown = GetPage() == PAGE_CRASH && FindButton(ID_CLOSE_NOW, &x, &y);
    Orvo::DDImage* screen = mDDInterface->GetScreenImage();
    for (const auto& [px, py] : {std::pair{380, 80}, std::pair{2, 2}, std::pair{396, 150}, std::pair{100, 264}})
      mFace.push_back(screen->GetBits()[py * screen->mWidth + px] & 0xFFFFFF);
    plat::PostMessageA(mHWnd, plat::WM_LBUTTONDOWN, plat::MK_LBUTTON, plat::MAKELPARAM(x, y));
    plat::PostMessageA(mHWnd, plat::WM_LBUTTONUP, 0, plat::MAKELPARAM(x, y));
  }

 private:
  int mTicks = 0;
};

// The window with a report far longer than its box: it notes the box's text and, after a
// click into the box and Ctrl+End, the last line the box shows; then it closes.
class LongReportWindow : public CrashReportWindow {
 public:
  explicit LongReportWindow(CrashCatcher& catcher) : CrashReportWindow(catcher) {}
  std::string mShown;     // the report box's text
  std::string mLastLine;  // the last line in view after Ctrl+End
  bool mEndInView = false;
  void UpdateApp() override {
    CrashReportWindow::UpdateApp();
    ++mTicks;
    if (mTicks == 10) {
      Post(plat::WM_MOUSEMOVE, 0, 200, 176);
      Post(plat::WM_LBUTTONDOWN, plat::MK_LBUTTON, 200, 176);
      Post(plat::WM_LBUTTONUP, 0, 200, 176);
      Post(plat::WM_KEYDOWN, plat::VK_CONTROL, 0, 0);
      Post(plat::WM_KEYDOWN, plat::VK_END, 0, 0);
      Post(plat::WM_KEYUP, plat::VK_END, 0, 0);
      Post(plat::WM_KEYUP, plat::VK_CONTROL, 0, 0);
    } else if (mTicks == 20) {
      for (Orvo::Widget* w : mWidgetManager->mWidgets) {
        auto* box = dynamic_cast<Orvo::EditWidget*>(w);
        if (box == nullptr || !box->mScrollBar) continue;
        mShown = box->GetText();
        const auto& lines = box->WrappedLines();
        const int last = box->GetScrollLine() + box->VisibleLines() - 1;
        mEndInView = box->GetScrollLine() == box->GetMaxScrollLine();
        if (last >= 0 && last < static_cast<int>(lines.size())) mLastLine = lines[last];
      }
      int x = 0, y = 0;
      ASSERT_TRUE(FindButton(ID_CLOSE_NOW, &x, &y));
      Post(plat::WM_LBUTTONDOWN, plat::MK_LBUTTON, x, y);
      Post(plat::WM_LBUTTONUP, 0, x, y);
    }
  }

 private:
  void Post(plat::UINT message, plat::WPARAM wParam, int x, int y) {
    plat::PostMessageA(mHWnd, message, wParam, plat::MAKELPARAM(x, y));
  }
  int mTicks = 0;
};

struct ExitCalled {
  plat::UINT code;
};

}  // namespace

TEST(CrashReportWindowTest, TheTypedDescriptionIsSentWithTheReport) {
  AppSandbox sandbox;
  testing_http::LoopbackServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}});
  CrashCatcher& catcher = CrashCatcher::Get();
  catcher.mReportHost = "127.0.0.1:" + std::to_string(server.Port());
  catcher.mHadApplication = true;
  catcher.mCopyToClipboard = false;
  catcher.mProductName = "Quorvane";
  catcher.mProductVersion = "1.0";
  catcher.mErrorTitle = "Exception at 000F:00042D37";
  catcher.mErrorText = "Exception: Access Violation (code 0xc0000005)\r\n";
  catcher.mAttachDemo = false;
  {
    ScriptedReportWindow window(catcher);
    window.Init();
    window.Start();
    EXPECT_EQ(window.mPages, (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(window.mProgress.front(), "");
    EXPECT_NE(std::find(window.mProgress.begin(), window.mProgress.end(), "Please Wait"), window.mProgress.end());
  }
  EXPECT_EQ(catcher.mUserText, "It froze\r\ntwice");
  const std::string request = server.Request();
  EXPECT_EQ(request.rfind("POST /error_report.php HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("name=\"usertext\"\r\n\r\nIt froze\r\ntwice\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("name=\"errortitle\"\r\n\r\nException at 000F:00042D37\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("name=\"prod\"\r\n\r\nQuorvane\r\n"), std::string::npos) << request;
  EXPECT_EQ(catcher.mReportTransfer.GetResult(), Orvo::HTTPTransfer::RESULT_DONE);
}

// Without a report host only "Close Now" is offered, across the whole window; without the
// crashed application's facts "Send Report" is there but cannot be pressed.
TEST(CrashReportWindowTest, ButtonsFollowTheHostAndTheApplication) {
  CrashCatcher& catcher = CrashCatcher::Get();
  catcher.mReportHost.clear();
  EXPECT_EQ(catcher.CrashWindowButtons(), std::vector<std::string>{"Close Now"});
  catcher.mReportHost = "reports.example:8080";
  EXPECT_EQ(catcher.CrashWindowButtons(), (std::vector<std::string>{"Send Report", "Close Now"}));
  catcher.mUploadAllowed = false;
  EXPECT_EQ(catcher.CrashWindowButtons(), std::vector<std::string>{"Close Now"});
  catcher.mUploadAllowed = true;
  catcher.mHadApplication = false;
  EXPECT_FALSE(catcher.SendEnabled());
  catcher.mReportHost.clear();
}

// The report process is started as "<program> -crashreport=<crash.txt> -crashtitle=... ...":
// its window takes those options as its own, values with blanks and quotes included,
// rather than refusing them as the game would. An option that is not the report's is
// named, and no window opens.
TEST(CrashReportWindowTest, TheReportProcessTakesItsOwnOptions) {
  AppSandbox sandbox;
  const std::string reportFile = (sandbox.root / "crash.txt").string();
  std::ofstream(reportFile, std::ios::binary) << "Exception: Access Violation (code 0xc0000005)\r\n\n";
  const std::vector<std::string> options = {"-crashreport=" + reportFile,
                                            "-crashtitle=Exception at 0001:00000010",
                                            "-crashhost=",
                                            "-crashupload=1",
                                            "-crashapp=1",
                                            "-crashclip=0",
                                            "-crashprod=Quorvane",
                                            "-crashversion=1.0",
                                            "-crashdemo=/tmp/my \"last\" game.dmo",
                                            "-crashfield=level=3 of 26"};
  std::vector<std::string> commandLine = {"/opt/q/quorvane"};
  commandLine.insert(commandLine.end(), options.begin(), options.end());
  plat::SetCommandLineArgs(commandLine);
  plat::SetExitProcessHook([](plat::UINT code) { throw ExitCalled{code}; });
  std::vector<std::string> boxes;
  plat::SetMessageBoxHook([&boxes](const std::string& text, const std::string& caption, plat::UINT flags) {
    boxes.push_back(caption + ": " + text);
    return plat::DefaultMessageBoxAnswer(flags);
  });

  CrashCatcher& catcher = CrashCatcher::Get();
  testing::internal::CaptureStderr();
  EXPECT_TRUE(CrashCatcher::RunReportMode(options));  // headless: the report goes to stderr
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Fatal Error!"), std::string::npos);
  EXPECT_EQ(catcher.mErrorTitle, "Exception at 0001:00000010");
  EXPECT_EQ(catcher.mDemoAttachmentName, "/tmp/my \"last\" game.dmo");
  EXPECT_EQ(catcher.mExtraFields["level"], "3 of 26");
  {
    ClosingReportWindow window(catcher);
    EXPECT_NO_THROW({
      window.Init();
      window.Start();
    });
    EXPECT_TRUE(window.mCrashPageShown);
    // The face between the controls is the ground of the read-only texts, not black.
    ASSERT_EQ(window.mFace.size(), 4u);
    EXPECT_NE(window.mFace[0], 0u);
    EXPECT_EQ(window.mFace, std::vector<std::uint32_t>(4, window.mFace[0]));
  }
  EXPECT_EQ(boxes, std::vector<std::string>{});

  for (const std::string& stranger : {std::string("-crash"), std::string("-play"), std::string("-bogus=1")}) {
    boxes.clear();
    EXPECT_TRUE(CrashCatcher::RunReportMode({"-crashreport=" + reportFile, stranger}));
    const std::string name = stranger.substr(0, stranger.find('='));
    EXPECT_EQ(boxes, std::vector<std::string>{"FATAL ERROR: Invalid command line parameter: " + name});
  }
  plat::SetMessageBoxHook(nullptr);
  plat::SetExitProcessHook(nullptr);
}

// A report of thousands of lines, some of them thousands of characters long, is shown
// whole: its last line can be brought into view.
TEST(CrashReportWindowTest, AVeryLongReportIsShownToItsLastLine) {
  AppSandbox sandbox;
  CrashCatcher& catcher = CrashCatcher::Get();
  catcher.mReportHost.clear();
  catcher.mCopyToClipboard = false;
  std::string report;
  for (int i = 1; i <= 3000; ++i) {
    report += "00007FFE12345678 000055D0ABCDEF01 Frame" + std::to_string(i) + "+1F\r\n";
    if (i % 500 == 0) report += std::string(4000, 'x') + "\r\n";
  }
  report += "The last line of the report";
  catcher.mErrorText = report;
  LongReportWindow window(catcher);
  window.Init();
  window.Start();
  EXPECT_EQ(window.mShown.size(), report.size());
  EXPECT_TRUE(window.mEndInView);
  EXPECT_EQ(window.mLastLine, "The last line of the report");
}
