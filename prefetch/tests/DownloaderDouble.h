#pragma once
// A download manager for the prefetch tests: records what it is asked, keeps
// an active count the test sets, and delivers the events the test fires from
// a thread of its own, as the real one does.

#include "outside/ostrel/IOstrel.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace prefetch_test {

struct Submission {
    LONG kind;
    std::string key;
    std::string address;
    std::string local_path;   // UTF-8
    LONG mode;
    LONG quality;
};

class DownloaderDouble final : public IOstrel {
public:
    DownloaderDouble();
    ~DownloaderDouble();

    BOOL Init(const char*, LONG) override { return TRUE; }
    void SetMultiSource(BOOL) override {}
    void SetOnline(BOOL) override {}
    LONG GetActiveCount() override;
    void AddListener(IBaseEventHandler* listener) override;
    void RemoveListener(IBaseEventHandler* listener) override;
    LONG AddTask(const DownloadTaskInfo* task, LONG kind) override;
    LONG RemoveTask(const DownloadTaskInfo* task, const char* key) override;
    LONG StopTransfer(const DownloadTaskInfo*, LONG) override { return 0; }
    LONG MoveTransfer(const DownloadTaskInfo*, LONG, LONGLONG) override { return 0; }
    IOstrelItemStore* GetItemStore() override { return nullptr; }
    LONG Start(LONG, const char*, LONG) override { return 0; }
    LONG Pause(const char*) override { return 0; }
    LONG Resume(const char*) override { return 0; }

    // Delivers 36865 with the state, sender a record of the submission, on
    // the event thread; the call returns once it was delivered.
    void fire(const Submission& submission, LONG state);
    // Waits (up to 30 s) until at least n tasks were added; false on time-out.
    bool wait_for_submissions(std::size_t n);
    std::vector<Submission> submissions() const;
    std::vector<std::string> removed_keys() const;

    // The active count: base, plus one for each submission of a video once
    // `busy_after` of them were made (0: never).
    int active_base = 0;
    std::size_t busy_after = 0;
    // Runs inside AddTask before it returns (for events that race the caller).
    std::function<void(const Submission&)> on_add;
    // Runs inside RemoveTask, once the key is recorded, before it returns.
    std::function<void(const std::string& key)> on_remove;
    // Waits (up to 30 s) until RemoveListener was called; false on time-out.
    bool wait_for_unlisten();

private:
    void deliver_loop();

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Submission> m_submissions;         // guarded by m_lock
    std::vector<std::string> m_removed;            // guarded by m_lock
    std::vector<IBaseEventHandler*> m_listeners;   // guarded by m_lock
    std::deque<std::function<void()>> m_events;    // guarded by m_lock
    std::size_t m_fired = 0, m_delivered = 0;      // guarded by m_lock
    bool m_unlistened = false;                     // guarded by m_lock
    bool m_delivering = false;                     // guarded by m_lock
    bool m_stop = false;                           // guarded by m_lock
    std::thread m_thread;                          // last
};

}
