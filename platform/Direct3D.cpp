// The software Direct3D 7 device. Triangles are filled by edge functions with pixel centres
// on whole coordinates (the renderer offsets its quads by half a pixel for that), a top-left
// rule so that triangles sharing an edge never draw a pixel twice, affine interpolation of
// colour and texture coordinates, clamped point or bilinear sampling, and the blend factors
// of the render states, written in the target surface's own pixel layout.
#include "platform/Direct3D.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plat {
namespace {

Direct3DBehaviour gBehaviour;

// Unpacking and packing of pixels by their channel masks.
struct Channel {
  DWORD mask = 0;
  int shift = 0;
  int bits = 0;
};

Channel MakeChannel(DWORD mask) {
  Channel c;
  c.mask = mask;
  if (mask == 0) return c;
  while (((mask >> c.shift) & 1u) == 0) ++c.shift;
  while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1u) != 0) ++c.bits;
  return c;
}

// Widens a channel of `bits` bits to 8 bits by repeating its high bits.
std::uint32_t Widen(std::uint32_t v, int bits) {
  if (bits >= 8) return v >> (bits - 8);
  std::uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << bits) | v;
    filled += bits;
  }
  return out >> (filled - 8);
}

struct Layout {
  int bytes = 4;
  Channel a, r, g, b;
  explicit Layout(const DDPIXELFORMAT& f)
      : bytes(std::max(1, static_cast<int>(f.dwRGBBitCount / 8))),
        a(MakeChannel((f.dwFlags & DDPF_ALPHAPIXELS) != 0 ? f.dwRGBAlphaBitMask : 0)),
        r(MakeChannel(f.dwRBitMask)),
        g(MakeChannel(f.dwGBitMask)),
        b(MakeChannel(f.dwBBitMask)) {}

  std::uint32_t Read(const std::uint8_t* p) const {
    std::uint32_t v = 0;
    std::memcpy(&v, p, static_cast<std::size_t>(bytes));
    return v;
  }
  void Write(std::uint8_t* p, std::uint32_t v) const { std::memcpy(p, &v, static_cast<std::size_t>(bytes)); }

  static std::uint32_t Get(std::uint32_t v, const Channel& c, std::uint32_t absent) {
    if (c.mask == 0) return absent;
    return Widen((v & c.mask) >> c.shift, c.bits);
  }
  // 0xAARRGGBB from a pixel; no alpha channel reads as opaque.
  std::uint32_t ToARGB(std::uint32_t v) const {
    return Get(v, a, 255) << 24 | Get(v, r, 0) << 16 | Get(v, g, 0) << 8 | Get(v, b, 0);
  }
  static std::uint32_t Put(std::uint32_t c8, const Channel& c) {
    if (c.mask == 0) return 0;
    std::uint32_t v = c.bits >= 8 ? c8 << (c.bits - 8) : c8 >> (8 - c.bits);
    return (v << c.shift) & c.mask;
  }
  // A pixel from 0xAARRGGBB; bits outside the masks keep `keep`'s.
  std::uint32_t FromARGB(std::uint32_t argb, std::uint32_t keep) const {
    std::uint32_t masks = a.mask | r.mask | g.mask | b.mask;
    return (keep & ~masks) | Put(argb >> 24, a) | Put((argb >> 16) & 0xFF, r) | Put((argb >> 8) & 0xFF, g) |
           Put(argb & 0xFF, b);
  }
};

std::uint32_t Mul255(std::uint32_t a, std::uint32_t b) { return (a * b + 127) / 255; }

std::uint32_t ChannelOf(std::uint32_t argb, int index) { return (argb >> (index * 8)) & 0xFF; }

std::uint32_t Lerp8(std::uint32_t a, std::uint32_t b, float t) {
  return static_cast<std::uint32_t>(static_cast<float>(a) + (static_cast<float>(b) - static_cast<float>(a)) * t + 0.5f);
}

// The pixel-format codes the device offers, as DirectDraw pixel formats.
DDPIXELFORMAT FormatOfCode(DWORD code) {
  DDPIXELFORMAT f;
  switch (code) {
    case 1:
      f = {sizeof(DDPIXELFORMAT), DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
      break;
    case 2:
      f = {sizeof(DDPIXELFORMAT), DDPF_RGB | DDPF_ALPHAPIXELS, 0, 16, 0x0F00, 0x00F0, 0x000F, 0xF000};
      break;
    case 4:
      f = {sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 16, 0xF800, 0x07E0, 0x001F, 0};
      break;
    default:
      break;
  }
  return f;
}

}  // namespace

