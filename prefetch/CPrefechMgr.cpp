#include "prefetch/CPrefechMgr.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/CppSQLite3Exception.h"
#include "components/common/regutil/CUTILregEx.h"
#include "outside/bind/BindID.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/fs/Folders.h"
#include "prefetch/PrefechJob.h"

#include <exception>

namespace {

constexpr int busy_downloads = 5;
constexpr int status_high_definition = 1280;
constexpr int status_retry_first = 80;
constexpr int status_retry_last = 89;
constexpr int status_retry_given_up = 90;
constexpr int status_retry_third = 83;

bool prefetch_disabled()
{
    DWORD disabled = 0;
    CUTILregEx(HKEY_CURRENT_USER, u"Software\\Corvalen\\Strimo", KEY_READ).GetDWORD(u"DisablePrefech", disabled);
    return disabled != 0;
}

std::string with_separator(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

}

CPrefechMgr::CPrefechMgr(const lumbrick::Options& options) : m_options(options) {}

CPrefechMgr::~CPrefechMgr() { Uninit(); }

bool CPrefechMgr::Init(IOstrel* downloader, CRSSDBMgr* database, const char* image_folder)
{
    if (!downloader || !database)
        return false;
    if (m_worker.joinable())
        return true;
    m_downloader = downloader;
    m_database = database;
    m_downloader->AddListener(this);
    m_database->AddListener(this);
    m_bind = m_options.bind ? m_options.bind : BindID::IBindIDManager::GetBindIDManager();
    m_bind->Register("Corvalen", "Strimo");
    if (image_folder && *image_folder)
        m_image_folder = with_separator(image_folder);
    else
        m_image_folder = with_separator(plat::join_path(plat::strimo_data_folder().value_or(plat::temp_folder()), "Image"));
    if (!plat::create_folder_tree(m_image_folder))
        plat::debug_log("prefetch: cannot create the image folder " + m_image_folder);
    m_stop = false;
    m_worker = std::thread([this] { WorkerThread(); });
    return true;
}

bool CPrefechMgr::Uninit()
{
    if (!m_worker.joinable())
        return true;
    // Every wait is ended first: the worker checks the flag after each wait,
    // between items and between passes.
    m_stop = true;
    m_wake.set();
    m_run.set();
    m_done.set();
    m_downloader->RemoveListener(this);
    m_database->RemoveListener(this);
    m_worker.join();
    return true;
}

LONG CPrefechMgr::Resume()
{
    m_run.set();
    m_running = true;
    return 0;
}

LONG CPrefechMgr::Pause()
{
    m_run.reset();
    m_running = false;
    return 0;
}

LONG CPrefechMgr::Wake(LONG first, LONG second)
{
    m_wake_values[0] = first;
    m_wake_values[1] = second;
    return Wake();
}

LONG CPrefechMgr::Wake()
{
    m_wake.set();
    return 1;
}

LONG CPrefechMgr::IsRunning() { return m_running ? 1 : 0; }

void CPrefechMgr::SetFavouritesFlag(bool on) { m_favourites = on; }

DWORD CPrefechMgr::WorkerThread()
{
    if (m_body_running.exchange(true))
        return 0;
    if (prefetch_disabled()) {
        m_body_running = false;
        return 0;
    }
    CoInitialize(nullptr);
    for (;;) {
        m_run.wait(INFINITE);
        m_wake.wait(m_options.idle_wait_ms);
        m_wake.reset();
        if (m_stop)
            break;
        run_cycle();
    }
    CoUninitialize();
    m_body_running = false;
    return 0;
}

// The passes in order; the cycle ends at the first that gives up, or at a
// stop. A pass that fails on the database ends the cycle; the next one tries
// again.
void CPrefechMgr::run_cycle()
{
    try {
        if (pending_downloads_pass() == GaveUp || m_stop || rewritten_items_pass() == GaveUp || m_stop)
            return;
        if (m_favourites && favourites_pass() == GaveUp)
            return;
        for (int status = 0; status <= status_retry_last; status = status == 0 ? status_retry_first : status + 1)
            if (m_stop || channel_pass(status) == GaveUp)
                return;
    } catch (const CppSQLite3Exception& e) {
        plat::debug_log(std::string("prefetch: cycle ended by the database: ") + e.errorMessage());
    } catch (const std::exception& e) {
        plat::debug_log(std::string("prefetch: cycle ended: ") + e.what());
    }
}

int CPrefechMgr::pending_downloads_pass()
{
    std::list<ItemDownloadRecord> rows;
    m_database->GetItemDownloadInfos(&rows);
    int result = Done;
    for (const ItemDownloadRecord& row : rows) {
        if (row.percent == 100)
            continue;
        std::list<RSSData::tRSSItem> items;
        m_database->GetItems(row.id, &items);
        for (RSSData::tRSSItem& item : items) {
            if (m_stop || (!item.mark_hd && (result = thumbnail_job(item)) == GaveUp))
                return GaveUp;
            const int status = item.status();
            if (status != status_high_definition && status != status_retry_third && status != status_retry_given_up)
                result = submit_video(item, 2);
        }
    }
    return result;
}

int CPrefechMgr::rewritten_items_pass()
{
    std::list<RSSData::tRSSItem> items;
    m_database->GetItemsByStatusNotHd(status_high_definition, &items);
    for (RSSData::tRSSItem& item : items)
        if (m_stop || thumbnail_job(item) == GaveUp)
            return GaveUp;
    return Done;
}

int CPrefechMgr::favourites_pass()
{
    if (busy())
        return GaveUp;
    std::list<RSSData::tRSSItem> items;
    m_database->GetFavouriteItems(status_high_definition, &items);
    int result = Done;
    for (RSSData::tRSSItem& item : items) {
        if (m_stop || (item.local_thumb_file_path.empty() && (result = thumbnail_job(item)) == GaveUp))
            return GaveUp;
        result = submit_video(item, 1);
    }
    return result;
}

// New items (status 0) or one retry status of every enabled channel that
// prefetches, in pages of ten at offsets five apart.
int CPrefechMgr::channel_pass(int status)
{
    if (busy())
        return GaveUp;
    std::list<RSSData::tRSSChannel> channels;
    m_database->GetChannels(0, &channels);
    for (const RSSData::tRSSChannel& channel : channels) {
        if (!channel.can_prefetch)
            continue;
        int count = 0;
        m_database->CountChannelItemsByStatus(channel.id, status, &count);
        for (int offset = 0; offset < count; offset += 5) {
            std::list<RSSData::tRSSItem> page;
            m_database->GetChannelItemsPageByStatus(channel.id, status, offset, &page);
            for (RSSData::tRSSItem& item : page) {
                if (m_stop || (!item.mark_hd && thumbnail_job(item) == GaveUp))
                    return GaveUp;
                submit_video(item, 0);
                if (busy())
                    return GaveUp;
            }
        }
    }
    return Done;
}

bool CPrefechMgr::busy() const { return m_downloader->GetActiveCount() >= busy_downloads; }

int CPrefechMgr::submit_video(const RSSData::tRSSItem& item, LONG kind)
{
    DownloadTaskInfo task;
    task.key = item.original_media_url;
    task.address = item.convert_media_url;
    task.title = item.title;
    task.mode = 1;
    task.quality = 2;
    m_downloader->AddTask(&task, kind);
    return Done;
}

// One item's pictures: the job is listed before its first picture goes out,
// so no download event can miss it, and the worker waits until every
// accepted picture has ended, Uninit, or the job's time runs out. Only a job
// whose pictures all ended is written back; the next cycle tries the others
// again, and finds the pictures stored so far in place.
int CPrefechMgr::thumbnail_job(RSSData::tRSSItem& item)
{
    auto job = std::make_shared<tPrefechJob>();
    job->owner = this;
    m_done.reset();
    // An Uninit that came before the reset set the done event for nothing:
    // without this the job would wait out its whole time.
    if (m_stop)
        return GaveUp;
    {
        std::scoped_lock hold(m_job_lock);
        m_jobs.push_back(job);
    }
    int result = Done;
    const bool waited = RunThumbnailTask(*job, item);
    if (waited) {
        m_done.wait(m_options.job_wait_ms);
        if (m_stop)
            result = GaveUp;
    }
    bool ended = false, submitted = false;
    {
        std::scoped_lock hold(m_job_lock);
        ended = job->all_ended();
        submitted = !job->downloads.empty();
    }
    if (job->document && ended)
        CompleteJob(*job, item);
    // The job's picture tasks go, ended or not: the download manager would
    // otherwise keep them in its journal for ever.
    if (submitted)
        m_downloader->RemoveTask(nullptr, job->task.key.c_str());
    std::scoped_lock hold(m_job_lock);
    m_jobs.clear();
    return result;
}

void CPrefechMgr::submit_picture(tPrefechJob& job, const std::string& address, const std::string& local_path)
{
    {
        std::scoped_lock hold(m_job_lock);
        if (!job.downloads.emplace(local_path, tPrefechJob::Picture::Pending).second)
            return;   // one download per file, however often a picture recurs
    }
    job.task.address = address;
    job.task.mode = 0;
    job.task.local_path = plat::utf8_to_utf16(local_path);
    if (!m_downloader->AddTask(&job.task, OSTREL_KIND_PICTURE)) {
        std::scoped_lock hold(m_job_lock);
        job.downloads[local_path] = tPrefechJob::Picture::Failed;
    }
}

bool CPrefechMgr::close_submissions(tPrefechJob& job)
{
    std::scoped_lock hold(m_job_lock);
    job.submitting = false;
    return !job.all_ended();
}

LONG CPrefechMgr::OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR) noexcept
{
    if (code != EVT_DOWNLOAD_STATE || !sender || (value != DOWNLOAD_FINISHED && value != DOWNLOAD_FAILED))
        return 1;
    m_wake.set();
    try {
        const auto& task = *static_cast<const DownloadTaskInfo*>(sender);
        if (task.mode == 1) {
            if (value == DOWNLOAD_FAILED)
                on_video_failed(task.key);
        } else {
            on_picture_ended(task.key, plat::utf16_to_utf8(task.local_path), value == DOWNLOAD_FINISHED);
        }
    } catch (const CppSQLite3Exception& e) {
        plat::debug_log(std::string("prefetch: event not written: ") + e.errorMessage());
    } catch (const std::exception& e) {
        plat::debug_log(std::string("prefetch: event not written: ") + e.what());
    }
    return 1;
}

// A failed video climbs 80, 81, ... 90; only the status changes, never the
// user's marks on the item.
void CPrefechMgr::on_video_failed(const std::string& media_url)
{
    std::list<RSSData::tRSSItem> items;
    m_database->GetItemByMediaUrl(media_url, &items);
    for (const RSSData::tRSSItem& item : items) {
        const int status = item.status();
        const int next = status >= status_retry_first && status <= status_retry_last ? status + 1 : status_retry_first;
        m_database->SetItemStatus(item.id, next);
    }
}

void CPrefechMgr::on_picture_ended(const std::string& job_key, const std::string& local_path, bool finished)
{
    bool ended = false;
    {
        std::scoped_lock hold(m_job_lock);
        for (const auto& job : m_jobs) {
            if (job->task.key != job_key)
                continue;
            auto picture = job->downloads.find(local_path);
            if (picture != job->downloads.end() && picture->second == tPrefechJob::Picture::Pending)
                picture->second = finished ? tPrefechJob::Picture::Finished : tPrefechJob::Picture::Failed;
            ended = ended || job->all_ended();
        }
    }
    if (ended)
        m_done.set();
}
