#include "TimerService.h"

#include "platform/base/Time.h"

#include <chrono>

namespace {

constexpr auto poll_interval = std::chrono::milliseconds(100);

// Ticks wrap after 49.7 days; a due tick counts as reached when it lies at
// most half the tick range behind now.
bool reached(DWORD due, DWORD now)
{
    return static_cast<std::int32_t>(now - due) >= 0;
}

}

tTimerService::tTimerService(Clock clock) : m_clock(clock ? std::move(clock) : Clock([] { return GetTickCount(); }))
{
}

tTimerService::~tTimerService()
{
    Stop();
}

void tTimerService::Start()
{
    if (m_thread.joinable()) return;
    m_thread = std::jthread([this](std::stop_token stop) { run(stop); });
}

int tTimerService::AddTimer(DWORD interval, IMsgNotify* target, bool repeat, int parameter)
{
    const DWORD now = m_clock();
    std::scoped_lock hold(m_lock);
    const int id = m_next_id++;
    m_entries.push_back({id, now + interval, target, interval, repeat, parameter});
    return id;
}

void tTimerService::Stop()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_wake.notify_all();
        m_thread.join();
    }
    std::scoped_lock hold(m_lock);
    m_entries.clear();
}

// Callbacks run without the timer lock, so a target may add timers or take
// its own locks in any order.
void tTimerService::run(std::stop_token stop)
{
    for (;;) {
        {
            std::unique_lock hold(m_lock);
            m_wake.wait_for(hold, stop, poll_interval, [] { return false; });
        }
        if (stop.stop_requested()) return;
        for (const Due& due : take_due()) due.target->OnNotify(TIMER_NOTIFY_KIND, due.id, due.parameter, 0, 0);
    }
}

std::vector<tTimerService::Due> tTimerService::take_due()
{
    const DWORD now = m_clock();
    std::vector<Due> fired;
    std::scoped_lock hold(m_lock);
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (!reached(it->due, now)) {
            ++it;
            continue;
        }
        fired.push_back({it->target, it->id, it->parameter});
        if (it->repeat) {
            it->due = now + it->interval;
            ++it;
        } else {
            it = m_entries.erase(it);
        }
    }
    return fired;
}
