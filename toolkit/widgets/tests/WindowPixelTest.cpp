#include "toolkit/widgets/tests/WidgetRig.h"
#include "toolkit/widgets/window.h"

#include "toolkit/render/tests/RenderRig.h"

#include <gtest/gtest.h>

namespace {

constexpr DWORD Black = 0xff000000u;
constexpr DWORD Red = 0xffc80000u;
constexpr DWORD Green = 0xff00a000u;

// A 64 x 64 screen (black) with a 32 x 32 buffered pane at (8, 8) filled red
// and, inside the pane at (4, 4), an 8 x 8 buffered window filled green.
struct PaneScene {
    test::D3DScene scene{64, 64};
    std::unique_ptr<RenderEngine::texture> red_tex = test::solid_texture(scene.rig.device.get(), 4, 4, Red);
    std::unique_ptr<RenderEngine::texture> green_tex = test::solid_texture(scene.rig.device.get(), 4, 4, Green);
    std::unique_ptr<RenderEngine::d3dpic> red = test::whole_picture(red_tex.get());
    std::unique_ptr<RenderEngine::d3dpic> green = test::whole_picture(green_tex.get());
    UI::window root{"root"};
    UI::window* pane = new UI::window("pane");
    UI::window* inner = new UI::window("inner");

    PaneScene()
    {
        root.SetSize(64, 64);
        root.AddChild(pane);
        pane->CreateBackBuffer(32, 32);
        pane->SetPos(8, 8);
        fill(*pane, "pane fill", red.get(), 32);
        pane->AddChild(inner);
        inner->CreateBackBuffer(8, 8);
        inner->SetPos(4, 4);
        fill(*inner, "inner fill", green.get(), 8);
        root.UpdateLayout();
    }
    static void fill(UI::widget& parent, const char* name, RenderEngine::picture* pic, float size)
    {
        auto* s = new test::Swatch(name, pic);
        s->SetSize(size, size);
        parent.AddChild(s);
    }
    DWORD at(int x, int y) const { return scene.at(x, y); }
};

}

TEST(WindowPixels, NestedSurfacesComposeInPlace)
{
    PaneScene s;
    s.root.Draw();
    EXPECT_EQ(s.at(2, 2), Black);
    EXPECT_EQ(s.at(9, 9), Red);
    EXPECT_EQ(s.at(13, 13), Green);
    EXPECT_EQ(s.at(19, 19), Green);
    EXPECT_EQ(s.at(20, 20), Red);
    EXPECT_EQ(s.at(39, 39), Red);
    EXPECT_EQ(s.at(40, 40), Black);
}

TEST(WindowPixels, AlphaFadesTheComposedSurface)
{
    PaneScene s;
    s.pane->SetAlpha(127.5f);
    s.root.Draw();
    test::expect_near_color(s.at(30, 30), 0xff640000u, 2);
    test::expect_near_color(s.at(13, 13), 0xff005000u, 2);
}

TEST(WindowPixels, MarginsClipTheChildrenInsideTheSurface)
{
    PaneScene s;
    s.pane->SetMargins(2, 2, 2, 2);
    s.root.Draw();
    EXPECT_EQ(s.at(9, 9), Black);     // in the margin: only the pane's clear (transparent black)
    EXPECT_EQ(s.at(10, 10), Red);
    EXPECT_EQ(s.at(37, 37), Red);
    EXPECT_EQ(s.at(38, 38), Black);
}

TEST(WindowPixels, MovingAWindowRecomposesWithoutRedrawingIt)
{
    PaneScene s;
    s.root.Draw();
    s.pane->SetPos(24, 24);
    s.scene.rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, Black, 1.0f, 0);
    EXPECT_FALSE(s.pane->IsDirty());
    s.root.Draw();
    EXPECT_EQ(s.at(20, 20), Black);
    EXPECT_EQ(s.at(25, 25), Red);
    EXPECT_EQ(s.at(29, 29), Green);
}
