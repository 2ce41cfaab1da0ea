#pragma once
// Windows events: manual-reset (stays set until reset, frees every waiter) or
// auto-reset (one successful wait clears it), and waits on one, any or all of them.

#include "Wait.h"

#include <initializer_list>
#include <mutex>
#include <span>
#include <vector>

namespace plat {

enum class EventReset { Manual, Auto };
enum class EventState { Clear, Set };

class Event {
public:
    Event(EventReset reset, EventState initial);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    // WAIT_OBJECT_0 when set (an auto-reset event is cleared by it), else WAIT_TIMEOUT.
    DWORD wait(DWORD timeout_ms = INFINITE);

    struct Waiter;   // a thread blocked in a wait that includes this event

private:
    friend class EventGroup;

    const EventReset m_reset;
    std::mutex m_lock;
    bool m_signalled;                 // guarded by m_lock
    std::vector<Waiter*> m_waiters;   // guarded by m_lock
};

// WAIT_OBJECT_0 + the lowest index of a set event (only that one is consumed), or
// WAIT_TIMEOUT. WAIT_FAILED for no events, more than MAXIMUM_WAIT_OBJECTS, a null or a repeated one.
DWORD wait_any(std::span<Event* const> events, DWORD timeout_ms);
inline DWORD wait_any(std::initializer_list<Event*> events, DWORD timeout_ms)
{
    return wait_any(std::span<Event* const>(events.begin(), events.size()), timeout_ms);
}

// WAIT_OBJECT_0 once every event is set at one moment (the auto-reset ones are then
// consumed together; none is consumed before that), or WAIT_TIMEOUT. Failures as wait_any.
DWORD wait_all(std::span<Event* const> events, DWORD timeout_ms);
inline DWORD wait_all(std::initializer_list<Event*> events, DWORD timeout_ms)
{
    return wait_all(std::span<Event* const>(events.begin(), events.size()), timeout_ms);
}

}
