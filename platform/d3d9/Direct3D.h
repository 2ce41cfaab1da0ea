#pragma once
// The subset of Direct3D 9 that Strimo calls, with the Windows names and
// numbers. Our software device (SoftwareDevice.cpp) is the one implementation.
// Only the methods the system calls are declared.

#include "platform/com/Unknown.h"
#include "platform/d3d9/DeviceContext.h"
#include "platform/window/Handles.h"

using D3DCOLOR = DWORD;

inline constexpr UINT D3D_SDK_VERSION = 32;
inline constexpr HRESULT D3D_OK = S_OK;
inline constexpr HRESULT D3DERR_DEVICELOST = hresult(0x88760868);
inline constexpr HRESULT D3DERR_DEVICENOTRESET = hresult(0x88760869);
inline constexpr HRESULT D3DERR_NOTAVAILABLE = hresult(0x8876086A);
inline constexpr HRESULT D3DERR_INVALIDCALL = hresult(0x8876086C);
inline constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = hresult(0x8876017C);

enum D3DFORMAT : DWORD {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_D16 = 80,
};

enum D3DPOOL : DWORD { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2, D3DPOOL_SCRATCH = 3 };
enum D3DRESOURCETYPE : DWORD { D3DRTYPE_SURFACE = 1, D3DRTYPE_TEXTURE = 3 };
enum D3DDEVTYPE : DWORD { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3 };
enum D3DMULTISAMPLE_TYPE : DWORD { D3DMULTISAMPLE_NONE = 0 };
enum D3DSWAPEFFECT : DWORD { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3 };
enum D3DBACKBUFFER_TYPE : DWORD { D3DBACKBUFFER_TYPE_MONO = 0 };
enum D3DPRIMITIVETYPE : DWORD { D3DPT_TRIANGLELIST = 4, D3DPT_TRIANGLESTRIP = 5, D3DPT_TRIANGLEFAN = 6 };
enum D3DTEXTUREFILTERTYPE : DWORD { D3DTEXF_NONE = 0, D3DTEXF_POINT = 1, D3DTEXF_LINEAR = 2, D3DTEXF_ANISOTROPIC = 3 };

inline constexpr DWORD D3DUSAGE_RENDERTARGET = 0x1;
inline constexpr DWORD D3DUSAGE_DYNAMIC = 0x200;
inline constexpr DWORD D3DCREATE_MULTITHREADED = 0x4;
inline constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
inline constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
inline constexpr DWORD D3DPRESENT_INTERVAL_ONE = 0x1;
inline constexpr DWORD D3DCLEAR_TARGET = 0x1;
inline constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
inline constexpr DWORD D3DCLEAR_STENCIL = 0x4;
inline constexpr DWORD D3DLOCK_DISCARD = 0x2000;
inline constexpr DWORD D3DLOCK_READONLY = 0x10;
inline constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x2;
inline constexpr DWORD D3DPTEXTURECAPS_NONPOW2CONDITIONAL = 0x100;
inline constexpr DWORD D3DPTFILTERCAPS_MAGFGAUSSIANQUAD = 0x10000000;

// Flexible vertex formats: DrawPrimitiveUP reads positions, a diffuse colour and one texture pair.
inline constexpr DWORD D3DFVF_XYZ = 0x2;
inline constexpr DWORD D3DFVF_XYZRHW = 0x4;
inline constexpr DWORD D3DFVF_DIFFUSE = 0x40;
inline constexpr DWORD D3DFVF_TEX1 = 0x100;

enum D3DRENDERSTATETYPE : DWORD {
    D3DRS_ZENABLE = 7,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_ALPHATESTENABLE = 15,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ALPHAREF = 24,
    D3DRS_ALPHAFUNC = 25,
    D3DRS_DITHERENABLE = 26,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_LIGHTING = 137,
    D3DRS_NORMALIZENORMALS = 143,
    D3DRS_MULTISAMPLEANTIALIAS = 161,
    D3DRS_BLENDOP = 171,
    D3DRS_SEPARATEALPHABLENDENABLE = 206,
    D3DRS_SRCBLENDALPHA = 207,
    D3DRS_DESTBLENDALPHA = 208,
    D3DRS_BLENDOPALPHA = 209,
};

enum D3DBLEND : DWORD {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
};

enum D3DBLENDOP : DWORD { D3DBLENDOP_ADD = 1 };

enum D3DCMPFUNC : DWORD {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};

enum D3DSAMPLERSTATETYPE : DWORD {
    D3DSAMP_ADDRESSU = 1,
    D3DSAMP_ADDRESSV = 2,
    D3DSAMP_ADDRESSW = 3,
    D3DSAMP_MAGFILTER = 5,
    D3DSAMP_MINFILTER = 6,
    D3DSAMP_MIPFILTER = 7,
    D3DSAMP_MAXANISOTROPY = 10,
};

enum D3DTEXTUREADDRESS : DWORD { D3DTADDRESS_WRAP = 1, D3DTADDRESS_CLAMP = 3 };

enum D3DTEXTURESTAGESTATETYPE : DWORD {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
};

enum D3DTEXTUREOP : DWORD { D3DTOP_DISABLE = 1, D3DTOP_SELECTARG1 = 2, D3DTOP_SELECTARG2 = 3, D3DTOP_MODULATE = 4 };

inline constexpr DWORD D3DTA_DIFFUSE = 0;
inline constexpr DWORD D3DTA_CURRENT = 1;
inline constexpr DWORD D3DTA_TEXTURE = 2;

struct D3DVIEWPORT9 {
    DWORD X;
    DWORD Y;
    DWORD Width;
    DWORD Height;
    float MinZ;
    float MaxZ;
};

