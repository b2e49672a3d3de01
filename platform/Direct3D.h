// The Direct3D 7 services of the display: a software device that draws pre-transformed,
// textured and coloured triangles, lines and fans into the memory of a DirectDraw surface
// (platform/DirectDraw.h), with the blend factors, texture filters and texture formats the
// renderer asks for. It reports the identity of this software adapter so the driver lists
// shipped with the program can accept it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/DirectDraw.h"
#include "platform/Types.h"

namespace plat {

// ---- Result codes ----
constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_INVALID_DEVICE = MakeDDResult(705);
constexpr HRESULT D3DERR_INITFAILED = MakeDDResult(706);
constexpr HRESULT D3DERR_INVALIDPRIMITIVETYPE = MakeDDResult(736);
constexpr HRESULT D3DERR_INVALIDVERTEXTYPE = MakeDDResult(737);
constexpr HRESULT D3DERR_SCENE_IN_SCENE = MakeDDResult(760);
constexpr HRESULT D3DERR_SCENE_NOT_IN_SCENE = MakeDDResult(761);
constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = MakeDDResult(2072);

// ---- Render states, texture stage states and their values ----
enum D3DRENDERSTATETYPE : DWORD {
  D3DRENDERSTATE_ZENABLE = 7,
  D3DRENDERSTATE_ZWRITEENABLE = 14,
  D3DRENDERSTATE_SRCBLEND = 19,
  D3DRENDERSTATE_DESTBLEND = 20,
  D3DRENDERSTATE_CULLMODE = 22,
  D3DRENDERSTATE_DITHERENABLE = 26,
  D3DRENDERSTATE_ALPHABLENDENABLE = 27,
  D3DRENDERSTATE_SPECULARENABLE = 29,
  D3DRENDERSTATE_LIGHTING = 137,
};
constexpr DWORD D3DBLEND_ZERO = 1;
constexpr DWORD D3DBLEND_ONE = 2;
constexpr DWORD D3DBLEND_SRCALPHA = 5;
constexpr DWORD D3DBLEND_INVSRCALPHA = 6;
constexpr DWORD D3DCULL_NONE = 1;

enum D3DTEXTURESTAGESTATETYPE : DWORD {
  D3DTSS_COLOROP = 1,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ADDRESSU = 13,
  D3DTSS_ADDRESSV = 14,
  D3DTSS_MAGFILTER = 16,
  D3DTSS_MINFILTER = 17,
  D3DTSS_MIPFILTER = 18,
};
constexpr DWORD D3DTOP_SELECTARG1 = 2;
constexpr DWORD D3DTOP_MODULATE = 4;
constexpr DWORD D3DTADDRESS_CLAMP = 3;
constexpr DWORD D3DTFG_POINT = 1;
constexpr DWORD D3DTFG_LINEAR = 2;

enum D3DPRIMITIVETYPE : DWORD {
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6,
};
constexpr DWORD D3DFVF_XYZRHW = 0x4;
constexpr DWORD D3DFVF_DIFFUSE = 0x40;
constexpr DWORD D3DFVF_SPECULAR = 0x80;
constexpr DWORD D3DFVF_TEX1 = 0x100;
constexpr DWORD D3DDP_WAIT = 0x1;
constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DPTEXTURECAPS_ALPHAPALETTE = 0x80;

// The one vertex layout the device draws (D3DFVF_XYZRHW | DIFFUSE | SPECULAR | TEX1).
struct D3DTLVERTEX7 {
  float x, y, z, rhw;
  DWORD diffuse;
  DWORD specular;
  float u, v;
};

struct D3DVIEWPORT7 {
  DWORD dwX = 0;
  DWORD dwY = 0;
  DWORD dwWidth = 0;
  DWORD dwHeight = 0;
  float dvMinZ = 0.0f;
  float dvMaxZ = 1.0f;
};

struct D3DRECT {
  LONG x1, y1, x2, y2;
};

struct D3DPRIMCAPS {
  DWORD dwTextureCaps = 0;
};

// The members of the device description the renderer reads.
struct D3DDEVICEDESC7 {
  DWORD dwDevCaps = 0;
  D3DPRIMCAPS dpcTriCaps;
  DWORD dwMinTextureWidth = 0;
  DWORD dwMinTextureHeight = 0;
  DWORD dwMaxTextureWidth = 0;
  DWORD dwMaxTextureHeight = 0;
  DWORD dwMaxTextureAspectRatio = 0;
};

// Returns D3DENUMRET_OK to go on with the enumeration.
constexpr HRESULT D3DENUMRET_CANCEL = 0;
constexpr HRESULT D3DENUMRET_OK = 1;
using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(DDPIXELFORMAT* format, void* context);

class IDirect3D7;

// The software device: draws into its render target surface.
class IDirect3DDevice7 : public DirectDrawObject {
 public:
  HRESULT GetCaps(D3DDEVICEDESC7* desc);
  HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context);
  HRESULT SetRenderTarget(IDirectDrawSurface7* surface, DWORD flags);
  HRESULT BeginScene();
  HRESULT EndScene();
  HRESULT SetViewport(D3DVIEWPORT7* viewport);
  HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags, DWORD color, float z, DWORD stencil);
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
  HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture);
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD count, DWORD flags);

  // ---- Beyond Direct3D: for tests ----
  DWORD RenderState(D3DRENDERSTATETYPE state) const;
  DWORD TextureStageState(D3DTEXTURESTAGESTATETYPE type) const;
  // Counts of calls, so tests can tell what reached the device.
  int drawCalls = 0;
  int textureStageCalls = 0;
  // Quads drawn as whole rows (screen-aligned, texels one to one on pixels).
  int alignedQuads = 0;

 private:
  friend class IDirect3D7;
  IDirect3DDevice7(IDirectDrawSurface7* target);
  ~IDirect3DDevice7() override;
  IDirectDrawSurface7* mTarget;
  IDirectDrawSurface7* mTexture = nullptr;
  bool mInScene = false;
  D3DVIEWPORT7 mViewport;
  DWORD mRenderStates[256] = {};
  DWORD mStageStates[32] = {};
};
using LPDIRECT3DDEVICE7 = IDirect3DDevice7*;

