// The two interfaces between the game and the application: IGame, which the game
// implements and the kernel drives, and ISysApp, through which the game reaches the
// application.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/Registry.h"

namespace KernelLibrary {

class ISysApp {
 public:
  virtual ~ISysApp() = default;
  // The application's width and height.
  virtual std::pair<int, int> GetSize() = 0;
  // Stores the size and fits the bridge widget to it.
  virtual void SetSize(int width, int height) = 0;
  // Returns the new windowed flag (the opposite of fullScreen).
  virtual bool SetWindowed(bool fullScreen) = 0;
  // Confirms the close: the next close request of the window ends the program.
  virtual std::intptr_t Quit() = 0;
  virtual bool RegistryRead(const std::string& valueName, std::uint32_t* type, void* data, std::uint32_t* length,
                            plat::HKEY root) = 0;
  virtual bool RegistryWrite(const std::string& valueName, std::uint32_t type, const void* data,
                             std::uint32_t length) = 0;
};

class IGame {
 public:
  virtual ~IGame() = default;
  // Called once, right after the framework's initialisation.
  virtual void SetSysApp(ISysApp* app) = 0;
  // Builds everything; called when the bridge widget is added.
  virtual void Init() = 0;
  // Saves and frees; called when the bridge widget is removed, after Stop.
  virtual void Shutdown() = 0;
  // Shows the first screen, after Init.
  virtual void Start() = 0;
  // Hides the screens, before Shutdown.
  virtual void Stop() = 0;
  virtual void GetTitle(std::string& out) = 0;
  virtual void GetVersion(std::string& out) = 0;
  // The user asked to close the window; the game confirms with ISysApp::Quit.
  virtual void OnCloseRequest() = 0;
};

}  // namespace KernelLibrary
