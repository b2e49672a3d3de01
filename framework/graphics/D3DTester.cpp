// The 3D capability test: adapter identity, video memory, stored outcome, driver lists,
// device set-up, then five small scenes (alpha, additive, alpha-additive, modulated alpha,
// clipping) rendered off screen and judged from the pixels read back.
#include "framework/graphics/D3DTester.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>

#include "framework/core/Common.h"
#include "framework/core/Demo.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/DirectXErrors.h"
#include "platform/Folders.h"
#include "platform/Module.h"

namespace Orvo {
namespace {

constexpr plat::DWORD kVertexFormat = plat::D3DFVF_XYZRHW | plat::D3DFVF_DIFFUSE | plat::D3DFVF_SPECULAR | plat::D3DFVF_TEX1;
constexpr plat::DWORD kTestVersion = 2;

int HighestBit(std::uint32_t mask) {
  for (int i = 31; i >= 0; --i)
    if (((mask >> i) & 1u) != 0) return i;
  return 0;
}

std::uint32_t MoveTo(std::uint32_t part, int highest, int target) {
  const int shift = target - highest;
  return shift > 0 ? part << shift : part >> -shift;
}

template <typename Pixel>
void ReadSurface(D3DTestImage& image, const plat::DDSURFACEDESC2& desc) {
  const plat::DDPIXELFORMAT& f = desc.ddpfPixelFormat;
  const int r = HighestBit(f.dwRBitMask);
  const int g = HighestBit(f.dwGBitMask);
  const int b = HighestBit(f.dwBBitMask);
  const int width = std::min<int>(image.mWidth, static_cast<int>(desc.dwWidth));
  const int height = std::min<int>(image.mHeight, static_cast<int>(desc.dwHeight));
  for (int y = 0; y < height; ++y) {
    const auto* row = static_cast<const std::uint8_t*>(desc.lpSurface) + static_cast<std::ptrdiff_t>(y) * desc.lPitch;
    std::uint32_t* out = image.mBits.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.mWidth);
    for (int x = 0; x < width; ++x) {
      Pixel p;
      std::memcpy(&p, row + x * sizeof(Pixel), sizeof(Pixel));
      const std::uint32_t v = p;
      out[x] = 0xFF000000u | (MoveTo(v & f.dwRBitMask, r, 23) & 0xFF0000u) | (MoveTo(v & f.dwGBitMask, g, 15) & 0xFF00u) |
               (MoveTo(v & f.dwBBitMask, b, 7) & 0xFFu);
    }
  }
}

// The registry path of the test's key.
std::string TestKeyPath(const std::string& appKey) { return "SOFTWARE\\" + appKey + "\\Test3D"; }

}  // namespace

// ------------------------------------------------------------------ read-back image

void D3DTestImage::Create(int width, int height) {
  mBits.clear();
  mWidth = mHeight = 0;
  if (width <= 0 || height <= 0) return;
  mBits.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  mWidth = width;
  mHeight = height;
}

void D3DTestImage::Fill(std::uint32_t color) { std::fill(mBits.begin(), mBits.end(), color); }

void D3DTestImage::FillStripes() {
  for (int y = 0; y < mHeight; ++y)
    for (int x = 0; x < mWidth; ++x)
      mBits[static_cast<std::size_t>(y) * mWidth + x] = (x & 1) != 0 ? 0xFFFFFFFFu : 0xFF000000u;
}

int D3DTestImage::CountStripeErrors(int width, int height) const {
  int errors = 0;
  for (int y = 0; y < std::min(height, mHeight); ++y)
    for (int x = 0; x < std::min(width, mWidth); ++x)
      if (ColorDistance(Pixel(x, y), (x & 1) != 0 ? 0xFFFFFFu : 0u) > 768) ++errors;
  return errors;
}

int ColorDistance(std::uint32_t a, std::uint32_t b) {
  int sum = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    sum += d * d;
  }
  return sum;
}

