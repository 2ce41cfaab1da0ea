#include "toolkit/widgets/ATimeLine.h"
#include "toolkit/widgets/animationMgr.h"
#include "toolkit/widgets/keyframe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

struct EndCount : UI::ATimeLineListener {
    std::atomic<int> ends{0};
    void OnTimeLineEnd(int) override { ++ends; }
};

}

// The UI thread adds timelines while the drawing thread ticks the manager.
TEST(AnimationThreads, TimelinesAddedWhileAnotherThreadTicks)
{
    constexpr int Lines = 200;
    UI::animationMgr mgr;
    EndCount count;
    std::vector<float> values(Lines, 0.0f);   // each written only by the ticking thread
    std::atomic<bool> all_added{false};

    std::thread ticker([&] {
        while (!all_added.load() || mgr.IsRunning()) mgr.Tick(33);
    });
    for (int i = 0; i < Lines; ++i) {
        auto k = std::make_unique<UI::widget_keyframe>(nullptr);
        k->Init(UI::KeyFloat, 0, 66, 0, float(i));
        k->SetTargetFloat(&values[std::size_t(i)]);
        auto line = std::make_unique<UI::ATimeLine>();
        line->SetListener(&count, i);
        line->AddKeyframe(std::move(k));
        mgr.AddTimeLine(std::move(line));
    }
    all_added = true;
    ticker.join();

    EXPECT_EQ(count.ends.load(), Lines);
    EXPECT_EQ(mgr.TimeLineCount(), 0u);
    for (int i = 0; i < Lines; ++i) EXPECT_FLOAT_EQ(values[std::size_t(i)], float(i));
}
