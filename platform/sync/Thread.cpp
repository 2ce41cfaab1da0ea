#include "Thread.h"

#include "ThreadRegistry.h"

#include "platform/base/DebugLog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <system_error>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace plat {

namespace {

// A thread_local's destructor runs as its thread ends, for every thread the C++
// runtime or pthreads made; on the main thread, at exit before the static objects
// go, whose destructors may still ask.
thread_local bool t_cleanups_ran = false;   // trivially destroyed: readable to the thread's very end

class ThreadExitCleanups {
public:
    ThreadExitCleanups() = default;
    ThreadExitCleanups(const ThreadExitCleanups&) = delete;
    ThreadExitCleanups& operator=(const ThreadExitCleanups&) = delete;
    ~ThreadExitCleanups()
    {
        t_cleanups_ran = true;   // first: a cleanup that asks again must not touch the list it is in
        for (auto cleanup = m_cleanups.rbegin(); cleanup != m_cleanups.rend(); ++cleanup)
            (*cleanup)();
    }

    void add(void (*cleanup)())
    {
        if (std::find(m_cleanups.begin(), m_cleanups.end(), cleanup) == m_cleanups.end())
            m_cleanups.push_back(cleanup);
    }

private:
    std::vector<void (*)()> m_cleanups;   // touched only by the thread that owns this object
};

}

Thread::~Thread()
{
    if (!m_thread.joinable()) return;
    debug_log("thread " + std::to_string(m_id) + " still running at its owner's end; joining");
    m_thread.join();
}

bool Thread::start(std::function<DWORD()> body)
{
    if (m_thread.joinable() || !body) return false;
    const DWORD id = allocate_thread_id();
    auto queue = register_thread_queue(id);
    auto run = [this, id, queue, body = std::move(body)]() mutable noexcept {
        adopt_thread_identity(id, std::move(queue));
        try {
            m_exit_code = body();
        } catch (const std::exception& e) {
            debug_log("thread " + std::to_string(id) + " ended by an exception: " + e.what());
            m_exit_code = static_cast<DWORD>(-1);
        } catch (...) {
            debug_log("thread " + std::to_string(id) + " ended by an exception");
            m_exit_code = static_cast<DWORD>(-1);
        }
    };
    try {
        m_thread = std::thread(std::move(run));
    } catch (const std::system_error& e) {
        debug_log(std::string("thread: cannot start: ") + e.what());
        forget_thread_queue(id);
        return false;
    }
    m_id = id;
    return true;
}

DWORD Thread::join()
{
    if (!m_thread.joinable()) return 0;
    m_thread.join();
    return m_exit_code;
}

bool set_current_thread_priority(int priority)
{
    if (priority < -2 || priority > 2) return false;
    // Relative to the process, as Windows levels are to the priority class: the main
    // thread's nice value stands for the process's.
    const int base = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    const int nice = std::clamp(base - 5 * priority, -20, 19);
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice) == 0) return true;
    debug_log(std::string("thread: priority ") + std::to_string(priority) + " refused: " + std::strerror(errno));
    return false;
}

void run_at_thread_exit(void (*cleanup)())
{
    if (t_cleanups_ran) return;
    thread_local ThreadExitCleanups cleanups;
    cleanups.add(cleanup);
}

}
