#include "platform/sync/Thread.h"

#include "platform/sync/Event.h"
#include "platform/sync/MessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <stdexcept>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace {

int own_nice() { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())); }

}

TEST(Thread, JoinGivesTheBodysResultAndTheIdIsTheThreadsOwn)
{
    plat::Thread t;
    EXPECT_EQ(t.id(), 0u);
    DWORD seen_id = 0;
    ASSERT_TRUE(t.start([&] {
        seen_id = GetCurrentThreadId();
        return DWORD{42};
    }));
    EXPECT_NE(t.id(), 0u);
    EXPECT_EQ(t.join(), 42u);
    EXPECT_EQ(seen_id, t.id());
    EXPECT_NE(t.id(), GetCurrentThreadId());
    EXPECT_FALSE(t.joinable());
    EXPECT_EQ(t.join(), 0u) << "a second join has nothing to wait for";
}

TEST(Thread, IdsAreDistinct)
{
    std::set<DWORD> ids{GetCurrentThreadId()};
    for (int i = 0; i < 20; ++i) {
        plat::Thread t;
        ASSERT_TRUE(t.start([] { return DWORD{0}; }));
        EXPECT_TRUE(ids.insert(t.id()).second);
    }
}

TEST(Thread, StartsOnlyOnceAndNeedsABody)
{
    plat::Event release(plat::EventReset::Manual, plat::EventState::Clear);
    plat::Thread t;
    EXPECT_FALSE(t.start(nullptr));
    ASSERT_TRUE(t.start([&] { return release.wait(), DWORD{1}; }));
    EXPECT_FALSE(t.start([] { return DWORD{2}; }));
    release.set();
    EXPECT_EQ(t.join(), 1u);
}

TEST(Thread, OwnerEndJoinsTheThread)
{
    std::atomic<bool> finished{false};
    plat::Event running(plat::EventReset::Manual, plat::EventState::Clear);
    {
        plat::Thread t;
        ASSERT_TRUE(t.start([&] {
            running.set();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finished = true;
            return DWORD{0};
        }));
        running.wait();
    }
    EXPECT_TRUE(finished);
}

TEST(Thread, ExceptionFromTheBodyEndsOnlyThatThread)
{
    plat::Thread t;
    ASSERT_TRUE(t.start([]() -> DWORD { throw std::runtime_error("body failed"); }));
    EXPECT_EQ(t.join(), static_cast<DWORD>(-1));
}

TEST(Thread, LowestPriorityLowersOnlyTheCallingThread)
{
    const int before = own_nice();
    int inside = before;
    bool accepted = false;
    plat::Thread t;
    ASSERT_TRUE(t.start([&] {
        accepted = plat::set_current_thread_priority(THREAD_PRIORITY_LOWEST);
        inside = own_nice();
        return DWORD{0};
    }));
    t.join();
    EXPECT_TRUE(accepted);
    EXPECT_EQ(inside, std::min(before + 10, 19)) << "ten nice steps below the process";
    EXPECT_EQ(own_nice(), before);
    EXPECT_FALSE(plat::set_current_thread_priority(15));
    EXPECT_FALSE(plat::set_current_thread_priority(-3));
}