struct D3DRECT {
    LONG x1;
    LONG y1;
    LONG x2;
    LONG y2;
};

struct D3DLOCKED_RECT {
    INT Pitch;    // bytes
    void* pBits;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    UINT Width;
    UINT Height;
};

struct D3DDISPLAYMODE {
    UINT Width;
    UINT Height;
    UINT RefreshRate;
    D3DFORMAT Format;
};

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT PresentationInterval;
};

// The capabilities the system reads; the software device fills them.
struct D3DCAPS9 {
    D3DDEVTYPE DeviceType;
    UINT AdapterOrdinal;
    DWORD TextureCaps;
    DWORD TextureFilterCaps;
    DWORD MaxTextureWidth;
    DWORD MaxTextureHeight;
    DWORD MaxAnisotropy;
};

struct D3DMATRIX {
    float m[4][4];
};

struct RGNDATA;

struct IDirect3DDevice9;
struct IDirect3DSurface9;
struct IDirect3DTexture9;

inline constexpr IID IID_IDirect3D9 = plat::make_guid("{81BDCBCA-64D4-426D-AE8D-AD0147F4275C}");
inline constexpr IID IID_IDirect3DDevice9 = plat::make_guid("{D0223B96-BF7A-43FD-92BD-A43B0D82B9EB}");
inline constexpr IID IID_IDirect3DResource9 = plat::make_guid("{05EEC05D-8F7D-4362-B999-D1BAF357C704}");
inline constexpr IID IID_IDirect3DBaseTexture9 = plat::make_guid("{580CA87E-1D3C-4D54-991D-B7D3E3C298CE}");
inline constexpr IID IID_IDirect3DTexture9 = plat::make_guid("{85C31227-3DE5-4F00-9B3A-F11AC38C18B5}");
inline constexpr IID IID_IDirect3DSurface9 = plat::make_guid("{0CFBAF3A-9FF6-429A-99B3-A2796AF8B89B}");
inline constexpr IID IID_IDirect3DSwapChain9 = plat::make_guid("{794950F2-ADFC-458A-905E-10A10B0B503B}");

struct IDirect3D9 : IUnknown {
    static constexpr const IID& iid = IID_IDirect3D9;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    virtual HMONITOR GetAdapterMonitor(UINT adapter) = 0;
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD flags,
                                 D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) = 0;

protected:
    ~IDirect3D9() = default;
};

struct IDirect3DResource9 : IUnknown {
    static constexpr const IID& iid = IID_IDirect3DResource9;
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual D3DRESOURCETYPE GetType() = 0;

protected:
    ~IDirect3DResource9() = default;
};

struct IDirect3DBaseTexture9 : IDirect3DResource9 {
    static constexpr const IID& iid = IID_IDirect3DBaseTexture9;
    using base = IDirect3DResource9;
    virtual DWORD GetLevelCount() = 0;

protected:
    ~IDirect3DBaseTexture9() = default;
};

struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
    static constexpr const IID& iid = IID_IDirect3DTexture9;
    using base = IDirect3DBaseTexture9;
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;

protected:
    ~IDirect3DTexture9() = default;
};

struct IDirect3DSurface9 : IDirect3DResource9 {
    static constexpr const IID& iid = IID_IDirect3DSurface9;
    using base = IDirect3DResource9;
    virtual HRESULT GetContainer(REFIID riid, void** container) = 0;
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
    // One context at a time, over X8R8G8B8 and A8R8G8B8 surfaces; see DeviceContext.h.
    virtual HRESULT GetDC(HDC* dc) = 0;
    virtual HRESULT ReleaseDC(HDC dc) = 0;

protected:
    ~IDirect3DSurface9() = default;
};

// Declared for the renderer's optional additional swap chain; the system never makes one.
struct IDirect3DSwapChain9 : IUnknown {
    static constexpr const IID& iid = IID_IDirect3DSwapChain9;
    virtual HRESULT Present(const RECT* src, const RECT* dst, HWND override_window, const RGNDATA* dirty,
                            DWORD flags) = 0;
    virtual HRESULT GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) = 0;

protected:
    ~IDirect3DSwapChain9() = default;
};

struct IDirect3DDevice9 : IUnknown {
    static constexpr const IID& iid = IID_IDirect3DDevice9;
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual HRESULT GetDirect3D(IDirect3D9** d3d) = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
    virtual HRESULT GetDisplayMode(UINT swap_chain, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
    virtual HRESULT Present(const RECT* src, const RECT* dst, HWND override_window, const RGNDATA* dirty) = 0;
    virtual HRESULT GetBackBuffer(UINT swap_chain, UINT index, D3DBACKBUFFER_TYPE type,
                                  IDirect3DSurface9** surface) = 0;
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DTexture9** texture, void** shared) = 0;
    virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DSurface9** surface, void** shared) = 0;
    virtual HRESULT UpdateTexture(IDirect3DBaseTexture9* src, IDirect3DBaseTexture9* dst) = 0;
    virtual HRESULT StretchRect(IDirect3DSurface9* src, const RECT* src_rect, IDirect3DSurface9* dst,
                                const RECT* dst_rect, D3DTEXTUREFILTERTYPE filter) = 0;
    virtual HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) = 0;
    virtual HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) = 0;
    virtual HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitive_count, const void* vertices,
                                    UINT stride) = 0;

protected:
    ~IDirect3DDevice9() = default;
};

// Null when the SDK version is not the one the system was built with.
IDirect3D9* Direct3DCreate9(UINT sdk_version);
