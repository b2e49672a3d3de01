// The main loop: fixed 10 ms logic updates with bounded catch-up, fractional updates when
// frames follow the display's refresh, drawing only when something changed, sleeping the
// rest of each frame; and the two helper threads (cursor poller, resource loader).
//
// Demo playback hooks in at the places marked "Demo:".
#include <algorithm>
#include <cmath>

#include "framework/core/CrashCatcher.h"
#include "framework/core/Demo.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/core/Profiler.h"
#include "framework/graphics/DDInterface.h"
#include "framework/sound/MusicInterface.h"
#include "framework/sound/SoundManager.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/DirectDraw.h"
#include "platform/Time.h"

namespace Orvo {

namespace {
constexpr double kMaxTimeDebt = 200.0;

volatile int* volatile gNoMemory = nullptr;

// The fault "-crash" asks for: a write through a null pointer, which the crash catcher
// reports as an access violation. The undefined-behaviour checker must let it happen.
[[gnu::noinline, gnu::no_sanitize("undefined")]] void FaultOnPurpose() { *gNoMemory = 1; }
constexpr int kCursorPollInterval = 10;

// GetTickCount when fast-forwarding last drew; set at the first fast-forward of the process.
DWORD gFastForwardClock = 0;
bool gFastForwardClockSet = false;
}  // namespace

void OrvoAppBase::Start() {
  if (mQuit) return;
  StartCursorPoller();
  if (mAutoStartLoader) StartLoader();
  plat::ShowWindow(mHWnd, plat::SW_SHOW);
  plat::SetFocus(mHWnd);
  plat::timeBeginPeriod(1);
  mRunStartTime = plat::timeGetTime();
  mLastInputTime = mRunStartTime;
  mLastTimerTime = mRunStartTime;
  mInMainLoop = true;
  RunLoop();
  FlushDeferredDeletes();
  mInMainLoop = false;
  WaitForLoader();

  DWORD elapsed = plat::timeGetTime() - mRunStartTime;
  DebugPrint("Seconds       = %g\r\n", elapsed / 1000.0);
  DebugPrint("Sleep Count   = %d\r\n", mSleepCount);
  DebugPrint("Update Count  = %d\r\n", mUpdateCount.load());
  DebugPrint("Draw Count    = %d\r\n", mDrawCount.load());
  DebugPrint("Draw Time     = %d\r\n", mDrawTimeTotal);
  DebugPrint("Screen Blt    = %d\r\n", mLastPresentTime.load());
  int drawAndPresent = mDrawTimeTotal + mLastPresentTime;
  if (drawAndPresent > 0) DebugPrint("Avg FPS       = %d\r\n", mDrawCount * 1000 / drawAndPresent);

  plat::timeEndPeriod(1);
  ShutdownHook();
  SaveSettings();
}

void OrvoAppBase::RunLoop() {
  while (!mQuit) {
    mLeaveNestedLoops = false;
    RunOneUpdate();
  }
}

bool OrvoAppBase::RunOneUpdate() {
  for (;;) {
    bool updated = false;
    if (!StepLoop(&updated)) return false;
    if (updated) return true;
    if (mQuit) return false;
  }
}

bool OrvoAppBase::StepLoop(bool* updated) {
  if (updated) *updated = false;
  if (mLeaveNestedLoops) return false;
  if (mFramePhase == 3) mFramePhase = 0;
  ++mLoopNesting;
  if (mFramePhase == 0) {
    PumpWindowMessages();
    ReadDueDemoCommands();  // Demo: records due before the next update
    if (!ProcessQueuedMessages(true)) mFramePhase = 1;
  } else if (mStepMode == 2) {
    plat::Sleep(static_cast<DWORD>(mUpdatePeriod));
    mFramePhase = 3;
  } else if (mStepMode == 1) {
    mStepMode = 2;
    UpdateOnce();
    UpdateFraction(1.0f);
    DrawFrame();
  } else {
    int before = mUpdateCount;
    PaceFrame(true);
    if (updated && mUpdateCount != before) *updated = true;
  }
  --mLoopNesting;
  return true;
}

bool OrvoAppBase::VSyncSteppingApplies() const {
  return !mPlayingDemo && mVSyncSteppingEnabled && !mLastDrawSkipped && !mVSyncUnreliable && !mIsWindowedNow;
}

void OrvoAppBase::PumpWindowMessages() {
  plat::MSG msg;
  while (!mQuit && plat::PeekMessageA(&msg, nullptr, 0, 0, plat::PM_REMOVE)) {
    plat::TranslateMessage(&msg);
    plat::DispatchMessageA(&msg);
  }
  // The cursor thread moves the cursor in the display between frames; show its moves.
  plat::PresentChangedDisplays();
}

void OrvoAppBase::ReadDueDemoCommands() {
  // Demo: replay everything recorded up to the current update.
  if (!mPlayingDemo || mQuit) return;
  mDemo->SetUpdateCount(mUpdateCount);
  mDemo->ReadDemoCommands();
}

void OrvoAppBase::AccumulateTime() {
  DWORD now = plat::timeGetTime();
  if (mLastTick == 0) {
    mLastTick = now;
    return;
  }
  DWORD dt = now - mLastTick;
  mTimeDebt = std::min(mTimeDebt + dt, kMaxTimeDebt);
  mLastTick = now;
  if (mCatchUpSuppression > 0) {
    int left = mCatchUpSuppression - static_cast<int>(std::min<DWORD>(dt, 1000000));
    mCatchUpSuppression = left < 1 ? 0 : left;
  }
}

void OrvoAppBase::ResetFrameClock(bool suppressCatchUp) {
  mTimeDebt = 0.0;
  mLastTick = plat::timeGetTime();
  if (suppressCatchUp) mCatchUpSuppression = 1000;
}

void OrvoAppBase::RunFractionBlock(double step, bool countCatchUp) {
  mFractionAccumulator += step - 1.0;
  FlushDeferredDeletes();
  while (mFractionAccumulator >= 1.0) {
    ReadDueDemoCommands();
    if (!UpdateOnce()) break;
    if (countCatchUp) ++mCatchUpCount;
    FlushDeferredDeletes();
    mFractionAccumulator -= 1.0;
  }
  UpdateFraction(static_cast<float>(step));
  FlushDeferredDeletes();
}

bool OrvoAppBase::EndFrame(double frameTime, bool refreshPaced, bool allowSleep, int* slept) {
  mFramePhase = 3;
  mCatchUpCount = 0;
  if (mUpdatedSinceDraw) {
    DrawFrame();
    return true;
  }
  // Blanked for the screensaver nothing updates or draws, so the idle check that ends the
  // blank runs from here.
  if (sScreenSaverBlank) {
    const DWORD now = plat::timeGetTime();
    if (now - mLastScreenSaverCheck >= 1000) {
      mLastScreenSaverCheck = now;
      CheckScreenSaverIdle();
    }
  }
  // The frame is due once the debt reaches the frame time. The clock counts whole
  // milliseconds, so the wait is rounded up to one: a wait rounded down (a fractional frame
  // time, as at 60 Hz) would wake before the clock has moved and spin until it does. The
  // sleep ends at an absolute time counted from the last reading, so it does not drift.
  // One call sleeps at most one update period, however long a slowed frame is: the loop
  // comes back to read input (and the quit request of a signal), and the debt, which grows
  // on every pass, carries the rest of the frame over. Frames paced by the refresh count
  // their time at presents only, so they sleep their wait whole; the speed's bounds keep it
  // short. No wait exceeds the most debt a frame can gather.
  double due = std::ceil(frameTime - mTimeDebt);
  if (!refreshPaced) due = std::min(due, static_cast<double>(mUpdatePeriod));
  const int wait = due > 0.0 ? static_cast<int>(std::min(due, kMaxTimeDebt)) : 0;
  if (wait > 0) {
    if (!allowSleep) return false;
    ++mSleepCount;
    const DWORD sinceTick = plat::timeGetTime() - mLastTick;
    if (mLastTick != 0 && sinceTick < static_cast<DWORD>(wait)) {
      plat::LARGE_INTEGER now;
      plat::QueryPerformanceCounter(&now);
      const std::int64_t nowMs = now.QuadPart / 1000000;
      plat::SleepUntilCounter((nowMs + wait - static_cast<std::int64_t>(sinceTick)) * 1000000);
    } else if (mLastTick == 0) {
      plat::Sleep(static_cast<DWORD>(wait));
    }
    *slept = wait;
  }
  return true;
}

bool OrvoAppBase::PaceFrame(bool allowSleep) {
  if (mShutdownRequested) {
    mShutdownRequested = false;
    Shutdown();
  }

  const bool vsync = VSyncSteppingApplies();
  const bool timeRuns = mSpeedFactor > 0.0;
  double frameTime = mUpdatePeriod;
  double step = 1.0;
  if (timeRuns) {
    if (vsync) {
      frameTime = 1000.0 / mRefreshRate / mSpeedFactor;
      step = static_cast<float>(1000.0 / (mUpdatePeriod * mRefreshRate));
    } else {
      frameTime = mUpdatePeriod / mSpeedFactor;
    }
  }

  // Demo: fast-forward to the jump target or the next marker, drawing once a second.
  if (mPlayingDemo) {
    if (mUpdateCount < mDemoJumpTarget || mDemoMarkerFlag) {
      if (!mFastForwardMuted && !mDemoStepFlag) {
        mFastForwardMuted = true;
        Mute(true);
      }
      if (!gFastForwardClockSet) {
        gFastForwardClock = plat::GetTickCount();
        gFastForwardClockSet = true;
      }
      ResetFrameClock(false);
      int before = mUpdateCount;
      if (UpdateOnce()) RunFractionBlock(step, false);
      // Each pass ends the frame, so input (the playback keys among it) is still read
      // between fast-forward steps, also when no update could run.
      mFramePhase = 3;
      mCatchUpCount = 0;
      if (mUpdateCount == before) {
        // Nothing could run (loading still under way): wait a little instead of spinning.
        if (!allowSleep) return false;
        ++mSleepCount;
        plat::Sleep(static_cast<DWORD>(mUpdatePeriod));
        return true;
      }
      if (mUpdateCount != before && (plat::GetTickCount() - gFastForwardClock >= 1000 || mDemoStepFlag)) {
        mDemoStepFlag = false;
        gFastForwardClock = plat::GetTickCount();
        DrawFrame();
      }
      return true;
    }
    if (mFastForwardMuted) {
      mFastForwardMuted = false;
      if (mSoundManager) mSoundManager->StopAllSounds();
      Unmute(true);
    }
  }

  DWORD now = plat::timeGetTime();
  int slept = 0;
  bool endFrame = false;

  if (mDemoPaused || !timeRuns) {
    // Time stands still: no update runs, but the frame still ends (and sleeps), so the
    // loop keeps reading input instead of spinning. The frame's wait counts from now.
    mTimeDebt = 0.0;
    mLastTick = now;
    endFrame = true;
  } else {
    if (!vsync) AccumulateTime();
    if (mFramePhase == 1) {
      ++mCatchUpCount;
      if (mCatchUpCount >= static_cast<int>(std::ceil(mSpeedFactor * 10)) && mLoadingCompletedDelivered) {
        endFrame = true;
      } else {
        bool thresholdApplies = true;
        double threshold = frameTime;
        if (vsync) {
          thresholdApplies = mUpdatedSinceDraw;
          threshold = static_cast<int>(frameTime * 0.75);
        }
        if (thresholdApplies && threshold > mTimeDebt) {
          endFrame = true;
        } else {
          if (!mPlayingDemo && mSpeedFactor == 1.0) {
            int perSecond = (mUpdatePeriod + 999) / mUpdatePeriod;
            if (++mTooFastCounter >= perSecond) {
              if (now - mTooFastLastCheck <= 800) {
                if (++mTooFastConsecutive >= 3) mVSyncUnreliable = true;
              } else {
                mTooFastConsecutive = 0;
              }
              mTooFastLastCheck = now;
              mTooFastCounter = 0;
            }
          }
          if (UpdateOnce()) {
            mFramePhase = 2;
            mUpdatedSinceDraw = true;
          } else {
            // An update held back (loading not complete, a demo record due, the screen
            // blanked): end the frame rather than asking again at once. The time that
            // passes meanwhile is not caught up later.
            mTimeDebt = 0.0;
            endFrame = true;
          }
        }
      }
    } else if (mFramePhase == 2) {
      mFramePhase = 3;
      RunFractionBlock(step, true);
      mTimeDebt -= frameTime;
      if (vsync) {
        mTimeDebt -= static_cast<double>(0.2f);
        if (mTimeDebt <= 0) mTimeDebt = 0;
      }
      if (mCatchUpSuppression > 0) mTimeDebt = 0;
    } else {
      endFrame = true;
    }
  }

  if (endFrame && !EndFrame(frameTime, vsync, allowSleep, &slept)) return false;

  if (mLoaderActive) {
    // While loading, give the loader about twice the time the main thread just used.
    int used = static_cast<int>(plat::timeGetTime() - now) - slept;
    int extra = std::min(2 * used - slept, 250);
    if (extra >= 0) {
      if (!allowSleep) return false;
      plat::Sleep(static_cast<DWORD>(extra));
    }
  }

  FlushDeferredDeletes();
  return true;
}

bool OrvoAppBase::UpdateOnce() {
  if (sScreenSaverBlank) return false;
  if (!mPlayingDemo) {
    if (mLoaderFinished && !mLoadingCompletedDelivered) {
      plat::SetThreadPriority(plat::THREAD_PRIORITY_NORMAL);
      mLoadingCompletedDelivered = true;
      mLoaderActive = false;
      LoadingCompleted();
      // Demo: the recording notes when loading finished.
      if (mRecordingDemo) {
        mDemo->SetUpdateCount(mUpdateCount);
        mDemo->RecordLoadingDone();
      }
    }
  } else {
    // Demo: loading completes at the update where the recording saw it complete, and an
    // update waits while a record is due before it.
    if (mLoaderFinished && !mLoadingCompletedDelivered && mDemo->GetLoadingDoneMark()) {
      plat::SetThreadPriority(plat::THREAD_PRIORITY_NORMAL);
      mLoadingCompletedDelivered = true;
      mLoaderActive = false;
      LoadingCompleted();
    }
    mDemo->SetUpdateCount(mUpdateCount);
    if (!mDemo->MayRunUpdate(mLoadingCompletedDelivered)) return false;
  }
  UpdateApp();
  return true;
}

void OrvoAppBase::UpdateApp() {
  ScopedProfileSection profiled("Update");
  ++mUpdateCount;
  mDemo->SetUpdateCount(mUpdateCount);  // Demo: records written now carry this update
  if (!mMinimised && mWidgetManager) {
    if (mWidgetManager->UpdateFrame()) ++mFPSChangedUpdates;
  }
  if (mMusicInterface) mMusicInterface->Update();
  CleanSharedImages();
  CrashCatcher::Get().RefreshFactsEverySecond();
  if (mCrashRequested && mLoadingCompletedDelivered) FaultOnPurpose();
}

void OrvoAppBase::UpdateFraction(float fraction) {
  if (mVSyncSteppingEnabled && !mMinimised && mWidgetManager) mWidgetManager->UpdateFrameF(fraction);
}

bool OrvoAppBase::DrawFrame() {
  if (sLostPresent) {
    Redraw();
    mLastDrawSkipped = true;
    mUpdatedSinceDraw = false;
    return false;
  }

  DWORD now = plat::timeGetTime();
  if (now - mLastScreenSaverCheck >= 1000) {
    mLastScreenSaverCheck = now;
    CheckScreenSaverIdle();
  }
  if (sScreenSaverBlank) {
    mLastDrawSkipped = true;
    mUpdatedSinceDraw = false;
    return false;
  }

  DWORD drawStart = plat::timeGetTime();
  mDrawing = true;
  bool drew;
  {
    ScopedProfileSection profiled("Draw");
    drew = mWidgetManager != nullptr && mWidgetManager->DrawScreen();
  }
  mDrawing = false;
  int drawTime = static_cast<int>(plat::timeGetTime() - drawStart);

  now = plat::timeGetTime();
  bool nothingToShow = !drew && now - mLastPresentEnd < 1000 && !mForcePresent;
  bool tooEarly = static_cast<std::int32_t>(now - mNextPresentNotBefore) < 0;
  if (nothingToShow || tooEarly) {
    mLastDrawSkipped = true;
    mUpdatedSinceDraw = false;
    return false;
  }

  ++mDrawCount;
  mLastDrawSkipped = false;
  mDrawTimeTotal += drawTime;
  mFPSTime += drawTime;
  ++mFPSFrames;
  if (mShowDebugOverlays) DrawDebugOverlays();

  if (mWaitForVSync && mIsWindowedNow) {
    DWORD interval = 1000u / static_cast<DWORD>(std::max(1, mRefreshRate.load()));
    DWORD since = plat::timeGetTime() - mLastPresentEnd;
    if (since < interval) plat::Sleep(interval - since);
  }

  DWORD presentStart = plat::timeGetTime();
  mLastPresentEnd = presentStart;
  Redraw();
  AccumulateTime();
  DWORD presentEnd = plat::timeGetTime();
  mLastPresentTime = static_cast<int>(presentEnd - presentStart);

  if (mLoaderStarted && !mLoaderFinished) {
    int frameTotal = drawTime + mLastPresentTime;
    if (frameTotal < 16) frameTotal = std::max(frameTotal, 15);
    mNextPresentNotBefore += static_cast<DWORD>(frameTotal + 35);
    if (static_cast<std::int32_t>(mNextPresentNotBefore - presentEnd) < 0) mNextPresentNotBefore = presentEnd;
  } else {
    mNextPresentNotBefore = presentEnd;
  }

  mUpdatedSinceDraw = false;
  mForcePresent = false;
  return true;
}

void OrvoAppBase::QueueWidgetDeletion(Widget* widget) {
  if (widget) mDeferredDeletes.emplace_back(mLoopNesting, widget);
}

void OrvoAppBase::FlushDeferredDeletes() {
  for (auto it = mDeferredDeletes.begin(); it != mDeferredDeletes.end();) {
    if (it->first >= mLoopNesting) {
      Widget* widget = it->second;
      it = mDeferredDeletes.erase(it);
      delete widget;
    } else {
      ++it;
    }
  }
}

double OrvoAppBase::GetLoadingProgress() {
  if (mLoadingCompletedDelivered) return 1.0;
  int total = mLoaderTotal, done = mLoaderDone;
  if (mLoaderActive && total != 0) return std::min(1.0, static_cast<double>(done) / total);
  return 0.0;
}

void OrvoAppBase::StartLoader() {
  if (mLoaderStarted) return;
  mLoaderActive = true;
  plat::SetThreadPriority(plat::THREAD_PRIORITY_ABOVE_NORMAL);
  mLoaderStarted = true;
  mLoaderThread = plat::Thread([this] {
    LoadingProcedure();
    DebugPrint("Resource Loading Time: %d\r\n", static_cast<int>(plat::GetTickCount() - mConstructionTime));
    mLoaderFinished = true;
  });
}

void OrvoAppBase::WaitForLoader() {
  while (mLoaderStarted && !mLoaderFinished) plat::Sleep(20);
  mLoaderThread.Join();
}

bool CursorMoveIsDue(DWORD now, DWORD lastPresentEnd, int refreshRate) {
  const DWORD interval = refreshRate > 0 ? 1000u / static_cast<DWORD>(refreshRate) : 0u;
  return now - lastPresentEnd > interval + 5;
}

void OrvoAppBase::StartCursorPoller() {
  if (mCursorThread.Joinable()) return;
  plat::SetThreadPriority(plat::THREAD_PRIORITY_ABOVE_NORMAL);
  mCursorThreadRunning = true;
  mCursorThread = plat::Thread([this] { CursorPollerLoop(); });
}

void OrvoAppBase::CursorPollerLoop() {
  plat::SetThreadPriority(plat::THREAD_PRIORITY_ABOVE_NORMAL);
  int lastX = -1, lastY = -1;
  bool readBack = false;
  while (!mQuit) {
    int x, y;
    if (mPlayingDemo) {
      x = mLastMouseX;
      y = mLastMouseY;
    } else {
      plat::POINT p;
      plat::GetCursorPos(&p);
      plat::ScreenToClient(mHWnd, &p);
      x = p.x;
      y = p.y;
    }
    // Once a frame was drawn, the display knows where its cursor is.
    if (!readBack && mDrawCount > 0 && mDDInterface != nullptr) {
      readBack = true;
      lastX = mDDInterface->mCursorX;
      lastY = mDDInterface->mCursorY;
    }
    if (x != lastX || y != lastY) {
      // Right after a present the next one is near: it draws the cursor at the pending
      // position, and moving it now would only draw it twice.
      if (CursorMoveIsDue(plat::timeGetTime(), mLastPresentEnd, mRefreshRate)) {
        MoveDisplayCursor(x, y, true);
        lastX = x;
        lastY = y;
      } else {
        MoveDisplayCursor(x, y, false);
      }
    }
    plat::Sleep(kCursorPollInterval);
  }
  mCursorThreadRunning = false;
}

void OrvoAppBase::CheckScreenSaverIdle() {
  if (mScreenSaverMode || !mIsWindowedNow) return;
  DWORD now = plat::timeGetTime();
  if (!mScreenSaverParamsRead || now - mScreenSaverParamsTime >= 10000) {
    mScreenSaverParamsRead = true;
    mScreenSaverParamsTime = now;
    int timeout = 0;
    plat::BOOL active = plat::FALSE;
    plat::SystemParametersInfoA(plat::SPI_GETSCREENSAVETIMEOUT, 0, &timeout, 0);
    plat::SystemParametersInfoA(plat::SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    mScreenSaverIdleLimit = std::max(timeout - 2, 1) * 1000;
    mScreenSaverActive = active != plat::FALSE;
    if (!mScreenSaverActive) sScreenSaverBlank = false;
  }
  if (!mScreenSaverActive) return;
  int idle = static_cast<int>(now - mLastInputTime);
  if (!sScreenSaverBlank && idle > mScreenSaverIdleLimit) {
    sScreenSaverBlank = true;
  } else if (sScreenSaverBlank) {
    plat::BOOL running = plat::FALSE;
    bool asked = plat::SystemParametersInfoA(plat::SPI_GETSCREENSAVERRUNNING, 0, &running, 0) != plat::FALSE;
    if ((!asked || !running) && idle < mScreenSaverIdleLimit) {
      sScreenSaverBlank = false;
      MarkAllDirty();
    }
  }
}

}  // namespace Orvo
