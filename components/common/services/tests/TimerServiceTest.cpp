#include "components/common/services/TimerService.h"
#include "components/common/services/tests/FakeClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

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

// Moves the clock to `tick`, lets one whole walk run, and gives the calls so far.
std::size_t calls_at(FakeClock& clock, const Recorder& target, DWORD tick)
{
    clock.set(tick);
    clock.settle();
    return target.count();
}

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
    EXPECT_EQ(calls_at(clock, target, 5999), 0u);
    ASSERT_EQ(calls_at(clock, target, 6000), 1u);
    EXPECT_EQ(target.calls()[0].kind, TIMER_NOTIFY_KIND);
    EXPECT_EQ(target.calls()[0].id, id);
    EXPECT_EQ(target.calls()[0].parameter, 77);
    EXPECT_EQ(calls_at(clock, target, 100000), 1u);
}

TEST(TimerService, RepeatingTimerRunsAgainAnIntervalAfterItsLastCall)
{
    FakeClock clock(0);
    tTimerService timers(clock.function());
    Recorder target;
    timers.AddTimer(1000, &target, true, 0);
    timers.Start();
    EXPECT_EQ(calls_at(clock, target, 1500), 1u);   // first poll at or after 1000
    EXPECT_EQ(calls_at(clock, target, 2499), 1u);
    EXPECT_EQ(calls_at(clock, target, 2500), 2u);
}

TEST(TimerService, TickWrapNeitherFiresEarlyNorLosesTheTimer)
{
    FakeClock clock(0xFFFFFF00u);
    tTimerService timers(clock.function());
    Recorder target;
    timers.AddTimer(1000, &target, false, 0);   // due 0x2E8 after the wrap
    timers.Start();
    EXPECT_EQ(calls_at(clock, target, 0xFFFFFFF0u), 0u);
    EXPECT_EQ(calls_at(clock, target, 0x2E7), 0u);
    EXPECT_EQ(calls_at(clock, target, 0x2E8), 1u);
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
    EXPECT_EQ(calls_at(clock, target, 1000), 0u);
}
