// Headless fixture for the game's screens and dialogs: an application that is never
// started, the time system (ticked by hand, no timing thread) and the control factory,
// with input fed straight into the factory's dispatch.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "framework/core/OrvoAppBase.h"
#include "kernel/controls/Factory.h"
#include "kernel/time/TimeSystem_impl.h"
#include "tests/framework/core/AppSandbox.h"

namespace game_test {

class ScreenTest : public ::testing::Test {
 protected:
  ScreenTest() {
    app = std::make_unique<Orvo::OrvoAppBase>();
    TimeLibrary::CreateTimeSystem();
    ControlLibrary::CreateControlFactory(app.get());
    factory = ControlLibrary::GetFactoryImpl();
  }
  ~ScreenTest() override {
    ControlLibrary::DestroyControlFactory();
    TimeLibrary::DeleteAllTimeObjects();
    TimeLibrary::DestroyTimeSystem();
    app.reset();
  }

  // Advances every running time object by `steps` periods of 5 ms.
  static void Tick(int steps = 1) {
    auto* time = static_cast<TimeLibrary::TimeSystem_impl*>(TimeLibrary::GetTimeSystem());
    for (int i = 0; i < steps; ++i) time->TickTimeObjects();
  }
  // A left click at the centre of the object's rectangle on the screen.
  void ClickOn(ControlLibrary::IVisibleObject* vo) {
    const ControlLibrary::VORect r = vo->GetScreenRect();
    const int x = r.x + r.width / 2;
    const int y = r.y + r.height / 2;
    factory->OnMouseMove(x, y);
    factory->OnMouseDown(x, y, ControlLibrary::kMouseLeft, 1);
    factory->OnMouseUp(x, y, ControlLibrary::kMouseLeft, 1);
  }
  void PressKey(int key) {
    factory->OnKeyDown(key);
    factory->OnKeyUp(key);
  }

  AppSandbox sandbox;
  std::unique_ptr<Orvo::OrvoAppBase> app;
  ControlLibrary::Factory_impl* factory = nullptr;
};

}  // namespace game_test