void ReadSurface32(D3DTestImage& image, const plat::DDSURFACEDESC2& desc) { ReadSurface<std::uint32_t>(image, desc); }
void ReadSurface16(D3DTestImage& image, const plat::DDSURFACEDESC2& desc) { ReadSurface<std::uint16_t>(image, desc); }

// ------------------------------------------------------------------ tester

D3DTester::D3DTester() {
  if (gOrvoAppBase != nullptr) mAppRegistryKey = gOrvoAppBase->mRegKey;
  mSystemDirectory = std::filesystem::path(plat::GetModuleFileName()).parent_path().string();
}

D3DTester::~D3DTester() { Cleanup(); }

void D3DTester::SetVidMemoryLimits(std::uint32_t minimum, std::uint32_t recommended) {
  mMinVidMemory = minimum;
  mRecVidMemory = recommended;
}

bool D3DTester::Fail(const std::string& text) {
  mFailureReason = text;
  return false;
}

bool D3DTester::Warn(const std::string& text) {
  mWarning = text;
  return true;
}

void D3DTester::DXError(plat::HRESULT hr, const char* operation) {
  if (hr < 0)
    throw TestException("DXError - " + std::string(operation) + ": " + DirectXErrorName(static_cast<std::uint32_t>(hr)));
}

void D3DTester::Cleanup() {
  if (mDD != nullptr) mDD->Release();
  mDD = nullptr;
  if (mD3D != nullptr) mD3D->Release();
  mD3D = nullptr;
  if (mD3DDevice != nullptr) mD3DDevice->Release();
  mD3DDevice = nullptr;
  for (plat::IDirectDrawSurface7** s : {&mPrimarySurface, &mTextureSurface, &mTextureSurface2}) {
    if (*s != nullptr) (*s)->Release();
    *s = nullptr;
  }
  if (mRegKey != nullptr) plat::RegCloseKey(mRegKey);
  mRegKey = nullptr;
}

void D3DTester::TestD3D(plat::HWND window, plat::IDirectDraw7* dd) {
  OrvoAppBase* app = gOrvoAppBase;
  if (app == nullptr || !app->mPlayingDemo) {
    mResultsToWrite = false;
    if (DoTest(window, dd)) {
      RunRenderTests();
      if (mResultsToWrite) WriteToRegistry();
    } else if (mUseRegistry) {
      if (!mResultsToWrite) {
        plat::DWORD size = 0;
        mFirstResult = mRegKey == nullptr ||
                       plat::RegQueryValueExA(mRegKey, "FailureReason", nullptr, nullptr, nullptr, &size) !=
                           plat::ERROR_SUCCESS;
        mResultsToWrite = true;
      }
      WriteToRegistry();
    } else if (mResultsToWrite) {
      WriteToRegistry();
    }
    Cleanup();
  }
  if (app != nullptr && app->mDemo != nullptr && (app->mRecordingDemo || app->mPlayingDemo)) {
    app->mDemo->DemoSyncString(mFailureReason);
    app->mDemo->DemoSyncString(mWarning);
    app->mDemo->DemoSyncBool(mFirstResult);
  }
}

namespace {
plat::HRESULT CollectTestFormat(plat::DDPIXELFORMAT* format, void* context) {
  *static_cast<std::uint32_t*>(context) |= D3DInterface::GetPixelFormat(*format);
  return plat::D3DENUMRET_OK;
}
}  // namespace

