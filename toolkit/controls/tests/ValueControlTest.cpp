#include "toolkit/controls/tests/ControlRig.h"

#include "toolkit/controls/wprogress.h"
#include "toolkit/controls/wsliderbar.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

UI::MouseEventArgs at(float x, float y)
{
    UI::MouseEventArgs e;
    e.position = {x, y};
    return e;
}

}  // namespace

TEST(wprogress, AValueAboveTheRangeIsDrawnAsZeroAndReset)
{
    test::ControlScene scene;
    UI::wprogress bar("bar");
    bar.SetSize(100, 8);
    bar.SetSkin("timeline", "progressbg");
    bar.SetValue(150);
    bar.Draw();
    EXPECT_FLOAT_EQ(bar.GetValue(), 0);
    EXPECT_EQ(test::draws_of(scene.render(), "timeline"), 0);
    EXPECT_GT(test::draws_of(scene.render(), "progressbg"), 0);

    scene.render().ops.clear();
    bar.SetValue(50);
    bar.Draw();
    EXPECT_GT(test::draws_of(scene.render(), "timeline"), 0);
}

// The pointer maps to a value by the near edge; a bar of no length or range
// gives 0 instead of dividing by zero.
TEST(wprogress, ThePointerSetsTheValue)
{
    const struct { int orientation; float width, height, range, x, y, value; } cases[] = {
        {UI::wprogress::FromLeft, 100, 8, 100, 49, 4, 50},
        {UI::wprogress::FromRight, 100, 8, 100, 50, 4, 51},
        {UI::wprogress::FromBottom, 8, 100, 10, 4, 89, 1.2f},
        {UI::wprogress::FromLeft, 100, 8, 100, 500, 4, 100},
        {UI::wprogress::FromLeft, 100, 8, 100, -50, 4, 0},
        {UI::wprogress::FromLeft, 0, 8, 100, 5, 4, 0},
        {UI::wprogress::FromLeft, 100, 8, 0, 5, 4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.orientation << " " << c.width << " " << c.range << " " << c.x);
        UI::wprogress bar("bar");
        bar.SetSize(c.width, c.height);
        bar.SetRange(c.range);
        bar.SetOrientation(c.orientation);
        test::EventCounter clicked;
        clicked.Listen(bar, "progressbar_click");
        UI::MouseEventArgs down = at(c.x, c.y), up = at(c.x, c.y);
        bar.OnMouseDown(down);
        EXPECT_TRUE(bar.IsPressed());
        bar.OnMouseUp(up);
        EXPECT_FALSE(bar.IsPressed());
        EXPECT_NEAR(bar.GetValue(), c.value, 1e-3);
        EXPECT_EQ(clicked.fired, 1);
    }
}

TEST(wprogress, ALockedBarIgnoresTheMouse)
{
    UI::wprogress bar("bar");
    bar.SetSize(100, 8);
    bar.SetLocked(true);
    UI::MouseEventArgs down = at(50, 4);
    bar.OnMouseDown(down);
    bar.OnMouseUp(down);
    EXPECT_FALSE(bar.IsPressed());
    EXPECT_FLOAT_EQ(bar.GetValue(), 0);
}

namespace {

struct Slider {
    test::ControlScene scene;
    UI::wsliderbar slider{"volume"};
    test::EventCounter moved;
    explicit Slider(float width)
    {
        slider.SetSize(width, 12);
        slider.SetSkin("soundsliderbar", "soundsliderbgh");   // 12 x 12 thumb
        moved.Listen(slider, "slider_moveto");
    }
    void drag(float from, float to)
    {
        slider.Draw();   // places the thumb
        UI::MouseEventArgs down = at(from, 6), move = at(to, 6), up = at(to, 6);
        slider.OnMouseDown(down);
        slider.OnMouseMove(move);
        slider.OnMouseUp(up);
    }
};

}  // namespace

TEST(wsliderbar, ReleasingPastTheEndGivesRangeLessOne)
{
    Slider s(112);
    s.drag(6, 400);
    EXPECT_FLOAT_EQ(s.slider.GetValue(), 99);
    EXPECT_EQ(s.moved.last_value, 99);
}

TEST(wsliderbar, DragsAlongTheRoomLeftByTheThumbs)
{
    Slider s(112);   // room = 112 - 2 x 12 = 88
    s.drag(6, 50);
    EXPECT_NEAR(s.slider.GetValue(), 50, 1e-3);
}

// A track no longer than two thumbs leaves no room: the drag changes nothing
// (and never divides by zero).
TEST(wsliderbar, ATrackOfTwoThumbsDoesNotMoveOnDrag)
{
    for (float width : {24.0f, 20.0f}) {
        Slider s(width);
        s.drag(6, 18);
        EXPECT_FLOAT_EQ(s.slider.GetValue(), 0) << width;
        EXPECT_FALSE(std::isnan(s.slider.GetThumb()->GetX()));
    }
}

// The 40 x 6 track keeps its rounded ends at any length, across or down: its
// corners are drawn at their own size and only the middle is stretched
// (stretched whole, the ends turned ragged, and smeared down a scroll bar).
TEST(wsliderbar, TheTracksEndsKeepTheirSizeAlongAndAcross)
{
    const struct {
        float width, height;
    } cases[] = {{146, 12}, {12, 230}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        test::ControlScene scene;
        UI::wsliderbar slider("s");
        slider.SetSize(c.width, c.height);
        slider.SetSkin("soundsliderbar", "soundsliderbgh");
        scene.render().ops.clear();
        slider.Draw();
        std::vector<UI::frect> pieces;
        for (const auto& op : scene.render().ops)
            if (op.what == "picture" && op.source == "soundsliderbgh") pieces.push_back(op.rect);
        ASSERT_GT(pieces.size(), 1u) << "not one stretched picture";
        // The corners come out no larger than the picture's own (half its 40 x 6 at most).
        for (const UI::frect& corner : {pieces.front(), pieces.back()}) {
            EXPECT_LE(corner.width, 20);
            EXPECT_LE(corner.height, 3);
        }
        float covered = 0;
        for (const auto& piece : pieces) covered += piece.width * piece.height;
        EXPECT_FLOAT_EQ(covered, c.width * c.height) << "the pieces fill the track";
    }
}

TEST(wsliderbar, ValuesStayInsideTheRange)
{
    const struct { float range, in, out; } cases[] = {{100, 100, 99}, {100, 250, 99}, {100, -3, 0}, {100, 42, 42}};
    for (const auto& c : cases) {
        UI::wsliderbar slider("s");
        slider.SetRange(c.range);
        slider.UpdateValue(c.in);
        EXPECT_FLOAT_EQ(slider.GetValue(), c.out) << c.in;
    }
}

TEST(wsliderbar, AZeroRangeOrWidthKeepsTheThumbAtTheStart)
{
    Slider s(112);
    s.slider.SetRange(0);
    s.slider.Draw();
    EXPECT_FLOAT_EQ(s.slider.GetThumb()->GetX(), 0);
    UI::wsliderbar empty("empty");
    empty.SetSize(0, 0);
    UI::MouseEventArgs down = at(5, 5);
    empty.OnMouseDown(down);
    EXPECT_FLOAT_EQ(empty.GetValue(), 0);
}
