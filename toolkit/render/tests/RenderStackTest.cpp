#include "toolkit/render/tests/RenderRig.h"

#include <gtest/gtest.h>

using namespace RenderEngine;

TEST(RenderStack, ScreenTargetIsNeverPoppedAndNullIsNotPushed)
{
    test::D3DScene scene(8, 8);
    backbuffer* screen = GetRenderTarget();
    ASSERT_NE(screen, nullptr);
    PopRenderTarget();
    EXPECT_EQ(GetRenderTarget(), screen);
    PushRenderTarget(nullptr, true, 255, 255, 255, 255);
    EXPECT_EQ(GetRenderTarget(), screen);
    EXPECT_EQ(scene.at(0, 0), 0xff000000u);   // and nothing was cleared
    std::unique_ptr<backbuffer> window(scene.renderer->CreateBackBuffer(4, 4, true));
    PushRenderTarget(window.get(), true, 255, 10, 20, 30);
    EXPECT_EQ(GetRenderTarget(), window.get());
    auto* surface = static_cast<d3dbackbuffer*>(window.get())->GetTexture();
    EXPECT_EQ(test::texel(surface, 3, 3), 0x000a141eu);   // cleared with alpha 0
    PopRenderTarget();
    EXPECT_EQ(GetRenderTarget(), screen);
}

TEST(RenderStack, WithoutRendererEveryDrawDoesNothing)
{
    test::D3DScene scene(8, 8);
    auto t = test::solid_texture(scene.rig.device.get(), 2, 2, 0xffffffffu);
    auto pic = test::whole_picture(t.get());
    EXPECT_EQ(CreateRender(nullptr, 1), nullptr);
    EXPECT_EQ(GetRender(), nullptr);
    EXPECT_EQ(RenderEngine::DrawPicture(pic.get(), 0, 0, 0, 0, 1.0f), 0);
    DrawPictureNinePiece(pic.get(), 1.0f, 0, 0, 8, 8, 1, 1, 1, 1);
    ClearTarget(GetRenderTarget(), 255, 255, 255, 255);
    SetClipRect(0, 0, 4, 4);
    EXPECT_EQ(scene.at(1, 1), 0xff000000u);
}

TEST(RenderStack, ReplacedRendererStaysUsableByItsHolders)
{
    render* first = CreateRender(nullptr, 0);
    ASSERT_NE(first, nullptr);
    render* second = CreateRender(nullptr, 0);
    EXPECT_EQ(GetRender(), second);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->BeginFrame(), 0);   // still alive for whoever took it before
    EXPECT_EQ(CreateRender(nullptr, 1), nullptr);
    EXPECT_EQ(second->EndFrame(), 0);
}

TEST(RenderStack, ClipsNestAndPopBack)
{
    test::D3DScene scene(16, 16);
    auto t = test::solid_texture(scene.rig.device.get(), 16, 16, 0xffffffffu);
    auto pic = test::whole_picture(t.get());
    const struct {
        const char* name;
        std::vector<UI::frect> pushes;
        int pops;
        RECT expected;   // painted area; empty when nothing
    } cases[] = {
        {"one clip", {{2, 3, 10, 12}}, 0, {2, 3, 10, 12}},
        {"nested clips intersect", {{2, 3, 10, 12}, {5, 0, 16, 8}}, 0, {5, 3, 10, 8}},
        {"popping restores the outer clip", {{2, 3, 10, 12}, {5, 0, 16, 8}}, 1, {2, 3, 10, 12}},
        {"popping the last clip draws everywhere", {{2, 3, 10, 12}}, 1, {0, 0, 16, 16}},
        {"disjoint clips draw nothing", {{0, 0, 4, 4}, {8, 8, 12, 12}}, 0, {16, 16, 0, 0}},
        {"a clip past the target is cut to it", {{-10, -10, 100, 5}}, 0, {0, 0, 16, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scene.rig.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000u, 1.0f, 0);
        for (const auto& clip : c.pushes) PushClipRect(clip);
        for (int i = 0; i < c.pops; ++i) PopClipRect();
        RenderEngine::DrawPicture(pic.get(), 0, 0, 16, 16, 1.0f);
        test::expect_box(scene.drawn(0xff000000u), c.expected);
        for (std::size_t i = c.pops; i < c.pushes.size(); ++i) PopClipRect();
    }
}
