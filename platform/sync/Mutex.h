#pragma once
// An unnamed mutex with the rules of a Windows mutex: the thread that takes it
// owns it, may take it again (each take needs its release), and only the owner
// may release it.

#include "Wait.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace plat {

class Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // WAIT_OBJECT_0 once the calling thread owns it, WAIT_TIMEOUT when
    // timeout_ms (or INFINITE) passed first.
    DWORD wait(DWORD timeout_ms = INFINITE);
    // Undoes one wait. False, changing nothing, when the caller does not own it.
    bool release();

private:
    std::mutex m_lock;
    std::condition_variable m_freed;
    std::thread::id m_owner;    // guarded by m_lock; empty when free
    unsigned m_count = 0;       // guarded by m_lock; takes by m_owner not yet released
};

}
