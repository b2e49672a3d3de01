// The report window: pages of widgets, the polled upload and its progress text.
#include "framework/core/CrashReportWindow.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "framework/core/Common.h"
#include "framework/core/CrashCatcher.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/SysFont.h"
#include "framework/widgets/ButtonWidget.h"
#include "framework/widgets/EditWidget.h"
#include "framework/widgets/Widget.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/Crash.h"
#include "platform/Window.h"

namespace Orvo {

namespace {
// The window's face behind a page's controls, in the colour of its read-only texts.
class PageFace : public Widget {
 public:
  PageFace(int width, int height) {
    Resize(0, 0, width, height);
    mMouseVisible = false;
  }
  void Draw(Graphics* g) override {
    g->SetColor(Color(236, 233, 216));
    g->FillRect(0, 0, mWidth, mHeight);
  }
};
}  // namespace

CrashReportWindow::CrashReportWindow(CrashCatcher& catcher) : mCatcher(catcher) {
  mProductName = "QuorvaneCrashReport";
  mTitle = "Fatal Error!";
  mWidth = 400;
  mHeight = 300;
  mSingleInstance = false;
  mPreferredX = 64;
  mPreferredY = 64;
  // The window is not the crashed application: its facts are not the report's.
  if (catcher.GetApplication() == this) catcher.SetApplication(nullptr);
}

CrashReportWindow::~CrashReportWindow() {
  if (mWidgetManager != nullptr) mWidgetManager->RemoveAllWidgets(true);
}

void CrashReportWindow::ClearPage() {
  if (mWidgetManager == nullptr) return;
  // A page changes from inside a button's own callback: the widgets go after the update.
  const std::vector<Widget*> widgets(mWidgetManager->mWidgets.begin(), mWidgetManager->mWidgets.end());
  for (Widget* w : widgets) {
    mWidgetManager->RemoveWidget(w);
    QueueWidgetDeletion(w);
  }
  mDescription = nullptr;
  mProgress = nullptr;
}

ButtonWidget* CrashReportWindow::AddButton(int id, const std::string& label, int x, int y, int width, int height,
                                           bool enabled) {
  auto* button = new ButtonWidget(id, this);
  button->mLabel = label;
  SysFont font(this, "Tahoma", 8);
  button->SetFont(&font);
  button->Resize(x, y, width, height);
  button->SetDisabled(!enabled);
  mWidgetManager->AddWidget(button);
  return button;
}

EditWidget* CrashReportWindow::AddText(const std::string& text, int x, int y, int width, int height, const char* face,
                                       int points, bool bold, bool multiLine, bool readOnly) {
  auto* edit = new EditWidget(multiLine, readOnly);
  edit->SetFont(new SysFont(this, face, points, 0, bold));
  edit->mBorder = !readOnly || multiLine;
  // The length limit is the user's: a text shown read-only (a report of megabytes) is whole.
  if (readOnly) edit->mMaxLength = std::max(edit->mMaxLength, text.size());
  edit->SetText(text);
  edit->Resize(x, y, width, height);
  mWidgetManager->AddWidget(edit);
  return edit;
}

void CrashReportWindow::ShowPage(Page page) {
  ClearPage();
  mPage = page;
  mWidgetManager->AddWidget(new PageFace(mWidth, mHeight));
  const bool send = mCatcher.SendEnabled();
  switch (page) {
    case PAGE_CRASH:
      plat::SetWindowTextA(mHWnd, "Fatal Error!");
      AddText(ToNarrow(CrashCatcher::kHeadline), 8, 8, 384, 84, "Arial", 9, true, true, true)->mBorder = false;
      AddText(mCatcher.mErrorText, 8, 92, 384, 168, "Courier New", 8, false, true, true)->mScrollBar = true;
      if (mCatcher.UploadOffered()) {
        AddButton(ID_SEND_REPORT, "Send Report", 8, 268, 188, 24, send);
        AddButton(ID_CLOSE_NOW, "Close Now", 204, 268, 188, 24, true);
      } else {
        AddButton(ID_CLOSE_NOW, "Close Now", 8, 268, 384, 24, true);
      }
      break;
    case PAGE_DETAILS:
      plat::SetWindowTextA(mHWnd, "Error Details");
      AddText(ToNarrow(CrashCatcher::kRequestText), 8, 8, 384, 84, "Arial", 9, true, true, true)->mBorder = false;
      mDescription = AddText("", 8, 92, 384, 168, "Courier New", 8, false, true, false);
      mDescription->mMaxLength = 8192;
      mDescription->mScrollBar = true;
      mWidgetManager->SetFocus(mDescription);
      AddButton(ID_CONTINUE, "Continue", 8, 268, 188, 24, send);
      AddButton(ID_DETAILS_ABORT, "Abort", 204, 268, 188, 24, true);
      break;
    case PAGE_PROGRESS:
      plat::SetWindowTextA(mHWnd, "Submitting Report");
      mProgress = AddText("Please Wait", 24, 10, 224, 24, "Tahoma", 10, true, false, true);
      mProgress->mBorder = false;
      AddButton(ID_PROGRESS_ABORT, "Abort", 72, 36, 96, 22, true);
      mProgressTicks = 0;
      mDots = 0;
      break;
  }
  MarkAllDirty();
}

bool CrashReportWindow::FindButton(int id, int* x, int* y) const {
  if (mWidgetManager == nullptr) return false;
  for (Widget* w : mWidgetManager->mWidgets) {
    auto* button = dynamic_cast<ButtonWidget*>(w);
    if (button != nullptr && button->mId == id) {
      *x = button->mX + button->mWidth / 2;
      *y = button->mY + button->mHeight / 2;
      return true;
    }
  }
  return false;
}

std::string CrashReportWindow::GetProgressText() const { return mProgress != nullptr ? mProgress->GetText() : ""; }

void CrashReportWindow::LoadingCompleted() {
  if (mCatcher.mCopyToClipboard) plat::CopyTextToClipboard(mCatcher.mErrorText);
  ShowPage(PAGE_CRASH);
}

void CrashReportWindow::StartUpload() {
  mCatcher.mReportTransfer.Reset();
  mCatcher.UploadReport();
}

void CrashReportWindow::ButtonReleased(int id) {
  switch (id) {
    case ID_SEND_REPORT:
      ShowPage(PAGE_DETAILS);
      break;
    case ID_CONTINUE: {
      std::string text = mDescription != nullptr ? mDescription->GetText() : std::string();
      // The description travels with the Windows line ends of the rest of the report.
      std::string crlf;
      for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
      mCatcher.mUserText = crlf;
      ShowPage(PAGE_PROGRESS);
      StartUpload();
      break;
    }
    case ID_PROGRESS_ABORT:
      mCatcher.mReportTransfer.Abort();
      break;
    case ID_CLOSE_NOW:
    case ID_DETAILS_ABORT:
      Shutdown();
      break;
    default:
      break;
  }
}

void CrashReportWindow::UpdateApp() {
  OrvoAppBase::UpdateApp();
  if (mPage != PAGE_PROGRESS || mQuit) return;
  ++mProgressTicks;
  const int period = mUpdatePeriod > 0 ? mUpdatePeriod : 10;
  // Every second a dot more, ten at most before they start again.
  if (mProgressTicks * period % 1000 < period) {
    mDots = (mDots + 1) % 10;
    std::string text = "Please Wait";
    for (int i = 0; i < mDots; ++i) text += " .";
    mProgress->SetText(text);
  }
  // Every 20 ms the transfer's result.
  if (mProgressTicks * period % 20 >= period) return;
  const int result = mCatcher.mReportTransfer.GetResult();
  if (result == HTTPTransfer::RESULT_NOT_STARTED || result == HTTPTransfer::RESULT_NOT_COMPLETED) return;
  if (result == HTTPTransfer::RESULT_DONE || result == HTTPTransfer::RESULT_ABORTED) {
    Shutdown();
    return;
  }
  mCatcher.mReportTransfer.Reset();
  if (plat::ShowButtonBox("Connection Failed", ToNarrow(CrashCatcher::kConnectFailedText), {"Retry", "Cancel"}, 1) == 0)
    StartUpload();
  else
    Shutdown();
}

void RunCrashReportWindow(CrashCatcher& catcher, bool interactive) {
  if (!interactive && plat::IsHeadless()) {
    // Headless, the window answers as a message box would: it shows its text on stderr
    // and takes its default button, "Close Now".
    std::fprintf(stderr, "Fatal Error!\n%s\n\n%s\n", ToNarrow(CrashCatcher::kHeadline).c_str(),
                 catcher.mErrorText.c_str());
    std::fflush(stderr);
    return;
  }
  CrashReportWindow window(catcher);
  window.Init();
  window.Start();
}

}  // namespace Orvo
