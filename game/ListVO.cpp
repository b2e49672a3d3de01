// The numbers column: pages of at most 17 rows, scrolled one row at a time by two arrows.
#include "game/ListVO.h"

#include <string>

#include "game/NumberMgr.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

namespace {

const char kArrowImage[] = "images/up_down.png";
constexpr std::uint16_t kArrowLayer = 500;
constexpr int kArrowWidth = 190;
constexpr int kArrowHeight = 39;

ControlLibrary::IButtonVO* MakeArrow(ControlLibrary::IFactory* factory, ControlLibrary::MouseMessageObserver* observer,
                                     ControlLibrary::ISound* click, int x, int y,
                                     const ControlLibrary::VORect (&rects)[4]) {
  ControlLibrary::IButtonVO* arrow = factory->CreateButtonVO();
  if (arrow == nullptr) return nullptr;
  arrow->SetPosition(x, y);
  arrow->AddMouseObserver(observer);
  arrow->SetLayer(kArrowLayer);
  const std::string images[4] = {kArrowImage, "", "", ""};
  arrow->SetImages(images);
  arrow->SetStateRects(rects);
  arrow->SetSize(kArrowWidth, kArrowHeight);
  arrow->SetSounds(nullptr, click, nullptr);
  return arrow;
}

void SetEnabled(ControlLibrary::IButtonVO* button, bool enabled) {
  if (button != nullptr) button->SetEnabled(enabled);
}

ListVO* gList = nullptr;

}  // namespace

ListVO& ListVO::Instance() {
  if (gList == nullptr) gList = new ListVO;
  return *gList;
}

void ListVO::DestroyInstance() {
  ListVO* going = gList;
  gList = nullptr;
  delete going;
}

ListVO::~ListVO() {
  ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory();
  if (factory == nullptr) return;
  factory->DeleteVO(upButton);
  factory->DeleteVO(downButton);
  factory->ReleaseSound(mClickSound);
}

ListVO::ListVO() {
  ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory();
  if (factory == nullptr) return;
  mClickSound = factory->CreateSound();
  if (mClickSound != nullptr) mClickSound->Load("sounds/click.wav");
  // Normal, hover, pressed, disabled: a disabled arrow has a muted face of its own, so that
  // it does not look like a hovered one.
  const ControlLibrary::VORect upRects[4] = {{4, 53, 190, 39}, {4, 5, 190, 39}, {4, 53, 190, 39}, {200, 53, 190, 39}};
  const ControlLibrary::VORect downRects[4] = {
      {5, 103, 190, 39}, {5, 152, 190, 39}, {5, 103, 190, 39}, {201, 103, 190, 39}};
  upButton = MakeArrow(factory, this, mClickSound, 816, 57, upRects);
  downButton = MakeArrow(factory, this, mClickSound, 816, 713, downRects);
}

void ListVO::HideAllRows() {
  for (NumberItem* item : mRows) {
    if (item->button != nullptr) item->button->SetVisible(false);
  }
}

void ListVO::Clear() {
  HideAllRows();
  mRows.clear();
}

void ListVO::AddRow(NumberItem* item) {
  if (item != nullptr) mRows.push_back(item);
}

void ListVO::ShowPageFrom(std::size_t first) {
  for (std::size_t i = first, j = 0; i < mRows.size() && j < kPageRows; ++i, ++j) {
    if (ControlLibrary::IButtonVO* button = mRows[i]->button) {
      button->SetPosition(kRowX, kFirstRowY + kRowStep * static_cast<int>(j));
      button->SetVisible(true);
    }
    if (i + 1 == mRows.size()) SetEnabled(downButton, false);
  }
}

void ListVO::ShowFirstPage() {
  HideAllRows();
  SetEnabled(upButton, false);
  SetEnabled(downButton, true);
  ShowPageFrom(0);
  if (mRows.empty()) SetEnabled(downButton, false);
  firstShown = 0;
}

void ListVO::ScrollDown() {
  if (mRows.size() < std::size_t{firstShown} + kPageRows) return;
  HideAllRows();
  ++firstShown;
  SetEnabled(upButton, true);
  SetEnabled(downButton, true);
  ShowPageFrom(firstShown);
}

void ListVO::ScrollUp() {
  if (firstShown == 0) return;
  HideAllRows();
  --firstShown;
  SetEnabled(upButton, firstShown != 0);
  SetEnabled(downButton, true);
  ShowPageFrom(firstShown);
}

void ListVO::OnMouseClick(std::uint32_t id, int button) {
  if (downButton != nullptr && id == downButton->GetId()) {
    ScrollDown();
  } else if (upButton != nullptr && id == upButton->GetId()) {
    ScrollUp();
  }
}

}  // namespace Doduderor
