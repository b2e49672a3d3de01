// The control factory: object tables, creation and release, the shown list, images, fonts
// and sounds. Drawing and input dispatch are in FactoryDispatch.cpp.
#include "kernel/controls/Factory.h"

#include <algorithm>
#include <stdexcept>

#include "framework/core/Common.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/ImageFont.h"
#include "framework/resources/PakInterface.h"
#include "framework/sound/MusicInterface.h"
#include "framework/sound/SoundInstance.h"
#include "framework/sound/SoundManager.h"
#include "kernel/controls/ButtonVO.h"
#include "kernel/controls/DialogVO.h"
#include "kernel/controls/HandleImpls.h"
#include "kernel/controls/SimpleVOs.h"
#include "kernel/controls/TextVOs.h"
#include "platform/Folders.h"
#include "platform/Window.h"

namespace ControlLibrary {

namespace {

Factory_impl* gFactory = nullptr;
// Whether the system's own mouse cursor is shown; one flag for the process.
bool gSystemCursorShown = true;

}  // namespace

void CreateControlFactory(Orvo::OrvoAppBase* app) {
  if (gFactory != nullptr) return;
  try {
    gFactory = new Factory_impl(app);
  } catch (...) {
    gFactory = nullptr;
  }
}

void DestroyControlFactory() {
  Factory_impl* factory = gFactory;
  if (factory == nullptr) return;
  delete factory;
  gFactory = nullptr;
}

Factory_impl* GetFactoryImpl() { return gFactory; }

ObjectsLock::ObjectsLock() : mCallbacks(TimeLibrary::GetTimeSystem()), mFactory(gFactory) {
  if (mFactory != nullptr) mFactory->Lock().lock();
}

ObjectsLock::~ObjectsLock() {
  if (mFactory != nullptr) mFactory->Lock().unlock();
}
IFactory* GetControlFactory() { return gFactory; }

Factory_impl::Factory_impl(Orvo::OrvoAppBase* app)
    : mApp(app),
      mObjects(kMaxObjects, nullptr),
      mImages(kMaxImages),
      mFonts(kMaxFonts),
      mPlayedSounds(kMaxSounds, nullptr),
      mSoundBackEnds(kMaxSounds, 0) {
  mVOIds.SetBase(1);
  mSoundIds.SetBase(1);
  if (app == nullptr || app->mWidgetManager == nullptr) throw std::runtime_error("no widget manager");
  mShown.reserve(kMaxObjects);
  if (TimeLibrary::ITimeSystem* time = TimeLibrary::GetTimeSystem()) {
    mTickTimer = time->CreateTimeObject(this, -1, 5);
    if (mTickTimer != nullptr) {
      mTickTimer->SetEndless(true);
      mTickTimer->Start(false, 0);
    }
  }
}

Factory_impl::~Factory_impl() {
  // The kernel deletes every time object before the factory; a factory destroyed on its own
  // still stops its tick first, so the timing thread never reaches a deleted factory.
  if (mTickTimer != nullptr) {
    if (TimeLibrary::ITimeSystem* time = TimeLibrary::GetTimeSystem()) time->DestroyTimeObject(mTickTimer);
  }
  // The objects still registered were never deleted by the game; they go with the factory.
  // Handles are deleted while the factory is still reachable, so their implementations
  // can give back what they hold.
  for (IBridgeToVO*& handle : mObjects) {
    IBridgeToVO* doomed = handle;
    handle = nullptr;
    if (doomed != nullptr) {
      mShown.erase(std::remove(mShown.begin(), mShown.end(), doomed), mShown.end());
      delete doomed;
    }
  }
  for (Orvo::SoundInstance*& instance : mPlayedSounds) {
    if (instance != nullptr) instance->Release();
    instance = nullptr;
  }
  for (FontRecord& record : mFonts) {
    delete record.font;
    record = {};
  }
  for (ImageRecord& record : mImages) {
    delete record.image;
    record = {};
  }
}

// ---- Handles ----

IFont* Factory_impl::CreateFont() { return new Font_impl(); }

void Factory_impl::ReleaseHandle(CommonLibrary::RefObj* handle) {
  if (handle == nullptr || handle->Release() > 0) return;
  if (mActiveToolTip == handle) mActiveToolTip = nullptr;
  if (mDefaultCursor == handle) mDefaultCursor = nullptr;
  if (mActiveCursor == handle) SetActiveCursor(nullptr);
  if (auto* sound = dynamic_cast<ISound*>(handle)) mSoundIds.GiveBack(sound->GetId());
  delete handle;
}

void Factory_impl::Release(IFont* font) { ReleaseHandle(font); }

IToolTip* Factory_impl::CreateToolTip() { return new ToolTip_impl(); }

void Factory_impl::Release(IToolTip* toolTip) { ReleaseHandle(toolTip); }

ICursor* Factory_impl::CreateCursor() { return new Cursor_impl(); }

void Factory_impl::Release(ICursor* cursor) { ReleaseHandle(cursor); }

ISound* Factory_impl::CreateSound() { return new Sound_impl(mSoundIds.Take()); }

// Counts down like the other handles: buttons that still hold the sound keep it playable.
void Factory_impl::ReleaseSound(ISound* sound) { ReleaseHandle(sound); }

// ---- Visual objects ----

bool Factory_impl::RegisterVO(IBridgeToVO* handle) {
  const std::uint32_t id = handle->GetId();
  if (id >= static_cast<std::uint32_t>(kMaxObjects) || mObjects[id] != nullptr) return false;
  mObjects[id] = handle;
  return true;
}

template <class Bridge>
Bridge* Factory_impl::MakeVO() {
  const std::uint32_t id = mVOIds.Take();
  auto* handle = new Bridge(id);
  if (!RegisterVO(handle)) {
    delete handle;
    // Only an id outside the table fails here: keep it taken, so the pool does not hand
    // it out again and again.
    return nullptr;
  }
  return handle;
}

IRectVO* Factory_impl::CreateRectVO() { return MakeVO<RectVO_bridge>(); }
IImageVO* Factory_impl::CreateImageVO() { return MakeVO<ImageVO_bridge>(); }
IStringVO* Factory_impl::CreateStringVO() { return MakeVO<StringVO_Bridge>(); }
ILinkVO* Factory_impl::CreateLinkVO() { return MakeVO<LinkVO_Bridge>(); }
IButtonVO* Factory_impl::CreateButtonVO() { return MakeVO<ButtonVO_bridge>(); }
ICheckBoxVO* Factory_impl::CreateCheckBoxVO() { return MakeVO<CheckBoxVO_bridge>(); }
IEditBoxVO* Factory_impl::CreateEditBoxVO() { return MakeVO<EditBoxVO_bridge>(); }
ITextBoxVO* Factory_impl::CreateTextBoxVO() { return MakeVO<TextBoxVO_bridge>(); }
IDialogVO* Factory_impl::CreateDialogVO() { return MakeVO<DialogVO_bridge>(); }

void Factory_impl::DeleteHandle(IBridgeToVO* handle) {
  if (handle == nullptr || handle->Release() > 0) return;
  // Hiding reports to observers, which may delete this object (or others) once more.
  DispatchGuard keep(this);
  // Hidden the ordinary way (its area repainted, hover left, a dialog's children and modal
  // group given back) while it is still registered.
  handle->GetImpl()->BeforeDelete();
  HideVO(handle);
  const std::uint32_t id = handle->GetId();
  if (id >= static_cast<std::uint32_t>(kMaxObjects) || mObjects[id] != handle) return;
  mObjects[id] = nullptr;
  ForgetVO(handle->GetImpl());
  mVOIds.GiveBack(id);
  // An object may be reporting to its observers right now; it goes once that returns (at
  // the latest when this call ends).
  mDeferredDeletes.push_back(handle);
}

void Factory_impl::DeleteVO(IDialogVO* vo) { DeleteHandle(static_cast<DialogVO_bridge*>(vo)); }
void Factory_impl::DeleteVO(ITextBoxVO* vo) { DeleteHandle(static_cast<TextBoxVO_bridge*>(vo)); }
void Factory_impl::DeleteVO(IEditBoxVO* vo) { DeleteHandle(static_cast<EditBoxVO_bridge*>(vo)); }
void Factory_impl::DeleteVO(ICheckBoxVO* vo) { DeleteHandle(static_cast<CheckBoxVO_bridge*>(vo)); }
void Factory_impl::DeleteVO(IButtonVO* vo) { DeleteHandle(static_cast<ButtonVO_bridge*>(vo)); }
void Factory_impl::DeleteVO(ILinkVO* vo) { DeleteHandle(static_cast<LinkVO_Bridge*>(vo)); }
void Factory_impl::DeleteVO(IStringVO* vo) { DeleteHandle(static_cast<StringVO_Bridge*>(vo)); }
void Factory_impl::DeleteVO(IImageVO* vo) { DeleteHandle(static_cast<ImageVO_bridge*>(vo)); }
void Factory_impl::DeleteVO(IRectVO* vo) { DeleteHandle(static_cast<RectVO_bridge*>(vo)); }

IBridgeToVO* Factory_impl::FindVO(std::uint32_t id) {
  if (id < static_cast<std::uint32_t>(kMaxObjects)) return mObjects[id];
  return nullptr;
}

bool Factory_impl::GiveBack(IVisibleObject* vo) {
  IBridgeToVO* handle = vo != nullptr ? FindVO(vo->GetId()) : nullptr;
  if (handle == nullptr || dynamic_cast<IVisibleObject*>(handle) != vo) return false;
  DeleteHandle(handle);
  return true;
}

void Factory_impl::ForgetVO(VisibleObject_impl* vo) {
  if (mHovered == vo) mHovered = nullptr;
  if (mFocused == vo) mFocused = nullptr;
  for (ModalGroup& group : mModalStack) {
    if (group.focus == vo) group.focus = nullptr;
    auto& list = group.disabled;
    list.erase(std::remove_if(list.begin(), list.end(), [&](IBridgeToVO* h) { return h->GetImpl() == vo; }),
               list.end());
  }
}

int Factory_impl::ShownIndexOf(IBridgeToVO* handle) const {
  auto it = std::find(mShown.begin(), mShown.end(), handle);
  return it == mShown.end() ? -1 : static_cast<int>(it - mShown.begin());
}

bool Factory_impl::ShowVO(IBridgeToVO* handle) {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  if (mShown.size() >= static_cast<std::size_t>(kMaxObjects) || ShownIndexOf(handle) >= 0) return false;
  const int layer = handle->GetLayer();
  auto at = std::find_if(mShown.begin(), mShown.end(), [&](IBridgeToVO* h) { return h->GetLayer() > layer; });
  mShown.insert(at, handle);
  return true;
}

bool Factory_impl::HideVO(IBridgeToVO* handle) {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  const int index = ShownIndexOf(handle);
  if (index < 0) return false;
  mShown.erase(mShown.begin() + index);
  return true;
}

void Factory_impl::SetVOVisible(std::uint32_t id, bool visible) {
  IBridgeToVO* handle = FindVO(id);
  if (handle == nullptr) return;
  if (visible) {
    ShowVO(handle);
    return;
  }
  {
    std::lock_guard<std::recursive_mutex> guard(mLock);
    handle->Update(mFillList);
    HideVO(handle);
    // The area it leaves must be painted over, even when nothing else changes.
    mRedrawRequest = true;
  }
  // A hidden object is no longer under the mouse: it gets its leave now and no further
  // press or click.
  VisibleObject_impl* vo = handle->GetImpl();
  if (mHovered == vo) {
    mHovered = nullptr;
    vo->OnMouseLeave();
  }
}

void Factory_impl::ResortVO(std::uint32_t id) {
  IBridgeToVO* handle = FindVO(id);
  if (handle == nullptr || !handle->GetImpl()->IsVisible()) return;
  {
    std::lock_guard<std::recursive_mutex> guard(mLock);
    if (ShownIndexOf(handle) < 0) return;
    handle->Update(mFillList);
    HideVO(handle);
    mRedrawRequest = true;
  }
  ShowVO(handle);
}

int Factory_impl::TopLayer() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  int top = 0;
  for (IBridgeToVO* h : mShown) top = std::max(top, h->GetLayer());
  return top;
}

