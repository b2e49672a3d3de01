// The level's numbers and their buttons, the three display modes, and placing a clicked
// number (or the only fitting one) into the field's selected line.
#include "game/NumberMgr.h"

#include <algorithm>

#include "game/FieldMgr.h"
#include "game/ListVO.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

namespace {

const char kFont[] = "fonts/a_BosaNova14.txt";
const char kClickSound[] = "sounds/click.wav";
constexpr std::uint16_t kModeButtonLayer = 650;
constexpr std::uint16_t kNumberButtonLayer = 500;

struct ModeButtonLook {
  ControlLibrary::VORect rects[4];
  int x, y;
};
// Normal, hover, pressed, disabled faces in "images/buttons.png" and the centre position.
const ModeButtonLook kModeButtonLooks[3] = {
    {{{181, 11, 80, 64}, {100, 10, 80, 64}, {9, 10, 80, 64}, {9, 10, 80, 64}}, 809, 312},
    {{{181, 133, 80, 64}, {100, 132, 80, 64}, {9, 132, 80, 64}, {9, 132, 80, 64}}, 810, 388},
    {{{181, 73, 80, 64}, {100, 72, 80, 64}, {9, 72, 80, 64}, {9, 72, 80, 64}}, 809, 460},
};

ControlLibrary::IFont* LoadFont(ControlLibrary::IFactory* factory) {
  ControlLibrary::IFont* font = factory->CreateFont();
  if (font != nullptr) font->Load(kFont);
  return font;
}

ControlLibrary::ISound* LoadSound(ControlLibrary::IFactory* factory, const char* name) {
  ControlLibrary::ISound* sound = factory->CreateSound();
  if (sound != nullptr) sound->Load(name);
  return sound;
}

void SetEnabled(ControlLibrary::IButtonVO* button, bool enabled) {
  if (button != nullptr) button->SetEnabled(enabled);
}

void SetVisible(ControlLibrary::IButtonVO* button, bool visible) {
  if (button != nullptr) button->SetVisible(visible);
}

std::string TextOf(const NumberItem* item) { return item->button != nullptr ? item->button->GetText() : std::string(); }

}  // namespace

bool NumberFitsPattern(const std::string& number, const std::string& pattern) {
  if (number.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != ' ' && pattern[i] != number[i]) return false;
  }
  return true;
}

namespace {

NumberMgr* gNumberMgr = nullptr;

}  // namespace

NumberMgr* NumberMgr::Instance() {
  if (gNumberMgr == nullptr) gNumberMgr = new NumberMgr;
  return gNumberMgr;
}

void NumberMgr::DestroyInstance() {
  NumberMgr* going = gNumberMgr;
  gNumberMgr = nullptr;
  delete going;
}

NumberMgr::~NumberMgr() {
  ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory();
  for (NumberItem* item : mItems) {
    if (factory != nullptr) factory->DeleteVO(item->button);
    delete item;
  }
  if (factory == nullptr) return;
  for (ControlLibrary::IButtonVO* button : mModeButtons) factory->DeleteVO(button);
  factory->ReleaseSound(mSlideSound);
  factory->ReleaseSound(mClickSound);
  if (mFont != nullptr) factory->Release(mFont);
}

void NumberMgr::LoadButtonHandles() {
  ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory();
  if (factory == nullptr) return;
  if (mFont == nullptr) mFont = LoadFont(factory);
  if (mClickSound == nullptr) mClickSound = LoadSound(factory, kClickSound);
}

void NumberMgr::CreateModeButtons() {
  ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory();
  if (factory == nullptr) return;
  LoadButtonHandles();
  ControlLibrary::IFont* font = mFont;
  ControlLibrary::ISound* click = mClickSound;
  const ControlLibrary::VOColor colors[5] = {{255, 255, 255}, {255, 255, 128}, {203, 203, 192}, {0, 0, 0}, {0, 0, 0}};
  for (int mode = 0; mode < 3; ++mode) {
    ControlLibrary::IButtonVO* button = factory->CreateButtonVO();
    mModeButtons[mode] = button;
    if (button == nullptr) continue;
    button->SetAlignment(ControlLibrary::kAlignCenter, ControlLibrary::kAlignCenter);
    button->SetLayer(kModeButtonLayer);
    ControlLibrary::IFont* const fonts[4] = {font, nullptr, nullptr, nullptr};
    button->SetStateFonts(fonts);
    const std::string images[4] = {"images/buttons.png", "", "", ""};
    button->SetImages(images);
    button->SetStateTextColors(colors);
    button->SetSounds(nullptr, click, nullptr);
    button->SetTextOffset(0, -5);
    button->AddMouseObserver(this);
    button->SetStateRects(kModeButtonLooks[mode].rects);
    button->SetSize(80, 64);
  }
  mSlideSound = LoadSound(factory, "sounds/slide.wav");
  for (int mode = 0; mode < 3; ++mode) {
    if (mModeButtons[mode] != nullptr) mModeButtons[mode]->SetPosition(kModeButtonLooks[mode].x, kModeButtonLooks[mode].y);
  }
}

void NumberMgr::Clear() {
  for (NumberItem* item : mItems) {
    item->inPlay = false;
    item->used = false;
    SetEnabled(item->button, true);
    SetVisible(item->button, false);
  }
  mNumbers.clear();
}

void NumberMgr::AddNumber(const std::string& number) {
  auto it = mNumbers.begin();
  for (; it != mNumbers.end(); ++it) {
    if (it->size() > number.size() || (it->size() == number.size() && *it > number)) break;
  }
  mNumbers.insert(it, number);
}

