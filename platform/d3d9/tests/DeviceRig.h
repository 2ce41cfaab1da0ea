#pragma once
// A headless software device and pixel probes for the graphics tests.

#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/Direct3D.h"
#include "platform/com/ComPtr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace test {

struct DeviceRig {
    plat::ComPtr<IDirect3D9> d3d;
    plat::ComPtr<IDirect3DDevice9> device;
};

inline DeviceRig make_device(UINT width, UINT height)
{
    DeviceRig rig;
    rig.d3d = plat::ComPtr<IDirect3D9>::adopt(Direct3DCreate9(0x80000000u | D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    EXPECT_EQ(rig.d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_MULTITHREADED, &pp, rig.device.put()), D3D_OK);
    return rig;
}

inline DWORD pixel(IDirect3DSurface9* surface, int x, int y)
{
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    DWORD value = static_cast<const DWORD*>(locked.pBits)[y * (locked.Pitch / 4) + x];
    surface->UnlockRect();
    return value;
}

inline DWORD pixel(IDirect3DTexture9* texture, int x, int y)
{
    plat::ComPtr<IDirect3DSurface9> level;
    texture->GetSurfaceLevel(0, level.put());
    return pixel(level.get(), x, y);
}

inline DWORD back_pixel(IDirect3DDevice9* device, int x, int y)
{
    plat::ComPtr<IDirect3DSurface9> back;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    return pixel(back.get(), x, y);
}

inline plat::ComPtr<IDirect3DTexture9> filled_texture(IDirect3DDevice9* device, UINT w, UINT h, DWORD value,
                                                      D3DPOOL pool, DWORD usage = 0)
{
    plat::ComPtr<IDirect3DTexture9> texture;
    EXPECT_EQ(device->CreateTexture(w, h, 1, usage, D3DFMT_A8R8G8B8, pool, texture.put(), nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) static_cast<DWORD*>(locked.pBits)[y * (locked.Pitch / 4) + x] = value;
    texture->UnlockRect(0);
    return texture;
}

inline void set_texel(IDirect3DTexture9* texture, int x, int y, DWORD value)
{
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    static_cast<DWORD*>(locked.pBits)[y * (locked.Pitch / 4) + x] = value;
    texture->UnlockRect(0);
}

// Bounding box of the pixels of a surface that differ from `background`; empty when none.
inline RECT changed_box(IDirect3DSurface9* surface, DWORD background)
{
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    RECT box{LONG(desc.Width), LONG(desc.Height), 0, 0};
    for (LONG y = 0; y < LONG(desc.Height); ++y)
        for (LONG x = 0; x < LONG(desc.Width); ++x)
            if (pixel(surface, x, y) != background) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

inline void expect_box(const RECT& got, const RECT& expected)
{
    EXPECT_EQ(got.left, expected.left);
    EXPECT_EQ(got.top, expected.top);
    EXPECT_EQ(got.right, expected.right);
    EXPECT_EQ(got.bottom, expected.bottom);
}

inline plat::ComPtr<ID3DXFont> make_font(IDirect3DDevice9* device, const std::u16string& face, INT height,
                                         UINT weight = 400)
{
    D3DXFONT_DESCW desc{};
    desc.Height = height;
    desc.Weight = weight;
    desc.MipLevels = 1;
    desc.CharSet = 1;
    desc.Quality = 4;
    std::memcpy(desc.FaceName, face.data(), std::min<std::size_t>(face.size(), 31) * 2);
    plat::ComPtr<ID3DXFont> font;
    EXPECT_EQ(D3DXCreateFontIndirectW(device, &desc, font.put()), D3D_OK);
    return font;
}

}