int Factory_impl::ShownCount() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return static_cast<int>(mShown.size());
}

IBridgeToVO* Factory_impl::ShownAt(int index) {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return index >= 0 && index < static_cast<int>(mShown.size()) ? mShown[index] : nullptr;
}

void Factory_impl::SetFocusedVO(VisibleObject_impl* vo) {
  if (vo == mFocused) return;
  VisibleObject_impl* previous = mFocused;
  mFocused = vo;
  if (previous != nullptr && (vo == nullptr || previous->GetId() != vo->GetId())) previous->SetFocus(false);
}

void Factory_impl::ForgetFocus(VisibleObject_impl* vo) {
  if (mFocused == vo) mFocused = nullptr;
}

void Factory_impl::SetActiveToolTip(IToolTip* toolTip) { mActiveToolTip = toolTip; }

void Factory_impl::SetActiveCursor(ICursor* cursor) {
  if (cursor == nullptr) cursor = mDefaultCursor;
  mActiveCursor = cursor;
  const bool showSystem = cursor == nullptr;
  if (showSystem != gSystemCursorShown) {
    plat::ShowCursor(showSystem ? 1 : 0);
    gSystemCursorShown = showSystem;
  }
}

void Factory_impl::SetDefaultCursor(ICursor* cursor) {
  mDefaultCursor = cursor;
  if (cursor != nullptr && mActiveCursor == nullptr) SetActiveCursor(nullptr);
}