Direct3DBehaviour& Direct3DTestBehaviour() { return gBehaviour; }
void ResetDirect3DBehaviour() { gBehaviour = Direct3DBehaviour{}; }

// ---------------------------------------------------------------- adapter identity

HRESULT IDirectDraw::GetDeviceIdentifier(DDDEVICEIDENTIFIER2* id, DWORD) {
  if (id == nullptr) return DDERR_INVALIDPARAMS;
  if (gBehaviour.deviceIdentifierResult != DD_OK) return gBehaviour.deviceIdentifierResult;
  *id = DDDEVICEIDENTIFIER2{};
  std::snprintf(id->szDriver, sizeof id->szDriver, "%s", kSoftwareAdapterDriver);
  std::snprintf(id->szDescription, sizeof id->szDescription, "%s", gBehaviour.description.c_str());
  id->dwVendorId = 0x5156;
  id->dwDeviceId = 0x0007;
  id->guidDeviceIdentifier = GUID{0x51564F52, 0x7672, 0x0007, {0x53, 0x6F, 0x66, 0x74, 0x52, 0x61, 0x73, 0x74}};
  return DD_OK;
}

HRESULT IDirectDraw::GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) {
  if (caps == nullptr) return DDERR_INVALIDPARAMS;
  if (gBehaviour.vidMemResult != DD_OK) return gBehaviour.vidMemResult;
  if (total != nullptr) *total = gBehaviour.totalVidMem;
  if (free != nullptr) *free = gBehaviour.totalVidMem;
  return DD_OK;
}

// ---------------------------------------------------------------- Direct3D object

IDirect3D7::IDirect3D7(IDirectDraw7* owner) : mOwner(owner) { mOwner->AddRef(); }
IDirect3D7::~IDirect3D7() { mOwner->Release(); }

HRESULT CreateDirect3DFor(IDirectDraw7* owner, void** out) {
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (gBehaviour.queryDirect3DResult != D3D_OK) return gBehaviour.queryDirect3DResult;
  *out = new IDirect3D7(owner);
  return DD_OK;
}

HRESULT IDirect3D7::CreateDevice(IID iid, IDirectDrawSurface7* target, IDirect3DDevice7** out) {
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (gBehaviour.createDeviceResult != D3D_OK) return gBehaviour.createDeviceResult;
  if (iid != IID_IDirect3DHALDevice || target == nullptr) return DDERR_INVALIDPARAMS;
  if ((target->Caps() & DDSCAPS_3DDEVICE) == 0) return D3DERR_INVALID_DEVICE;
  *out = new IDirect3DDevice7(target);
  return D3D_OK;
}

// ---------------------------------------------------------------- device

