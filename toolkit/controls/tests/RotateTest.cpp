#include "toolkit/controls/tests/ControlRig.h"

#include "toolkit/controls/wrotate.h"
#include "toolkit/render/picture.h"

#include <gtest/gtest.h>

namespace {

constexpr float Bottom = 300 - 25 - 16;

struct RotateScene {
    test::ControlScene scene;
    UI::widget parent{"parent"};
    UI::wrotate* mark{new UI::wrotate("favorite")};
    std::vector<float> ys;   // where each drawn frame put the mark

    RotateScene()
    {
        parent.SetSize(200, 300);
        parent.AddChild(mark);
        mark->SetPicture("icon_big_MyFavorite");
        mark->Show(false);
    }
    // Draws until the mark hides (at most `limit` frames); true when it did.
    bool run(int limit = 300)
    {
        for (int frame = 0; frame < limit; ++frame) {
            mark->Draw();
            if (mark->GetState() == UI::wrotate::Resting) return !mark->IsVisible();
            ys.push_back(mark->GetY());
        }
        return false;
    }
};

}  // namespace

TEST(wrotate, PlayInEndsHiddenAtTheParentsMiddleAtFullSize)
{
    RotateScene s;
    s.mark->PlayIn();
    EXPECT_TRUE(s.mark->IsVisible());
    EXPECT_EQ(s.mark->GetState(), UI::wrotate::Rising);
    EXPECT_FLOAT_EQ(s.mark->GetY(), Bottom);
    ASSERT_TRUE(s.run());
    EXPECT_FLOAT_EQ(s.mark->GetY(), 150);
    EXPECT_FLOAT_EQ(s.mark->GetWidth(), 64);
    EXPECT_FLOAT_EQ(s.mark->GetX(), (200 - 64) / 2);
}

TEST(wrotate, AFallAcceleratesAndEndsExactlyAtTheBottom)
{
    RotateScene s;
    s.mark->PlayOut();
    ASSERT_TRUE(s.run());
    ASSERT_GE(s.ys.size(), 3u);
    // 84 ms a draw is two frames: the distance from the start grows 1.96 times a draw.
    EXPECT_NEAR(s.ys[0] - 150, 0.2f * 1.96f, 1e-3);
    EXPECT_NEAR((s.ys[1] - 150) / (s.ys[0] - 150), 1.96f, 1e-3);
    EXPECT_FLOAT_EQ(s.mark->GetY(), Bottom);
}

TEST(wrotate, AFallFromAnyHeightEnds)
{
    for (const float from : {100.0f, Bottom, Bottom + 30}) {
        SCOPED_TRACE(from);
        RotateScene s;
        s.mark->FlyDown(from);
        ASSERT_TRUE(s.run());
        EXPECT_FLOAT_EQ(s.mark->GetY(), Bottom);
    }
}

TEST(wrotate, TurnsItsPictureOnlyForItsOwnDraw)
{
    RotateScene s;
    RenderEngine::picture* shared = s.mark->GetPicture();
    ASSERT_NE(shared, nullptr);
    s.mark->PlayIn();
    s.mark->Draw();
    EXPECT_FLOAT_EQ(shared->m_rotation, 0);
    EXPECT_EQ(s.scene.render().ops.size(), 1u);
}
