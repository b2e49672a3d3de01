// The one widget through which the framework drives the game: being added starts the game
// and being removed stops it; each update hands the factory's redraw request to the widget
// layer, each frame draws the factory's objects, and input goes to the factory's dispatch.
#pragma once

#include "framework/widgets/Widget.h"
#include "kernel/kernel/IGame.h"

namespace Orvo {
class OrvoAppBase;
}

namespace KernelLibrary {

class IGameBridge : public Orvo::Widget {
 public:
  IGameBridge(Orvo::OrvoAppBase* app, IGame* game);

  void AttachedToManager(Orvo::WidgetManager* manager) override;
  void DetachedFromManager(Orvo::WidgetManager* manager) override;
  void UpdateF(float fraction) override;
  void Draw(Orvo::Graphics* g) override;
  void KeyChar(char c) override;
  void KeyDown(int key) override;
  void KeyUp(int key) override;
  void MouseEnter() override {}
  void MouseMove(int x, int y) override;
  void MouseDownButton(int x, int y, int button, int clickCount) override;
  void MouseUpButton(int x, int y, int button, int clickCount) override;
  void MouseUp(int x, int y, int clickCount) override;

  bool IsStarted() const { return mStarted; }

 private:
  Orvo::OrvoAppBase* mApp;
  IGame* mGame;
  bool mStarted = false;
};

}  // namespace KernelLibrary