bool D3DTester::DoTest(plat::HWND window, plat::IDirectDraw7* dd) {
  try {
    Cleanup();
    mDriverYear = 0;
    if (mUseRegistry && !mAppRegistryKey.empty()) {
      plat::HKEY key = nullptr;
      if (plat::RegCreateKeyExA(plat::HKEY_CURRENT_USER, TestKeyPath(mAppRegistryKey).c_str(), 0, "", 0,
                                plat::KEY_ALL_ACCESS, nullptr, &key, nullptr) == plat::ERROR_SUCCESS)
        mRegKey = key;
    }

    if (dd == nullptr) {
      plat::HMODULE ddraw = plat::LoadLibrary("ddraw.dll");
      auto create = ddraw != nullptr
                        ? plat::ProcAs<plat::DirectDrawCreateExFn>(plat::GetProcAddress(ddraw, "DirectDrawCreateEx"))
                        : nullptr;
      if (create == nullptr) return Fail("No DirectDrawCreateEx");
      void* created = nullptr;
      DXError(create(nullptr, &created, plat::IID_IDirectDraw7, nullptr), "DirectDrawCreateEx");
      mDD = static_cast<plat::IDirectDraw7*>(created);
    } else {
      dd->AddRef();
      mDD = dd;
    }

    if (!GetD3D8Identifier()) {
      plat::DDDEVICEIDENTIFIER2 id;
      DXError(mDD->GetDeviceIdentifier(&id, 0), "GetDeviceIdentifier");
      mDisplayGUID = id.guidDeviceIdentifier;
      mDisplayDriver = id.szDriver;
      mDisplayDescription = id.szDescription;
    }

    // Video memory, with the desktop's own share counted in.
    plat::DDSURFACEDESC mode;
    mode.dwSize = sizeof mode;
    mDD->GetDisplayMode(&mode);
    plat::DDSCAPS2 caps;
    caps.dwCaps = plat::DDSCAPS_VIDEOMEMORY;
    plat::DWORD total = 0;
    plat::HRESULT hr = mDD->GetAvailableVidMem(&caps, &total, nullptr);
    if (hr < 0) {
      Warn("GetAvailableVidMem failed: " + DirectXErrorName(static_cast<std::uint32_t>(hr)));
    } else {
      const std::uint64_t desktop = static_cast<std::uint64_t>(mode.ddpfPixelFormat.dwRGBBitCount / 8) *
                                    mode.dwWidth * mode.dwHeight;
      const std::uint64_t usable = (desktop + total) >> 20;
      if (usable < mMinVidMemory) return Fail("Not enough video memory.");
      if (usable < mRecVidMemory) Warn("Low video memory.");
    }

    if (mUseRegistry && RegistryValues()) return false;
    mResultsToWrite = true;
    mFailureReason.clear();
    mWarning.clear();

    // A bare driver name lives in the system folder.
    std::string driverPath = mDisplayDriver;
    if (driverPath.find_first_of("/\\") == std::string::npos && !driverPath.empty())
      driverPath = (std::filesystem::path(mSystemDirectory) / driverPath).string();
    std::error_code ec;
    if (!driverPath.empty() && std::filesystem::is_regular_file(driverPath, ec)) {
      const auto written = std::filesystem::last_write_time(driverPath, ec);
      if (!ec) {
        const auto sys = std::chrono::file_clock::to_sys(written);
        mDriverYear = static_cast<int>(std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(sys)).year());
      }
    }

    if (!IsSupportedCard(mDisplayDescription)) Warn("Unsupported video card: " + mDisplayDescription);

    void* d3d = nullptr;
    DXError(mDD->QueryInterface(plat::IID_IDirect3D7, &d3d), "QueryInterface IID_IDirect3D7");
    mD3D = static_cast<plat::IDirect3D7*>(d3d);
    DXError(mDD->SetCooperativeLevel(window, plat::DDSCL_NORMAL), "SetCooperativeLevel");

    plat::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = plat::DDSD_CAPS | plat::DDSD_HEIGHT | plat::DDSD_WIDTH;
    desc.dwWidth = desc.dwHeight = 100;
    desc.ddsCaps.dwCaps = plat::DDSCAPS_3DDEVICE | plat::DDSCAPS_OFFSCREENPLAIN;
    DXError(mDD->CreateSurface(&desc, &mPrimarySurface, nullptr), "CreateSurface (Primary)");
    mTestImage.Create(100, 100);

    DXError(mD3D->CreateDevice(plat::IID_IDirect3DHALDevice, mPrimarySurface, &mD3DDevice), "CreateDevice");
    std::uint32_t formats = 0;
    DXError(mD3DDevice->EnumTextureFormats(&CollectTestFormat, &formats), "EnumTextureFormats");

    std::uint32_t format = PixelFormat_A8R8G8B8;
    if ((formats & PixelFormat_A8R8G8B8) == 0) {
      Warn("A8R8G8B8 texture format not supported.");
      if ((formats & PixelFormat_A4R4G4B4) == 0) return Fail("A4R4G4B4 and A8R8G8B8 texture formats not supported.");
      format = PixelFormat_A4R4G4B4;
    }
    D3DInterface::MakePixelFormat(format, mTextureFormat);
    for (auto [surface, operation] : {std::pair{&mTextureSurface, "CreateSurface (TextureSurface1)"},
                                      std::pair{&mTextureSurface2, "CreateSurface (TextureSurfacd2)"}}) {
      plat::DDSURFACEDESC2 tex{};
      tex.dwSize = sizeof tex;
      tex.dwFlags = plat::DDSD_CAPS | plat::DDSD_HEIGHT | plat::DDSD_WIDTH | plat::DDSD_PIXELFORMAT;
      tex.dwWidth = tex.dwHeight = 64;
      tex.ddsCaps.dwCaps = plat::DDSCAPS_TEXTURE;
      tex.ddsCaps.dwCaps2 = plat::DDSCAPS2_TEXTUREMANAGE;
      tex.ddpfPixelFormat = mTextureFormat;
      DXError(mDD->CreateSurface(&tex, surface, nullptr), operation);
    }
    return true;
  } catch (const TestException& e) {
    return Fail(e.mMessage);
  }
}

