#include "platform/d3d9/DeviceLoss.h"
#include "platform/d3d9/Direct3D.h"
#include "platform/d3d9/TextureCaps.h"
#include "platform/com/ComPtr.h"
#include "platform/d3d9/tests/DeviceRig.h"
#include "platform/window/PresentWindow.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using plat::ComPtr;
using test::back_pixel;
using test::filled_texture;
using test::make_device;
using test::pixel;

namespace {

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

void draw_rect(IDirect3DDevice9* device, float x, float y, float w, float h, D3DCOLOR color)
{
    const Vertex quad[4] = {{x, y, 0, 1, color, 0, 0},
                            {x + w, y, 0, 1, color, 1, 0},
                            {x, y + h, 0, 1, color, 0, 1},
                            {x + w, y + h, 0, 1, color, 1, 1}};
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
}

}

TEST(SoftwareDevice, ClearFillsTheViewportOnly)
{
    test::DeviceRig rig = make_device(16, 8);
    rig.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff121212u, 1.0f, 0);
    D3DVIEWPORT9 view{4, 2, 6, 3, 0.0f, 1.0f};
    ASSERT_EQ(rig.device->SetViewport(&view), D3D_OK);
    rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00abcdefu, 1.0f, 0);
    EXPECT_EQ(back_pixel(rig.device.get(), 4, 2), 0x00abcdefu);
    EXPECT_EQ(back_pixel(rig.device.get(), 9, 4), 0x00abcdefu);
    EXPECT_EQ(back_pixel(rig.device.get(), 3, 2), 0xff121212u);
    EXPECT_EQ(back_pixel(rig.device.get(), 10, 4), 0xff121212u);
    EXPECT_EQ(back_pixel(rig.device.get(), 4, 5), 0xff121212u);
    const D3DVIEWPORT9 refused[] = {
        {10, 0, 7, 8, 0.0f, 1.0f},            // too wide
        {0, 6, 16, 3, 0.0f, 1.0f},            // too tall
        {0xFFFFFFF0u, 0, 0x20, 8, 0.0f, 1.0f},   // X + Width wraps to 16
        {0, 0xFFFFFFFFu, 16, 9, 0.0f, 1.0f},     // Y + Height wraps to 8
        {0, 0, 0, 8, 0.0f, 1.0f},             // empty
    };
    for (const auto& v : refused) {
        SCOPED_TRACE(std::to_string(v.X) + "," + std::to_string(v.Y));
        D3DVIEWPORT9 copy = v;
        EXPECT_EQ(rig.device->SetViewport(&copy), D3DERR_INVALIDCALL);
    }
    D3DVIEWPORT9 kept{};
    rig.device->GetViewport(&kept);
    EXPECT_EQ(kept.X, 4u);
    EXPECT_EQ(kept.Width, 6u);
}

TEST(SoftwareDevice, BlendStatesMixAsSet)
{
    // Destination 0x80 grey at alpha 0x80; source texel premultiplied half-white at alpha 0x80.
    const struct {
        const char* name;
        DWORD blend_enable, src, dst, separate, src_alpha, dst_alpha;
        DWORD expected;
    } cases[] = {
        {"no blend copies", FALSE, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA, FALSE, 0, 0, 0x80808080u},
        {"premultiplied over", TRUE, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA, FALSE, 0, 0, 0xc0c0c0c0u},
        {"text: alpha adds", TRUE, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA, TRUE, D3DBLEND_ONE, D3DBLEND_ONE, 0xffc0c0c0u},
        {"source alpha added to target alpha", TRUE, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA, TRUE, D3DBLEND_SRCALPHA,
         D3DBLEND_ONE, 0xc0c0c0c0u},
        {"straight alpha", TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, FALSE, 0, 0, 0x80808080u},
    };
    test::DeviceRig rig = make_device(4, 4);
    auto texture = filled_texture(rig.device.get(), 2, 2, 0x80808080u, D3DPOOL_MANAGED);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80808080u, 1.0f, 0);
        rig.device->SetTexture(0, texture.get());
        rig.device->SetRenderState(D3DRS_ALPHABLENDENABLE, c.blend_enable);
        rig.device->SetRenderState(D3DRS_SRCBLEND, c.src);
        rig.device->SetRenderState(D3DRS_DESTBLEND, c.dst);
        rig.device->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, c.separate);
        rig.device->SetRenderState(D3DRS_SRCBLENDALPHA, c.src_alpha);
        rig.device->SetRenderState(D3DRS_DESTBLENDALPHA, c.dst_alpha);
        rig.device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        rig.device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        draw_rect(rig.device.get(), 1, 1, 2, 2, 0xffffffffu);
        DWORD got = back_pixel(rig.device.get(), 1, 1);
        for (int shift = 0; shift < 32; shift += 8)
            EXPECT_NEAR(int(got >> shift & 0xff), int(c.expected >> shift & 0xff), 1) << std::hex << got;
        EXPECT_EQ(back_pixel(rig.device.get(), 0, 0), 0x80808080u);
        EXPECT_EQ(back_pixel(rig.device.get(), 3, 3), 0x80808080u);
    }
    rig.device->SetTexture(0, nullptr);
}

