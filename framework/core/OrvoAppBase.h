// The one application object of the process: it owns the windows, the display, the widget
// manager, the sound objects and every framework setting, runs start-up and shutdown, and
// turns time into fixed logic updates and drawn frames in its main loop. A game derives
// from it, constructs it, calls Init, then Start, and finally deletes it.
//
// Where the pieces live:
//   OrvoAppBase.cpp     construction, Init, Shutdown, destructor, single instance
//   AppLoop.cpp         Start, the frame phases, pacing, drawing, the loader and cursor threads
//   AppInput.cpp        the window procedure, the input queue, focus and activation
//   AppSettings.cpp     registry settings, command line, string properties
//   AppWindowModes.cpp  main window creation, screen modes, the calls into the display, the cursor
//   AppServices.cpp     dialogs, message boxes, volumes, images and links
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/Common.h"
#include "framework/core/PerfTimer.h"
#include "framework/graphics/Rect.h"
#include "framework/graphics/SharedImage.h"
#include "framework/widgets/ButtonListener.h"
#include "framework/widgets/DialogListener.h"
#include "platform/Messages.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "platform/Threads.h"
#include "platform/Window.h"

namespace Orvo {

using plat::DWORD;
using plat::LPARAM;
using plat::LRESULT;
using plat::UINT;
using plat::WPARAM;

class DDImage;
class DDInterface;
class Demo;
class DemoWindow;
class DemoReplayTarget;
class Dialog;
class Font;
class Image;
class MemoryImage;
class MusicInterface;
class ResourceManager;
class SoundManager;
class Widget;
class WidgetManager;
class OrvoAppBase;

// The application of the process (set by the constructor, cleared by the destructor).
extern OrvoAppBase* gOrvoAppBase;

// One message waiting in the application's input queue.
struct QueuedMessage {
  plat::HWND mHWnd = nullptr;
  UINT mMessage = 0;
  WPARAM mWParam = 0;
  LPARAM mLParam = 0;
};

// Cursor kinds for SelectCursor.
enum CursorKind {
  CURSOR_POINTER = 0,
  CURSOR_HAND = 1,
  CURSOR_DRAGGING = 2,
  CURSOR_TEXT = 3,
  CURSOR_CIRCLE_SLASH = 4,
  CURSOR_SIZEALL = 5,
  CURSOR_SIZENESW = 6,
  CURSOR_SIZENS = 7,
  CURSOR_SIZENWSE = 8,
  CURSOR_SIZEWE = 9,
  CURSOR_WAIT = 10,
  CURSOR_NONE = 11,
  CURSOR_CUSTOM = 12,
  NUM_CURSORS = 13
};

// Dialog buttons map onto application button ids: 1000 -> dialog id + 2000, 1001 -> + 3000.
constexpr int DIALOG_BUTTON_YES = 1000;
constexpr int DIALOG_BUTTON_NO = 1001;

// The cursor poller's rule: a moved cursor is drawn at once only when more than the display's
// frame interval + 5 ms have passed since the last present; else the next present draws it.
bool CursorMoveIsDue(DWORD now, DWORD lastPresentEnd, int refreshRate);

class OrvoAppBase : public ButtonListener, public DialogListener {
 public:
  // ---- Identity and settings (a derived application may change them before Init) ----
  std::string mCompanyName;
  std::string mProductName = "Product";
  std::string mTitle = "OrvoApp";
  std::string mRegKey;
  std::string mProgramFolder;
  std::string mProductVersion;
  int mWidth = 640;
  int mHeight = 480;
  int mColorDepth = 16;
  Ratio mAspectRatio{4, 3};
  int mMinVidMemory = 6;
  int mRecVidMemory = 14;
  bool mIs3DChosen = false;
  int mPreferredX = -1;
  int mPreferredY = -1;
  bool mWindowed = true;
  std::atomic<bool> mIsWindowedNow{true};  // read by the cursor thread
  bool mChangeDesktopMode = false;
  bool mDesktopModeChanged = false;  // Init switched the desktop's mode: Shutdown restores it
  bool mFullScreenForced = false;
  bool mFullScreenFailureSeen = false;
  bool mMaximiseBox = false;
  bool mSingleInstance = true;
  bool mScreenSaverMode = false;
  bool mAllowMonitorPowerOff = true;
  bool mCommandLineParsed = false;
  bool mNoSound = false;
  bool mUseFMod = false;
  double mMusicVolume = 0.85;
  double mSfxVolume = 0.85;
  double mDemoMusicVolume = 0.0;  // volumes saved at demo start
  double mDemoSfxVolume = 0.0;
  int mMuteCount = 0;
  int mAutoMuteCount = 0;
  bool mMuteWhenMinimised = true;
  bool mCustomCursors = false;
  int mCursorKind = CURSOR_POINTER;
  bool mLastRunEndedCleanly = true;
  bool mInProgressWritePending = false;  // "InProgress" = 1 waits until the command line is known
  bool mSettingsLoaded = false;
  bool mInitialised = false;
  bool m3DChangedThisRun = false;
  std::uint32_t mRandSeed = 0;
  DWORD mMainThreadId = 0;
  bool mPageFlippingAllowed = true;
  std::string mDemoBaseName = "orvoapp";
  std::string mDemoFileName = "orvoapp.dmo";
  // The developer keys' chime, loaded into the sound manager on first use (-1: not yet).
  std::string mMenuCommandSound = "sounds/menu_command";  // ".wav" (or ".ogg") added by the loader
  int mMenuCommandSoundId = -1;
  bool mRecordingDemo = false;
  bool mPlayingDemo = false;
  bool mCrashRequested = false;  // "-crash": fault on purpose once loading completed
  DWORD mConstructionTime = 0;
  std::uint8_t mAdditiveClampTable[512];

