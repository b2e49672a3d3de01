// The software Direct3D 7 device. Triangles are filled by edge functions with pixel centres
// on whole coordinates (the renderer offsets its quads by half a pixel for that), a top-left
// rule so that triangles sharing an edge never draw a pixel twice, affine interpolation of
// colour and texture coordinates, clamped point or bilinear sampling, and the blend factors
// of the render states, written in the target surface's own pixel layout.
//
// Two ways to the same pixels: the reference walk shades pixel by pixel; the fast path
// draws a screen-aligned quad whose texels land one to one on pixels as rows (texels copied,
// then modulated and blended by the row kernels of Direct3DRows.h), and any other triangle
// row by row: the covered run of each row found once, its colours and texture coordinates
// worked out with the reference's own arithmetic into a row, and the row blended as a whole.
#include "platform/Direct3D.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Direct3DRows.h"

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

namespace {

// How the blend state combines a source pixel with the target, worked out once per call.
enum class BlendOp { Copy, Skip, Over, AddWeighted, AddBoth, General };

// What one DrawPrimitive call draws with: the locked target and texture and their layouts,
// the filter and the blend factors, worked out once for all its pixels.
struct DrawContext {
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
  BlendOp op = BlendOp::Copy;
  // The clip box: the viewport within the target.
  LONG left = 0, top = 0, right = 0, bottom = 0;
  DrawContext(const DDSURFACEDESC2& t, const DDSURFACEDESC2* tex)
      : target(t.ddpfPixelFormat), texture(tex != nullptr ? tex->ddpfPixelFormat : t.ddpfPixelFormat) {}
};

std::uint32_t BlendFactor(DWORD blend, std::uint32_t sa) {
  switch (blend) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_SRCALPHA: return sa;
    case D3DBLEND_INVSRCALPHA: return 255 - sa;
    default: return 255;
  }
}

BlendOp ChooseBlend(bool blend, DWORD src, DWORD dest) {
  if (!blend) return BlendOp::Copy;
  // Every factor but zero and the two alpha ones counts as one.
  auto kind = [](DWORD f) { return f == D3DBLEND_ZERO || f == D3DBLEND_SRCALPHA || f == D3DBLEND_INVSRCALPHA ? f : D3DBLEND_ONE; };
  const DWORD s = kind(src), d = kind(dest);
  if (s == D3DBLEND_ONE && d == D3DBLEND_ZERO) return BlendOp::Copy;
  if (s == D3DBLEND_ZERO && d == D3DBLEND_ONE) return BlendOp::Skip;
  if (s == D3DBLEND_SRCALPHA && d == D3DBLEND_INVSRCALPHA) return BlendOp::Over;
  if (s == D3DBLEND_SRCALPHA && d == D3DBLEND_ONE) return BlendOp::AddWeighted;
  if (s == D3DBLEND_ONE && d == D3DBLEND_ONE) return BlendOp::AddBoth;
  return BlendOp::General;
}

// Texel (tx, ty), held to the texture, as 0xAARRGGBB.
inline std::uint32_t Texel(const DrawContext& ctx, int tx, int ty) {
  tx = std::clamp(tx, 0, ctx.texWidth - 1);
  ty = std::clamp(ty, 0, ctx.texHeight - 1);
  const std::uint8_t* at = ctx.texBits + ty * ctx.texPitch + tx * ctx.texture.bytes;
  if (ctx.directTexture) {
    std::uint32_t c;
    std::memcpy(&c, at, 4);
    return c;
  }
  if (ctx.paletteTexture) return ctx.palette[*at];
  return ctx.texture.ToARGB(ctx.texture.Read(at));
}

// A bilinear sample position held to one texel beyond the texture's edge (NaN to the left
// edge): positions further out read the same edge texels, so the colour is the same, and the
// weights stay finite.
inline float HoldNearTexture(float f, int size) {
  if (!(f >= -1.0f)) return -1.0f;
  return std::min(f, static_cast<float>(size));
}

