// The 3D capability test: before the display turns Direct3D on, it identifies the adapter,
// checks its video memory and the driver lists, renders small scenes with the renderer's
// blend modes off screen and reads them back. The outcome (a failure reason, a warning, or
// neither) is kept in the registry with the adapter's identity, so a later start on the same
// adapter reuses a stored success.
#pragma once

#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "platform/Direct3D.h"
#include "platform/Registry.h"

namespace Orvo {

class DDInterface;

// The pixels read back from the test render surface, as 0xAARRGGBB.
class D3DTestImage {
 public:
  std::vector<std::uint32_t> mBits;
  int mWidth = 0;
  int mHeight = 0;

  virtual ~D3DTestImage() = default;
  void Create(int width, int height);
  void Fill(std::uint32_t color);
  // Even columns 0xFF000000, odd columns 0xFFFFFFFF.
  void FillStripes();
  // Pixels of the top-left width x height whose colour is further than 768 (squared RGB
  // distance) from the stripe colour of their column.
  int CountStripeErrors(int width, int height) const;
  std::uint32_t Pixel(int x, int y) const { return mBits[static_cast<std::size_t>(y) * mWidth + x]; }
};

// Squared distance of the red, green and blue bytes (alpha ignored).
int ColorDistance(std::uint32_t a, std::uint32_t b);

// Copy a locked 32- or 16-bit surface into `image`, each channel moved by its mask to its
// 0xAARRGGBB place, alpha 0xFF.
void ReadSurface32(D3DTestImage& image, const plat::DDSURFACEDESC2& desc);
void ReadSurface16(D3DTestImage& image, const plat::DDSURFACEDESC2& desc);

class D3DTester {
 public:
  class TestException : public std::exception {
   public:
    explicit TestException(std::string message) : mMessage(std::move(message)) {}
    const char* what() const noexcept override { return mMessage.c_str(); }
    std::string mMessage;
  };

  plat::IDirectDraw7* mDD = nullptr;
  plat::IDirectDrawSurface7* mPrimarySurface = nullptr;  // the 100 x 100 test render surface
  plat::IDirectDrawSurface7* mTextureSurface = nullptr;
  plat::IDirectDrawSurface7* mTextureSurface2 = nullptr;
  plat::IDirect3D7* mD3D = nullptr;
  plat::IDirect3DDevice7* mD3DDevice = nullptr;
  plat::HKEY mRegKey = nullptr;
  plat::GUID mDisplayGUID;
  std::string mDisplayDriver;
  std::string mDisplayDescription;
  D3DTestImage mTestImage;
  std::string mFailureReason;
  std::string mWarning;
  std::uint32_t mMinVidMemory = 6;
  std::uint32_t mRecVidMemory = 14;
  bool mUseRegistry = true;
  bool mResultsToWrite = false;
  bool mFirstResult = false;
  int mDriverYear = 0;
  // The system folder, where a driver named without a folder is looked up. Here the stand-ins
  // for system drivers and libraries are part of the program, so it is the program's folder.
  std::string mSystemDirectory;
  // The application's registry key the "Test3D" key lives under (from the application).
  std::string mAppRegistryKey;

  D3DTester();
  virtual ~D3DTester();
  D3DTester(const D3DTester&) = delete;
  D3DTester& operator=(const D3DTester&) = delete;

  void SetVidMemoryLimits(std::uint32_t minimum, std::uint32_t recommended);
  void TestD3D(plat::HWND window, plat::IDirectDraw7* dd);
  bool DoTest(plat::HWND window, plat::IDirectDraw7* dd);
  bool RunRenderTests();
  bool RegistryValues();
  void WriteToRegistry();
  bool IsSupportedCard(const std::string& description);
  static bool FileHasLineIn(std::FILE* file, const std::string& description);
  bool CheckDX8(plat::GUID& guid, std::string& driver, std::string& description);
  bool GetD3D8Identifier();
  bool Fail(const std::string& text);
  bool Warn(const std::string& text);
  static void DXError(plat::HRESULT hr, const char* operation);
  void CopyPrimary();
  void Cleanup();

  bool TestAlphaBlend();
  bool TestAdditiveBlend();
  bool TestAlphaAddBlend();
  bool TestAlphaOp();
  bool TestClip();

 private:
  struct BlendCase;
  bool RunBlendTest(const BlendCase& test);
  // Renders one scene with the blend states of `states` and reads it back; false (with the
  // failure reason set) when a step failed.
  bool RenderAndReadBack(const BlendCase& states, const std::function<void()>& draw);
  void BeginTestScene(plat::DWORD srcBlend, const char* srcText, plat::DWORD destBlend, const char* destText);
  void DrawTestImage(const D3DTestImage& image, float x, float y, std::uint32_t color);
  plat::DDPIXELFORMAT mTextureFormat;
};

// Runs the 3D capability test on the display's first start-up that asks for it and sets the
// display's 3D flag from the outcome. False when no test ran now.
bool RunD3DTest(DDInterface* display, plat::HWND window);

}  // namespace Orvo
