#include "Event.h"

#include "Deadline.h"

#include <algorithm>
#include <condition_variable>
#include <optional>

namespace plat {

// Lock order: the events' locks (in address order), then a waiter's lock.
struct Event::Waiter {
    std::mutex lock;
    std::condition_variable woken_cv;
    bool woken = false;   // guarded by lock
};

// The events of one multiple wait, locked together so that a check and the
// consumption of what it found happen at one moment.
class EventGroup {
public:
    explicit EventGroup(std::span<Event* const> events) : m_events(events), m_order(events.begin(), events.end())
    {
        std::sort(m_order.begin(), m_order.end());
    }

    bool valid() const
    {
        return !m_order.empty() && m_order.size() <= MAXIMUM_WAIT_OBJECTS && m_order.front() != nullptr &&
               std::adjacent_find(m_order.begin(), m_order.end()) == m_order.end();
    }

    void lock() { for (Event* e : m_order) e->m_lock.lock(); }
    void unlock() { for (auto it = m_order.rbegin(); it != m_order.rend(); ++it) (*it)->m_lock.unlock(); }

    // With the group locked: the result of the wait if it can end now.
    std::optional<DWORD> take_any()
    {
        for (std::size_t i = 0; i < m_events.size(); ++i) {
            if (!m_events[i]->m_signalled) continue;
            consume(*m_events[i]);
            return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
        return std::nullopt;
    }
    std::optional<DWORD> take_all()
    {
        if (!std::all_of(m_order.begin(), m_order.end(), [](Event* e) { return e->m_signalled; }))
            return std::nullopt;
        for (Event* e : m_order) consume(*e);
        return WAIT_OBJECT_0;
    }

    void add(Event::Waiter& w) { for (Event* e : m_order) e->m_waiters.push_back(&w); }
    void remove(Event::Waiter& w)
    {
        for (Event* e : m_order) std::erase(e->m_waiters, &w);
    }

private:
    static void consume(Event& e)
    {
        if (e.m_reset == EventReset::Auto) e.m_signalled = false;
    }

    std::span<Event* const> m_events;
    std::vector<Event*> m_order;   // by address: the one lock order of every group
};

namespace {

template<typename Take>
DWORD wait_group(std::span<Event* const> events, DWORD timeout_ms, Take take)
{
    EventGroup group(events);
    if (!group.valid()) return WAIT_FAILED;
    const Deadline deadline(timeout_ms);
    Event::Waiter waiter;
    group.lock();
    if (auto result = take(group)) {
        group.unlock();
        return *result;
    }
    group.add(waiter);
    for (;;) {
        group.unlock();
        bool timed_out = false;
        {
            std::unique_lock hold(waiter.lock);
            timed_out = !deadline.wait(waiter.woken_cv, hold, [&] { return waiter.woken; });
            waiter.woken = false;
        }
        group.lock();
        auto result = take(group);
        if (result || timed_out) {
            group.remove(waiter);
            group.unlock();
            return result ? *result : WAIT_TIMEOUT;
        }
    }
}

}

Event::Event(EventReset reset, EventState initial) : m_reset(reset), m_signalled(initial == EventState::Set) {}

void Event::set()
{
    std::scoped_lock hold(m_lock);
    m_signalled = true;
    // Every waiter re-checks under the events' locks; for an auto-reset event the
    // first to look takes it and the others wait on.
    for (Waiter* w : m_waiters) {
        std::scoped_lock wake(w->lock);
        w->woken = true;
        w->woken_cv.notify_one();
    }
}

void Event::reset()
{
    std::scoped_lock hold(m_lock);
    m_signalled = false;
}

DWORD Event::wait(DWORD timeout_ms)
{
    Event* self = this;
    return wait_any(std::span<Event* const>(&self, 1), timeout_ms);
}

DWORD wait_any(std::span<Event* const> events, DWORD timeout_ms)
{
    return wait_group(events, timeout_ms, [](EventGroup& g) { return g.take_any(); });
}

DWORD wait_all(std::span<Event* const> events, DWORD timeout_ms)
{
    return wait_group(events, timeout_ms, [](EventGroup& g) { return g.take_all(); });
}

}