IDirect3DDevice7::IDirect3DDevice7(IDirectDrawSurface7* target) : mTarget(target) {
  mTarget->AddRef();
  mViewport.dwWidth = static_cast<DWORD>(target->Width());
  mViewport.dwHeight = static_cast<DWORD>(target->Height());
  mRenderStates[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
  mRenderStates[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
  mStageStates[D3DTSS_COLOROP] = D3DTOP_MODULATE;
  mStageStates[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
  mStageStates[D3DTSS_MINFILTER] = D3DTFG_POINT;
  mStageStates[D3DTSS_MAGFILTER] = D3DTFG_POINT;
}

IDirect3DDevice7::~IDirect3DDevice7() {
  if (mTexture != nullptr) mTexture->Release();
  mTarget->Release();
}

DWORD IDirect3DDevice7::RenderState(D3DRENDERSTATETYPE state) const { return mRenderStates[state & 0xFF]; }
DWORD IDirect3DDevice7::TextureStageState(D3DTEXTURESTAGESTATETYPE type) const { return mStageStates[type & 0x1F]; }

HRESULT IDirect3DDevice7::GetCaps(D3DDEVICEDESC7* desc) {
  if (desc == nullptr) return DDERR_INVALIDPARAMS;
  if (gBehaviour.getCapsResult != D3D_OK) return gBehaviour.getCapsResult;
  desc->dpcTriCaps.dwTextureCaps = 0;  // no palettized textures
  desc->dwMinTextureWidth = gBehaviour.minTextureWidth;
  desc->dwMinTextureHeight = gBehaviour.minTextureHeight;
  desc->dwMaxTextureWidth = gBehaviour.maxTextureWidth;
  desc->dwMaxTextureHeight = gBehaviour.maxTextureHeight;
  desc->dwMaxTextureAspectRatio = gBehaviour.maxTextureAspectRatio;
  return D3D_OK;
}

HRESULT IDirect3DDevice7::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) {
  if (callback == nullptr) return DDERR_INVALIDPARAMS;
  for (DWORD code : {1u, 2u, 4u}) {
    if ((gBehaviour.textureFormats & code) == 0) continue;
    DDPIXELFORMAT f = FormatOfCode(code);
    if (callback(&f, context) == D3DENUMRET_CANCEL) return D3D_OK;
  }
  // A format the renderer has no use for: it must be passed over.
  DDPIXELFORMAT x1r5g5b5{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 16, 0x7C00, 0x03E0, 0x001F, 0};
  callback(&x1r5g5b5, context);
  return D3D_OK;
}

HRESULT IDirect3DDevice7::SetRenderTarget(IDirectDrawSurface7* surface, DWORD) {
  if (gBehaviour.setRenderTargetResult != D3D_OK) return gBehaviour.setRenderTargetResult;
  if (surface == nullptr) return DDERR_INVALIDPARAMS;
  if (surface->IsLost() != DD_OK) return DDERR_SURFACELOST;
  surface->AddRef();
  mTarget->Release();
  mTarget = surface;
  return D3D_OK;
}

HRESULT IDirect3DDevice7::BeginScene() {
  if (mInScene) return D3DERR_SCENE_IN_SCENE;
  mInScene = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice7::EndScene() {
  if (!mInScene) return D3DERR_SCENE_NOT_IN_SCENE;
  mInScene = false;
  return D3D_OK;
}

HRESULT IDirect3DDevice7::SetViewport(D3DVIEWPORT7* viewport) {
  if (viewport == nullptr) return DDERR_INVALIDPARAMS;
  mViewport = *viewport;
  return D3D_OK;
}

HRESULT IDirect3DDevice7::Clear(DWORD count, D3DRECT* rects, DWORD flags, DWORD color, float, DWORD) {
  if ((flags & D3DCLEAR_TARGET) == 0) return D3D_OK;
  DDSURFACEDESC2 desc;
  desc.dwSize = sizeof desc;
  HRESULT hr = mTarget->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
  if (hr != DD_OK) return hr;
  Layout layout(desc.ddpfPixelFormat);
  auto fill = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
    x1 = std::max<LONG>(x1, 0);
    y1 = std::max<LONG>(y1, 0);
    x2 = std::min<LONG>(x2, static_cast<LONG>(desc.dwWidth));
    y2 = std::min<LONG>(y2, static_cast<LONG>(desc.dwHeight));
    for (LONG y = y1; y < y2; ++y)
      for (LONG x = x1; x < x2; ++x) {
        std::uint8_t* p = static_cast<std::uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * layout.bytes;
        layout.Write(p, layout.FromARGB(color, 0));
      }
  };
  if (count == 0 || rects == nullptr) {
    fill(static_cast<LONG>(mViewport.dwX), static_cast<LONG>(mViewport.dwY),
         static_cast<LONG>(mViewport.dwX + mViewport.dwWidth), static_cast<LONG>(mViewport.dwY + mViewport.dwHeight));
  } else {
    for (DWORD i = 0; i < count; ++i) fill(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
  }
  mTarget->Unlock(nullptr);
  return D3D_OK;
}

HRESULT IDirect3DDevice7::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= 256) return DDERR_INVALIDPARAMS;
  mRenderStates[state] = value;
  return D3D_OK;
}

HRESULT IDirect3DDevice7::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  ++textureStageCalls;
  if (stage != 0 || type >= 32) return DDERR_INVALIDPARAMS;
  mStageStates[type] = value;
  return D3D_OK;
}

