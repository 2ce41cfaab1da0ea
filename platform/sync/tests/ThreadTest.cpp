#include "platform/sync/Thread.h"

#include "platform/sync/Event.h"
#include "platform/sync/MessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace {

int own_nice() { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())); }

// Written by the ending thread, read after joining it.
std::string cleanups_run;
void clean_a() { cleanups_run += 'a'; }
void clean_b() { cleanups_run += 'b'; }

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

// Library state kept per thread must be freed by threads of any maker, once each.
TEST(Thread, CleanupsAskedForRunOnceWhenTheThreadEndsLastAskedFirst)
{
    std::string seen_inside;
    auto body = [&] {
        plat::run_at_thread_exit(clean_a);
        plat::run_at_thread_exit(clean_b);
        plat::run_at_thread_exit(clean_a);
        seen_inside = cleanups_run;
    };
    const struct { const char* maker; std::function<void()> run; } makers[] = {
        {"std::thread", [&] { std::thread(body).join(); }},
        {"plat::Thread", [&] {
             plat::Thread t;
             ASSERT_TRUE(t.start([&] { return body(), DWORD{0}; }));
             t.join();
         }},
    };
    for (const auto& m : makers) {
        SCOPED_TRACE(m.maker);
        cleanups_run.clear();
        m.run();
        EXPECT_EQ(seen_inside, "") << "nothing runs before the thread ends";
        EXPECT_EQ(cleanups_run, "ba");
    }
}

// The main thread's static destructors run after its thread_locals went, and may
// still reach code that asks (a device closed at exit): that ask must be harmless.
TEST(Thread, AskingOnceTheCleanupsRanIsHarmless)
{
    struct AsksWhenDestroyed {
        ~AsksWhenDestroyed() { plat::run_at_thread_exit(clean_b); }
    };
    cleanups_run.clear();
    std::thread([] {
        thread_local AsksWhenDestroyed late;   // made before the cleanups' list, so destroyed after it
        (void)late;
        plat::run_at_thread_exit(clean_a);
    }).join();
    EXPECT_EQ(cleanups_run, "a");
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