NumberItem* NumberMgr::AcquireItem() {
  for (NumberItem* item : mItems) {
    if (!item->inPlay) return item;
  }
  auto* item = new NumberItem;
  if (ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory()) {
    LoadButtonHandles();
    ControlLibrary::IFont* font = mFont;
    ControlLibrary::ISound* click = mClickSound;
    if (ControlLibrary::IButtonVO* button = factory->CreateButtonVO()) {
      button->SetLayer(kNumberButtonLayer);
      button->SetSize(150, 27);
      button->SetTextOnly(true);
      ControlLibrary::IFont* const fonts[4] = {font, nullptr, nullptr, nullptr};
      button->SetStateFonts(fonts);
      const ControlLibrary::VOColor colors[5] = {
          {0, 0, 0}, {252, 133, 133}, {203, 203, 192}, {203, 203, 192}, {0, 0, 0}};
      button->SetStateTextColors(colors);
      button->SetAlignment(ControlLibrary::kAlignCenter, ControlLibrary::kAlignCenter);
      button->AddMouseObserver(this);
      button->SetSounds(nullptr, click, nullptr);
      item->button = button;
    }
  }
  mItems.push_back(item);
  return item;
}

void NumberMgr::Build() {
  ListVO& list = ListVO::Instance();
  list.Clear();
  for (const std::string& number : mNumbers) {
    NumberItem* item = AcquireItem();
    if (item->button != nullptr) item->button->SetText(number);
    item->inPlay = true;
    list.AddRow(item);
  }
}

void NumberMgr::SetActive(bool on) {
  ListVO& list = ListVO::Instance();
  if (on) {
    for (ControlLibrary::IButtonVO* button : mModeButtons) {
      SetVisible(button, true);
      SetEnabled(button, true);
    }
    SetEnabled(mModeButtons[mMode], false);
    SetVisible(list.upButton, true);
    SetVisible(list.downButton, true);
    list.firstShown = 0;
    return;
  }
  Clear();
  SetVisible(list.upButton, false);
  SetVisible(list.downButton, false);
  list.firstShown = 0;
  list.Clear();
  for (ControlLibrary::IButtonVO* button : mModeButtons) SetVisible(button, false);
}

void NumberMgr::ShowCandidates(const std::string& pattern) {
  ListVO& list = ListVO::Instance();
  list.Clear();
  mPattern = pattern;
  for (NumberItem* item : mItems) {
    if (!item->inPlay) continue;
    const std::string text = TextOf(item);
    if (text.size() != pattern.size()) continue;
    if (mMode == kModeUnused && item->used) continue;
    if (mMode == kModeFitting && (item->used || !NumberFitsPattern(text, pattern))) continue;
    list.AddRow(item);
  }
  list.ShowFirstPage();
}

bool NumberMgr::TryPlace(NumberItem* item) {
  item->used = true;
  SetEnabled(item->button, false);
  const ControlLibrary::VOPoint from = item->button != nullptr ? item->button->GetPosition() : ControlLibrary::VOPoint{};
  if (FieldMgr::Instance()->PlaceNumber(TextOf(item), from)) return true;
  item->used = false;
  SetEnabled(item->button, true);
  return false;
}

void NumberMgr::FastInsert(const std::string& pattern) {
  std::vector<NumberItem*> candidates;
  for (NumberItem* item : mItems) {
    if (item->inPlay && !item->used && NumberFitsPattern(TextOf(item), pattern)) candidates.push_back(item);
  }
  if (candidates.empty()) return;
  const std::string first = TextOf(candidates.front());
  for (NumberItem* item : candidates) {
    if (TextOf(item) != first) return;
  }
  if (!TryPlace(candidates.front())) return;
  if (mSlideSound != nullptr) mSlideSound->Play(false);
  mPattern = first;
  ShowCandidates(mPattern);
}

// Only items of the current level count: an item left over from a larger level keeps its
// old text, and taking it would accept a crossing line whose number this level lacks.
bool NumberMgr::SetUsed(const std::string& number) {
  for (NumberItem* item : mItems) {
    if (item->inPlay && !item->used && TextOf(item) == number) {
      item->used = true;
      SetEnabled(item->button, false);
      return true;
    }
  }
  return false;
}

bool NumberMgr::HasFree(const std::string& number) const {
  return std::any_of(mItems.begin(), mItems.end(),
                     [&](const NumberItem* item) { return item->inPlay && !item->used && TextOf(item) == number; });
}

bool NumberMgr::SetUnused(const std::string& number) {
  for (NumberItem* item : mItems) {
    if (item->inPlay && item->used && TextOf(item) == number) {
      item->used = false;
      SetEnabled(item->button, true);
      return true;
    }
  }
  return false;
}

void NumberMgr::SelectMode(std::uint32_t mode) {
  mMode = mode;
  for (std::uint32_t m = 0; m < 3; ++m) SetEnabled(mModeButtons[m], m != mode);
  ShowCandidates(mPattern);
}

void NumberMgr::OnMouseClick(std::uint32_t id, int button) {
  bool handled = false;
  for (std::uint32_t mode = 0; mode < 3 && !handled; ++mode) {
    if (mModeButtons[mode] != nullptr && mModeButtons[mode]->GetId() == id) {
      SelectMode(mode);
      handled = true;
    }
  }
  for (std::size_t i = 0; i < mItems.size() && !handled; ++i) {
    NumberItem* item = mItems[i];
    if (item->button == nullptr || item->button->GetId() != id) continue;
    handled = true;
    if (TryPlace(item)) {
      if (mSlideSound != nullptr) mSlideSound->Play(false);
      ShowCandidates(mPattern);
    }
  }
  ListVO::Instance().ShowFirstPage();
}

}  // namespace Doduderor
