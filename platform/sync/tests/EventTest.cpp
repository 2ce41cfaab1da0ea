#include "platform/sync/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <thread>
#include <vector>

using plat::Event;
using plat::EventReset;
using plat::EventState;

namespace {

constexpr DWORD generous_ms = 60000;

// Waits (without a time limit the test relies on) until done() holds.
template<typename F>
bool eventually(F done)
{
    for (int i = 0; i < 60000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

}

TEST(Event, ManualResetStaysSetAndFreesEveryWaiter)
{
    Event e(EventReset::Manual, EventState::Clear);
    EXPECT_EQ(e.wait(0), WAIT_TIMEOUT);
    std::atomic<int> freed{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] { if (e.wait(generous_ms) == WAIT_OBJECT_0) ++freed; });
    e.set();
    for (auto& w : waiters) w.join();
    EXPECT_EQ(freed, 3);
    EXPECT_EQ(e.wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(e.wait(0), WAIT_OBJECT_0);
    e.reset();
    EXPECT_EQ(e.wait(0), WAIT_TIMEOUT);
}

TEST(Event, AutoResetFreesOneWaiterPerSet)
{
    Event e(EventReset::Auto, EventState::Clear);
    std::atomic<int> freed{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i)
        waiters.emplace_back([&] { if (e.wait(generous_ms) == WAIT_OBJECT_0) ++freed; });
    e.set();
    ASSERT_TRUE(eventually([&] { return freed == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));   // room for a wrong second wake-up
    EXPECT_EQ(freed, 1);
    e.set();
    for (auto& w : waiters) w.join();
    EXPECT_EQ(freed, 2);
    EXPECT_EQ(e.wait(0), WAIT_TIMEOUT) << "each set was consumed by one wait";
}

TEST(Event, InitialStateCounts)
{
    Event manual(EventReset::Manual, EventState::Set), automatic(EventReset::Auto, EventState::Set);
    EXPECT_EQ(manual.wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(manual.wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(automatic.wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(automatic.wait(0), WAIT_TIMEOUT);
}

TEST(Event, WaitAnyGivesTheLowestSetIndexAndConsumesOnlyIt)
{
    Event a(EventReset::Auto, EventState::Clear), b(EventReset::Auto, EventState::Set),
        c(EventReset::Auto, EventState::Set);
    EXPECT_EQ(plat::wait_any({&a, &b, &c}, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(plat::wait_any({&a, &b, &c}, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(plat::wait_any({&a, &b, &c}, 10), WAIT_TIMEOUT);
}

TEST(Event, WaitAnyWakesForAnEventSetLater)
{
    Event wake(EventReset::Manual, EventState::Clear), stop(EventReset::Manual, EventState::Clear);
    DWORD result = WAIT_FAILED;
    std::thread waiter([&] { result = plat::wait_any({&wake, &stop}, generous_ms); });
    stop.set();
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0 + 1);
}

TEST(Event, WaitAllTakesNothingUntilEveryEventIsSet)
{
    Event a(EventReset::Auto, EventState::Set), b(EventReset::Auto, EventState::Clear),
        m(EventReset::Manual, EventState::Clear);
    EXPECT_EQ(plat::wait_all({&a, &b, &m}, 10), WAIT_TIMEOUT);
    EXPECT_EQ(a.wait(0), WAIT_OBJECT_0) << "a partial wait-all consumed an event";
    a.set();

    DWORD result = WAIT_FAILED;
    std::thread waiter([&] { result = plat::wait_all({&a, &b, &m}, generous_ms); });
    b.set();
    m.set();
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_EQ(a.wait(0), WAIT_TIMEOUT);
    EXPECT_EQ(b.wait(0), WAIT_TIMEOUT);
    EXPECT_EQ(m.wait(0), WAIT_OBJECT_0) << "manual-reset events stay set";
}

TEST(Event, WaitAnyAndAllShareAutoEventsWithoutLosingOrDoublingASet)
{
    // Each set of an auto-reset event is taken by exactly one wait, whichever kind.
    Event a(EventReset::Auto, EventState::Clear), b(EventReset::Auto, EventState::Clear);
    std::atomic<int> taken{0};
    std::atomic<bool> stop{false};
    std::thread all_taker([&] {
        while (!stop)
            if (plat::wait_all({&a, &b}, 5) == WAIT_OBJECT_0) taken += 2;
    });
    std::thread any_taker([&] {
        while (!stop)
            if (plat::wait_any({&b, &a}, 5) != WAIT_TIMEOUT) ++taken;
    });
    constexpr int rounds = 300;
    for (int i = 1; i <= rounds; ++i) {
        a.set();
        b.set();
        ASSERT_TRUE(eventually([&] { return taken >= 2 * i; })) << "round " << i;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));   // room for a wrong extra take
    stop = true;
    all_taker.join();
    any_taker.join();
    EXPECT_EQ(taken, 2 * rounds);
}

TEST(Event, BadListsFail)
{
    Event a(EventReset::Manual, EventState::Set), b(EventReset::Manual, EventState::Set);
    std::deque<Event> many;
    std::vector<Event*> too_many;
    for (DWORD i = 0; i <= MAXIMUM_WAIT_OBJECTS; ++i) too_many.push_back(&many.emplace_back(EventReset::Manual, EventState::Set));
    const struct { const char* what; std::vector<Event*> events; } cases[] = {
        {"empty", {}}, {"null", {&a, nullptr}}, {"repeated", {&a, &b, &a}}, {"too many", too_many},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(plat::wait_any(c.events, 0), WAIT_FAILED);
        EXPECT_EQ(plat::wait_all(c.events, 0), WAIT_FAILED);
    }
    too_many.pop_back();
    EXPECT_EQ(plat::wait_all(too_many, 0), WAIT_OBJECT_0) << "exactly the maximum is allowed";
}
