#include "toolkit/genericlist/wtlist.h"

#include "toolkit/controls/tests/ControlRig.h"

#include <gtest/gtest.h>

namespace {

struct AnimatedList {
    test::ControlScene scene;
    UI::window pane{"pane"};
    UI::wtlist* list{new UI::wtlist("list")};
    AnimatedList()
    {
        pane.SetSize(200, 300);
        pane.AddChild(list);
    }
    template <typename Animation>
    int run(Animation& a)
    {
        int frames = 0;
        for (; a.IsRunning() && frames < 100; ++frames) a.Step();
        return frames;
    }
};

}  // namespace

TEST(wlistanimation, FadeInReachesFullAlphaAndHidesTheParentUnlessKept)
{
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        AnimatedList s;
        s.list->SetAlpha(0);
        s.list->GetFadeIn().SetKeepParent(keep);
        s.list->GetFadeIn().Start();
        EXPECT_GT(s.run(s.list->GetFadeIn()), 5);
        EXPECT_FLOAT_EQ(s.list->GetAlpha(), 255);
        EXPECT_EQ(s.pane.IsVisible(), keep);
    }
}

TEST(wlistanimation, AHidingFadeKeepsItsLastAlpha)
{
    AnimatedList s;
    s.list->SetAlpha(200);
    s.list->GetFadeIn().SetTarget(10, 3, 5);
    s.list->GetFadeIn().Start();
    s.run(s.list->GetFadeIn());
    EXPECT_FALSE(s.pane.IsVisible());
    EXPECT_FLOAT_EQ(s.list->GetAlpha(), 10);   // stored after Finish set 255
}

TEST(wlistanimation, ZoomInReachesFullScaleAndAHidingZoomKeepsItsScale)
{
    AnimatedList s;
    s.list->SetItemScale(0.2f);
    s.list->GetZoomIn().SetKeepParent(true);
    s.list->GetZoomIn().Start();
    s.run(s.list->GetZoomIn());
    EXPECT_FLOAT_EQ(s.list->GetItemScale(), 1);
    EXPECT_TRUE(s.pane.IsVisible());

    s.list->GetZoomIn().SetTarget(0.4f, 3, 0.02f);
    s.list->GetZoomIn().SetKeepParent(false);
    s.list->GetZoomIn().Start();
    s.run(s.list->GetZoomIn());
    EXPECT_FLOAT_EQ(s.list->GetItemScale(), 0.4f);
    EXPECT_FALSE(s.pane.IsVisible());
}