HRESULT IDirect3DDevice7::SetTexture(DWORD stage, IDirectDrawSurface7* texture) {
  if (stage != 0) return DDERR_INVALIDPARAMS;
  if (texture != nullptr && (texture->Caps() & DDSCAPS_TEXTURE) == 0) return D3DERR_WRONGTEXTUREFORMAT;
  if (texture != nullptr) texture->AddRef();
  if (mTexture != nullptr) mTexture->Release();
  mTexture = texture;
  return D3D_OK;
}

void IDirect3DDevice7::ShadePixel(std::uint8_t* bits, const DDSURFACEDESC2& target, int x, int y, DWORD diffuse,
                                  float u, float v, const DDSURFACEDESC2* texture) {
  std::uint32_t src = diffuse;
  if (texture != nullptr) {
    Layout tl(texture->ddpfPixelFormat);
    const int tw = static_cast<int>(texture->dwWidth);
    const int th = static_cast<int>(texture->dwHeight);
    auto texel = [&](int tx, int ty) {
      tx = std::clamp(tx, 0, tw - 1);
      ty = std::clamp(ty, 0, th - 1);
      return tl.ToARGB(tl.Read(static_cast<const std::uint8_t*>(texture->lpSurface) + ty * texture->lPitch +
                               tx * tl.bytes));
    };
    std::uint32_t t = 0;
    if (mStageStates[D3DTSS_MAGFILTER] == D3DTFG_LINEAR || mStageStates[D3DTSS_MINFILTER] == D3DTFG_LINEAR) {
      const float fx = u * static_cast<float>(tw) - 0.5f;
      const float fy = v * static_cast<float>(th) - 0.5f;
      const int x0 = static_cast<int>(std::floor(fx));
      const int y0 = static_cast<int>(std::floor(fy));
      const float ax = fx - static_cast<float>(x0);
      const float ay = fy - static_cast<float>(y0);
      const std::uint32_t c00 = texel(x0, y0), c10 = texel(x0 + 1, y0), c01 = texel(x0, y0 + 1),
                          c11 = texel(x0 + 1, y0 + 1);
      for (int i = 0; i < 4; ++i) {
        const std::uint32_t top = Lerp8(ChannelOf(c00, i), ChannelOf(c10, i), ax);
        const std::uint32_t bottom = Lerp8(ChannelOf(c01, i), ChannelOf(c11, i), ax);
        t |= std::min<std::uint32_t>(255, Lerp8(top, bottom, ay)) << (i * 8);
      }
    } else {
      t = texel(static_cast<int>(std::floor(u * static_cast<float>(tw))),
                static_cast<int>(std::floor(v * static_cast<float>(th))));
    }
    const std::uint32_t alpha =
        mStageStates[D3DTSS_ALPHAOP] == D3DTOP_MODULATE ? Mul255(t >> 24, diffuse >> 24) : t >> 24;
    src = alpha << 24;
    for (int i = 0; i < 3; ++i) src |= Mul255(ChannelOf(t, i), ChannelOf(diffuse, i)) << (i * 8);
  }

  Layout dl(target.ddpfPixelFormat);
  std::uint8_t* p = bits + y * target.lPitch + x * dl.bytes;
  const std::uint32_t old = dl.Read(p);
  std::uint32_t out = src;
  if (mRenderStates[D3DRENDERSTATE_ALPHABLENDENABLE] != 0 && !gBehaviour.brokenBlending) {
    const std::uint32_t dst = dl.ToARGB(old);
    const std::uint32_t sa = src >> 24;
    auto factor = [sa](DWORD blend) -> std::uint32_t {
      switch (blend) {
        case D3DBLEND_ZERO: return 0;
        case D3DBLEND_SRCALPHA: return sa;
        case D3DBLEND_INVSRCALPHA: return 255 - sa;
        default: return 255;
      }
    };
    const std::uint32_t sf = factor(mRenderStates[D3DRENDERSTATE_SRCBLEND]);
    const std::uint32_t df = factor(mRenderStates[D3DRENDERSTATE_DESTBLEND]);
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const std::uint32_t c = (ChannelOf(src, i) * sf + ChannelOf(dst, i) * df + 127) / 255;
      out |= std::min<std::uint32_t>(255, c) << (i * 8);
    }
  }
  dl.Write(p, dl.FromARGB(out, old));
}

