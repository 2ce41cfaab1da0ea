#pragma once
// Keeps the feed database's channels fresh. One worker thread at the lowest
// priority takes channel ids from a request queue (0: every stale channel,
// positive: this channel now, negative: this channel if stale), fetches each
// channel through the feed parser and writes its items in one transaction.
// Between requests it refreshes stale channels on a timer, purges channels
// marked for deletion, keeps each channel within its item limit and the
// thumbnail cache within its size.

#include "components/common/feeddb/IDataActionListener.h"
#include "components/common/feeddb/RSSData.h"
#include "core/updater/IRSSUpdateListener.h"
#include "platform/sync/Event.h"
#include "platform/sync/Thread.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <vector>

class CRSSDBMgr;
class IOstrel;

class CRSSUpdater final : public IDataActionListener {
public:
    // FILETIME now, as a 64-bit integer.
    using Clock = std::function<std::int64_t()>;

    // ostrel may be null (no download tasks to remove). media_folders are the
    // folders whose files a deleted item may take with it (the download and
    // content cache folders; the cache folder counts too): a row's local file
    // anywhere else is left alone. The thread is not started.
    CRSSUpdater(CRSSDBMgr& database, IOstrel* ostrel, std::uint32_t interval_seconds, std::int32_t max_items,
                std::string cache_folder, std::int64_t cache_limit_kb, std::vector<std::string> media_folders,
                Clock clock = {});
    ~CRSSUpdater();   // Stop
    CRSSUpdater(const CRSSUpdater&) = delete;
    CRSSUpdater& operator=(const CRSSUpdater&) = delete;

    void Start();
    // Sets the stop flag and the stop event, cancels a feed transfer under way
    // (it ends within about a second, not at its time-out) and waits for the thread.
    void Stop();
    // Moves the id to the end of the queue (once) and wakes the worker, which
    // breaks off a refresh of another channel at its next pause.
    void Request(std::int64_t id);
    void RequestAll() { Request(0); }
    void Reconfigure(std::uint32_t interval_seconds, std::int32_t max_items, std::string cache_folder,
                     std::int64_t cache_limit_kb);
    // The period in seconds and the item limit in force.
    std::uint32_t Interval() const { return m_interval; }
    std::int32_t MaxItems() const { return m_max_items; }

    // Listeners are called on the worker thread with the listener lock held:
    // they must not add or remove listeners from inside a call.
    void AddListener(IRSSUpdateListener* listener);
    void RemoveListener(IRSSUpdateListener* listener);

    int OnBeforeDataAction(int, int, std::int64_t, int) override { return 0; }
    void OnDataAction(int, int, std::int64_t, int) override {}

private:
    enum class Interruption { Wake, Stop };
    enum class Notify { No, Yes };
    enum class DeleteMode { MarkOnly, Remove };

    DWORD run() noexcept;
    // Waits up to ms for a request or a stop; throws the Interruption.
    void Wait(DWORD ms);
    // False when a stop ended it.
    bool ProcessQueue();
    void process(std::int64_t id);
    bool UpdateChannel(const RSSData::tRSSChannel& channel, Notify notify, DWORD pause_ms);
    void write_item(const RSSData::tRSSChannel& channel, RSSData::tRSSItem& item);
    void TrimChannel(const RSSData::tRSSChannel& channel);
    void DeleteItems(const std::list<RSSData::tRSSItem>& rows, DeleteMode mode);
    bool remove_download(const RSSData::tRSSItem& row);
    void remove_local_file(const std::string& path) const;
    std::string cache_folder() const;
    void PurgeDeletedChannels();
    void TrimCache();
    std::uint64_t cache_size() const;

    bool begin_update(std::int64_t channel_id);
    void updated(std::int64_t channel_id, bool success);
    std::int64_t now() const { return m_clock(); }
    std::int64_t due_time() const;

    CRSSDBMgr& m_database;
    IOstrel* const m_ostrel;   // not owned; may be null
    const Clock m_clock;
    const std::vector<std::string> m_media_folders;

    // Written by Reconfigure, read by the worker.
    std::atomic<std::uint32_t> m_interval;
    std::atomic<std::int32_t> m_max_items;
    std::atomic<std::int64_t> m_cache_limit_kb;
    mutable std::mutex m_cache_folder_lock;
    std::string m_cache_folder;   // guarded by m_cache_folder_lock

    plat::Event m_wake{plat::EventReset::Manual, plat::EventState::Clear};
    plat::Event m_stop_event{plat::EventReset::Manual, plat::EventState::Clear};
    std::atomic<bool> m_stop{false};

    std::mutex m_queue_lock;
    std::deque<std::int64_t> m_queue;   // guarded by m_queue_lock

    std::mutex m_listener_lock;
    std::vector<IRSSUpdateListener*> m_listeners;   // guarded by m_listener_lock

    plat::Thread m_thread;   // last: joined before the rest go
};
