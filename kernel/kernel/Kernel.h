// Kernel start and stop: builds the time system, the application object, the control
// factory, the effect system and the timing thread around one game, runs the main loop,
// and tears everything down again in the reverse order.
#pragma once

#include "kernel/kernel/IGame.h"
#include "platform/Window.h"

namespace KernelLibrary {

class MainApp;

// Runs the game until the program ends. False only when no control factory could be built
// (then KernelStop must not be called); true after the main loop has ended.
bool KernelStart(plat::HINSTANCE instance, IGame* game);
// Stops the timing thread, deletes effects and time objects, then the effect system, the
// factory, the time system and the application object. Nothing when no application exists.
void KernelStop();

// The running application object, or null.
MainApp* GetMainApp();
// The instance handle held since the last start, or null.
plat::HINSTANCE GetKernelInstance();

}  // namespace KernelLibrary
