#include "outside/ostrel/DownloadManager.h"

#include "outside/ostrel/RangeFetch.h"
#include "outside/ostrel/SegmentFile.h"
#include "outside/ostrel/TaskJournal.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"

#include <openssl/evp.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace ostrel {
namespace {

constexpr int worker_count = 3;
constexpr LONGLONG progress_step = 4 * OSTREL_SEGMENT_SIZE;   // bytes between progress events
constexpr const char* journal_name = "tasks.journal";

std::string md5_hex(std::string_view text)
{
    unsigned char digest[16];
    unsigned int size = 0;
    EVP_Digest(text.data(), text.size(), digest, &size, EVP_md5(), nullptr);
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < size; ++i)
        out += {hex[digest[i] >> 4], hex[digest[i] & 15]};
    return out;
}

std::filesystem::path partial_path(const std::filesystem::path& target)
{
    return target.string() + ".part";
}

bool same_id(const DWORD a[4], const DWORD b[4])
{
    return std::equal(a, a + 4, b);
}

}

struct DownloadManager::Unit {
    enum class Phase { Waiting, Running, Finished, Failed };

    std::string address;
    std::filesystem::path target;
    // Where the bytes go until the file is whole: the target itself in the
    // cache, else a temporary name beside the caller's path, so that nothing
    // at that path is ever a part of a file.
    std::filesystem::path data;
    std::filesystem::path map;
    bool in_cache = false;                 // the manager owns the file
    std::unique_ptr<SegmentFile> file;
    Phase phase = Phase::Waiting;          // guarded by m_lock
    std::atomic<bool> interrupt{false};    // stops the transfer under way
    std::atomic<bool> restart{false};      // with interrupt: continue from the cursor
    std::atomic<bool> cancelled{false};    // the last task went
    std::atomic<bool> failed{false};
    std::atomic<LONGLONG> cursor{0};       // segment to continue from
    LONGLONG reported_bytes = -1;          // worker only
    LONGLONG reported_percent = -1;        // worker only
};

struct DownloadManager::Task {
    std::shared_ptr<const DownloadTaskInfo> record;
    LONG kind;
    bool paused;
    std::shared_ptr<Unit> unit;
};

struct DownloadManager::Event {
    std::shared_ptr<DownloadTaskInfo> record;
    LONG code;
    INT_PTR value;
    INT_PTR extra;
};

class DownloadManager::ItemHandle final : public IOstrelItem {
public:
    explicit ItemHandle(std::shared_ptr<Unit> unit) : m_unit(std::move(unit)) {}
    void Release(const char*) override { delete this; }
    LONG SegmentState(LONGLONG index) override
    {
        return m_unit->file->present(index) ? OSTREL_OK : OSTREL_NOT_ARRIVED;
    }
    LONGLONG TotalSize() override { return std::max<LONGLONG>(m_unit->file->total(), 0); }
    LONGLONG Downloaded() override { return m_unit->file->downloaded(); }
    LONG Read(LONGLONG offset, void* buffer, LONG size, LONG* read) override
    {
        if (m_unit->cancelled || m_unit->failed)
            return OSTREL_CANCELLED;
        return m_unit->file->read(offset, buffer, size, read);
    }

private:
    std::shared_ptr<Unit> m_unit;
};

DownloadManager::DownloadManager(const Options& options) : m_options(options)
{
    for (int i = 0; i < worker_count; ++i)
        m_workers.emplace_back([this] { work(); });
    m_event_thread = std::thread([this] { deliver_events(); });
}

DownloadManager::~DownloadManager()
{
    {
        std::scoped_lock hold(m_lock);
        m_shutting_down = true;
        for (auto& [name, unit] : m_units)
            unit->interrupt = true;
    }
    m_work_ready.notify_all();
    for (auto& worker : m_workers)
        worker.join();
    {
        std::scoped_lock hold(m_event_lock);
        m_events_stop = true;
    }
    m_event_ready.notify_all();
    m_event_thread.join();
}

