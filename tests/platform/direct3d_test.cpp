// The software Direct3D device on its own: the fast row paths give exactly the pixels of the
// pixel-by-pixel reference, for every target and texture format, filter and blend state; and
// coordinates that are not finite or lie far away draw nothing or are clipped, never
// outside the viewport, never stuck.
#include "platform/Direct3D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace plat;

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

DDPIXELFORMAT Format(DWORD flags, DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
  return DDPIXELFORMAT{sizeof(DDPIXELFORMAT), flags, 0, bits, r, g, b, a};
}

const DDPIXELFORMAT kX8R8G8B8 = Format(DDPF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0);
const DDPIXELFORMAT kR5G6B5 = Format(DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0);
const DDPIXELFORMAT kX1R5G5B5 = Format(DDPF_RGB, 16, 0x7C00, 0x03E0, 0x001F, 0);
const DDPIXELFORMAT kA8R8G8B8 = Format(DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const DDPIXELFORMAT kA4R4G4B4 = Format(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
const DDPIXELFORMAT kPalette8 = Format(DDPF_RGB | DDPF_PALETTEINDEXED8, 8, 0, 0, 0, 0);

D3DTLVERTEX7 Vertex(float x, float y, DWORD diffuse, float u = 0, float v = 0) {
  return D3DTLVERTEX7{x, y, 0.0f, 1.0f, diffuse, 0, u, v};
}

class Direct3DDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDirectDrawBehaviour();
    ResetDirect3DBehaviour();
    void* out = nullptr;
    ASSERT_EQ(DirectDrawCreateEx(nullptr, &out, IID_IDirectDraw7, nullptr), DD_OK);
    dd = static_cast<IDirectDraw7*>(out);
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    ASSERT_EQ(dd->QueryInterface(IID_IDirect3D7, &out), DD_OK);
    d3d = static_cast<IDirect3D7*>(out);
  }
  void TearDown() override {
    for (IDirectDrawSurface7* s : surfaces) s->Release();
    if (d3d != nullptr) d3d->Release();
    if (dd != nullptr) dd->Release();
    ResetDirect3DBehaviour();
    ResetDirectDrawBehaviour();
  }

  IDirectDrawSurface7* Surface(int w, int h, DWORD caps, const DDPIXELFORMAT& format) {
    DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(w);
    desc.dwHeight = static_cast<DWORD>(h);
    desc.ddsCaps.dwCaps = caps;
    desc.ddpfPixelFormat = format;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
    if (s != nullptr) surfaces.push_back(s);
    return s;
  }

  // A render target filled with bytes from `seed`, and a device drawing into it.
  IDirect3DDevice7* Device(const DDPIXELFORMAT& format, unsigned seed, IDirectDrawSurface7** target) {
    *target = Surface(kWidth, kHeight, DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN, format);
    FillRandom(*target, seed);
    IDirect3DDevice7* device = nullptr;
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, *target, &device), D3D_OK);
    return device;
  }

  // A texture of random texels (alpha spread over 0, 255 and values between), with a
  // random alpha palette when palettized.
  IDirectDrawSurface7* Texture(int w, int h, const DDPIXELFORMAT& format, unsigned seed) {
    IDirectDrawSurface7* t = Surface(w, h, DDSCAPS_TEXTURE, format);
    FillRandom(t, seed);
    if ((format.dwFlags & DDPF_PALETTEINDEXED8) != 0) {
      std::mt19937 rng(seed);
      PALETTEENTRY entries[256];
      for (PALETTEENTRY& e : entries) {
        const std::uint32_t c = rng();
        e = PALETTEENTRY{static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                         static_cast<std::uint8_t>(c >> 16), AlphaOf(c >> 24)};
      }
      IDirectDrawPalette* palette = nullptr;
      EXPECT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256 | DDPCAPS_ALPHA, entries, &palette, nullptr), DD_OK);
      t->SetPalette(palette);
      palette->Release();
    }
    return t;
  }

  static std::uint8_t AlphaOf(std::uint32_t r) { return r < 64 ? 0 : r < 128 ? 255 : static_cast<std::uint8_t>(r * 7); }

  static void FillRandom(IDirectDrawSurface7* s, unsigned seed) {
    std::mt19937 rng(seed);
    DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
      auto* row = static_cast<std::uint8_t*>(desc.lpSurface) + y * static_cast<DWORD>(desc.lPitch);
      for (DWORD x = 0; x < desc.dwWidth * static_cast<DWORD>(bytes); ++x) row[x] = static_cast<std::uint8_t>(rng());
      // A third of the 32-bit texels fully transparent or fully opaque, as images mostly are.
      if (bytes == 4)
        for (DWORD x = 0; x < desc.dwWidth; ++x) row[x * 4 + 3] = AlphaOf(row[x * 4 + 3]);
    }
    s->Unlock(nullptr);
  }

  static std::vector<std::uint8_t> Bytes(IDirectDrawSurface7* s) {
    DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    const auto* p = static_cast<const std::uint8_t*>(desc.lpSurface);
    std::vector<std::uint8_t> out(p, p + desc.dwHeight * static_cast<DWORD>(desc.lPitch));
    s->Unlock(nullptr);
    return out;
  }

  IDirectDraw7* dd = nullptr;
  IDirect3D7* d3d = nullptr;
  std::vector<IDirectDrawSurface7*> surfaces;
};

