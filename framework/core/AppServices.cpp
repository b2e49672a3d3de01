// The application's services to the game: framework dialogs kept by id, message boxes,
// music and sound-effect volumes with a counted mute, the set of all images, the shared-image
// cache, image loading and copying, opening links, and reading a file's product version.
#include <cstdio>
#include <ctime>
#include <memory>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/ImageAppLink.h"
#include "framework/graphics/ImageLib.h"
#include "framework/sound/BassMusicInterface.h"
#include "framework/sound/FModMusicInterface.h"
#include "framework/sound/MusicInterface.h"
#include "framework/sound/SoundInstance.h"
#include "framework/sound/SoundManager.h"
#include "framework/widgets/Dialog.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/MessageBox.h"
#include "platform/Module.h"
#include "platform/Shell.h"
#include "platform/Time.h"

namespace Orvo {

namespace {

// Guards the image set and the shared-image cache: the display's lock once the display
// exists, before that a lock of its own. Images are made and freed on any thread.
CriticalSection& ImageLock(OrvoAppBase* app) {
  static CriticalSection beforeDisplay;
  return app->mDDInterface != nullptr ? app->mDDInterface->mCritSect : beforeDisplay;
}

}  // namespace

// ---- Dialogs ----

Dialog* OrvoAppBase::CreateDialog(int id, bool modal, const std::string& header, const std::string& lines,
                                  const std::string& footer, int buttonMode) {
  return new Dialog(nullptr, nullptr, id, modal, header, lines, footer, buttonMode);
}

Dialog* OrvoAppBase::ShowDialog(int id, bool modal, const std::string& header, const std::string& lines,
                                const std::string& footer, int buttonMode) {
  CloseDialog(id);
  Dialog* dialog = CreateDialog(id, modal, header, lines, footer, buttonMode);
  AddDialog(id, dialog);
  return dialog;
}

void OrvoAppBase::AddDialog(int id, Dialog* dialog) {
  if (dialog == nullptr) return;
  // The same dialog added again under its id stays as it is: closing it first would queue
  // it for deletion while it is still shown.
  auto existing = mDialogMap.find(id);
  if (existing != mDialogMap.end() && existing->second == dialog) return;
  CloseDialog(id);
  if (dialog->mWidth == 0) {
    const int width = mWidth / 2;
    const int height = dialog->GetPreferredHeight(width);
    dialog->Resize((mWidth - width) / 2, mHeight / 5, width, height);
  }
  mDialogMap[id] = dialog;
  mDialogList.push_back(dialog);
  if (mWidgetManager != nullptr) mWidgetManager->AddWidget(dialog);
  if (dialog->IsModal()) {
    if (mWidgetManager != nullptr) mWidgetManager->AddBaseModal(dialog);
    ModalOpenHook();
  }
}

void OrvoAppBase::AddDialog(Dialog* dialog) {
  if (dialog != nullptr) AddDialog(dialog->mDialogId, dialog);
}

bool OrvoAppBase::CloseDialog(int id, bool removeWidget, bool deleteDialog) {
  auto it = mDialogMap.find(id);
  if (it == mDialogMap.end()) return false;
  Dialog* dialog = it->second;
  if (dialog->mResult == -1) dialog->mResult = 0;
  mDialogMap.erase(it);
  mDialogList.remove(dialog);
  if ((removeWidget || deleteDialog) && mWidgetManager != nullptr && dialog->mParent != nullptr)
    dialog->mParent->RemoveWidget(dialog);
  if (dialog->IsModal()) {
    ModalCloseHook();
    if (mWidgetManager != nullptr) mWidgetManager->RemoveBaseModal(dialog);
  }
  if (deleteDialog) QueueWidgetDeletion(dialog);
  return true;
}

bool OrvoAppBase::CloseDialog(int id) { return CloseDialog(id, true, true); }

bool OrvoAppBase::CloseDialog(Dialog* dialog) { return dialog != nullptr && CloseDialog(dialog->mDialogId); }

Dialog* OrvoAppBase::FindDialog(int id) {
  auto it = mDialogMap.find(id);
  return it == mDialogMap.end() ? nullptr : it->second;
}

int OrvoAppBase::CountDialogs() { return static_cast<int>(mDialogList.size()); }

// ---- Message boxes ----

int OrvoAppBase::ShowMessageBox(const std::string& text, const std::string& caption, UINT flags) {
  if (mScreenSaverMode) {
    AppendScreenSaverError(text);
    return plat::IDOK;
  }
  LostFocus();
  const int result = plat::MessageBoxA(mHWnd, text.c_str(), caption.c_str(), flags);
  GotFocus();
  return result;
}

int OrvoAppBase::ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT flags) {
  if (mScreenSaverMode) {
    AppendScreenSaverError(ToNarrow(text));
    return plat::IDOK;
  }
  LostFocus();
  const int result = plat::MessageBoxW(mHWnd, text.c_str(), caption.c_str(), flags);
  GotFocus();
  return result;
}