// The texture's colour at (u, v), point or bilinear.
inline std::uint32_t Sample(const DrawContext& ctx, float u, float v) {
  const int tw = ctx.texWidth;
  const int th = ctx.texHeight;
  if (!ctx.linear) return Texel(ctx, FloorToInt(u * static_cast<float>(tw)), FloorToInt(v * static_cast<float>(th)));
  const float fx = HoldNearTexture(u * static_cast<float>(tw) - 0.5f, tw);
  const float fy = HoldNearTexture(v * static_cast<float>(th) - 0.5f, th);
  const int x0 = FloorToInt(fx);
  const int y0 = FloorToInt(fy);
  const float ax = fx - static_cast<float>(x0);
  const float ay = fy - static_cast<float>(y0);
  const std::uint32_t c00 = Texel(ctx, x0, y0), c10 = Texel(ctx, x0 + 1, y0), c01 = Texel(ctx, x0, y0 + 1),
                      c11 = Texel(ctx, x0 + 1, y0 + 1);
  std::uint32_t t = 0;
  for (int i = 0; i < 4; ++i) {
    const std::uint32_t top = Lerp8(ChannelOf(c00, i), ChannelOf(c10, i), ax);
    const std::uint32_t bottom = Lerp8(ChannelOf(c01, i), ChannelOf(c11, i), ax);
    t |= std::min<std::uint32_t>(255, Lerp8(top, bottom, ay)) << (i * 8);
  }
  return t;
}

// The texel lit by the vertex colour: colour channels multiplied, alpha multiplied too when
// the alpha stage modulates.
inline std::uint32_t ModulateTexel(const DrawContext& ctx, std::uint32_t t, DWORD diffuse) {
  if (diffuse == 0xFFFFFFFFu) return t;
  const std::uint32_t alpha = ctx.modulateAlpha ? Mul255(t >> 24, diffuse >> 24) : t >> 24;
  std::uint32_t src = alpha << 24;
  for (int i = 0; i < 3; ++i) src |= Mul255(ChannelOf(t, i), ChannelOf(diffuse, i)) << (i * 8);
  return src;
}

// The blend of one source pixel over `dst` (0xAARRGGBB): false when the target keeps its pixel.
inline bool BlendPixel(const DrawContext& ctx, std::uint32_t src, std::uint32_t dst, std::uint32_t& out) {
  const std::uint32_t sa = src >> 24;
  const std::uint32_t sf = BlendFactor(ctx.srcBlend, sa);
  const std::uint32_t df = BlendFactor(ctx.destBlend, sa);
  if (df == 0 && sf == 255) {
    out = src;
    return true;
  }
  if (sf == 0 && df == 255) return false;
  auto channel = [&](int shift) {
    const std::uint32_t c = (((src >> shift) & 0xFF) * sf + ((dst >> shift) & 0xFF) * df + 127) / 255;
    return std::min<std::uint32_t>(255, c) << shift;
  };
  out = channel(0) | channel(8) | channel(16) | channel(24);
  return true;
}

// The reference: one pixel shaded, blended and written on its own.
void ShadePixel(const DrawContext& ctx, int x, int y, DWORD diffuse, float u, float v) {
  const std::uint32_t src = ctx.textured ? ModulateTexel(ctx, Sample(ctx, u, v), diffuse) : diffuse;
  std::uint8_t* p = ctx.bits + y * ctx.pitch + x * ctx.target.bytes;
  std::uint32_t old;
  if (ctx.directTarget)
    std::memcpy(&old, p, 4);
  else
    old = ctx.target.Read(p);
  std::uint32_t out = src;
  if (ctx.blend && !BlendPixel(ctx, src, ctx.directTarget ? old | 0xFF000000u : ctx.target.ToARGB(old), out)) return;
  if (ctx.directTarget) {
    const std::uint32_t value = (out & 0x00FFFFFFu) | (old & 0xFF000000u);
    std::memcpy(p, &value, 4);
  } else {
    ctx.target.Write(p, ctx.target.FromARGB(out, old));
  }
}

