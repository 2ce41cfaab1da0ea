#pragma once
// The prefetch manager: one worker walks the feed database in a fixed order of
// passes, rewrites items' description pictures to local files (the thumbnail
// task) and submits items' videos to the download manager, whose events it
// turns into feed-database writes.
//
// Threads: the worker; the download manager's event thread (OnEvent); the
// caller's thread for the interface. The job list and its counts are guarded
// by m_job_lock; the events carry the rest.

#include "components/common/controlengine/IBaseControl.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "platform/sync/Event.h"
#include "prefetch/IPrefechManager.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct tPrefechJob;
namespace BindID {
class IBindIDManager;
}
namespace RSSData {
struct tRSSItem;
}

namespace lumbrick {

struct Options {
    DWORD idle_wait_ms = 20000;    // the pause between cycles unless woken
    DWORD job_wait_ms = 100000;    // the longest wait for one item's pictures
    BindID::IBindIDManager* bind = nullptr;   // null: the process's manager
};

}

class CPrefechMgr final : public IPrefechManager,
                          public IBaseEventHandler,
                          public IDataActionListener,
                          public ICorvaNotify {
public:
    explicit CPrefechMgr(const lumbrick::Options& options = {});
    ~CPrefechMgr();
    CPrefechMgr(const CPrefechMgr&) = delete;
    CPrefechMgr& operator=(const CPrefechMgr&) = delete;

    bool Init(IOstrel* downloader, CRSSDBMgr* database, const char* image_folder) override;
    bool Uninit() override;
    LONG Resume() override;
    LONG Pause() override;
    LONG Wake(LONG first, LONG second) override;
    LONG Wake() override;
    LONG IsRunning() override;
    void SetFavouritesFlag(bool on) override;
    DWORD WorkerThread() override;

    // Download-state events: a failed video climbs the retry statuses, a
    // picture's end counts toward its job. Always 1.
    LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) noexcept override;
    // Listed with the database only to be on its list: vetoes nothing.
    int OnBeforeDataAction(int, int, std::int64_t, int) override { return 0; }
    void OnDataAction(int, int, std::int64_t, int) override {}
    LONG Notify(void*, LONG, INT_PTR, INT_PTR) override { return 0; }

    // Points the item's description pictures at local files and submits the
    // missing ones. True when the caller must wait for submitted pictures.
    // (ThumbnailTask.cpp)
    bool RunThumbnailTask(tPrefechJob& job, RSSData::tRSSItem& item);
    // Once every submitted picture has ended: pictures that could not be
    // fetched get their web address back, and the description and thumbnail
    // path are written into every item of the job's key.
    void CompleteJob(tPrefechJob& job, const RSSData::tRSSItem& item);

    const std::string& image_folder() const { return m_image_folder; }

private:
    enum PassResult { Done = 1, GaveUp = 2 };

    void run_cycle();
    int pending_downloads_pass();
    int rewritten_items_pass();
    int favourites_pass();
    int channel_pass(int status);
    int thumbnail_job(RSSData::tRSSItem& item);
    int submit_video(const RSSData::tRSSItem& item, LONG kind);
    bool busy() const;
    void on_video_failed(const std::string& media_url);
    void on_picture_ended(const std::string& job_key, const std::string& local_path, bool finished);
    // Submits one missing picture of a listed job.
    void submit_picture(tPrefechJob& job, const std::string& address, const std::string& local_path);
    // Closes the job's submissions; true when it still has pictures under way.
    bool close_submissions(tPrefechJob& job);

    const lumbrick::Options m_options;
    IOstrel* m_downloader = nullptr;          // set by Init, before the worker starts
    CRSSDBMgr* m_database = nullptr;          // likewise
    BindID::IBindIDManager* m_bind = nullptr; // likewise
    std::string m_image_folder;               // likewise; ends in a separator

    std::mutex m_job_lock;
    std::vector<std::shared_ptr<tPrefechJob>> m_jobs;   // guarded by m_job_lock

    plat::Event m_run{plat::EventReset::Manual, plat::EventState::Clear};
    plat::Event m_wake{plat::EventReset::Manual, plat::EventState::Set};
    plat::Event m_done{plat::EventReset::Manual, plat::EventState::Clear};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_favourites{true};
    std::atomic<bool> m_body_running{false};
    std::atomic<LONG> m_wake_values[2]{0, 0};

    std::thread m_worker;   // last: joined by Uninit before the rest goes
};