  // ---- Owned objects ----
  std::atomic<plat::HWND> mHWnd{nullptr};  // main window (read by the cursor thread)
  plat::HWND mInvisHWnd = nullptr;  // invisible window
  plat::HCURSOR mHandCursor = nullptr;
  plat::HCURSOR mDraggingCursor = nullptr;
  plat::HANDLE mMutex = nullptr;
  UINT mNotifyMessage = 0;
  DDInterface* mDDInterface = nullptr;
  WidgetManager* mWidgetManager = nullptr;
  ResourceManager* mResourceManager = nullptr;
  SoundManager* mSoundManager = nullptr;
  MusicInterface* mMusicInterface = nullptr;
  Font* mDebugFont = nullptr;  // developer overlay font
  Demo* mDemo = nullptr;       // demo recording and playback state (always present)
  DemoReplayTarget* mDemoTarget = nullptr;  // hands replayed records to this application

  // Dialogs by id, and in the order they were added.
  std::map<int, Dialog*> mDialogMap;
  std::list<Dialog*> mDialogList;
  // Every MemoryImage in existence (guarded by the display's lock).
  std::set<MemoryImage*> mMemoryImageSet;
  // Shared images by (upper-cased file name, upper-cased variant).
  std::map<std::pair<std::string, std::string>, SharedImage> mSharedImageMap;
  std::atomic<bool> mCleanSharedImages{false};
  // Widgets waiting for deletion, with the loop nesting depth at which they were queued.
  std::list<std::pair<int, Widget*>> mDeferredDeletes;
  std::list<QueuedMessage> mInputQueue;
  std::map<std::string, std::wstring> mStringProperties;