bool D3DTester::GetD3D8Identifier() {
  plat::GUID guid;
  std::string driver;
  std::string description;
  if (!CheckDX8(guid, driver, description)) return false;
  mDisplayGUID = guid;
  mDisplayDriver = driver;
  mDisplayDescription = description;
  return true;
}

bool D3DTester::CheckDX8(plat::GUID&, std::string&, std::string&) {
  // The Direct3D 8 identity is asked of "d3d8.dll" when it is there; this system has none,
  // so the DirectDraw identity is used.
  plat::HMODULE d3d8 = plat::LoadLibrary("d3d8.dll");
  if (d3d8 == nullptr) return false;
  const bool found = plat::GetProcAddress(d3d8, "Direct3DCreate8") != nullptr;
  plat::FreeLibrary(d3d8);
  (void)found;
  return false;
}

bool D3DTester::RegistryValues() {
  mFirstResult = true;
  if (mRegKey == nullptr) return false;
  auto readDword = [&](const char* name, plat::DWORD& value) {
    plat::DWORD type = 0;
    plat::DWORD size = sizeof value;
    return plat::RegQueryValueExA(mRegKey, name, nullptr, &type, reinterpret_cast<plat::BYTE*>(&value), &size) ==
               plat::ERROR_SUCCESS &&
           type == plat::REG_DWORD && size == sizeof value;
  };
  plat::DWORD version = 0, minimum = 0, recommended = 0;
  if (!readDword("Version", version) || version != kTestVersion) return false;
  if (!readDword("MinVidMemory", minimum) || minimum != mMinVidMemory) return false;
  if (!readDword("RecVidMemory", recommended) || recommended != mRecVidMemory) return false;
  plat::GUID stored;
  plat::DWORD size = sizeof stored;
  plat::DWORD type = 0;
  if (plat::RegQueryValueExA(mRegKey, "DisplayGUID", nullptr, &type, reinterpret_cast<plat::BYTE*>(&stored), &size) !=
          plat::ERROR_SUCCESS ||
      size != 16 || std::memcmp(&stored, &mDisplayGUID, 16) != 0)
    return false;
  auto readText = [&](const char* name, std::string& text) {
    std::vector<char> buffer(4097, '\0');
    plat::DWORD length = 4096;
    if (plat::RegQueryValueExA(mRegKey, name, nullptr, nullptr, reinterpret_cast<plat::BYTE*>(buffer.data()), &length) !=
        plat::ERROR_SUCCESS)
      return false;
    text.assign(buffer.data(), strnlen(buffer.data(), std::min<std::size_t>(length, 4096)));
    return true;
  };
  if (!readText("FailureReason", mFailureReason) || !readText("Warning", mWarning)) return false;
  mFirstResult = false;
  return mFailureReason.empty();
}

