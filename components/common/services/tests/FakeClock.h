#pragma once
// A tick for tTimerService that tests set by hand.

#include "components/common/services/TimerService.h"

#include <atomic>
#include <chrono>
#include <thread>

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
