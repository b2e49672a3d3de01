// The control factory's implementation: tables of visual objects, images, fonts and played
// sounds, the layer-ordered list of shown objects, hover and focus, the modal stack, the
// drawing pass and the input dispatch. One per process, built by the kernel on the
// application.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/common/IdPool.h"
#include "kernel/controls/BaseVOBridge.h"
#include "kernel/controls/IFactory.h"
#include "kernel/time/ITimeSystem.h"

namespace Orvo {
class Graphics;
class Image;
class ImageFont;
class OrvoAppBase;
class SoundInstance;
}  // namespace Orvo

namespace ControlLibrary {

class Factory_impl : public IFactory, public TimeLibrary::TimeObjectMessageObserver {
 public:
  static constexpr int kMaxObjects = 10240;
  static constexpr int kMaxImages = 5120;
  static constexpr int kMaxFonts = 1024;
  static constexpr int kMaxSounds = 512;

  // Throws when the application or its widget manager is missing.
  explicit Factory_impl(Orvo::OrvoAppBase* app);
  ~Factory_impl() override;
  Factory_impl(const Factory_impl&) = delete;
  Factory_impl& operator=(const Factory_impl&) = delete;

  // ---- IFactory ----
  IFont* CreateFont() override;
  void Release(IFont* font) override;
  IToolTip* CreateToolTip() override;
  void Release(IToolTip* toolTip) override;
  ICursor* CreateCursor() override;
  void Release(ICursor* cursor) override;
  ISound* CreateSound() override;
  void ReleaseSound(ISound* sound) override;
  IRectVO* CreateRectVO() override;
  void DeleteVO(IDialogVO* vo) override;
  void DeleteVO(ITextBoxVO* vo) override;
  void DeleteVO(IEditBoxVO* vo) override;
  void DeleteVO(ICheckBoxVO* vo) override;
  void DeleteVO(IButtonVO* vo) override;
  void DeleteVO(ILinkVO* vo) override;
  void DeleteVO(IStringVO* vo) override;
  void DeleteVO(IImageVO* vo) override;
  void DeleteVO(IRectVO* vo) override;
  IImageVO* CreateImageVO() override;
  IStringVO* CreateStringVO() override;
  ILinkVO* CreateLinkVO() override;
  IButtonVO* CreateButtonVO() override;
  ICheckBoxVO* CreateCheckBoxVO() override;
  IEditBoxVO* CreateEditBoxVO() override;
  ITextBoxVO* CreateTextBoxVO() override;
  IDialogVO* CreateDialogVO() override;
  void SetDefaultCursor(ICursor* cursor) override;
  void AddPakFile(const std::string& directory, const std::string& pakName) override;
  std::string GetAppDataFolder() override;
  void AddKeybdSysObserver(KeybdSysMessageObserver* observer) override;
  void RemoveKeybdSysObserver(KeybdSysMessageObserver* observer) override;

  // Gives one reference of a handle back: the count goes down, and with the last reference
  // the factory forgets the handle (active tool tip or cursor, default cursor) and deletes it.
  // Every holder gives its references back through here, so one rule counts them all.
  void ReleaseHandle(CommonLibrary::RefObj* handle);