void D3DTester::WriteToRegistry() {
  if (mRegKey == nullptr) return;
  auto writeDword = [&](const char* name, plat::DWORD value) {
    plat::RegSetValueExA(mRegKey, name, 0, plat::REG_DWORD, reinterpret_cast<const plat::BYTE*>(&value), sizeof value);
  };
  auto writeText = [&](const char* name, const std::string& text) {
    plat::RegSetValueExA(mRegKey, name, 0, plat::REG_SZ, reinterpret_cast<const plat::BYTE*>(text.c_str()),
                         static_cast<plat::DWORD>(text.size() + 1));
  };
  writeDword("Version", kTestVersion);
  writeDword("MinVidMemory", mMinVidMemory);
  writeDword("RecVidMemory", mRecVidMemory);
  plat::RegSetValueExA(mRegKey, "DisplayGUID", 0, plat::REG_BINARY, reinterpret_cast<const plat::BYTE*>(&mDisplayGUID),
                       16);
  writeText("FailureReason", mFailureReason);
  writeText("Warning", mWarning);
}

bool D3DTester::FileHasLineIn(std::FILE* file, const std::string& description) {
  const std::string haystack = ToLowerCopy(description);
  char line[4001];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    const std::string needle = ToLowerCopy(Trim(line));
    if (needle.empty()) continue;
    if (haystack.find(needle) != std::string::npos) return true;
  }
  return false;
}

bool D3DTester::IsSupportedCard(const std::string& description) {
  if (std::FILE* bad = std::fopen("vhwb.dat", "r")) {
    const bool listed = FileHasLineIn(bad, description);
    std::fclose(bad);
    if (listed) return false;
  }
  if (std::FILE* good = std::fopen("vhw.dat", "r")) {
    const bool listed = FileHasLineIn(good, description);
    std::fclose(good);
    return listed;
  }
  const std::string lower = ToLowerCopy(description);
  return mDriverYear >= 2002 || lower.find("nvidia") != std::string::npos || lower.find("radeon") != std::string::npos ||
         lower.find("ati ") != std::string::npos;
}

// ------------------------------------------------------------------ rendering tests

struct D3DTester::BlendCase {
  plat::DWORD srcBlend;
  const char* srcText;
  plat::DWORD destBlend;
  const char* destText;
  bool modulateAlpha;
  std::uint32_t fill1, color1, fill2, color2, expected;
  const char* failure;
  const char* warning;
};

void D3DTester::BeginTestScene(plat::DWORD srcBlend, const char* srcText, plat::DWORD destBlend, const char* destText) {
  DXError(mD3DDevice->BeginScene(), "");
  DXError(mD3DDevice->Clear(0, nullptr, plat::D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), "Clear");
  DXError(mD3DDevice->SetRenderState(plat::D3DRENDERSTATE_ALPHABLENDENABLE, 1), "D3DRENDERSTATE_ALPHABLENDENABLE, TRUE");
  DXError(mD3DDevice->SetRenderState(plat::D3DRENDERSTATE_SRCBLEND, srcBlend), srcText);
  DXError(mD3DDevice->SetRenderState(plat::D3DRENDERSTATE_DESTBLEND, destBlend), destText);
  DXError(mD3DDevice->SetRenderState(plat::D3DRENDERSTATE_CULLMODE, plat::D3DCULL_NONE),
          "D3DRENDERSTATE_CULLMODE, D3DCULL_NONE");
}