// Pixels handled at a time by the row path (stack room for a row's pieces).
constexpr int kRowChunk = 256;

// n source pixels (0xAARRGGBB) blended onto the target from (x, y) rightwards, exactly as
// ShadePixel would do them one by one.
void WriteRow(const DrawContext& ctx, int x, int y, const std::uint32_t* src, int n) {
  if (ctx.op == BlendOp::Skip || n <= 0) return;
  std::uint8_t* p = ctx.bits + y * ctx.pitch + x * ctx.target.bytes;
  if (ctx.op == BlendOp::General) {
    for (int i = 0; i < n; ++i, p += ctx.target.bytes) {
      const std::uint32_t old = ctx.directTarget ? [&] { std::uint32_t o; std::memcpy(&o, p, 4); return o; }()
                                                 : ctx.target.Read(p);
      std::uint32_t out;
      if (!BlendPixel(ctx, src[i], ctx.directTarget ? old | 0xFF000000u : ctx.target.ToARGB(old), out)) continue;
      if (ctx.directTarget) {
        const std::uint32_t value = (out & 0x00FFFFFFu) | (old & 0xFF000000u);
        std::memcpy(p, &value, 4);
      } else {
        ctx.target.Write(p, ctx.target.FromARGB(out, old));
      }
    }
    return;
  }
  auto blend = [&](std::uint32_t* dst, const std::uint32_t* s, int count, bool keepAlpha) {
    switch (ctx.op) {
      case BlendOp::Over: d3drows::Over(dst, s, count, keepAlpha); break;
      case BlendOp::AddWeighted: d3drows::AddWeighted(dst, s, count, keepAlpha); break;
      case BlendOp::AddBoth: d3drows::AddBoth(dst, s, count, keepAlpha); break;
      default: d3drows::Copy(dst, s, count, keepAlpha); break;
    }
  };
  if (ctx.directTarget) {
    blend(reinterpret_cast<std::uint32_t*>(p), src, n, true);
    return;
  }
  // Other layouts: a piece of the row read as 0xAARRGGBB, blended, and written back.
  std::uint32_t old[kRowChunk];
  std::uint32_t argb[kRowChunk];
  for (int done = 0; done < n; done += kRowChunk) {
    const int count = std::min(kRowChunk, n - done);
    std::uint8_t* at = p + done * ctx.target.bytes;
    for (int i = 0; i < count; ++i) {
      old[i] = ctx.target.Read(at + i * ctx.target.bytes);
      argb[i] = ctx.target.ToARGB(old[i]);
    }
    blend(argb, src + done, count, false);
    for (int i = 0; i < count; ++i) ctx.target.Write(at + i * ctx.target.bytes, ctx.target.FromARGB(argb[i], old[i]));
  }
}

// One triangle's edge functions and its box within the viewport, shared by the reference
// walk and the row path so both work out every pixel with the same arithmetic.
struct TriangleSetup {
  const D3DTLVERTEX7* v[3];
  // Edge i runs from vertex i+1 to vertex i+2; its weight belongs to vertex i. Along a row
  // its function is w = rowB - dy x.
  struct Edge {
    double dx, dy, ox, oy;
    bool ownsTies;
  } edges[3];
  bool flat = true;
  double invArea = 0;
  LONG x1 = 0, x2 = -1, y1 = 0, y2 = -1;