  // ---- Main loop and frame pacing ----
  int mUpdatePeriod = 10;                  // ms per logic update
  std::atomic<int> mRefreshRate{100};      // Hz
  double mSpeedFactor = 1.0;               // demo playback speed; 0 or less stops time
  bool mVSyncSteppingEnabled = false;
  std::atomic<bool> mVSyncUnreliable{false};
  bool mWaitForVSync = false;
  int mFramePhase = 0;  // 0 pump input, 1 first update, 2 catch-up and fraction, 3 frame finished
  int mCatchUpCount = 0;
  double mTimeDebt = 0.0;  // ms, never above 200
  DWORD mLastTick = 0;     // 0: not yet set
  int mCatchUpSuppression = 0;
  double mFractionAccumulator = 0.0;
  bool mUpdatedSinceDraw = true;
  bool mLastDrawSkipped = false;
  int mLoopNesting = 0;
  std::atomic<int> mUpdateCount{0};
  std::atomic<int> mDrawCount{0};
  int mSleepCount = 0;
  int mDrawTimeTotal = 0;
  std::atomic<int> mLastPresentTime{0};
  std::atomic<DWORD> mLastPresentEnd{0};
  DWORD mNextPresentNotBefore = 0;
  int mFPSFrames = 0;
  int mFPSTime = 0;
  int mFPSChangedUpdates = 0;
  int mTooFastCounter = 0;
  DWORD mTooFastLastCheck = 0;
  int mTooFastConsecutive = 0;
  std::atomic<bool> mQuit{false};
  std::atomic<bool> mLeaveNestedLoops{false};
  std::atomic<bool> mShutdownRequested{false};
  bool mShutdownDone = false;
  bool mInMainLoop = false;
  std::atomic<bool> mMinimised{false};
  int mStepMode = 0;  // developer single step: 0 off, 1 run one frame, 2 wait
  bool mAutoStartLoader = true;
  std::atomic<bool> mLoaderStarted{false};
  std::atomic<bool> mLoaderFinished{false};
  bool mLoadingCompletedDelivered = false;
  bool mLoaderActive = false;
  std::atomic<int> mLoaderTotal{0};  // maintained by the loading procedure
  std::atomic<int> mLoaderDone{0};
  DWORD mRunStartTime = 0;
  DWORD mLastScreenSaverCheck = 0;
  DWORD mScreenSaverParamsTime = 0;
  bool mScreenSaverParamsRead = false;
  int mScreenSaverIdleLimit = 0;
  bool mScreenSaverActive = false;
  bool mDrawing = false;
  bool mForcePresent = false;
  // Demo playback controls (set by the playback keys).
  int mDemoJumpTarget = 0;
  bool mDemoMarkerFlag = false;
  bool mDemoStepFlag = false;
  bool mDemoPaused = false;
  bool mFastForwardMuted = false;
  // The system screensaver is considered running: updates and drawing stop.
  static std::atomic<bool> sScreenSaverBlank;

  // ---- Input state ----
  bool mActive = true;
  std::atomic<bool> mMinimisedSeenByWndProc{false};
  bool mDisabled = false;
  std::atomic<bool> mMouseIn{false};
  bool mCtrlDown = false;
  bool mAltDown = false;
  bool mFocusLostInputBlock = false;
  bool mHidden = false;
  bool mLastActiveNotMinimised = true;
  std::atomic<int> mLastMouseX{0};  // last recorded mouse position (application coordinates)
  std::atomic<int> mLastMouseY{0};
  DWORD mLastInputTime = 0;
  DWORD mLastTimerTime = 0;
  DWORD mTimerGapStart = 0;
  bool mDebugKeysEnabled = false;
  bool mClosing = false;
  // Set while the Shutdown that a close request of the user (the close box, Alt+F4, a
  // close in a played demo) runs; every other Shutdown comes from the program or the system
  // (log-off, a fatal display error, another thread, a link opened with quit) and must end.
  bool mUserCloseRequest = false;
  bool mURLPending = false;
  bool mURLQuitAfter = false;
  std::string mPendingURL;
  DWORD mURLOpenTime = 0;

