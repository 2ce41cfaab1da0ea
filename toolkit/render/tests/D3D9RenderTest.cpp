#include "toolkit/render/font.h"
#include "toolkit/render/tests/RenderRig.h"

#include "platform/d3d9/DeviceLoss.h"
#include "platform/window/PresentWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace RenderEngine;
using test::expect_near_color;

namespace {

D3DVIEWPORT9 viewport(IDirect3DDevice9* device)
{
    D3DVIEWPORT9 v{};
    device->GetViewport(&v);
    return v;
}

}

TEST(D3D9Render, ClipRectSetsViewport)
{
    test::D3DScene scene(200, 100);
    const struct {
        float left, top, right, bottom;
        D3DVIEWPORT9 expected;
    } cases[] = {
        {10, 20, 50, 60, {10, 20, 40, 40, 0, 1}},
        {-10, -10, 100, 50, {0, 0, 100, 50, 0, 1}},
        {0, 0, 0, 0, {0, 0, 200, 100, 0, 1}},
        {150, 50, 400, 300, {150, 50, 50, 50, 0, 1}},
    };
    for (const auto& c : cases) {
        scene.renderer->SetClipRect(c.left, c.top, c.right, c.bottom);
        D3DVIEWPORT9 v = viewport(scene.rig.device.get());
        EXPECT_EQ(v.X, c.expected.X);
        EXPECT_EQ(v.Y, c.expected.Y);
        EXPECT_EQ(v.Width, c.expected.Width);
        EXPECT_EQ(v.Height, c.expected.Height);
    }
}

TEST(D3D9Render, FrameClearsAndClearsIgnoreAlpha)
{
    test::D3DScene scene(8, 8);
    ASSERT_EQ(scene.renderer->BeginFrame(), D3D_OK);
    EXPECT_EQ(scene.at(3, 3), 0xff121212u);
    scene.renderer->ClearRect(GetRenderTarget(), 2, 2, 3, 3, 255, 1, 2, 3);
    EXPECT_EQ(scene.at(2, 2), 0x00010203u);
    EXPECT_EQ(scene.at(4, 4), 0x00010203u);
    EXPECT_EQ(scene.at(5, 5), 0xff121212u);
    EXPECT_EQ(scene.renderer->EndFrame(), D3D_OK);   // headless: presented nowhere
}

TEST(D3D9Render, BlendModesFadesAndEdges)
{
    const struct {
        const char* name;
        DWORD background, texel;
        short blend;
        float alpha;
        DWORD expected;
    } cases[] = {
        {"opaque over anything", 0xff336699u, 0xffc08040u, 0, 1.0f, 0xffc08040u},
        {"opacity 1 leaves an opaque picture untouched", 0x00000000u, 0xff010203u, 0, 1.0f, 0xff010203u},
        {"half fade of white over black is mid grey", 0xff000000u, 0xffffffffu, 0, 0.5f, 0xff808080u},
        {"fade never brightens a dark picture", 0xff000000u, 0xff202020u, 0, 0.5f, 0xff101010u},
        {"translucent edge over white stays white", 0xffffffffu, 0x40404040u, 0, 1.0f, 0xffffffffu},
        {"translucent edge over black adds its colour only", 0xff000000u, 0x40404040u, 0, 1.0f, 0xff404040u},
        {"mode 1 copies without blending", 0xffffffffu, 0x80402010u, 1, 1.0f, 0x80402010u},
        {"mode 3 adds source alpha, weighted by itself, to target alpha", 0x40000000u, 0x80800000u, 3, 1.0f,
         0x80800000u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::D3DScene scene(4, 4);
        scene.rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, c.background, 1.0f, 0);
        auto t = test::solid_texture(scene.rig.device.get(), 2, 2, c.texel);
        auto pic = test::whole_picture(t.get());
        pic->m_blend = c.blend;
        RenderEngine::DrawPicture(pic.get(), 1, 1, 0, 0, c.alpha);
        expect_near_color(scene.at(1, 1), c.expected);
        EXPECT_EQ(scene.at(0, 0), c.background);
        EXPECT_EQ(scene.at(3, 3), c.background);
    }
}

TEST(D3D9Render, PictureIsScaledAndTurnedIntoItsRectangle)
{
    test::D3DScene scene(40, 40);
    auto t = test::solid_texture(scene.rig.device.get(), 8, 4, 0xffffffffu);
    auto pic = test::whole_picture(t.get());
    const struct {
        const char* name;
        float x, y, width, height, rotation;
        RECT expected;
    } cases[] = {
        {"natural size", 3.7f, 2.2f, 0, 0, 0, {3, 2, 11, 6}},
        {"stretched", 5, 6, 16, 12, 0, {5, 6, 21, 18}},
        {"quarter turn about the centre", 10, 10, 20, 10, float(M_PI / 2), {15, 5, 25, 25}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scene.rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000u, 1.0f, 0);
        pic->m_rotation = c.rotation;
        RenderEngine::DrawPicture(pic.get(), c.x, c.y, c.width, c.height, 1.0f);
        test::expect_box(scene.drawn(0xff000000u), c.expected);
    }
}

