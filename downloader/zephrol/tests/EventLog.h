#pragma once
// A download item's user for tests: counts the item's events by code and
// lets the test wait for them.

#include "downloader/zephrol/Interfaces.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

class EventLog : public tBaseObject<ICorvaEventHandler> {
public:
    EventLog() : tBaseObject("EventLog") {}

    BaseResult OnEvent(const tCorvaEvent& event, std::intptr_t) noexcept override
    {
        std::scoped_lock hold(m_lock);
        ++m_counts[event.code];
        m_changed.notify_all();
        return RESULT_OK;
    }
    int count(DWORD code) const
    {
        std::scoped_lock hold(m_lock);
        const auto it = m_counts.find(code);
        return it == m_counts.end() ? 0 : it->second;
    }
    // False when fewer than `at_least` events of `code` came within the limit.
    bool wait_for(DWORD code, int at_least = 1, std::chrono::seconds limit = std::chrono::seconds(90))
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, limit, [&] { return m_counts[code] >= at_least; });
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::map<DWORD, int> m_counts;   // guarded by m_lock
};
