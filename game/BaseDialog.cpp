// The dialog base: builds the dialog object, places and shows it, and the handlers and
// control-making steps that every dialog of the game shares.
#include "game/BaseDialog.h"

#include "game/Options.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

using namespace ControlLibrary;

const VOColor kButtonTextColors[5] = {{0, 0, 0}, {252, 133, 133}, {203, 203, 192}, {203, 203, 192}, {0, 0, 0}};
const VOColor kButtonTextColorsBlackDisabled[5] = {
    {0, 0, 0}, {252, 133, 133}, {203, 203, 192}, {0, 0, 0}, {0, 0, 0}};

namespace {
constexpr int kDefaultDialogSize = 200;
constexpr std::uint16_t kDialogLayer = 1000;
constexpr int kKeyEscape = 27;
}  // namespace

BaseDialog::BaseDialog(DialogMessageObserver* owner) {
  IFactory* factory = GetControlFactory();
  dialog = factory->CreateDialogVO();
  dialog->SetAlignment(kAlignCenter, kAlignCenter);
  int width = 0;
  int height = 0;
  GetResolutionSize(width, height);
  dialog->SetPosition(width / 2, height / 2);
  dialog->SetSize(kDefaultDialogSize, kDefaultDialogSize);
  dialog->AddDialogObserver(this);
  dialog->SetLayer(kDialogLayer);
  dialog->SetNoBackground(false);
  if (owner != nullptr) dialog->AddDialogObserver(owner);
}

BaseDialog::~BaseDialog() {
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  // Deleting the dialog hides it and gives back its references on the controls.
  if (dialog != nullptr) factory->DeleteVO(dialog);
  dialog = nullptr;
}

void BaseDialog::Show(bool visible) {
  LayoutControls();
  dialog->SetVisible(visible);
}

bool BaseDialog::IsShown() const { return dialog->IsVisible(); }

void BaseDialog::CloseOnEscape(int key) {
  if (key == kKeyEscape) dialog->SetVisible(false);
}

bool BaseDialog::DialogWantsKeys() const { return dialog->IsVisible() && dialog->IsEnabled(); }

void BaseDialog::CloseOnButton(std::uint32_t senderId, int /*button*/) {
  if (hasFirstChild && senderId == firstChildId) dialog->SetVisible(false);
}

BaseDialog::Centre BaseDialog::GetCentre() const {
  const VORect rect = dialog->GetScreenRect();
  return {static_cast<std::int16_t>(rect.width / 2), static_cast<std::int16_t>(rect.height / 2), rect.height};
}

IFont* BaseDialog::LoadFont(const std::string& name) {
  IFont* font = GetControlFactory()->CreateFont();
  font->Load(name);
  return font;
}

ISound* BaseDialog::LoadSound(const std::string& name) {
  ISound* sound = GetControlFactory()->CreateSound();
  sound->Load(name);
  return sound;
}

void BaseDialog::DropFont(IFont* font) {
  if (font != nullptr) GetControlFactory()->Release(font);
}

void BaseDialog::DropSound(ISound* sound) {
  // The buttons that play it hold their own references.
  if (sound != nullptr) GetControlFactory()->ReleaseSound(sound);
}

IButtonVO* BaseDialog::MakeButton(IFont* font, ISound* click, const VOColor textColors[5], int width, int height,
                                  const std::string& text, std::uint16_t layer) {
  IButtonVO* button = GetControlFactory()->CreateButtonVO();
  button->SetAlignment(kAlignCenter, kAlignCenter);
  button->SetLayer(layer);
  IFont* const fonts[4] = {font, nullptr, nullptr, nullptr};
  button->SetStateFonts(fonts);
  button->SetSize(width, height);
  button->SetStateTextColors(textColors);
  button->SetSounds(nullptr, click, nullptr);
  button->SetText(text);
  button->AddMouseObserver(this);
  AddChild(button);
  return button;
}

void BaseDialog::UseDefaultFace(IButtonVO* button) {
  static const std::string kSheet[4] = {"images/btn_def.png", "", "", ""};
  static const VORect kRects[4] = {{613, 11, 114, 43}, {613, 117, 114, 43}, {613, 63, 114, 43}, {613, 170, 114, 43}};
  button->SetImages(kSheet);
  button->SetStateRects(kRects);
}

IStringVO* BaseDialog::MakeText(IFont* font, const VOColor& color, const std::string& text, std::uint16_t layer) {
  IStringVO* label = GetControlFactory()->CreateStringVO();
  label->SetFont(font);
  label->SetAlignment(kAlignCenter, kAlignCenter);
  label->SetLayer(layer);
  label->SetColor(color);
  label->SetText(text);
  AddChild(label);
  return label;
}

void BaseDialog::AddChild(IVisibleObject* child) {
  if (child == nullptr) return;
  if (!hasFirstChild) {
    hasFirstChild = true;
    firstChildId = child->GetId();
  }
  children.push_back(child);
  dialog->AddChild(child);
}

}  // namespace Doduderor
