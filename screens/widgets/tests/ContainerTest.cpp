#include "screens/widgets/wcontainer.h"

#include "toolkit/controls/tests/ControlRig.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/render/font.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

float width_of(std::u16string_view text)
{
    RenderEngine::font* font = UI::d3dresMgr::Instance()->GetFont("font_a12");
    float sum = 0;
    for (char16_t c : text) sum += font->CharWidth(c);
    return sum;
}

struct Piece {
    std::u16string text;
    float y;
};

std::vector<Piece> pieces_of(const UI::wcontainer& box)
{
    std::vector<Piece> out;
    for (UI::wtext* t : box.GetTexts()) out.push_back({t->GetText(), t->GetY()});
    return out;
}

}  // namespace

TEST(wcontainer, TextWrapsIntoLinesOfTheSetWidth)
{
    test::ControlScene scene;
    const struct {
        const char* name;
        std::u16string text;
        std::function<float()> line_width;
        std::vector<Piece> expected;
    } cases[] = {
        {"fits", u"hello world", [] { return 200.0f; }, {{u"hello world", 0}}},
        {"cut after the last blank that fits", u"hello big world", [] { return width_of(u"hello big wo"); },
         {{u"hello big ", 0}, {u"world", 18}}},
        {"no blank: cut where it stops fitting", u"abcdefgh", [] { return width_of(u"abcd") + 0.5f; },
         {{u"abcd", 0}, {u"efgh", 18}}},
        {"width 0: a character a line", u"abc", [] { return 0.0f; }, {{u"a", 0}, {u"b", 18}, {u"c", 36}}},
        {"a glyph wider than the line", u"WW", [] { return width_of(u"W") / 2; }, {{u"W", 0}, {u"W", 18}}},
        {"lines below the maximum height are dropped", u"abcdefghij", [] { return 0.0f; },
         {{u"a", 0}, {u"b", 18}, {u"c", 36}, {u"d", 54}, {u"e", 72}, {u"f", 90}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UI::wcontainer box("container");
        box.SetLineWidth(c.line_width());
        box.AddText(c.text, "font_a12", {188, 188, 188});
        const std::vector<Piece> got = pieces_of(box);
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].text, c.expected[i].text) << i;
            EXPECT_FLOAT_EQ(got[i].y, c.expected[i].y) << i;
        }
    }
}

TEST(wcontainer, TextAndPicturesShareALine)
{
    test::ControlScene scene;
    UI::wcontainer box("container");
    box.SetLineWidth(500);
    box.AddText(u"Click", "font_a12", {188, 188, 188});
    box.AddImage("icon_addchannel");
    box.AddText(u"to add", "font_a12", {188, 188, 188});
    ASSERT_EQ(box.GetTexts().size(), 2u);
    const float first = width_of(u"Click");
    UI::widget* image = box.FindChild("wtext-wcontainer-image");
    ASSERT_NE(image, nullptr);
    EXPECT_FLOAT_EQ(image->GetX(), first + 5);
    EXPECT_FLOAT_EQ(box.GetTexts()[1]->GetX(), first + image->GetWidth() + 10);
    EXPECT_FLOAT_EQ(box.GetTexts()[1]->GetY(), 0);
}
