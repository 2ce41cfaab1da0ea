#include "toolkit/controls/tests/ControlRig.h"

#include "toolkit/controls/wtext.h"
#include "toolkit/controls/wtip.h"
#include "toolkit/render/font.h"
#include "toolkit/widgets/window.h"

#include <gtest/gtest.h>

TEST(wtip, TakesItsTextsWidthAtTheNextDraw)
{
    test::ControlScene scene;
    UI::wtip tip("tips");
    tip.SetText(u"Add to favorite");
    EXPECT_EQ(tip.GetText(), u"Add to favorite");
    tip.Draw();
    float width = 0;
    for (const char16_t c : std::u16string(u"Add to favorite"))
        width += UI::d3dresMgr::Instance()->GetFont("font_a12")->CharWidth(c);
    EXPECT_FLOAT_EQ(tip.GetWidth(), width + 12);
    EXPECT_FLOAT_EQ(tip.GetHeight(), 28);
    EXPECT_FLOAT_EQ(tip.FindChild("image-tipsbg")->GetWidth(), width + 12);
    std::vector<std::string> drawn;
    for (const auto& op : scene.render().ops) drawn.push_back(op.what + " " + op.source);
    // The skin has no "tipsbg": the information field stands in, as a nine-grid under the text.
    ASSERT_GE(drawn.size(), 2u);
    EXPECT_EQ(drawn.front(), "picture frame");
    EXPECT_EQ(drawn.back(), "text Add to favorite");
}

TEST(wtip, DrawsNothingWithoutAText)
{
    test::ControlScene scene;
    UI::wtip tip("");
    tip.Draw();
    tip.SetText(u"");
    tip.Draw();
    EXPECT_TRUE(scene.render().ops.empty());
}

// The tip shows over the widget it tells about; a press there must reach that widget, not the tip.
TEST(wtip, LetsPressesThroughToTheWidgetUnderIt)
{
    test::ControlScene scene;
    UI::window desk("desk");
    desk.SetSize(300, 200);
    UI::widget button("button");
    button.SetPos(100, 100);
    button.SetSize(74, 19);
    desk.AddChild(&button);
    auto* tip = new UI::wtip("tips");
    desk.AddChild(tip);
    tip->SetText(u"Settings");
    tip->Draw();
    tip->SetPos(100, 100);
    desk.UpdateLayout();
    EXPECT_EQ(desk.ChildAt(110, 110), &button);
    desk.RemoveChild(tip);
    delete tip;
    desk.RemoveChild(&button);
}
