#pragma once
// A headless Direct3D renderer with its device and sprite, and pictures made from pixels.

#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"

#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/tests/DeviceRig.h"

#include <memory>
#include <vector>

namespace test {

struct D3DScene {
    DeviceRig rig;
    plat::ComPtr<ID3DXSprite> sprite;
    RenderEngine::D3D9Render* renderer{nullptr};

    D3DScene(UINT width, UINT height) : rig(make_device(width, height))
    {
        D3DXCreateSprite(rig.device.get(), sprite.put());
        renderer = static_cast<RenderEngine::D3D9Render*>(RenderEngine::CreateRender(nullptr, 2));
        renderer->SetDevice(rig.device.get());
        renderer->SetSprite(sprite.get());
        RenderEngine::InitRenderTargets();
        rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000u, 1.0f, 0);
    }
    ~D3DScene()
    {
        // Renderers are kept for the whole run: this one lets go of the device that goes now.
        renderer->SetSprite(nullptr);
        renderer->SetDevice(nullptr);
        RenderEngine::CreateRender(nullptr, 1);
        RenderEngine::InitRenderTargets();
    }
    DWORD at(int x, int y) const { return back_pixel(rig.device.get(), x, y); }
    RECT drawn(DWORD background) const
    {
        plat::ComPtr<IDirect3DSurface9> back;
        rig.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
        return changed_box(back.get(), background);
    }
};

// A managed texture holding `pixels` (premultiplied, row after row).
inline std::unique_ptr<RenderEngine::texture> texture_of(IDirect3DDevice9* device, int width, int height,
                                                         const std::vector<DWORD>& pixels)
{
    auto t = std::make_unique<RenderEngine::texture>(device, 0, "made");
    EXPECT_TRUE(t->Create(unsigned(width), unsigned(height), D3DPOOL_MANAGED, D3DFMT_A8R8G8B8));
    auto d3d = plat::ComPtr<IDirect3DTexture9>::adopt(t->GetD3DTexture());
    D3DLOCKED_RECT locked{};
    d3d->LockRect(0, &locked, nullptr, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            static_cast<DWORD*>(locked.pBits)[y * (locked.Pitch / 4) + x] = pixels[std::size_t(y) * width + x];
    d3d->UnlockRect(0);
    return t;
}

inline std::unique_ptr<RenderEngine::texture> solid_texture(IDirect3DDevice9* device, int width, int height,
                                                            DWORD value)
{
    return texture_of(device, width, height, std::vector<DWORD>(std::size_t(width) * height, value));
}

inline std::unique_ptr<RenderEngine::d3dpic> whole_picture(RenderEngine::texture* t)
{
    auto pic = std::make_unique<RenderEngine::d3dpic>(t, 0, 0, t->GetWidth(), t->GetHeight());
    pic->SetSize(t->GetWidth(), t->GetHeight());
    return pic;
}

inline DWORD texel(RenderEngine::texture* t, int x, int y)
{
    auto d3d = plat::ComPtr<IDirect3DTexture9>::adopt(t->GetD3DTexture());
    return pixel(d3d.get(), x, y);
}

inline void expect_near_color(DWORD got, DWORD expected, int tolerance = 1)
{
    for (int shift = 0; shift < 32; shift += 8)
        EXPECT_NEAR(int(got >> shift & 0xff), int(expected >> shift & 0xff), tolerance)
            << std::hex << "got " << got << " expected " << expected;
}

}