BOOL DownloadManager::Init(const char* folder, LONG) noexcept
try {
    if (!folder || !*folder)
        return FALSE;
    std::scoped_lock hold(m_lock);
    if (!m_folder.empty())
        return FALSE;
    std::filesystem::path root(folder);
    std::filesystem::create_directories(root);
    m_folder = root;
    for (const auto& entry : read_journal(root / journal_name))
        add_task(entry.task, entry.kind, entry.paused, Announce::No);
    persist();
    m_work_ready.notify_all();
    return TRUE;
} catch (const std::exception& e) {
    plat::debug_log(std::string("ostrel: cannot use the folder: ") + e.what());
    return FALSE;
}

void DownloadManager::SetMultiSource(BOOL on)
{
    {
        std::scoped_lock hold(m_lock);
        m_multi_source = on != 0;
    }
    m_work_ready.notify_all();
}

void DownloadManager::SetOnline(BOOL online)
{
    {
        std::scoped_lock hold(m_lock);
        if (m_online == (online != 0))
            return;
        m_online = online != 0;
        if (!m_online)
            for (auto& [name, unit] : m_units)
                if (unit->phase == Unit::Phase::Running)
                    unit->interrupt = true;
    }
    m_work_ready.notify_all();
}

LONG DownloadManager::GetActiveCount()
{
    std::scoped_lock hold(m_lock);
    return static_cast<LONG>(std::count_if(m_tasks.begin(), m_tasks.end(), [](const Task& t) {
        return !t.paused && (t.unit->phase == Unit::Phase::Waiting || t.unit->phase == Unit::Phase::Running);
    }));
}