void Factory_impl::DisableForModal(std::uint32_t owner) {
  std::vector<IBridgeToVO*> disabled;
  {
    std::lock_guard<std::recursive_mutex> guard(mLock);
    for (IBridgeToVO* h : mShown) {
      VisibleObject_impl* vo = h->GetImpl();
      if (vo->IsEnabled() && vo->IsVisible() && !vo->IsModalExempt()) disabled.push_back(h);
    }
  }
  // The group takes no reference: an object deleted meanwhile leaves its group (ForgetVO)
  // and goes at once, off the screen, instead of living on until the dialog is hidden.
  VisibleObject_impl* focus = nullptr;
  for (IBridgeToVO* h : disabled)
    if (h->GetImpl() == mFocused) focus = mFocused;
  // Disabling the focused object takes the keys away from it (with its focus-lost report).
  DispatchGuard keep(this);
  for (IBridgeToVO* h : disabled) h->GetImpl()->SetEnabled(false);
  mModalStack.push_back({owner, std::move(disabled), focus});
}

bool Factory_impl::HasModalGroup(std::uint32_t owner) const {
  return std::any_of(mModalStack.begin(), mModalStack.end(), [&](const ModalGroup& g) { return g.owner == owner; });
}

void Factory_impl::RestoreAfterModal(std::uint32_t owner) {
  auto group = mModalStack.end();
  for (auto it = mModalStack.rbegin(); it != mModalStack.rend(); ++it) {
    if (owner == 0 || it->owner == owner) {
      group = std::prev(it.base());
      break;
    }
  }
  if (group == mModalStack.end()) return;
  std::vector<IBridgeToVO*> list = std::move(group->disabled);
  VisibleObject_impl* focus = group->focus;
  const bool top = std::next(group) == mModalStack.end();
  group = mModalStack.erase(group);
  if (!top) {
    // A dialog above this one is still shown: its group keeps these disabled.
    group->disabled.insert(group->disabled.end(), list.begin(), list.end());
    if (group->focus == nullptr) group->focus = focus;
    return;
  }
  DispatchGuard keep(this);
  for (IBridgeToVO* h : list) h->GetImpl()->SetEnabled(true);
  // The focus goes back where the dialog took it from, unless something else has it now.
  if (focus != nullptr && mFocused == nullptr && focus->CanTakeFocus()) focus->SetFocus(true);
}