void IDirect3DDevice7::DrawTriangle(const D3DTLVERTEX7& a, const D3DTLVERTEX7& b0, const D3DTLVERTEX7& c0,
                                    std::uint8_t* bits, const DDSURFACEDESC2& target, const DDSURFACEDESC2* texture) {
  const D3DTLVERTEX7* v[3] = {&a, &b0, &c0};
  double area = (static_cast<double>(v[1]->x) - v[0]->x) * (static_cast<double>(v[2]->y) - v[0]->y) -
                (static_cast<double>(v[1]->y) - v[0]->y) * (static_cast<double>(v[2]->x) - v[0]->x);
  if (area == 0.0 || !std::isfinite(area)) return;
  if (area < 0) {
    std::swap(v[1], v[2]);
    area = -area;
  }
  const LONG left = std::max<LONG>(0, static_cast<LONG>(mViewport.dwX));
  const LONG top = std::max<LONG>(0, static_cast<LONG>(mViewport.dwY));
  const LONG right = std::min<LONG>(static_cast<LONG>(target.dwWidth), static_cast<LONG>(mViewport.dwX + mViewport.dwWidth));
  const LONG bottom =
      std::min<LONG>(static_cast<LONG>(target.dwHeight), static_cast<LONG>(mViewport.dwY + mViewport.dwHeight));
  const double minX = std::min({v[0]->x, v[1]->x, v[2]->x});
  const double maxX = std::max({v[0]->x, v[1]->x, v[2]->x});
  const double minY = std::min({v[0]->y, v[1]->y, v[2]->y});
  const double maxY = std::max({v[0]->y, v[1]->y, v[2]->y});
  const LONG x1 = static_cast<LONG>(std::max<double>(left, std::ceil(minX)));
  const LONG x2 = static_cast<LONG>(std::min<double>(right - 1, std::floor(maxX)));
  const LONG y1 = static_cast<LONG>(std::max<double>(top, std::ceil(minY)));
  const LONG y2 = static_cast<LONG>(std::min<double>(bottom - 1, std::floor(maxY)));
  if (x1 > x2 || y1 > y2) return;

  // Edge i runs from vertex i+1 to vertex i+2; its weight belongs to vertex i.
  struct Edge {
    double dx, dy, ox, oy;
    bool ownsTies;
  } edges[3];
  for (int i = 0; i < 3; ++i) {
    const D3DTLVERTEX7& p = *v[(i + 1) % 3];
    const D3DTLVERTEX7& q = *v[(i + 2) % 3];
    Edge& e = edges[i];
    e.dx = static_cast<double>(q.x) - p.x;
    e.dy = static_cast<double>(q.y) - p.y;
    e.ox = p.x;
    e.oy = p.y;
    // Of two triangles sharing an edge, exactly one owns the pixels lying on it.
    e.ownsTies = e.dy < 0 || (e.dy == 0 && e.dx > 0);
  }
  for (LONG y = y1; y <= y2; ++y) {
    for (LONG x = x1; x <= x2; ++x) {
      double w[3];
      bool inside = true;
      for (int i = 0; i < 3 && inside; ++i) {
        const Edge& e = edges[i];
        w[i] = e.dx * (static_cast<double>(y) - e.oy) - e.dy * (static_cast<double>(x) - e.ox);
        inside = w[i] > 0 || (w[i] == 0 && e.ownsTies);
      }
      if (!inside) continue;
      const float l0 = static_cast<float>(w[0] / area);
      const float l1 = static_cast<float>(w[1] / area);
      const float l2 = 1.0f - l0 - l1;
      DWORD diffuse = 0;
      if (v[0]->diffuse == v[1]->diffuse && v[1]->diffuse == v[2]->diffuse) {
        diffuse = v[0]->diffuse;
      } else {
        for (int i = 0; i < 4; ++i) {
          const float c = l0 * static_cast<float>(ChannelOf(v[0]->diffuse, i)) +
                          l1 * static_cast<float>(ChannelOf(v[1]->diffuse, i)) +
                          l2 * static_cast<float>(ChannelOf(v[2]->diffuse, i));
          diffuse |= static_cast<DWORD>(std::clamp(c + 0.5f, 0.0f, 255.0f)) << (i * 8);
        }
      }
      const float u = l0 * v[0]->u + l1 * v[1]->u + l2 * v[2]->u;
      const float tv = l0 * v[0]->v + l1 * v[1]->v + l2 * v[2]->v;
      ShadePixel(bits, target, static_cast<int>(x), static_cast<int>(y), diffuse, u, tv, texture);
    }
  }
}

