#pragma once
// CAMEvent: the event of DirectShow's base classes, a plat::Event underneath
// so that one event type serves filters and the rest of the system.

#include "platform/sync/Event.h"

class CAMEvent {
public:
    explicit CAMEvent(plat::EventReset reset = plat::EventReset::Auto) : m_event(reset, plat::EventState::Clear) {}
    CAMEvent(const CAMEvent&) = delete;
    CAMEvent& operator=(const CAMEvent&) = delete;

    void Set() { m_event.set(); }
    void Reset() { m_event.reset(); }
    // True when the event was signalled within the time-out (INFINITE waits forever).
    bool Wait(DWORD timeout_ms = INFINITE) { return m_event.wait(timeout_ms) == WAIT_OBJECT_0; }
    bool Check() { return Wait(0); }

private:
    plat::Event m_event;
};