  // ---- Shown list, focus, hover, modal state (used by the visual objects) ----
  bool ShowVO(IBridgeToVO* handle);
  bool HideVO(IBridgeToVO* handle);
  void SetVOVisible(std::uint32_t id, bool visible);
  void ResortVO(std::uint32_t id);
  int TopLayer();
  void SetFocusedVO(VisibleObject_impl* vo);
  // The object gave the focus away: when it was the focused one, nothing is focused now.
  void ForgetFocus(VisibleObject_impl* vo);
  void SetActiveToolTip(IToolTip* toolTip);
  void SetActiveCursor(ICursor* cursor);
  // A modal dialog shown: every shown object that takes input is disabled and kept as the
  // dialog's group; the focused one among them gives the focus away, and the group keeps it
  // in mind. Its hide (or deletion) gives that group back, wherever it lies on the stack: a
  // group below the top passes its objects to the group above, which keeps them disabled
  // until it goes itself. The last group given back returns the focus to the object it
  // took it from, when that can still take it and nothing took the focus meanwhile.
  // Owner 0 stands for the top group.
  void DisableForModal(std::uint32_t owner = 0);
  void RestoreAfterModal(std::uint32_t owner = 0);
  bool HasModalGroup(std::uint32_t owner) const;
  int ModalDepth() const { return static_cast<int>(mModalStack.size()); }
  // Drops every pointer the factory keeps to an implementation that is going away.
  void ForgetVO(VisibleObject_impl* vo);
  // Gives back one reference of a visual object, as DeleteVO does for its kind.
  void DeleteObject(IBridgeToVO* handle) { DeleteHandle(handle); }
  // Gives back a reference that a holder of the object (a dialog for its child, an effect
  // for what it moves) took with AddRef, so the object goes with its last reference, the
  // game's included. False when the object is not this factory's.
  bool GiveBack(IVisibleObject* vo);
  // The registered handle with this id, or null.
  IBridgeToVO* FindVO(std::uint32_t id);
  int ShownCount();
  IBridgeToVO* ShownAt(int index);
  VisibleObject_impl* GetHoveredVO() const { return mHovered; }
  VisibleObject_impl* GetFocusedVO() const { return mFocused; }
  IToolTip* GetActiveToolTip() const { return mActiveToolTip; }
  ICursor* GetActiveCursor() const { return mActiveCursor; }

  // While one lives, objects whose last reference goes are taken out of the tables but
  // deleted only when the outermost one ends: held around input and around an object's
  // own reports to its observers, any of which may delete the object that reports.
  class DispatchGuard {
   public:
    explicit DispatchGuard(Factory_impl* factory);
    ~DispatchGuard();
    DispatchGuard(const DispatchGuard&) = delete;
    DispatchGuard& operator=(const DispatchGuard&) = delete;

   private:
    Factory_impl* mFactory;
  };

  // ---- Images ----
  bool FindOrLoadImage(const std::string& name, int* id);
  bool ReleaseImage(int* id);
  bool GetImageSize(int id, int* width, int* height);
  std::string GetImageName(int id);

  // ---- Fonts ----
  int FindOrLoadFont(const std::string& name);
  void ReleaseFont(int* id);
  int GetFontHeight(int id);
  int GetTextWidth(int id, const std::string& text);

  // ---- Sounds ----
  int LoadSound(const std::string& name);
  void PlaySound(int id, bool loop);
  void StopSound(int id);
  bool IsSoundPlaying(int id);
  void SetSoundVolume(int id, double volume);
  void UnloadSound(int* id);

  // ---- Drawing on the current frame (colours opaque) ----
  void DrawAll(Orvo::Graphics* g);
  void DrawRectOutline(const VORect& rect, const VOColor& color);
  void FillRectColour(const VORect& rect, const VOColor& color);
  void DrawLineColour(const VOPoint& a, const VOPoint& b, const VOColor& color);
  bool DrawImage(int id, const VORect& source, const VORect& target);
  bool DrawImageRotated(int id, const VORect& source, const VORect& target, double angle,
                        const VOPoint& centre, const VOPoint& offset);
  void DrawText(IFont* font, const std::string& text, const VOPoint& at, const VOColor& color,
                std::uint32_t alignH, std::uint32_t alignV);

  // ---- Redraw request and input dispatch ----
  // Timing thread: raises the redraw request when a shown object has changed.
  void OnTimerTick(std::uint32_t id) override;
  bool IsRedrawRequested() const { return mRedrawRequest; }
  // Reads and clears the request.
  bool TakeRedrawRequest() { return mRedrawRequest.exchange(false); }
  void OnMouseMove(int x, int y);
  void OnMouseDown(int x, int y, int button, int clicks);
  void OnMouseUp(int x, int y, int button, int clicks);
  void OnKeyChar(char c);
  void OnKeyDown(int key);
  void OnKeyUp(int key);
  // The focused object when it may take keys now (shown and enabled), else null.
  VisibleObject_impl* KeyTarget() const;