  // False when the triangle covers no pixel of the viewport (or is degenerate or not finite).
  bool Init(const D3DTLVERTEX7& a, const D3DTLVERTEX7& b, const D3DTLVERTEX7& c, const DrawContext& ctx) {
    v[0] = &a;
    v[1] = &b;
    v[2] = &c;
    double area = (static_cast<double>(v[1]->x) - v[0]->x) * (static_cast<double>(v[2]->y) - v[0]->y) -
                  (static_cast<double>(v[1]->y) - v[0]->y) * (static_cast<double>(v[2]->x) - v[0]->x);
    // A non-finite area also catches every non-finite position.
    if (area == 0.0 || !std::isfinite(area)) return false;
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
    if (!(bx1 <= bx2) || !(by1 <= by2)) return false;
    x1 = static_cast<LONG>(bx1);
    x2 = static_cast<LONG>(bx2);
    y1 = static_cast<LONG>(by1);
    y2 = static_cast<LONG>(by2);
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
    flat = v[0]->diffuse == v[1]->diffuse && v[1]->diffuse == v[2]->diffuse;
    invArea = 1.0 / area;
    return true;
  }

  // Row y's edge offsets and the run [lo, hi] of it that can be inside: from each edge's
  // crossing, one pixel of margin, held to the box. lo > hi when the row is empty.
  void Row(LONG y, double rowB[3], LONG& lo, LONG& hi) const {
    double l = static_cast<double>(x1);
    double h = static_cast<double>(x2);
    for (int i = 0; i < 3; ++i) {
      const Edge& e = edges[i];
      const double slope = -e.dy;
      rowB[i] = e.dx * (static_cast<double>(y) - e.oy) + e.dy * e.ox;
      if (slope > 0) {
        l = std::max(l, std::floor(-rowB[i] / slope) - 1);
      } else if (slope < 0) {
        h = std::min(h, std::ceil(-rowB[i] / slope) + 1);
      } else if (rowB[i] < 0 || (rowB[i] == 0 && !e.ownsTies)) {
        l = h + 1;
      }
    }
    // A crossing far outside the box must not become an integer as it is.
    lo = static_cast<LONG>(std::clamp(l, static_cast<double>(x1), static_cast<double>(x2) + 1));
    hi = static_cast<LONG>(std::clamp(h, static_cast<double>(x1) - 1, static_cast<double>(x2)));
  }

  bool Inside(const double rowB[3], LONG x, double w[3]) const {
    for (int i = 0; i < 3; ++i) {
      w[i] = rowB[i] - edges[i].dy * static_cast<double>(x);
      if (!(w[i] > 0 || (w[i] == 0 && edges[i].ownsTies))) return false;
    }
    return true;
  }

  // The colour and texture coordinates at a pixel with edge weights w.
  void Attributes(const double w[3], DWORD& diffuse, float& u, float& tv) const {
    const float l0 = static_cast<float>(w[0] * invArea);
    const float l1 = static_cast<float>(w[1] * invArea);
    const float l2 = 1.0f - l0 - l1;
    diffuse = v[0]->diffuse;
    if (!flat) {
      diffuse = 0;
      for (int i = 0; i < 4; ++i) {
        const float c = l0 * static_cast<float>(ChannelOf(v[0]->diffuse, i)) +
                        l1 * static_cast<float>(ChannelOf(v[1]->diffuse, i)) +
                        l2 * static_cast<float>(ChannelOf(v[2]->diffuse, i));
        diffuse |= static_cast<DWORD>(std::clamp(c + 0.5f, 0.0f, 255.0f)) << (i * 8);
      }
    }
    u = l0 * v[0]->u + l1 * v[1]->u + l2 * v[2]->u;
    tv = l0 * v[0]->v + l1 * v[1]->v + l2 * v[2]->v;
  }
};

// The reference walk: every pixel of the run tested and shaded on its own.
void DrawTriangleReference(const D3DTLVERTEX7& a, const D3DTLVERTEX7& b, const D3DTLVERTEX7& c,
                           const DrawContext& ctx) {
  TriangleSetup t;
  if (!t.Init(a, b, c, ctx)) return;
  for (LONG y = t.y1; y <= t.y2; ++y) {
    double rowB[3];
    LONG lo, hi;
    t.Row(y, rowB, lo, hi);
    for (LONG x = lo; x <= hi; ++x) {
      double w[3];
      if (!t.Inside(rowB, x, w)) continue;
      DWORD diffuse;
      float u, tv;
      t.Attributes(w, diffuse, u, tv);
      ShadePixel(ctx, static_cast<int>(x), static_cast<int>(y), diffuse, u, tv);
    }
  }
}