void DownloadManager::AddListener(IBaseEventHandler* listener)
{
    if (!listener)
        return;
    std::scoped_lock hold(m_event_lock);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void DownloadManager::RemoveListener(IBaseEventHandler* listener)
{
    std::unique_lock hold(m_event_lock);
    std::erase(m_listeners, listener);
    if (std::this_thread::get_id() == m_event_thread.get_id() || !m_delivering)
        return;
    // Wait for the delivery under way: it may still hold the listener.
    const auto current = m_deliveries;
    m_delivered.wait(hold, [&] { return !m_delivering || m_deliveries != current; });
}

LONG DownloadManager::AddTask(const DownloadTaskInfo* task, LONG kind) noexcept
try {
    if (!task)
        return 0;
    bool added = false;
    {
        std::scoped_lock hold(m_lock);
        if (m_folder.empty())
            return 0;
        added = add_task(*task, kind, false, Announce::Yes);
        if (added)
            persist();
    }
    m_work_ready.notify_all();
    return added ? 1 : 0;
} catch (const std::exception& e) {
    plat::debug_log(std::string("ostrel: task refused: ") + e.what());
    return 0;
}

bool DownloadManager::add_task(const DownloadTaskInfo& task, LONG kind, bool paused, Announce announce)
{
    auto unit = unit_for(task);
    if (!unit)
        return false;
    if (unit->phase == Unit::Phase::Failed) {
        unit->phase = Unit::Phase::Waiting;
        unit->failed = false;
    }
    auto same = std::find_if(m_tasks.begin(), m_tasks.end(), [&](const Task& t) {
        return t.unit == unit && t.kind == kind && t.record->key == task.key && same_id(t.record->id, task.id);
    });
    if (same == m_tasks.end()) {
        auto record = std::make_shared<DownloadTaskInfo>(task);
        record->local_path = plat::utf8_to_utf16(unit->target.string());
        m_tasks.push_back({std::move(record), kind, paused, unit});
        same = std::prev(m_tasks.end());
    }
    if (unit->phase == Unit::Phase::Finished && announce == Announce::Yes)
        queue_event(*same, EVT_DOWNLOAD_STATE, DOWNLOAD_FINISHED, 0);
    return true;
}

std::shared_ptr<DownloadManager::Unit> DownloadManager::unit_for(const DownloadTaskInfo& task)
{
    std::string address = task.address.empty() ? task.key : task.address;
    if (address.empty())
        return nullptr;
    bool in_cache = task.local_path.empty();
    std::filesystem::path target =
        in_cache ? m_folder / "cache" / md5_hex(address) : std::filesystem::path(plat::utf16_to_utf8(task.local_path));
    std::string identity = address + '\n' + target.string();
    if (auto found = m_units.find(identity); found != m_units.end())
        return found->second;
    auto unit = std::make_shared<Unit>();
    unit->address = address;
    unit->target = target;
    unit->map = m_folder / "maps" / (md5_hex(identity) + ".map");
    unit->in_cache = in_cache;
    unit->data = target;
    std::error_code ec;
    if (!in_cache && !(std::filesystem::exists(target, ec) && !std::filesystem::exists(partial_path(target), ec)))
        unit->data = partial_path(target);
    unit->file = SegmentFile::open(unit->data, unit->map);
    if (!unit->file)
        return nullptr;
    if (unit->file->complete() && settle(*unit))
        unit->phase = Unit::Phase::Finished;
    m_units.emplace(identity, unit);
    return unit;
}

std::vector<std::shared_ptr<DownloadManager::Unit>> DownloadManager::units_matching(const DownloadTaskInfo* task,
                                                                                   const char* key)
{
    std::vector<std::shared_ptr<Unit>> units;
    for (const auto& t : m_tasks) {
        bool match = task && task->has_id() ? same_id(t.record->id, task->id)
                     : task                 ? t.record->key == task->key
                                            : key && t.record->key == key;
        if (match && std::find(units.begin(), units.end(), t.unit) == units.end())
            units.push_back(t.unit);
    }
    return units;
}

LONG DownloadManager::RemoveTask(const DownloadTaskInfo* task, const char* key)
{
    std::scoped_lock hold(m_lock);
    auto matches = [&](const Task& t) {
        if (task && task->has_id())
            return same_id(t.record->id, task->id);
        if (task)
            return t.record->key == task->key;
        return key && t.record->key == key;
    };
    std::vector<std::shared_ptr<Unit>> touched;
    for (const auto& t : m_tasks)
        if (matches(t))
            touched.push_back(t.unit);
    if (touched.empty())
        return 0;
    std::erase_if(m_tasks, matches);
    for (const auto& unit : touched)
        if (std::none_of(m_tasks.begin(), m_tasks.end(), [&](const Task& t) { return t.unit == unit; }))
            forget_unit(unit);
    persist();
    return 1;
}

void DownloadManager::forget_unit(const std::shared_ptr<Unit>& unit)
{
    unit->cancelled = true;
    unit->interrupt = true;
    std::erase_if(m_units, [&](const auto& entry) { return entry.second == unit; });
    std::error_code ec;
    std::filesystem::remove(unit->map, ec);
    if (unit->in_cache || unit->data != unit->target)
        std::filesystem::remove(unit->data, ec);
}

// Moves a whole file from its temporary name to the caller's path; open
// readers keep reading it. False when it cannot be moved.
bool DownloadManager::settle(Unit& unit)
{
    if (unit.data == unit.target)
        return true;
    std::error_code ec;
    std::filesystem::rename(unit.data, unit.target, ec);
    if (ec) {
        plat::debug_log("ostrel: cannot move the finished file to " + unit.target.string() + ": " + ec.message());
        return false;
    }
    unit.data = unit.target;
    return true;
}

LONG DownloadManager::StopTransfer(const DownloadTaskInfo* task, LONG)
{
    return MoveTransfer(task, 0, -1);
}

LONG DownloadManager::MoveTransfer(const DownloadTaskInfo* task, LONG, LONGLONG position)
{
    if (!task)
        return 0;
    std::scoped_lock hold(m_lock);
    auto units = units_matching(task, nullptr);
    for (const auto& unit : units) {
        if (position >= 0)
            unit->cursor = position / OSTREL_SEGMENT_SIZE;
        if (unit->phase == Unit::Phase::Running) {
            unit->restart = true;
            unit->interrupt = true;
        }
    }
    return units.empty() ? 0 : 1;
}

LONG DownloadManager::Start(LONG, const char* key, LONG)
{
    return Resume(key);
}

LONG DownloadManager::Pause(const char* key)
{
    if (!key)
        return 0;
    std::scoped_lock hold(m_lock);
    bool any = false;
    for (auto& t : m_tasks)
        if (t.record->key == key)
            t.paused = any = true;
    for (auto& [name, unit] : m_units) {
        bool wanted = std::any_of(m_tasks.begin(), m_tasks.end(),
                                  [&](const Task& t) { return t.unit == unit && !t.paused; });
        if (!wanted && unit->phase == Unit::Phase::Running)
            unit->interrupt = true;
    }
    if (any)
        persist();
    return any ? 1 : 0;
}

LONG DownloadManager::Resume(const char* key)
{
    if (!key)
        return 0;
    bool any = false;
    {
        std::scoped_lock hold(m_lock);
        for (auto& t : m_tasks) {
            if (t.record->key != key)
                continue;
            any = true;
            t.paused = false;
            if (t.unit->phase == Unit::Phase::Failed) {
                t.unit->phase = Unit::Phase::Waiting;
                t.unit->failed = false;
            }
        }
        if (any)
            persist();
    }
    m_work_ready.notify_all();
    return any ? 1 : 0;
}

IOstrelItem* DownloadManager::Lookup(const DWORD id[4], const char*)
{
    if (!id)
        return nullptr;
    std::scoped_lock hold(m_lock);
    for (const auto& t : m_tasks)
        if (t.record->has_id() && same_id(t.record->id, id))
            return new ItemHandle(t.unit);
    return nullptr;
}

void DownloadManager::persist()
{
    if (m_folder.empty())
        return;
    std::vector<JournalEntry> entries;
    for (const auto& t : m_tasks) {
        JournalEntry e{*t.record, t.kind, t.paused};
        if (t.unit->in_cache)
            e.task.local_path.clear();
        entries.push_back(std::move(e));
    }
    write_journal(m_folder / journal_name, entries);
}

std::shared_ptr<DownloadManager::Unit> DownloadManager::pick_unit()
{
    if (!m_online || m_running >= (m_multi_source ? worker_count : 1))
        return nullptr;
    std::shared_ptr<Unit> best;
    bool best_urgent = false;
    for (const auto& t : m_tasks) {
        if (t.paused || t.unit->phase != Unit::Phase::Waiting)
            continue;
        bool urgent = t.kind == OSTREL_KIND_PLAY_NOW;
        if (!best || (urgent && !best_urgent)) {
            best = t.unit;
            best_urgent = urgent;
        }
    }
    return best;
}

void DownloadManager::work()
{
    for (;;) {
        std::shared_ptr<Unit> unit;
        {
            std::unique_lock hold(m_lock);
            m_work_ready.wait(hold, [&] { return m_shutting_down || (unit = pick_unit()); });
            if (m_shutting_down)
                return;
            unit->phase = Unit::Phase::Running;
            unit->interrupt = false;
            unit->restart = false;
            ++m_running;
        }
        Outcome outcome = transfer(*unit);
        {
            std::scoped_lock hold(m_lock);
            --m_running;
            if (!unit->cancelled) {
                switch (outcome) {
                case Outcome::Finished:
                    if (settle(*unit)) {
                        unit->phase = Unit::Phase::Finished;
                        queue_unit_event(*unit, EVT_DOWNLOAD_STATE, DOWNLOAD_FINISHED, 0);
                        break;
                    }
                    [[fallthrough]];
                case Outcome::Failed:
                    unit->phase = Unit::Phase::Failed;
                    unit->failed = true;
                    queue_unit_event(*unit, EVT_DOWNLOAD_STATE, DOWNLOAD_FAILED, 0);
                    break;
                case Outcome::Interrupted:
                    unit->phase = Unit::Phase::Waiting;
                    break;
                }
            }
        }
        m_work_ready.notify_all();
    }
}

DownloadManager::Outcome DownloadManager::transfer(Unit& unit)
{
    int failures = 0;
    for (;;) {
        auto run = unit.file->next_missing(unit.cursor);
        if (!run)
            return Outcome::Finished;
        LONGLONG total = unit.file->total();
        FetchRequest request{unit.address, run->first * OSTREL_SEGMENT_SIZE,
                             run->last < 0 ? -1 : std::min((run->last + 1) * OSTREL_SEGMENT_SIZE, total) - 1,
                             m_options.stall_time};
        auto progress = [&](LONGLONG start, LONGLONG bytes) { report_progress(unit, start, bytes); };
        switch (fetch_range(request, *unit.file, unit.interrupt, progress)) {
        case FetchResult::Done:
            failures = 0;
            if (run->last >= 0)
                unit.cursor = run->last + 1;
            break;
        case FetchResult::Changed:
            unit.cursor = 0;
            break;
        case FetchResult::Interrupted:
            if (!unit.restart.exchange(false))
                return Outcome::Interrupted;
            unit.interrupt = false;
            break;
        case FetchResult::HttpError:
            return Outcome::Failed;
        case FetchResult::NetworkError:
            if (++failures > m_options.retries)
                return Outcome::Failed;
            for (auto waited = std::chrono::milliseconds(0); waited < m_options.retry_delay && !unit.interrupt;
                 waited += std::chrono::milliseconds(20))
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            break;
        }
    }
}

void DownloadManager::report_progress(Unit& unit, LONGLONG run_start, LONGLONG run_bytes)
{
    LONGLONG total = unit.file->total();
    LONGLONG bytes = unit.file->downloaded();
    LONGLONG percent = total > 0 ? bytes * 100 / total : 0;
    if (percent == unit.reported_percent && bytes - unit.reported_bytes < progress_step)
        return;
    unit.reported_percent = percent;
    unit.reported_bytes = bytes;
    std::scoped_lock hold(m_lock);
    queue_unit_event(unit, EVT_DOWNLOAD_PROGRESS, static_cast<INT_PTR>(bytes), static_cast<INT_PTR>(percent));
    queue_unit_event(unit, EVT_PLAY_PROGRESS, static_cast<INT_PTR>(run_start), static_cast<INT_PTR>(run_bytes));
}

void DownloadManager::queue_unit_event(const Unit& unit, LONG code, INT_PTR value, INT_PTR extra)
{
    for (const auto& t : m_tasks)
        if (t.unit.get() == &unit)
            queue_event(t, code, value, extra);
}

void DownloadManager::queue_event(const Task& task, LONG code, INT_PTR value, INT_PTR extra)
{
    auto record = std::make_shared<DownloadTaskInfo>(*task.record);
    record->block.total_size = std::max<LONGLONG>(task.unit->file->total(), 0);
    record->block.downloaded = task.unit->file->downloaded();
    {
        std::scoped_lock hold(m_event_lock);
        m_events.push_back({std::move(record), code, value, extra});
    }
    m_event_ready.notify_one();
}

void DownloadManager::deliver_events()
{
    std::unique_lock hold(m_event_lock);
    for (;;) {
        m_event_ready.wait(hold, [&] { return m_events_stop || !m_events.empty(); });
        if (m_events_stop)
            return;
        Event event = std::move(m_events.front());
        m_events.pop_front();
        auto listeners = m_listeners;
        m_delivering = true;
        ++m_deliveries;
        hold.unlock();
        for (auto* listener : listeners)
            listener->OnEvent(event.record.get(), event.code, event.value, event.extra);
        hold.lock();
        m_delivering = false;
        m_delivered.notify_all();
    }
}

}

extern "C" IOstrel* CreateOstrel()
{
    return ostrel::create({});
}

extern "C" void ReleaseOstrel(IOstrel* ostrel)
{
    delete static_cast<ostrel::DownloadManager*>(ostrel);
}

namespace ostrel {

IOstrel* create(const Options& options)
{
    try {
        return new DownloadManager(options);
    } catch (const std::exception& e) {
        plat::debug_log(std::string("ostrel: cannot start: ") + e.what());
        return nullptr;
    }
}

}
