#include "screens/widgets/wvideoloading.h"

#include "toolkit/controls/tests/ControlRig.h"

#include <gtest/gtest.h>

TEST(wvideoloading, ShowsImageZeroFirstAndTurnsEveryThreeDraws)
{
    test::ControlScene scene;
    UI::window page("page");
    page.SetSize(48, 48);
    auto* loading = new wvideoloading("wloading-loadingpage");
    page.AddChild(loading);
    EXPECT_EQ(loading->GetShownFrame(), 0);
    for (int draw = 1; draw <= 48; ++draw) {
        loading->Draw();
        ASSERT_EQ(loading->GetShownFrame(), ((draw - 1) % 24) / 3) << "draw " << draw;
        int shown = 0;
        for (UI::widget* frame : loading->ChildrenInZOrder()) shown += frame->IsVisible();
        ASSERT_EQ(shown, 1);
    }
    page.SetDirty(false);
    loading->Draw();
    EXPECT_TRUE(page.IsDirty());   // it asks for the next frame itself
}

TEST(wvideoloading, ARestartAfterAStopBeginsAtTheFirstImage)
{
    test::ControlScene scene;
    wvideoloading loading("wloading");
    for (int i = 0; i < 10; ++i) loading.Draw();
    EXPECT_EQ(loading.GetShownFrame(), 3);

    loading.Restart();   // not stopped: the cycle goes on
    loading.Draw();
    EXPECT_EQ(loading.GetShownFrame(), 3);

    loading.Stop();
    EXPECT_TRUE(loading.IsStopped());
    EXPECT_FALSE(loading.IsVisible());
    loading.Restart();
    EXPECT_FALSE(loading.IsStopped());
    EXPECT_TRUE(loading.IsVisible());
    EXPECT_EQ(loading.GetShownFrame(), 0);
    for (int i = 0; i < 3; ++i) loading.Draw();
    EXPECT_EQ(loading.GetShownFrame(), 0);
    loading.Draw();
    EXPECT_EQ(loading.GetShownFrame(), 1);
}
