#include "platform/dshow/AMEvent.h"

#include <chrono>

void CAMEvent::Set()
{
    {
        std::scoped_lock hold(m_lock);
        m_signalled = true;
    }
    if (m_manual)
        m_changed.notify_all();
    else
        m_changed.notify_one();
}

void CAMEvent::Reset()
{
    std::scoped_lock hold(m_lock);
    m_signalled = false;
}

bool CAMEvent::Wait(DWORD timeout_ms)
{
    std::unique_lock hold(m_lock);
    auto ready = [this] { return m_signalled; };
    if (timeout_ms == 0xFFFFFFFF)
        m_changed.wait(hold, ready);
    else if (!m_changed.wait_for(hold, std::chrono::milliseconds(timeout_ms), ready))
        return false;
    if (!m_manual) m_signalled = false;
    return true;
}