// The row path: the inside run of each row found from its ends (each edge's weight only
// grows or only shrinks along a row, so the inside pixels are one run), then shaded into a
// row and written by WriteRow.
void DrawTriangleRows(const D3DTLVERTEX7& a, const D3DTLVERTEX7& b, const D3DTLVERTEX7& c, const DrawContext& ctx) {
  TriangleSetup t;
  if (!t.Init(a, b, c, ctx)) return;
  std::uint32_t src[kRowChunk];
  for (LONG y = t.y1; y <= t.y2; ++y) {
    double rowB[3];
    double w[3];
    LONG lo, hi;
    t.Row(y, rowB, lo, hi);
    while (lo <= hi && !t.Inside(rowB, lo, w)) ++lo;
    while (hi >= lo && !t.Inside(rowB, hi, w)) --hi;
    for (LONG start = lo; start <= hi; start += kRowChunk) {
      const int count = static_cast<int>(std::min<LONG>(kRowChunk, hi - start + 1));
      for (int i = 0; i < count; ++i) {
        t.Inside(rowB, start + i, w);
        DWORD diffuse;
        float u, tv;
        t.Attributes(w, diffuse, u, tv);
        src[i] = ctx.textured ? ModulateTexel(ctx, Sample(ctx, u, tv), diffuse) : diffuse;
      }
      WriteRow(ctx, static_cast<int>(start), static_cast<int>(y), src, count);
    }
  }
}

// Texture coordinates of a quad side, in texels: where its first pixel's texel starts, when
// the side's texels land one to one on its pixels (within a small fraction of a texel, far
// below what would move a sample). The reference's own rounding stays below 0.002 texel for
// the sizes allowed here, so both sample the same texels and give the same colours.
bool OneToOne(double startCoord, double endCoord, int size, double pixels, int maxSize, int& first) {
  constexpr double kTolerance = 1.0 / 8192;
  if (size > maxSize) return false;
  const double start = startCoord * size;
  const double end = endCoord * size;
  const double whole = std::nearbyint(start);
  if (!(std::fabs(start - whole) <= kTolerance) || !(std::fabs(end - start - pixels) <= kTolerance)) return false;
  if (whole < 0 || whole + pixels > size) return false;
  first = static_cast<int>(whole);
  return true;
}