// One random draw: a screen-aligned quad with texels one to one (strip or fan, partly off
// the viewport), a nearly aligned or stretched quad, or a loose triangle list; white, one
// colour or a colour per vertex.
struct Draw {
  D3DPRIMITIVETYPE type;
  std::vector<D3DTLVERTEX7> vertices;
};

Draw RandomDraw(std::mt19937& rng, int tw, int th) {
  auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const DWORD colours[3] = {0xFFFFFFFFu, static_cast<DWORD>(rng()), static_cast<DWORD>(rng())};
  const int colouring = pick(3);
  auto colour = [&](int i) { return colouring == 0 ? colours[0] : colouring == 1 ? colours[1] : static_cast<DWORD>(rng() | i); };
  Draw d;
  const int kind = pick(4);
  if (kind <= 1) {
    // One to one: w x h texels from (kx, ky) at (x, y), as the renderer's quads.
    const int w = 1 + pick(tw), h = 1 + pick(th);
    const int kx = pick(tw - w + 1), ky = pick(th - h + 1);
    const int x = pick(kWidth + 2 * w) - w, y = pick(kHeight + 2 * h) - h;
    const float l = static_cast<float>(x) - 0.5f, t = static_cast<float>(y) - 0.5f;
    const float r = l + static_cast<float>(w), b = t + static_cast<float>(h);
    const float uL = static_cast<float>(kx) / static_cast<float>(tw), uR = static_cast<float>(kx + w) / static_cast<float>(tw);
    const float vT = static_cast<float>(ky) / static_cast<float>(th), vB = static_cast<float>(ky + h) / static_cast<float>(th);
    const DWORD c = colour(0);
    const D3DTLVERTEX7 tl = Vertex(l, t, c, uL, vT), bl = Vertex(l, b, c, uL, vB), tr = Vertex(r, t, c, uR, vT),
                       br = Vertex(r, b, c, uR, vB);
    if (kind == 0) {
      d.type = D3DPT_TRIANGLESTRIP;
      d.vertices = {tl, bl, tr, br};
    } else {
      d.type = D3DPT_TRIANGLEFAN;
      d.vertices = {tl, bl, br, tr};
    }
  } else if (kind == 2) {
    // An aligned quad whose texels do not land one to one: stretched, shifted by a
    // fraction of a pixel, or a hair off in its texture coordinates.
    const float l = uniform(-10, 50), t = uniform(-10, 40);
    const float r = l + uniform(1, 30), b = t + uniform(1, 30);
    const float du = pick(2) == 0 ? 0.0f : 1e-3f;
    const DWORD c = colour(0);
    d.type = D3DPT_TRIANGLESTRIP;
    d.vertices = {Vertex(l, t, c, du, 0), Vertex(l, b, c, du, 1), Vertex(r, t, c, 1, 0), Vertex(r, b, c, 1, 1)};
  } else {
    d.type = D3DPT_TRIANGLELIST;
    for (int i = 0; i < 6; ++i)
      d.vertices.push_back(Vertex(uniform(-20, kWidth + 20), uniform(-20, kHeight + 20), colour(i), uniform(-0.3f, 1.3f),
                                  uniform(-0.3f, 1.3f)));
  }
  return d;
}