TEST(SoftwareDevice, DiffuseModulatesAndAlphaTestDropsTransparentTexels)
{
    test::DeviceRig rig = make_device(4, 1);
    auto texture = filled_texture(rig.device.get(), 4, 1, 0xffffffffu, D3DPOOL_MANAGED);
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    static_cast<DWORD*>(locked.pBits)[3] = 0;   // a transparent texel
    texture->UnlockRect(0);
    rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ffu, 1.0f, 0);
    rig.device->SetTexture(0, texture.get());
    rig.device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    rig.device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    rig.device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    rig.device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    draw_rect(rig.device.get(), 0, 0, 4, 1, 0x80408000u);
    EXPECT_EQ(back_pixel(rig.device.get(), 0, 0), 0x80408000u);
    EXPECT_EQ(back_pixel(rig.device.get(), 3, 0), 0xff0000ffu);
    rig.device->SetTexture(0, nullptr);
}

TEST(SoftwareDevice, StretchRectScalesAndColorFillFills)
{
    test::DeviceRig rig = make_device(4, 4);
    ComPtr<IDirect3DSurface9> small, big;
    ASSERT_EQ(rig.device->CreateOffscreenPlainSurface(2, 2, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, small.put(), nullptr), D3D_OK);
    ASSERT_EQ(rig.device->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, big.put(), nullptr), D3D_OK);
    RECT left{0, 0, 1, 2};
    rig.device->ColorFill(small.get(), nullptr, 0x000000ffu);
    rig.device->ColorFill(small.get(), &left, 0x00ff0000u);
    EXPECT_EQ(pixel(small.get(), 0, 1), 0xffff0000u);   // X8R8G8B8 keeps alpha opaque
    ASSERT_EQ(rig.device->StretchRect(small.get(), nullptr, big.get(), nullptr, D3DTEXF_POINT), D3D_OK);
    EXPECT_EQ(pixel(big.get(), 1, 3), 0xffff0000u);
    EXPECT_EQ(pixel(big.get(), 2, 0), 0xff0000ffu);
    RECT outside{3, 3, 5, 5};
    EXPECT_EQ(rig.device->StretchRect(small.get(), nullptr, big.get(), &outside, D3DTEXF_POINT), D3DERR_INVALIDCALL);
    EXPECT_EQ(rig.device->StretchRect(big.get(), nullptr, big.get(), nullptr, D3DTEXF_POINT), D3DERR_INVALIDCALL);
}

TEST(SoftwareDevice, RenderTargetTextureTakesDrawsAndResetsViewport)
{
    test::DeviceRig rig = make_device(8, 8);
    auto target = filled_texture(rig.device.get(), 3, 3, 0u, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET);
    auto managed = filled_texture(rig.device.get(), 3, 3, 0u, D3DPOOL_MANAGED);
    ComPtr<IDirect3DSurface9> surface, plain;
    target->GetSurfaceLevel(0, surface.put());
    managed->GetSurfaceLevel(0, plain.put());
    EXPECT_EQ(rig.device->SetRenderTarget(0, plain.get()), D3DERR_INVALIDCALL);
    ASSERT_EQ(rig.device->SetRenderTarget(0, surface.get()), D3D_OK);
    D3DVIEWPORT9 view{};
    rig.device->GetViewport(&view);
    EXPECT_EQ(view.Width, 3u);
    EXPECT_EQ(view.Height, 3u);
    rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00u, 1.0f, 0);
    EXPECT_EQ(pixel(surface.get(), 2, 2), 0xff00ff00u);
    ComPtr<IDirect3DTexture9> container;
    ASSERT_EQ(surface->GetContainer(IID_IDirect3DTexture9, container.put_void()), S_OK);
    EXPECT_EQ(container.get(), target.get());
}