void Factory_impl::AddPakFile(const std::string& directory, const std::string& pakName) {
  const std::string folder = plat::GetCurrentDirectory();
  if (!mApp->ChangeDirHook(folder)) plat::SetCurrentDirectoryA(folder.c_str());
  if (Orvo::PakInterface* pak = Orvo::FindPakInterface()) pak->AddPakFile(pakName);
}

std::string Factory_impl::GetAppDataFolder() { return Orvo::GetAppDataFolder(); }

void Factory_impl::AddKeybdSysObserver(KeybdSysMessageObserver* observer) {
  if (observer != nullptr) mKeyObservers.push_back(observer);
}

KeybdSysMessageObserver::~KeybdSysMessageObserver() {
  if (gFactory != nullptr) gFactory->RemoveKeybdSysObserver(this);
}

void Factory_impl::RemoveKeybdSysObserver(KeybdSysMessageObserver* observer) {
  if (observer == nullptr) return;
  for (std::size_t i = 0; i < mKeyObservers.size(); ++i)
    if (mKeyObservers[i] == observer) mKeyObservers[i] = nullptr;
  if (mKeyDispatchDepth == 0) CloseKeyObserverGaps();
}

void Factory_impl::CloseKeyObserverGaps() {
  // The answers of the last key-down move with their observers; one added since has none.
  std::vector<KeybdSysMessageObserver*> observers;
  std::vector<bool> wanted;
  for (std::size_t i = 0; i < mKeyObservers.size(); ++i) {
    if (mKeyObservers[i] == nullptr) continue;
    if (i < mKeyWanted.size()) wanted.push_back(mKeyWanted[i]);
    observers.push_back(mKeyObservers[i]);
  }
  mKeyObservers.swap(observers);
  mKeyWanted.swap(wanted);
}

