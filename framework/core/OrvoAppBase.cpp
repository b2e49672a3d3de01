// The application object's life: construction defaults, start-up (Init), the orderly
// Shutdown, single-instance refusal and the destructor.
#include "framework/core/OrvoAppBase.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "framework/core/CrashCatcher.h"
#include "framework/core/Demo.h"
#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/D3DTester.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/ImageLib.h"
#include "framework/resources/PakInterface.h"
#include "framework/resources/ResourceManager.h"
#include "framework/sound/MusicInterface.h"
#include "framework/sound/DSoundManager.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/Folders.h"
#include "platform/MessageBox.h"
#include "platform/Module.h"
#include "platform/Process.h"
#include "platform/Random.h"
#include "platform/Time.h"

namespace Orvo {

OrvoAppBase* gOrvoAppBase = nullptr;
std::atomic<bool> OrvoAppBase::sScreenSaverBlank{false};
std::atomic<bool> OrvoAppBase::sLostPresent{false};
DWORD OrvoAppBase::sLastRecoveryAttempt = 0;

namespace {

plat::HMODULE gVersionDll = nullptr;
plat::HMODULE gDDrawDll = nullptr;
plat::HMODULE gDSoundDll = nullptr;
bool gHaveModuleHandle = false;

// A file name that already says where it lives: a POSIX absolute path, a drive letter, or
// a name starting with a separator.
bool IsAbsoluteFileName(const std::string& name) {
  if (name.empty()) return false;
  if (name[0] == '/' || name[0] == '\\') return true;
  return name.size() >= 2 && name[1] == ':';
}

// Builds a 32 x 32 monochrome cursor from 32 rows of art: 'X' black, 'o' white, anything
// else transparent.
plat::HCURSOR CursorFromArt(const char* const* rows, int hotX, int hotY) {
  std::uint8_t andMask[32 * 4], xorMask[32 * 4];
  std::memset(andMask, 0xFF, sizeof(andMask));
  std::memset(xorMask, 0x00, sizeof(xorMask));
  for (int y = 0; y < 32 && rows[y]; ++y) {
    for (int x = 0; x < 32 && rows[y][x]; ++x) {
      char c = rows[y][x];
      if (c != 'X' && c != 'o') continue;
      int byte = y * 4 + x / 8;
      auto bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
      andMask[byte] = static_cast<std::uint8_t>(andMask[byte] & ~bit);
      if (c == 'o') xorMask[byte] = static_cast<std::uint8_t>(xorMask[byte] | bit);
    }
  }
  return plat::CreateCursor(nullptr, hotX, hotY, 32, 32, andMask, xorMask);
}

// A pointing hand, finger tip at (11, 4).
const char* const kHandArt[] = {
    "", "", "", "",
    "          XX",
    "         XooX",
    "         XooX",
    "         XooX",
    "         XooXXX",
    "         XooXooXXX",
    "         XooXooXooXX",
    "      XX XooXooXooXoX",
    "     XooXXooooooooXoX",
    "     XoooXoooooooooooX",
    "      XooXoooooooooooX",
    "       XoXoooooooooooX",
    "       XooooooooooooX",
    "        XoooooooooooX",
    "        XooooooooooX",
    "         XoooooooooX",
    "         XXXXXXXXXXX",
    nullptr};

// A closed hand for dragging, centre at (15, 10).
const char* const kDragArt[] = {
    "", "", "", "", "",
    "           XX XX XX",
    "          XooXooXooXX",
    "         XXooooooooXoX",
    "        XooXoooooooooX",
    "        XoooooooooooooX",
    "         XooooooooooooX",
    "          XoooooooooooX",
    "          XooooooooooX",
    "           XoooooooooX",
    "            XooooooooX",
    "            XXXXXXXXXX",
    nullptr};

}  // namespace

// Hands replayed demo records to the application, as live input would arrive.
class AppDemoTarget : public DemoReplayTarget {
 public:
  explicit AppDemoTarget(OrvoAppBase* app) : mApp(app) {}
  void DemoMouseMove(int x, int y) override {
    mApp->mLastMouseX = x;
    mApp->mLastMouseY = y;
    if (mApp->mWidgetManager) mApp->mWidgetManager->MouseMove(x, y);
  }
  void DemoMouseDown(int x, int y, int clickCount, int button) override {
    if (mApp->mWidgetManager) mApp->mWidgetManager->MouseDown(x, y, clickCount, button);
  }
  void DemoMouseUp(int x, int y, int clickCount, int button) override {
    if (mApp->mWidgetManager) mApp->mWidgetManager->MouseUp(x, y, clickCount, button);
  }
  void DemoMouseWheel(int steps) override {
    if (mApp->mWidgetManager) mApp->mWidgetManager->OnMouseWheel(steps);
  }
  void DemoMouseEnter() override {
    mApp->mMouseIn = true;
    mApp->ApplyCursor();
  }
  void DemoMouseLeave(int x, int y) override {
    if (mApp->mWidgetManager) mApp->mWidgetManager->MouseExit();
    mApp->mMouseIn = false;
    mApp->ApplyCursor();
  }
  void DemoKeyDown(int key) override {
    if (mApp->mWidgetManager) mApp->mWidgetManager->OnKeyDown(key);
  }
  void DemoKeyUp(int key) override {
    if (mApp->mWidgetManager) mApp->mWidgetManager->OnKeyUp(key);
  }
  void DemoKeyChar(int ch) override {
    if (mApp->mWidgetManager) mApp->mWidgetManager->OnChar(static_cast<char>(ch));
  }
  void DemoActive(bool active) override {
    mApp->mActive = active;
    mApp->UpdateActiveState();
    if (active && !mApp->mWindowed) mApp->MarkAllDirty();
  }
  void DemoMinimised(bool minimised) override {
    if (minimised != mApp->mMinimised && !mApp->mQuit) {
      mApp->mMinimised = minimised;
      if (minimised) {
        mApp->Mute(true);
      } else {
        mApp->Unmute(true);
        mApp->MarkAllDirty();
      }
    }
    mApp->UpdateActiveState();
  }
  // The recorded close goes the way of the live one, so an application that refused it
  // while recording refuses it again and the playback goes on.
  void DemoClose() override { mApp->ProcessCloseRequest(); }
  void DemoScreenMode(bool windowed, int refreshRate) override {
    mApp->mWindowed = windowed;
    if (refreshRate > 0) mApp->mRefreshRate = refreshRate;
  }
  bool DemoShuttingDown() override { return mApp->mQuit; }

