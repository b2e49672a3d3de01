// The kernel's start and stop sequence and its process-wide globals.
#include "kernel/kernel/Kernel.h"

#include "kernel/controls/Factory.h"
#include "kernel/effects/IEffectSystem.h"
#include "kernel/kernel/MainApp.h"
#include "kernel/time/ITimeSystem.h"

namespace KernelLibrary {

namespace {

plat::HINSTANCE gInstance = nullptr;
MainApp* gMainApp = nullptr;

}  // namespace

MainApp* GetMainApp() { return gMainApp; }
plat::HINSTANCE GetKernelInstance() { return gInstance; }

bool KernelStart(plat::HINSTANCE instance, IGame* game) {
  if (gInstance != nullptr) KernelStop();
  gInstance = instance;
  TimeLibrary::CreateTimeSystem();
  gMainApp = new MainApp(game);
  gMainApp->Init();
  ControlLibrary::CreateControlFactory(gMainApp);
  if (ControlLibrary::GetControlFactory() == nullptr) return false;
  EffectLibrary::CreateEffectSystem();
  EffectLibrary::SetEffectTimeSystem(TimeLibrary::GetTimeSystem());
  TimeLibrary::StartTimerThread();
  gMainApp->Start();
  return true;
}

void KernelStop() {
  if (gMainApp == nullptr) return;
  TimeLibrary::StopTimerThread();
  EffectLibrary::DeleteAllEffects();
  TimeLibrary::DeleteAllTimeObjects();
  EffectLibrary::DestroyEffectSystem();
  ControlLibrary::DestroyControlFactory();
  TimeLibrary::DestroyTimeSystem();
  delete gMainApp;
  gMainApp = nullptr;
  gInstance = nullptr;
}

}  // namespace KernelLibrary