// A quad of four vertices drawn as two triangles (a strip, or a fan when `fan`), drawn as
// rows when it is a screen rectangle with its corners on pixel edges, one colour, and texels
// one to one on pixels. False when it is not: the caller then draws its two triangles.
bool DrawAlignedQuad(const D3DTLVERTEX7* q, bool fan, const DrawContext& ctx) {
  constexpr double kMaxCoord = 1 << 20;
  double x[4], y[4];
  for (int i = 0; i < 4; ++i) {
    x[i] = q[i].x;
    y[i] = q[i].y;
    if (!(std::fabs(x[i]) < kMaxCoord && std::fabs(y[i]) < kMaxCoord)) return false;
    if (x[i] - std::floor(x[i]) != 0.5 || y[i] - std::floor(y[i]) != 0.5) return false;
    if (q[i].diffuse != q[0].diffuse) return false;
  }
  const double xl = std::min({x[0], x[1], x[2], x[3]}), xr = std::max({x[0], x[1], x[2], x[3]});
  const double yt = std::min({y[0], y[1], y[2], y[3]}), yb = std::max({y[0], y[1], y[2], y[3]});
  if (!(xl < xr && yt < yb)) return false;
  int corner[4];
  int seen = 0;
  const D3DTLVERTEX7* atCorner[4] = {};
  for (int i = 0; i < 4; ++i) {
    if ((x[i] != xl && x[i] != xr) || (y[i] != yt && y[i] != yb)) return false;
    corner[i] = (x[i] == xr ? 1 : 0) | (y[i] == yb ? 2 : 0);
    seen |= 1 << corner[i];
    atCorner[corner[i]] = &q[i];
  }
  // Two triangles that tile the rectangle share its diagonal.
  if (seen != 15 || (fan ? corner[0] ^ corner[2] : corner[1] ^ corner[2]) != 3) return false;

  // Pixel centres strictly inside: no centre lies on a side.
  const LONG px0 = static_cast<LONG>(xl + 0.5), px1 = static_cast<LONG>(xr - 0.5);
  const LONG py0 = static_cast<LONG>(yt + 0.5), py1 = static_cast<LONG>(yb - 0.5);
  int texX = 0, texY = 0;
  if (ctx.textured) {
    const D3DTLVERTEX7 &tl = *atCorner[0], &tr = *atCorner[1], &bl = *atCorner[2], &br = *atCorner[3];
    if (tl.u != bl.u || tr.u != br.u || tl.v != tr.v || bl.v != br.v) return false;
    // Bilinear sampling of exact texel centres gives the texel itself; the reference's
    // rounding stays harmless up to 1024 texels for it, twice as far for point sampling.
    const int maxSize = ctx.linear ? 1024 : 8192;
    if (!OneToOne(tl.u, tr.u, ctx.texWidth, xr - xl, maxSize, texX) ||
        !OneToOne(tl.v, bl.v, ctx.texHeight, yb - yt, maxSize, texY))
      return false;
  }
  const LONG cx0 = std::max(px0, ctx.left), cx1 = std::min(px1, ctx.right - 1);
  const LONG cy0 = std::max(py0, ctx.top), cy1 = std::min(py1, ctx.bottom - 1);
  if (cx0 > cx1 || cy0 > cy1) return true;
  const int width = static_cast<int>(cx1 - cx0 + 1);
  const DWORD diffuse = q[0].diffuse;

  std::uint32_t row[kRowChunk];
  if (!ctx.textured) {
    std::fill(row, row + kRowChunk, diffuse);
    for (LONG py = cy0; py <= cy1; ++py)
      for (int done = 0; done < width; done += kRowChunk)
        WriteRow(ctx, static_cast<int>(cx0) + done, static_cast<int>(py), row, std::min(kRowChunk, width - done));
    return true;
  }
  // The vertex colour as a multiplier: alpha untouched unless the alpha stage modulates.
  const bool modulate = diffuse != 0xFFFFFFFFu;
  const std::uint32_t factor = ctx.modulateAlpha ? diffuse : diffuse | 0xFF000000u;
  const int tx0 = texX + static_cast<int>(cx0 - px0);
  for (LONG py = cy0; py <= cy1; ++py) {
    const std::uint8_t* texRow = ctx.texBits + (texY + (py - py0)) * ctx.texPitch;
    if (ctx.directTexture && !modulate) {
      WriteRow(ctx, static_cast<int>(cx0), static_cast<int>(py), reinterpret_cast<const std::uint32_t*>(texRow) + tx0,
               width);
      continue;
    }
    for (int done = 0; done < width; done += kRowChunk) {
      const int count = std::min(kRowChunk, width - done);
      const std::uint32_t* texels = row;
      if (ctx.directTexture) {
        texels = reinterpret_cast<const std::uint32_t*>(texRow) + tx0 + done;
      } else if (ctx.paletteTexture) {
        for (int i = 0; i < count; ++i) row[i] = ctx.palette[texRow[tx0 + done + i]];
      } else {
        const int bytes = ctx.texture.bytes;
        for (int i = 0; i < count; ++i) row[i] = ctx.texture.ToARGB(ctx.texture.Read(texRow + (tx0 + done + i) * bytes));
      }
      if (modulate) d3drows::ModulateBy(row, texels, factor, count);
      WriteRow(ctx, static_cast<int>(cx0) + done, static_cast<int>(py), modulate ? row : texels, count);
    }
  }
  return true;
}

