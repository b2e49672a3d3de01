// A button drawn from one stretchable component image (or from rectangles of it per state).
#pragma once

#include "framework/widgets/ButtonWidget.h"

namespace Orvo {

class DialogButton : public ButtonWidget {
 public:
  Image* mComponentImage;  // not owned
  int mPressedOffsetX = 1;  // how far the look moves while pressed
  int mPressedOffsetY = 1;
  int mLabelOffsetX = 0;
  int mLabelOffsetY = 0;

  DialogButton(Image* componentImage, int id, ButtonListener* listener);

  void Draw(Graphics* g) override;
};

}  // namespace Orvo