void D3DTester::DrawTestImage(const D3DTestImage& image, float x, float y, std::uint32_t color) {
  const bool wide = mTextureFormat.dwRGBBitCount == 32;
  for (int ty = 0; ty < image.mHeight; ty += 64) {
    for (int tx = 0; tx < image.mWidth; tx += 64) {
      const int w = std::min(64, image.mWidth - tx);
      const int h = std::min(64, image.mHeight - ty);
      plat::DDSURFACEDESC2 desc{};
      desc.dwSize = sizeof desc;
      DXError(mTextureSurface->Lock(nullptr, &desc, plat::DDLOCK_WAIT | plat::DDLOCK_WRITEONLY, nullptr), "Lock Texture");
      auto* bits = static_cast<std::uint8_t*>(desc.lpSurface);
      if (w < 64 || h < 64) std::memset(bits, 0, static_cast<std::size_t>(desc.lPitch) * desc.dwHeight);
      for (int row = 0; row < h; ++row) {
        std::uint8_t* out = bits + static_cast<std::ptrdiff_t>(row) * desc.lPitch;
        for (int col = 0; col < w; ++col) {
          const std::uint32_t c = image.Pixel(tx + col, ty + row);
          if (wide) {
            std::memcpy(out + col * 4, &c, 4);
          } else {
            const auto t = static_cast<std::uint16_t>(((c >> 16) & 0xF000) | ((c >> 12) & 0x0F00) |
                                                      ((c >> 8) & 0x00F0) | ((c >> 4) & 0x000F));
            std::memcpy(out + col * 2, &t, 2);
          }
        }
      }
      DXError(mTextureSurface->Unlock(nullptr), "Texture Unlock");
      DXError(mD3DDevice->SetTexture(0, mTextureSurface), "SetTexture theTexture");
      const float left = x + static_cast<float>(tx) - 0.5f;
      const float top = y + static_cast<float>(ty) - 0.5f;
      plat::D3DTLVERTEX7 v[4] = {{left, top, 0, 1, color, 0, 0, 0},
                                 {left, top + 64, 0, 1, color, 0, 0, 1},
                                 {left + 64, top, 0, 1, color, 0, 1, 0},
                                 {left + 64, top + 64, 0, 1, color, 0, 1, 1}};
      DXError(mD3DDevice->DrawPrimitive(plat::D3DPT_TRIANGLESTRIP, kVertexFormat, v, 4, plat::D3DDP_WAIT),
              "DrawPrimitive");
      DXError(mD3DDevice->SetTexture(0, nullptr), "SetTexture NULL");
    }
  }
}

void D3DTester::CopyPrimary() {
  plat::DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  DXError(mPrimarySurface->Lock(nullptr, &desc, plat::DDLOCK_WAIT, nullptr), "CopyPrimary Lock");
  const plat::DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
  if (bits == 32) {
    ReadSurface32(mTestImage, desc);
  } else if (bits == 16) {
    ReadSurface16(mTestImage, desc);
  } else {
    mPrimarySurface->Unlock(nullptr);
    throw TestException(bits == 24 ? "Can't test 24-bit mode." : "Invalid Color Depth");
  }
  mPrimarySurface->Unlock(nullptr);
}

bool D3DTester::RenderAndReadBack(const BlendCase& states, const std::function<void()>& draw) {
  bool inScene = false;
  try {
    BeginTestScene(states.srcBlend, states.srcText, states.destBlend, states.destText);
    inScene = true;
    if (states.modulateAlpha)
      DXError(mD3DDevice->SetTextureStageState(0, plat::D3DTSS_ALPHAOP, plat::D3DTOP_MODULATE),
              "D3DTSS_ALPHAOP, D3DTOP_MODULATE");
    draw();
    inScene = false;
    DXError(mD3DDevice->EndScene(), "");
    CopyPrimary();
  } catch (const TestException& e) {
    if (inScene) mD3DDevice->EndScene();
    return Fail(e.mMessage);
  }
  return true;
}

bool D3DTester::RunBlendTest(const BlendCase& test) {
  const bool rendered = RenderAndReadBack(test, [&] {
    D3DTestImage image;
    image.Create(64, 64);
    image.Fill(test.fill1);
    DrawTestImage(image, 0, 0, test.color1);
    image.Fill(test.fill2);
    DrawTestImage(image, 0, 0, test.color2);
  });
  if (!rendered) return false;
  int wrong = 0;
  bool uniform = true;
  const std::uint32_t first = mTestImage.Pixel(0, 0);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const std::uint32_t p = mTestImage.Pixel(x, y);
      if (ColorDistance(p, test.expected) > 768) ++wrong;
      if (p != first) uniform = false;
    }
  if (wrong > 0) return Fail(test.failure);
  if (!uniform) return Warn(test.warning);
  return true;
}

