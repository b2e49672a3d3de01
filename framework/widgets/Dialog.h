// A movable, optionally modal box with a header, word-wrapped lines, a footer and up to two
// buttons; it reports its buttons to the application's DialogListener by dialog and button id.
#pragma once

#include <string>

#include "framework/graphics/Rect.h"
#include "framework/widgets/ButtonListener.h"
#include "framework/widgets/DialogListener.h"
#include "framework/widgets/Widget.h"

namespace Orvo {

class DialogButton;
class Font;
class Image;

// Captions of the dialog buttons, shared by every dialog of the process.
extern std::string DIALOG_YES_STRING;
extern std::string DIALOG_NO_STRING;
extern std::string DIALOG_OK_STRING;
extern std::string DIALOG_CANCEL_STRING;

class Dialog : public Widget, public ButtonListener {
 public:
  enum { BUTTONS_NONE = 0, BUTTONS_YES_NO = 1, BUTTONS_OK_CANCEL = 2, BUTTONS_FOOTER = 3 };
  enum { ID_YES = 1000, ID_NO = 1001, ID_OK = 1000, ID_CANCEL = 1001, ID_FOOTER = 1000 };
  enum {
    COLOR_HEADER,
    COLOR_LINES,
    COLOR_FOOTER,
    COLOR_BUTTON_TEXT,
    COLOR_BUTTON_TEXT_HILITE,
    COLOR_BKG,
    COLOR_OUTLINE
  };
  static constexpr int NO_RESULT = 0x7FFFFFFF;

  DialogListener* mDialogListener;
  Image* mComponentImage;
  DialogButton* mYesButton = nullptr;  // owned
  DialogButton* mNoButton = nullptr;   // owned
  std::string mHeader;
  std::string mFooter;
  std::string mLines;
  int mButtonMode;
  Font* mHeaderFont = nullptr;  // owned
  Font* mLinesFont = nullptr;   // owned
  int mLinesAlign = 0;
  int mExtraLineSpacing = 0;
  int mButtonHeight;
  Insets mBackgroundInsets;
  Insets mContentInsets{24, 24, 24, 24};
  int mSpaceAfterHeader = 10;
  bool mDragging = false;
  int mDragOffsetX = 0;
  int mDragOffsetY = 0;
  int mDialogId;
  bool mIsModal;
  int mResult = NO_RESULT;
  int mButtonSpacing = 8;
  int mButtonSidePadding = 0;

  Dialog(Image* componentImage, Image* buttonComponentImage, int id, bool isModal, const std::string& header,
         const std::string& lines, const std::string& footer, int buttonMode);
  ~Dialog() override;

  virtual void SetButtonFont(Font* font);
  virtual void SetHeaderFont(Font* font);
  virtual void SetLinesFont(Font* font);
  virtual int GetPreferredHeight(int width);
  virtual bool IsModal() { return mIsModal; }
  virtual int WaitForResult(bool autoClose = true);

  void AttachedToManager(WidgetManager* manager) override;
  void DetachedFromManager(WidgetManager* manager) override;
  void Update() override;
  void Draw(Graphics* g) override;
  void ZOrderChanged() override;
  void SetColor(int index, const Color& color) override;
  void Resize(int x, int y, int width, int height) override;
  void MouseDownButton(int x, int y, int button, int clickCount) override;
  void MouseUpButton(int x, int y, int button, int clickCount) override;
  void MouseDrag(int x, int y) override;

  using ButtonListener::ButtonPressed;
  void ButtonPressed(int id) override;
  void ButtonReleased(int id) override;

 private:
  void EnsureFonts();
};

}  // namespace Orvo
