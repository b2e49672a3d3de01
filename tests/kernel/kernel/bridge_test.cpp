// The bridge widget on its own: adding and removing it starts and stops the game, the
// factory's redraw request becomes the widget's dirty flag once, drawing stops with the
// shut-down, and input reaches the factory unchanged.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/MemoryImage.h"
#include "framework/widgets/WidgetManager.h"
#include "kernel/controls/Factory.h"
#include "kernel/kernel/GameBridge.h"
#include "tests/framework/core/AppSandbox.h"

namespace {

using namespace ControlLibrary;

struct LogGame : KernelLibrary::IGame, MouseMessageObserver {
  void SetSysApp(KernelLibrary::ISysApp*) override {}
  void Init() override { log.push_back("init"); }
  void Shutdown() override { log.push_back("shutdown"); }
  void Start() override { log.push_back("start"); }
  void Stop() override { log.push_back("stop"); }
  void GetTitle(std::string& out) override { out = "Bridge"; }
  void GetVersion(std::string& out) override { out = "1"; }
  void OnCloseRequest() override {}
  void OnMouseClick(std::uint32_t, int button) override { log.push_back("click " + std::to_string(button)); }
  std::vector<std::string> log;
};

class BridgeTest : public ::testing::Test {
 protected:
  BridgeTest() {
    app = std::make_unique<Orvo::OrvoAppBase>();
    CreateControlFactory(app.get());
    factory = GetFactoryImpl();
    bridge = std::make_unique<KernelLibrary::IGameBridge>(app.get(), &game);
    bridge->Resize(0, 0, 200, 100);
  }
  ~BridgeTest() override {
    DestroyControlFactory();
    bridge.reset();
    app.reset();
  }
  AppSandbox sandbox;
  std::unique_ptr<Orvo::OrvoAppBase> app;
  Factory_impl* factory = nullptr;
  LogGame game;
  std::unique_ptr<KernelLibrary::IGameBridge> bridge;
};

TEST_F(BridgeTest, AddingAndRemovingStartsAndStopsTheGame) {
  app->mWidgetManager->AddWidget(bridge.get());
  EXPECT_TRUE(bridge->IsStarted());
  app->mWidgetManager->RemoveWidget(bridge.get());
  EXPECT_EQ(game.log, (std::vector<std::string>{"init", "start", "stop", "shutdown"}));
}

TEST_F(BridgeTest, RedrawRequestIsTakenOnceAndOnlyOnceStarted) {
  IRectVO* vo = factory->CreateRectVO();
  vo->SetVisible(true);
  factory->OnTimerTick(0);
  bridge->mDirty = false;
  bridge->UpdateF(1.0f);  // not started yet: the request stays
  EXPECT_FALSE(bridge->mDirty);
  EXPECT_TRUE(factory->IsRedrawRequested());
  app->mWidgetManager->AddWidget(bridge.get());
  bridge->mDirty = false;
  bridge->UpdateF(1.0f);
  EXPECT_TRUE(bridge->mDirty);
  EXPECT_FALSE(factory->IsRedrawRequested());
  bridge->mDirty = false;
  bridge->UpdateF(1.0f);
  EXPECT_FALSE(bridge->mDirty);
  app->mWidgetManager->RemoveWidget(bridge.get());
}

TEST_F(BridgeTest, DrawingStopsOnceTheApplicationShutsDown) {
  IRectVO* vo = factory->CreateRectVO();
  vo->SetFillMode(1);
  vo->SetVisible(true);
  Orvo::MemoryImage canvas(static_cast<Orvo::OrvoAppBase*>(nullptr));
  std::vector<std::uint32_t> blank(40 * 40, 0xFF000000u);
  canvas.SetBits(blank.data(), 40, 40);
  Orvo::Graphics g(&canvas);
  app->mShutdownDone = true;
  bridge->Draw(&g);
  EXPECT_EQ(canvas.GetBits()[5 * 40 + 5] & 0xFFFFFF, 0u);
  app->mShutdownDone = false;
  bridge->Draw(&g);
  EXPECT_EQ(canvas.GetBits()[5 * 40 + 5] & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(BridgeTest, MouseUpWithoutButtonReportsButtonZero) {
  IRectVO* vo = factory->CreateRectVO();
  vo->SetVisible(true);
  vo->AddMouseObserver(&game);
  bridge->MouseMove(5, 5);
  bridge->MouseDownButton(5, 5, -1, 1);
  bridge->MouseUp(5, 5, 1);
  bridge->MouseUpButton(5, 5, 1, 1);
  EXPECT_EQ(game.log, (std::vector<std::string>{"click 0", "click 1"}));
}

}  // namespace
