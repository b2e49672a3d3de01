// The handle that joins a visual object's implementation to the interface the game holds.
// The factory keeps it as IBridgeToVO; the game sees the kind's interface. The handle owns
// the implementation and deletes it with itself.
#pragma once

#include <cstdint>
#include <vector>

#include "kernel/controls/IVisibleObject.h"
#include "kernel/controls/VisibleObject.h"

namespace ControlLibrary {

class IBridgeToVO {
 public:
  virtual ~IBridgeToVO() = default;
  virtual VisibleObject_impl* GetImpl() = 0;
  virtual void Draw(void* unused) = 0;
  virtual void Update(std::vector<VORect>& fillList) = 0;
  virtual std::uint32_t GetId() = 0;
  virtual int GetLayer() = 0;
  virtual void AddRef() = 0;
  // Lowers the count when it is at least 1; never deletes.
  virtual int Release() = 0;
  virtual int GetRefCount() = 0;
};

template <class Interface, class Impl>
class BaseVO_bridge : public IBridgeToVO, public Interface {
 public:
  explicit BaseVO_bridge(Impl* impl) : mImpl(impl) {}
  ~BaseVO_bridge() override { delete mImpl; }
  BaseVO_bridge(const BaseVO_bridge&) = delete;
  BaseVO_bridge& operator=(const BaseVO_bridge&) = delete;

  // As the factory's handle.
  VisibleObject_impl* GetImpl() override { return mImpl; }
  void Draw(void*) override { mImpl->Draw(); }
  void Update(std::vector<VORect>& fillList) override { mImpl->Update(fillList); }
  std::uint32_t GetId() override { return mImpl->GetId(); }
  int GetLayer() override { return mImpl->GetLayer(); }
  void AddRef() override { ++mRefCount; }
  int Release() override {
    if (mRefCount >= 1) --mRefCount;
    return mRefCount;
  }
  int GetRefCount() override { return mRefCount; }

  // As the game's interface.
  void SetPosition(int x, int y) override { mImpl->SetPosition(VOPoint{x, y}); }
  void SetPosition(const VOPoint& p) override { mImpl->SetPosition(p); }
  VOPoint GetPosition() override { return mImpl->GetPosition(); }
  VOPoint GetScreenPosition() override { return mImpl->GetScreenPosition(); }
  void SetSize(int width, int height) override { mImpl->SetSize(VOSize{width, height}); }
  void SetSize(const VOSize& size) override { mImpl->SetSize(size); }
  VOSize GetSize() override { return mImpl->GetSize(); }
  void SetColor(const VOColor& color) override { mImpl->SetColor(color); }
  VOColor GetColor() override { return mImpl->GetColor(); }
  void SetAlignment(std::uint32_t h, std::uint32_t v) override { mImpl->SetAlignment(h, v); }
  VORect GetRect() override { return mImpl->GetRect(); }
  VORect GetScreenRect() override { return mImpl->GetScreenRect(); }
  void SetVisible(bool visible) override { mImpl->SetVisible(visible); }
  bool IsVisible() override { return mImpl->IsVisible(); }
  void SetShowWithParent(bool show) override { mImpl->SetShowWithParent(show); }
  bool GetShowWithParent() override { return mImpl->GetShowWithParent(); }
  void SetEnabled(bool enabled) override { mImpl->SetEnabled(enabled); }
  bool IsEnabled() override { return mImpl->IsEnabled(); }
  void SetLayer(std::uint16_t layer) override { mImpl->SetLayer(layer); }
  void SetCursor(ICursor* cursor) override { mImpl->SetCursor(cursor); }
  void SetToolTip(IToolTip* toolTip) override { mImpl->SetToolTip(toolTip); }
  IToolTip* GetToolTip() override { return mImpl->GetToolTip(); }
  void SetFocusable(bool focusable) override { mImpl->SetFocusable(focusable); }
  bool CanTakeFocus() override { return mImpl->CanTakeFocus(); }
  void SetFocus(bool focus) override { mImpl->SetFocus(focus); }
  bool HasFocus() override { return mImpl->HasFocus(); }
  void SetTag(std::uint16_t tag) override { mImpl->SetTag(tag); }
  void AddMouseObserver(MouseMessageObserver* o) override { mImpl->AddMouseObserver(o); }
  void AddKeybdObserver(KeybdMessageObserver* o) override { mImpl->AddKeybdObserver(o); }
  void SetModalExempt(bool exempt) override { mImpl->SetModalExempt(exempt); }
  bool IsModalExempt() override { return mImpl->IsModalExempt(); }
  void SetParent(IVisibleObject* parent) override { mImpl->SetParent(parent); }
  void SetUserData(std::uint32_t data) override { mImpl->SetUserData(data); }
  std::uint32_t GetUserData() override { return mImpl->GetUserData(); }

 protected:
  Impl* mImpl;
  std::int16_t mRefCount = 1;
};

}  // namespace ControlLibrary