void OrvoAppBase::ShowFatalError(const std::string& text) {
  if (mScreenSaverMode) {
    AppendScreenSaverError(text);
    return;
  }
  LostFocus();
  if (!mQuit) {
    const std::string caption = GetString("FATAL_ERROR", "FATAL ERROR");
    plat::MessageBoxA(mHWnd, text.c_str(), caption.c_str(), plat::MB_ICONERROR);
  }
  GotFocus();
}

void OrvoAppBase::ShowFatalError(const std::wstring& text) {
  if (mScreenSaverMode) {
    AppendScreenSaverError(ToNarrow(text));
    return;
  }
  LostFocus();
  if (!mQuit) {
    const std::wstring caption = ToWide(GetString("FATAL_ERROR", "FATAL ERROR"));
    plat::MessageBoxW(mHWnd, text.c_str(), caption.c_str(), plat::MB_ICONERROR);
  }
  GotFocus();
}

void OrvoAppBase::AppendScreenSaverError(const std::string& text) {
  static bool firstWrite = true;
  std::FILE* file = std::fopen("ScrError.txt", firstWrite ? "w" : "a+");
  if (file == nullptr) return;
  firstWrite = false;
  char clock[16] = "00:00:00";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) != nullptr) std::strftime(clock, sizeof(clock), "%H:%M:%S", &local);
  std::fprintf(file, "%s %s %u\n", text.c_str(), clock, static_cast<unsigned>(plat::GetTickCount()));
  std::fclose(file);
}

// ---- Volumes ----

double OrvoAppBase::GetMusicVolume() { return mMusicVolume; }

double OrvoAppBase::GetSfxVolume() { return mSfxVolume; }

double OrvoAppBase::GetMasterVolume() { return mSoundManager != nullptr ? mSoundManager->GetMasterVolume() : 0.0; }

void OrvoAppBase::SetMusicVolume(double volume) {
  mMusicVolume = volume;
  if (mMusicInterface != nullptr) mMusicInterface->SetVolume(mMuteCount > 0 ? 0.0 : volume);
}

void OrvoAppBase::SetSfxVolume(double volume) {
  mSfxVolume = volume;
  if (mSoundManager != nullptr) mSoundManager->SetVolume(mMuteCount > 0 ? 0.0 : volume);
}

void OrvoAppBase::SetMasterVolume(double volume) {
  mSfxVolume = volume;
  if (mSoundManager != nullptr) mSoundManager->SetMasterVolume(volume);
}

bool OrvoAppBase::IsMuted() { return mMuteCount > 0; }

void OrvoAppBase::Mute(bool automatic) {
  ++mMuteCount;
  if (automatic) ++mAutoMuteCount;
  SetMusicVolume(mMusicVolume);
  SetSfxVolume(mSfxVolume);
}

void OrvoAppBase::Unmute(bool automatic) {
  if (mMuteCount <= 0) return;
  --mMuteCount;
  if (automatic) --mAutoMuteCount;
  SetMusicVolume(mMusicVolume);
  SetSfxVolume(mSfxVolume);
}

void OrvoAppBase::PlaySoundById(int id) {
  if (mSoundManager == nullptr) return;
  if (SoundInstance* instance = mSoundManager->GetSoundInstance(id)) instance->Play(false, true);
}

void OrvoAppBase::PlayMenuCommandSound() {
  if (mSoundManager == nullptr || mMenuCommandSound.empty()) return;
  if (mMenuCommandSoundId < 0) mMenuCommandSoundId = mSoundManager->LoadSound(mMenuCommandSound);
  if (mMenuCommandSoundId >= 0) PlaySoundById(mMenuCommandSoundId);
}

void OrvoAppBase::PlaySoundById(int id, int pan) {
  if (mSoundManager == nullptr) return;
  if (SoundInstance* instance = mSoundManager->GetSoundInstance(id)) {
    instance->SetPan(pan);
    instance->Play(false, true);
  }
}

MusicInterface* OrvoAppBase::CreateMusicInterface(plat::HWND window) {
  if (mNoSound) return new MusicInterface();
  if (mUseFMod) return new FModMusicInterface(window);
  return new BassMusicInterface(window);
}

// ---- Images ----

void OrvoAppBase::RegisterImage(MemoryImage* image) {
  ScopedCriticalSection guard(ImageLock(this));
  mMemoryImageSet.insert(image);
}

void OrvoAppBase::UnregisterImage(MemoryImage* image) {
  ScopedCriticalSection guard(ImageLock(this));
  mMemoryImageSet.erase(image);
  imageapp::Remove3DData(this, image);
}

void OrvoAppBase::RefreshAllImages() {
  for (MemoryImage* image : mMemoryImageSet) image->ReInit();
}

void OrvoAppBase::DropNativeImageData() {
  for (MemoryImage* image : mMemoryImageSet) image->DeleteNativeData();
}

void OrvoAppBase::DropImageBuffers() {
  ScopedCriticalSection guard(ImageLock(this));
  for (MemoryImage* image : mMemoryImageSet) image->DeleteExtraBuffers();
}

