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

// floor() for texel positions, without a library call per pixel.
int FloorToInt(float f) {
  if (!(f > -1e9f && f < 1e9f)) return f > 0 ? 1000000000 : -1000000000;
  const int i = static_cast<int>(f);
  return f < static_cast<float>(i) ? i - 1 : i;
}

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
    case 8:
      f = {sizeof(DDPIXELFORMAT), DDPF_RGB | DDPF_PALETTEINDEXED8, 0, 8, 0, 0, 0, 0};
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
  desc->dpcTriCaps.dwTextureCaps = (gBehaviour.textureFormats & 8) != 0 ? D3DPTEXTURECAPS_ALPHAPALETTE : 0;
  desc->dwMinTextureWidth = gBehaviour.minTextureWidth;
  desc->dwMinTextureHeight = gBehaviour.minTextureHeight;
  desc->dwMaxTextureWidth = gBehaviour.maxTextureWidth;
  desc->dwMaxTextureHeight = gBehaviour.maxTextureHeight;
  desc->dwMaxTextureAspectRatio = gBehaviour.maxTextureAspectRatio;
  return D3D_OK;
}

HRESULT IDirect3DDevice7::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) {
  if (callback == nullptr) return DDERR_INVALIDPARAMS;
  for (DWORD code : {1u, 2u, 4u, 8u}) {
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

struct IDirect3DDevice7::Context {
  std::uint8_t* bits = nullptr;
  LONG pitch = 0;
  Layout target;
  const std::uint8_t* texBits = nullptr;
  LONG texPitch = 0;
  int texWidth = 0;
  int texHeight = 0;
  Layout texture;
  bool textured = false;
  // 32-bit X8R8G8B8 target or A8R8G8B8 texture: pixels read and written as they are.
  bool directTarget = false;
  bool directTexture = false;
  // An 8-bit texture read through its palette, as 0xAARRGGBB.
  bool paletteTexture = false;
  std::uint32_t palette[256] = {};
  bool linear = false;
  bool modulateAlpha = false;
  bool blend = false;
  DWORD srcBlend = D3DBLEND_ONE;
  DWORD destBlend = D3DBLEND_ZERO;
  // The clip box: the viewport within the target.
  LONG left = 0, top = 0, right = 0, bottom = 0;
  Context(const DDSURFACEDESC2& t, const DDSURFACEDESC2* tex)
      : target(t.ddpfPixelFormat), texture(tex != nullptr ? tex->ddpfPixelFormat : t.ddpfPixelFormat) {}
};

namespace {

std::uint32_t BlendFactor(DWORD blend, std::uint32_t sa) {
  switch (blend) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_SRCALPHA: return sa;
    case D3DBLEND_INVSRCALPHA: return 255 - sa;
    default: return 255;
  }
}

}  // namespace

void IDirect3DDevice7::ShadePixel(const Context& ctx, int x, int y, DWORD diffuse, float u, float v) {
  std::uint32_t src = diffuse;
  if (ctx.textured) {
    const int tw = ctx.texWidth;
    const int th = ctx.texHeight;
    auto texel = [&](int tx, int ty) {
      tx = std::clamp(tx, 0, tw - 1);
      ty = std::clamp(ty, 0, th - 1);
      const std::uint8_t* at = ctx.texBits + ty * ctx.texPitch + tx * ctx.texture.bytes;
      if (ctx.directTexture) {
        std::uint32_t c;
        std::memcpy(&c, at, 4);
        return c;
      }
      if (ctx.paletteTexture) return ctx.palette[*at];
      return ctx.texture.ToARGB(ctx.texture.Read(at));
    };
    std::uint32_t t = 0;
    if (ctx.linear) {
      const float fx = u * static_cast<float>(tw) - 0.5f;
      const float fy = v * static_cast<float>(th) - 0.5f;
      const int x0 = FloorToInt(fx);
      const int y0 = FloorToInt(fy);
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
      t = texel(FloorToInt(u * static_cast<float>(tw)), FloorToInt(v * static_cast<float>(th)));
    }
    if (diffuse == 0xFFFFFFFFu) {
      src = t;
    } else {
      const std::uint32_t alpha = ctx.modulateAlpha ? Mul255(t >> 24, diffuse >> 24) : t >> 24;
      src = alpha << 24;
      for (int i = 0; i < 3; ++i) src |= Mul255(ChannelOf(t, i), ChannelOf(diffuse, i)) << (i * 8);
    }
  }

  std::uint8_t* p = ctx.bits + y * ctx.pitch + x * ctx.target.bytes;
  std::uint32_t old;
  if (ctx.directTarget)
    std::memcpy(&old, p, 4);
  else
    old = ctx.target.Read(p);
  std::uint32_t out = src;
  if (ctx.blend) {
    const std::uint32_t sa = src >> 24;
    const std::uint32_t sf = BlendFactor(ctx.srcBlend, sa);
    const std::uint32_t df = BlendFactor(ctx.destBlend, sa);
    if (df == 0 && sf == 255) {
      out = src;
    } else if (sf == 0 && df == 255) {
      return;
    } else {
      const std::uint32_t dst = ctx.directTarget ? old | 0xFF000000u : ctx.target.ToARGB(old);
      auto channel = [&](int shift) {
        const std::uint32_t c = (((src >> shift) & 0xFF) * sf + ((dst >> shift) & 0xFF) * df + 127) / 255;
        return std::min<std::uint32_t>(255, c) << shift;
      };
      out = channel(0) | channel(8) | channel(16) | channel(24);
    }
  }
  if (ctx.directTarget) {
    const std::uint32_t value = (out & 0x00FFFFFFu) | (old & 0xFF000000u);
    std::memcpy(p, &value, 4);
  } else {
    ctx.target.Write(p, ctx.target.FromARGB(out, old));
  }
}

void IDirect3DDevice7::DrawTriangle(const D3DTLVERTEX7& a, const D3DTLVERTEX7& b0, const D3DTLVERTEX7& c0,
                                    const Context& ctx) {
  const D3DTLVERTEX7* v[3] = {&a, &b0, &c0};
  double area = (static_cast<double>(v[1]->x) - v[0]->x) * (static_cast<double>(v[2]->y) - v[0]->y) -
                (static_cast<double>(v[1]->y) - v[0]->y) * (static_cast<double>(v[2]->x) - v[0]->x);
  if (area == 0.0 || !std::isfinite(area)) return;
  if (area < 0) {
    std::swap(v[1], v[2]);
    area = -area;
  }
  const double minX = std::min({v[0]->x, v[1]->x, v[2]->x});
  const double maxX = std::max({v[0]->x, v[1]->x, v[2]->x});
  const double minY = std::min({v[0]->y, v[1]->y, v[2]->y});
  const double maxY = std::max({v[0]->y, v[1]->y, v[2]->y});
  // The box is cut to the viewport before it becomes integers, so far-away vertices are safe.
  const double bx1 = std::max<double>(ctx.left, std::ceil(minX));
  const double bx2 = std::min<double>(ctx.right - 1, std::floor(maxX));
  const double by1 = std::max<double>(ctx.top, std::ceil(minY));
  const double by2 = std::min<double>(ctx.bottom - 1, std::floor(maxY));
  if (!(bx1 <= bx2) || !(by1 <= by2)) return;
  const LONG x1 = static_cast<LONG>(bx1);
  const LONG x2 = static_cast<LONG>(bx2);
  const LONG y1 = static_cast<LONG>(by1);
  const LONG y2 = static_cast<LONG>(by2);

  // Edge i runs from vertex i+1 to vertex i+2; its weight belongs to vertex i. Along a row
  // its function is w = a x + b.
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
  const bool flat = v[0]->diffuse == v[1]->diffuse && v[1]->diffuse == v[2]->diffuse;
  const double invArea = 1.0 / area;
  for (LONG y = y1; y <= y2; ++y) {
    // The run of the row that can be inside: from each edge's crossing, one pixel of margin.
    double lo = static_cast<double>(x1);
    double hi = static_cast<double>(x2);
    double rowB[3];
    for (int i = 0; i < 3; ++i) {
      const Edge& e = edges[i];
      const double slope = -e.dy;
      rowB[i] = e.dx * (static_cast<double>(y) - e.oy) + e.dy * e.ox;
      if (slope > 0) {
        lo = std::max(lo, std::floor(-rowB[i] / slope) - 1);
      } else if (slope < 0) {
        hi = std::min(hi, std::ceil(-rowB[i] / slope) + 1);
      } else if (rowB[i] < 0 || (rowB[i] == 0 && !e.ownsTies)) {
        lo = hi + 1;
      }
    }
    for (LONG x = static_cast<LONG>(lo); x <= static_cast<LONG>(hi); ++x) {
      double w[3];
      bool inside = true;
      for (int i = 0; i < 3 && inside; ++i) {
        w[i] = rowB[i] - edges[i].dy * static_cast<double>(x);
        inside = w[i] > 0 || (w[i] == 0 && edges[i].ownsTies);
      }
      if (!inside) continue;
      const float l0 = static_cast<float>(w[0] * invArea);
      const float l1 = static_cast<float>(w[1] * invArea);
      const float l2 = 1.0f - l0 - l1;
      DWORD diffuse = v[0]->diffuse;
      if (!flat) {
        diffuse = 0;
        for (int i = 0; i < 4; ++i) {
          const float c = l0 * static_cast<float>(ChannelOf(v[0]->diffuse, i)) +
                          l1 * static_cast<float>(ChannelOf(v[1]->diffuse, i)) +
                          l2 * static_cast<float>(ChannelOf(v[2]->diffuse, i));
          diffuse |= static_cast<DWORD>(std::clamp(c + 0.5f, 0.0f, 255.0f)) << (i * 8);
        }
      }
      const float u = l0 * v[0]->u + l1 * v[1]->u + l2 * v[2]->u;
      const float tv = l0 * v[0]->v + l1 * v[1]->v + l2 * v[2]->v;
      ShadePixel(ctx, static_cast<int>(x), static_cast<int>(y), diffuse, u, tv);
    }
  }
}

void IDirect3DDevice7::DrawLine(const D3DTLVERTEX7& a, const D3DTLVERTEX7& b, const Context& ctx) {
  const double dx = static_cast<double>(b.x) - a.x;
  const double dy = static_cast<double>(b.y) - a.y;
  const double length = std::max(std::fabs(dx), std::fabs(dy));
  if (!(length > 0.0) || !std::isfinite(length) || !std::isfinite(a.x) || !std::isfinite(a.y)) return;
  // The end pixel is left out, as a following segment starts there. Only the steps that can
  // fall inside the viewport are walked, so a line reaching far outside costs nothing more.
  const double steps = std::max(1.0, std::ceil(length - 0.5));
  double first = 0.0;
  double last = steps - 1;
  auto keepWithin = [&](double start, double delta, double low, double high) {
    const double perStep = delta / length;
    if (perStep == 0.0) {
      if (start < low - 1 || start > high + 1) last = -1;
      return;
    }
    double t1 = (low - 1 - start) / perStep;
    double t2 = (high + 1 - start) / perStep;
    if (t1 > t2) std::swap(t1, t2);
    first = std::max(first, std::floor(t1));
    last = std::min(last, std::ceil(t2));
  };
  keepWithin(a.x, dx, ctx.left, ctx.right);
  keepWithin(a.y, dy, ctx.top, ctx.bottom);
  for (double i = first; i <= last; ++i) {
    const double t = i / length;
    const double px = std::floor(a.x + dx * t + 0.5);
    const double py = std::floor(a.y + dy * t + 0.5);
    if (px < ctx.left || py < ctx.top || px >= ctx.right || py >= ctx.bottom) continue;
    const LONG x = static_cast<LONG>(px);
    const LONG y = static_cast<LONG>(py);
    ShadePixel(ctx, static_cast<int>(x), static_cast<int>(y), a.diffuse, 0, 0);
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
  Context ctx(target, textured ? &texture : nullptr);
  ctx.bits = static_cast<std::uint8_t*>(target.lpSurface);
  ctx.pitch = target.lPitch;
  if (textured) {
    ctx.textured = true;
    ctx.texBits = static_cast<const std::uint8_t*>(texture.lpSurface);
    ctx.texPitch = texture.lPitch;
    ctx.texWidth = static_cast<int>(texture.dwWidth);
    ctx.texHeight = static_cast<int>(texture.dwHeight);
  }
  const DDPIXELFORMAT& tf = target.ddpfPixelFormat;
  ctx.directTarget = tf.dwRGBBitCount == 32 && tf.dwRBitMask == 0xFF0000 && tf.dwGBitMask == 0xFF00 &&
                     tf.dwBBitMask == 0xFF && (tf.dwFlags & DDPF_ALPHAPIXELS) == 0;
  if (textured) {
    const DDPIXELFORMAT& xf = texture.ddpfPixelFormat;
    ctx.directTexture = xf.dwRGBBitCount == 32 && xf.dwRBitMask == 0xFF0000 && xf.dwGBitMask == 0xFF00 &&
                        xf.dwBBitMask == 0xFF && (xf.dwFlags & DDPF_ALPHAPIXELS) != 0 && xf.dwRGBAlphaBitMask == 0xFF000000u;
    if ((xf.dwFlags & DDPF_PALETTEINDEXED8) != 0) {
      ctx.paletteTexture = true;
      IDirectDrawPalette* palette = nullptr;
      PALETTEENTRY entries[256];
      if (mTexture->GetPalette(&palette) == DD_OK) {
        palette->GetEntries(0, 0, 256, entries);
        palette->Release();
        for (int i = 0; i < 256; ++i)
          ctx.palette[i] = static_cast<std::uint32_t>(entries[i].peFlags) << 24 |
                           static_cast<std::uint32_t>(entries[i].peRed) << 16 |
                           static_cast<std::uint32_t>(entries[i].peGreen) << 8 | entries[i].peBlue;
      }
    }
  }
  ctx.linear = mStageStates[D3DTSS_MAGFILTER] == D3DTFG_LINEAR || mStageStates[D3DTSS_MINFILTER] == D3DTFG_LINEAR;
  ctx.modulateAlpha = mStageStates[D3DTSS_ALPHAOP] == D3DTOP_MODULATE;
  ctx.blend = mRenderStates[D3DRENDERSTATE_ALPHABLENDENABLE] != 0 && !gBehaviour.brokenBlending;
  ctx.srcBlend = mRenderStates[D3DRENDERSTATE_SRCBLEND];
  ctx.destBlend = mRenderStates[D3DRENDERSTATE_DESTBLEND];
  ctx.left = std::max<LONG>(0, static_cast<LONG>(mViewport.dwX));
  ctx.top = std::max<LONG>(0, static_cast<LONG>(mViewport.dwY));
  ctx.right = std::min<LONG>(static_cast<LONG>(target.dwWidth), static_cast<LONG>(mViewport.dwX + mViewport.dwWidth));
  ctx.bottom = std::min<LONG>(static_cast<LONG>(target.dwHeight), static_cast<LONG>(mViewport.dwY + mViewport.dwHeight));
  switch (type) {
    case D3DPT_LINESTRIP:
      for (DWORD i = 0; i + 1 < count; ++i) DrawLine(vx[i], vx[i + 1], ctx);
      break;
    case D3DPT_TRIANGLELIST:
      for (DWORD i = 0; i + 2 < count; i += 3) DrawTriangle(vx[i], vx[i + 1], vx[i + 2], ctx);
      break;
    case D3DPT_TRIANGLESTRIP:
      for (DWORD i = 0; i + 2 < count; ++i) DrawTriangle(vx[i], vx[i + 1], vx[i + 2], ctx);
      break;
    default:
      for (DWORD i = 1; i + 1 < count; ++i) DrawTriangle(vx[0], vx[i], vx[i + 1], ctx);
      break;
  }
  if (textured) mTexture->Unlock(nullptr);
  mTarget->Unlock(nullptr);
  return D3D_OK;
}

}  // namespace plat
