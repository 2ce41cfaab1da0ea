#include "toolkit/widgets/widget.h"

#include <gtest/gtest.h>

namespace {

// A 200 x 100 parent; the child starts at (7, 9), 50 x 20.
struct Family {
    UI::widget parent{"parent"};
    UI::widget* child = new UI::widget("child");
    explicit Family(bool attached)
    {
        parent.SetSize(200, 100);
        child->SetPos(7, 9);
        child->SetSize(50, 20);
        if (attached) parent.AddChild(child);
    }
    ~Family()
    {
        if (!child->GetParent()) delete child;
    }
};

}

TEST(SelfLayout, PositionAndSizeRulesOnBothAxes)
{
    enum Rule { Position, Size };
    const struct {
        Rule kind;
        int rule;
        float value;
        bool attached;
        UI::fpoint expected;   // (x, y) or (width, height)
    } cases[] = {
        {Position, 0, 3, true, {7, 9}},     {Position, 1, 3, true, {3, 3}},    {Position, 2, 10, true, {140, 70}},
        {Position, 3, 0.25f, true, {50, 25}}, {Position, 4, 0, true, {75, 40}},
        {Position, 0, 3, false, {7, 9}},    {Position, 1, 3, false, {3, 3}},   {Position, 2, 10, false, {7, 9}},
        {Position, 3, 0.25f, false, {7, 9}}, {Position, 4, 0, false, {7, 9}},
        {Size, 0, 3, true, {50, 20}},       {Size, 1, 3, true, {3, 3}},        {Size, 2, 0, true, {200, 100}},
        {Size, 3, 30, true, {170, 70}},     {Size, 4, 0.333f, true, {66, 33}}, {Size, 4, 0.5f, true, {100, 50}},
        {Size, 0, 3, false, {50, 20}},      {Size, 1, 3, false, {3, 3}},       {Size, 2, 0, false, {50, 20}},
        {Size, 3, 30, false, {50, 20}},     {Size, 4, 0.333f, false, {50, 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.kind == Position ? "position" : "size") << " rule " << c.rule
                                        << " value " << c.value << (c.attached ? " in a parent" : " alone"));
        Family f(c.attached);
        UI::fpoint got;
        UI::fpoint recorded;
        if (c.kind == Position) {
            f.child->SetPosRule(c.rule, c.rule, c.value, c.value);
            got = f.child->GetPos();
            recorded = f.child->GetLayout().GetPosition();
        } else {
            f.child->SetSizeRule(c.rule, c.rule, c.value, c.value);
            got = f.child->GetSize();
            recorded = f.child->GetLayout().GetSize();
        }
        EXPECT_FLOAT_EQ(got.x, c.expected.x);
        EXPECT_FLOAT_EQ(got.y, c.expected.y);
        EXPECT_FLOAT_EQ(recorded.x, c.expected.x);
        EXPECT_FLOAT_EQ(recorded.y, c.expected.y);
    }
}

TEST(SelfLayout, MinusOnePinsTheCurrentValue)
{
    Family f(true);
    f.child->SetPosRule(1, 1, -1, -1);
    f.parent.SetSize(400, 300);
    f.parent.UpdateLayout();
    EXPECT_FLOAT_EQ(f.child->GetX(), 7);
    EXPECT_FLOAT_EQ(f.child->GetY(), 9);
    f.child->SetSizeRule(1, 1, -1, -1);
    EXPECT_FLOAT_EQ(f.child->GetWidth(), 50);
    EXPECT_FLOAT_EQ(f.child->GetHeight(), 20);
}

TEST(SelfLayout, FarEdgePlacesByTheSizeBeforeThisPass)
{
    Family f(true);
    f.child->SetPosRule(2, 0, 10, 0);
    f.child->SetSizeRule(1, 0, 80, 0);
    EXPECT_FLOAT_EQ(f.child->GetX(), 140);   // placed with the old width 50
    EXPECT_FLOAT_EQ(f.child->GetWidth(), 80);
    f.child->UpdateLayout();
    EXPECT_FLOAT_EQ(f.child->GetX(), 110);
}

TEST(SelfLayout, ChildrenFollowTheirParentsNewSize)
{
    UI::widget root("root");
    auto* pane = new UI::widget("pane");
    auto* fill = new UI::widget("fill");
    root.AddChild(pane);
    pane->AddChild(fill);
    pane->SetSizeRule(3, 3, 20, 20);
    fill->SetPosRule(4, 2, 0, 5);
    fill->SetSizeRule(4, 1, 0.5f, 10);
    root.SetSize(300, 200);
    root.UpdateLayout();
    EXPECT_FLOAT_EQ(pane->GetWidth(), 280);
    EXPECT_FLOAT_EQ(fill->GetWidth(), 140);
    fill->UpdateLayout();   // centred with the width it now has
    EXPECT_FLOAT_EQ(fill->GetX(), 70);
    EXPECT_FLOAT_EQ(fill->GetY(), 180 - 5 - 10);
}