// The Direct3D object of a DirectDraw object (reached by QueryInterface IID_IDirect3D7).
class IDirect3D7 : public DirectDrawObject {
 public:
  HRESULT CreateDevice(IID iid, IDirectDrawSurface7* target, IDirect3DDevice7** out);

 private:
  friend HRESULT CreateDirect3DFor(IDirectDraw7* owner, void** out);
  explicit IDirect3D7(IDirectDraw7* owner);
  ~IDirect3D7() override;
  IDirectDraw7* mOwner;
};
using LPDIRECT3D7 = IDirect3D7*;

// Makes the Direct3D object of `owner` (one reference in *out).
HRESULT CreateDirect3DFor(IDirectDraw7* owner, void** out);

// The identity of the software adapter, as GetDeviceIdentifier reports it.
inline constexpr const char* kSoftwareAdapterDescription = "Quorvane Software Rasterizer";
inline constexpr const char* kSoftwareAdapterDriver = "qvsoftrast.drv";

// What the stand-in device reports and which calls it refuses, set by tests to reach the
// failure paths of the renderer and the 3D test. ResetDirect3DBehaviour() restores them.
struct Direct3DBehaviour {
  HRESULT queryDirect3DResult = D3D_OK;
  HRESULT createDeviceResult = D3D_OK;
  HRESULT getCapsResult = D3D_OK;
  HRESULT setRenderTargetResult = D3D_OK;
  HRESULT drawPrimitiveResult = D3D_OK;
  HRESULT deviceIdentifierResult = D3D_OK;
  HRESULT vidMemResult = D3D_OK;
  DWORD totalVidMem = 64u << 20;
  std::string description = kSoftwareAdapterDescription;
  DWORD minTextureWidth = 1;
  DWORD minTextureHeight = 1;
  DWORD maxTextureWidth = 2048;
  DWORD maxTextureHeight = 2048;
  DWORD maxTextureAspectRatio = 0;
  // Pixel-format codes enumerated: 1 A8R8G8B8, 2 A4R4G4B4, 4 R5G6B5, 8 palettized with an
  // alpha palette (which also sets D3DPTEXTURECAPS_ALPHAPALETTE). The device offers no
  // R5G6B5 of its own accord: opaque images then stay A8R8G8B8, uploaded as a plain copy,
  // read without conversion, and lit and blended from their full 8-bit colours, as the 2D
  // path draws them.
  DWORD textureFormats = 1 | 2 | 8;
  // Blending that ignores the blend factors and writes the source: a faulty driver.
  bool brokenBlending = false;
  // Triangles shaded pixel by pixel, without the row path: the reference the fast paths
  // are compared with.
  bool referenceRasterizer = false;
};
Direct3DBehaviour& Direct3DTestBehaviour();
void ResetDirect3DBehaviour();

}  // namespace plat
