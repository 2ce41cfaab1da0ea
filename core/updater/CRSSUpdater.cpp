#include "core/updater/CRSSUpdater.h"
#include "core/updater/MediaFileRemoval.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "feedparser/pellow/PellowLib.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/base/AsciiCase.h"
#include "platform/base/Bstr.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Time.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/fs/Files.h"

#include <algorithm>
#include <exception>

namespace {

constexpr ULONG items_per_fetch = 50;
constexpr std::int64_t filetime_units_per_second = 10'000'000;
constexpr DWORD background_item_pause_ms = 5;
constexpr DWORD user_item_pause_ms = 1;
constexpr DWORD after_background_update_ms = 1000;
constexpr DWORD after_due_channel_ms = 2000;

// Ends a transaction on every way out of its scope, so an interrupted refresh
// keeps what it wrote and never leaves the shared named mutex held.
class Transaction {
public:
    explicit Transaction(CRSSDBMgr& database) : m_database(database) { m_database.BeginTransaction(); }
    ~Transaction() { m_database.CommitTransaction(); }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    CRSSDBMgr& m_database;
};

}

CRSSUpdater::CRSSUpdater(CRSSDBMgr& database, IOstrel* ostrel, std::uint32_t interval_seconds,
                         std::int32_t max_items, std::string cache_folder, std::int64_t cache_limit_kb,
                         std::vector<std::string> media_folders, Clock clock)
    : m_database(database),
      m_ostrel(ostrel),
      m_clock(clock ? std::move(clock) : Clock([] { return static_cast<std::int64_t>(plat::filetime_now()); })),
      m_media_folders(std::move(media_folders)),
      m_interval(interval_seconds),
      m_max_items(max_items),
      m_cache_limit_kb(cache_limit_kb),
      m_cache_folder(std::move(cache_folder))
{
}

CRSSUpdater::~CRSSUpdater()
{
    Stop();
}

void CRSSUpdater::Start()
{
    if (m_thread.joinable())
        return;
    m_stop = false;
    m_stop_event.reset();
    m_thread.start([this] { return run(); });
}

void CRSSUpdater::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        CoCancelCall(m_thread.id(), 0);
    m_stop_event.set();
    m_thread.join();
}

void CRSSUpdater::Request(std::int64_t id)
{
    {
        std::scoped_lock hold(m_queue_lock);
        std::erase(m_queue, id);
        m_queue.push_back(id);
    }
    m_wake.set();
}

void CRSSUpdater::Reconfigure(std::uint32_t interval_seconds, std::int32_t max_items, std::string cache_folder,
                              std::int64_t cache_limit_kb)
{
    m_interval = interval_seconds;
    m_max_items = max_items;
    m_cache_limit_kb = cache_limit_kb;
    {
        std::scoped_lock hold(m_cache_folder_lock);
        m_cache_folder = std::move(cache_folder);
    }
    RequestAll();
}

void CRSSUpdater::AddListener(IRSSUpdateListener* listener)
{
    std::scoped_lock hold(m_listener_lock);
    m_listeners.push_back(listener);
}

void CRSSUpdater::RemoveListener(IRSSUpdateListener* listener)
{
    std::scoped_lock hold(m_listener_lock);
    std::erase(m_listeners, listener);
}

bool CRSSUpdater::begin_update(std::int64_t channel_id)
{
    std::scoped_lock hold(m_listener_lock);
    return std::all_of(m_listeners.begin(), m_listeners.end(),
                       [&](IRSSUpdateListener* listener) { return listener->OnBeginUpdate(channel_id); });
}

void CRSSUpdater::updated(std::int64_t channel_id, bool success)
{
    std::scoped_lock hold(m_listener_lock);
    for (IRSSUpdateListener* listener : m_listeners)
        listener->OnUpdated(channel_id, success);
}

std::int64_t CRSSUpdater::due_time() const
{
    return now() - static_cast<std::int64_t>(m_interval.load()) * filetime_units_per_second;
}

void CRSSUpdater::Wait(DWORD ms)
{
    const DWORD woken = plat::wait_any({&m_stop_event, &m_wake}, ms);
    if (woken == WAIT_OBJECT_0) {
        m_stop_event.reset();
        throw Interruption::Stop;
    }
    if (woken == WAIT_OBJECT_0 + 1) {
        m_wake.reset();
        throw Interruption::Wake;
    }
}

