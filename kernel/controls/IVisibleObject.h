// The handle interface the game holds for every visual object: position, size, colour,
// layer, visibility, focus and input observers. Each kind's interface extends it.
#pragma once

#include <cstdint>

#include "kernel/controls/Observers.h"
#include "kernel/controls/VOTypes.h"

namespace ControlLibrary {

class ICursor;
class IToolTip;

class IVisibleObject {
 public:
  virtual ~IVisibleObject() = default;
  virtual std::uint32_t GetId() = 0;
  virtual void AddRef() = 0;
  // Lowers the count when it is at least 1 and returns the new count; never deletes.
  virtual int Release() = 0;
  virtual void SetPosition(int x, int y) = 0;
  virtual void SetPosition(const VOPoint& p) = 0;
  // Relative to the parent.
  virtual VOPoint GetPosition() = 0;
  // Top-left corner on the screen.
  virtual VOPoint GetScreenPosition() = 0;
  virtual void SetSize(int width, int height) = 0;
  virtual void SetSize(const VOSize& size) = 0;
  virtual VOSize GetSize() = 0;
  virtual void SetColor(const VOColor& color) = 0;
  virtual VOColor GetColor() = 0;
  // 0 left or top, 1 centre, 2 right or bottom: which point of the rectangle the position names.
  virtual void SetAlignment(std::uint32_t horizontal, std::uint32_t vertical) = 0;
  // Stored position (relative to the parent) and size, without alignment.
  virtual VORect GetRect() = 0;
  virtual VORect GetScreenRect() = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool IsVisible() = 0;
  virtual void SetShowWithParent(bool show) = 0;
  virtual bool GetShowWithParent() = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool IsEnabled() = 0;
  virtual void SetLayer(std::uint16_t layer) = 0;
  // Own layer plus the parent's layer.
  virtual int GetLayer() = 0;
  virtual void SetCursor(ICursor* cursor) = 0;
  virtual void SetToolTip(IToolTip* toolTip) = 0;
  virtual IToolTip* GetToolTip() = 0;
  virtual void SetFocusable(bool focusable) = 0;
  // Focusable, visible and enabled.
  virtual bool CanTakeFocus() = 0;
  virtual void SetFocus(bool focus) = 0;
  virtual bool HasFocus() = 0;
  virtual void SetTag(std::uint16_t tag) = 0;
  virtual void AddMouseObserver(MouseMessageObserver* observer) = 0;
  virtual void AddKeybdObserver(KeybdMessageObserver* observer) = 0;
  virtual void SetModalExempt(bool exempt) = 0;
  virtual bool IsModalExempt() = 0;
  // Plain store; no reference is taken.
  virtual void SetParent(IVisibleObject* parent) = 0;
  virtual void SetUserData(std::uint32_t data) = 0;
  virtual std::uint32_t GetUserData() = 0;
};

}  // namespace ControlLibrary