TEST(D3D9Render, BackBuffersComposeIntoTheirParent)
{
    test::D3DScene scene(16, 16);
    EXPECT_EQ(scene.renderer->DrawBackBuffer(nullptr, 0, 0, 4, 4, 1.0f, nullptr), -1);
    std::unique_ptr<backbuffer> window(scene.renderer->CreateBackBuffer(8, 8, true));
    PushRenderTarget(window.get(), true, 255, 0, 0, 0);
    auto t = test::solid_texture(scene.rig.device.get(), 2, 2, 0xff00ff00u);
    auto pic = test::whole_picture(t.get());
    RenderEngine::DrawPicture(pic.get(), 1, 1, 0, 0, 1.0f);
    PopRenderTarget();
    EXPECT_EQ(scene.at(1, 1), 0xff000000u);   // drawn into the window, not the screen
    window->SetSize(4, 4);                    // only the used part is composed
    RenderEngine::DrawBackBuffer(window.get(), 8, 8, 8, 8, 0.5f);
    expect_near_color(scene.at(10, 10), 0xff008000u);   // (1,1) scaled by 2, half faded over black
    EXPECT_EQ(scene.at(8, 8), 0xff000000u);             // the transparent clear composes to nothing
    EXPECT_EQ(scene.at(7, 7), 0xff000000u);
}

TEST(D3D9Render, TextIsPlacedScaledAndColouredAsAsked)
{
    test::D3DScene scene(160, 60);
    auto d3dx = test::make_font(scene.rig.device.get(), u"Arial", -14);
    d3dfont font(d3dx.get());
    fontstyle style{DT_CENTER | DT_VCENTER, 0xffffffffu, "font_a12", &font, 1, 1};
    auto box_of = [&](const std::u16string& text, float x, float y, float w, float h) {
        scene.rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000u, 1.0f, 0);
        RenderEngine::DrawText(text.c_str(), x, y, w, h, &style);
        return scene.drawn(0xff000000u);
    };
    RECT narrow = box_of(u"ab", 0, 0, 160, 60), wide = box_of(u"abcdef", 0, 0, 160, 60);
    EXPECT_GT(wide.right - wide.left, narrow.right - narrow.left);
    EXPECT_NEAR((wide.left + wide.right) / 2, 80, 3);
    EXPECT_NEAR((wide.top + wide.bottom) / 2, 30, 4);
    style.scalex = style.scaley = 2;
    RECT big = box_of(u"ab", 0, 0, 80, 30);   // the rectangle is scaled with the text
    EXPECT_NEAR(big.right - big.left, 2 * (narrow.right - narrow.left), 2);
    EXPECT_NEAR((big.left + big.right) / 2, 80, 3);
    style.format = DT_LEFT | DT_TOP;
    RECT natural = box_of(u"ab", 20, 10, 0, 0);   // width 0: natural size at the corner
    EXPECT_NEAR(natural.right - natural.left, narrow.right - narrow.left, 1);
    EXPECT_GE(natural.left, 20);
    style.scalex = style.scaley = 0;   // a zero scale draws at natural size instead of dividing by zero
    RECT zero = box_of(u"ab", 0, 0, 160, 60);
    EXPECT_NEAR(zero.right - zero.left, narrow.right - narrow.left, 1);
    EXPECT_EQ(scene.renderer->DrawText(u"x", 0, 0, 10, 10, nullptr, nullptr), 0);
}

TEST(D3D9Render, LostDeviceSkipsFramesAndResetBringsPicturesBack)
{
    test::D3DScene scene(8, 8);
    IDirect3DDevice9* device = scene.rig.device.get();
    auto t = test::solid_texture(device, 2, 2, 0xff0000ffu);
    auto pic = test::whole_picture(t.get());
    std::unique_ptr<backbuffer> window(scene.renderer->CreateBackBuffer(4, 4, true));
    auto* surface = static_cast<d3dbackbuffer*>(window.get())->GetTexture();

    plat::inject_device_loss(device, plat::DeviceLoss::Lost);
    EXPECT_EQ(scene.renderer->BeginFrame(), D3DERR_DEVICELOST);
    plat::inject_device_loss(device, plat::DeviceLoss::ResetPending);
    EXPECT_EQ(scene.renderer->BeginFrame(), D3DERR_DEVICENOTRESET);

    // What the resource manager does on the reset message.
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 8;
    pp.BackBufferHeight = 8;
    EXPECT_EQ(device->Reset(&pp), D3DERR_INVALIDCALL);   // the window surface still holds the device
    t->ReleaseDeviceObject();
    surface->ReleaseDeviceObject();
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    t->RestoreDeviceObject();
    surface->RestoreDeviceObject();
    // Neither was loaded from a file: both come back empty at their size.
    EXPECT_EQ(test::texel(t.get(), 1, 1), 0u);
    EXPECT_EQ(test::texel(surface, 3, 3), 0u);

    ASSERT_EQ(scene.renderer->BeginFrame(), D3D_OK);
    RenderEngine::DrawBackBuffer(window.get(), 0, 0, 0, 0, 1.0f);
    EXPECT_EQ(scene.at(0, 0), 0xff121212u);   // the surface came back empty and draws nothing
    scene.renderer->EndFrame();
}

