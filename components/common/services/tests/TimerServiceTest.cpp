#include "components/common/services/TimerService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A tick the test sets by hand; counting reads tells when the timer thread
// has finished a walk that saw the latest tick.
class FakeClock {
public:
    explicit FakeClock(DWORD start) : m_now(start) {}
    DWORD read() { ++m_reads; return m_now; }
    void set(DWORD now) { m_now = now; }
    // Two more reads mean one whole walk ran after the caller's change.
    void settle() const
    {
        const int start = m_reads;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (m_reads < start + 2 && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    tTimerService::Clock function() { return [this] { return read(); }; }

private:
    std::atomic<DWORD> m_now;
    std::atomic<int> m_reads{0};
};

class Recorder : public IMsgNotify {
public:
    void OnNotify(int kind, int id, int parameter, int, int) noexcept override
    {
        std::scoped_lock hold(m_lock);
        m_calls.push_back({kind, id, parameter});
    }
    std::size_t count() const
    {
        std::scoped_lock hold(m_lock);
        return m_calls.size();
    }
    struct Call {
        int kind, id, parameter;
    };
    std::vector<Call> calls() const
    {
        std::scoped_lock hold(m_lock);
        return m_calls;
    }

private:
    mutable std::mutex m_lock;
    std::vector<Call> m_calls;
};

}

TEST(TimerService, IdsCountUpFrom20030)
{
    FakeClock clock(0);
    tTimerService timers(clock.function());
    Recorder target;
    EXPECT_EQ(timers.AddTimer(10, &target, false, 0), 20030);
    EXPECT_EQ(timers.AddTimer(10, &target, true, 0), 20031);
}

TEST(TimerService, OneShotFiresOnceAndNeverEarly)
{
    FakeClock clock(5000);
    tTimerService timers(clock.function());
    Recorder target;
    const int id = timers.AddTimer(1000, &target, false, 77);
    timers.Start();
    clock.set(5999);
    clock.settle();
    EXPECT_EQ(target.count(), 0u);
    clock.set(6000);
    clock.settle();
    ASSERT_EQ(target.count(), 1u);
    EXPECT_EQ(target.calls()[0].kind, TIMER_NOTIFY_KIND);
    EXPECT_EQ(target.calls()[0].id, id);
    EXPECT_EQ(target.calls()[0].parameter, 77);
    clock.set(100000);
    clock.settle();
    EXPECT_EQ(target.count(), 1u);
}

TEST(TimerService, RepeatingTimerRunsAgainAnIntervalAfterItsLastCall)
{
    FakeClock clock(0);
    tTimerService timers(clock.function());
    Recorder target;
    timers.AddTimer(1000, &target, true, 0);
    timers.Start();
    clock.set(1500);   // first poll at or after 1000
    clock.settle();
    EXPECT_EQ(target.count(), 1u);
    clock.set(2499);
    clock.settle();
    EXPECT_EQ(target.count(), 1u);
    clock.set(2500);
    clock.settle();
    EXPECT_EQ(target.count(), 2u);
}

TEST(TimerService, TickWrapNeitherFiresEarlyNorLosesTheTimer)
{
    FakeClock clock(0xFFFFFF00u);
    tTimerService timers(clock.function());
    Recorder target;
    timers.AddTimer(1000, &target, false, 0);   // due 0x2E8 after the wrap
    timers.Start();
    clock.set(0xFFFFFFF0u);
    clock.settle();
    EXPECT_EQ(target.count(), 0u);
    clock.set(0x2E7);
    clock.settle();
    EXPECT_EQ(target.count(), 0u);
    clock.set(0x2E8);
    clock.settle();
    EXPECT_EQ(target.count(), 1u);
}

TEST(TimerService, CallbackMayAddTimers)
{
    FakeClock clock(0);
    tTimerService timers(clock.function());
    struct Chain : IMsgNotify {
        tTimerService* timers = nullptr;
        std::atomic<int> calls{0};
        void OnNotify(int, int, int, int, int) noexcept override
        {
            if (++calls == 1) timers->AddTimer(10, this, false, 0);
        }
    } chain;
    chain.timers = &timers;
    timers.AddTimer(10, &chain, false, 0);
    timers.Start();
    clock.set(10);
    clock.settle();
    clock.set(20);
    clock.settle();
    EXPECT_EQ(chain.calls, 2);
}

TEST(TimerService, StopForgetsTimers)
{
    FakeClock clock(0);
    tTimerService timers(clock.function());
    Recorder target;
    timers.AddTimer(10, &target, true, 0);
    timers.Start();
    timers.Stop();
    timers.Start();
    clock.set(1000);
    clock.settle();
    EXPECT_EQ(target.count(), 0u);
}
