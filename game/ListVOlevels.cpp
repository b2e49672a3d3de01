// The level list of the level selection: rows for the ordinary maps, a filter per tab,
// paging one row per click and the preview and title of the chosen map.
#include "game/ListVOlevels.h"

#include <initializer_list>

#include "game/MapList.h"
#include "game/Player.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {

const VOColor kRowMadeColors[5] = {{0, 0, 0}, {252, 133, 133}, {203, 203, 192}, {203, 203, 192}, {0, 0, 0}};
// A shown row that a modal dialog disables keeps its black text.
const VOColor kRowShownColors[5] = {{0, 0, 0}, {252, 133, 133}, {203, 203, 192}, {0, 0, 0}, {0, 0, 0}};
// The chosen row is disabled and shows green.
const VOColor kRowChosenColors[5] = {{0, 0, 0}, {252, 133, 133}, {203, 203, 192}, {0, 128, 0}, {0, 0, 0}};
constexpr int kPreviewSize = 350;
// The arrows are children of the level dialog (600 x 600 about the screen point (400, 394),
// so its corner stands at (100, 94)): inside it, just above the first row and just below the
// last, where the dialog's picture leaves room for them.
constexpr ControlLibrary::VOPoint kUpArrowAt{8, 62};
constexpr ControlLibrary::VOPoint kDownArrowAt{7, 496};
const char* const kTutorialKind = "h";

std::unique_ptr<ListVOlevels>& Slot() {
  static std::unique_ptr<ListVOlevels> list;
  return list;
}

void SetArrowFace(IButtonVO* button, int x) {
  const std::string names[4] = {"images/up_down_1.png", "", "", ""};
  const VORect rects[4] = {{x, 2, 201, 40}, {x, 92, 201, 40}, {x, 47, 201, 40}, {x, 138, 201, 40}};
  button->SetImages(names);
  button->SetStateRects(rects);
}

}  // namespace

ListVOlevels& ListVOlevels::Instance() {
  std::unique_ptr<ListVOlevels>& list = Slot();
  if (!list) list.reset(new ListVOlevels());
  return *list;
}

void ListVOlevels::ResetForNewFactory() {
  ListVOlevels* list = Slot().get();
  if (list != nullptr && GetControlFactory() != nullptr) {
    // The controls stay with the factory: none may stay shown without the list.
    for (RowItem* row : list->rows) row->button->SetVisible(false);
    for (IVisibleObject* control : std::initializer_list<IVisibleObject*>{list->preview, list->title, list->upButton, list->downButton})
      control->SetVisible(false);
    list->ReleaseHandles();
  }
  Slot().reset();
}

void ListVOlevels::ReleaseHandles() {
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  if (clickSound != nullptr) factory->ReleaseSound(clickSound);
  if (rowFont != nullptr) factory->Release(rowFont);
  clickSound = nullptr;
  rowFont = nullptr;
}

ListVOlevels::ListVOlevels() {
  IFactory* factory = GetControlFactory();
  clickSound = factory->CreateSound();
  clickSound->Load("sounds/click.wav");
  rowFont = factory->CreateFont();
  rowFont->Load("fonts/a_BosaNova14.txt");

  upButton = factory->CreateButtonVO();
  upButton->SetPosition(kUpArrowAt);
  downButton = factory->CreateButtonVO();
  downButton->SetPosition(kDownArrowAt);
  int x = 10;
  for (IButtonVO* button : {upButton, downButton}) {
    button->SetAlignment(kAlignLeftTop, kAlignCenter);
    button->SetLayer(500);
    button->AddMouseObserver(this);
    SetArrowFace(button, x);
    button->SetSize(201, 40);
    button->SetSounds(nullptr, clickSound, nullptr);
    x = 226;
  }

  preview = factory->CreateImageVO();
  preview->SetAlignment(kAlignCenter, kAlignCenter);
  preview->SetLayer(100);
  preview->SetPosition(234, 110);
  preview->SetAlignment(kAlignLeftTop, kAlignLeftTop);

  title = factory->CreateStringVO();
  title->SetAlignment(kAlignCenter, kAlignCenter);
  title->SetFont(rowFont);
  title->SetColor({255, 255, 10});
  title->SetLayer(300);
  title->SetText("");
  title->SetColor({0, 0, 0});
  title->SetPosition(435, 60);
}

const char* ListVOlevels::TabFilter(int tab) {
  static const char* const kFilters[4] = {"a", "e", "m", "h"};
  return tab >= 0 && tab < 4 ? kFilters[tab] : "a";
}

