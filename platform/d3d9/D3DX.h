#pragma once
// The subset of D3DX 9 that Strimo calls, with the Windows names and numbers:
// matrices, the sprite, the font, textures from and to picture files.
// Texels of A8R8G8B8 textures are premultiplied by their alpha throughout
// this layer: files are premultiplied as they load and straightened as they
// are saved, and the sprite blends "one, inverse source alpha".

#include "platform/d3d9/Direct3D.h"

inline constexpr HRESULT D3DXERR_INVALIDDATA = hresult(0x88760B59);

inline constexpr UINT D3DX_DEFAULT = 0xffffffffu;
inline constexpr DWORD D3DX_FILTER_NONE = 1;
inline constexpr DWORD D3DX_FILTER_POINT = 2;
inline constexpr DWORD D3DX_FILTER_LINEAR = 3;
inline constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
inline constexpr DWORD D3DX_FILTER_BOX = 5;

inline constexpr DWORD D3DXSPRITE_ALPHABLEND = 0x10;

// DrawTextW format flags (the GDI numbers).
inline constexpr DWORD DT_TOP = 0x0;
inline constexpr DWORD DT_LEFT = 0x0;
inline constexpr DWORD DT_CENTER = 0x1;
inline constexpr DWORD DT_RIGHT = 0x2;
inline constexpr DWORD DT_VCENTER = 0x4;
inline constexpr DWORD DT_BOTTOM = 0x8;
inline constexpr DWORD DT_SINGLELINE = 0x20;
inline constexpr DWORD DT_EXPANDTABS = 0x40;
inline constexpr DWORD DT_NOCLIP = 0x100;
inline constexpr DWORD DT_CALCRECT = 0x400;

enum D3DXIMAGE_FILEFORMAT : DWORD { D3DXIFF_BMP = 0, D3DXIFF_JPG = 1, D3DXIFF_PNG = 3 };

struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

struct PALETTEENTRY;

struct D3DXVECTOR3 {
    float x;
    float y;
    float z;
};

struct D3DXMATRIX : D3DMATRIX {
};

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle);
// out = a * b (row vectors: a is applied first). out may be a or b.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);

struct D3DXFONT_DESCW {
    INT Height;   // negative: character height; positive: cell height (pixels)
    UINT Width;
    UINT Weight;
    UINT MipLevels;
    BOOL Italic;
    BYTE CharSet;
    BYTE OutputPrecision;
    BYTE Quality;
    BYTE PitchAndFamily;
    WCHAR FaceName[32];
};

inline constexpr IID IID_ID3DXSprite = plat::make_guid("{BA0B762D-7D28-43EC-B9DC-2F84443B0614}");
inline constexpr IID IID_ID3DXFont = plat::make_guid("{D79DBB70-5F21-4D36-BBC2-FF525C213CDC}");

struct ID3DXSprite : IUnknown {
    static constexpr const IID& iid = IID_ID3DXSprite;
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT GetTransform(D3DXMATRIX* transform) = 0;
    virtual HRESULT SetTransform(const D3DXMATRIX* transform) = 0;
    virtual HRESULT Begin(DWORD flags) = 0;
    // Draws at once with the device states in force (no sorting or batching).
    virtual HRESULT Draw(IDirect3DTexture9* texture, const RECT* src_rect, const D3DXVECTOR3* center,
                         const D3DXVECTOR3* position, D3DCOLOR color) = 0;
    virtual HRESULT End() = 0;

protected:
    ~ID3DXSprite() = default;
};

struct ID3DXFont : IUnknown {
    static constexpr const IID& iid = IID_ID3DXFont;
    virtual HRESULT GetDescW(D3DXFONT_DESCW* desc) = 0;
    // Returns the height of the text laid out, 0 on failure. count -1: zero-terminated.
    virtual INT DrawTextW(ID3DXSprite* sprite, LPCWSTR text, INT count, RECT* rect, DWORD format,
                          D3DCOLOR color) = 0;

protected:
    ~ID3DXFont() = default;
};

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite);
HRESULT D3DXCreateFontIndirectW(IDirect3DDevice9* device, const D3DXFONT_DESCW* desc, ID3DXFont** font);

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mip_levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);
HRESULT D3DXGetImageInfoFromFileW(LPCWSTR path, D3DXIMAGE_INFO* info);
// Width and height D3DX_DEFAULT or 0 keep the file's size; the colour key must be 0 (none).
HRESULT D3DXCreateTextureFromFileExW(IDirect3DDevice9* device, LPCWSTR path, UINT width, UINT height,
                                     UINT mip_levels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                     DWORD mip_filter, D3DCOLOR color_key, D3DXIMAGE_INFO* info,
                                     PALETTEENTRY* palette, IDirect3DTexture9** texture);
// PNG and JPEG only.
HRESULT D3DXSaveTextureToFileW(LPCWSTR path, D3DXIMAGE_FILEFORMAT format, IDirect3DBaseTexture9* texture,
                               const PALETTEENTRY* palette);
HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* dst, const PALETTEENTRY* dst_palette, const RECT* dst_rect,
                                   IDirect3DSurface9* src, const PALETTEENTRY* src_palette, const RECT* src_rect,
                                   DWORD filter, D3DCOLOR color_key);