void IDirect3DDevice7::DrawLine(const D3DTLVERTEX7& a, const D3DTLVERTEX7& b, std::uint8_t* bits,
                                const DDSURFACEDESC2& target) {
  const float dx = b.x - a.x;
  const float dy = b.y - a.y;
  const float length = std::max(std::fabs(dx), std::fabs(dy));
  if (!(length > 0.0f) || !std::isfinite(length)) return;
  // The end pixel is left out, as a following segment starts there.
  const int steps = std::max(1, static_cast<int>(std::ceil(length - 0.5f)));
  const LONG right = std::min<LONG>(static_cast<LONG>(target.dwWidth), static_cast<LONG>(mViewport.dwX + mViewport.dwWidth));
  const LONG bottom =
      std::min<LONG>(static_cast<LONG>(target.dwHeight), static_cast<LONG>(mViewport.dwY + mViewport.dwHeight));
  for (int i = 0; i < steps; ++i) {
    const float t = static_cast<float>(i) / length;
    const LONG x = static_cast<LONG>(std::floor(a.x + dx * t + 0.5f));
    const LONG y = static_cast<LONG>(std::floor(a.y + dy * t + 0.5f));
    if (x < static_cast<LONG>(mViewport.dwX) || y < static_cast<LONG>(mViewport.dwY) || x >= right || y >= bottom)
      continue;
    ShadePixel(bits, target, static_cast<int>(x), static_cast<int>(y), a.diffuse, 0, 0, nullptr);
  }
}

HRESULT IDirect3DDevice7::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD count, DWORD) {
  ++drawCalls;
  if (gBehaviour.drawPrimitiveResult != D3D_OK) return gBehaviour.drawPrimitiveResult;
  if (fvf != (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1)) return D3DERR_INVALIDVERTEXTYPE;
  if (vertices == nullptr) return DDERR_INVALIDPARAMS;
  if (type != D3DPT_LINESTRIP && type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP &&
      type != D3DPT_TRIANGLEFAN)
    return D3DERR_INVALIDPRIMITIVETYPE;
  const auto* vx = static_cast<const D3DTLVERTEX7*>(vertices);

  DDSURFACEDESC2 target;
  target.dwSize = sizeof target;
  HRESULT hr = mTarget->Lock(nullptr, &target, DDLOCK_WAIT, nullptr);
  if (hr != DD_OK) return hr;
  DDSURFACEDESC2 texture;
  texture.dwSize = sizeof texture;
  bool textured = false;
  if (mTexture != nullptr && type != D3DPT_LINESTRIP) {
    hr = mTexture->Lock(nullptr, &texture, DDLOCK_WAIT | DDLOCK_READONLY, nullptr);
    if (hr != DD_OK) {
      mTarget->Unlock(nullptr);
      return hr;
    }
    textured = true;
  }
  auto* bits = static_cast<std::uint8_t*>(target.lpSurface);
  const DDSURFACEDESC2* tex = textured ? &texture : nullptr;
  switch (type) {
    case D3DPT_LINESTRIP:
      for (DWORD i = 0; i + 1 < count; ++i) DrawLine(vx[i], vx[i + 1], bits, target);
      break;
    case D3DPT_TRIANGLELIST:
      for (DWORD i = 0; i + 2 < count; i += 3) DrawTriangle(vx[i], vx[i + 1], vx[i + 2], bits, target, tex);
      break;
    case D3DPT_TRIANGLESTRIP:
      for (DWORD i = 0; i + 2 < count; ++i) DrawTriangle(vx[i], vx[i + 1], vx[i + 2], bits, target, tex);
      break;
    default:
      for (DWORD i = 1; i + 1 < count; ++i) DrawTriangle(vx[0], vx[i], vx[i + 1], bits, target, tex);
      break;
  }
  if (textured) mTexture->Unlock(nullptr);
  mTarget->Unlock(nullptr);
  return D3D_OK;
}

}  // namespace plat
