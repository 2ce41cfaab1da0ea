#include "Mutex.h"

#include "Deadline.h"

namespace plat {

DWORD Mutex::wait(DWORD timeout_ms)
{
    const auto self = std::this_thread::get_id();
    std::unique_lock hold(m_lock);
    if (m_owner == self) {
        ++m_count;
        return WAIT_OBJECT_0;
    }
    const Deadline deadline(timeout_ms);
    if (!deadline.wait(m_freed, hold, [&] { return m_owner == std::thread::id(); })) return WAIT_TIMEOUT;
    m_owner = self;
    m_count = 1;
    return WAIT_OBJECT_0;
}

bool Mutex::release()
{
    {
        std::scoped_lock hold(m_lock);
        if (m_owner != std::this_thread::get_id()) return false;
        if (--m_count > 0) return true;
        m_owner = std::thread::id();
    }
    m_freed.notify_one();
    return true;
}

}
