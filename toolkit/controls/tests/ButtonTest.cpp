#include "toolkit/controls/tests/ControlRig.h"

#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wstatus.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <gtest/gtest.h>

TEST(wbtn, TakesTheNormalPictureSize)
{
    test::ControlScene scene;
    UI::wbtn close("close");
    close.SetSkinByName("btnclose");
    EXPECT_FLOAT_EQ(close.GetWidth(), 16);
    EXPECT_FLOAT_EQ(close.GetHeight(), 16);
}

TEST(wbtn, CrossFadeReachesTheHighlightAfterSixFrames)
{
    test::ControlScene scene;
    UI::wbtn play("play");
    play.SetSkinByName("btnplay");
    play.SetCrossFade(true);
    play.SetState(UI::wbtn::Highlight);
    for (int frame = 1; frame <= 5; ++frame) {
        play.Draw();
        EXPECT_EQ(play.GetState(), UI::wbtn::Normal) << "frame " << frame;
    }
    play.Draw();
    EXPECT_EQ(play.GetState(), UI::wbtn::Highlight);
}

TEST(wbtn, FollowsTheEnabledFlagAndTheMouse)
{
    test::ControlScene scene;
    UI::wbtn btn("btn");
    btn.SetSkinByName("functionbtn");
    test::EventCounter clicks;
    clicks.Listen(btn, "button_clicked");

    btn.OnMouseEnter();
    EXPECT_EQ(btn.GetState(), UI::wbtn::Highlight);
    btn.OnMouseLeave();
    EXPECT_EQ(btn.GetState(), UI::wbtn::Normal);

    btn.SetShowState(false);   // disabled
    btn.Draw();
    EXPECT_EQ(btn.GetState(), UI::wbtn::Disabled);
    btn.OnMouseEnter();
    EXPECT_EQ(btn.GetState(), UI::wbtn::Disabled);
    btn.SetShowState(true);
    btn.Draw();
    EXPECT_EQ(btn.GetState(), UI::wbtn::Normal);

    UI::MouseEventArgs press;
    press.position = {2, 2};
    btn.OnMouseDown(press);
    EXPECT_EQ(clicks.fired, 1);   // reported on press
    EXPECT_EQ(btn.GetState(), UI::wbtn::Highlight);
}

namespace {

struct RadioGroup {
    UI::SelectGroup group;
    UI::wselectbtn a{"a"}, b{"b"};
    RadioGroup()
    {
        group = {&a, &b};
        a.SetGroup(&group);
        b.SetGroup(&group);
    }
};

}  // namespace

TEST(wselectbtn, ClicksToggleAndGroupsKeepOneSelected)
{
    UI::MouseEventArgs up;
    {
        UI::wselectbtn check("check");
        test::EventCounter clicked;
        clicked.Listen(check, "selectbtn_clicked", test::EventCounter::Kind::Select);
        check.OnMouseUp(up);
        EXPECT_TRUE(check.IsSelected());
        EXPECT_EQ(clicked.last_selected, 1);
        check.OnMouseUp(up);
        EXPECT_FALSE(check.IsSelected());
        EXPECT_EQ(clicked.last_selected, 0);
    }
    RadioGroup radios;
    test::EventCounter clicked;
    clicked.Listen(radios.a, "selectbtn_clicked", test::EventCounter::Kind::Select);
    radios.a.OnMouseUp(up);
    radios.a.OnMouseUp(up);   // a selected member clicked again stays selected
    EXPECT_TRUE(radios.a.IsSelected());
    EXPECT_EQ(clicked.fired, 2);
    EXPECT_EQ(clicked.last_selected, 1);
    radios.b.SetSelected(true);
    EXPECT_FALSE(radios.a.IsSelected());
}

TEST(wselectbtn, StylesShowTheirPicturesByState)
{
    const struct { int style; bool image_unselected, image_selected, off_unselected, off_selected, on_selected; } cases[] = {
        {0, true, false, true, true, true},   // style 0 hides its image child while selected
        {5, true, true, true, false, true},   // style 5 hides the unselected picture while selected
        {3, true, true, true, false, true},   // style 3 swaps the two pictures
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        UI::wselectbtn btn("btn", c.style);
        UI::widget *image = new UI::widget("image"), *off = new UI::widget("off"), *on = new UI::widget("on");
        UI::widget* mark = new UI::widget("mark");
        for (UI::widget* w : {image, off, on, mark})
            btn.AddChild(w);
        btn.SetImage(image);
        btn.SetStateImages(off, on);
        btn.SetMark(mark);
        if (c.style == 3) {
            EXPECT_FALSE(on->IsVisible()) << "a new button shows its unselected picture alone";
        }
        btn.SetSelected(true);
        EXPECT_EQ(image->IsVisible(), c.image_selected);
        EXPECT_EQ(off->IsVisible(), c.off_selected);
        EXPECT_EQ(on->IsVisible(), c.on_selected);
        EXPECT_TRUE(mark->IsVisible());
        btn.SetSelected(false);
        EXPECT_EQ(image->IsVisible(), c.image_unselected);
        EXPECT_EQ(off->IsVisible(), c.off_unselected);
        EXPECT_FALSE(mark->IsVisible());
    }
}

TEST(wstatus, ShowsItsStateOrTheHighlightAndTipsOnlyAboveZero)
{
    test::ControlScene scene;
    UI::wstatus status("prefetch");
    status.AddState(0, "icon_prefetchoff");
    status.AddState(1, "icon_prefetchon");
    status.AddState(2, "");
    status.SetHighlightPicture("icon_prefetchfinish");
    test::EventCounter tips;
    tips.Listen(status, "tooltips_target", test::EventCounter::Kind::Plain);

    const struct { int state; bool highlighted; const char* drawn; int tips; } cases[] = {
        {-1, false, nullptr, 0},
        {0, false, "icon_prefetchoff", 0},
        {0, true, "icon_prefetchfinish", 0},
        {1, true, "icon_prefetchon", 1},
        {2, false, nullptr, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        scene.render().ops.clear();
        tips.fired = 0;
        status.m_state = c.state;
        status.SetHighlighted(c.highlighted);
        status.Draw();
        status.OnMouseEnter();
        if (c.drawn) {
            ASSERT_EQ(scene.render().ops.size(), 1u);
            EXPECT_EQ(scene.render().ops[0].source, c.drawn);
        } else {
            EXPECT_TRUE(scene.render().ops.empty());
        }
        EXPECT_EQ(tips.fired, c.tips);
    }
}
