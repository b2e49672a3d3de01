// The main window and the application's calls into the display: creating the window,
// (re)opening the display, presenting frames and choosing the cursor.
//
// The real DirectDraw display is not part of this build yet. Until it lands, a stand-in
// that shows nothing (NullDisplayUntilDisplayLands) answers the few calls the application
// makes, so the application starts, runs its loop and "presents" frames. The display work
// replaces the stand-in and the simple window creation here.
#include <algorithm>

#include "framework/core/Demo.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDInterface.h"
#include "framework/sound/SoundManager.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/MessageBox.h"
#include "platform/Time.h"

namespace Orvo {

namespace {

// Shows nothing and never fails: the frame counts and the window size are all it keeps.
class NullDisplayUntilDisplayLands {
 public:
  int Init(plat::HWND window, bool windowed, int width, int height) {
    mWindow = window;
    mWindowed = windowed;
    mWidth = width;
    mHeight = height;
    return DDInterface::RESULT_OK;
  }
  bool Present() {
    ++mPresents;
    return true;
  }
  int RefreshRate() const { return 60; }

  plat::HWND mWindow = nullptr;
  bool mWindowed = true;
  bool mIs3D = false;
  int mWidth = 0;
  int mHeight = 0;
  int mPresents = 0;
  int mCursorX = 0;
  int mCursorY = 0;
  Image* mCursorImage = nullptr;
};

NullDisplayUntilDisplayLands* gDisplay = nullptr;

plat::HCURSOR SystemCursorForKind(int kind, plat::HCURSOR hand, plat::HCURSOR dragging) {
  switch (kind) {
    case CURSOR_POINTER: return plat::LoadCursorA(nullptr, plat::IDC_ARROW);
    case CURSOR_HAND: return hand;
    case CURSOR_DRAGGING: return dragging;
    case CURSOR_TEXT: return plat::LoadCursorA(nullptr, plat::IDC_IBEAM);
    case CURSOR_CIRCLE_SLASH: return plat::LoadCursorA(nullptr, plat::IDC_NO);
    case CURSOR_SIZEALL: return plat::LoadCursorA(nullptr, plat::IDC_SIZEALL);
    case CURSOR_SIZENESW: return plat::LoadCursorA(nullptr, plat::IDC_SIZENESW);
    case CURSOR_SIZENS: return plat::LoadCursorA(nullptr, plat::IDC_SIZENS);
    case CURSOR_SIZENWSE: return plat::LoadCursorA(nullptr, plat::IDC_SIZENWSE);
    case CURSOR_SIZEWE: return plat::LoadCursorA(nullptr, plat::IDC_SIZEWE);
    case CURSOR_WAIT: return plat::LoadCursorA(nullptr, plat::IDC_WAIT);
    case CURSOR_NONE:
    case CURSOR_CUSTOM: return nullptr;
    default: return plat::LoadCursorA(nullptr, plat::IDC_ARROW);
  }
}

}  // namespace

void OrvoAppBase::CreateDisplayIfMissing() {
  if (!gDisplay) gDisplay = new NullDisplayUntilDisplayLands();
}

void OrvoAppBase::DeleteDisplay() {
  delete gDisplay;
  gDisplay = nullptr;
}

bool OrvoAppBase::PresentFrame() { return gDisplay && gDisplay->Present(); }

int OrvoAppBase::DisplayRefreshRate() { return gDisplay ? gDisplay->RefreshRate() : 60; }

void OrvoAppBase::MoveDisplayCursor(int x, int y) {
  // The stand-in display draws no cursor; the system cursor follows the pointer by itself.
}

bool OrvoAppBase::Is3DAccelerated() { return gDisplay && gDisplay->mIs3D; }

void OrvoAppBase::CreateMainWindow() {
  if (mHWnd) {
    plat::SetWindowLongPtrA(mHWnd, plat::GWL_USERDATA, 0);
    plat::DestroyWindow(mHWnd);
    mHWnd = nullptr;
    if (mWidgetManager) mWidgetManager->mImage = nullptr;
  }

  if (!mPlayingDemo && (!mWindowed || mChangeDesktopMode)) {
    mHWnd = plat::CreateWindowExA(plat::WS_EX_TOPMOST, "MainWindow", mTitle.c_str(), plat::WS_POPUP | plat::WS_VISIBLE,
                                  0, 0, mWidth, mHeight, nullptr, nullptr, nullptr, nullptr);
    mIsWindowedNow = false;
  } else {
    DWORD style = plat::WS_POPUP | plat::WS_CLIPCHILDREN | plat::WS_CAPTION | plat::WS_SYSMENU | plat::WS_MINIMIZEBOX;
    if (mMaximiseBox) style |= plat::WS_MAXIMIZEBOX;
    plat::RECT outer{0, 0, mWidth, mHeight};
    plat::AdjustWindowRect(&outer, style, plat::FALSE);
    const int outerW = outer.right - outer.left, outerH = outer.bottom - outer.top;
    plat::RECT work{0, 0, 0, 0};
    plat::SystemParametersInfoA(plat::SPI_GETWORKAREA, 0, &work, 0);
    int x = 64, y = 64;
    if (mPreferredX != -1) {
      x = std::max<int>(mPreferredX, work.left + 4);
      y = std::max<int>(mPreferredY, work.top + 4);
      if (x + outerW >= work.right - 4) x = work.right - 4 - outerW;
      if (y + outerH >= work.bottom - 4) y = work.bottom - 4 - outerH;
    }
    mHWnd = plat::CreateWindowExA(0, "MainWindow", mTitle.c_str(), style, x, y, outerW, outerH, nullptr, nullptr,
                                  nullptr, nullptr);
    if (mPreferredX == -1) {
      const int workW = work.right - work.left, workH = work.bottom - work.top;
      plat::MoveWindow(mHWnd, work.left + (workW - outerW) / 2,
                       work.top + static_cast<int>((workH - outerH) * 0.382), outerW, outerH, plat::FALSE);
    }
    mIsWindowedNow = true;
  }
  plat::SetWindowLongPtrA(mHWnd, plat::GWL_USERDATA, reinterpret_cast<plat::LONG_PTR>(this));

  CreateDisplayIfMissing();
  int result = ReinitDisplay();
  if (result != DDInterface::RESULT_OK) {
    ShowFatalError(GetString("FAILED_INIT_DIRECTDRAW", "Failed to initialize DirectDraw: ") +
                   DDInterface::ResultName(result));
    ExitWithCode(1);
  }

  bool wasActive = mActive;
  mActive = plat::GetActiveWindow() == mHWnd;
  mMinimisedSeenByWndProc = false;
  if (mMinimised) {
    mMinimised = false;
    if (mMuteWhenMinimised) Unmute(true);
    UpdateActiveState();
  }
  if (mActive != wasActive) UpdateActiveState();
  RefreshAllImages();
  MarkAllDirty();
  plat::SetTimer(mHWnd, 100, static_cast<UINT>(mUpdatePeriod), nullptr);
}

int OrvoAppBase::ReinitDisplay() {
  PreDisplayInitHook();
  DropNativeImageData();
  CreateDisplayIfMissing();
  int result = gDisplay->Init(mHWnd, mIsWindowedNow, mWidth, mHeight);
  mRefreshRate = DisplayRefreshRate();
  // Demo: the screen mode and refresh rate go into the recording.
  if (mRecordingDemo) {
    mDemo->SetUpdateCount(mUpdateCount);
    mDemo->RecordWindowState(mIsWindowedNow, mRefreshRate);
  }
  if (result == DDInterface::RESULT_OK) {
    mScreenBounds = Rect((mWidth - gDisplay->mWidth) / 2, (mHeight - gDisplay->mHeight) / 2, gDisplay->mWidth,
                         gDisplay->mHeight);
    if (mWidgetManager) mWidgetManager->SetMouseMapping(mScreenBounds, mScreenBounds);
    DisplayInitDoneHook();
  }
  return result;
}

void OrvoAppBase::Set3DMode(bool is3D, bool reinit) {
  // The stand-in display has no 3D mode to switch to.
}

void OrvoAppBase::SetScreenMode(bool windowed, bool is3D, bool force) {
  if (mFullScreenForced) windowed = false;
  if (windowed == mWindowed && !force) {
    Set3DMode(is3D, true);
    return;
  }
  Set3DMode(is3D, false);
  mWindowed = windowed;
  CreateMainWindow();
  if (mURLPending) {
    plat::ShowWindow(mHWnd, plat::SW_SHOWNOACTIVATE);
  } else {
    plat::ShowWindow(mHWnd, plat::SW_SHOWNORMAL);
    plat::SetForegroundWindow(mHWnd);
  }
  if (mSoundManager) mSoundManager->SetCooperativeWindow(mHWnd, mIsWindowedNow);
}

void OrvoAppBase::SetWindowed(bool windowed) { SetScreenMode(windowed, Is3DAccelerated(), false); }

void OrvoAppBase::ReapplyScreenMode() { SetScreenMode(mWindowed, Is3DAccelerated(), true); }

void OrvoAppBase::SetVideoOnlyDraw(bool on) {
  if (on == mVideoOnlyDraw) return;
  mVideoOnlyDraw = on;
  MarkAllDirty();
}

void OrvoAppBase::Redraw() {
  if (mDrawing || mQuit || sScreenSaverBlank) return;
  if (PresentFrame()) {
    if (sLostPresent) {
      sLostPresent = false;
      sLastRecoveryAttempt = 0;
    }
    return;
  }
  sLostPresent = true;
  DWORD now = plat::GetTickCount();
  if (mActive || (mIsWindowedNow && now - sLastRecoveryAttempt > 1000)) {
    sLastRecoveryAttempt = now;
    if (ReinitDisplay() == DDInterface::RESULT_OK) {
      RefreshAllImages();
      MarkAllDirty();
    }
  }
}

void OrvoAppBase::ApplyCursor() {
  if (!gDisplay) return;
  bool shown = true;
  if (mHidden || !mMouseIn) {
    plat::SetCursor(plat::LoadCursorA(nullptr, plat::IDC_ARROW));
  } else if (mCursorImages[mCursorKind] && (mPlayingDemo || mCustomCursors || mCursorKind == CURSOR_CUSTOM)) {
    if (gDisplay->mCursorImage != mCursorImages[mCursorKind]) mForcePresent = true;
    gDisplay->mCursorImage = mCursorImages[mCursorKind];
    if (!mPlayingDemo) {
      plat::SetCursor(nullptr);
      shown = false;
    } else {
      plat::SetCursor(plat::LoadCursorA(nullptr, plat::IDC_NO));
    }
  } else {
    if (gDisplay->mCursorImage) mForcePresent = true;
    gDisplay->mCursorImage = nullptr;
    plat::HCURSOR cursor = mOverrideCursor ? mOverrideCursor
                                           : SystemCursorForKind(mCursorKind, mHandCursor, mDraggingCursor);
    plat::SetCursor(cursor);
    shown = cursor != nullptr;
  }
  mSysCursorShown = shown;
}

void OrvoAppBase::SelectCursor(int kind) {
  mCursorKind = (kind >= 0 && kind < NUM_CURSORS) ? kind : CURSOR_POINTER;
  ApplyCursor();
}

void OrvoAppBase::SetCustomCursors(bool on) {
  mCustomCursors = on;
  ApplyCursor();
}

void OrvoAppBase::MarkAllDirty() {
  if (mWidgetManager) mWidgetManager->InvalidateAll();
}

}  // namespace Orvo