 private:
  OrvoAppBase* mApp;
};

OrvoAppBase::OrvoAppBase() {
  gOrvoAppBase = this;
  CrashCatcher::Get().SetApplication(this);  // the crash report reads this application

  mProgramFolder = GetFileDir(plat::GetModuleFileName(), true);
  for (int i = 0; i < 512; ++i) mAdditiveClampTable[i] = static_cast<std::uint8_t>(i < 256 ? i : 255);

  gVersionDll = plat::LoadLibrary("version.dll");
  gDDrawDll = plat::LoadLibrary("ddraw.dll");
  gDSoundDll = plat::LoadLibrary("dsound.dll");
  ImageLib::InitJPEG2000();

  mConstructionTime = plat::GetTickCount();
  DWORD now = plat::timeGetTime();
  mLastPresentEnd = now;
  mNextPresentNotBefore = now;
  mPageFlippingAllowed = plat::GetSystemMetrics(plat::SM_TABLETPC) == 0;

  SetString("DIALOG_BUTTON_OK", L"OK");
  SetString("DIALOG_BUTTON_CANCEL", L"CANCEL");
  SetString("UPDATE_CHECK_TITLE", L"Update Check");
  SetString("UPDATE_CHECK_BODY", L"Checking if there are any updates available for this product ...");
  SetString("UP_TO_DATE_TITLE", L"Up to Date");
  SetString("UP_TO_DATE_BODY", L"There are no updates available for this product at this time.");
  SetString("NEW_VERSION_TITLE", L"New Version");
  SetString("NEW_VERSION_BODY",
            L"There is an update available for this product.  Would you like to visit the web site to download it?");

  mProductVersion = GetProductVersion(plat::GetModuleFileName());

  mDemo = new Demo();
  mDemoTarget = new AppDemoTarget(this);
  mDemo->SetReplayTarget(mDemoTarget);
  Demo::SetCurrent(mDemo);

  mWidgetManager = new WidgetManager(this);
  mResourceManager = new ResourceManager(this);
}

void OrvoAppBase::Init() {
  if (mQuit) return;

  // 1. The thread that starts the application is its main thread.
  mMainThreadId = plat::GetCurrentThreadId();

  // 2. Without the display library or a video system nothing can be shown. A missing
  // sound library is not fatal: the program then runs silent.
  if (!gDDrawDll || !plat::InitVideo()) {
    plat::MessageBoxA(nullptr,
                      GetString("APP_REQUIRES_DIRECTX",
                                "This application requires DirectX to run.  You can get DirectX at "
                                "http://www.microsoft.com/directx")
                          .c_str(),
                      GetString("YOU_NEED_DIRECTX", "You need DirectX").c_str(), plat::MB_ICONERROR);
    plat::ExitProcess(0);
  }

  // 3.
  PreInitHook();
  LoadSettings();

  // 4. The per-user data folder: <data home>/<company>/<product>/.
  if (IsVistaOrLater()) {
    char base[plat::MAX_PATH] = {};
    if (plat::SUCCEEDED(plat::SHGetFolderPathA(nullptr, plat::CSIDL_APPDATA, nullptr, 0, base))) {
      std::string folder = AddTrailingSlash(base, false);
      if (!mCompanyName.empty()) folder += mCompanyName + "/";
      folder += mProductName + "/";
      MakeDirs(folder);
      SetAppDataFolder(folder);
      if (!IsAbsoluteFileName(mDemoFileName)) mDemoFileName = GetAppDataFolder() + mDemoFileName;
    }
  }

  // 5. The command line, then what had to wait for it: screensaver mode is known only now,
  // so the "InProgress" mark that a screensaver must not leave is written here.
  if (!mCommandLineParsed) SplitCommandLine();
  if (mInProgressWritePending) {
    mInProgressWritePending = false;
    if (!mScreenSaverMode) RegWriteNumber("InProgress", 1);
  }

  // 6.
  if (mScreenSaverMode) mSingleInstance = false;

  // 7. The working directory becomes the program folder.
  gHaveModuleHandle = true;
  if (!ChangeDirHook(mProgramFolder)) plat::SetCurrentDirectoryA(mProgramFolder.c_str());

  // 8.
  if (PakInterface* pak = FindPakInterface()) pak->AddPakFile("main.pak");

  // 9. One running instance: the second one tells the first and leaves.
  mNotifyMessage = plat::RegisterWindowMessageA((mProductName + "Notify").c_str());
  mMutex = plat::CreateMutexA(nullptr, plat::TRUE, (mProductName + "Mutex").c_str());
  if (plat::GetLastError() == plat::ERROR_ALREADY_EXISTS) NotifyRunningInstance();

  // 10. Random numbers. A demo that plays brings the seed of its recording, and both
  // generators get that seed, so the replay deals the same numbers.
  mRandSeed = plat::GetTickCount();
  GetMTRand().SRand(mRandSeed);
  // Demo: read the recording to play, with its seed.
  if (mPlayingDemo) {
    mDemo->SetFileName(mDemoFileName);
    mDemo->SetProductVersion(mProductVersion);
    mDemo->SetPlaying(true);
    std::string error;
    if (!mDemo->ReadDemoFile(&error)) {
      mPlayingDemo = false;
      mDemo->SetPlaying(false);
      ShowFatalError(error);
      ExitWithCode(0);
    }
    mRandSeed = mDemo->GetSeed();
    GetMTRand().SRand(mRandSeed);
    mDemoMusicVolume = mMusicVolume;
    mDemoSfxVolume = mSfxVolume;
  }
  if (mRecordingDemo) {
    mDemo->SetFileName(mDemoFileName);
    mDemo->SetProductVersion(mProductVersion);
    mDemo->SetSeed(mRandSeed);
    mDemo->SetRecording(true);
  }
  plat::srand(mRandSeed);

  // 11. Window classes and the invisible window.
  plat::WNDCLASSA mainClass;
  mainClass.style = plat::CS_DBLCLKS;
  mainClass.lpfnWndProc = &OrvoAppBase::WindowProc;
  mainClass.lpszClassName = "MainWindow";
  plat::RegisterClassA(&mainClass);
  plat::WNDCLASSA invisClass;
  invisClass.lpfnWndProc = &OrvoAppBase::WindowProc;
  invisClass.lpszClassName = "InvisWindow";
  plat::RegisterClassA(&invisClass);
  mInvisHWnd = plat::CreateWindowExA(0, "InvisWindow", mTitle.c_str(), 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                     nullptr);
  plat::SetWindowLongPtrA(mInvisHWnd, plat::GWL_USERDATA, reinterpret_cast<plat::LONG_PTR>(this));

  // 12.
  mHandCursor = CursorFromArt(kHandArt, 11, 4);
  mDraggingCursor = CursorFromArt(kDragArt, 15, 10);

  // 13.
  PreWindowHook();

  // 14. A desktop no larger than the window leaves no room for a window: full screen.
  if (mWindowed && !mChangeDesktopMode) {
    int desktopW = plat::GetSystemMetrics(plat::SM_CXSCREEN), desktopH = plat::GetSystemMetrics(plat::SM_CYSCREEN);
    if (!(desktopW > mWidth && desktopH > mHeight)) {
      mWindowed = false;
      mFullScreenForced = true;
    }
  } else if (mChangeDesktopMode) {
    // The desktop takes the window's size and depth (16 or 32, else 16) when it differs;
    // where that cannot be done, the window goes full screen on the desktop as it is.
    const DWORD depth = (mColorDepth == 16 || mColorDepth == 32) ? static_cast<DWORD>(mColorDepth) : 16;
    plat::DEVMODEA current;
    if (plat::EnumDisplaySettingsA(nullptr, plat::ENUM_CURRENT_SETTINGS, &current) &&
        (current.dmPelsWidth != static_cast<DWORD>(mWidth) || current.dmPelsHeight != static_cast<DWORD>(mHeight) ||
         current.dmBitsPerPel != depth)) {
      plat::DEVMODEA wanted;
      wanted.dmFields = plat::DM_BITSPERPEL | plat::DM_PELSWIDTH | plat::DM_PELSHEIGHT;
      wanted.dmBitsPerPel = depth;
      wanted.dmPelsWidth = static_cast<DWORD>(mWidth);
      wanted.dmPelsHeight = static_cast<DWORD>(mHeight);
      if (plat::ChangeDisplaySettingsA(&wanted, plat::CDS_FULLSCREEN) == plat::DISP_CHANGE_SUCCESSFUL) {
        mDesktopModeChanged = true;
      } else {
        mChangeDesktopMode = false;
        mWindowed = false;
      }
    }
  }

  // 15.
  CreateMainWindow();

  // 16. Demo: a playback shows the screen mode of its recording.
  if (mPlayingDemo) {
    mWindowed = mDemo->GetRecordedWindowed();
    if (mDemo->GetRefreshRate() > 0) mRefreshRate = mDemo->GetRefreshRate();
  }

  // 17, 18. Sound.
  if (!mSoundManager) mSoundManager = new DSoundManager(mNoSound ? nullptr : mHWnd.load(), mUseFMod);
  SetSfxVolume(mSfxVolume);
  mMusicInterface = CreateMusicInterface(mInvisHWnd);
  SetMusicVolume(mMusicVolume);

  // 19.
  if (mScreenSaverMode) mCursorKind = CURSOR_NONE;

  // 20.
  InitDoneHook();
  mInitialised = true;
  // The crash report's facts, and the symbols of the libraries the window brought in.
  CrashCatcher::Get().RefreshFacts(true);
}

void OrvoAppBase::NotifyRunningInstance() {
  if (!mSingleInstance) return;
  if (mNotifyMessage != 0) plat::PostMessageA(plat::HWND_BROADCAST, mNotifyMessage, 0, 0);
  if (mDesktopModeChanged) plat::ChangeDisplaySettingsA(nullptr, 0);
  ExitWithCode(0);
}

void OrvoAppBase::ExitWithCode(int code) {
  // The desktop's display mode is never changed by this program, so there is nothing to
  // restore before leaving.
  plat::ExitProcess(static_cast<UINT>(code));
}

void OrvoAppBase::Shutdown() {
  if (mMainThreadId != 0 && plat::GetCurrentThreadId() != mMainThreadId) {
    mShutdownRequested = true;
    return;
  }
  if (mShutdownDone) return;
  mShutdownDone = true;
  mLeaveNestedLoops = true;
  mQuit = true;
  PreShutdownHook();
  if (mPlayingDemo) {
    SetMusicVolume(mDemoMusicVolume);
    SetSfxVolume(mDemoSfxVolume);
  }
  // The cursor poller sees quit and ends.
  while (mCursorThreadRunning) plat::Sleep(10);
  mCursorThread.Join();
  // The loading thread too: what it uses is freed once the application goes away.
  WaitForLoader();
  if (mMusicInterface) mMusicInterface->StopAllMusic();
  if (mHWnd) plat::ShowWindow(mHWnd, plat::SW_HIDE);
  if (mDesktopModeChanged) {
    plat::ChangeDisplaySettingsA(nullptr, 0);
    mDesktopModeChanged = false;
  }
  if (mSettingsLoaded) SaveSettings();
  ImageLib::CloseJPEG2000();
}

OrvoAppBase::~OrvoAppBase() {
  Shutdown();

  // The loading thread uses what is freed below: it must have finished first.
  WaitForLoader();
  mLoaderThread.Join();

  // Hardware acceleration switched on during this run, or not drawing well: keep it?
  auto askToKeep3D = [this](const char* textName, const char* text) {
    return plat::MessageBoxA(nullptr, GetString(textName, text).c_str(),
                             GetString("HARDWARE_ACCEL_CONFIRMATION", "Hardware Acceleration Confirmation").c_str(),
                             plat::MB_YESNO | plat::MB_ICONQUESTION);
  };
  bool askedAbout3D = false;
  if (m3DChangedThisRun) {
    DWORD type = 0, size = 0;
    bool stored = RegReadValue("Is3D", &type, nullptr, &size);
    const D3DTester* tester = mDDInterface != nullptr ? mDDInterface->mD3DTester : nullptr;
    const bool recommended = tester != nullptr && tester->mFailureReason.empty() && tester->mWarning.empty();
    if (!stored && !recommended && Is3DAccelerated()) {
      askedAbout3D = true;
      int answer = askToKeep3D("HARDWARE_ACCEL_SWITCHED_ON",
                               "Hardware Acceleration was switched on during this session.\r\n"
                               "If this resulted in slower performance, it should be switched off.\r\n"
                               "Would you like to keep Hardware Acceleration switched on?");
      if (answer == plat::IDYES) RegWriteFlag("Is3D", true);
    } else {
      RegWriteFlag("Is3D", Is3DAccelerated());
    }
  }
  // The Direct3D layer could not draw during this run.
  if (!askedAbout3D && D3DInterface::sD3DDrawFailed && !mScreenSaverMode) {
    int answer = askToKeep3D("HARDWARE_ACCEL_NOT_WORKING",
                             "Hardware Acceleration may not have been working correctly during this session.\r\n"
                             "If you noticed graphics problems, you may want to turn off Hardware Acceleration.\r\n"
                             "Would you like to keep Hardware Acceleration switched on?");
    if (answer == plat::IDNO) RegWriteFlag("Is3D", false);
  }

  ReleaseImagesAndDialogs();
  mInputQueue.clear();
  if (mInvisHWnd) {
    plat::SetWindowLongPtrA(mInvisHWnd, plat::GWL_USERDATA, 0);
    plat::DestroyWindow(mInvisHWnd);
    mInvisHWnd = nullptr;
  }
  FlushDeferredDeletes();
  delete mWidgetManager;
  mWidgetManager = nullptr;
  delete mResourceManager;
  mResourceManager = nullptr;
  ReleaseDebugTools();
  DeleteDisplay();
  delete mMusicInterface;
  mMusicInterface = nullptr;
  delete mSoundManager;
  mSoundManager = nullptr;
  if (mHWnd) {
    plat::SetWindowLongPtrA(mHWnd, plat::GWL_USERDATA, 0);
    plat::DestroyWindow(mHWnd);
    mHWnd = nullptr;
  }
  plat::SetCursor(nullptr);
  plat::DestroyCursor(mHandCursor);
  plat::DestroyCursor(mDraggingCursor);
  mHandCursor = mDraggingCursor = nullptr;
  if (gOrvoAppBase == this) gOrvoAppBase = nullptr;
  if (CrashCatcher::Get().GetApplication() == this) CrashCatcher::Get().SetApplication(nullptr);

  // Demo: the recording is saved when the application goes away.
  if (mRecordingDemo && !mDemo->WriteDemoFile())
    std::fprintf(stderr, "Could not save the demo %s: %s\n", mDemo->GetFileName().c_str(), std::strerror(errno));
  if (Demo::Current() == mDemo) Demo::SetCurrent(nullptr);
  delete mDemo;
  mDemo = nullptr;
  delete mDemoTarget;
  mDemoTarget = nullptr;

  if (mMutex) plat::CloseHandle(mMutex);
  mMutex = nullptr;
  plat::StopListeningForRegisteredMessages();
  plat::FreeLibrary(gDDrawDll);
  plat::FreeLibrary(gDSoundDll);
  plat::FreeLibrary(gVersionDll);
  gDDrawDll = gDSoundDll = gVersionDll = nullptr;
  plat::UnregisterClassA("MainWindow", nullptr);
  plat::UnregisterClassA("InvisWindow", nullptr);
}

void OrvoAppBase::DialogButtonPressed(int dialogId, int buttonId) {
  if (buttonId == DIALOG_BUTTON_YES) ButtonPressed(dialogId + 2000);
  else if (buttonId == DIALOG_BUTTON_NO) ButtonPressed(dialogId + 3000);
}

void OrvoAppBase::DialogButtonReleased(int dialogId, int buttonId) {
  if (buttonId == DIALOG_BUTTON_YES) ButtonReleased(dialogId + 2000);
  else if (buttonId == DIALOG_BUTTON_NO) ButtonReleased(dialogId + 3000);
}

std::string OrvoAppBase::GetCrashInfoText() {
  const DWORD seconds = (plat::GetTickCount() - mConstructionTime) / 1000;
  std::string text;
  text += "Product: " + mProductName + "\r\n";
  text += "Version: " + mProductVersion + "\r\n";
  text += FormatString("Time Loaded: %02d:%02d:%02d", static_cast<int>(seconds / 3600),
                       static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  text += std::string("\r\nFullscreen: ") + (mWindowed ? "No" : "Yes");
  text += FormatString("\r\nPrimary ThreadId: %X\r\n", static_cast<unsigned>(mMainThreadId));
  return text;
}

}  // namespace Orvo
