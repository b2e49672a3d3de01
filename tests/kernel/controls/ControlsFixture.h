// Test helpers for the control library: a factory on a headless application (never
// started), a canvas to draw frames on, and an observer that logs what it is told.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/MemoryImage.h"
#include "kernel/controls/Factory.h"
#include "tests/framework/core/AppSandbox.h"

namespace controls_test {

class Recorder : public ControlLibrary::MouseMessageObserver, public ControlLibrary::KeybdMessageObserver {
 public:
  void OnMouseDown(std::uint32_t id, int button) override { Add("down", id, button); }
  void OnMouseClick(std::uint32_t id, int button) override { Add("click", id, button); }
  void OnMouseEnter(std::uint32_t id) override { Add("enter", id); }
  void OnMouseLeave(std::uint32_t id) override { Add("leave", id); }
  void OnKeyChar(std::uint32_t id, char c) override { Add("char", id, c); }
  void OnKeyDown(std::uint32_t id, int key) override { Add("keydown", id, key); }
  void OnKeyUp(std::uint32_t id, int key) override { Add("keyup", id, key); }

  void Add(const char* what, std::uint32_t id, int value = 0) {
    log.push_back(std::string(what) + " " + std::to_string(id) + (value != 0 ? " " + std::to_string(value) : ""));
  }
  std::vector<std::string> log;
};

class FactoryTest : public ::testing::Test {
 protected:
  FactoryTest() {
    app = std::make_unique<Orvo::OrvoAppBase>();
    ControlLibrary::CreateControlFactory(app.get());
    factory = ControlLibrary::GetFactoryImpl();
    canvas = std::make_unique<Orvo::MemoryImage>(static_cast<Orvo::OrvoAppBase*>(nullptr));
    std::vector<std::uint32_t> blank(200 * 150, 0xFF102030u);
    canvas->SetBits(blank.data(), 200, 150);
    graphics = std::make_unique<Orvo::Graphics>(canvas.get());
  }
  ~FactoryTest() override {
    ControlLibrary::DestroyControlFactory();
    app.reset();
  }
  // The canvas pixel as 0xRRGGBB.
  std::uint32_t Pixel(int x, int y) { return canvas->GetBits()[y * 200 + x] & 0xFFFFFF; }
  void Frame() { factory->DrawAll(graphics.get()); }

  AppSandbox sandbox;
  std::unique_ptr<Orvo::OrvoAppBase> app;
  ControlLibrary::Factory_impl* factory = nullptr;
  std::unique_ptr<Orvo::MemoryImage> canvas;
  std::unique_ptr<Orvo::Graphics> graphics;
};

}  // namespace controls_test
