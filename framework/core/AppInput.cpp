// The window procedure of the main and invisible windows and the input queue behind it.
// The procedure only answers what must be answered at once and queues the rest; the main
// loop drains the queue one message per step into the widget manager, recording each
// message into a demo first, or ignoring live input while a demo plays.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "framework/core/Demo.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/Time.h"

namespace Orvo {

namespace {

// Process-wide: the last request to power the monitor down (GetTickCount).
DWORD gLastMonitorPowerRequest = 0;
bool gMonitorPowerRequested = false;

// The playback speed keys step by half again, at most five steps either way from normal
// speed. Below a tenth of normal speed the loop's catch-up limit (ceil(speed x 10) passes
// of a frame, the first of which only counts) leaves no pass for an update, so time would
// stand still; 1.5 to the power of -5 is the last step above that.
constexpr double kFastestDemoSpeed = 1.5 * 1.5 * 1.5 * 1.5 * 1.5;
constexpr double kSlowestDemoSpeed = 1.0 / kFastestDemoSpeed;

// The screensaver filter's state.
struct ScreenSaverFilterState {
  bool started = false;
  plat::POINT lastPos;
  int moves = 0;
  bool ending = false;
};
ScreenSaverFilterState gScreenSaver;

bool IsMouseMessage(UINT m) { return m >= plat::WM_MOUSEMOVE && m <= plat::WM_MBUTTONDBLCLK; }

bool IsQueuedMessage(UINT m) {
  switch (m) {
    case plat::WM_MOVE:
    case plat::WM_SIZE:
    case plat::WM_CLOSE:
    case plat::WM_SYSCOLORCHANGE:
    case plat::WM_DISPLAYCHANGE:
    case plat::WM_ACTIVATEAPP:
    case plat::WM_KEYDOWN:
    case plat::WM_KEYUP:
    case plat::WM_CHAR:
    case plat::WM_SYSKEYDOWN:
    case plat::WM_SYSKEYUP:
    case plat::WM_TIMER:
    case plat::WM_MOUSEWHEEL:
      return true;
    default:
      return IsMouseMessage(m);
  }
}

// Button (-1 left, 1 right, 0 middle), click count and press/release of a mouse message.
struct MouseButton {
  bool isButton = false;
  bool down = false;
  int button = 0;
  int clicks = 1;
  int demoCode = 0;  // the demo's click code; 0 when the message adds no button record
  int heldBit = 0;   // the widget manager's held-button bit
};

MouseButton DecodeButton(UINT m) {
  MouseButton b;
  switch (m) {
    case plat::WM_LBUTTONDOWN: b = {true, true, -1, 1, Demo::CLICK_LEFT, 1}; break;
    case plat::WM_LBUTTONDBLCLK: b = {true, true, -1, 2, Demo::CLICK_LEFT_DOUBLE, 1}; break;
    case plat::WM_LBUTTONUP: b = {true, false, -1, 1, Demo::CLICK_LEFT, 1}; break;
    case plat::WM_RBUTTONDOWN: b = {true, true, 1, 1, Demo::CLICK_RIGHT, 2}; break;
    case plat::WM_RBUTTONDBLCLK: b = {true, true, 1, 2, Demo::CLICK_RIGHT_DOUBLE, 2}; break;
    case plat::WM_RBUTTONUP: b = {true, false, 1, 1, Demo::CLICK_RIGHT, 2}; break;
    case plat::WM_MBUTTONDOWN: b = {true, true, 0, 1, Demo::CLICK_MIDDLE, 4}; break;
    case plat::WM_MBUTTONDBLCLK: b = {true, true, 0, 2, 0, 4}; break;
    case plat::WM_MBUTTONUP: b = {true, false, 0, 1, Demo::CLICK_MIDDLE, 4}; break;
    default: break;
  }
  return b;
}

int WheelSteps(WPARAM wParam) { return static_cast<std::int16_t>(plat::HIWORD(wParam)) / plat::WHEEL_DELTA; }

}  // namespace

LRESULT OrvoAppBase::WindowProc(plat::HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* app = reinterpret_cast<OrvoAppBase*>(plat::GetWindowLongPtrA(hwnd, plat::GWL_USERDATA));
  if (!app) return plat::DefWindowProcA(hwnd, message, wParam, lParam);
  return app->HandleWindowMessage(hwnd, message, wParam, lParam);
}

LRESULT OrvoAppBase::HandleWindowMessage(plat::HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (mScreenSaverMode) {
    LRESULT result = 0;
    if (FilterScreenSaverMessage(hwnd, message, wParam, lParam, &result)) return result;
  }

  switch (message) {
    case plat::WM_SYSCHAR:
      if (PassSysChar(static_cast<int>(wParam))) return 0;
      return plat::DefWindowProcA(hwnd, message, wParam, lParam);
    case plat::WM_SYSCOMMAND: {
      WPARAM command = wParam & 0xFFF0;
      if (command == plat::SC_MONITORPOWER) {
        gLastMonitorPowerRequest = plat::GetTickCount();
        gMonitorPowerRequested = true;
        if (!(mAllowMonitorPowerOff && mLoadingCompletedDelivered)) return 0;
      } else if (command == plat::SC_SCREENSAVE) {
        if (!(mLoadingCompletedDelivered && mIsWindowedNow)) return 0;
      }
      return plat::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    case plat::WM_ENABLE:
      mDisabled = wParam == 0;
      return plat::DefWindowProcA(hwnd, message, wParam, lParam);
    case plat::WM_PAINT:
      if (mInitialised && !mHidden) {
        if (mInMainLoop) Redraw();
        return 0;
      }
      return plat::DefWindowProcA(hwnd, message, wParam, lParam);
    case plat::WM_ERASEBKGND:
      return 1;
    case plat::WM_QUERYOPEN:
      if (!AllowRestore()) return 0;
      return plat::DefWindowProcA(hwnd, message, wParam, lParam);
    case plat::WM_ENDSESSION:
      Shutdown();
      return plat::DefWindowProcA(hwnd, message, wParam, lParam);
    case plat::WM_SETCURSOR:
      if (!mHidden) ApplyCursor();
      return 1;
    case plat::WM_NCLBUTTONDOWN: {
      LRESULT r = plat::DefWindowProcA(hwnd, message, wParam, lParam);
      ResetFrameClock(false);
      return r;
    }
    case plat::WM_DESTROY:
      DebugPrint("DESTROYED HWND: %d\r\n", static_cast<int>(reinterpret_cast<std::uintptr_t>(hwnd) & 0x7FFFFFFF));
      return plat::DefWindowProcA(hwnd, message, wParam, lParam);
    default:
      break;
  }

  if (message == plat::WM_ACTIVATEAPP && !mPlayingDemo && hwnd == mHWnd) mActive = wParam != 0;

  if (IsQueuedMessage(message)) {
    if (mFocusLostInputBlock) return plat::DefWindowProcA(hwnd, message, wParam, lParam);
    // An open demo window takes the live input itself, as a modal dialog would.
    if (hwnd == mHWnd && RouteToDemoWindow(message, wParam, lParam)) return 0;

    const int key = static_cast<int>(wParam);
    if (message == plat::WM_KEYDOWN || message == plat::WM_SYSKEYDOWN) {
      if (key == plat::VK_CONTROL) mCtrlDown = true;
      if (key == plat::VK_MENU) mAltDown = true;
      if (HandleKeyCombo(key, mCtrlDown, mAltDown)) return 0;
    } else if (message == plat::WM_KEYUP || message == plat::WM_SYSKEYUP) {
      if (key == plat::VK_CONTROL) mCtrlDown = false;
      if (key == plat::VK_MENU) mAltDown = false;
    }

    // Demo: during playback the developer keys and the playback keys still work.
    if (mPlayingDemo) {
      if (message == plat::WM_KEYDOWN) HandleDebugKey(key);
      if (message == plat::WM_CHAR) HandlePlaybackKey(key);
    }

    QueueMessage(QueuedMessage{hwnd, message, wParam, lParam});

    switch (message) {
      case plat::WM_SIZE:
        mMinimisedSeenByWndProc = wParam == plat::SIZE_MINIMIZED;
        return plat::DefWindowProcA(hwnd, message, wParam, lParam);
      case plat::WM_SYSKEYDOWN:
        if (key == plat::VK_F4) return plat::DefWindowProcA(hwnd, message, wParam, lParam);
        return 0;
      case plat::WM_CLOSE:
        CloseRequestHook();
        return 0;
      default:
        return plat::DefWindowProcA(hwnd, message, wParam, lParam);
    }
  }

  if (mNotifyMessage != 0 && message == mNotifyMessage && hwnd == mHWnd) {
    RaiseMainWindow(wParam, lParam);
    return 0;
  }
  return plat::DefWindowProcA(hwnd, message, wParam, lParam);
}

void OrvoAppBase::QueueMessage(const QueuedMessage& record) {
  if (!mInputQueue.empty()) {
    const UINT last = mInputQueue.back().mMessage;
    // Nothing more after a close; timers and display changes do not pile up.
    if (last == plat::WM_CLOSE) return;
    if (record.mMessage == plat::WM_TIMER && last == plat::WM_TIMER) return;
  }
  if (record.mMessage == plat::WM_SYSCOLORCHANGE || record.mMessage == plat::WM_DISPLAYCHANGE) {
    for (const auto& q : mInputQueue)
      if (q.mMessage == plat::WM_SYSCOLORCHANGE || q.mMessage == plat::WM_DISPLAYCHANGE) return;
  }
  mInputQueue.push_back(record);
}

void OrvoAppBase::RecordInputForDemo(const QueuedMessage& m) {
  const UINT msg = m.mMessage;
  mDemo->SetUpdateCount(mUpdateCount);
  switch (msg) {
    case plat::WM_KEYDOWN:
    case plat::WM_SYSKEYDOWN: mDemo->RecordKeyDown(static_cast<int>(m.mWParam & 0xFF)); return;
    case plat::WM_KEYUP:
    case plat::WM_SYSKEYUP: mDemo->RecordKeyUp(static_cast<int>(m.mWParam & 0xFF)); return;
    case plat::WM_CHAR: mDemo->RecordKeyChar(static_cast<int>(m.mWParam)); return;
    case plat::WM_SIZE: mDemo->RecordMinimised(m.mWParam == plat::SIZE_MINIMIZED); return;
    case plat::WM_CLOSE:
      if (m.mHWnd == mHWnd || m.mHWnd == mInvisHWnd) mDemo->RecordClose();
      return;
    case plat::WM_ACTIVATEAPP:
      if (m.mHWnd == mHWnd) mDemo->RecordActive(m.mWParam != 0);
      return;
    case plat::WM_MOUSEWHEEL: mDemo->RecordWheel(static_cast<std::int16_t>(plat::HIWORD(m.mWParam))); return;
    default: break;
  }
  if (IsMouseMessage(msg)) {
    int x = plat::GET_X_LPARAM(m.mLParam), y = plat::GET_Y_LPARAM(m.mLParam);
    if (mWidgetManager) mWidgetManager->MapPointToApp(&x, &y);
    mDemo->RecordMouseMove(x, y);
    MouseButton b = DecodeButton(msg);
    if (b.isButton && b.demoCode != 0) mDemo->RecordMouseButton(b.down, b.demoCode);
  }
}

bool OrvoAppBase::ProcessQueuedMessages(bool oneOnly) {
  while (!mInputQueue.empty()) {
    QueuedMessage m = mInputQueue.front();
    mInputQueue.pop_front();
    const UINT msg = m.mMessage;
    const bool onMain = m.mHWnd == mHWnd;

    // Demo: every live message is recorded before it acts.
    if (mRecordingDemo && !mQuit) RecordInputForDemo(m);

    if (mPlayingDemo) {
      // Demo: live input is ignored during playback; only a close request counts. The viewer's
      // close (the close box, a quit signal) ends the playback without asking the game: its
      // question could never be answered, since the recording alone gives the game its input.
      if (msg == plat::WM_CLOSE && (onMain || m.mHWnd == mInvisHWnd)) {
        mClosing = true;
        Shutdown();
      }
    } else if (msg == plat::WM_KEYDOWN || msg == plat::WM_SYSKEYDOWN) {
      const int key = static_cast<int>(m.mWParam);
      mLastInputTime = mLastTimerTime;
      if (msg == plat::WM_SYSKEYDOWN && key == plat::VK_RETURN) {
        // Alt+Enter switches between window and full screen.
        if (!mFullScreenForced && !mFullScreenFailureSeen) {
          SetWindowed(!mWindowed);
          if (mWidgetManager) std::memset(mWidgetManager->mKeyDown, 0, sizeof(mWidgetManager->mKeyDown));
          mCtrlDown = mAltDown = false;
        }
      } else if (mWidgetManager) {
        if (key == 'D' && mWidgetManager->IsKeyDown(plat::VK_CONTROL) && mWidgetManager->IsKeyDown(plat::VK_MENU)) {
          PlayMenuCommandSound();
          mDebugKeysEnabled = !mDebugKeysEnabled;
        }
        if (!(mDebugKeysEnabled && HandleDebugKey(key))) mWidgetManager->OnKeyDown(key);
      }
    } else if (msg == plat::WM_KEYUP || msg == plat::WM_SYSKEYUP) {
      mLastInputTime = mLastTimerTime;
      if (mWidgetManager) mWidgetManager->OnKeyUp(static_cast<int>(m.mWParam));
    } else if (msg == plat::WM_CHAR) {
      mLastInputTime = mLastTimerTime;
      if (mWidgetManager) mWidgetManager->OnChar(static_cast<char>(m.mWParam));
    } else if (msg == plat::WM_MOVE) {
      if (onMain && mIsWindowedNow) {
        plat::WINDOWPLACEMENT wp;
        if (plat::GetWindowPlacement(mHWnd, &wp) &&
            (wp.showCmd == static_cast<UINT>(plat::SW_SHOWNORMAL) || wp.showCmd == static_cast<UINT>(plat::SW_SHOW))) {
          mPreferredX = wp.rcNormalPosition.left;
          mPreferredY = wp.rcNormalPosition.top;
        }
      }
    } else if (msg == plat::WM_SIZE) {
      if (onMain && !mQuit) {
        bool minimised = m.mWParam == plat::SIZE_MINIMIZED;
        if (minimised != mMinimised) {
          mMinimised = minimised;
          if (minimised) {
            if (mMuteWhenMinimised) Mute(true);
          } else {
            if (mMuteWhenMinimised) Unmute(true);
            MarkAllDirty();
          }
          UpdateActiveState();
        }
        if (m.mWParam == plat::SIZE_MAXIMIZED) SetWindowed(false);
      }
    } else if (msg == plat::WM_SYSCOLORCHANGE || msg == plat::WM_DISPLAYCHANGE) {
      if (mWidgetManager) mWidgetManager->SystemColorsChangedAll();
      MarkAllDirty();
    } else if (msg == plat::WM_ACTIVATEAPP) {
      if (onMain && !mHidden && !mQuit) {
        UpdateActiveState();
        if (mActive && mWindowed) MarkAllDirty();
        if (mURLPending && !mActive) URLOpenCompleted(mPendingURL);
      }
    } else if (msg == plat::WM_TIMER) {
      if (!mHidden && mInMainLoop) {
        DWORD now = plat::GetTickCount();
        if (now - mLastTimerTime > 500) mTimerGapStart = now;
        mLastTimerTime = now;
        if (mURLPending && now - mTimerGapStart > 5000) {
          if (now - mURLOpenTime >= 8001 && !mActive) URLOpenCompleted(mPendingURL);
          else if (now - mURLOpenTime >= 12001 && mActive) URLOpenAbandoned(mPendingURL);
        }
        // Has the pointer left the window (or come back) without a mouse message?
        plat::POINT p;
        plat::GetCursorPos(&p);
        plat::POINT client = p;
        plat::ScreenToClient(mHWnd, &client);
        bool inWindow = plat::WindowFromPoint(p) == mHWnd && client.x >= 0 && client.y >= 0 &&
                        client.x < mScreenBounds.mWidth && client.y < mScreenBounds.mHeight;
        if (inWindow != mMouseIn) {
          if (mRecordingDemo) {
            mDemo->SetUpdateCount(mUpdateCount);
            if (inWindow) mDemo->RecordMouseEnter();
            else mDemo->RecordMouseLeave();
          }
          if (!inWindow && mWidgetManager) mWidgetManager->MouseExit();
          mMouseIn = inWindow;
          ApplyCursor();
        }
      }
    } else if (msg == plat::WM_MOUSEWHEEL) {
      if (mWidgetManager) mWidgetManager->OnMouseWheel(WheelSteps(m.mWParam));
    } else if (IsMouseMessage(msg)) {
      if (!mHidden && mWidgetManager) {
        int x = plat::GET_X_LPARAM(m.mLParam), y = plat::GET_Y_LPARAM(m.mLParam);
        mWidgetManager->MapPointToApp(&x, &y);
        mLastInputTime = mLastTimerTime;
        mLastMouseX = x;
        mLastMouseY = y;
        mWidgetManager->MouseMove(x, y);
        if (!mMouseIn) {
          if (mRecordingDemo) {
            mDemo->SetUpdateCount(mUpdateCount);
            mDemo->RecordMouseEnter();
          }
          mMouseIn = true;
          ApplyCursor();
        }
        MouseButton b = DecodeButton(msg);
        if (b.isButton && b.down) {
          plat::SetCapture(m.mHWnd);
          mWidgetManager->MouseDown(x, y, b.clicks, b.button);
        } else if (b.isButton) {
          if ((mWidgetManager->mDownButtons & ~b.heldBit) == 0) plat::ReleaseCapture();
          mWidgetManager->MouseUp(x, y, 1, b.button);
        }
      }
    } else if (msg == plat::WM_CLOSE) {
      if (onMain || m.mHWnd == mInvisHWnd) ProcessCloseRequest();
    }

    if (oneOnly) break;
  }
  return !mInputQueue.empty();
}

void OrvoAppBase::ProcessCloseRequest() {
  mClosing = true;
  mUserCloseRequest = true;
  Shutdown();
  mUserCloseRequest = false;
}

void OrvoAppBase::UpdateActiveState() {
  bool now = mActive && !mMinimised;
  if (now == mLastActiveNotMinimised) return;
  mLastActiveNotMinimised = now;
  if (now) {
    if (mMuteWhenMinimised) Unmute(true);
    if (mWidgetManager) mWidgetManager->GotFocus();
    ActivatedHook();
  } else {
    Mute(true);
    if (mWidgetManager) mWidgetManager->LostFocus();
    DeactivatedHook();
    plat::ReleaseCapture();
    if (mWidgetManager) {
      mWidgetManager->ReleaseCapture();
      mWidgetManager->mDownButtons = 0;
    }
  }
}

void OrvoAppBase::LostFocus() {
  if (!mIsWindowedNow && mDDInterface) mFocusLostInputBlock = true;
}

void OrvoAppBase::GotFocus() {
  if (!mIsWindowedNow) mFocusLostInputBlock = false;
  ResetFrameClock(false);
  mCtrlDown = mAltDown = false;
  if (!mWidgetManager) return;
  std::memset(mWidgetManager->mKeyDown, 0, sizeof(mWidgetManager->mKeyDown));
  if (mWidgetManager->mDownButtons != 0) {
    mWidgetManager->ReleaseCapture();
    mWidgetManager->mDownButtons = 0;
    plat::ReleaseCapture();
  }
}

void OrvoAppBase::HideApp() {
  SetMusicVolume(0);
  if (mHWnd) plat::ShowWindow(mHWnd, plat::SW_HIDE);
  mHidden = true;
  ApplyCursor();
}

bool OrvoAppBase::AllowRestore() { return !mDisabled; }

void OrvoAppBase::RaiseMainWindow(WPARAM wParam, LPARAM lParam) {
  if (wParam != 0 || !mHWnd) return;
  plat::WINDOWPLACEMENT wp;
  if (plat::GetWindowPlacement(mHWnd, &wp) && wp.showCmd == static_cast<UINT>(plat::SW_SHOWMINIMIZED))
    plat::ShowWindow(mHWnd, plat::SW_RESTORE);
  plat::SetForegroundWindow(mHWnd);
}

bool OrvoAppBase::PassSysChar(int ch) { return ch == 13 || std::tolower(ch) == 'r'; }

void OrvoAppBase::HandlePlaybackKey(int ch) {
  // Time back from the end of the demo for the keys 4 to 9.
  static const int kJumpBackMs[] = {120000, 90000, 60000, 30000, 10000, 5000};
  const int length = mDemo ? mDemo->GetDemoLength() : 0;
  switch (ch) {
    case '+': mSpeedFactor = std::min(mSpeedFactor * 1.5, kFastestDemoSpeed); break;
    case '-': mSpeedFactor = std::max(mSpeedFactor / 1.5, kSlowestDemoSpeed); break;
    case '=': mSpeedFactor = 1.0; break;
    case '0': mDemoJumpTarget = length; break;
    case '4': case '5': case '6': case '7': case '8': case '9':
      mDemoJumpTarget = length - kJumpBackMs[ch - '4'] / mUpdatePeriod;
      break;
    case 'J': case 'j': ShowJumpToTime(); break;
    case 'L': case 'l': ShowMarkerList(); break;
    case 'M': case 'm':
      // Fast-forward to the first marker after the current update.
      if (mDemo) {
        for (const auto& marker : mDemo->GetMarkers()) {
          if (marker.mTime > mUpdateCount) {
            mDemoJumpTarget = marker.mTime;
            break;
          }
        }
      }
      break;
    case 'N': case 'n':
      mDemoJumpTarget = mUpdateCount + 1;
      mDemoStepFlag = true;
      break;
    case 'P': case 'p':
      mDemoPaused = !mDemoPaused;
      mTimeDebt = 0;
      mLastTick = plat::timeGetTime();
      break;
    case 'S': case 's':
      if (mMusicVolume == 0) SetMusicVolume(mDemoMusicVolume);
      else {
        mDemoMusicVolume = mMusicVolume;
        SetMusicVolume(0);
      }
      if (mSfxVolume == 0) SetSfxVolume(mDemoSfxVolume);
      else {
        mDemoSfxVolume = mSfxVolume;
        SetSfxVolume(0);
      }
      break;
    default: break;
  }
}

bool OrvoAppBase::FilterScreenSaverMessage(plat::HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           LRESULT* result) {
  auto& s = gScreenSaver;
  if (s.ending) return false;
  if (!s.started) {
    s.started = true;
    plat::GetCursorPos(&s.lastPos);
  }
  if (message == plat::WM_SYSCOMMAND) {
    WPARAM c = wParam & 0xFFF0;
    if (c == plat::SC_NEXTWINDOW || c == plat::SC_PREVWINDOW || c == plat::SC_CLOSE || c == plat::SC_SCREENSAVE) {
      *result = 0;
      return true;
    }
    return false;
  }
  if (hwnd != mHWnd) return false;

  const bool recentPowerRequest = gMonitorPowerRequested && plat::GetTickCount() - gLastMonitorPowerRequest < 1000;
  bool end = false;
  bool ignorable = false;  // ignored shortly after a monitor power request
  if (message == plat::WM_MOUSEMOVE) {
    plat::POINT p;
    plat::GetCursorPos(&p);
    if (p.x == s.lastPos.x && p.y == s.lastPos.y) return false;
    s.lastPos = p;
    if (++s.moves <= 3) {
      *result = 0;
      return true;
    }
    end = true;
    ignorable = true;
  } else if (message == plat::WM_LBUTTONDOWN || message == plat::WM_RBUTTONDOWN || message == plat::WM_MBUTTONDOWN ||
             message == plat::WM_KEYDOWN || message == plat::WM_SYSKEYDOWN) {
    end = true;
  } else if (message == plat::WM_CLOSE) {
    end = true;
    ignorable = true;
  } else if ((message == plat::WM_ACTIVATE || message == plat::WM_ACTIVATEAPP || message == plat::WM_NCACTIVATE) &&
             wParam == 0) {
    end = true;
    ignorable = true;
  }
  if (!end) return false;
  if (ignorable && recentPowerRequest) {
    *result = 0;
    return true;
  }
  // No password is asked for on this system: the screensaver ends at once.
  s.ending = true;
  plat::SystemParametersInfoA(plat::SPI_SCREENSAVERRUNNING, plat::FALSE, nullptr, 0);
  plat::PostMessageA(mHWnd, plat::WM_CLOSE, 0, 0);
  *result = 0;
  return true;
}

}  // namespace Orvo