std::string ListVOlevels::PreviewName(std::uint16_t mapIndex) {
  return "images/maps/" + std::to_string(mapIndex + 1) + ".png";
}

void ListVOlevels::Attach(IDialogVO* dialog, IButtonVO* play) {
  playButton = play;
  MapList& maps = MapList::Instance();
  for (std::size_t i = 0; i < maps.Count(); ++i) {
    const MapRecord& map = maps.At(static_cast<std::uint16_t>(i));
    if (map.kind == kTutorialKind) continue;
    RowItem* item = AcquireRow();
    item->inUse = 1;
    item->mapIndex = static_cast<std::uint16_t>(i);
    item->button->SetText(map.title);
    item->button->SetShowWithParent(false);
    dialog->AddChild(item->button);
    rows.push_back(item);
  }
  dialog->AddChild(preview);
  dialog->AddChild(upButton);
  dialog->AddChild(downButton);
  dialog->AddChild(title);
}

ListVOlevels::RowItem* ListVOlevels::AcquireRow() {
  for (const std::unique_ptr<RowItem>& item : pool)
    if (item->inUse == 0) return item.get();
  IButtonVO* button = GetControlFactory()->CreateButtonVO();
  button->SetLayer(500);
  button->SetSize(130, 27);
  button->SetTextOnly(true);
  IFont* const fonts[4] = {rowFont, nullptr, nullptr, nullptr};
  button->SetStateFonts(fonts);
  button->SetStateTextColors(kRowMadeColors);
  button->SetSounds(nullptr, clickSound, nullptr);
  button->SetAlignment(kAlignCenter, kAlignCenter);
  button->AddMouseObserver(this);
  pool.push_back(std::make_unique<RowItem>());
  pool.back()->button = button;
  return pool.back().get();
}

void ListVOlevels::ShowPreview(std::uint16_t mapIndex) {
  preview->SetImage(PreviewName(mapIndex), true);
  preview->SetSize(kPreviewSize, kPreviewSize);
  preview->SetVisible(true);
  title->SetText(MapList::Instance().At(mapIndex).title);
}

void ListVOlevels::Refresh(int newTab, std::uint16_t newOffset) {
  tab = newTab;
  offset = newOffset;
  for (RowItem* row : rows) row->button->SetVisible(false);
  const std::string filter = TabFilter(tab);
  const std::uint16_t chosen = GetCurrentPlayer(GetPlayerList())->mapIndex;
  MapList& maps = MapList::Instance();
  int match = 0;
  int slot = 0;
  bool more = false;
  for (RowItem* row : rows) {
    if (filter != "a" && maps.At(row->mapIndex).difficulty != filter) continue;
    if (match < offset) {
      ++match;
      continue;
    }
    if (match > offset + kRowsPerPage - 1) {
      more = true;
      continue;
    }
    ++match;
    IButtonVO* button = row->button;
    button->SetPosition(110, 95 + 40 * slot);
    button->SetVisible(true);
    button->SetEnabled(true);
    button->SetStateTextColors(row->mapIndex == chosen ? kRowChosenColors : kRowShownColors);
    if (row->mapIndex == chosen) {
      button->SetEnabled(false);
      ShowPreview(row->mapIndex);
    }
    ++slot;
  }
  downButton->SetEnabled(more);
  upButton->SetEnabled(offset > 0);
}

void ListVOlevels::SetShown(bool visible) {
  upButton->SetVisible(visible);
  downButton->SetVisible(visible);
  offset = 0;
  if (!visible)
    for (RowItem* row : rows) row->button->SetVisible(false);
  if (playButton != nullptr) playButton->SetEnabled(true);
}

void ListVOlevels::OnMouseClick(std::uint32_t id, int /*button*/) {
  for (RowItem* row : rows) {
    if (row->button->GetId() != id) continue;
    for (RowItem* other : rows) {
      other->button->SetEnabled(true);
      other->button->SetStateTextColors(kRowShownColors);
    }
    GetCurrentPlayer(GetPlayerList())->mapIndex = row->mapIndex;
    ShowPreview(row->mapIndex);
    row->button->SetStateTextColors(kRowChosenColors);
    row->button->SetEnabled(false);
    if (playButton != nullptr) playButton->SetEnabled(true);
    return;
  }
  if (id == downButton->GetId()) {
    if (static_cast<int>(rows.size()) - offset > kRowsPerPage - 1) Refresh(tab, static_cast<std::uint16_t>(offset + 1));
  } else if (id == upButton->GetId()) {
    if (offset > 0) Refresh(tab, static_cast<std::uint16_t>(offset - 1));
  }
}

}  // namespace Doduderor