TEST(D3D9Render, FramesPresentIntoTheMainWindowClientArea)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    auto window = plat::PresentWindow::create("main", 5, 3);
    ASSERT_TRUE(window);
    test::D3DScene scene(16, 16);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 16;   // the screen's size: larger than the client area
    pp.BackBufferHeight = 16;
    pp.hDeviceWindow = window->hwnd();
    ASSERT_EQ(scene.rig.device->Reset(&pp), D3D_OK);
    scene.renderer->SetMainWindow(window->hwnd());
    ASSERT_EQ(scene.renderer->BeginFrame(), D3D_OK);
    auto t = test::solid_texture(scene.rig.device.get(), 1, 1, 0xffabcdefu);
    auto pic = test::whole_picture(t.get());
    RenderEngine::DrawPicture(pic.get(), 4, 2, 0, 0, 1.0f);
    ASSERT_EQ(scene.renderer->EndFrame(), D3D_OK);
    EXPECT_EQ(window->frame_pixel(0, 0), 0xff121212u);
    EXPECT_EQ(window->frame_pixel(4, 2), 0xffabcdefu);
    EXPECT_EQ(scene.renderer->PresentToWindow(nullptr, nullptr), D3D_OK);   // no window: the whole frame, nowhere

    // A frame clears only the client area: the rest of the screen-sized back buffer is never shown.
    scene.rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ffu, 1.0f, 0);
    ASSERT_EQ(scene.renderer->BeginFrame(), D3D_OK);
    EXPECT_EQ(scene.at(4, 2), 0xff121212u);
    EXPECT_EQ(scene.at(5, 3), 0xff0000ffu);
    EXPECT_EQ(scene.at(15, 15), 0xff0000ffu);
    ASSERT_EQ(scene.renderer->EndFrame(), D3D_OK);
}

// Text colour goes "over" the background while its coverage adds to the target's alpha, pixel by pixel: with a
// background without red, a text's red channel is its coverage, and every other channel follows from it.
TEST(D3D9Render, TextBlendsOverAColouredBackground)
{
    auto mul = [](int x, int y) { int t = x * y + 128; return (t + (t >> 8)) >> 8; };
    const struct {
        const char* name;
        D3DCOLOR background;   // premultiplied, no red
        D3DCOLOR text;         // straight, full red
    } cases[] = {
        {"white over opaque blue", 0xff0040c0u, 0xffffffffu},
        {"orange over half-transparent teal", 0x80004060u, 0xffff8000u},
    };
    test::D3DScene scene(120, 30);
    auto d3dx = test::make_font(scene.rig.device.get(), u"Arial", -16);
    d3dfont font(d3dx.get());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fontstyle style{DT_LEFT | DT_TOP, c.text, "font_a16", &font, 1, 1};
        scene.rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, c.background, 1.0f, 0);
        RenderEngine::DrawText(u"Hello, Wg", 4, 4, 110, 24, &style);
        int covered = 0, solid = 0, partial = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 120; ++x) {
                DWORD got = scene.at(x, y);
                int coverage = int(got >> 16 & 0xff);
                auto over = [&](int shift) {
                    int back = int(c.background >> shift & 0xff);
                    return std::min(255, mul(coverage, int(c.text >> shift & 0xff)) + mul(back, 255 - coverage));
                };
                SCOPED_TRACE(testing::Message() << x << "," << y << std::hex << " " << got);
                ASSERT_NEAR(int(got >> 8 & 0xff), over(8), 1);
                ASSERT_NEAR(int(got & 0xff), over(0), 1);
                ASSERT_EQ(int(got >> 24), std::min(255, coverage + int(c.background >> 24)));
                covered += coverage > 0;
                solid += coverage == 255;
                partial += coverage > 0 && coverage < 255;
            }
        EXPECT_GT(covered, 150);
        EXPECT_GT(solid, 20);     // stems are fully covered
        EXPECT_GT(partial, 40);   // edges are smoothed
    }
}
