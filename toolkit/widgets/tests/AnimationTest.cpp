#include "toolkit/widgets/ATimeLine.h"
#include "toolkit/widgets/keyframe.h"
#include "toolkit/widgets/widget.h"
#include "toolkit/widgets/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

struct EndLog : UI::ATimeLineListener {
    std::vector<int> ends;
    void OnTimeLineEnd(int value) override { ends.push_back(value); }
};

std::unique_ptr<UI::widget_keyframe> linear(UI::widget* target, int kind, int start, int end, float from, float to)
{
    auto k = std::make_unique<UI::widget_keyframe>(target);
    k->Init(kind, start, end, from, to);
    return k;
}

// A parent 300 x 200 holding a 40 x 30 child at (10, 20).
struct Stage {
    UI::widget parent{"parent"};
    UI::widget* child = new UI::widget("child");
    Stage()
    {
        parent.SetSize(300, 200);
        child->SetPos(10, 20);
        child->SetSize(40, 30);
        parent.AddChild(child);
    }
};

}

TEST(Keyframe, ReachesItsTargetOnTheSixteenthFrameAndAppliesItOnce)
{
    Stage s;
    auto k = linear(s.child, UI::KeyX, 0, 500, 0, 100);
    k->Start();
    for (int frame = 1; frame <= 15; ++frame) {
        k->Step(33);
        EXPECT_FLOAT_EQ(s.child->GetX(), 100.0f * float(33 * frame) / 500) << frame;
        EXPECT_EQ(k->GetState(), UI::KeyframeRunning);
    }
    k->Step(33);   // elapsed 528
    EXPECT_FLOAT_EQ(s.child->GetX(), 100);
    EXPECT_EQ(k->GetState(), UI::KeyframeReached);
    s.child->SetX(55);
    k->Step(33);
    EXPECT_FLOAT_EQ(s.child->GetX(), 55);   // the target is not applied twice
}

TEST(Keyframe, AStepAdvancesAtMostOneFrame)
{
    float value = 0;
    auto k = linear(nullptr, UI::KeyFloat, 0, 330, 0, 330);
    k->SetTargetFloat(&value);
    k->Start();
    k->Step(100);
    EXPECT_FLOAT_EQ(value, 33);
    k->Step(5);
    EXPECT_FLOAT_EQ(value, 38);
}

TEST(Keyframe, NothingMovesBeforeTheStartAndAnEmptyWindowEndsUntouched)
{
    Stage s;
    auto late = linear(s.child, UI::KeyX, 50, 100, 0, 100);
    late->Start();
    late->Step(33);
    EXPECT_FLOAT_EQ(s.child->GetX(), 10);
    EXPECT_EQ(late->GetState(), UI::KeyframeStarted);
    late->Step(33);   // elapsed 66: inside the window
    EXPECT_FLOAT_EQ(s.child->GetX(), 32);
    EXPECT_EQ(late->GetState(), UI::KeyframeRunning);

    for (int end : {0, -5}) {
        auto empty = linear(s.child, UI::KeyX, 0, end, 0, 100);
        empty->Start();
        empty->Step(33);
        EXPECT_EQ(empty->GetState(), UI::KeyframeReached);
        EXPECT_FLOAT_EQ(s.child->GetX(), 32);
    }
}

