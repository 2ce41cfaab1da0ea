#pragma once
// The download manager behind IOstrel: tasks that name a file to fill from an
// address, transfers over libcurl on a few worker threads, a segment map per
// file, a journal that brings the tasks back after a restart, and one thread
// that delivers events.
//
// Several tasks may name one file (the same address and target); the file is
// fetched once and every task hears its events.

#include "outside/ostrel/IOstrel.h"

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ostrel {

class DownloadManager final : public IOstrel, public IOstrelItemStore {
public:
    explicit DownloadManager(const Options& options);
    ~DownloadManager();
    DownloadManager(const DownloadManager&) = delete;
    DownloadManager& operator=(const DownloadManager&) = delete;

    BOOL Init(const char* folder, LONG reserved) noexcept override;
    void SetMultiSource(BOOL on) override;
    void SetOnline(BOOL online) override;
    LONG GetActiveCount() override;
    void AddListener(IBaseEventHandler* listener) override;
    void RemoveListener(IBaseEventHandler* listener) override;
    LONG AddTask(const DownloadTaskInfo* task, LONG kind) noexcept override;
    LONG RemoveTask(const DownloadTaskInfo* task, const char* key) override;
    LONG StopTransfer(const DownloadTaskInfo* task, LONG reserved) override;
    LONG MoveTransfer(const DownloadTaskInfo* task, LONG reserved, LONGLONG position) override;
    IOstrelItemStore* GetItemStore() override { return this; }
    LONG Start(LONG reserved, const char* key, LONG flags) override;
    LONG Pause(const char* key) override;
    LONG Resume(const char* key) override;

    IOstrelItem* Lookup(const DWORD id[4], const char* user) override;

private:
    struct Unit;
    struct Task;
    struct Event;
    class ItemHandle;
    enum class Outcome { Finished, Failed, Interrupted };
    enum class Announce { No, Yes };   // a finished file is reported to the new task

    std::shared_ptr<Unit> unit_for(const DownloadTaskInfo& task);          // m_lock held
    bool add_task(const DownloadTaskInfo& task, LONG kind, bool paused, Announce announce);   // m_lock held
    std::vector<std::shared_ptr<Unit>> units_matching(const DownloadTaskInfo* task, const char* key);  // m_lock held
    void forget_unit(const std::shared_ptr<Unit>& unit);                    // m_lock held
    static bool settle(Unit& unit);                                         // m_lock held
    std::shared_ptr<Unit> pick_unit();                                      // m_lock held
    void persist();                                                         // m_lock held
    void queue_unit_event(const Unit& unit, LONG code, INT_PTR value, INT_PTR extra);   // m_lock held
    void queue_event(const Task& task, LONG code, INT_PTR value, INT_PTR extra);        // m_lock held
    void work();
    Outcome transfer(Unit& unit);
    void report_progress(Unit& unit, LONGLONG run_start, LONGLONG run_bytes);
    void deliver_events();

    const Options m_options;

    std::mutex m_lock;
    std::condition_variable m_work_ready;
    std::filesystem::path m_folder;                          // guarded by m_lock; empty until Init
    std::vector<Task> m_tasks;                               // guarded by m_lock, in order of adding
    std::map<std::string, std::shared_ptr<Unit>> m_units;    // guarded by m_lock, by address and target
    bool m_multi_source = true;                              // guarded by m_lock
    bool m_online = true;                                    // guarded by m_lock
    bool m_shutting_down = false;                            // guarded by m_lock
    int m_running = 0;                                       // guarded by m_lock

    std::mutex m_event_lock;
    std::condition_variable m_event_ready;
    std::condition_variable m_delivered;
    std::deque<Event> m_events;                    // guarded by m_event_lock
    std::vector<IBaseEventHandler*> m_listeners;   // guarded by m_event_lock
    std::uint64_t m_deliveries = 0;                // guarded by m_event_lock: deliveries begun
    bool m_delivering = false;                     // guarded by m_event_lock
    bool m_events_stop = false;                    // guarded by m_event_lock

    // Last members: joined before the rest go.
    std::vector<std::thread> m_workers;
    std::thread m_event_thread;
};

}
