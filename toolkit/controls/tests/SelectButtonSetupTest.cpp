#include "toolkit/controls/tests/ControlRig.h"

#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/window.h"

#include <gtest/gtest.h>

TEST(wselectbtnSetup, HoverSwapsTheBackgroundForTheHoverPicture)
{
    test::ControlScene scene;
    UI::window parent("parent");
    auto* button = new UI::wselectbtn("tab");
    parent.AddChild(button);
    button->SetSize(111, 24);
    button->Setup("select", "rssitemhighlight", u"General", "");
    UI::widget* background = button->FindChild("widget-selectbtn-bg");
    UI::widget* hover = button->FindChild("widget-selectbtn-hignlight");
    auto* caption = static_cast<UI::wtext*>(button->FindChild("widget-selectbtn-text"));
    ASSERT_TRUE(background && hover && caption);
    EXPECT_TRUE(background->IsVisible());
    EXPECT_FALSE(hover->IsVisible());
    EXPECT_TRUE(caption->IsMouseTransparent());
    EXPECT_FLOAT_EQ(caption->GetWidth(), 111);   // centred by its format over the whole button

    button->OnMouseEnter();
    EXPECT_FALSE(background->IsVisible());
    EXPECT_TRUE(hover->IsVisible());
    button->OnMouseLeave();
    EXPECT_TRUE(background->IsVisible());
    EXPECT_FALSE(hover->IsVisible());
}

TEST(wselectbtnSetup, AMarkShowsWhileSelectedAndTheCaptionKeepsItsSize)
{
    test::ControlScene scene;
    UI::window parent("parent");
    parent.SetSize(200, 40);
    auto* button = new UI::wselectbtn("page");
    parent.AddChild(button);
    button->SetSize(60, 20);
    button->Setup("pageunselect", "", u"7", "pageselect");
    UI::widget* mark = button->FindChild("widget-selectbtn-select");
    auto* caption = static_cast<UI::wtext*>(button->FindChild("widget-selectbtn-text"));
    ASSERT_TRUE(mark && caption);
    EXPECT_EQ(button->FindChild("widget-selectbtn-hignlight"), nullptr);
    EXPECT_FALSE(mark->IsVisible());
    EXPECT_LT(caption->GetWidth(), 60);
    EXPECT_FLOAT_EQ(caption->GetX(), (60 - caption->GetWidth()) / 2);
    button->SetSelected(true);
    EXPECT_TRUE(mark->IsVisible());
    button->OnMouseEnter();   // no hover picture: nothing swaps
    EXPECT_TRUE(button->FindChild("widget-selectbtn-bg")->IsVisible());
}
