#include "platform/sync/Mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Runs f on another thread and gives its result.
template<typename F>
auto on_other_thread(F f)
{
    decltype(f()) result{};
    std::thread([&] { result = f(); }).join();
    return result;
}

}

TEST(Mutex, OwnerTakesAgainAndMustReleaseEveryTake)
{
    plat::Mutex m;
    ASSERT_EQ(m.wait(), WAIT_OBJECT_0);
    ASSERT_EQ(m.wait(0), WAIT_OBJECT_0);
    EXPECT_TRUE(m.release());
    EXPECT_EQ(on_other_thread([&] { return m.wait(0); }), WAIT_TIMEOUT) << "one release of two left it free";
    EXPECT_TRUE(m.release());
    EXPECT_FALSE(m.release()) << "released more often than taken";
    EXPECT_EQ(on_other_thread([&] { return m.wait(0) == WAIT_OBJECT_0 && m.release(); }), true);
}

TEST(Mutex, ReleaseByAnotherThreadFailsAndChangesNothing)
{
    plat::Mutex m;
    EXPECT_FALSE(m.release()) << "free mutex";
    ASSERT_EQ(m.wait(), WAIT_OBJECT_0);
    EXPECT_FALSE(on_other_thread([&] { return m.release(); }));
    EXPECT_EQ(on_other_thread([&] { return m.wait(20); }), WAIT_TIMEOUT);
    EXPECT_TRUE(m.release());
}

TEST(Mutex, WaiterGetsItWhenTheOwnerLetsGo)
{
    plat::Mutex m;
    ASSERT_EQ(m.wait(), WAIT_OBJECT_0);
    DWORD result = WAIT_FAILED;
    std::thread waiter([&] {
        result = m.wait(60000);
        if (result == WAIT_OBJECT_0) m.release();
    });
    EXPECT_TRUE(m.release());
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
}

TEST(Mutex, KeepsCountersWholeUnderContention)
{
    plat::Mutex m;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                ASSERT_EQ(m.wait(), WAIT_OBJECT_0);
                ASSERT_EQ(m.wait(), WAIT_OBJECT_0);
                long seen = counter;
                // Widen the window between read and write without giving the
                // core away: a yield on a loaded machine costs a whole time slice.
                for (int spin = 0; spin < 200; ++spin) std::atomic_signal_fence(std::memory_order_seq_cst);
                counter = seen + 1;
                m.release();
                m.release();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 8000);
}