DWORD CRSSUpdater::run() noexcept
{
    const HRESULT com = CoInitialize(nullptr);
    // Stop cancels a feed transfer under way rather than wait for its time-out.
    CoEnableCallCancellation(nullptr);
    plat::set_current_thread_priority(THREAD_PRIORITY_LOWEST);
    m_database.AddListener(this);
    bool maintenance = true;
    while (!m_stop) {
        try {
            if (maintenance) {
                PurgeDeletedChannels();
                TrimCache();
                maintenance = false;
            } else {
                Wait(static_cast<DWORD>(std::min<std::uint64_t>(m_interval.load() * 1000ULL, INFINITE - 1)));
                RequestAll();
                maintenance = true;
            }
        } catch (Interruption interruption) {
            if (interruption == Interruption::Stop || !ProcessQueue())
                break;
        } catch (const std::exception& e) {
            // A database that cannot prepare a statement: try again after the next wait.
            plat::debug_log(std::string("feed updater: ") + e.what());
            maintenance = false;
        }
    }
    m_database.RemoveListener(this);
    CoDisableCallCancellation(nullptr);
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

bool CRSSUpdater::ProcessQueue()
{
    for (;;) {
        std::optional<std::int64_t> id;
        try {
            Wait(1);
            {
                std::scoped_lock hold(m_queue_lock);
                if (m_queue.empty())
                    return true;
                id = m_queue.front();
                m_queue.pop_front();
            }
            process(*id);
        } catch (Interruption interruption) {
            if (interruption == Interruption::Stop)
                return false;
            if (id && *id < 0) {
                std::scoped_lock hold(m_queue_lock);
                m_queue.push_back(*id);
            }
        } catch (const std::exception& e) {
            // A statement the database could not prepare: the request still gets its answer.
            plat::debug_log(std::string("feed updater: ") + e.what());
            if (id && *id != 0)
                updated(*id > 0 ? *id : -*id, false);
        }
    }
}

namespace {

// The temporary channel's address ("TempChannel") names no feed: nothing to fetch.
bool has_feed(const RSSData::tRSSChannel& channel)
{
    return plat::starts_with_nocase(channel.feed_url, "http://") ||
           plat::starts_with_nocase(channel.feed_url, "https://");
}

}

void CRSSUpdater::process(std::int64_t id)
{
    if (id == 0) {
        std::list<RSSData::tRSSChannel> stale;
        m_database.GetStaleChannels(due_time(), &stale);
        std::scoped_lock hold(m_queue_lock);
        for (const auto& channel : stale)
            if (has_feed(channel))
                m_queue.push_back(-channel.id);
        return;
    }
    std::list<RSSData::tRSSChannel> found;
    m_database.GetChannels(id > 0 ? id : -id, &found);
    if (id > 0) {
        // A user's request is always answered, also for a channel that is gone.
        bool success = false;
        try {
            success = !found.empty() && UpdateChannel(found.front(), Notify::Yes, user_item_pause_ms);
        } catch (Interruption) {
            updated(id, false);
            throw;
        }
        updated(id, success);
        return;
    }
    if (!found.empty() && !has_feed(found.front()))
        return;
    if (!found.empty() && found.front().last_update_time < due_time()) {
        const RSSData::tRSSChannel& channel = found.front();
        bool success = false;
        try {
            success = UpdateChannel(channel, Notify::Yes, background_item_pause_ms);
        } catch (Interruption) {
            updated(channel.id, false);
            throw;
        }
        try {
            Wait(after_background_update_ms);
            TrimChannel(channel);
        } catch (Interruption) {
            updated(channel.id, success);
            throw;
        }
        updated(channel.id, success);
    }
    Wait(after_due_channel_ms);
}

bool CRSSUpdater::UpdateChannel(const RSSData::tRSSChannel& channel, Notify notify, DWORD pause_ms)
{
    if (notify == Notify::Yes && !begin_update(channel.id))
        return false;
    plat::ComPtr<IRSSParser> parser;
    if (!has_feed(channel) ||
        FAILED(CoCreateInstance(CLSID_RSSParser, nullptr, CLSCTX_ALL, IRSSParser::iid, parser.put_void())))
        return false;
    plat::ComPtr<IRSSChannel> feed;
    const plat::Bstr url = plat::Bstr::from_utf8(channel.feed_url);
    if (FAILED(parser->ParseRSS(url.get(), items_per_fetch, feed.put())) || !feed)
        return false;
    LONG count = 0;
    if (FAILED(feed->GetRSSItemSize(&count)))
        return false;
    {
        Transaction transaction(m_database);
        // Last item first, so the feed's first item ends with the latest times.
        for (LONG index = count - 1; index >= 0; --index) {
            Wait(pause_ms);
            plat::ComPtr<IRSSItem> parsed;
            RSSData::tRSSItem item;
            auto record = SUCCEEDED(feed->GetRSSItem(index, parsed.put())) ? parsed.as<IRSSItemRecord>()
                                                                            : plat::ComPtr<IRSSItemRecord>();
            if (record && SUCCEEDED(record->GetRecord(&item)))
                write_item(channel, item);
            Wait(pause_ms);
        }
    }
    m_database.SetChannelUpdateTime(channel.id, now());
    return true;
}

void CRSSUpdater::write_item(const RSSData::tRSSChannel& channel, RSSData::tRSSItem& item)
{
    std::list<RSSData::tRSSItem> existing;
    m_database.FindItem(channel.id, item.title, item.link, &existing);
    const std::int64_t time = now();
    if (existing.empty()) {
        item.id = 0;
        item.type = 3;
        item.set_status(0);
        item.folder_id = channel.folder_id();
        item.channel_id = channel.id;
        item.reference_id = 0;
        item.mark_delete = item.mark_read = item.mark_favorite = item.can_prefetch = item.mark_hd = false;
        item.original_media_url = !item.media_content_url.empty() ? item.media_content_url : item.link;
        item.modify_time = item.create_time = time;
        // A row that cannot be written is skipped; the channel's other items still go in.
        m_database.InsertItem(&item);
        return;
    }
    RSSData::tRSSItem& row = existing.front();
    row.modify_time = row.create_time = time;
    if (row.mark_delete)
        m_database.SetItemMarkDelete(row.id, false);
    m_database.SetItemTimes(row.id, row);
}

void CRSSUpdater::TrimChannel(const RSSData::tRSSChannel& channel)
{
    std::list<RSSData::tRSSItem> marked;
    m_database.GetDeletedItems(channel.id, &marked);
    Wait(1);
    DeleteItems(marked, DeleteMode::Remove);
    Wait(1);
    const std::int32_t max_items = m_max_items.load();
    int live = 0;
    m_database.CountChannelItemsFiltered(channel.id, false, false, &live);
    for (bool first_pass = true; live > max_items; first_pass = false) {
        // Rows still marked (a removal that failed) sort among the oldest: ask
        // for enough rows to get past them, and mark only rows not marked yet.
        int all = 0;
        m_database.CountChannelItemsFiltered(channel.id, true, false, &all);
        std::list<RSSData::tRSSItem> candidates;
        m_database.GetTrimCandidates(channel.id, first_pass, live - max_items + (all - live), &candidates);
        std::erase_if(candidates, [](const RSSData::tRSSItem& row) { return row.mark_delete; });
        if (candidates.size() > static_cast<std::size_t>(live - max_items))
            candidates.resize(static_cast<std::size_t>(live - max_items));
        // Nothing left to mark (the rest have downloads or are kept): done.
        if (candidates.empty())
            break;
        DeleteItems(candidates, DeleteMode::MarkOnly);
        m_database.CountChannelItemsFiltered(channel.id, false, false, &live);
    }
}

void CRSSUpdater::DeleteItems(const std::list<RSSData::tRSSItem>& rows, DeleteMode mode)
{
    Transaction transaction(m_database);
    for (const auto& row : rows) {
        if (mode == DeleteMode::MarkOnly) {
            m_database.SetItemMarkDelete(row.id, true);
            continue;
        }
        if (m_database.DeleteItem(row.id) != 0)
            continue;
        remove_download(row);
        if (!row.local_media_file_path.empty())
            remove_local_file(row.local_media_file_path);
    }
}

// The task was added under the address the item was downloaded from.
bool CRSSUpdater::remove_download(const RSSData::tRSSItem& row)
{
    if (!m_ostrel || row.original_media_url.empty())
        return false;
    DownloadTaskInfo task;
    task.key = row.original_media_url;
    task.title = row.title;
    return m_ostrel->RemoveTask(&task, nullptr) != 0;
}

void CRSSUpdater::remove_local_file(const std::string& path) const
{
    std::vector<std::string> folders = m_media_folders;
    folders.push_back(cache_folder());
    if (remove_media_file(path, folders) == MediaFileRemoval::Outside)
        plat::debug_log("feed updater: a media file outside the download and cache folders is left alone: " + path);
}

void CRSSUpdater::PurgeDeletedChannels()
{
    std::list<RSSData::tRSSChannel> channels;
    m_database.GetMarkedDeletedChannels(&channels);
    for (auto& channel : channels) {
        Wait(1);
        std::list<RSSData::tRSSItem> rows;
        m_database.GetChannelItems(channel.id, &rows);
        DeleteItems(rows, DeleteMode::Remove);
        if (channel.is_predefine) {
            channel.disabled = true;
            m_database.UpdateChannel(channel);
        } else {
            m_database.DeleteChannel(channel.id);
        }
    }
}

std::string CRSSUpdater::cache_folder() const
{
    std::scoped_lock hold(m_cache_folder_lock);
    return m_cache_folder;
}

std::uint64_t CRSSUpdater::cache_size() const
{
    std::vector<plat::FolderEntry> entries;
    plat::list_folder(cache_folder(), entries);
    std::uint64_t total = 0;
    for (const auto& entry : entries)
        if (entry.kind == plat::EntryKind::File)
            total += entry.size;
    return total;
}

void CRSSUpdater::TrimCache()
{
    const std::int64_t limit_kb = m_cache_limit_kb.load();
    if (limit_kb < 0)
        return;
    const auto limit = static_cast<std::uint64_t>(limit_kb) * 1024;
    if (cache_size() < limit)
        return;
    std::list<RSSData::tRSSItem> rows;
    m_database.GetItems(0, &rows);
    std::erase_if(rows, [](const RSSData::tRSSItem& row) {
        return row.status() == 0 || row.mark_favorite || row.can_prefetch || row.mark_delete;
    });
    rows.sort([](const RSSData::tRSSItem& a, const RSSData::tRSSItem& b) { return a.modify_time < b.modify_time; });
    Transaction transaction(m_database);
    for (const auto& row : rows) {
        if (!remove_download(row))
            continue;
        m_database.SetItemStatus(row.id, 0);
        if (cache_size() < limit)
            return;
    }
}
