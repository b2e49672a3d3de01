// The bridge widget between the framework's widget layer and the game's control factory.
#include "kernel/kernel/GameBridge.h"

#include "framework/core/OrvoAppBase.h"
#include "framework/widgets/WidgetManager.h"
#include "kernel/controls/Factory.h"

namespace KernelLibrary {

using ControlLibrary::GetFactoryImpl;

IGameBridge::IGameBridge(Orvo::OrvoAppBase* app, IGame* game) : mApp(app), mGame(game) {}

void IGameBridge::AttachedToManager(Orvo::WidgetManager* manager) {
  Orvo::Widget::AttachedToManager(manager);
  if (manager != nullptr) manager->SetFocus(this);
  if (mGame != nullptr) {
    // The game builds and shows its screens while timers may already run.
    ControlLibrary::ObjectsLock hold;
    mGame->Init();
    mGame->Start();
  }
  mStarted = true;
}

void IGameBridge::DetachedFromManager(Orvo::WidgetManager* manager) {
  Orvo::Widget::DetachedFromManager(manager);
  if (mGame == nullptr) return;
  // The game's timers and effects call it on the timing thread. Hold them off while it stops
  // and shuts down, so that no callback reaches objects being hidden or deleted.
  ControlLibrary::ObjectsLock hold;
  mGame->Stop();
  mGame->Shutdown();
}

void IGameBridge::UpdateF(float fraction) {
  if (mGame == nullptr || !mStarted) return;
  ControlLibrary::Factory_impl* factory = GetFactoryImpl();
  if (factory != nullptr && factory->TakeRedrawRequest()) MarkDirty();
}

void IGameBridge::Draw(Orvo::Graphics* g) {
  if (mApp != nullptr && mApp->mShutdownDone) return;
  if (ControlLibrary::Factory_impl* factory = GetFactoryImpl()) factory->DrawAll(g);
}

void IGameBridge::KeyChar(char c) {
  if (ControlLibrary::Factory_impl* factory = GetFactoryImpl()) factory->OnKeyChar(c);
}

void IGameBridge::KeyDown(int key) {
  if (ControlLibrary::Factory_impl* factory = GetFactoryImpl()) factory->OnKeyDown(key);
}

void IGameBridge::KeyUp(int key) {
  if (ControlLibrary::Factory_impl* factory = GetFactoryImpl()) factory->OnKeyUp(key);
}

void IGameBridge::MouseMove(int x, int y) {
  if (ControlLibrary::Factory_impl* factory = GetFactoryImpl()) factory->OnMouseMove(x, y);
}

void IGameBridge::MouseDownButton(int x, int y, int button, int clickCount) {
  if (ControlLibrary::Factory_impl* factory = GetFactoryImpl()) factory->OnMouseDown(x, y, button, clickCount);
}

void IGameBridge::MouseUpButton(int x, int y, int button, int clickCount) {
  if (ControlLibrary::Factory_impl* factory = GetFactoryImpl()) factory->OnMouseUp(x, y, button, clickCount);
}

void IGameBridge::MouseUp(int x, int y, int clickCount) {
  if (ControlLibrary::Factory_impl* factory = GetFactoryImpl()) factory->OnMouseUp(x, y, 0, clickCount);
}

}  // namespace KernelLibrary
