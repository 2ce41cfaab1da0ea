#include "toolkit/controls/tests/ControlRig.h"

#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wlist.h"
#include "toolkit/controls/wlistitem.h"
#include "toolkit/controls/wsliderbar.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <gtest/gtest.h>

namespace {

// A list on a desk window: 16-px buttons, a 12-px thumb, one text column.
struct ListScene {
    test::ControlScene scene;
    UI::window desk{"desk"};
    UI::wlist* list;

    explicit ListScene(int rows, float height = 100, float row_height = 20, bool buttons = true)
    {
        desk.SetSize(400, 300);
        list = desk.AddList("list", 10, 10, 200, height);
        list->SetColumns({{4, 2, 150, 16}});
        list->SetSkin({buttons ? "btnminimize" : "", buttons ? "btnmaximize" : "", "rssitemhighlight",
                       "rss-treeoptionwindow-bk", "soundsliderbar", "progressbg", 200, height, row_height});
        for (int i = 0; i < rows; ++i) list->SetItemText(0, i, (u"row " + std::u16string(1, char16_t(u'0' + i))).c_str());
        desk.UpdateLayout();
    }
    void press(UI::widget& w)
    {
        UI::MouseEventArgs e;
        e.position = w.GetScreenOrigin();
        w.OnMouseDown(e);
    }
    std::vector<std::string> texts_drawn() const
    {
        std::vector<std::string> out;
        for (const auto& op : scene.recording.render->ops)
            if (op.what == "text") out.push_back(op.source);
        return out;
    }
};

}  // namespace

TEST(wlist, HeightSnapsToWholeRows)
{
    ListScene s(0, 105);
    EXPECT_FLOAT_EQ(s.list->GetHeight(), 100);
    EXPECT_EQ(s.list->GetRowsThatFit(), 5);
}

TEST(wlist, ChromeSitsAroundTheRows)
{
    ListScene s(3);
    EXPECT_FLOAT_EQ(s.list->GetUpButton()->GetX(), 200 - 16);
    EXPECT_FLOAT_EQ(s.list->GetUpButton()->GetY(), 0);
    EXPECT_FLOAT_EQ(s.list->GetDownButton()->GetY(), 100 - 16);
    const UI::wsliderbar* bar = s.list->GetScrollBar();
    EXPECT_FLOAT_EQ(bar->GetY(), 16);
    EXPECT_FLOAT_EQ(bar->GetHeight(), 100 - 32);
    EXPECT_FLOAT_EQ(bar->GetWidth(), 16);
    // Three rows of five that fit: the thumb fills the track.
    EXPECT_FLOAT_EQ(bar->GetThumb()->GetHeight(), 68);
    EXPECT_FLOAT_EQ(s.list->GetRow(2)->GetY(), 40);
    EXPECT_FLOAT_EQ(s.list->GetRow(2)->GetWidth(), 200 - 16);
}

TEST(wlist, TheDownButtonScrollsOneRowAndClicksReportTheShownRow)
{
    ListScene s(10);
    test::EventCounter clicks;
    clicks.Listen(*s.list, "list_click");
    s.press(*s.list->GetDownButton());
    EXPECT_FLOAT_EQ(s.list->GetScrollBar()->GetValue(), 1000.0f / 5);
    EXPECT_EQ(s.list->GetFirstVisibleRow(), 1);
    s.press(*s.list->GetDownButton());
    s.press(*s.list->GetDownButton());
    EXPECT_EQ(s.list->GetFirstVisibleRow(), 3);
    s.press(*s.list->GetRow(2));
    EXPECT_EQ(clicks.fired, 1);
    EXPECT_EQ(clicks.last_value, 5);
    s.press(*s.list->GetUpButton());
    EXPECT_EQ(s.list->GetFirstVisibleRow(), 2);
}

TEST(wlist, NothingScrollsWhenEveryRowFitsOrRowsHaveNoHeight)
{
    for (const float row_height : {20.0f, 0.0f}) {
        SCOPED_TRACE(row_height);
        ListScene s(5, 100, row_height);   // five of five fit at 20
        s.press(*s.list->GetDownButton());
        EXPECT_EQ(s.list->GetFirstVisibleRow(), 0);
        EXPECT_FLOAT_EQ(s.list->GetScrollBar()->GetValue(), 0);
    }
}

TEST(wlist, ACellsClickReachesItsRow)
{
    ListScene s(3);
    UI::wlistitem* row = s.list->GetRow(1);
    // A point on row 1's text, in the desk's coordinates.
    EXPECT_EQ(s.list->ChildAt(10 + 20, 10 + 20 + 8), row);
}

TEST(wlist, SettingACellAgainReplacesIt)
{
    ListScene s(1);
    s.list->SetItemText(0, 0, u"renamed");
    s.list->SetItemImage(0, 0, "icon_YouTube");
    s.list->SetItemImage(0, 0, "icon_options");
    int cells = 0;
    for (UI::widget* child : s.list->GetRow(0)->ChildrenInZOrder()) cells += child->GetX() == 4;
    EXPECT_EQ(cells, 1);
}

TEST(wlist, DrawsTheRowsFromTheFirstVisibleOne)
{
    ListScene s(10);
    s.press(*s.list->GetDownButton());
    s.press(*s.list->GetDownButton());
    s.desk.Draw();
    EXPECT_EQ(s.texts_drawn(), (std::vector<std::string>{"row 2", "row 3", "row 4", "row 5", "row 6", "row 7"}));
    const auto& first = *std::find_if(s.scene.recording.render->ops.begin(), s.scene.recording.render->ops.end(),
                                      [](const test::Op& op) { return op.source == "row 2"; });
    EXPECT_FLOAT_EQ(first.rect.y, 10 + 2);
}

TEST(wlist, TheHighlightFollowsThePointerOverShownRows)
{
    ListScene s(10);
    UI::MouseEventArgs move;
    s.list->GetRow(3)->OnMouseMove(move);
    const UI::widget* highlight = s.list->FindChild("list_highlight");
    ASSERT_NE(highlight, nullptr);
    EXPECT_TRUE(highlight->IsVisible());
    EXPECT_FLOAT_EQ(highlight->GetY(), 60);
    s.list->GetRow(7)->OnMouseMove(move);   // below the list
    EXPECT_FLOAT_EQ(highlight->GetY(), 60);
}

// The rows and their highlight end where the scroll column begins, with or
// without scroll buttons (without them the column is the thumb's width).
TEST(wlist, RowsAndTheHighlightStopAtTheScrollColumn)
{
    for (const bool buttons : {true, false}) {
        SCOPED_TRACE(buttons ? "buttons" : "thumb only");
        ListScene s(10, 100, 20, buttons);
        const float column_x = s.list->GetScrollBar()->GetX();
        EXPECT_FLOAT_EQ(column_x, 200 - (buttons ? 16 : 12));
        EXPECT_FLOAT_EQ(s.list->GetRow(1)->GetWidth(), column_x);
        UI::MouseEventArgs move;
        s.list->GetRow(1)->OnMouseMove(move);
        const UI::widget* highlight = s.list->FindChild("list_highlight");
        ASSERT_NE(highlight, nullptr);
        EXPECT_LE(highlight->GetX() + highlight->GetWidth(), column_x);
        s.list->SetSize(240, 100);
        s.desk.UpdateLayout();
        EXPECT_LE(highlight->GetX() + highlight->GetWidth(), s.list->GetScrollBar()->GetX()) << "after a resize";
    }
}
