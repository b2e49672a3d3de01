// A push button that reports presses, releases, hover and held ticks to its listener by id;
// drawn plain (face and bevel) or from pictures for its normal, hover, pressed and disabled looks.
#pragma once

#include <string>

#include "framework/graphics/Rect.h"
#include "framework/widgets/ButtonListener.h"
#include "framework/widgets/Widget.h"

namespace Orvo {

class Font;
class Image;

class ButtonWidget : public Widget {
 public:
  enum { COLOR_LABEL, COLOR_LABEL_HILITE, COLOR_DARK_OUTLINE, COLOR_LIGHT_OUTLINE, COLOR_MEDIUM_OUTLINE, COLOR_BKG };
  enum { BUTTON_LABEL_CENTER = 0, BUTTON_LABEL_RIGHT = 1, BUTTON_LABEL_LEFT = -1 };

  int mId;
  std::string mLabel;
  int mLabelAlign = BUTTON_LABEL_CENTER;
  Font* mFont = nullptr;  // owned
  Image* mImage = nullptr;
  Image* mHoverImage = nullptr;
  Image* mPressedImage = nullptr;
  Image* mDisabledImage = nullptr;
  Rect mNormalRect;
  Rect mHoverRect;
  Rect mPressedRect;
  Rect mDisabledRect;
  bool mInverted = false;
  bool mNoDraw = false;
  bool mNoFrame = false;
  ButtonListener* mListener;
  double mHoverAlpha = 0;
  double mHoverFadeOutSpeed = 0;
  double mHoverFadeInSpeed = 0;

  ButtonWidget(int id, ButtonListener* listener);
  ~ButtonWidget() override;

  virtual void DrawButtonImage(Graphics* g, Image* image, const Rect& srcRect, int x, int y);
  // Keeps a duplicate of the font.
  virtual void SetFont(Font* font);
  virtual bool IsButtonDown();

  void Update() override;
  void Draw(Graphics* g) override;
  void SetDisabled(bool disabled) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void MouseMove(int x, int y) override;
  void MouseDownButton(int x, int y, int button, int clickCount) override;
  void MouseUpButton(int x, int y, int button, int clickCount) override;

  bool HaveHoverImage() const { return mHoverImage != nullptr || mHoverRect.mWidth != 0; }
  bool HavePressedImage() const { return mPressedImage != nullptr || mPressedRect.mWidth != 0; }
  bool HaveDisabledImage() const { return mDisabledImage != nullptr || mDisabledRect.mWidth != 0; }
  bool HaveNormalImage() const { return mImage != nullptr || mNormalRect.mWidth != 0; }

 protected:
  // Marks the button dirty on hover changes unless nothing about its look would change.
  void HoverChanged();
  Font* EnsureFont(int size, int script);
};

}  // namespace Orvo