TEST(Keyframe, EveryKindChangesItsProperty)
{
    const struct {
        int kind;
        float from, to;
        bool with_parent;
        std::function<void(UI::widget&)> check;
    } cases[] = {
        {UI::KeyAlpha, 255, 200, true, [](UI::widget& w) { EXPECT_FLOAT_EQ(w.GetAlpha(), 200); EXPECT_FALSE(w.IsVisible()); }},
        {UI::KeyAlpha, 200, 255, true, [](UI::widget& w) { EXPECT_FLOAT_EQ(w.GetAlpha(), 255); EXPECT_TRUE(w.IsVisible()); }},
        {UI::KeyX, 0, 70, true, [](UI::widget& w) { EXPECT_FLOAT_EQ(w.GetX(), 70); }},
        {UI::KeyY, 0, 70, true, [](UI::widget& w) { EXPECT_FLOAT_EQ(w.GetY(), 70); }},
        {UI::KeyWidth, 40, 90, true, [](UI::widget& w) {
             EXPECT_FLOAT_EQ(w.GetWidth(), 90);
             EXPECT_FLOAT_EQ(w.FindChild("filler")->GetWidth(), 90);   // children laid out again
         }},
        {UI::KeyHeight, 30, 60, true, [](UI::widget& w) { EXPECT_FLOAT_EQ(w.GetHeight(), 60); }},
        {UI::KeyFromBottom, 0, 50, true, [](UI::widget& w) { EXPECT_FLOAT_EQ(w.GetY(), 150); }},
        {UI::KeyFromRight, 0, 50, true, [](UI::widget& w) { EXPECT_FLOAT_EQ(w.GetX(), 250); }},
        {UI::KeyFromBottom, 0, 50, false, [](UI::widget& w) { EXPECT_FLOAT_EQ(w.GetY(), 20); }},
        {UI::KeyFromRight, 0, 50, false, [](UI::widget& w) { EXPECT_FLOAT_EQ(w.GetX(), 10); }},
        {UI::KeyVisibility, 255, 0, true, [](UI::widget& w) { EXPECT_FALSE(w.IsVisible()); EXPECT_FLOAT_EQ(w.GetAlpha(), 255); }},
        {UI::KeyVisibility, 0, 255, true, [](UI::widget& w) { EXPECT_TRUE(w.IsVisible()); EXPECT_FLOAT_EQ(w.GetAlpha(), 255); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " " << c.from << " -> " << c.to);
        Stage s;
        UI::widget* target = s.child;
        if (!c.with_parent) s.parent.RemoveChild(target);
        auto* filler = new UI::widget("filler");
        target->AddChild(filler);
        filler->SetSizeRule(2, 2, 0, 0);
        target->Show(c.from < c.to ? false : true);
        auto k = linear(target, c.kind, 0, 100, c.from, c.to);
        k->Start();
        for (int i = 0; i < 5; ++i) k->Step(33);
        EXPECT_EQ(k->GetState(), UI::KeyframeReached);
        c.check(*target);
        if (!c.with_parent) delete target;
    }
}

TEST(Keyframe, FloatKindWritesThroughItsPointer)
{
    Stage s;
    float scroll = 0;
    auto k = linear(s.child, UI::KeyFloat, 0, 66, 10, 30);
    k->SetTargetFloat(&scroll);
    k->Start();
    s.parent.SetDirty(false);
    k->Step(33);
    EXPECT_FLOAT_EQ(scroll, 20);
    EXPECT_TRUE(s.parent.IsDirty());   // the target is invalidated after every application
}

TEST(SlowerKeyframe, ShortStepsStillAdvanceOneFrame)
{
    UI::slowerframeAlgorithm<float> algorithm;
    algorithm.Init(0, 100, 4);
    EXPECT_FLOAT_EQ(algorithm.GenerateForTime(20), 0);   // 20 ms is no whole frame
    EXPECT_FLOAT_EQ(algorithm.Generate(0), 0);
    EXPECT_FLOAT_EQ(algorithm.Generate(-3), 0);
    EXPECT_FLOAT_EQ(algorithm.GenerateForTime(67), 43.75f);   // two frames
    algorithm.Reset();
    EXPECT_FLOAT_EQ(algorithm.GetCurrent(), 0);

    UI::slowerkeyframe k(nullptr);
    k.Init({0, 0, 100, 4, 1});
    k.Start();
    k.Step(20);
    EXPECT_FLOAT_EQ(k.GetValue(), 25);
    k.Step(100);   // three frames
    EXPECT_NEAR(k.GetValue(), 100 - 75 * 0.421875f, 1e-4);
}

TEST(SlowerKeyframe, EndsOnTheTargetOnceWithinTheThreshold)
{
    struct Ending : UI::slowerkeyframe {
        using slowerkeyframe::slowerkeyframe;
        int ends = 0;
        void OnEnd() override { ++ends; }
    } k(nullptr);
    k.Init({0, 0.5f, 1.0f, 4, 0.01f});
    k.Start();
    int frames = 0;
    while (k.GetState() != UI::KeyframeReached && frames < 100) {
        k.Step(34);
        ++frames;
    }
    EXPECT_EQ(frames, 14);
    EXPECT_FLOAT_EQ(k.GetValue(), 1.0f);
    EXPECT_EQ(k.ends, 1);
    k.Finish();
    EXPECT_EQ(k.ends, 2);
}

TEST(FasterKeyframe, TheDistanceFromTheStartGrowsByTheFactorUntilItPassesTheTarget)
{
    UI::fasterkeyframe k(nullptr);
    k.Start({0, 10, 0.4f});
    k.SetCurrent(0.2f);
    std::vector<float> seen;
    while (!k.HasReached() && seen.size() < 100) {
        k.StepMs(10);   // one frame however short
        seen.push_back(k.GetValue());
    }
    ASSERT_GE(seen.size(), 3u);
    EXPECT_FLOAT_EQ(seen[0], 0.2f * 1.4f);
    EXPECT_FLOAT_EQ(seen[1], 0.2f * 1.4f * 1.4f);
    EXPECT_FLOAT_EQ(seen.back(), 10);   // lands on the target, not past it
    EXPECT_EQ(seen.size(), 12u);        // 0.2 x 1.4^12 is the first past 10
}

TEST(FasterKeyframe, WithoutADistanceItNeverMovesUnlessItHasNothingToCover)
{
    UI::fasterkeyframe still(nullptr);
    still.Start({10, 50, 0.4f});
    for (int i = 0; i < 20; ++i) still.StepMs(100);
    EXPECT_FLOAT_EQ(still.GetValue(), 10);
    EXPECT_FALSE(still.HasReached());

    UI::fasterkeyframe there(nullptr);
    there.Start({30, 30, 0.4f});
    there.StepMs(33);
    EXPECT_TRUE(there.HasReached());
}

TEST(TimeLine, EmptyTimelineIsDoneAndItsFirstStepTellsTheListener)
{
    EndLog log;
    UI::ATimeLine line;
    line.SetListener(&log, 42);
    EXPECT_TRUE(line.IsDone());
    EXPECT_FALSE(line.Start(0));
    line.Step(33);
    EXPECT_EQ(log.ends, std::vector<int>{42});
}

TEST(TimeLine, RunsUntilItsLastKeyframeEndsThenResetsThem)
{
    EndLog log;
    Stage s;
    UI::ATimeLine line;
    line.SetListener(&log, 7);
    auto shortk = linear(s.child, UI::KeyX, 0, 30, 0, 30);
    auto longk = linear(s.child, UI::KeyY, 0, 90, 0, 90);
    UI::keyframe* first = shortk.get();
    line.AddKeyframe(std::move(shortk));
    line.AddKeyframe(std::move(longk));
    EXPECT_TRUE(line.Start(7));
    EXPECT_FALSE(line.Start(7));   // already running
    line.Step(33);
    line.Step(33);
    EXPECT_EQ(first->GetState(), UI::KeyframeReached);
    EXPECT_FALSE(line.IsDone());
    EXPECT_TRUE(log.ends.empty());
    line.Step(33);   // elapsed 99: the long one ends too
    EXPECT_EQ(log.ends, std::vector<int>{7});
    EXPECT_EQ(first->GetState(), UI::KeyframeNew);
    EXPECT_TRUE(line.IsDone());
}

TEST(TimeLine, AddingAgainMovesAKeyframeLastAndRemovingHandsItBack)
{
    Stage s;
    UI::ATimeLine line;
    auto a = linear(s.child, UI::KeyX, 0, 30, 0, 30);
    UI::keyframe* raw = a.get();
    line.AddKeyframe(std::move(a));
    line.AddKeyframe(linear(s.child, UI::KeyY, 0, 30, 0, 30));
    line.AddKeyframe(*raw);   // re-adding keeps one entry, and ownership
    EXPECT_EQ(line.KeyframeCount(), 2u);
    std::unique_ptr<UI::keyframe> back = line.RemoveKeyframe(raw);
    EXPECT_EQ(back.get(), raw);
    EXPECT_EQ(line.KeyframeCount(), 1u);
    EXPECT_EQ(line.RemoveKeyframe(raw), nullptr);
    line.AddKeyframe(std::unique_ptr<UI::keyframe>());   // null is ignored
    EXPECT_EQ(line.KeyframeCount(), 1u);
}

TEST(TimeLine, KeyframesEmbeddedInObjectsAreNeverFreed)
{
    // A list's scroll keyframe lives in the list; its timeline only borrows it.
    struct ScrollingList {
        float offset = 0;
        UI::widget_keyframe scroll{nullptr};
    } list;
    list.scroll.Init(UI::KeyFloat, 0, 66, 0, 40);
    list.scroll.SetTargetFloat(&list.offset);

    EndLog log;
    auto line = std::make_unique<UI::ATimeLine>();
    line->SetListener(&log, 1);
    line->AddKeyframe(list.scroll);
    line->AddKeyframe(linear(nullptr, UI::KeyFloat, 0, 33, 0, 1));
    UI::animationMgr mgr;
    mgr.AddTimeLine(std::move(line));
    for (int i = 0; i < 4 && mgr.IsRunning(); ++i) mgr.Tick(33);
    EXPECT_FALSE(mgr.IsRunning());
    EXPECT_EQ(log.ends, std::vector<int>{1});
    EXPECT_FLOAT_EQ(list.offset, 40);
    // Still ours and usable: the timeline's Clear and delete left it alone.
    list.scroll.Init(UI::KeyFloat, 0, 33, 40, 0);
    list.scroll.SetTargetFloat(&list.offset);
    list.scroll.Start();
    list.scroll.Step(33);
    EXPECT_FLOAT_EQ(list.offset, 0);

    UI::ATimeLine kept;
    kept.AddKeyframe(list.scroll);
    kept.Clear();
    EXPECT_EQ(kept.KeyframeCount(), 0u);
}

TEST(AnimationMgr, TicksDropFinishedTimelinesAndTheRunningFlagFollows)
{
    EndLog log;
    UI::animationMgr mgr;
    EXPECT_FALSE(mgr.IsRunning());
    mgr.Tick(33);   // empty: nothing happens

    float a = 0, b = 0;
    auto quick = std::make_unique<UI::ATimeLine>();
    quick->SetListener(&log, 1);
    auto k1 = linear(nullptr, UI::KeyFloat, 0, 33, 0, 1);
    k1->SetTargetFloat(&a);
    quick->AddKeyframe(std::move(k1));
    UI::ATimeLine borrowed;   // the caller's: the manager must not free it
    borrowed.SetListener(&log, 2);
    auto k2 = linear(nullptr, UI::KeyFloat, 0, 99, 0, 1);
    k2->SetTargetFloat(&b);
    borrowed.AddKeyframe(std::move(k2));

    mgr.AddTimeLine(std::move(quick));
    mgr.AddTimeLine(borrowed);
    EXPECT_TRUE(mgr.IsRunning());
    EXPECT_EQ(mgr.TimeLineCount(), 2u);
    mgr.Tick(33);
    mgr.Tick(33);
    EXPECT_EQ(log.ends, std::vector<int>{1});
    EXPECT_EQ(mgr.TimeLineCount(), 1u);
    EXPECT_TRUE(mgr.IsRunning());
    mgr.Tick(33);
    mgr.Tick(33);
    EXPECT_EQ(log.ends, (std::vector<int>{1, 2}));
    EXPECT_FALSE(mgr.IsRunning());
    EXPECT_FLOAT_EQ(a, 1);
    EXPECT_FLOAT_EQ(b, 1);
    EXPECT_EQ(borrowed.KeyframeCount(), 0u);   // a done timeline is cleared
}

TEST(AnimationMgr, StopAllDropsEverythingAndClearsTheRunningFlag)
{
    UI::animationMgr mgr;
    auto line = std::make_unique<UI::ATimeLine>();
    line->AddKeyframe(linear(nullptr, UI::KeyFloat, 0, 500, 0, 1));
    mgr.AddTimeLine(std::move(line));
    EXPECT_TRUE(mgr.IsRunning());
    mgr.StopAll();
    EXPECT_FALSE(mgr.IsRunning());
    EXPECT_EQ(mgr.TimeLineCount(), 0u);
}

TEST(AnimationMgr, ATimelineLentByReferenceCanBeTakenOffWhileItRuns)
{
    UI::animationMgr mgr;
    UI::ATimeLine lent;
    lent.AddKeyframe(linear(nullptr, UI::KeyFloat, 0, 500, 0, 1));
    auto owned = std::make_unique<UI::ATimeLine>();
    owned->AddKeyframe(linear(nullptr, UI::KeyFloat, 0, 500, 0, 1));
    mgr.AddTimeLine(lent);
    mgr.AddTimeLine(std::move(owned));
    mgr.RemoveTimeLine(lent);
    EXPECT_EQ(mgr.TimeLineCount(), 1u);
    EXPECT_TRUE(mgr.IsRunning());
    mgr.StopAll();
    mgr.AddTimeLine(lent);
    mgr.RemoveTimeLine(lent);
    EXPECT_FALSE(mgr.IsRunning());   // nothing left
}
