#pragma once
// The controller's logic thread: one thread with a message queue that runs
// logic commands one at a time, each under the recursive dispatch lock, on
// the target it was started with.

#include "platform/base/Types.h"
#include "platform/sync/MessageQueue.h"
#include "platform/sync/Thread.h"

#include <atomic>
#include <mutex>

namespace UI {

// What the logic thread runs its commands on.
class uiLogicTarget {
public:
    // On the logic thread, the dispatch lock held. Owns the command's payload.
    virtual void OnLogicCommand(UINT code, WPARAM wparam, LPARAM lparam) = 0;

protected:
    ~uiLogicTarget() = default;
};

class uiLogicThread {
public:
    uiLogicThread() = default;
    ~uiLogicThread();   // Stop
    uiLogicThread(const uiLogicThread&) = delete;
    uiLogicThread& operator=(const uiLogicThread&) = delete;

    // Once. False when already started or the system refused a thread.
    bool Start(uiLogicTarget* target);
    // Posts WM_USER + code. A post made before Start waits for it (retrying
    // every 50 ms) and is delivered once; after Stop, or when the thread is
    // gone, it fails at once and drop (when given) frees the payload.
    bool Post(UINT code, WPARAM wparam, LPARAM lparam, plat::DropPayload drop = nullptr);
    // One WM_QUIT; waits for the thread. Commands still queued are dropped
    // with their payloads. Later calls do nothing.
    void Stop();
    DWORD ThreadId() const { return m_id.load(); }
    // The dispatch lock, for callers that run a handler outside the thread.
    std::recursive_mutex& DispatchLock() { return m_dispatch; }

private:
    DWORD run() noexcept;

    std::recursive_mutex m_dispatch;            // held around every command
    uiLogicTarget* m_target{nullptr};           // set before the thread starts, read only by it
    std::atomic<bool> m_stopped{false};
    std::atomic<DWORD> m_id{0};                 // the thread's, once started: posters read it while Start runs
    std::mutex m_life;                          // orders Start against Stop
    plat::Thread m_thread;                      // last: joined before the rest go
};

}
