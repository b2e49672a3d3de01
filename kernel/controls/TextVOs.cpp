// Edit box: typing, erasing, focus reports and the caret blinking on the timing thread.
// Text box: paragraphs word-wrapped to the box's width and drawn one page at a time.
#include "kernel/controls/TextVOs.h"

#include <algorithm>

#include "kernel/controls/Factory.h"

namespace ControlLibrary {

// ---- Edit box ----

EditBoxVO_impl::EditBoxVO_impl(std::uint32_t id) : VisibleObject_impl(id) {
  mSize = {20, 20};
  mColor = {255, 255, 255};
  if (TimeLibrary::ITimeSystem* time = TimeLibrary::GetTimeSystem()) {
    mCaretTimer = time->CreateTimeObject(this, -1, 500);
    if (mCaretTimer != nullptr) mCaretTimer->SetEndless(true);
  }
}

EditBoxVO_impl::~EditBoxVO_impl() {
  if (mCaretTimer != nullptr) {
    if (TimeLibrary::ITimeSystem* time = TimeLibrary::GetTimeSystem()) time->DestroyTimeObject(mCaretTimer);
  }
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr) return;
  // Both looks' images are given back; the alternate ones are loaded by the same call.
  for (int& id : mImages)
    if (id >= 0) factory->ReleaseImage(&id);
  for (int& id : mAltImages)
    if (id >= 0) factory->ReleaseImage(&id);
  if (mFont != nullptr) factory->Release(mFont);
}

void EditBoxVO_impl::AddEditObserver(IEditBoxMsgObserver* observer) {
  if (std::find(mObservers.begin(), mObservers.end(), observer) == mObservers.end()) mObservers.push_back(observer);
}

void EditBoxVO_impl::SetFont(IFont* font) {
  ReplaceHandle(mFont, font);
  if (mFont != nullptr) MarkChanged(false);
}

void EditBoxVO_impl::SetText(const std::string& text) {
  mText = text;
  MarkChanged(false);
}

void EditBoxVO_impl::SetTextColor(const VOColor& color) {
  if (color == mTextColor) return;
  mTextColor = color;
  MarkChanged(false);
}

void EditBoxVO_impl::SetAlternateLook(bool alternate) {
  if (alternate == mAlternate) return;
  mAlternate = alternate;
  MarkChanged(false);
}

bool EditBoxVO_impl::SetImages(const std::string normal[3], const std::string alternate[3]) {
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr) return false;
  bool ok = false;
  auto load = [&](const std::string& name, int& slot) {
    int id = -1;
    ok = factory->FindOrLoadImage(name, &id);
    if (slot >= 0) factory->ReleaseImage(&slot);
    slot = ok ? id : -1;
  };
  for (int i = 0; i < 3; ++i) load(normal[i], mImages[i]);
  for (int i = 0; i < 3; ++i) load(alternate[i], mAltImages[i]);
  return ok;
}

void EditBoxVO_impl::SetImageRects(const VORect rects[3]) {
  for (int i = 0; i < 3; ++i) mRects[i] = rects[i];
}

void EditBoxVO_impl::Draw() {
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr) return;
  const VORect r = GetScreenRect();
  if (!mNoBackground) {
    const int left = mRects[0].width;
    const VORect parts[3] = {{r.x, r.y, left, r.height},
                             {r.x + left, r.y, r.width - 2 * left, r.height},
                             {r.x + r.width - left, r.y, left, r.height}};
    for (int i = 0; i < 3; ++i) {
      if (mAlternate && mAltImages[i] >= 0 && factory->DrawImage(mAltImages[i], mRects[i], parts[i])) continue;
      if (mImages[i] < 0 || !factory->DrawImage(mImages[i], mRects[i], parts[i]))
        factory->FillRectColour(parts[i], mColor);
    }
  }
  if (mFont == nullptr) return;
  factory->DrawText(mFont, mText, {r.x + r.width / 2 + mTextOffset.x, r.y + r.height / 2 + mTextOffset.y}, mTextColor,
                    kAlignCenter, kAlignCenter);
  if (!mCaretShown) return;
  const VOPoint centre = GetScreenCenter();
  const int x = centre.x + mFont->GetTextWidth(mText) / 2 + 1;
  const int half = r.height / 2 - 2;
  factory->DrawLineColour({x, centre.y + half}, {x, centre.y - half}, {0, 0, 0});
}

void EditBoxVO_impl::SetFocus(bool focus) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  VisibleObject_impl::SetFocus(focus);
  if (focus) {
    // A box that could not take the focus neither blinks nor reports that it gained it.
    if (!mFocused) return;
    if (mCaretTimer != nullptr && !mCaretTimer->IsRunning()) mCaretTimer->Start(false, 0);
    for (std::size_t i = 0; i < mObservers.size(); ++i) mObservers[i]->OnEditFocusGained(mId);
    return;
  }
  if (mCaretTimer != nullptr) mCaretTimer->Stop();
  mCaretShown = false;
  mChanged = true;
  for (std::size_t i = 0; i < mObservers.size(); ++i) mObservers[i]->OnEditFocusLost(mId);
}