// ---- Images ----

bool Factory_impl::FindOrLoadImage(const std::string& name, int* id) {
  if (name.empty()) return false;
  for (int i = 0; i < kMaxImages; ++i) {
    if (mImages[i].image != nullptr && mImages[i].name == name) {
      ++mImages[i].count;
      *id = i;
      return true;
    }
  }
  for (int i = 0; i < kMaxImages; ++i) {
    if (mImages[i].image != nullptr) continue;
    Orvo::Image* image = nullptr;
    try {
      image = mApp->LoadImageFile(name, true);
    } catch (...) {
      image = nullptr;
    }
    if (image == nullptr) return false;
    mImages[i] = {image, name, 1};
    *id = i;
    return true;
  }
  return false;
}

bool Factory_impl::ReleaseImage(int* id) {
  if (*id < 0 || *id >= kMaxImages) return false;
  ImageRecord& record = mImages[*id];
  *id = -1;
  if (record.image == nullptr) return false;
  if (--record.count == 0) {
    delete record.image;
    record = {};
  }
  return true;
}

Orvo::Image* Factory_impl::ImageAt(int id) const {
  if (id < 0 || id >= kMaxImages) return nullptr;
  return mImages[id].image;
}

bool Factory_impl::GetImageSize(int id, int* width, int* height) {
  Orvo::Image* image = ImageAt(id);
  if (image == nullptr) return false;
  *width = image->GetWidth();
  *height = image->GetHeight();
  return true;
}

std::string Factory_impl::GetImageName(int id) {
  return ImageAt(id) != nullptr ? mImages[id].name : std::string();
}

// ---- Fonts ----

int Factory_impl::FindOrLoadFont(const std::string& name) {
  if (name.empty()) return -1;
  for (int i = 0; i < kMaxFonts; ++i) {
    if (mFonts[i].font != nullptr && mFonts[i].name == name) {
      ++mFonts[i].count;
      return i;
    }
  }
  for (int i = 0; i < kMaxFonts; ++i) {
    if (mFonts[i].font != nullptr) continue;
    Orvo::ImageFont* font = nullptr;
    try {
      font = new Orvo::ImageFont(mApp, name);
    } catch (...) {
      return -1;
    }
    if (!font->mLoaded) {
      delete font;
      return -1;
    }
    mFonts[i] = {font, name, 1};
    return i;
  }
  return -1;
}

void Factory_impl::ReleaseFont(int* id) {
  if (*id < 0 || *id >= kMaxFonts) return;
  FontRecord& record = mFonts[*id];
  if (record.font != nullptr && --record.count == 0) {
    delete record.font;
    record = {};
  }
  *id = -1;
}

