// A widget: a tree node with visibility, focus, colours, insets, mouse state and the input
// callbacks the widget manager delivers, plus small text-drawing conveniences.
#pragma once

#include <string>
#include <vector>

#include "framework/graphics/Color.h"
#include "framework/graphics/Rect.h"
#include "framework/widgets/WidgetContainer.h"

namespace Orvo {

class Image;

// Key codes the widget layer reacts to itself.
enum {
  KEYCODE_TAB = 9,
  KEYCODE_SHIFT = 16,
  KEYCODE_CONTROL = 17,
  KEYCODE_PAGE_UP = 33,
  KEYCODE_PAGE_DOWN = 34,
  KEYCODE_END = 35,
  KEYCODE_HOME = 36,
  KEYCODE_UP = 38,
  KEYCODE_DOWN = 40,
};

// Mouse button codes seen by widgets.
enum { MOUSE_BUTTON_LEFT = -1, MOUSE_BUTTON_MIDDLE = 0, MOUSE_BUTTON_RIGHT = 1 };

class Widget : public WidgetContainer {
 public:
  int mHitPriority = 500;
  bool mVisible = true;
  bool mMouseVisible = true;
  bool mDisabled = false;
  bool mHasFocus = false;
  bool mIsDown = false;
  bool mIsOver = false;
  bool mHasTransparencies = false;
  std::vector<Color> mColors;
  Insets mInsets;
  bool mHandCursorOnHover = false;
  bool mWantsFocus = false;
  Widget* mTabPrev = nullptr;
  Widget* mTabNext = nullptr;

  Widget() = default;
  // A widget deleted while still in a tree leaves it first, so that no node or manager
  // keeps a pointer to it.
  ~Widget() override;

  virtual int GetHitPriority() { return mHitPriority; }
  virtual void SetHitPriority(unsigned short priority) { mHitPriority = priority; }
  virtual void ZOrderChanged() {}
  virtual void SetVisible(bool visible);
  virtual void SetColors(const int colors[][4], int numColors);
  virtual void SetColors(const int colors[][3], int numColors);
  virtual void SetColor(int index, const Color& color);
  virtual const Color& GetColor(int index, const Color& fallback);
  virtual const Color& GetColor(int index);
  virtual void SetDisabled(bool disabled);
  virtual void SetHandCursor(bool hand);
  virtual void ResizeRect(const Rect& rect);
  virtual void Resize(int x, int y, int width, int height);
  virtual void Move(int x, int y);
  virtual bool AcceptsFocus() { return mWantsFocus; }
  virtual void DrawOverlay(Graphics* g, int priority) { DrawOverlay(g); }
  virtual void DrawOverlay(Graphics* g) {}
  virtual void GotFocus() { mHasFocus = true; }
  virtual void LostFocus() { mHasFocus = false; }
  virtual void KeyChar(char c) {}
  virtual void KeyDown(int key);
  virtual void KeyUp(int key) {}
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}
  virtual void MouseMove(int x, int y) {}
  virtual void MouseDownButton(int x, int y, int button, int clickCount) {}
  // A press given as one signed count: 3 the middle button, -n the right button pressed n
  // times, any other n the left button.
  virtual void MouseDown(int x, int y, int clickCount);
  virtual void MouseUpButton(int x, int y, int button, int clickCount) {}
  virtual void MouseUp(int x, int y, int clickCount) { MouseUp(x, y); }
  virtual void MouseUp(int x, int y) {}
  virtual void MouseDrag(int x, int y) {}
  virtual void MouseWheel(int delta) {}
  // True for a widget that scrolls by the wheel whenever the mouse is over it; the wheel
  // otherwise goes to the focus widget.
  virtual bool TakesWheelUnderMouse() { return false; }
  virtual bool HitTestPoint(int x, int y) { return true; }
  // Draws a shadow copy displaced by the offset, then the text; returns the area of both.
  virtual Rect DrawCenteredLine(Graphics* g, int y, const std::string& text, const Color& color,
                                const Color& shadowColor, const Point& shadowOffset);
  // Draws the text centred in the widget's width at baseline y; returns its rectangle.
  virtual Rect DrawCenteredLine(Graphics* g, int y, const std::string& text);
  virtual int DrawTextAt(Graphics* g, const std::string& text, int x, int y, int width, int justification,
                         bool draw = true, int offset = 0, int length = -1);
  virtual int DrawWrappedText(Graphics* g, const Rect& rect, const std::string& text, int lineSpacing = -1,
                              int justification = -1);
  virtual int MeasureWrappedText(Graphics* g, int width, const std::string& text, int lineSpacing = -1);
  virtual int CountDigits(int number);
  virtual void DrawNumberFromStrip(Graphics* g, int number, int x, int y, Image* strip, int spacing = 0);
  virtual bool Contains(int x, int y);
  virtual Rect GetInnerRect();

  static const Color sDefaultColor;
};

}  // namespace Orvo
