#include "toolkit/controls/tests/ControlRig.h"

#include "toolkit/controls/wtext.h"
#include "toolkit/render/font.h"

#include <gtest/gtest.h>

namespace {

float width_of(const std::u16string& text, const char* font)
{
    float width = 0;
    for (const char16_t c : text) width += UI::d3dresMgr::Instance()->GetFont(font)->CharWidth(c);
    return width;
}

std::vector<std::string> texts_drawn(const test::RecordingRender& render)
{
    std::vector<std::string> out;
    for (const auto& op : render.ops)
        if (op.what == "text") out.push_back(op.source);
    return out;
}

}  // namespace

TEST(wtext, MeasuresWhenSetAndAnEmptySizeTakesTheText)
{
    test::ControlScene scene;
    UI::wtext label("label");
    label.SetFont("font_a12");
    label.SetText(u"Most Viewed");
    const float expected = width_of(u"Most Viewed", "font_a12");
    ASSERT_GT(expected, 0);
    EXPECT_FLOAT_EQ(label.GetTextSize().x, expected);
    EXPECT_GT(label.GetTextSize().y, 0);
    EXPECT_FLOAT_EQ(label.GetWidth(), expected);
    EXPECT_FLOAT_EQ(label.GetHeight(), label.GetTextSize().y);

    label.SetText(nullptr);
    EXPECT_EQ(label.GetText(), u"");
}

TEST(wtext, ADeferredTextIsMeasuredByTheNextDraw)
{
    test::ControlScene scene;
    UI::wtext tip("tip");
    tip.SetFont("font_a12");
    tip.SetSize(200, 20);
    tip.SetTextDeferred(u"Add to favorite", true);
    EXPECT_EQ(tip.GetText(), u"Add to favorite");
    EXPECT_FLOAT_EQ(tip.GetTextSize().x, 0);
    tip.Draw();
    EXPECT_FLOAT_EQ(tip.GetTextSize().x, width_of(u"Add to favorite", "font_a12"));
    EXPECT_EQ(texts_drawn(scene.render()), (std::vector<std::string>{"Add to favorite"}));
}

TEST(wtext, EllipsisCutsOnlyWhatDoesNotFit)
{
    test::ControlScene scene;
    const float x = width_of(u"x", "font_a12");
    const struct { float width; std::u16string text; std::string drawn; } cases[] = {
        {40 * x, u"xxxxx", "xxxxx"},
        // Each character must leave room for three more of its width.
        {8 * x, u"xxxxxxxxxxxx", "xxxxx..."},
        {3 * x, u"xxxx", "..."},
        {40 * x, u"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drawn);
        scene.render().ops.clear();
        UI::wtext field("field");
        field.SetFont("font_a12");
        field.SetSize(c.width, 16);
        field.SetEllipsis(true);
        field.SetText(c.text.c_str());
        field.Draw();
        const auto drawn = texts_drawn(scene.render());
        EXPECT_EQ(drawn, c.drawn.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.drawn});
    }
}

TEST(wtext, DrawsAtItsParentsDrawOrigin)
{
    test::ControlScene scene;
    UI::widget parent("parent");
    parent.SetPos(10, 20);
    parent.UpdateLayout();
    auto* label = new UI::wtext("label");
    parent.AddChild(label);
    label->SetPos(5, 6);
    label->SetSize(100, 16);
    label->SetText(u"Strimo");
    label->Draw();
    ASSERT_EQ(texts_drawn(scene.render()).size(), 1u);
    const auto& op = scene.render().ops.back();
    EXPECT_FLOAT_EQ(op.rect.x, parent.GetDrawOrigin().x + 5);
    EXPECT_FLOAT_EQ(op.rect.y, parent.GetDrawOrigin().y + 6);
}

TEST(wtext, EditingMakesTheFieldFocusable)
{
    UI::wtext field("field");
    EXPECT_FALSE(field.IsFocusable());
    field.SetEditable(true);
    EXPECT_TRUE(field.IsFocusable());
    field.SetEditable(false);
    EXPECT_FALSE(field.IsFocusable());
}
