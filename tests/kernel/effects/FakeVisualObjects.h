// Stand-ins for the factory's visual objects: they only record what the effects do to them
// (position, visibility, size, source rectangle, text, references).
#pragma once

#include <string>
#include <vector>

#include "kernel/controls/IImageVO.h"
#include "kernel/controls/IStringVO.h"

template <typename Interface>
class FakeVisual : public Interface {
 public:
  std::uint32_t GetId() override { return 0; }
  void AddRef() override { ++refs; }
  int Release() override { return refs > 0 ? --refs : 0; }
  void SetPosition(int x, int y) override { SetPosition(ControlLibrary::VOPoint{x, y}); }
  void SetPosition(const ControlLibrary::VOPoint& p) override {
    if (!frozen) pos = p;
    positions.push_back(p);
  }
  ControlLibrary::VOPoint GetPosition() override { return pos; }
  ControlLibrary::VOPoint GetScreenPosition() override { return pos; }
  void SetSize(int w, int h) override { size = {w, h}; }
  void SetSize(const ControlLibrary::VOSize& s) override { size = s; }
  ControlLibrary::VOSize GetSize() override { return size; }
  void SetColor(const ControlLibrary::VOColor&) override {}
  ControlLibrary::VOColor GetColor() override { return {}; }
  void SetAlignment(std::uint32_t h, std::uint32_t v) override { align = {static_cast<int>(h), static_cast<int>(v)}; }
  ControlLibrary::VORect GetRect() override { return {pos.x, pos.y, size.width, size.height}; }
  ControlLibrary::VORect GetScreenRect() override { return GetRect(); }
  void SetVisible(bool v) override { visible = v; }
  bool IsVisible() override { return visible; }
  void SetShowWithParent(bool) override {}
  bool GetShowWithParent() override { return true; }
  void SetEnabled(bool) override {}
  bool IsEnabled() override { return true; }
  void SetLayer(std::uint16_t l) override { layer = l; }
  int GetLayer() override { return layer; }
  void SetCursor(ControlLibrary::ICursor*) override {}
  void SetToolTip(ControlLibrary::IToolTip*) override {}
  ControlLibrary::IToolTip* GetToolTip() override { return nullptr; }
  void SetFocusable(bool) override {}
  bool CanTakeFocus() override { return false; }
  void SetFocus(bool) override {}
  bool HasFocus() override { return false; }
  void SetTag(std::uint16_t) override {}
  void AddMouseObserver(ControlLibrary::MouseMessageObserver*) override {}
  void AddKeybdObserver(ControlLibrary::KeybdMessageObserver*) override {}
  void SetModalExempt(bool) override {}
  bool IsModalExempt() override { return false; }
  void SetParent(ControlLibrary::IVisibleObject*) override {}
  void SetUserData(std::uint32_t) override {}
  std::uint32_t GetUserData() override { return 0; }

  int refs = 1;
  bool frozen = false;  // refuses to move, as a blocked object does
  bool visible = false;
  int layer = 0;
  ControlLibrary::VOPoint pos;
  ControlLibrary::VOPoint align;
  ControlLibrary::VOSize size;
  std::vector<ControlLibrary::VOPoint> positions;
};

class FakeVO : public FakeVisual<ControlLibrary::IVisibleObject> {};

class FakeImageVO : public FakeVisual<ControlLibrary::IImageVO> {
 public:
  bool SetImage(const std::string& name, bool) override {
    image = name;
    return true;
  }
  void SetSourceRect(const ControlLibrary::VORect& r) override { source = r; }
  void SetRotation(double, const ControlLibrary::VOPoint&) override {}
  void SetRotationPoint(const ControlLibrary::VOPoint&) override {}
  std::string GetImageName() override { return image; }
  ControlLibrary::VORect GetSourceRect() override { return source; }

  std::string image;
  ControlLibrary::VORect source;
};

class FakeStringVO : public FakeVisual<ControlLibrary::IStringVO> {
 public:
  void SetFont(ControlLibrary::IFont*) override {}
  void SetText(const std::string& t) override { texts.push_back(t); }
  std::string GetText() override { return texts.empty() ? std::string() : texts.back(); }
  void SetShadow(bool) override {}
  void SetShadowOffset(std::uint16_t, std::uint16_t) override {}
  void SetShadowColor(const ControlLibrary::VOColor&) override {}

  std::vector<std::string> texts;
};
