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

TEST(SelfLayout, PositionRulesOnBothAxes)
{
    const struct {
        int rule;
        float value;
        bool attached;
        UI::fpoint expected;
    } cases[] = {
        {0, 3, true, {7, 9}},     {1, 3, true, {3, 3}},         {2, 10, true, {140, 70}},
        {3, 0.25f, true, {50, 25}}, {4, 0, true, {75, 40}},
        {0, 3, false, {7, 9}},    {1, 3, false, {3, 3}},        {2, 10, false, {7, 9}},
        {3, 0.25f, false, {7, 9}}, {4, 0, false, {7, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "rule " << c.rule << (c.attached ? " in a parent" : " alone"));
        Family f(c.attached);
        f.child->SetPosRule(c.rule, c.rule, c.value, c.value);
        EXPECT_FLOAT_EQ(f.child->GetX(), c.expected.x);
        EXPECT_FLOAT_EQ(f.child->GetY(), c.expected.y);
        EXPECT_FLOAT_EQ(f.child->GetLayout().GetPosition().x, c.expected.x);
        EXPECT_FLOAT_EQ(f.child->GetLayout().GetPosition().y, c.expected.y);
    }
}

TEST(SelfLayout, SizeRulesOnBothAxes)
{
    const struct {
        int rule;
        float value;
        bool attached;
        UI::fpoint expected;
    } cases[] = {
        {0, 3, true, {50, 20}},    {1, 3, true, {3, 3}},           {2, 0, true, {200, 100}},
        {3, 30, true, {170, 70}},  {4, 0.333f, true, {66, 33}},    {4, 0.5f, true, {100, 50}},
        {0, 3, false, {50, 20}},   {1, 3, false, {3, 3}},          {2, 0, false, {50, 20}},
        {3, 30, false, {50, 20}},  {4, 0.333f, false, {50, 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "rule " << c.rule << " value " << c.value
                                        << (c.attached ? " in a parent" : " alone"));
        Family f(c.attached);
        f.child->SetSizeRule(c.rule, c.rule, c.value, c.value);
        EXPECT_FLOAT_EQ(f.child->GetWidth(), c.expected.x);
        EXPECT_FLOAT_EQ(f.child->GetHeight(), c.expected.y);
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
