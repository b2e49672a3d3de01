// The application object: identity and screen size from the game and its option file, the
// game's start once the framework has loaded, and the close handshake with the game.
#include "kernel/kernel/MainApp.h"

#include "framework/widgets/WidgetManager.h"
#include "kernel/controls/Factory.h"
#include "kernel/kernel/ScreenOptions.h"
#include "platform/Messages.h"
#include "platform/Threads.h"

namespace KernelLibrary {

MainApp::MainApp(IGame* game) : mGame(game) {
  std::string text;
  mGame->GetTitle(text);
  mProductName = text;
  text.clear();
  mGame->GetVersion(text);
  mProductVersion = text;
  text.clear();
  mGame->GetTitle(text);
  mTitle = text;

  std::string folder = mProgramFolder;
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
  LoadResolution(folder);
  GetResolutionSize(mWidth, mHeight);

  // The bridge widget asks for redraws from its fractional update.
  mVSyncSteppingEnabled = true;
  // The full-screen choice of the option file decides the window mode.
  mWindowed = GetDisplayModeFlag() == 0;
}

MainApp::~MainApp() { RemoveBridge(); }

void MainApp::SetSize(int width, int height) {
  mWidth = width;
  mHeight = height;
  if (mBridge != nullptr) mBridge->ResizeRect(Orvo::Rect(0, 0, width, height));
}

bool MainApp::SetWindowedFromGame(bool fullScreen) {
  mWindowed = !fullScreen;
  return mWindowed;
}

std::intptr_t MainApp::Quit() {
  mQuitting = true;
  return plat::SendMessageA(mHWnd, plat::WM_CLOSE, 0, 0);
}

bool MainApp::RegistryRead(const std::string& valueName, std::uint32_t* type, void* data, std::uint32_t* length,
                           plat::HKEY root) {
  return RegReadValue(valueName, type, data, length, root);
}

bool MainApp::RegistryWrite(const std::string& valueName, std::uint32_t type, const void* data,
                            std::uint32_t length) {
  return RegWriteValue(valueName, type, data, length);
}

void MainApp::Init() {
  OrvoAppBase::Init();
  mGame->SetSysApp(AsSysApp());
}

void MainApp::LoadingCompleted() {
  OrvoAppBase::LoadingCompleted();
  if (mShutdownRequested || mBridge != nullptr) return;
  mBridge = new IGameBridge(this, mGame);
  mBridge->Resize(0, 0, mWidth, mHeight);
  mWidgetManager->AddWidget(mBridge);
}

void MainApp::RemoveBridge() {
  if (mBridge == nullptr) return;
  IGameBridge* bridge = mBridge;
  mBridge = nullptr;
  if (mWidgetManager != nullptr) mWidgetManager->RemoveWidget(bridge);
  delete bridge;
}

void MainApp::Shutdown() {
  if (mMainThreadId != 0 && plat::GetCurrentThreadId() != mMainThreadId) {
    // Another thread only raises the request; the main loop comes back here.
    OrvoAppBase::Shutdown();
    return;
  }
  // The user's close asks the game, which confirms through Quit. A shutdown the user did not
  // ask for (log-off, a fatal error, a request from another thread) ends the program now.
  if (!mQuitting && mUserCloseRequest && !mShutdownDone) {
    ControlLibrary::ObjectsLock hold;  // the game shows its question while timers run
    mGame->OnCloseRequest();
    return;
  }
  mQuitting = true;
  RemoveBridge();
  OrvoAppBase::Shutdown();
}

}  // namespace KernelLibrary
