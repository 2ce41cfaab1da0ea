#include "toolkit/widgets/widget.h"
#include "toolkit/widgets/window.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Frame {
    int frame;   // frame ticks after StartAnimation (0: its own 0 ms tick)
    float x, y, alpha;
    bool visible;
};

// A 300 x 200 parent holding one child of the given size.
struct Stage {
    UI::widget parent{"parent"};
    UI::widget* w = new UI::widget("w");
    Stage(float width, float height)
    {
        parent.SetSize(300, 200);
        parent.AddChild(w);
        w->SetSize(width, height);
    }
};

struct Case {
    const char* name;
    UI::frect rect;        // x, y, width, height
    int x_rule, y_rule;
    float x_value, y_value;
    bool visible;
    int flags;
    std::vector<Frame> frames;
};

}

TEST(StartAnimation, FlagCombinationsFrameByFrame)
{
    using namespace UI;
    const Case cases[] = {
        {"slide in from the left", {0, 0, 100, 50}, 1, 1, 20, 10, false, AnimFromLeft | AnimPlaceHidden | AnimFromCurrent,
         {{0, -100, 10, 255, true}, {8, -47.2f, 10, 255, true}, {15, -1, 10, 255, true}, {16, 0, 10, 255, true}}},
        {"slide out to the left", {0, 0, 100, 50}, 1, 1, 0, 10, true, AnimFromLeft | AnimHide,
         {{0, 0, 10, 255, true}, {10, -66, 10, 255, true}, {16, -100, 10, 255, true}}},
        {"hide by visibility keeps alpha", {0, 0, 100, 50}, 1, 1, 0, 10, true, AnimVisibility | AnimHide,
         {{0, 0, 10, 255, true}, {15, 0, 10, 255, true}, {16, 0, 10, 255, false}}},
        {"fade in", {0, 0, 100, 50}, 1, 1, 0, 10, false, AnimAlpha,
         {{0, 0, 10, 200, true}, {8, 0, 10, 229.04f, true}, {16, 0, 10, 255, true}}},
        {"fade out ends hidden", {0, 0, 100, 50}, 1, 1, 0, 10, true, AnimAlpha | AnimHide,
         {{0, 0, 10, 255, true}, {8, 0, 10, 225.96f, true}, {15, 0, 10, 200.55f, true}, {16, 0, 10, 200, false}}},
        {"enter from the right edge", {0, 0, 100, 50}, 2, 1, 0, 10, false,
         AnimFromRight | AnimPlaceHidden | AnimFromCurrent,
         {{0, 300, 10, 255, true}, {5, 267, 10, 255, true}, {16, 200, 10, 255, true}}},
        {"rise from the bottom edge to its margin", {0, 0, 100, 50}, 1, 2, 20, 10, false,
         AnimFromBottom | AnimPlaceHidden | AnimFromCurrent,
         {{0, 20, 200, 255, true}, {16, 20, 147.2f, 255, true}, {19, 20, 140, 255, true}}},
        {"slide and fade together", {0, 0, 100, 50}, 1, 1, 0, 10, true, AnimFromLeft | AnimAlpha | AnimHide,
         {{0, 0, 10, 255, true}, {16, -100, 10, 200, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Stage stage(c.rect.width, c.rect.height);
        widget* w = stage.w;
        w->SetPosRule(c.x_rule, c.y_rule, c.x_value, c.y_value);
        w->Show(c.visible);
        w->StartAnimation(c.flags);
        int at = 0;
        for (const Frame& f : c.frames) {
            for (; at < f.frame; ++at) w->TickOwnAnimations();
            SCOPED_TRACE(testing::Message() << "frame " << f.frame);
            EXPECT_NEAR(w->GetX(), f.x, 1e-3);
            EXPECT_NEAR(w->GetY(), f.y, 1e-3);
            EXPECT_NEAR(w->GetAlpha(), f.alpha, 1e-2);
            EXPECT_EQ(w->IsVisible(), f.visible);
        }
        w->TickOwnAnimations();
        w->TickOwnAnimations();
        w->TickOwnAnimations();
        EXPECT_TRUE(w->IsAnimationIdle());
    }
}

TEST(StartAnimation, AMoveThatIsAlreadyThereStartsNothing)
{
    Stage stage(100, 50);
    UI::widget* w = stage.w;
    w->StartAnimation(UI::AnimFromLeft | UI::AnimFromCurrent);
    EXPECT_TRUE(w->IsAnimationIdle());
    EXPECT_FLOAT_EQ(w->GetX(), 0);
    EXPECT_EQ(w->GetAnimationFlags(), UI::AnimFromLeft | UI::AnimFromCurrent);
}

TEST(StartAnimation, AWidgetWithoutExtentLandsAtOnce)
{
    const struct {
        const char* name;
        UI::fpoint size;
        int flags;
        UI::fpoint expected;
    } cases[] = {
        {"no width, from the left", {0, 50}, UI::AnimFromLeft | UI::AnimFromCurrent, {0, 40}},
        {"no height, from the top", {100, 0}, UI::AnimFromTop | UI::AnimFromCurrent, {30, 0}},
        {"no width, out to the left", {0, 50}, UI::AnimFromLeft | UI::AnimHide, {0, 40}},
        {"no height, from the bottom", {100, 0}, UI::AnimFromBottom | UI::AnimFromCurrent, {30, 200}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Stage stage(c.size.x, c.size.y);
        UI::widget* w = stage.w;
        w->SetPos(30, 40);
        w->StartAnimation(c.flags);
        EXPECT_FLOAT_EQ(w->GetX(), c.expected.x);
        EXPECT_FLOAT_EQ(w->GetY(), c.expected.y);
        EXPECT_TRUE(w->IsAnimationIdle());
    }
}

TEST(StartAnimation, StartingAgainDropsTheRunningOne)
{
    Stage stage(100, 50);
    UI::widget* w = stage.w;
    w->StartAnimation(UI::AnimFromLeft | UI::AnimHide);
    for (int i = 0; i < 5; ++i) w->TickOwnAnimations();
    const float stopped_at = w->GetX();
    w->StartAnimation(UI::AnimFromLeft | UI::AnimFromCurrent);   // back in from where it stands
    EXPECT_EQ(w->GetAnimationMgr().TimeLineCount(), 1u);
    EXPECT_FLOAT_EQ(w->GetX(), stopped_at);
    for (int i = 0; i < 20; ++i) w->TickOwnAnimations();
    EXPECT_FLOAT_EQ(w->GetX(), 0);
}

TEST(StartAnimation, ATreeTickStepsEachAnimationOneFrame)
{
    UI::window root("root");
    root.SetSize(300, 200);
    auto* pane = new UI::window("pane");
    root.AddChild(pane);
    pane->SetSize(200, 100);
    auto* w = new UI::widget("w");
    pane->AddChild(w);
    w->SetSize(100, 50);
    w->SetPosRule(1, 1, 0, 0);
    w->Show(false);
    w->StartAnimation(UI::AnimFromLeft | UI::AnimPlaceHidden | UI::AnimFromCurrent);
    for (int frame = 1; frame <= 8; ++frame) root.TickAnimations();
    EXPECT_NEAR(w->GetX(), -100 + 100 * 264.0f / 500, 1e-3);
}