DDImage* OrvoAppBase::LoadImageFile(const std::string& path, bool flag) {
  std::unique_ptr<ImageLib::Image> loaded(ImageLib::GetImage(path, flag));
  if (loaded == nullptr) {
    DebugPrint("Failed to load image: %s\n", path.c_str());
    return nullptr;
  }
  auto* image = new DDImage(mDDInterface);
  image->mFilePath = path;
  image->SetBits(loaded->GetBits(), loaded->GetWidth(), loaded->GetHeight());
  return image;
}

SharedImageRef OrvoAppBase::AcquireSharedImage(const std::string& name, const std::string& variant, bool* created) {
  if (created != nullptr) *created = false;
  const auto key = std::make_pair(ToUpperCopy(name), ToUpperCopy(variant));
  {
    ScopedCriticalSection guard(ImageLock(this));
    auto it = mSharedImageMap.find(key);
    if (it != mSharedImageMap.end()) return SharedImageRef(&it->second);
  }
  // Loaded outside the lock with the caller's spelling (file names are case-sensitive here);
  // a load that fails caches nothing.
  DDImage* image = !name.empty() && name[0] == '!' ? new DDImage(mDDInterface) : LoadImageFile(name, false);
  if (image == nullptr) return SharedImageRef();
  ScopedCriticalSection guard(ImageLock(this));
  auto [it, inserted] = mSharedImageMap.try_emplace(key);
  if (inserted) {
    it->second.mImage = image;
    if (created != nullptr) *created = true;
  } else {
    delete image;  // another thread cached the same image first
  }
  return SharedImageRef(&it->second);
}

void OrvoAppBase::CleanSharedImages() {
  if (!mCleanSharedImages) return;
  ScopedCriticalSection guard(ImageLock(this));
  mCleanSharedImages = false;
  for (auto it = mSharedImageMap.begin(); it != mSharedImageMap.end();) {
    if (it->second.mRefCount == 0) {
      delete it->second.mImage;
      it = mSharedImageMap.erase(it);
    } else {
      ++it;
    }
  }
}

DDImage* OrvoAppBase::CopyImage(Image* source, const Rect& rect) {
  auto* copy = new DDImage(mDDInterface);
  copy->Create(rect.mWidth, rect.mHeight);
  copy->Clear();
  Graphics g(copy);
  g.DrawImage(source, -rect.mX, -rect.mY);
  copy->CommitBits();
  return copy;
}

DDImage* OrvoAppBase::CopyImage(Image* source) {
  return CopyImage(source, Rect(0, 0, source->GetWidth(), source->GetHeight()));
}

void OrvoAppBase::ReleaseImagesAndDialogs() {
  while (!mDialogList.empty()) CloseDialog(mDialogList.front()->mDialogId, true, true);
  ScopedCriticalSection guard(ImageLock(this));
  for (auto& entry : mSharedImageMap) {
    delete entry.second.mImage;
    entry.second.mImage = nullptr;
  }
  mSharedImageMap.clear();
}

// ---- Links and versions ----

bool OrvoAppBase::OpenURL(const std::string& url, bool quitAfter) {
  if (mURLPending && mPendingURL == url) return true;
  mURLQuitAfter = quitAfter;
  mURLPending = true;
  mPendingURL = url;
  mURLOpenTime = plat::GetTickCount();
  if (plat::ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, plat::SW_SHOWNORMAL) > 32) return true;
  URLOpenAbandoned(url);
  return false;
}

void OrvoAppBase::URLOpenAbandoned(const std::string& url) { mURLPending = false; }

void OrvoAppBase::URLOpenCompleted(const std::string& url) {
  mURLPending = false;
  if (mURLQuitAfter) Shutdown();
}

std::string OrvoAppBase::GetProductVersion(const std::string& path) {
  using SizeFn = DWORD (*)(const char*, DWORD*);
  using InfoFn = int (*)(const char*, DWORD, DWORD, void*);
  using QueryFn = int (*)(const void*, const char*, void**, UINT*);
  static plat::HMODULE module = plat::LoadLibrary("version.dll");
  static SizeFn getSize = module ? plat::ProcAs<SizeFn>(plat::GetProcAddress(module, "GetFileVersionInfoSizeA")) : nullptr;
  static InfoFn getInfo = module ? plat::ProcAs<InfoFn>(plat::GetProcAddress(module, "GetFileVersionInfoA")) : nullptr;
  static QueryFn query = module ? plat::ProcAs<QueryFn>(plat::GetProcAddress(module, "VerQueryValueA")) : nullptr;
  if (getSize == nullptr || getInfo == nullptr || query == nullptr) return "";
  DWORD handle = 0;
  const DWORD size = getSize(path.c_str(), &handle);
  if (size == 0) return "";
  std::vector<char> block(size);
  if (!getInfo(path.c_str(), handle, size, block.data())) return "";
  for (const char* key : {"\\StringFileInfo\\040904B0\\ProductVersion", "\\StringFileInfo\\040904E4\\ProductVersion"}) {
    void* value = nullptr;
    UINT length = 0;
    if (query(block.data(), key, &value, &length) && value != nullptr && length > 0)
      return std::string(static_cast<const char*>(value));
  }
  return "";
}

}  // namespace Orvo