TEST(SoftwareDevice, LossIsReportedAndResetNeedsDefaultPoolReleased)
{
    test::DeviceRig rig = make_device(8, 8);
    auto target = filled_texture(rig.device.get(), 2, 2, 0u, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET);
    auto managed = filled_texture(rig.device.get(), 2, 2, 0xff112233u, D3DPOOL_MANAGED);
    EXPECT_EQ(rig.device->TestCooperativeLevel(), D3D_OK);
    plat::inject_device_loss(rig.device.get(), plat::DeviceLoss::Lost);
    EXPECT_EQ(rig.device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(rig.device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 10;
    pp.BackBufferHeight = 6;
    EXPECT_EQ(rig.device->Reset(&pp), D3DERR_DEVICELOST);
    plat::inject_device_loss(rig.device.get(), plat::DeviceLoss::ResetPending);
    EXPECT_EQ(rig.device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(rig.device->Reset(&pp), D3DERR_INVALIDCALL);   // the render-target texture still lives
    target.reset();
    ASSERT_EQ(rig.device->Reset(&pp), D3D_OK);
    EXPECT_EQ(rig.device->TestCooperativeLevel(), D3D_OK);
    ComPtr<IDirect3DSurface9> back;
    rig.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 10u);
    EXPECT_EQ(desc.Height, 6u);
    ComPtr<IDirect3DSurface9> level;
    managed->GetSurfaceLevel(0, level.put());
    EXPECT_EQ(pixel(level.get(), 1, 1), 0xff112233u);   // managed textures survive
}

TEST(SoftwareDevice, ClipSpaceQuadMapsOntoViewport)
{
    test::DeviceRig rig = make_device(8, 8);
    rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0u, 1.0f, 0);
    D3DVIEWPORT9 view{2, 2, 4, 4, 0.0f, 1.0f};
    rig.device->SetViewport(&view);
    struct V { float x, y, z; D3DCOLOR c; float u, v; };
    const V quad[4] = {{-1, 1, 0.5f, 0x80ff0000u, 0, 0}, {0, 1, 0.5f, 0x80ff0000u, 1, 0},
                       {-1, -1, 0.5f, 0x80ff0000u, 0, 1}, {0, -1, 0.5f, 0x80ff0000u, 1, 1}};
    rig.device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    rig.device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    rig.device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    rig.device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    rig.device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    ASSERT_EQ(rig.device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(V)), D3D_OK);
    EXPECT_EQ(back_pixel(rig.device.get(), 2, 2), 0x80ff0000u);
    EXPECT_EQ(back_pixel(rig.device.get(), 3, 5), 0x80ff0000u);
    EXPECT_EQ(back_pixel(rig.device.get(), 4, 2), 0u);
    EXPECT_EQ(back_pixel(rig.device.get(), 1, 2), 0u);
    const V skew[4] = {{-1, 1, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, {-1, -1, 0, 0, 0, 0}, {1, -1, 0, 0, 0, 0}};
    EXPECT_EQ(rig.device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, skew, sizeof(V)), D3DERR_NOTAVAILABLE);
}

TEST(SoftwareDevice, PresentsIntoItsWindowOrTheOverride)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    auto window = plat::PresentWindow::create("device", 6, 4);
    auto other = plat::PresentWindow::create("other", 6, 4);
    ASSERT_TRUE(window && other);
    auto d3d = ComPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS pp{};
    pp.hDeviceWindow = window->hwnd();   // zero size: the window's client size
    pp.Windowed = TRUE;
    ComPtr<IDirect3DDevice9> device;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window->hwnd(), 0, &pp, device.put()), D3D_OK);
    D3DVIEWPORT9 view{};
    device->GetViewport(&view);
    EXPECT_EQ(view.Width, 6u);
    EXPECT_EQ(view.Height, 4u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff336699u, 1.0f, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(window->frame_pixel(5, 3), 0xff336699u);
    RECT corner{0, 0, 2, 2};
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00u, 1.0f, 0);
    ASSERT_EQ(device->Present(&corner, &corner, other->hwnd(), nullptr), D3D_OK);
    EXPECT_EQ(other->frame_pixel(1, 1), 0xff00ff00u);
    EXPECT_EQ(other->frame_pixel(2, 2), 0xff000000u);
    EXPECT_EQ(window->frame_pixel(1, 1), 0xff336699u);
}

