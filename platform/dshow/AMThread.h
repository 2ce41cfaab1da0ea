#pragma once
// CAMThread: a worker thread that takes requests one at a time from its
// owner and replies to each, as DirectShow's worker threads do.
//
// The owner sends the exit request with CallWorker and then Close()s, which
// joins; the destructor joins as a last resort, so a derived class must stop
// its worker in its own destructor before its members go.

#include "platform/base/Types.h"

#include <condition_variable>
#include <mutex>
#include <thread>

enum class ThreadPriority { BelowNormal = -1, Normal = 0 };

class CAMThread {
public:
    CAMThread() = default;
    virtual ~CAMThread();
    CAMThread(const CAMThread&) = delete;
    CAMThread& operator=(const CAMThread&) = delete;

    // False when a worker is already running.
    bool Create();
    // Hands a request to the worker and waits for its reply; E_FAIL when no worker runs.
    DWORD CallWorker(DWORD request);
    // Joins a worker that was told to exit.
    void Close();
    bool ThreadExists() const;

    // Worker side.
    DWORD GetRequest();
    bool CheckRequest(DWORD* request) const;
    void Reply(DWORD result);

    // Linux lets an unprivileged process lower a thread's priority but not
    // raise it again, so the priority is only recorded for the scheduler of
    // our own queues to read.
    void SetPriority(ThreadPriority priority);
    ThreadPriority GetPriority() const;

protected:
    virtual DWORD ThreadProc() = 0;

private:
    std::mutex m_call;                     // one caller at a time
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_running{false};                 // guarded by m_lock
    bool m_request_pending{false};         // guarded by m_lock
    DWORD m_request{0};                    // guarded by m_lock
    bool m_reply_ready{false};             // guarded by m_lock
    DWORD m_reply{0};                      // guarded by m_lock
    ThreadPriority m_priority{ThreadPriority::Normal};   // guarded by m_lock
    std::thread m_thread;                  // started by Create, joined by Close
};
