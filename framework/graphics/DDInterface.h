// The DirectDraw display: opens the display windowed or full screen, works out its colour
// layout and the lookup tables the surface blitters use, wraps the draw buffer in the
// screen image, presents finished frames and moves a software cursor between frames.
#pragma once

#include <atomic>
#include <cstdint>
#include <set>
#include <string>

#include "framework/core/Common.h"
#include "framework/graphics/NativeDisplay.h"
#include "framework/graphics/Rect.h"
#include "platform/DirectDraw.h"

namespace Orvo {

class OrvoAppBase;
class DDImage;
class Image;
class MemoryImage;
class D3DInterface;
class D3DTester;

// Index of a channel mask's lowest set bit, and the count of bits from there to its highest.
int MaskShift(std::uint32_t mask);
int MaskWidth(std::uint32_t mask);

// a is narrower than b.
bool operator<(const Ratio& a, const Ratio& b);

// Set by every successful DDInterface::CreateSurface: the primary's masks run red > green > blue.
extern bool gDisplayRGBOrdered;

// What the display asks of the application when it starts, and what it tells it back.
// A display without an application uses the values in DDInterface::mRequest.
struct DisplayRequest {
  int width = 640;
  int height = 480;
  int colorDepth = 16;
  Ratio aspect{4, 3};
  bool pageFlipAllowed = true;
};

namespace displayapp {
void FillRequest(OrvoAppBase* app, DisplayRequest& request);
bool FocusLostInputBlock(OrvoAppBase* app);
void SetVsyncUnreliable(OrvoAppBase* app);
void SetScreenRect(OrvoAppBase* app, const Rect& rect);
}  // namespace displayapp

class DDInterface : public NativeDisplay {
 public:
  enum {
    RESULT_OK = 0,
    RESULT_FAIL = 1,
    RESULT_DD_CREATE_FAIL = 2,
    RESULT_SURFACE_FAIL = 3,
    RESULT_EXCLUSIVE_FAIL = 4,
    RESULT_DISPCHANGE_FAIL = 5,
    RESULT_INVALID_COLORDEPTH = 6,
    RESULT_3D_FAIL = 7,
  };

  OrvoAppBase* mApp;
  DisplayRequest mRequest;
  std::atomic<bool> mIs3D{false};
  CriticalSection mCritSect;
  std::atomic<bool> mInRedraw{false};
  plat::IDirectDraw* mDD = nullptr;
  plat::IDirectDraw7* mDD7 = nullptr;
  plat::IDirectDrawSurface* mPrimarySurface = nullptr;
  plat::IDirectDrawSurface* mSecondarySurface = nullptr;
  plat::IDirectDrawSurface* mDrawSurface = nullptr;
  int mWidth = 0;
  int mHeight = 0;
  Ratio mAspect;
  int mDesktopWidth = 0;
  int mDesktopHeight = 0;
  Ratio mDesktopAspect;
  bool mIsWidescreen = false;  // the draw buffer is letterboxed on a display of another shape
  int mDisplayWidth = 0;
  int mDisplayHeight = 0;
  Ratio mDisplayAspect;
  Rect mPresentationRect;
  int mFullscreenBits = 0;
  std::uint32_t mRefreshRate = 60;
  std::uint32_t mMillisecondsPerFrame = 16;
  bool mVsyncUnreliable = false;
  int* mRedAddTable = nullptr;
  int* mGreenAddTable = nullptr;
  int* mBlueAddTable = nullptr;
  std::uint32_t mRedConvTable[256] = {};
  std::uint32_t mGreenConvTable[256] = {};
  std::uint32_t mBlueConvTable[256] = {};
  bool mInitialized = false;
  plat::HWND mHWnd = nullptr;
  bool mIsWindowed = true;
  DDImage* mScreenImage = nullptr;
  std::set<DDImage*> mDDImageSet;
  bool mVideoOnlyDraw = false;
  int mInitCount = 0;
  int mCursorWidth = 64;
  int mCursorHeight = 64;
  std::atomic<int> mCursorX{0};
  std::atomic<int> mCursorY{0};
  int mCursorDrawnX = 0;
  int mCursorDrawnY = 0;
  Image* mCursorImage = nullptr;
  bool mHasOldCursorArea = false;  // the cursor is drawn and the old area holds what lies under it
  plat::IDirectDrawSurface* mOldCursorArea = nullptr;
  plat::IDirectDrawSurface* mNewCursorArea = nullptr;
  DDImage* mOldCursorAreaImage = nullptr;
  DDImage* mNewCursorAreaImage = nullptr;
  std::string mErrorString;
  D3DInterface* mD3DInterface = nullptr;  // the Direct3D renderer; owned
  D3DTester* mD3DTester = nullptr;        // made by the first Init that runs the 3D test; owned

  explicit DDInterface(OrvoAppBase* app);
  ~DDInterface() override;
  DDInterface(const DDInterface&) = delete;
  DDInterface& operator=(const DDInterface&) = delete;

  int Init(plat::HWND window, bool isWindowed);
  void Cleanup();
  bool Redraw(const Rect* area = nullptr);
  DDImage* GetScreenImage() { return mScreenImage; }
  bool SetCursorImage(Image* image);
  void SetCursorPos(int x, int y);
  void SetVideoOnlyDraw(bool videoOnly);
  plat::HRESULT CreateSurface(plat::DDSURFACEDESC2* desc, plat::IDirectDrawSurface** out);
  void ClearSurface(plat::IDirectDrawSurface* surface);
  static std::string ResultName(int code);
  bool LogError(plat::HRESULT result, const char* operation);
  void AddDDImage(DDImage* image);
  void RemoveDDImage(DDImage* image);
  // Drops the image's Direct3D texture copy.
  void RemoveImageTexture(MemoryImage* image);

  void DrawCursor(plat::IDirectDrawSurface* target, bool screenCoords);
  void MoveCursor(plat::IDirectDrawSurface* target, bool screenCoords, int x, int y);
  void RemoveCursor(plat::IDirectDrawSurface* target, bool screenCoords);

 private:
  struct CursorBox {
    Rect target;  // on the target surface
    Rect local;   // inside a cursor-area surface
  };
  CursorBox CursorBoxAt(int x, int y, bool screenCoords) const;
  plat::POINT ClientOrigin(bool screenCoords) const;
  bool SaveUnderCursor(plat::IDirectDrawSurface* target, plat::IDirectDrawSurface* area, CursorBox& box);
  void DrawCursorImageOn(Image* dest, int x, int y);
  int CreateDrawSurface(const char* operation);
  void BuildColorTables(const plat::DDPIXELFORMAT& format);
};

}  // namespace Orvo