bool D3DTester::TestAlphaBlend() {
  return RunBlendTest({plat::D3DBLEND_SRCALPHA, "D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA", plat::D3DBLEND_INVSRCALPHA,
                       "D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA", false, 0xFF0000FF, 0xFFFFFFFF, 0x80FF0000,
                       0xFFFFFFFF, 0x7F007F, "Alpha blend Not Supported", "Alpha blend test not uniform."});
}

bool D3DTester::TestAdditiveBlend() {
  return RunBlendTest({plat::D3DBLEND_ONE, "D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE", plat::D3DBLEND_ONE,
                       "D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE", false, 0xFF404040, 0xFFFFFFFF, 0xFF404040, 0xFFFFFFFF,
                       0x808080, "Additive blend not supported.", "Additive blend test not uniform."});
}

bool D3DTester::TestAlphaAddBlend() {
  return RunBlendTest({plat::D3DBLEND_SRCALPHA, "D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA", plat::D3DBLEND_ONE,
                       "D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE", false, 0xFF404040, 0xFFFFFFFF, 0x80808080, 0xFFFFFFFF,
                       0x808080, "AlphaAdd blend not supported.", "AlphaAdd blend test not uniform."});
}

bool D3DTester::TestAlphaOp() {
  return RunBlendTest({plat::D3DBLEND_SRCALPHA, "D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA", plat::D3DBLEND_INVSRCALPHA,
                       "D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA", true, 0xFF0000FF, 0xFFFFFFFF, 0xFFFF0000,
                       0x80FFFFFF, 0x7F007F, "AlphaModulated blend not supported.",
                       "AlphaModulated blend test not uniform."});
}

bool D3DTester::TestClip() {
  const BlendCase alpha{plat::D3DBLEND_SRCALPHA, "D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA", plat::D3DBLEND_INVSRCALPHA,
                        "D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA", false, 0, 0, 0, 0, 0, "", ""};
  const bool rendered = RenderAndReadBack(alpha, [&] {
    D3DTestImage image;
    image.Create(64, 64);
    image.FillStripes();
    DrawTestImage(image, -2, -2, 0xFFFFFFFF);
  });
  if (!rendered) return false;
  if (mTestImage.CountStripeErrors(62, 62) > 0) return Warn("Clip problem detected.");
  return true;
}

bool D3DTester::RunRenderTests() {
  return TestAlphaBlend() && TestAdditiveBlend() && TestAlphaAddBlend() && TestAlphaOp() && TestClip();
}

// ------------------------------------------------------------------ display hook

bool RunD3DTest(DDInterface* display, plat::HWND window) {
  if (display->mD3DTester != nullptr) return false;
  OrvoAppBase* app = display->mApp;
  // The application asks for the test when 3D was chosen; it has no setting that turns 3D
  // on by itself from a passed test.
  const bool test3D = app != nullptr && app->mIs3DChosen;
  const bool auto3D = false;
  if (!test3D && !auto3D) return false;
  auto* tester = new D3DTester();
  display->mD3DTester = tester;
  tester->SetVidMemoryLimits(static_cast<std::uint32_t>(app->mMinVidMemory), static_cast<std::uint32_t>(app->mRecVidMemory));
  tester->TestD3D(window, display->mDD7 != nullptr ? display->mDD7 : display->mDD);
  if (auto3D && tester->mFailureReason.empty() && tester->mWarning.empty()) display->mIs3D = true;
  if (!tester->mFailureReason.empty()) display->mIs3D = false;
  if (tester->mFirstResult && (!tester->mFailureReason.empty() || !tester->mWarning.empty())) display->mIs3D = false;
  return true;
}

}  // namespace Orvo
