#pragma once
// A thread with a Windows-style id and message queue. The queue exists from
// start(), so messages posted to id() before the body first runs are kept. The
// owner joins it; the destructor joins a thread still running.

#include "platform/base/Types.h"

#include <functional>
#include <thread>

inline constexpr int THREAD_PRIORITY_LOWEST = -2;
inline constexpr int THREAD_PRIORITY_NORMAL = 0;

namespace plat {

class Thread {
public:
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Runs body on a new thread. False when one was already started or the system refused.
    bool start(std::function<DWORD()> body);
    // The id to post to (GetCurrentThreadId inside the thread); 0 before start.
    DWORD id() const { return m_id; }
    bool joinable() const { return m_thread.joinable(); }
    // Waits for the body to return; its result. 0 when not started or already joined.
    DWORD join();

private:
    DWORD m_id = 0;
    DWORD m_exit_code = 0;   // written by the thread, read after join
    std::thread m_thread;    // last: the thread ends before the fields it writes go
};

// Best effort: a Windows thread priority level (-2 = THREAD_PRIORITY_LOWEST to +2) as the
// calling thread's nice value, 5 steps per level from the process's. False when the
// system refuses (raising needs privilege) or the level is outside -2..2.
bool set_current_thread_priority(int priority);

// Runs cleanup when the calling thread ends, whoever made it (a plat::Thread, a
// std::thread, the main thread at exit), once however often the thread asks;
// the last asked runs first. For a library that keeps state per thread and frees
// it only for threads it made itself. cleanup's library must stay loaded until
// the thread ends. Asked once the thread's cleanups ran (by the static objects'
// destructors on the main thread at exit), it does nothing: the thread is ending,
// and the main thread's state stays reachable to the process's end.
void run_at_thread_exit(void (*cleanup)());

}