  Orvo::OrvoAppBase* GetApp() const { return mApp; }
  std::recursive_mutex& Lock() { return mLock; }

 private:
  struct ImageRecord {
    Orvo::Image* image = nullptr;
    std::string name;
    std::uint16_t count = 0;
  };
  struct FontRecord {
    Orvo::ImageFont* font = nullptr;
    std::string name;
    std::uint16_t count = 0;
  };

  template <class Bridge>
  Bridge* MakeVO();
  bool RegisterVO(IBridgeToVO* handle);
  void DeleteHandle(IBridgeToVO* handle);
  int ShownIndexOf(IBridgeToVO* handle) const;
  // Makes the top object under (x, y) the hovered one, with leave and enter; with
  // `reportMove` the object already hovered gets the move. Caller holds the objects' lock.
  void HoverAt(int x, int y, bool reportMove);
  Orvo::Image* ImageAt(int id) const;

  Orvo::OrvoAppBase* mApp;
  std::vector<IBridgeToVO*> mObjects;  // slot index = id
  std::vector<IBridgeToVO*> mShown;    // sorted by layer, ascending
  std::vector<ImageRecord> mImages;
  std::vector<FontRecord> mFonts;
  std::vector<Orvo::SoundInstance*> mPlayedSounds;
  // Which back-end loaded each sound id: 0 none, 1 the music interface, 2 the sound manager.
  std::vector<std::uint8_t> mSoundBackEnds;
  TimeLibrary::ITimeObject* mTickTimer = nullptr;
  std::atomic<bool> mRedrawRequest{false};
  IToolTip* mActiveToolTip = nullptr;
  ICursor* mActiveCursor = nullptr;
  ICursor* mDefaultCursor = nullptr;
  VisibleObject_impl* mHovered = nullptr;
  VisibleObject_impl* mFocused = nullptr;
  struct ModalGroup {
    std::uint32_t owner = 0;
    std::vector<IBridgeToVO*> disabled;
    // The object that had the focus when the group was disabled, or null.
    VisibleObject_impl* focus = nullptr;
  };
  std::vector<ModalGroup> mModalStack;
  CommonLibrary::IdPool mVOIds;
  CommonLibrary::IdPool mSoundIds;
  // Key observers in the order of registration, each with its answer to the last key-down.
  // One removed while keys are being delivered leaves a null in its place, so the others
  // keep their answers; the gaps are closed when the delivery ends.
  std::vector<KeybdSysMessageObserver*> mKeyObservers;
  std::vector<bool> mKeyWanted;
  int mKeyDispatchDepth = 0;
  void CloseKeyObserverGaps();
  std::vector<VORect> mFillList;
  std::recursive_mutex mLock;
  Orvo::Graphics* mGraphics = nullptr;
  // Handles whose last reference went while input was being delivered to them.
  std::vector<IBridgeToVO*> mDeferredDeletes;
  int mDispatchDepth = 0;
};

// The process's factory. Create does nothing when one exists and leaves none when the
// application cannot carry one.
void CreateControlFactory(Orvo::OrvoAppBase* app);
void DestroyControlFactory();
Factory_impl* GetFactoryImpl();

// Held by the main thread while it works on the visual objects outside the timing thread's
// callbacks (drawing, input, the game's start and stop): the time system's callback lock,
// then the factory's, the order in which the timing thread takes them too.
class ObjectsLock {
 public:
  ObjectsLock();
  ~ObjectsLock();
  ObjectsLock(const ObjectsLock&) = delete;
  ObjectsLock& operator=(const ObjectsLock&) = delete;

 private:
  TimeLibrary::CallbackLock mCallbacks;
  Factory_impl* mFactory;
};

// A holder's slot for a handle takes a new one: a reference on the new handle is taken and
// the one on the handle held before is given back (which deletes it when it was the last).
template <class Handle>
void ReplaceHandle(Handle*& held, Handle* replacement) {
  if (replacement != nullptr) replacement->AddRef();
  Handle* old = held;
  held = replacement;
  if (old == nullptr) return;
  if (Factory_impl* factory = GetFactoryImpl()) factory->ReleaseHandle(old);
}

}  // namespace ControlLibrary
