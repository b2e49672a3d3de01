// The main window and the application's calls into the display: creating the window,
// opening the display on it and re-opening it when the screen mode changes, presenting
// frames with recovery from a display that stopped presenting, and choosing the cursor.
// Every path that cannot give a working display ends the program with exit code 1.
#include <algorithm>

#include "framework/core/Demo.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/sound/SoundManager.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/DisplayWindow.h"
#include "platform/Time.h"

namespace Orvo {

// ---- What the display reads of the application, and what it reports back ----

namespace displayapp {

void FillRequest(OrvoAppBase* app, DisplayRequest& request) {
  if (app == nullptr) return;
  request.width = app->mWidth;
  request.height = app->mHeight;
  request.colorDepth = app->mColorDepth;
  request.aspect = app->mAspectRatio;
  request.pageFlipAllowed = app->mPageFlippingAllowed;
}

bool FocusLostInputBlock(OrvoAppBase* app) { return app != nullptr && app->mFocusLostInputBlock; }

void SetVsyncUnreliable(OrvoAppBase* app) {
  if (app != nullptr) app->mVSyncUnreliable = true;
}

void SetScreenRect(OrvoAppBase* app, const Rect& rect) {
  if (app != nullptr) app->mScreenBounds = rect;
}

}  // namespace displayapp

namespace {

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

bool WindowMinimised(plat::HWND window) {
  plat::WINDOWPLACEMENT placement;
  return plat::GetWindowPlacement(window, &placement) && placement.showCmd == plat::SW_SHOWMINIMIZED;
}

std::string DisplayResultName(int result) { return DDInterface::ResultName(result); }

}  // namespace

// ---- The display object ----

void OrvoAppBase::CreateDisplayIfMissing() {
  if (mDDInterface != nullptr) return;
  mDDInterface = new DDInterface(this);
  bool is3D = false;
  if (RegReadFlag("Is3D", &is3D)) {
    mDDInterface->mIs3D = is3D;
    if (is3D) mIs3DChosen = true;
  }
}

void OrvoAppBase::DeleteDisplay() {
  if (mWidgetManager != nullptr) mWidgetManager->mImage = nullptr;
  if (mHWnd != nullptr) plat::DisplayForgetWindow(mHWnd);
  delete mDDInterface;
  mDDInterface = nullptr;
}

bool OrvoAppBase::PresentFrame() { return mDDInterface != nullptr && mDDInterface->Redraw(); }

int OrvoAppBase::DisplayRefreshRate() {
  return mDDInterface != nullptr ? static_cast<int>(mDDInterface->mRefreshRate) : 60;
}

void OrvoAppBase::MoveDisplayCursor(int x, int y, bool now) {
  if (mDDInterface == nullptr) return;
  // In full screen the frame is scaled to fit the screen: the cursor lives in frame pixels.
  plat::POINT p{x, y};
  if (!mIsWindowedNow) p = plat::DisplayWindowToFrame(mHWnd, p);
  if (now) {
    mDDInterface->SetCursorPos(p.x, p.y);
  } else {
    mDDInterface->mCursorX = p.x;
    mDDInterface->mCursorY = p.y;
  }
}

bool OrvoAppBase::Is3DAccelerated() { return mDDInterface != nullptr && mDDInterface->mIs3D; }

void OrvoAppBase::MarkAllDirty() {
  if (mWidgetManager) mWidgetManager->InvalidateAll();
}

// Hands the display's new screen image to the widget manager and redraws everything.
static void TakeNewScreenImage(OrvoAppBase* app) {
  app->RefreshAllImages();
  if (app->mWidgetManager != nullptr && app->mDDInterface != nullptr)
    app->mWidgetManager->mImage = app->mDDInterface->GetScreenImage();
  app->MarkAllDirty();
}

// ---- Window creation ----

void OrvoAppBase::CreateMainWindow() {
  if (mHWnd) {
    plat::SetWindowLongPtrA(mHWnd, plat::GWL_USERDATA, 0);
    plat::DisplayForgetWindow(mHWnd);
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
    const int outerW = outer.right - outer.left;
    const int outerH = outer.bottom - outer.top;
    plat::RECT work{0, 0, 0, 0};
    plat::SystemParametersInfoA(plat::SPI_GETWORKAREA, 0, &work, 0);
    int x = 64;
    int y = 64;
    if (mPreferredX != -1) {
      x = std::max<int>(mPreferredX, work.left + 4);
      y = std::max<int>(mPreferredY, work.top + 4);
      if (x + outerW >= work.right - 4) x = work.right - 4 - outerW;
      if (y + outerH >= work.bottom - 4) y = work.bottom - 4 - outerH;
    }
    mHWnd = plat::CreateWindowExA(0, "MainWindow", mTitle.c_str(), style, x, y, outerW, outerH, nullptr, nullptr,
                                  nullptr, nullptr);
    if (mPreferredX == -1) {
      const int workW = work.right - work.left;
      const int workH = work.bottom - work.top;
      plat::MoveWindow(mHWnd, work.left + (workW - outerW) / 2, work.top + static_cast<int>((workH - outerH) * 0.382),
                       outerW, outerH, plat::FALSE);
    }
    mIsWindowedNow = true;
  }
  plat::SetWindowLongPtrA(mHWnd, plat::GWL_USERDATA, reinterpret_cast<plat::LONG_PTR>(this));

  CreateDisplayIfMissing();
  const int result = ReinitDisplay();

  if (mWindowed && result == DDInterface::RESULT_INVALID_COLORDEPTH) {
    // The desktop's colour depth cannot be used in a window: full screen or nothing.
    if (mFullScreenFailureSeen) {
      ShowFatalError(GetString("PLEASE_SET_COLOR_DEPTH", "Please set your desktop color depth to 16 bit."));
      ExitWithCode(1);
    }
    mFullScreenForced = true;
    SetWindowed(false);
    return;
  }
  if (!mIsWindowedNow && (result == DDInterface::RESULT_EXCLUSIVE_FAIL || result == DDInterface::RESULT_DISPCHANGE_FAIL)) {
    mFullScreenFailureSeen = true;
    // Full screen was the only way left (no window possible) and it failed too: there is no
    // display to fall back on, so the program ends instead of running without one.
    if (mFullScreenForced) {
      ShowFatalError(GetString("PLEASE_SET_COLOR_DEPTH", "Please set your desktop color depth to 16 bit."));
      ExitWithCode(1);
    }
    SetWindowed(true);
  } else if (result == DDInterface::RESULT_3D_FAIL) {
    Set3DMode(false, true);
    return;
  } else if (result != DDInterface::RESULT_OK) {
    if (Is3DAccelerated()) {
      Set3DMode(false, true);
      return;
    }
    ShowFatalError(GetString("FAILED_INIT_DIRECTDRAW", "Failed to initialize DirectDraw: ") + DisplayResultName(result));
    ExitWithCode(1);
  }

  const bool wasActive = mActive;
  mActive = plat::GetActiveWindow() == mHWnd;
  mMinimisedSeenByWndProc = false;
  if (mMinimised) {
    mMinimised = false;
    if (mMuteWhenMinimised) Unmute(true);
    UpdateActiveState();
  }
  if (mActive != wasActive) UpdateActiveState();
  TakeNewScreenImage(this);
  plat::SetTimer(mHWnd, 100, static_cast<UINT>(mUpdatePeriod), nullptr);
}

int OrvoAppBase::ReinitDisplay() {
  PreDisplayInitHook();
  DropNativeImageData();
  CreateDisplayIfMissing();
  const int result = mDDInterface->Init(mHWnd, mIsWindowedNow);
  mRefreshRate = DisplayRefreshRate();
  if (mRecordingDemo) {
    mDemo->SetUpdateCount(mUpdateCount);
    mDemo->RecordWindowState(mIsWindowedNow, mRefreshRate);
  }
  if (result == DDInterface::RESULT_OK) {
    mScreenBounds = Rect((mWidth - mDDInterface->mDisplayWidth) / 2, (mHeight - mDDInterface->mDisplayHeight) / 2,
                         mDDInterface->mDisplayWidth, mDDInterface->mDisplayHeight);
    if (mWidgetManager) mWidgetManager->SetMouseMapping(mScreenBounds, mScreenBounds);
    DisplayInitDoneHook();
  }
  return result;
}

void OrvoAppBase::Set3DMode(bool is3D, bool reinit) {
  if (mDDInterface == nullptr || mDDInterface->mIs3D == is3D) return;
  m3DChangedThisRun = true;
  mDDInterface->mIs3D = is3D;
  if (!reinit) return;
  const int result = ReinitDisplay();
  if (result != DDInterface::RESULT_OK) {
    if (is3D) {
      Set3DMode(false, true);
      return;
    }
    ShowFatalError(GetString("FAILED_INIT_DIRECTDRAW", "Failed to initialize DirectDraw: ") + DisplayResultName(result));
    ExitWithCode(1);
  }
  TakeNewScreenImage(this);
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
  if (mDDInterface != nullptr) mDDInterface->SetVideoOnlyDraw(on);
  if (mWidgetManager != nullptr && mDDInterface != nullptr) mWidgetManager->mImage = mDDInterface->GetScreenImage();
  MarkAllDirty();
}

// ---- Presenting with recovery ----

void OrvoAppBase::Redraw() {
  if (mDrawing || mQuit || sScreenSaverBlank) return;
  if (PresentFrame()) {
    if (sLostPresent) {
      sLostPresent = false;
      sLastRecoveryAttempt = 0;
    }
    return;
  }
  D3DInterface::sD3DDrawFailed = false;
  sLostPresent = true;
  const DWORD now = plat::GetTickCount();
  const bool due = mActive || (mIsWindowedNow && now - sLastRecoveryAttempt > 1000);
  if (!due || WindowMinimised(mHWnd) || mMinimised) return;
  sLastRecoveryAttempt = now;
  if (mWidgetManager) mWidgetManager->mImage = nullptr;

  const bool fits = mWidth < plat::GetSystemMetrics(plat::SM_CXFULLSCREEN) &&
                    mHeight < plat::GetSystemMetrics(plat::SM_CYFULLSCREEN);
  if (!fits && mWindowed) {
    if (mFullScreenFailureSeen) {
      ShowFatalError(GetString("PLEASE_SET_COLOR_DEPTH", "Please set your desktop color depth to 16 bit."));
      Shutdown();
      return;
    }
    mFullScreenForced = true;
    SetWindowed(false);
    return;
  }
  const int result = ReinitDisplay();
  if (result == DDInterface::RESULT_OK) {
    TakeNewScreenImage(this);
  } else if (mIsWindowedNow && result == DDInterface::RESULT_INVALID_COLORDEPTH) {
    mFullScreenForced = true;
    if (mActive) SetWindowed(false);
  } else if (result == DDInterface::RESULT_3D_FAIL) {
    Set3DMode(false, true);
  }
  // Any other failure waits for the next attempt.
}

// ---- Cursor ----

void OrvoAppBase::ApplyCursor() {
  if (mDDInterface == nullptr) return;
  bool shown = true;
  Image* custom = mCursorKind >= 0 && mCursorKind < NUM_CURSORS ? mCursorImages[mCursorKind] : nullptr;
  if (mHidden || !mMouseIn) {
    plat::SetCursor(plat::LoadCursorA(nullptr, plat::IDC_ARROW));
  } else if (custom != nullptr && (mPlayingDemo || mCustomCursors || mCursorKind == CURSOR_CUSTOM)) {
    if (mDDInterface->SetCursorImage(custom)) mForcePresent = true;
    if (!mPlayingDemo) {
      plat::SetCursor(nullptr);
      shown = false;
    } else {
      // The real mouse over the client area is not the one that plays.
      plat::POINT p;
      plat::GetCursorPos(&p);
      const bool overClient = plat::WindowFromPoint(p) == mHWnd;
      plat::SetCursor(plat::LoadCursorA(nullptr, overClient ? plat::IDC_NO : plat::IDC_ARROW));
    }
  } else {
    if (mDDInterface->SetCursorImage(nullptr)) mForcePresent = true;
    plat::HCURSOR cursor =
        mOverrideCursor ? mOverrideCursor : SystemCursorForKind(mCursorKind, mHandCursor, mDraggingCursor);
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

}  // namespace Orvo
