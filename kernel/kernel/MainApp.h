// The application object of a game built on the kernel: the framework's application with
// the game plugged in through IGame, ISysApp and the bridge widget.
#pragma once

#include "framework/core/OrvoAppBase.h"
#include "kernel/kernel/GameBridge.h"
#include "kernel/kernel/IGame.h"

namespace KernelLibrary {

// The framework's application has its own SetWindowed (no result); this layer gives
// ISysApp's SetWindowed a body of its own name, so both live side by side in MainApp.
class SysAppWindowMode : public ISysApp {
 public:
  bool SetWindowed(bool fullScreen) final { return SetWindowedFromGame(fullScreen); }

 protected:
  virtual bool SetWindowedFromGame(bool fullScreen) = 0;
};

class MainApp : public SysAppWindowMode, public Orvo::OrvoAppBase {
 public:
  explicit MainApp(IGame* game);
  ~MainApp() override;

  // ---- ISysApp ----
  std::pair<int, int> GetSize() override { return {mWidth, mHeight}; }
  void SetSize(int width, int height) override;
  std::intptr_t Quit() override;
  bool RegistryRead(const std::string& valueName, std::uint32_t* type, void* data, std::uint32_t* length,
                    plat::HKEY root) override;
  bool RegistryWrite(const std::string& valueName, std::uint32_t type, const void* data,
                     std::uint32_t length) override;

  // ---- The framework's application ----
  void Init() override;
  void LoadingCompleted() override;
  // A close request: asks the game until it has confirmed with Quit, then shuts down.
  void Shutdown() override;

  IGameBridge* GetBridge() const { return mBridge; }
  ISysApp* AsSysApp() { return this; }
  bool IsQuitting() const { return mQuitting; }

 protected:
  // Sets the full-screen choice; returns the new windowed flag.
  bool SetWindowedFromGame(bool fullScreen) override;

 private:
  // Takes the bridge out of the widget tree (which stops and shuts down the game) and deletes it.
  void RemoveBridge();

  IGame* mGame;
  IGameBridge* mBridge = nullptr;
  bool mQuitting = false;
};

}  // namespace KernelLibrary
