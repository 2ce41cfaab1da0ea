#pragma once
// The end of a wait given in milliseconds, INFINITE meaning none. Internal to platform/sync.

#include "Wait.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace plat {

class Deadline {
public:
    explicit Deadline(DWORD timeout_ms)
        : m_infinite(timeout_ms == INFINITE)
        , m_end(std::chrono::steady_clock::now() + std::chrono::milliseconds(m_infinite ? 0 : timeout_ms))
    {
    }

    bool infinite() const { return m_infinite; }
    bool passed() const { return !m_infinite && std::chrono::steady_clock::now() >= m_end; }

    // Waits until ready() holds (true) or the deadline passes first (false).
    template<typename Ready>
    bool wait(std::condition_variable& cv, std::unique_lock<std::mutex>& hold, Ready ready) const
    {
        if (m_infinite) {
            cv.wait(hold, ready);
            return true;
        }
        return cv.wait_until(hold, m_end, ready);
    }

private:
    bool m_infinite;
    std::chrono::steady_clock::time_point m_end;
};

}