TEST_F(Direct3DDeviceTest, FastPathsGiveExactlyTheReferencePixels) {
  struct Blend {
    bool enable;
    DWORD src, dest;
  } blends[] = {
      {false, D3DBLEND_ONE, D3DBLEND_ZERO},          {true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
      {true, D3DBLEND_SRCALPHA, D3DBLEND_ONE},       {true, D3DBLEND_ONE, D3DBLEND_ONE},
      {true, D3DBLEND_ONE, D3DBLEND_ZERO},           {true, D3DBLEND_ZERO, D3DBLEND_ONE},
      {true, D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA},
  };
  struct Tex {
    const char* name;
    const DDPIXELFORMAT* format;
    int w, h;
  } textures[] = {
      {"none", nullptr, 0, 0},           {"A8R8G8B8", &kA8R8G8B8, 16, 8}, {"A8R8G8B8 wide", &kA8R8G8B8, 1024, 4},
      {"A4R4G4B4", &kA4R4G4B4, 13, 16}, {"R5G6B5", &kR5G6B5, 32, 32},    {"palette", &kPalette8, 64, 5},
  };
  struct Target {
    const char* name;
    const DDPIXELFORMAT* format;
  } targets[] = {{"X8R8G8B8", &kX8R8G8B8}, {"R5G6B5", &kR5G6B5}, {"X1R5G5B5", &kX1R5G5B5}, {"A8R8G8B8", &kA8R8G8B8}};

  unsigned seed = 1;
  int aligned = 0;
  for (const Target& target : targets)
    for (const Tex& tex : textures)
      for (bool linear : {false, true})
        for (bool modulateAlpha : {false, true})
          for (const Blend& blend : blends) {
            ++seed;
            std::vector<std::uint8_t> pictures[2];
            for (int fast = 0; fast < 2; ++fast) {
              Direct3DTestBehaviour().referenceRasterizer = fast == 0;
              IDirectDrawSurface7* surface = nullptr;
              IDirect3DDevice7* device = Device(*target.format, seed, &surface);
              ASSERT_NE(device, nullptr);
              IDirectDrawSurface7* texture = tex.format != nullptr ? Texture(tex.w, tex.h, *tex.format, seed) : nullptr;
              device->SetTexture(0, texture);
              D3DVIEWPORT7 viewport{3, 2, kWidth - 7, kHeight - 5, 0.0f, 1.0f};
              device->SetViewport(&viewport);
              device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, blend.enable ? 1 : 0);
              device->SetRenderState(D3DRENDERSTATE_SRCBLEND, blend.src);
              device->SetRenderState(D3DRENDERSTATE_DESTBLEND, blend.dest);
              device->SetTextureStageState(0, D3DTSS_MAGFILTER, linear ? D3DTFG_LINEAR : D3DTFG_POINT);
              device->SetTextureStageState(0, D3DTSS_MINFILTER, linear ? D3DTFG_LINEAR : D3DTFG_POINT);
              device->SetTextureStageState(0, D3DTSS_ALPHAOP, modulateAlpha ? D3DTOP_MODULATE : D3DTOP_SELECTARG1);
              std::mt19937 rng(seed);
              for (int i = 0; i < 12; ++i) {
                Draw d = RandomDraw(rng, tex.format != nullptr ? tex.w : 16, tex.format != nullptr ? tex.h : 16);
                ASSERT_EQ(device->DrawPrimitive(d.type, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1,
                                                d.vertices.data(), static_cast<DWORD>(d.vertices.size()), 0),
                          D3D_OK);
              }
              if (fast == 1) aligned += device->alignedQuads;
              pictures[fast] = Bytes(surface);
              device->Release();
            }
            ASSERT_EQ(pictures[0], pictures[1]) << "target " << target.name << ", texture " << tex.name
                                                << (linear ? ", linear" : ", point") << ", blend " << blend.enable << "/"
                                                << blend.src << "/" << blend.dest << ", alpha modulated " << modulateAlpha;
          }
  EXPECT_GT(aligned, 1000) << "the row path for aligned quads was taken";
}

