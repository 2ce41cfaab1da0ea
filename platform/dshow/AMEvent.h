#pragma once
// CAMEvent: a Win32-style event, manual or automatic reset.

#include "platform/base/Types.h"

#include <condition_variable>
#include <mutex>

enum class EventReset { Automatic, Manual };

class CAMEvent {
public:
    explicit CAMEvent(EventReset reset = EventReset::Automatic) : m_manual(reset == EventReset::Manual) {}
    CAMEvent(const CAMEvent&) = delete;
    CAMEvent& operator=(const CAMEvent&) = delete;

    void Set();
    void Reset();
    // True when the event was signalled within the time-out (INFINITE waits forever).
    bool Wait(DWORD timeout_ms = 0xFFFFFFFF);
    bool Check() { return Wait(0); }

private:
    const bool m_manual;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_signalled{false};   // guarded by m_lock
};