// Frames reach the window whatever the swap effect and however much larger
// the back buffer (the screen) is than the client: a discarded back buffer
// goes to the window whole (no copy), and with the copy effect the back
// buffer keeps the frame it presented.
TEST(SoftwareDevice, FramesReachTheWindowByEitherSwapEffect)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    const struct {
        D3DSWAPEFFECT effect;
        UINT width, height;
    } cases[] = {
        {D3DSWAPEFFECT_DISCARD, 6, 4}, {D3DSWAPEFFECT_DISCARD, 9, 7}, {D3DSWAPEFFECT_COPY, 6, 4}, {D3DSWAPEFFECT_COPY, 9, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.effect << " " << c.width << "x" << c.height);
        auto window = plat::PresentWindow::create("device", 6, 4);
        ASSERT_TRUE(window);
        auto d3d = ComPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = c.width;
        pp.BackBufferHeight = c.height;
        pp.SwapEffect = c.effect;
        pp.hDeviceWindow = window->hwnd();
        pp.Windowed = TRUE;
        ComPtr<IDirect3DDevice9> device;
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window->hwnd(), 0, &pp, device.put()), D3D_OK);
        const RECT client{0, 0, 6, 4};
        for (const D3DCOLOR colour : {0xff336699u, 0xff00ff00u, 0xffff0000u}) {
            device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
            const D3DRECT dot{2, 1, 3, 2};
            device->Clear(1, &dot, D3DCLEAR_TARGET, ~colour | 0xff000000u, 1.0f, 0);
            ASSERT_EQ(device->Present(&client, &client, nullptr, nullptr), D3D_OK);
            EXPECT_EQ(window->frame_pixel(0, 0), colour);
            EXPECT_EQ(window->frame_pixel(5, 3), colour);
            EXPECT_EQ(window->frame_pixel(2, 1), ~colour | 0xff000000u);
            if (c.effect == D3DSWAPEFFECT_COPY) {
                EXPECT_EQ(back_pixel(device.get(), 5, 3), colour);
            }
        }
    }
}

TEST(SoftwareDevice, TextureCapsDemandPowersOfTwoWhenSet)
{
    const struct {
        DWORD caps;
        UINT width, height;
        HRESULT created;
    } cases[] = {
        {0, 320, 240, D3D_OK},
        {D3DPTEXTURECAPS_POW2, 320, 240, D3DERR_INVALIDCALL},
        {D3DPTEXTURECAPS_POW2, 512, 256, D3D_OK},
        {D3DPTEXTURECAPS_POW2, 512, 240, D3DERR_INVALIDCALL},
        {D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL, 320, 240, D3D_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.caps << " " << c.width << "x" << c.height);
        test::DeviceRig rig = make_device(4, 4);
        plat::set_texture_caps(rig.device.get(), c.caps);
        D3DCAPS9 caps{};
        ASSERT_EQ(rig.device->GetDeviceCaps(&caps), D3D_OK);
        EXPECT_EQ(caps.TextureCaps, c.caps);
        ComPtr<IDirect3DTexture9> texture;
        EXPECT_EQ(rig.device->CreateTexture(c.width, c.height, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, texture.put(),
                                            nullptr),
                  c.created);
    }
}

TEST(SoftwareDevice, ASurfaceContextDrawsWithCairoIntoItsTexels)
{
    test::DeviceRig rig = make_device(4, 4);
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(rig.device->CreateTexture(8, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, texture.put(), nullptr), D3D_OK);
    ComPtr<IDirect3DSurface9> level;
    ASSERT_EQ(texture->GetSurfaceLevel(0, level.put()), D3D_OK);
    HDC dc = nullptr;
    ASSERT_EQ(level->GetDC(&dc), D3D_OK);
    HDC second = nullptr;
    EXPECT_EQ(level->GetDC(&second), D3DERR_INVALIDCALL);   // one context at a time
    cairo_t* cr = plat::device_context_cairo(dc);
    ASSERT_NE(cr, nullptr);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, 0, 0, 4, 4);
    cairo_fill(cr);
    EXPECT_EQ(level->ReleaseDC(nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(level->ReleaseDC(dc), D3D_OK);
    EXPECT_EQ(pixel(level.get(), 1, 1), 0xffff0000u);
    EXPECT_EQ(pixel(level.get(), 6, 1), 0xff000000u);   // untouched X8R8G8B8 texels stay opaque black
    EXPECT_EQ(level->GetDC(&dc), D3D_OK);                 // free again after the release
    EXPECT_EQ(level->ReleaseDC(dc), D3D_OK);
}