  // ---- Developer tools (debug keys and overlays) ----
  bool mShowDebugOverlays = false;
  int mDebugOverlayMode = 0;  // 0: frame rate (and demo time left); 1: also the mouse position
  PerformanceTimer mFPSTimer;
  int mFPSCount = 0;    // frames presented since the frame rate was last taken
  int mFPSDisplay = 0;  // the frame rate shown
  bool mFPSRestart = false;
  MemoryImage* mFPSImage = nullptr;
  MemoryImage* mMouseOverlayImage = nullptr;
  MemoryImage* mDemoTimeImage = nullptr;

  // ---- Window and display ----
  Rect mScreenBounds;  // presentation rectangle
  bool mVideoOnlyDraw = false;
  Image* mCursorImages[NUM_CURSORS] = {};
  plat::HCURSOR mOverrideCursor = nullptr;
  bool mSysCursorShown = true;
  static std::atomic<bool> sLostPresent;
  static DWORD sLastRecoveryAttempt;

  // ---- Threads ----
  plat::Thread mCursorThread;
  plat::Thread mLoaderThread;
  std::atomic<bool> mCursorThreadRunning{false};

 public:
  OrvoAppBase();
  ~OrvoAppBase() override;
  OrvoAppBase(const OrvoAppBase&) = delete;
  OrvoAppBase& operator=(const OrvoAppBase&) = delete;

  // ---- Virtual operations (a derived application overrides these) ----
  // As a ButtonListener (hooks; ButtonPressed(id, count) calls ButtonPressed(id)).
  using ButtonListener::ButtonPressed;

  virtual bool PaceFrame(bool allowSleep);
  virtual void UpdateApp();
  virtual bool UpdateOnce();
  virtual void UpdateFraction(float fraction);
  virtual void CreateMainWindow();
  virtual void ApplyCursor();
  virtual void RefreshAllImages();
  virtual void DropNativeImageData();
  virtual void DropImageBuffers();
  virtual void LoadingCompleted() {}
  virtual MusicInterface* CreateMusicInterface(plat::HWND window);
  virtual void InitDoneHook() {}
  virtual void PreShutdownHook() {}
  virtual void ShutdownHook() {}
  virtual void LoadingProcedure() {}
  virtual void SaveSettings();
  virtual void LoadSettings();
  virtual Dialog* CreateDialog(int id, bool modal, const std::string& header, const std::string& lines,
                               const std::string& footer, int buttonMode);
  virtual void PreWindowHook() {}
  virtual void LostFocus();
  virtual void GotFocus();
  virtual int ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT flags);
  virtual int ShowMessageBox(const std::string& text, const std::string& caption, UINT flags);
  virtual void ShowFatalError(const std::wstring& text);
  virtual void ShowFatalError(const std::string& text);
  virtual void AppendScreenSaverError(const std::string& text);
  virtual void QueueWidgetDeletion(Widget* widget);
  virtual void URLOpenAbandoned(const std::string& url);
  virtual void URLOpenCompleted(const std::string& url);
  virtual bool OpenURL(const std::string& url, bool quitAfter = false);
  virtual std::string GetProductVersion(const std::string& path);
  virtual void HideApp();
  virtual std::string GetCrashInfoText();
  // Crash-report hooks: extra form fields sent with the report, and a demo file to attach.
  virtual std::map<std::string, std::string> GetCrashReportFields() { return {}; }
  virtual std::string GetCrashReportDemoFile() { return {}; }
  virtual void Shutdown();
  virtual void SplitCommandLine();
  virtual void ParseParam(const std::string& text);
  virtual void HandleOption(const std::string& name, const std::string& value);
  virtual void RaiseMainWindow(WPARAM wParam, LPARAM lParam);
  virtual void NotifyRunningInstance();
  virtual void Start();
  virtual void Init();
  virtual void PreDisplayInitHook() {}
  virtual void DisplayInitDoneHook() {}
  virtual bool ChangeDirHook(const std::string& folder) { return false; }
  virtual void PlaySoundById(int id, int pan);
  virtual void PlaySoundById(int id);
  // The short chime of the developer keys (switched on or off, tuned values re-read).
  void PlayMenuCommandSound();
  virtual double GetMasterVolume();
  virtual double GetMusicVolume();
  virtual double GetSfxVolume();
  virtual bool IsMuted();
  virtual void SetMasterVolume(double volume);
  virtual void SetMusicVolume(double volume);
  virtual void SetSfxVolume(double volume);
  virtual void Mute(bool automatic);
  virtual void Unmute(bool automatic);
  virtual double GetLoadingProgress();
  virtual DDImage* LoadImageFile(const std::string& path, bool flag = false);
  virtual SharedImageRef AcquireSharedImage(const std::string& name, const std::string& variant,
                                            bool* created = nullptr);
  virtual void SetScreenMode(bool windowed, bool is3D, bool force);
  virtual void SetWindowed(bool windowed);
  virtual void ReapplyScreenMode();
  virtual void SetVideoOnlyDraw(bool on);
  virtual Dialog* ShowDialog(int id, bool modal, const std::string& header, const std::string& lines,
                             const std::string& footer, int buttonMode);
  virtual Dialog* FindDialog(int id);
  virtual void AddDialog(int id, Dialog* dialog);
  virtual void AddDialog(Dialog* dialog);
  virtual bool CloseDialog(int id);
  virtual bool CloseDialog(Dialog* dialog);
  virtual bool CloseDialog(int id, bool removeWidget, bool deleteDialog);
  virtual int CountDialogs();
  virtual void ModalOpenHook() {}
  virtual void ModalCloseHook() {}
  virtual void ActivatedHook() {}
  virtual void DeactivatedHook() {}
  virtual bool PassSysChar(int ch);
  virtual bool HandleDebugKey(int key);
  virtual bool HandleKeyCombo(int key, bool ctrl, bool alt) { return false; }
  virtual void CloseRequestHook() {}
  virtual void D3DTestDoneHook() {}
  virtual bool DrawFrame();
  virtual void Redraw();
  virtual void PreInitHook() {}
  virtual void RunLoop();
  virtual bool StepLoop(bool* updated);
  virtual bool RunOneUpdate();
  virtual bool AllowRestore();

