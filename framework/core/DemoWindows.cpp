// The demo player's windows: frame, buttons, the time field and the marker list.
#include "framework/core/DemoWindows.h"

#include <algorithm>

#include "framework/core/Demo.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/ImageAppLink.h"
#include "framework/graphics/SysFont.h"
#include "framework/widgets/EditWidget.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/Messages.h"
#include "platform/Time.h"

namespace Orvo {

DemoWindow::DemoWindow(const std::string& title, int width, int height) : mTitle(title) {
  Widget::Resize(0, 0, width, height);
  mHasAlpha = false;
}

DemoWindow::~DemoWindow() { delete mFont; }

Font* DemoWindow::GetFont() {
  if (mFont == nullptr) mFont = new SysFont(imageapp::ProcessApp(), "Tahoma", 8);
  return mFont;
}

void DemoWindow::Close(int result) {
  mResult = result;
  mDone = true;
}

bool DemoWindow::FindButton(int id, int* x, int* y) const {
  for (const Button& b : mButtons) {
    if (b.id != id) continue;
    *x = mX + b.x + b.width / 2;
    *y = mY + b.y + b.height / 2;
    return true;
  }
  return false;
}

void DemoWindow::Draw(Graphics* g) {
  Font* font = GetFont();
  g->SetColor(Color(236, 233, 216));
  g->FillRect(0, 0, mWidth, mHeight);
  g->SetColor(Color(0, 84, 227));
  g->FillRect(0, 0, mWidth, kTitleHeight);
  g->SetColor(Color(0, 0, 0));
  g->DrawRect(0, 0, mWidth - 1, mHeight - 1);
  g->SetFont(font);
  g->SetColor(Color(255, 255, 255));
  g->DrawString(mTitle, 6, (kTitleHeight - font->GetHeight()) / 2 + font->GetAscent());
  for (const Button& b : mButtons) {
    const bool down = b.id == mPressed;
    g->SetColor(down ? Color(200, 198, 186) : Color(245, 244, 238));
    g->FillRect(b.x, b.y, b.width, b.height);
    g->SetColor(Color(0, 60, 116));
    g->DrawRect(b.x, b.y, b.width - 1, b.height - 1);
    g->SetColor(Color(0, 0, 0));
    const int tx = b.x + (b.width - font->StringWidth(b.label)) / 2;
    g->DrawString(b.label, tx + (down ? 1 : 0), b.y + (b.height - font->GetHeight()) / 2 + font->GetAscent());
  }
}

void DemoWindow::MouseDownButton(int x, int y, int button, int clickCount) {
  mPressed = -1;
  for (const Button& b : mButtons)
    if (x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height) mPressed = b.id;
  MarkDirty();
}

void DemoWindow::MouseUpButton(int x, int y, int button, int clickCount) {
  const int pressed = mPressed;
  mPressed = -1;
  MarkDirty();
  for (const Button& b : mButtons)
    if (b.id == pressed && x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height) Command(b.id);
}

void DemoWindow::KeyDown(int key) {
  if (key == plat::VK_ESCAPE) Command(ID_CANCEL);
}

// ---- Jump To Time ----

JumpToTimeWindow::~JumpToTimeWindow() {
  RemoveWidget(mEdit);
  delete mEdit;
}

JumpToTimeWindow::JumpToTimeWindow(const std::string& text) : DemoWindow("Jump To Time", 300, 90) {
  mEdit = new EditWidget(false, false);
  mEdit->mMaxLength = 500;
  mEdit->SetText(text);
  mEdit->SelectAll();
  mEdit->mHasFocus = true;
  mEdit->mOnEnter = [this] { Command(ID_OK); };
  AddWidget(mEdit);
  mButtons = {{ID_OK, "Ok", 45, 58, 90, 22}, {ID_CANCEL, "Cancel", 150, 58, 90, 22}};
  Resize(mX, mY, mWidth, mHeight);
}

void JumpToTimeWindow::Resize(int x, int y, int width, int height) {
  DemoWindow::Resize(x, y, width, height);
  mEdit->Resize(8, kTitleHeight + 8, width - 16, 22);
}

std::string JumpToTimeWindow::GetText() const { return mEdit->GetText(); }

void JumpToTimeWindow::KeyChar(char c) { mEdit->KeyChar(c); }

void JumpToTimeWindow::KeyDown(int key) {
  if (key == plat::VK_RETURN) Command(ID_OK);
  else DemoWindow::KeyDown(key);
}

// ---- Marker List ----

MarkerListWindow::MarkerListWindow(std::vector<Entry> entries, int height)
    : DemoWindow("Marker List", 300, height), mEntries(std::move(entries)) {}

int MarkerListWindow::LineHeight() { return std::max(GetFont()->GetHeight() + 2, 1); }

int MarkerListWindow::VisibleLines() { return std::max((mHeight - ListTop() - 8) / LineHeight(), 1); }

bool MarkerListWindow::FindEntry(std::size_t index, int* x, int* y) {
  const int row = static_cast<int>(index) - mFirst;
  if (index >= mEntries.size() || row < 0 || row >= VisibleLines()) return false;
  *x = mX + 8 + 20;
  *y = mY + ListTop() + row * LineHeight() + LineHeight() / 2;
  return true;
}

void MarkerListWindow::Draw(Graphics* g) {
  DemoWindow::Draw(g);
  Font* font = GetFont();
  const int top = ListTop();
  g->SetColor(Color(255, 255, 255));
  g->FillRect(8, top, mWidth - 16, mHeight - top - 8);
  g->SetColor(Color(127, 157, 185));
  g->DrawRect(8, top, mWidth - 17, mHeight - top - 9);
  g->SetFont(font);
  const int lines = VisibleLines();
  for (int row = 0; row < lines && mFirst + row < static_cast<int>(mEntries.size()); ++row) {
    const int i = mFirst + row;
    const int y = top + row * LineHeight();
    if (i == mSelected) {
      g->SetColor(Color(49, 106, 197));
      g->FillRect(9, y, mWidth - 18, LineHeight());
    }
    g->SetColor(i == mSelected ? Color(255, 255, 255) : Color(0, 0, 0));
    g->DrawString(mEntries[static_cast<std::size_t>(i)].text, 12, y + 1 + font->GetAscent());
  }
}

void MarkerListWindow::MouseDownButton(int x, int y, int button, int clickCount) {
  if (x < 8 || x >= mWidth - 8 || y < ListTop()) return;
  const int i = mFirst + (y - ListTop()) / LineHeight();
  if (i < 0 || i >= static_cast<int>(mEntries.size())) return;
  mSelected = i;
  MarkDirty();
  if (clickCount >= 2) {
    mChosenTime = mEntries[static_cast<std::size_t>(i)].time;
    Close(ID_OK);
  }
}

void MarkerListWindow::MouseWheel(int delta) {
  const int last = std::max(static_cast<int>(mEntries.size()) - VisibleLines(), 0);
  mFirst = std::clamp(mFirst - delta, 0, last);
  MarkDirty();
}

// ---- The application's side ----

namespace {

int Clamp(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

int OrvoAppBase::RunDemoWindow(DemoWindow* window) {
  if (mWidgetManager == nullptr || mDemoWindow != nullptr) return DemoWindow::ID_CANCEL;
  window->Resize(Clamp(10, 0, std::max(mWidth - window->mWidth, 0)), Clamp(10, 0, std::max(mHeight - window->mHeight, 0)),
                 window->mWidth, window->mHeight);
  mWidgetManager->AddWidget(window);
  mWidgetManager->BringToFront(window);
  mDemoWindow = window;
  window->MarkDirty();
  ModalOpenHook();
  while (!window->IsDone() && !mQuit && !mShutdownRequested) {
    PumpWindowMessages();
    DrawFrame();
    plat::Sleep(10);
  }
  mDemoWindow = nullptr;
  mWidgetManager->RemoveWidget(window);
  ModalCloseHook();
  MarkAllDirty();
  ResetFrameClock(false);
  return window->GetResult();
}

bool OrvoAppBase::RouteToDemoWindow(UINT message, WPARAM wParam, LPARAM lParam) {
  DemoWindow* window = mDemoWindow;
  if (window == nullptr) return false;
  int x = plat::GET_X_LPARAM(lParam), y = plat::GET_Y_LPARAM(lParam);
  if (mWidgetManager != nullptr) mWidgetManager->MapPointToApp(&x, &y);
  x -= window->mX;
  y -= window->mY;
  switch (message) {
    case plat::WM_KEYDOWN: window->KeyDown(static_cast<int>(wParam)); return true;
    case plat::WM_KEYUP: window->KeyUp(static_cast<int>(wParam)); return true;
    case plat::WM_CHAR: window->KeyChar(static_cast<char>(wParam)); return true;
    case plat::WM_MOUSEWHEEL:
      window->MouseWheel(static_cast<std::int16_t>(plat::HIWORD(wParam)) / 120);
      return true;
    case plat::WM_LBUTTONDOWN: window->MouseDownButton(x, y, -1, 1); return true;
    case plat::WM_LBUTTONDBLCLK: window->MouseDownButton(x, y, -1, 2); return true;
    case plat::WM_LBUTTONUP: window->MouseUpButton(x, y, -1, 1); return true;
    case plat::WM_MOUSEMOVE:
    case plat::WM_RBUTTONDOWN:
    case plat::WM_RBUTTONUP:
    case plat::WM_RBUTTONDBLCLK:
    case plat::WM_MBUTTONDOWN:
    case plat::WM_MBUTTONUP:
    case plat::WM_MBUTTONDBLCLK:
      return true;
    case plat::WM_CLOSE:
      // Closing the program closes the window first; the close itself is still queued.
      window->Close(DemoWindow::ID_CANCEL);
      return false;
    default:
      return false;
  }
}

int OrvoAppBase::ShowJumpToTime() {
  if (!mPlayingDemo || mDemo == nullptr) return DemoWindow::ID_CANCEL;
  JumpToTimeWindow window(ReadDemoJumpTime());
  const int result = RunDemoWindow(&window);
  if (result == DemoWindow::ID_OK) {
    std::string text = window.GetText();
    if (text.size() > 500) text.resize(500);
    WriteDemoJumpTime(text);
    mDemoJumpTarget = Demo::JumpTargetFromTimeText(text, mDemo->GetDemoLength(), mUpdatePeriod);
  }
  return result;
}

int OrvoAppBase::ShowMarkerList() {
  if (!mPlayingDemo || mDemo == nullptr) return DemoWindow::ID_CANCEL;
  std::vector<MarkerListWindow::Entry> entries;
  for (const DemoMarker& marker : mDemo->GetMarkers())
    if (marker.mTime > mUpdateCount)
      entries.push_back({Demo::MarkerListText(marker, mDemo->GetDemoLength(), mUpdatePeriod), marker.mTime});
  MarkerListWindow window(std::move(entries), std::min(300, std::max(mHeight - 20, 80)));
  const int result = RunDemoWindow(&window);
  if (window.GetChosenTime() > mUpdateCount) mDemoJumpTarget = window.GetChosenTime();
  return result;
}

}  // namespace Orvo