int Factory_impl::GetFontHeight(int id) {
  if (id < 0 || id >= kMaxFonts || mFonts[id].font == nullptr) return 0;
  return mFonts[id].font->GetHeight();
}

int Factory_impl::GetTextWidth(int id, const std::string& text) {
  if (id < 0 || id >= kMaxFonts || mFonts[id].font == nullptr) return 0;
  return mFonts[id].font->StringWidth(text);
}

// ---- Sounds ----

int Factory_impl::LoadSound(const std::string& name) {
  const std::uint32_t id = mSoundIds.Take();
  if (id < static_cast<std::uint32_t>(kMaxSounds)) {
    const int sid = static_cast<int>(id);
    if (mApp->mMusicInterface != nullptr && mApp->mMusicInterface->LoadMusic(sid, name)) {
      mSoundBackEnds[sid] = 1;
      return sid;
    }
    if (mApp->mSoundManager != nullptr && mApp->mSoundManager->LoadSoundAt(sid, name)) {
      mSoundBackEnds[sid] = 2;
      return sid;
    }
  }
  mSoundIds.GiveBack(id);
  return -1;
}

void Factory_impl::PlaySound(int id, bool loop) {
  if (id < 0 || id >= kMaxSounds) return;
  // Only a sound the manager loaded is asked of it: the manager's other ids hold sounds of
  // their own.
  Orvo::SoundInstance* instance = mSoundBackEnds[id] == 2 && mApp->mSoundManager != nullptr
                                      ? mApp->mSoundManager->GetSoundInstance(id)
                                      : nullptr;
  if (instance != nullptr) {
    // The instance is kept (not released when it ends), so later calls on the same id never
    // reach a freed instance; the one played before is given back now.
    if (mPlayedSounds[id] != nullptr) mPlayedSounds[id]->Release();
    mPlayedSounds[id] = instance;
    instance->Play(loop, false);
    return;
  }
  if (mApp->mMusicInterface != nullptr) mApp->mMusicInterface->PlayMusic(id, 0, !loop);
}

void Factory_impl::StopSound(int id) {
  if (id < 0 || id >= kMaxSounds) return;
  if (mPlayedSounds[id] != nullptr) {
    mPlayedSounds[id]->Stop();
  } else if (mApp->mMusicInterface != nullptr) {
    mApp->mMusicInterface->StopMusic(id);
  }
}

bool Factory_impl::IsSoundPlaying(int id) {
  if (id < 0 || id >= kMaxSounds) return false;
  if (mPlayedSounds[id] != nullptr) return mPlayedSounds[id]->IsPlaying();
  return mApp->mMusicInterface != nullptr && mApp->mMusicInterface->IsPlaying(id);
}

void Factory_impl::SetSoundVolume(int id, double volume) {
  if (id < 0 || id >= kMaxSounds) return;
  if (mPlayedSounds[id] != nullptr) {
    mPlayedSounds[id]->SetVolume(volume);
  } else if (mApp->mMusicInterface != nullptr) {
    mApp->mMusicInterface->SetSongVolume(id, volume);
  }
}

void Factory_impl::UnloadSound(int* id) {
  if (*id < 0 || *id >= kMaxSounds) {
    *id = -1;
    return;
  }
  if (mPlayedSounds[*id] != nullptr) {
    mPlayedSounds[*id]->Release();
    mPlayedSounds[*id] = nullptr;
  }
  // The back-end that loaded the sound unloads it, also when it was never played.
  if (mSoundBackEnds[*id] == 2) {
    if (mApp->mSoundManager != nullptr) mApp->mSoundManager->ReleaseSound(*id);
  } else if (mApp->mMusicInterface != nullptr) {
    mApp->mMusicInterface->UnloadMusic(*id);
  }
  mSoundBackEnds[*id] = 0;
  // Both back-ends' loads took the id from the pool, so it goes back either way.
  mSoundIds.GiveBack(static_cast<std::uint32_t>(*id));
  *id = -1;
}

}  // namespace ControlLibrary