TEST_F(Direct3DDeviceTest, NonFiniteAndFarCoordinatesDrawNothingOrClip) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  constexpr float kMax = std::numeric_limits<float>::max();
  const DWORD fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
  // The viewport leaves a frame of the target untouched; every draw must keep it so.
  D3DVIEWPORT7 viewport{4, 4, kWidth - 8, kHeight - 8, 0.0f, 1.0f};
  auto inViewport = [](int x, int y) { return x >= 4 && y >= 4 && x < kWidth - 4 && y < kHeight - 4; };

  struct Case {
    const char* name;
    D3DPRIMITIVETYPE type;
    std::vector<D3DTLVERTEX7> vertices;
    // Pixels of the viewport that must be drawn: none, or all of them.
    bool fillsViewport;
  } cases[] = {
      {"NaN corner", D3DPT_TRIANGLESTRIP, {Vertex(kNaN, 0, 1), Vertex(0, 40, 1), Vertex(40, 0, 1), Vertex(40, 40, 1)}, false},
      {"infinite corner", D3DPT_TRIANGLEFAN, {Vertex(0, 0, 1), Vertex(0, 40, 1), Vertex(kInf, 40, 1), Vertex(40, 0, 1)}, false},
      {"all NaN", D3DPT_TRIANGLELIST, {Vertex(kNaN, kNaN, 1), Vertex(kNaN, kNaN, 1), Vertex(kNaN, kNaN, 1)}, false},
      {"a billion out", D3DPT_TRIANGLELIST, {Vertex(-1e9f, -1e9f, 1), Vertex(1e9f, -1e9f, 1), Vertex(0, 1e9f, 1)}, true},
      {"float's largest", D3DPT_TRIANGLELIST, {Vertex(-kMax, -kMax, 1), Vertex(kMax, -kMax, 1), Vertex(0, kMax, 1)}, false},
      {"a billion beside", D3DPT_TRIANGLELIST, {Vertex(1e9f, 0, 1), Vertex(1e9f + 512, 0, 1), Vertex(1e9f, 30, 1)}, false},
      {"sliver far across", D3DPT_TRIANGLELIST, {Vertex(-3e9f, 10, 1), Vertex(3e9f, 10.25f, 1), Vertex(3e9f, 10.5f, 1)}, false},
      {"huge aligned quad", D3DPT_TRIANGLESTRIP,
       {Vertex(-1e9f, -1e9f, 1), Vertex(-1e9f, 1e9f, 1), Vertex(1e9f, -1e9f, 1), Vertex(1e9f, 1e9f, 1)}, true},
      {"line from NaN", D3DPT_LINESTRIP, {Vertex(kNaN, 5, 1), Vertex(30, 5, 1)}, false},
      {"line to infinity", D3DPT_LINESTRIP, {Vertex(5, 5, 1), Vertex(kInf, 5, 1)}, false},
      {"line across the floats", D3DPT_LINESTRIP, {Vertex(-kMax, -kMax, 1), Vertex(kMax, kMax, 1)}, false},
      {"line across a billion", D3DPT_LINESTRIP, {Vertex(-1e9f, 20, 1), Vertex(1e9f, 20, 1)}, false},
  };
  for (bool reference : {true, false})
    for (bool linear : {false, true})
      for (const Case& c : cases) {
        Direct3DTestBehaviour().referenceRasterizer = reference;
        IDirectDrawSurface7* target = nullptr;
        IDirect3DDevice7* device = Device(kX8R8G8B8, 7, &target);
        ASSERT_NE(device, nullptr);
        device->SetViewport(&viewport);
        const std::vector<std::uint8_t> before = Bytes(target);
        std::vector<D3DTLVERTEX7> v = c.vertices;
        for (D3DTLVERTEX7& p : v) p.diffuse = 0xFF00FF00u;
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, linear ? D3DTFG_LINEAR : D3DTFG_POINT);
        ASSERT_EQ(device->DrawPrimitive(c.type, fvf, v.data(), static_cast<DWORD>(v.size()), 0), D3D_OK) << c.name;
        const std::vector<std::uint8_t> after = Bytes(target);
        for (int y = 0; y < kHeight; ++y)
          for (int x = 0; x < kWidth; ++x) {
            std::uint32_t was, is;
            std::memcpy(&was, &before[static_cast<std::size_t>(y * kWidth + x) * 4], 4);
            std::memcpy(&is, &after[static_cast<std::size_t>(y * kWidth + x) * 4], 4);
            if (!inViewport(x, y)) {
              ASSERT_EQ(is, was) << c.name << ": drawn outside the viewport at " << x << "," << y;
            } else if (c.fillsViewport) {
              ASSERT_EQ(is & 0xFFFFFF, 0x00FF00u) << c.name << " at " << x << "," << y;
            }
          }
        if (std::string(c.name) == "line across a billion") {
          for (int x = 4; x < kWidth - 4; ++x) EXPECT_EQ(target->PixelAt(x, 20) & 0xFFFFFF, 0x00FF00u) << x;
        }
        device->Release();
      }

  // Texture coordinates that are not finite read the texture's edge, with either filter.
  IDirectDrawSurface7* target = nullptr;
  IDirect3DDevice7* device = Device(kX8R8G8B8, 9, &target);
  IDirectDrawSurface7* texture = Texture(8, 8, kA8R8G8B8, 3);
  device->SetTexture(0, texture);
  for (DWORD filter : {D3DTFG_POINT, D3DTFG_LINEAR}) {
    device->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
    for (float bad : {kNaN, kInf, -kInf, 1e30f, -1e30f}) {
      const D3DTLVERTEX7 tri[3] = {Vertex(0, 0, 0xFFFFFFFF, bad, 0), Vertex(30, 0, 0xFFFFFFFF, 1, bad),
                                   Vertex(0, 30, 0xFFFFFFFF, 0, 1)};
      EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, fvf, const_cast<D3DTLVERTEX7*>(tri), 3, 0), D3D_OK);
    }
  }
  device->Release();
}

}  // namespace
