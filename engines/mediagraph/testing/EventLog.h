#pragma once
// Test support: a controller whose listener keeps every event it reports.

#include "components/common/controlengine/CBaseControl.h"
#include "platform/sync/Event.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace fakes {

struct Reported {
    LONG code;
    INT_PTR value, extra;
};

class EventLog final : public IBaseEventHandler {
public:
    LONG OnEvent(void*, LONG code, INT_PTR value, INT_PTR extra) override
    {
        std::scoped_lock hold(m_lock);
        m_events.push_back({code, value, extra});
        m_changed.notify_all();
        return 0;
    }
    std::vector<Reported> events() const
    {
        std::scoped_lock hold(m_lock);
        return m_events;
    }
    std::vector<LONG> codes() const
    {
        std::vector<LONG> out;
        for (const auto& e : events()) out.push_back(e.code);
        return out;
    }
    std::size_t count(LONG code) const
    {
        const auto all = codes();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), code));
    }
    // True once one of the codes came within the time-out; the code in *which.
    bool wait_for_any(std::initializer_list<LONG> wanted, int timeout_ms, LONG* which = nullptr)
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::milliseconds(timeout_ms), [&] {
            for (const auto& e : m_events)
                for (LONG w : wanted)
                    if (e.code == w) {
                        if (which != nullptr) *which = w;
                        return true;
                    }
            return false;
        });
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Reported> m_events;   // guarded by m_lock
};

// A bare controller that hands the engine's events to its listeners.
class ListenedControl {
public:
    ListenedControl() { control.AddListener(&log); }
    CBaseControl control;
    EventLog log;
};

}
