#pragma once
// One-shot and repeating timers served by one polling thread (about every
// 100 ms). Timers never fire early.

#include "platform/base/Types.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The timer's callback: kind 1, the timer's id, its parameter and two zeros.
class IMsgNotify {
public:
    virtual void OnNotify(int kind, int id, int parameter, int, int) noexcept = 0;

protected:
    ~IMsgNotify() = default;
};

inline constexpr int TIMER_NOTIFY_KIND = 1;

class tTimerService {
public:
    // Milliseconds that wrap like GetTickCount; tests pass their own clock.
    using Clock = std::function<DWORD()>;

    explicit tTimerService(Clock clock = {});
    ~tTimerService();
    tTimerService(const tTimerService&) = delete;
    tTimerService& operator=(const tTimerService&) = delete;

    // Starts the timer thread unless it runs already.
    void Start();
    // The first timer of a service gets the id 20030, each next one the id after.
    int AddTimer(DWORD interval, IMsgNotify* target, bool repeat, int parameter);
    // Joins the thread and forgets every timer. Never call it from a callback.
    void Stop();

private:
    struct Entry {
        int id;
        DWORD due;
        IMsgNotify* target;
        DWORD interval;
        bool repeat;
        int parameter;
    };
    struct Due {
        IMsgNotify* target;
        int id;
        int parameter;
    };

    void run(std::stop_token stop);
    std::vector<Due> take_due();

    Clock m_clock;
    std::mutex m_lock;
    std::condition_variable_any m_wake;   // lets Stop end the 100 ms sleep at once
    int m_next_id{20030};                 // guarded by m_lock
    std::deque<Entry> m_entries;          // guarded by m_lock
    std::jthread m_thread;                // last member: joined before the rest go
};