void EditBoxVO_impl::OnTimerTick(std::uint32_t id) {
  mCaretShown = !mCaretShown;
  mChanged = true;
}

void EditBoxVO_impl::TellTextChanged() {
  for (std::size_t i = 0; i < mObservers.size(); ++i) mObservers[i]->OnTextChanged(mId);
}

void EditBoxVO_impl::OnKeyChar(char c) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  const int code = static_cast<unsigned char>(c);
  const bool full = mMaxLength < 0xFFFF && mText.size() >= mMaxLength;
  if (code >= 48 && code <= 122 && !full) {
    mText.push_back(c);
    TellTextChanged();
  }
  MarkChanged(false);
  VisibleObject_impl::OnKeyChar(c);
}

void EditBoxVO_impl::OnKeyDown(int key) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  if (key == 8) {
    if (!mText.empty()) {
      mText.pop_back();
      TellTextChanged();
    }
    MarkChanged(false);
  }
  VisibleObject_impl::OnKeyDown(key);
}

// ---- Text box ----

TextBoxVO_impl::~TextBoxVO_impl() { Clear(); }

void TextBoxVO_impl::AddLine(const std::string& text, IFont* font, std::uint32_t alignment, const VOColor& color) {
  if (font == nullptr) return;
  font->AddRef();
  mParagraphs.push_back({text, alignment, font, color});
  Layout();
}

void TextBoxVO_impl::Clear() {
  mPage = 0;
  mLines.clear();
  // Each paragraph's font reference is given back, so fonts go with their last user.
  Factory_impl* factory = GetFactoryImpl();
  for (Paragraph& p : mParagraphs) {
    if (factory != nullptr) factory->Release(p.font);
  }
  mParagraphs.clear();
}

void TextBoxVO_impl::SetSize(const VOSize& size) {
  VisibleObject_impl::SetSize(size);
  Layout();
}

bool TextBoxVO_impl::CanScrollDown() const {
  const int pageEnd = (mPage + 1) * mSize.height;
  return std::any_of(mLines.begin(), mLines.end(), [&](const Line& l) { return l.y > pageEnd; });
}

bool TextBoxVO_impl::ScrollDown() {
  if (!CanScrollDown()) return false;
  ++mPage;
  return true;
}

bool TextBoxVO_impl::ScrollUp() {
  if (mPage == 0) return false;
  --mPage;
  return true;
}

void TextBoxVO_impl::Layout() {
  mLines.clear();
  for (const Paragraph& p : mParagraphs) LayoutParagraph(p);
  MarkChanged(false);
}

void TextBoxVO_impl::EmitLine(const Paragraph& p, std::size_t from, std::size_t to) {
  Line line;
  line.text = p.text.substr(from, to - from);
  line.font = p.font;
  line.color = p.color;
  line.y = p.font->GetHeight();
  const int boxWidth = static_cast<std::uint16_t>(GetScreenRect().width);
  if (p.alignment == 1) line.x = boxWidth / 2 - p.font->GetTextWidth(line.text) / 2;
  if (p.alignment == 2) line.x = boxWidth - p.font->GetTextWidth(line.text);
  if (!mLines.empty()) line.y = mLines.back().y + mLines.back().font->GetHeight();
  mLines.push_back(std::move(line));
}

void TextBoxVO_impl::LayoutParagraph(const Paragraph& p) {
  const int width = static_cast<std::uint16_t>(GetScreenRect().width);
  if (mSize.width == 0 || mSize.height == 0 || p.text.empty()) return;
  const std::string& text = p.text;
  std::size_t start = 0;
  std::size_t space = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && i != text.size() - 1) {
      if (text[i] == ' ') {
        space = i;
      } else if (p.font->GetTextWidth(text.substr(start, i - start + 1)) > width) {
        const std::size_t end = space != 0 ? space : i;
        EmitLine(p, start, end);
        start = end;
        space = 0;
        // The scan resumes after the new line's first character.
        i = start;
      }
    } else {
      EmitLine(p, start, i + 1);
      start = i + 1;
      space = 0;
    }
  }
}

void TextBoxVO_impl::Draw() {
  Factory_impl* factory = GetFactoryImpl();
  if (!mVisible || factory == nullptr) return;
  const int height = mSize.height;
  const int pageStart = mPage * height;
  const int pageEnd = (mPage + 1) * height;
  auto first = std::find_if(mLines.begin(), mLines.end(), [&](const Line& l) { return l.y > pageStart; });
  if (first == mLines.end()) return;
  const VOPoint at = GetScreenPosition();
  const int firstHeight = first->font->GetHeight();
  for (auto it = first; it != mLines.end(); ++it) {
    if (it->y > pageEnd) continue;
    factory->DrawText(it->font, it->text, {at.x + it->x, at.y + (it->y - first->y) + firstHeight}, it->color,
                      kAlignLeftTop, kAlignLeftTop);
  }
}

}  // namespace ControlLibrary
