#include "screens/video/loadinAnimation.h"
#include "screens/video/tests/VideoScene.h"

#include <gtest/gtest.h>

#include <functional>

using namespace UI;

namespace {

// Steps an animation one frame at a time until it stops; the frames taken.
int steps_to_finish(animation& a, int limit = 500)
{
    int steps = 0;
    while (a.IsRunning() && steps < limit) {
        a.Step();
        ++steps;
    }
    return steps;
}

struct Centred481 {
    test::VideoScene s;
    Centred481()
    {
        s.show_centred();
        EXPECT_FLOAT_EQ(s.video->GetHeight(), 364);
    }
};

}  // namespace

// Each kind: its divisor and threshold, the frames it takes from a centred
// 481 x 364 window, and what it leaves in the window.
TEST(VideoAnimations, KindsStepToTheirTargets)
{
    const struct {
        const char* name;
        int kind;
        float divisor;
        float threshold;
        std::function<animation&(videoplaywindow&)> start;
        int steps;
        float width;
        float height;
    } cases[] = {
        {"ratio", 2, ratiochangeAnimation::Divisor, ratiochangeAnimation::Threshold,
         [](videoplaywindow& v) -> animation& {
             v.Center().Ratio().Start(4.0f / 3.0f, 16.0f / 9.0f);
             return v.Center().Ratio();
         },
         51, 481, 364},
        {"size", 3, sizechangeAnimation::Divisor, sizechangeAnimation::Threshold,
         [](videoplaywindow& v) -> animation& {
             v.Geometry().current_height = v.GetHeight();
             v.Center().Size().Start(0, 700);
             return v.Center().Size();
         },
         32, WidthForHeight(700, 4.0f / 3.0f), 700},
        {"to the corner", 4, hidevideoAnimation::Divisor, hidevideoAnimation::Threshold,
         [](videoplaywindow& v) -> animation& {
             v.ToCorner().Move().Start({184, 141, 9, 25, MoveFromFar, MoveFromFar});
             return v.ToCorner().Move();
         },
         20, 184, 141},
        {"warning strip", 8, warningAnimation::Divisor, warningAnimation::Threshold,
         [](videoplaywindow& v) -> animation& {
             v.Center().Warning().Start({600, 40, 0, 0, 0, 0});
             return v.Center().Warning();
         },
         32, 600, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Centred481 fixture;
        test::VideoScene& s = fixture.s;
        animation& a = c.start(*s.video);
        EXPECT_EQ(a.GetKind(), c.kind);
        EXPECT_TRUE(a.IsRunning());
        EXPECT_EQ(steps_to_finish(a), c.steps);
        EXPECT_NEAR(s.video->GetWidth(), c.width, 1);
        EXPECT_FLOAT_EQ(s.video->GetHeight(), c.height);
    }
    EXPECT_FLOAT_EQ(showvideoAnimation::Divisor, 4.0f);
    EXPECT_FLOAT_EQ(possizeAnimation::Divisor, 6.0f);
}

TEST(VideoAnimations, SizeIgnoresTheTargetWidth)
{
    Centred481 fixture;
    videoplaywindow& v = *fixture.s.video;
    v.Geometry().current_height = v.GetHeight();
    v.Center().Size().Start(5000, 500);
    while (v.Center().Size().IsRunning()) {
        v.Center().Size().Step();
        EXPECT_FLOAT_EQ(v.GetWidth(), WidthForHeight(v.GetHeight(), 4.0f / 3.0f));
    }
    EXPECT_FLOAT_EQ(v.GetHeight(), 500);
}

TEST(VideoAnimations, TheTopCornerIsReachedInOneJumpVertically)
{
    Centred481 fixture;
    videoplaywindow& v = *fixture.s.video;
    v.ToCorner().Move().Start({184, 141, 9, 25, MoveFromFar, MoveFromNear});
    v.ToCorner().Move().Step();
    EXPECT_FLOAT_EQ(v.GetY(), 25);
    EXPECT_LT(v.GetX(), fixture.s.ClientWidth - 9 - v.GetWidth());   // still gliding across
}

TEST(VideoAnimations, LoadInRunsUntilStopped)
{
    test::VideoScene s;
    s.video->BeginLoadIn(10, 10, 60, 40);
    videoplaywindow::loadinAnimation& loadin = s.video->LoadIn();
    EXPECT_EQ(loadin.GetKind(), 0);
    EXPECT_EQ(steps_to_finish(loadin, 300), 300);   // arrived long before, still running
    EXPECT_FALSE(loadin.Inner().IsRunning());
    EXPECT_EQ(loadin.Inner().GetKind(), 1);
    EXPECT_NEAR(s.video->GetHeight(), 352, 1);
    EXPECT_NEAR(s.video->GetY(), (s.ClientHeight - 352) / 2, 1);
    s.video->StopLoadIn();
    EXPECT_FALSE(loadin.IsRunning());
}