// A line from a to b, its end pixel left out, as a following segment starts there.
void DrawLine(const D3DTLVERTEX7& a, const D3DTLVERTEX7& b, const DrawContext& ctx) {
  const double dx = static_cast<double>(b.x) - a.x;
  const double dy = static_cast<double>(b.y) - a.y;
  const double length = std::max(std::fabs(dx), std::fabs(dy));
  if (!(length > 0.0) || !std::isfinite(length) || !std::isfinite(a.x) || !std::isfinite(a.y)) return;
  // Only the steps that can fall inside the viewport are walked, so a line reaching far
  // outside costs nothing more.
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
  if (!(first <= last)) return;
  // Along the longer axis a step moves one pixel, so the steps left are about the viewport's
  // size; they are counted as integers, since far out adding one to a double changes nothing.
  const double viewport = static_cast<double>(ctx.right - ctx.left) + static_cast<double>(ctx.bottom - ctx.top);
  const auto count = static_cast<long long>(std::min(last - first, viewport + 4)) + 1;
  for (long long k = 0; k < count; ++k) {
    const double t = (first + static_cast<double>(k)) / length;
    const double px = std::floor(a.x + dx * t + 0.5);
    const double py = std::floor(a.y + dy * t + 0.5);
    if (!(px >= ctx.left && py >= ctx.top && px < ctx.right && py < ctx.bottom)) continue;
    ShadePixel(ctx, static_cast<int>(px), static_cast<int>(py), a.diffuse, 0, 0);
  }
}

}  // namespace

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
  DrawContext ctx(target, textured ? &texture : nullptr);
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
  ctx.op = ChooseBlend(ctx.blend, ctx.srcBlend, ctx.destBlend);
  ctx.left = std::max<LONG>(0, static_cast<LONG>(mViewport.dwX));
  ctx.top = std::max<LONG>(0, static_cast<LONG>(mViewport.dwY));
  ctx.right = std::min<LONG>(static_cast<LONG>(target.dwWidth), static_cast<LONG>(mViewport.dwX + mViewport.dwWidth));
  ctx.bottom = std::min<LONG>(static_cast<LONG>(target.dwHeight), static_cast<LONG>(mViewport.dwY + mViewport.dwHeight));

  const bool reference = gBehaviour.referenceRasterizer;
  auto triangle = reference ? DrawTriangleReference : DrawTriangleRows;
  switch (type) {
    case D3DPT_LINESTRIP:
      for (DWORD i = 0; i + 1 < count; ++i) DrawLine(vx[i], vx[i + 1], ctx);
      break;
    case D3DPT_TRIANGLELIST:
      for (DWORD i = 0; i + 2 < count; i += 3) triangle(vx[i], vx[i + 1], vx[i + 2], ctx);
      break;
    case D3DPT_TRIANGLESTRIP:
      if (count == 4 && !reference && DrawAlignedQuad(vx, false, ctx)) {
        ++alignedQuads;
        break;
      }
      for (DWORD i = 0; i + 2 < count; ++i) triangle(vx[i], vx[i + 1], vx[i + 2], ctx);
      break;
    default:
      if (count == 4 && !reference && DrawAlignedQuad(vx, true, ctx)) {
        ++alignedQuads;
        break;
      }
      for (DWORD i = 1; i + 1 < count; ++i) triangle(vx[0], vx[i], vx[i + 1], ctx);
      break;
  }
  if (textured) mTexture->Unlock(nullptr);
  mTarget->Unlock(nullptr);
  return D3D_OK;
}

}  // namespace plat
