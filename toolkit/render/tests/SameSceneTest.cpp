#include "toolkit/render/GDIPlusRender.h"
#include "toolkit/render/tests/RenderRig.h"

#include "platform/gdiplus/Gdiplus.h"

#include <gtest/gtest.h>

#include <functional>

using namespace RenderEngine;

namespace {

constexpr int side = 32;

std::vector<DWORD> gradient()
{
    std::vector<DWORD> px;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) px.push_back(0xff000000u | DWORD(x * 30) << 16 | DWORD(y * 30) << 8 | 0x40u);
    return px;
}

std::vector<DWORD> translucent()
{
    std::vector<DWORD> px;
    for (int i = 0; i < 36; ++i) px.push_back(i % 2 ? 0x80800040u : 0x40004040u);   // premultiplied
    return px;
}

struct Pictures {
    picture* opaque;
    picture* glass;
    picture* solid;   // one colour: scaling it is filter-independent
};

// The scene both renderers draw: natural-size, faded, scaled and composed pieces.
void draw_scene(render& r, backbuffer* target, const Pictures& p)
{
    r.Clear(target, 255, 0, 0, 0);
    r.DrawPicture(p.opaque, 2, 2, 0, 0, 1.0f, target);
    r.DrawPicture(p.glass, 6, 6, 0, 0, 1.0f, target);
    r.DrawPicture(p.opaque, 16, 4, 0, 0, 0.5f, target);
    r.DrawPicture(p.solid, 2, 20, 12, 8, 0.8f, target);
    std::unique_ptr<backbuffer> child(r.CreateBackBuffer(8, 8, true));
    r.Clear(child.get(), 255, 0, 0, 0);
    r.DrawPicture(p.glass, 1, 1, 0, 0, 1.0f, child.get());
    r.DrawPicture(p.opaque, 4, 4, 0, 0, 1.0f, child.get());
    r.DrawBackBuffer(child.get(), 20, 20, 0, 0, 0.75f, target);
}

std::unique_ptr<Gdiplus::Bitmap> bitmap_of(int w, int h, const std::vector<DWORD>& px)
{
    return std::make_unique<Gdiplus::Bitmap>(w, h, w * 4, Gdiplus::PixelFormat32bppPARGB,
                                             reinterpret_cast<const BYTE*>(px.data()));
}

std::unique_ptr<gdipluspic> gdi_picture(Gdiplus::Bitmap* bitmap)
{
    auto pic = std::make_unique<gdipluspic>(0, "pic");
    pic->m_image = bitmap;
    pic->m_right = float(bitmap->GetWidth());
    pic->m_bottom = float(bitmap->GetHeight());
    return pic;
}

}

TEST(BothRenderers, SameSceneAgrees)
{
    const auto opaque_px = gradient(), glass_px = translucent(), solid_px = std::vector<DWORD>(4, 0xff30a050u);

    test::D3DScene scene(4, 4);
    IDirect3DDevice9* device = scene.rig.device.get();
    auto opaque_t = test::texture_of(device, 8, 8, opaque_px), glass_t = test::texture_of(device, 6, 6, glass_px),
         solid_t = test::texture_of(device, 2, 2, solid_px);
    auto d_opaque = test::whole_picture(opaque_t.get()), d_glass = test::whole_picture(glass_t.get()),
         d_solid = test::whole_picture(solid_t.get());
    std::unique_ptr<backbuffer> d_target(scene.renderer->CreateBackBuffer(side, side, true));
    draw_scene(*scene.renderer, d_target.get(), {d_opaque.get(), d_glass.get(), d_solid.get()});
    auto* d_surface = static_cast<d3dbackbuffer*>(d_target.get())->GetTexture();

    GDIPlusRender gdi(nullptr);
    auto opaque_b = bitmap_of(8, 8, opaque_px), glass_b = bitmap_of(6, 6, glass_px), solid_b = bitmap_of(2, 2, solid_px);
    auto g_opaque = gdi_picture(opaque_b.get()), g_glass = gdi_picture(glass_b.get()), g_solid = gdi_picture(solid_b.get());
    std::unique_ptr<backbuffer> g_target(gdi.CreateBackBuffer(side, side, true));
    draw_scene(gdi, g_target.get(), {g_opaque.get(), g_glass.get(), g_solid.get()});
    auto* g_bitmap = static_cast<GDIPlusBackBuffer*>(g_target.get())->GetBitmap();

    int differing = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            DWORD d = test::texel(d_surface, x, y);
            Gdiplus::Color g;
            g_bitmap->GetPixel(x, y, &g);
            for (int shift = 0; shift < 32; shift += 8)
                if (std::abs(int(d >> shift & 0xff) - int(g.GetValue() >> shift & 0xff)) > 2) {
                    ++differing;
                    ADD_FAILURE() << "(" << x << "," << y << ") " << std::hex << d << " vs " << g.GetValue();
                    break;
                }
        }
    EXPECT_EQ(differing, 0);
    EXPECT_NE(test::texel(d_surface, 3, 3), 0u);   // the scene is not empty
}

TEST(BothRenderers, GdiPlusDrawsOnlyWhatItCan)
{
    GDIPlusRender gdi(nullptr);
    EXPECT_EQ(gdi.DrawBackBuffer(nullptr, 0, 0, 1, 1, 1.0f, nullptr), -1);
    std::unique_ptr<backbuffer> target(gdi.CreateBackBuffer(4, 4, false));
    gdipluspic empty(0, "never loaded");   // the skin's GDI+ pictures have no image
    EXPECT_EQ(gdi.DrawPicture(&empty, 0, 0, 4, 4, 1.0f, target.get()), 0);
    EXPECT_EQ(gdi.DrawText(u"x", 0, 0, 4, 4, nullptr, target.get()), 0);
    EXPECT_EQ(gdi.BeginFrame(), 0);
    EXPECT_EQ(gdi.EndFrame(), 0);
    EXPECT_EQ(gdi.ReservedOp(1, 2, 3, 4, 5, 6, 7, 8, 9), 0);
    // Drawing to the screen without a present window goes nowhere.
    auto bitmap = bitmap_of(1, 1, {0xffffffffu});
    auto pic = gdi_picture(bitmap.get());
    EXPECT_EQ(gdi.DrawPicture(pic.get(), 0, 0, 1, 1, 1.0f, nullptr), 0);
    render* made = CreateRender(nullptr, 0);
    EXPECT_EQ(made, GetRender());
    EXPECT_NE(dynamic_cast<GDIPlusRender*>(made), nullptr);
    CreateRender(nullptr, 1);
}
