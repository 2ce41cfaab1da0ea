#include "platform/base/DebugLog.h"

#include <gtest/gtest.h>

#include <thread>

TEST(DebugLog, CapturesLinesFromBothWindowsEntryPoints)
{
    plat::DebugCapture capture;
    OutputDebugStringA("narrow line");
    OutputDebugStringW(u"wide \x00E9");
    plat::debug_log("direct");
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"narrow line", "wide \xC3\xA9", "direct"}));
}

TEST(DebugLog, NestedCapturesSeeOnlyTheirOwnLifetime)
{
    plat::DebugCapture outer;
    plat::debug_log("before");
    {
        plat::DebugCapture inner;
        plat::debug_log("during");
        EXPECT_FALSE(inner.contains("before"));
        EXPECT_TRUE(inner.contains("during"));
    }
    plat::debug_log("after");
    EXPECT_EQ(outer.lines().size(), 3u);
}

TEST(DebugLog, LinesFromManyThreadsAreAllKept)
{
    plat::DebugCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] { for (int i = 0; i < 250; ++i) plat::debug_log("x"); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(capture.lines().size(), 1000u);
}

TEST(DebugLog, WaitForReturnsOnceALineFromAnotherThreadArrives)
{
    plat::DebugCapture capture;
    EXPECT_FALSE(capture.wait_for("never", std::chrono::milliseconds(1)));
    std::thread writer([] { plat::debug_log("worker: done"); });
    EXPECT_TRUE(capture.wait_for("done", std::chrono::seconds(30)));
    writer.join();
}