  // As a DialogListener: button 1000 of dialog d -> ButtonPressed/Released(d + 2000),
  // 1001 -> d + 3000; other buttons are ignored.
  void DialogButtonPressed(int dialogId, int buttonId) override;
  void DialogButtonReleased(int dialogId, int buttonId) override;

  // ---- Registry ----
  bool RegWriteValue(const std::string& name, DWORD type, const void* data, DWORD size);
  bool RegReadValue(const std::string& name, DWORD* type, void* data, DWORD* size,
                    plat::HKEY hive = plat::HKEY_CURRENT_USER);
  void RegDeleteValue(const std::string& name);
  bool RegWriteText(const std::string& name, const std::string& text);
  bool RegWriteNumber(const std::string& name, int value);
  bool RegWriteFlag(const std::string& name, bool value);
  bool RegReadText(const std::string& name, std::string* text);
  bool RegReadNumber(const std::string& name, int* value);
  bool RegReadFlag(const std::string& name, bool* value);

  // ---- String properties ----
  void SetString(const std::string& id, const std::wstring& value);
  std::string GetString(const std::string& id, const std::string& defaultValue);

  // ---- Input queue and window procedure ----
  static LRESULT WindowProc(plat::HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleWindowMessage(plat::HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void QueueMessage(const QueuedMessage& record);
  // Processes queued records (only one when oneOnly); true while records remain.
  bool ProcessQueuedMessages(bool oneOnly);
  void UpdateActiveState();
  // A close request of the user (the close box, Alt+F4, or one replayed from a demo): the
  // application may still refuse it, as the game does when the player answers "No".
  void ProcessCloseRequest();
  // Acts on one playback key (WM_CHAR while a demo plays).
  void HandlePlaybackKey(int ch);

  // ---- The demo player's windows ----
  // Modal: they return when closed, having run their own message loop meanwhile (no update
  // runs), and reset the frame clock so that the time spent is not caught up. The result
  // is the button that closed the window (DemoWindow::ID_OK or ID_CANCEL).
  int ShowJumpToTime();
  int ShowMarkerList();
  // The demo window open now (null when none).
  DemoWindow* GetDemoWindow() const { return mDemoWindow; }
  // "DemoJumpTime" under the registry key, read and written directly (a playback's registry
  // records belong to the program, not to its player).
  std::string ReadDemoJumpTime();
  void WriteDemoJumpTime(const std::string& text);
  // The screensaver's input filter: true when it took the message (result in *result).
  bool FilterScreenSaverMessage(plat::HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Writes one input record into the demo being recorded.
  void RecordInputForDemo(const QueuedMessage& record);

  // ---- Loop pieces ----
  void ResetFrameClock(bool suppressCatchUp);
  void AccumulateTime();
  void FlushDeferredDeletes();
  void StartCursorPoller();
  void StartLoader();
  void WaitForLoader();
  void CheckScreenSaverIdle();
  // Pumps the window messages of one frame; stops early once quit is set.
  void PumpWindowMessages();
  // Reads the demo records due before the next update (playback only).
  void ReadDueDemoCommands();
  // The fractional part of a frame: extra updates owed and the fractional update.
  void RunFractionBlock(double step, bool countCatchUp);
  void CleanSharedImages();
  // True while the frame's time is paced by the display's refresh (full screen, reliable vsync).
  bool VSyncSteppingApplies() const;
  // Ends the current frame: draws when an update ran since the last drawn frame, else
  // sleeps what is left of the frame. False when it would sleep and allowSleep is false.
  bool EndFrame(double frameTime, bool refreshPaced, bool allowSleep, int* slept);
  // The cursor poller's loop (its own thread).
  void CursorPollerLoop();

  // ---- Window, display and cursor ----
  int ReinitDisplay();
  void Set3DMode(bool is3D, bool reinit);
  bool Is3DAccelerated();
  void SelectCursor(int kind);
  void SetCustomCursors(bool on);
  // Ends the process with `code` (after restoring the desktop mode when it was changed).
  [[noreturn]] void ExitWithCode(int code);

  // Marks every widget for redrawing.
  void MarkAllDirty();

  // ---- Developer tools ----
  // Saves the screen as the next numbered PNG in the per-user "_screenshots" folder; false
  // when there is no screen or the file could not be written.
  bool TakeScreenshot();
  // Writes every registered image, a thumbnail of each and the index "_dump\imagelist.html".
  bool DumpImages();
  // The "Video Stats" text.
  std::string GetVideoStats();
  // Draws the frame-rate, mouse and demo-time overlays onto the screen image.
  void DrawDebugOverlays();
  // Frees the overlay images and the overlay font (destructor).
  void ReleaseDebugTools();

  // ---- Images ----
  void RegisterImage(MemoryImage* image);
  void UnregisterImage(MemoryImage* image);
  DDImage* CopyImage(Image* source, const Rect& rect);
  DDImage* CopyImage(Image* source);

 protected:
  int RunDemoWindow(DemoWindow* window);
  // Live input for the open demo window; true when the message was its.
  bool RouteToDemoWindow(UINT message, WPARAM wParam, LPARAM lParam);
  DemoWindow* mDemoWindow = nullptr;

  // Creates the display (DDInterface) when there is none yet.
  void CreateDisplayIfMissing();
  // Presents the frame; false when the present was lost.
  bool PresentFrame();
  // The display's refresh rate (Hz) once it is open.
  int DisplayRefreshRate();
  // The cursor poller's new mouse position (client coordinates) for the display's cursor.
  // Moves the display's cursor now, or only sets where the next present draws it.
  void MoveDisplayCursor(int x, int y, bool now = true);
  void DeleteDisplay();
  // Frees what the shared-image cache and the dialogs hold (destructor).
  void ReleaseImagesAndDialogs();
};

}  // namespace Orvo
