#include "toolkit/resmgr/tests/SkinRig.h"

#include "platform/d3d9/DeviceLoss.h"
#include "platform/d3d9/tests/DeviceRig.h"
#include "toolkit/render/backbuffer.h"
#include "toolkit/render/font.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/texture.h"
#include "toolkit/widgets/WindowSurface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr DWORD Clear = 0xff000000u;

struct LostAndReset : test::SkinRig {
    plat::ComPtr<IDirect3DDevice9> device = plat::ComPtr<IDirect3DDevice9>::adopt(manager.GetDevice());
    std::unique_ptr<RenderEngine::fontstyle> old_style{manager.CreateFontStyle(0, 0xffffffffu, "font_a12", 1, 1)};
    std::unique_ptr<RenderEngine::backbuffer> surface = UI::CreateWindowSurface(16, 16);

    LostAndReset()
    {
        plat::inject_device_loss(device.get(), plat::DeviceLoss::ResetPending);
        EXPECT_TRUE(manager.ResetDevice());
        device->Clear(0, nullptr, D3DCLEAR_TARGET, Clear, 1.0f, 0);
    }
    DWORD at(int x, int y) const { return test::back_pixel(device.get(), x, y); }
};

}  // namespace

TEST(ResetDevice, PicturesDrawAgain)
{
    LostAndReset s;
    RenderEngine::DrawPicture(s.manager.GetPicture("btnplay_pressed"), 0, 0, 36, 36, 255);
    EXPECT_NE(s.at(18, 2), Clear);   // the accent plate
    RenderEngine::DrawPicture(s.manager.GetPicture("black_image"), 40, 0, 4, 4, 255);
    RenderEngine::texture* black = s.manager.GetPicture("black_image")->m_texture;
    EXPECT_FLOAT_EQ(black->GetWidth(), 4);
    auto d3d = plat::ComPtr<IDirect3DTexture9>::adopt(black->GetD3DTexture());
    ASSERT_NE(d3d, nullptr);
    D3DSURFACE_DESC desc{};
    d3d->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Usage & D3DUSAGE_RENDERTARGET, D3DUSAGE_RENDERTARGET);
}

TEST(ResetDevice, WindowSurfacesComeBack)
{
    LostAndReset s;
    ASSERT_NE(s.surface, nullptr);
    RenderEngine::PushRenderTarget(s.surface.get(), true, 0, 0, 0, 0);
    RenderEngine::DrawPicture(s.manager.GetPicture("pageselect"), 0, 0, 16, 16, 255);
    RenderEngine::PopRenderTarget();
    RenderEngine::DrawBackBuffer(s.surface.get(), 50, 50, 16, 16, 255);
    EXPECT_NE(s.at(58, 58), Clear);
}

TEST(ResetDevice, FontStylesMadeBeforeStillDraw)
{
    LostAndReset s;
    ASSERT_EQ(s.old_style->pfont, s.manager.GetFont("font_a12"));
    ASSERT_NE(s.manager.GetFont("font_a12")->GetD3DXFont(), nullptr);
    RenderEngine::DrawText(u"Strimo", 0, 40, 100, 20, s.old_style.get());
    plat::ComPtr<IDirect3DSurface9> back;
    s.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    const RECT drawn = test::changed_box(back.get(), Clear);
    EXPECT_GT(drawn.right, drawn.left);
    EXPECT_GE(drawn.top, 40);
}

// A freed window surface takes its texture with it: neither the manager's
// names nor a later reset keep it, and the reset brings back the live one.
TEST(ResetDevice, FreedWindowSurfacesLeaveNoTextureBehind)
{
    test::SkinRig rig;
    std::unique_ptr<RenderEngine::backbuffer> live = UI::CreateWindowSurface(16, 16);   // "BkBuffer_200"
    std::vector<std::weak_ptr<RenderEngine::texture>> freed;
    for (int i = 0; i < 50; ++i) {
        std::unique_ptr<RenderEngine::backbuffer> surface = UI::CreateWindowSurface(64, 64);
        auto* d3d = dynamic_cast<RenderEngine::d3dbackbuffer*>(surface.get());
        ASSERT_NE(d3d, nullptr);
        freed.push_back(d3d->SharedTexture());
    }
    const auto all_gone = [&] {
        return std::all_of(freed.begin(), freed.end(), [](const auto& t) { return t.expired(); });
    };
    EXPECT_TRUE(all_gone());
    EXPECT_EQ(rig.manager.GetTexture("BkBuffer_201"), nullptr);
    EXPECT_EQ(rig.manager.GetTexture("BkBuffer_250"), nullptr);
    ASSERT_NE(rig.manager.GetTexture("BkBuffer_200"), nullptr);

    auto device = plat::ComPtr<IDirect3DDevice9>::adopt(rig.manager.GetDevice());
    plat::inject_device_loss(device.get(), plat::DeviceLoss::ResetPending);
    ASSERT_TRUE(rig.manager.ResetDevice());
    EXPECT_TRUE(all_gone());
    auto texture = plat::ComPtr<IDirect3DTexture9>::adopt(rig.manager.GetTexture("BkBuffer_200")->GetD3DTexture());
    EXPECT_NE(texture, nullptr);   // the live surface came back
}
