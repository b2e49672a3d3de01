// The timing thread and the main thread at work on the same visual objects: a move effect
// carries an image across while the main thread draws and moves the mouse over it, and a
// timer shows and hides a modal dialog while the main thread clicks its button. Built with
// ThreadSanitizer (scripts/test runs these so), any unguarded access is reported.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/MemoryImage.h"
#include "kernel/controls/Factory.h"
#include "kernel/effects/IEffectSystem.h"
#include "kernel/time/ITimeSystem.h"
#include "tests/framework/core/AppSandbox.h"

namespace {

using namespace ControlLibrary;
using Clock = std::chrono::steady_clock;

// The kernel's singletons in their start order, with the timing thread running.
class KernelThreads : public ::testing::Test {
 protected:
  KernelThreads() {
    TimeLibrary::CreateTimeSystem();
    app = std::make_unique<Orvo::OrvoAppBase>();
    CreateControlFactory(app.get());
    factory = GetFactoryImpl();
    EffectLibrary::CreateEffectSystem();
    EffectLibrary::SetEffectTimeSystem(TimeLibrary::GetTimeSystem());
    canvas = std::make_unique<Orvo::MemoryImage>(static_cast<Orvo::OrvoAppBase*>(nullptr));
    std::vector<std::uint32_t> blank(320 * 200, 0xFF000000u);
    canvas->SetBits(blank.data(), 320, 200);
    graphics = std::make_unique<Orvo::Graphics>(canvas.get());
    TimeLibrary::StartTimerThread();
  }
  ~KernelThreads() override {
    TimeLibrary::StopTimerThread();
    EffectLibrary::DeleteAllEffects();
    TimeLibrary::DeleteAllTimeObjects();
    EffectLibrary::DestroyEffectSystem();
    DestroyControlFactory();
    TimeLibrary::DestroyTimeSystem();
  }
  // Draws frames and moves the mouse, as the main loop would, until `done` or a second.
  void MainThreadUntil(const std::atomic<bool>& done, int x, int y) {
    const auto end = Clock::now() + std::chrono::seconds(1);
    while (!done && Clock::now() < end) {
      if (factory->TakeRedrawRequest()) factory->DrawAll(graphics.get());
      factory->OnMouseMove(x, y);
      factory->OnMouseMove(x + 1, y);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  AppSandbox sandbox;
  std::unique_ptr<Orvo::OrvoAppBase> app;
  Factory_impl* factory = nullptr;
  std::unique_ptr<Orvo::MemoryImage> canvas;
  std::unique_ptr<Orvo::Graphics> graphics;
};

struct Finished : EffectLibrary::EffectMessageObserver {
  void OnEffectFinished(std::uint32_t) override { done = true; }
  std::atomic<bool> done{false};
};

TEST_F(KernelThreads, AnEffectMovesAnImageWhileTheMainThreadDraws) {
  IImageVO* image = factory->CreateImageVO();
  image->SetSize(20, 20);
  image->SetColor({200, 0, 0});
  Finished observer;
  EffectLibrary::IState2MoveEffect* move =
      EffectLibrary::GetEffectSystem()->CreateState2MoveEffect(&observer, image, 200);
  move->SetStartPoint(0, 50);
  move->SetEndPoint(300, 50);
  move->SetHideOnStop(false);
  {
    ObjectsLock hold;  // the effect starts from the main thread, as the game's clicks do
    ASSERT_TRUE(move->Start(false, 0));
  }
  MainThreadUntil(observer.done, 150, 55);
  EXPECT_TRUE(observer.done);
  factory->DrawAll(graphics.get());
  EXPECT_EQ(image->GetPosition().x, 300);
  EffectLibrary::GetEffectSystem()->DestroyEffect(move);
  factory->DeleteVO(image);
}

// A one-shot timer shows a modal dialog over a button the main thread keeps clicking (the
// start screen opens its profiles dialog so); a second one hides it again.
struct DialogTimers : TimeLibrary::TimeObjectMessageObserver {
  void OnTimerFinished(std::uint32_t id) override {
    if (id == showTimer->GetId()) {
      dialog->SetVisible(true);
      hideTimer->Start(false, 0);
    } else {
      dialog->SetVisible(false);
      factory->DeleteVO(dialog);  // from the timing thread, children and modal group with it
      done = true;
    }
  }
  TimeLibrary::ITimeObject* showTimer = nullptr;
  TimeLibrary::ITimeObject* hideTimer = nullptr;
  IDialogVO* dialog = nullptr;
  Factory_impl* factory = nullptr;
  std::atomic<bool> done{false};
};

TEST_F(KernelThreads, ATimerShowsAndDeletesAModalDialogWhileTheMainThreadClicks) {
  IButtonVO* button = factory->CreateButtonVO();
  button->SetSize(60, 30);
  button->SetVisible(true);
  DialogTimers timers;
  timers.factory = factory;
  timers.dialog = factory->CreateDialogVO();
  IButtonVO* ok = factory->CreateButtonVO();
  timers.dialog->AddChild(ok);
  factory->DeleteVO(ok);  // the dialog's reference keeps it
  TimeLibrary::ITimeSystem* time = TimeLibrary::GetTimeSystem();
  timers.showTimer = time->CreateTimeObject(&timers, 50, 50);
  timers.hideTimer = time->CreateTimeObject(&timers, 100, 100);
  {
    ObjectsLock hold;
    timers.showTimer->Start(false, 0);
  }
  const auto end = Clock::now() + std::chrono::seconds(1);
  while (!timers.done && Clock::now() < end) {
    factory->OnMouseMove(10, 10);
    factory->OnMouseDown(10, 10, kMouseLeft, 1);
    factory->OnMouseUp(10, 10, kMouseLeft, 1);
    if (factory->TakeRedrawRequest()) factory->DrawAll(graphics.get());
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(timers.done);
  EXPECT_TRUE(button->IsEnabled());  // the modal group was given back
  EXPECT_EQ(factory->ModalDepth(), 0);
  factory->DeleteVO(button);
}

}  // namespace
