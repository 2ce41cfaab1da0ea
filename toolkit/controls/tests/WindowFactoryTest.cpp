#include "toolkit/controls/tests/ControlRig.h"

#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wmultiprogress.h"
#include "toolkit/controls/wprogress.h"
#include "toolkit/controls/wsliderbar.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/widgets/window.h"

#include <gtest/gtest.h>

TEST(WindowFactories, PlaceSizeAndAttachTheirControls)
{
    test::ControlScene scene;
    UI::window frame("frame");
    frame.SetSize(300, 200);
    const struct { UI::widget* made; float w, h; } cases[] = {
        // The button and the image keep their picture's size unless given both sides.
        {frame.AddButton("close", "btnclose", 10, 12, 0, 0), 16, 16},
        {frame.AddButton("wide", "functionbtn", 10, 12, 80, 0), 24, 19},
        {frame.AddButton("apply", "functionbtn", 10, 12, 80, 19), 80, 19},
        {frame.AddImage("logo", "logo", 10, 12, 0, 0), 96, 22},
        {frame.AddText("title", 10, 12, 120, 16, u"Strimo"), 120, 16},
        {frame.AddProgress("progress", 10, 12, 120, 6), 120, 6},
        {frame.AddMultiProgress("received", 10, 12, 120, 6), 120, 6},
        {frame.AddSliderBar("volume", 10, 12, 70, 12), 70, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.made->GetName());
        EXPECT_EQ(c.made->GetParent(), &frame);
        EXPECT_FLOAT_EQ(c.made->GetX(), 10);
        EXPECT_FLOAT_EQ(c.made->GetY(), 12);
        EXPECT_FLOAT_EQ(c.made->GetWidth(), c.w);
        EXPECT_FLOAT_EQ(c.made->GetHeight(), c.h);
    }
    EXPECT_EQ(frame.FindChild("title")->GetText(), u"Strimo");
    frame.SetSize(600, 400);
    frame.UpdateLayout();
    EXPECT_FLOAT_EQ(frame.FindChild("progress")->GetWidth(), 120);   // the rules keep place and size
}

TEST(WindowFactories, TheBackgroundFillsTheWindow)
{
    test::ControlScene scene;
    UI::window frame("frame");
    frame.SetSize(300, 200);
    UI::wimage* background = frame.AddImageAt("bk", "panelbg", 7, 7, 5, 5, 5, 5);
    frame.UpdateLayout();
    EXPECT_FLOAT_EQ(background->GetX(), 0);
    EXPECT_FLOAT_EQ(background->GetWidth(), 300);
    frame.SetSize(500, 250);
    frame.UpdateLayout();
    EXPECT_FLOAT_EQ(background->GetWidth(), 500);
    EXPECT_FLOAT_EQ(background->GetHeight(), 250);
}
