#include "VessikDownloadItem.h"

#include "DownloadExceptions.h"
#include "Format.h"

#include "outside/nimbrel/Nimbrel.h"
#include "platform/base/DebugLog.h"

#include <algorithm>
#include <vector>

namespace {

// Worker messages.
enum : DWORD {
    MSG_REASSIGN = 0x10000001,
    MSG_SEGMENT_DONE = 0x10000002,
    MSG_STOP = 0x10000003,
    MSG_PAUSE = 0x10000004,
    MSG_IGNORED = 0x10000005,
    MSG_TICK = 0x10000006,
    MSG_ENTITY_FAILED = 0x10000007,
    MSG_SLAVE_COMPLETE = 0x10000008,
    MSG_SLAVE_PROGRESS = 0x10000009,
    MSG_SLAVE_STOPPED = 0x1000000a,
    MSG_SEEK = 0x1000000b,
    MSG_RATE = 0x1000000c,
    MSG_SEGMENT_REFUSED = 0x1000000d,
    MSG_FRAGMENT = 0x1000000e,
    MSG_PARTIAL_ANSWER = 0x1000000f,
    // Marks the point in the queue after which a cleared or retired slave's
    // reports are fresh again: the ones before it name buffers taken back.
    MSG_FENCE = 0x10000010,
};

constexpr DWORD start_credit_bytes = 491520;   // 15 segments
constexpr DWORD seek_credit_bytes = 98304;     // 3 segments
constexpr DWORD assign_gate = 10;              // pending segments needed before an assignment, except at the tail
constexpr DWORD first_second_speed = 0xC0000;
constexpr DWORD max_http_failures = 5;
constexpr int progress_interval_ms = 1000;

class tMsgSegmentInfo : public tParamObject {
public:
    explicit tMsgSegmentInfo(const tSegmentRecord& r) : record(r) {}
    tSegmentRecord record;
};

class tMsgFragmentInfo : public tParamObject {
public:
    tMsgFragmentInfo(DWORD offset, const BYTE* bytes, DWORD size) : offset(offset), bytes(bytes, bytes + size) {}
    DWORD offset;
    std::vector<BYTE> bytes;
};

bool key_is_zero(const tContentKey& key)
{
    return std::all_of(std::begin(key.words), std::end(key.words), [](DWORD w) { return w == 0; });
}

DWORD percent_of(DWORD part, DWORD total)
{
    return total == 0 ? 0 : static_cast<DWORD>(ULONGLONG{part} * 100 / total);
}

}

tVessikDownloadItem::tVessikDownloadItem(IDownloadCore* http_core, IDownloadCore* p2p_core,
                                         tSegmentAllocator::Clock clock)
    : tBaseObject("tVessikDownloadItem"), m_http_core(http_core), m_p2p_core(p2p_core), m_allocator(std::move(clock))
{
    RegisterInterface(ID_IBaseInterface, static_cast<ICorvaDownloadItem*>(this));
    RegisterInterface(ID_ICorvaDownloadItem, static_cast<ICorvaDownloadItem*>(this));
    RegisterInterface(ID_IVessikDownload, static_cast<IVessikDownload*>(this));
    RegisterInterface(ID_ISegmentMaster, static_cast<ISegmentMaster*>(this));
    RegisterInterface(ID_ICorvaEventHandler, static_cast<ICorvaEventHandler*>(this));
}

tVessikDownloadItem::~tVessikDownloadItem()
{
    Uninit();
    if (m_cache_item != nullptr) m_cache_item->Release(MASTER_USER);
}

void tVessikDownloadItem::post(DWORD id, const void* sender, DWORD value, tParamObject* param)
{
    tCommandMessage message;
    message.SetId(id);
    message.words[0] = reinterpret_cast<std::uintptr_t>(sender);
    message.words[2] = value;
    message.param = param;
    Post(message, false);
}

// --- IVessikDownload ---

BaseResult tVessikDownloadItem::Init(const tDownloadParam* param) noexcept
{
    return guarded_call([&] {
        if (param == nullptr || param->cache_item == nullptr) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        if (m_initialised) return RESULT_FAIL;
        m_timer.Start();
        m_timer.AddTimer(progress_interval_ms, this, true, 0);
        m_cache_item = param->cache_item;
        m_cache_item->AddRef(MASTER_USER);
        m_key = param->content_key;
        m_p2p_option = param->p2p_option;
        m_url = param->url != nullptr ? param->url : "";
        m_max_http = std::max<DWORD>(param->max_http, 1);
        // Kilobits a second to bytes, without overflow.
        m_rate = static_cast<DWORD>(std::min<ULONGLONG>(ULONGLONG{param->rate_kbps} * 1000 >> 3, 0xFFFFFFFFu));
        m_initialised = true;
        return RESULT_OK;
    });
}

BaseResult tVessikDownloadItem::Uninit() noexcept
{
    Stop();
    std::thread worker;
    {
        std::scoped_lock hold(m_start_lock);
        m_restart = false;
        worker = std::move(m_worker);
    }
    // Joined outside the start lock, which the ending worker takes once more.
    if (worker.joinable()) worker.join();
    m_timer.Stop();
    std::scoped_lock hold(m_lock);
    delete_all_entities();
    m_allocator.StopGeneration();
    m_allocator.ClearPending();
    m_allocator.ClearOutstanding();
    drain_queue();
    m_fences.clear();
    return RESULT_OK;
}

BaseResult tVessikDownloadItem::UpdateParam(const tDownloadParam* param) noexcept
{
    if (param == nullptr) return RESULT_FAIL;
    std::scoped_lock hold(m_lock);
    try {
        if (param->p2p_enabled && key_is_zero(m_key) && !key_is_zero(param->content_key) && m_p2p_core != nullptr) {
            m_key = param->content_key;
            m_p2p_option = param->p2p_option;
            tDownloadEntity* e = create_p2p_entity();
            if (e == nullptr || !start_entity(e)) throw VessikDownloadFail();
        }
        if (param->http_enabled && m_url.empty() && param->url != nullptr && *param->url != '\0') {
            m_url = param->url;
            const bool progressive = m_cache_item != nullptr && m_cache_item->HasSegment(0) != RESULT_OK;
            if (create_and_start_http(progressive) == nullptr) throw VessikDownloadFail();
        }
        return RESULT_OK;
    } catch (const BaseException&) {
        plat::debug_log("Update Download Param, fail to start new download party.\n");
        return RESULT_FAIL;
    } catch (...) {
        return RESULT_FAIL;
    }
}

BaseResult tVessikDownloadItem::SetSiteSeek(bool allowed) noexcept
{
    std::scoped_lock hold(m_lock);
    m_site_seek = allowed;
    return RESULT_OK;
}

// --- ICorvaDownloadItem ---

BaseResult tVessikDownloadItem::Start() noexcept
{
    return guarded_call([&] {
        std::scoped_lock hold(m_lock);
        if (!m_initialised) return RESULT_FAIL;
        if (m_state == ITEM_PAUSED) {
            m_state = ITEM_RUNNING;
            m_allocator.StartGeneration(start_credit_bytes);
            generate();
            return RESULT_OK;
        }
        if (m_state != ITEM_STOPPED) return RESULT_OK;
        m_state = ITEM_RUNNING;
        std::scoped_lock start(m_start_lock);
        if (m_worker_active) {
            m_restart = true;   // the worker is ending: it runs once more
            return RESULT_OK;
        }
        if (m_worker.joinable()) m_worker.join();
        m_worker_active = true;
        m_worker = std::thread(&tVessikDownloadItem::worker, this);
        return RESULT_OK;
    });
}

BaseResult tVessikDownloadItem::Stop() noexcept
{
    return guarded_call([&] {
        // Checked and posted under the lock: the worker empties the queue under
        // it when it ends, so no stop outlives the run it was meant for.
        std::scoped_lock hold(m_lock);
        if (m_state == ITEM_STOPPED) return RESULT_OK;
        m_state = ITEM_STOPPING;
        post(MSG_STOP, nullptr);
        return RESULT_OK;
    });
}

BaseResult tVessikDownloadItem::Pause() noexcept
{
    return guarded_call([&] {
        std::scoped_lock hold(m_lock);
        if (m_state == ITEM_PAUSED) return RESULT_OK;
        if (m_state == ITEM_STOPPED) return RESULT_FAIL;
        // Paused at once, so that a Start right after it resumes; the worker
        // takes the segments back unless that Start came first.
        if (m_state == ITEM_RUNNING) {
            m_state = ITEM_PAUSED;
            m_allocator.StopGeneration();
        }
        post(MSG_PAUSE, nullptr);
        return RESULT_OK;
    });
}

BaseResult tVessikDownloadItem::Seek(DWORD position) noexcept
{
    return guarded_call([&] {
        post(MSG_SEEK, nullptr, position);
        return RESULT_OK;
    });
}

BaseResult tVessikDownloadItem::SetRate(DWORD bytes_per_second) noexcept
{
    return guarded_call([&] {
        post(MSG_RATE, nullptr, bytes_per_second);
        return RESULT_OK;
    });
}

BaseResult tVessikDownloadItem::GetProgress(DWORD* downloaded, DWORD* percent) noexcept
{
    std::scoped_lock hold(m_lock);
    if (downloaded != nullptr) *downloaded = m_downloaded;
    if (percent != nullptr) *percent = percent_of(m_downloaded, m_total);
    return RESULT_OK;
}

BaseResult tVessikDownloadItem::GetTotalSize(DWORD* total) noexcept
{
    if (total == nullptr) return RESULT_FAIL;
    std::scoped_lock hold(m_lock);
    *total = m_total;
    return RESULT_OK;
}

BaseResult tVessikDownloadItem::GetState(DWORD* state) noexcept
{
    if (state == nullptr) return RESULT_FAIL;
    *state = m_state;
    return RESULT_OK;
}

BaseResult tVessikDownloadItem::GetSpeed(DWORD* speed) noexcept
{
    if (speed == nullptr) return RESULT_FAIL;
    std::scoped_lock hold(m_lock);
    *speed = m_speed;
    return RESULT_OK;
}

BaseResult tVessikDownloadItem::SetEventHandler(ICorvaEventHandler* handler, std::intptr_t context) noexcept
{
    std::scoped_lock hold(m_lock);
    m_handler = handler;
    m_context = context;
    return RESULT_OK;
}

// --- what slaves and the timer post ---

BaseResult tVessikDownloadItem::RequestReassign(ISegmentSlave* slave) noexcept
{
    return guarded_call([&] {
        post(MSG_REASSIGN, slave);
        return RESULT_OK;
    });
}

BaseResult tVessikDownloadItem::SegmentDownloaded(tSegmentRecord record, ISegmentSlave* slave) noexcept
{
    return guarded_call([&] {
        post(MSG_SEGMENT_DONE, slave, 0, new tMsgSegmentInfo(record));
        return RESULT_OK;
    });
}

BaseResult tVessikDownloadItem::SegmentRefused(tSegmentRecord record, ISegmentSlave* slave) noexcept
{
    return guarded_call([&] {
        post(MSG_SEGMENT_REFUSED, slave, 0, new tMsgSegmentInfo(record));
        return RESULT_OK;
    });
}

BaseResult tVessikDownloadItem::FragmentData(DWORD offset, const BYTE* bytes, DWORD size, ISegmentSlave* slave) noexcept
{
    return guarded_call([&] {
        if (bytes == nullptr || size == 0) return RESULT_FAIL;
        post(MSG_FRAGMENT, slave, 0, new tMsgFragmentInfo(offset, bytes, size));
        return RESULT_OK;
    });
}

BaseResult tVessikDownloadItem::OnEvent(const tCorvaEvent& event, std::intptr_t context) noexcept
{
    return guarded_call([&] {
        const void* entity = reinterpret_cast<const void*>(context);
        switch (event.code) {
        case EVENT_STOPPED: post(MSG_SLAVE_STOPPED, entity); break;
        case EVENT_COMPLETE: post(MSG_SLAVE_COMPLETE, entity); break;
        case EVENT_PROGRESS: post(MSG_SLAVE_PROGRESS, entity); break;
        case EVENT_FAILED:
            post(MSG_ENTITY_FAILED, entity, static_cast<const tDownloadFailEvent&>(event).error);
            break;
        case EVENT_PARTIAL_DETECT:
            post(MSG_PARTIAL_ANSWER, entity, static_cast<const tDownloadPartialDetectEvent&>(event).answer);
            break;
        default: break;
        }
        return RESULT_OK;
    });
}

void tVessikDownloadItem::OnNotify(int, int, int, int, int) noexcept
{
    // Ticks only while a run goes on: idle items collect no messages.
    if (m_state != ITEM_RUNNING) return;
    try {
        post(MSG_TICK, nullptr);
    } catch (...) {
        plat::debug_log("VessikDownloadItem: progress tick lost\n");
    }
}

// --- the worker ---

void tVessikDownloadItem::worker() noexcept
{
    for (;;) {
        try {
            run_once();
        } catch (...) {
            plat::debug_log("VessikDownloadItem: worker ended by an error\n");
        }
        std::scoped_lock hold(m_start_lock);
        if (!m_restart) {
            m_worker_active = false;
            return;
        }
        m_restart = false;
    }
}

void tVessikDownloadItem::run_once()
{
    {
        std::scoped_lock hold(m_lock);
        m_state = ITEM_RUNNING;
        m_leave = false;
        m_worker_start = std::time(nullptr);
    }
    tCommandMessage message;
    try {
        {
            std::scoped_lock hold(m_lock);
            start_up();
        }
        while (!m_leave && Receive(message, true, 0) != 0) {
            {
                std::scoped_lock hold(m_lock);
                dispatch(message);
                // A stop ends the run once no source is left, however the last one went.
                if (m_state == ITEM_STOPPING && m_entities.empty()) m_leave = true;
            }
            message.ReleaseParam();
        }
    } catch (...) {
        message.ReleaseParam();
        std::scoped_lock hold(m_lock);
        send_event(tCorvaEvent(EVENT_FAILED));
    }
    {
        std::scoped_lock hold(m_lock);
        // Whatever ended the run, no source of it outlives it.
        delete_all_entities();
        m_allocator.StopGeneration();
        m_allocator.ClearOutstanding();
        m_state = ITEM_STOPPED;
        drain_queue();
        plat::debug_log("Vessik download is stopped.\n");
    }
    ICorvaEventHandler* handler = nullptr;
    std::intptr_t context = 0;
    {
        std::scoped_lock hold(m_lock);
        handler = m_handler;
        context = m_context;
    }
    if (handler != nullptr) handler->OnEvent(tCorvaEvent(EVENT_STOPPED), context);
}

// Drops every queued message of the run that ended: its sources are gone.
void tVessikDownloadItem::drain_queue()
{
    tCommandMessage message;
    while (Receive(message, false, 0) != -1) message.ReleaseParam();
    m_fences.clear();
}

void tVessikDownloadItem::start_up()
{
    bool segment0_missing = false;
    if (m_cache_item != nullptr) {
        m_total = m_cache_item->GetTotalSize();
        m_downloaded = m_cache_item->GetMemoryInUse();
        segment0_missing = m_cache_item->HasSegment(0) != RESULT_OK;
    }
    m_received = 0;
    if (!m_url.empty() && create_http_entity(ENTITY_HTTP) == nullptr) throw VessikDownloadFail();
    if (!m_url.empty()) {
        auto& e = static_cast<tHTTPDownloadEntity&>(*m_entities.back());
        if (segment0_missing) {
            e.http->SetMode(MODE_DOWNLOAD_PROGRESSIVE);
            e.progressive = true;
        } else {
            e.http->SetFallback(true);
        }
    }
    if (!key_is_zero(m_key) && m_p2p_core != nullptr && create_p2p_entity() == nullptr) throw VessikDownloadFail();
    m_allocator.SetSegmentSize(SEGMENT_BYTES);
    m_allocator.SetRate(m_rate);
    m_allocator.SetCacheItem(m_cache_item);
    if (m_total != 0) m_allocator.SetTotalSize(m_total);
    m_allocator.StartGeneration(start_credit_bytes);
    generate();
    std::vector<tDownloadEntity*> starting;
    for (const Entity& e : m_entities) starting.push_back(e.get());
    for (tDownloadEntity* e : starting) start_entity(e);
}

void tVessikDownloadItem::dispatch(const tCommandMessage& message)
{
    auto* slave = reinterpret_cast<ISegmentSlave*>(message.words[0]);
    const void* sender = reinterpret_cast<const void*>(message.words[0]);
    const auto value = static_cast<DWORD>(message.words[2]);
    switch (message.Id()) {
    case MSG_REASSIGN: return on_reassign(slave);
    case MSG_SEGMENT_DONE: return on_segment_done(slave, message.param);
    case MSG_STOP: return on_stop();
    case MSG_PAUSE: return on_pause();
    case MSG_TICK: return on_tick();
    case MSG_ENTITY_FAILED: return on_entity_failed(sender, value);
    case MSG_SLAVE_STOPPED: return on_slave_stopped(sender);
    case MSG_SEEK: return on_seek(value);
    case MSG_RATE: m_rate = value; return;
    case MSG_SEGMENT_REFUSED: return on_segment_refused(slave, message.param);
    case MSG_FRAGMENT: return on_fragment(slave, message.param);
    case MSG_PARTIAL_ANSWER: return on_partial_answer(value);
    case MSG_FENCE: return on_fence(slave);
    default: return;   // MSG_IGNORED, MSG_SLAVE_COMPLETE, MSG_SLAVE_PROGRESS
    }
}

void tVessikDownloadItem::send_event(const tCorvaEvent& event)
{
    if (m_handler != nullptr) m_handler->OnEvent(event, m_context);
}

void tVessikDownloadItem::generate()
{
    m_allocator.GenerateSegments();
}

// --- message handlers, on the worker under the lock ---

void tVessikDownloadItem::fence(ISegmentSlave* slave)
{
    if (slave == nullptr) return;
    ++m_fences[slave];
    post(MSG_FENCE, slave);
}

void tVessikDownloadItem::on_fence(ISegmentSlave* slave)
{
    const auto it = m_fences.find(slave);
    if (it != m_fences.end() && --it->second <= 0) m_fences.erase(it);
}

bool tVessikDownloadItem::is_stale(ISegmentSlave* slave) const
{
    return m_fences.count(slave) != 0;
}

// Takes every segment away from a slave and back into the allocator.
void tVessikDownloadItem::clear_entity(tDownloadEntity& entity)
{
    if (entity.slave != nullptr) {
        entity.slave->ClearSegments();
        fence(entity.slave);
    }
    entity.GiveBack(m_allocator);
}

DWORD tVessikDownloadItem::assign_to_entity(tDownloadEntity& entity)
{
    if (entity.slave == nullptr) return 0;
    const bool at_tail = m_allocator.SizeKnown() && m_allocator.NextIndex() > m_allocator.LastIndex();
    if (m_allocator.PendingCount() < assign_gate && !at_tail) return 0;
    const std::vector<tSegmentRecord> records = m_allocator.GetContinuousSegments(entity.batch);
    if (records.empty()) return 0;
    const auto count = static_cast<DWORD>(records.size());
    if (entity.slave->AssignSegments(records.data(), count) != RESULT_OK) {
        plat::debug_log("Download Slave don't accept the assigment, try to recover.\n");
        m_allocator.GiveBack(records.data(), records.size());
        // A slave refuses runs past the end it knows; that end is the content's.
        if (m_total == 0) learn_total(entity, false);
        m_allocator.FixLastSegment();
        return 0;
    }
    entity.segments.insert(entity.segments.end(), records.begin(), records.end());
    plat::debug_log(format_text(entity.type == ENTITY_P2P ? "Assign %u(%u-%u) segment to p2p\n"
                                                          : "Assign %u(%u-%u) segment to http\n",
                                count, records.front().offset / SEGMENT_BYTES, records.back().offset / SEGMENT_BYTES));
    entity.waiting = false;
    entity.RestartStatistics(std::time(nullptr));
    return count;
}

void tVessikDownloadItem::on_reassign(ISegmentSlave* slave)
{
    tDownloadEntity* entity = find_entity_by_slave(slave);
    if (entity == nullptr) return;
    entity->waiting = true;
    if (ULONGLONG{entity->received} * 2 >= entity->assigned) entity->ResetBatch();
    if (m_state != ITEM_RUNNING) return;
    if (entity->progressive && m_partial == PARTIAL_SUPPORTED) {
        replace_progressive(*entity);
        return;
    }
    // Unpaced, a source that asks for work gets it now, not on the next tick.
    if (m_allocator.Rate() == 0) generate();
    take_over_late(*entity);
    assign_to_entity(*entity);
}

// Takes the work of the entity that is past its expected time and slower than
// `faster` by the most, if any, back into the allocator.
void tVessikDownloadItem::take_over_late(const tDownloadEntity& faster)
{
    const std::time_t now = std::time(nullptr);
    tDownloadEntity* late = nullptr;
    long long best = 0;
    for (const Entity& e : m_entities) {
        if (e->segments.empty() || e->start + static_cast<std::time_t>(e->expected) > now) continue;
        const long long gain = static_cast<long long>(faster.speed) - e->speed;
        if (gain > best) {
            best = gain;
            late = e.get();
        }
    }
    if (late == nullptr) return;
    plat::debug_log("Reassign task:\n");
    clear_entity(*late);
    late->Shrink();
}

// A whole-file download gives way to a ranged one once the site is known to answer ranges.
void tVessikDownloadItem::replace_progressive(tDownloadEntity& old)
{
    // A source started while stopping would never be told to stop.
    if (m_state != ITEM_RUNNING) return;
    tDownloadEntity* fresh = create_http_entity(ENTITY_HTTP);
    if (fresh == nullptr) return;
    delete_entity(&old, false);
    static_cast<tHTTPDownloadEntity*>(fresh)->http->SetFallback(false);
    fresh->progressive = false;
    start_entity(fresh);
}

void tVessikDownloadItem::on_segment_done(ISegmentSlave* slave, const tParamObject* param)
{
    const auto* info = dynamic_cast<const tMsgSegmentInfo*>(param);
    tDownloadEntity* entity = find_entity_by_slave(slave);
    if (info == nullptr || entity == nullptr || is_stale(slave)) return;
    tSegmentRecord record = info->record;
    const tSegmentRecord* held = entity->FindSegment(record);
    if (held == nullptr) {
        // Its buffer went back to the allocator (a seek, a pause, a reassignment): nothing of it is written.
        plat::debug_log("Can not find the segment to remove the assignment is broken.\n");
        return;
    }
    record.size = std::min(record.size, held->size);   // never more than the buffer holds
    const std::time_t now = std::time(nullptr);
    entity->received += record.size;
    entity->speed = now > entity->start ? static_cast<DWORD>(entity->received / (now - entity->start))
                                        : first_second_speed;
    m_received += record.size;
    if (entity->type != ENTITY_P2P) {
        plat::debug_log(format_text("VessikDownload Item: Segment Downloaded from http: %d, Speed = %u\n",
                                    static_cast<int>(record.offset / SEGMENT_BYTES), m_speed));
        if (http_count() < m_max_http && m_partial == PARTIAL_SUPPORTED && m_state == ITEM_RUNNING &&
            create_and_start_http(false) == nullptr)
            m_max_http = http_count();
    } else {
        plat::debug_log(format_text("VessikDownload Item: Segment Downloaded from p2p: %d, Speed = %u\n",
                                    static_cast<int>(record.offset / SEGMENT_BYTES), m_speed));
    }
    if (m_total == 0) learn_total(*entity, true);
    // Written before it is announced: a handler may read it at once.
    if (m_cache_item->WriteData(record.data, record.offset, record.size) == RESULT_FAIL) {
        stop_on_cache_failure();
        return;
    }
    entity->RemoveSegment(info->record);
    if (m_allocator.Remove(info->record) == RESULT_OK) m_downloaded += record.size;
    announce_content();
    send_event(tDownloadDataNotify(record.offset, record.size));
    complete_if_whole();
}

// A cache that cannot store (a full disk) ends the download: nothing more it
// fetched could be kept, and nothing unstored may count as downloaded.
void tVessikDownloadItem::stop_on_cache_failure()
{
    // The cache dropped what it could not store, earlier segments included.
    m_downloaded = m_cache_item->GetMemoryInUse();
    if (m_state != ITEM_RUNNING) return;
    plat::debug_log("VessikDownloadItem: the cache cannot store the content, the download stops\n");
    send_event(tCorvaEvent(EVENT_FAILED));
    Stop();
}

// Completion is told as soon as the last byte is stored, not on the next tick.
bool tVessikDownloadItem::complete_if_whole()
{
    if (m_state != ITEM_RUNNING || m_total == 0 || m_downloaded < m_total) return false;
    send_event(tCorvaEvent(EVENT_COMPLETE));
    Stop();
    send_event(tDownloadProgressEvent(m_downloaded, percent_of(m_downloaded, m_total)));
    return true;
}

void tVessikDownloadItem::on_segment_refused(ISegmentSlave* slave, const tParamObject* param)
{
    const auto* info = dynamic_cast<const tMsgSegmentInfo*>(param);
    tDownloadEntity* entity = find_entity_by_slave(slave);
    if (info == nullptr || entity == nullptr || is_stale(slave)) return;
    if (!entity->RemoveSegment(info->record)) return;
    m_allocator.GiveBack(&info->record, 1);
}

void tVessikDownloadItem::on_fragment(ISegmentSlave* slave, const tParamObject* param)
{
    const auto* info = dynamic_cast<const tMsgFragmentInfo*>(param);
    tDownloadEntity* entity = find_entity_by_slave(slave);
    if (info == nullptr || entity == nullptr) return;
    if (m_total == 0) learn_total(*entity, false);
    // The head of segment 0 as it arrives; the copy is the slave's bytes, so
    // it is good even when the segment itself was taken back meanwhile.
    m_cache_item->AppendData(info->bytes.data(), info->offset, static_cast<DWORD>(info->bytes.size()));
}

void tVessikDownloadItem::announce_content()
{
    if (m_announced || m_p2p_core == nullptr) return;
    IP2PSettings* settings = nullptr;
    if (m_p2p_core->QueryInterface(ID_IP2PSettings, reinterpret_cast<void**>(&settings), MASTER_USER) != RESULT_OK)
        return;
    settings->AnnounceContent(tP2PContent{m_key});
    settings->Release(MASTER_USER);
    m_announced = true;
}

void tVessikDownloadItem::learn_total(tDownloadEntity& entity, bool with_probe)
{
    DWORD total = 0;
    if (entity.item == nullptr || entity.item->GetTotalSize(&total) != RESULT_OK || total == 0) return;
    set_total(total);
    if (!with_probe) return;
    const bool has_probe = std::any_of(m_entities.begin(), m_entities.end(), [](const Entity& e) {
        return e->type == ENTITY_PROBE;
    });
    const bool has_progressive = std::any_of(m_entities.begin(), m_entities.end(), [](const Entity& e) {
        return e->progressive;
    });
    if (has_probe || !has_progressive || m_state != ITEM_RUNNING) return;
    if (tDownloadEntity* probe = create_http_entity(ENTITY_PROBE)) start_entity(probe);
}

void tVessikDownloadItem::set_total(DWORD total)
{
    m_total = total;
    m_cache_item->SetTotalSize(total);
    m_allocator.SetTotalSize(total);
    m_allocator.FixLastSegment();
}

void tVessikDownloadItem::on_tick()
{
    if (m_state != ITEM_RUNNING || complete_if_whole()) return;
    const std::time_t seconds = std::time(nullptr) - m_worker_start;
    if (m_received > SEGMENT_BYTES || seconds > 5)
        m_speed = static_cast<DWORD>(m_received / std::max<std::time_t>(seconds, 1));
    generate();
    std::vector<tDownloadEntity*> waiting;
    for (const Entity& e : m_entities)
        if (e->waiting) waiting.push_back(e.get());
    for (tDownloadEntity* e : waiting) {
        // A waiting slave asks only once; without this a late one would keep its work for ever.
        if (m_allocator.PendingCount() == 0) take_over_late(*e);
        if (m_allocator.PendingCount() != 0) assign_to_entity(*e);
    }
    send_event(tDownloadProgressEvent(m_downloaded, percent_of(m_downloaded, m_total)));
}

void tVessikDownloadItem::on_pause()
{
    if (m_state != ITEM_PAUSED) return;   // resumed meanwhile, or stopping
    for (const Entity& e : m_entities)
        if (e->type != ENTITY_PROBE) clear_entity(*e);
}

void tVessikDownloadItem::on_stop()
{
    m_allocator.StopGeneration();
    m_allocator.ResetGeneratedCount();
    m_state = ITEM_STOPPING;
    // The run's end tells EVENT_STOPPED, once.
    for (const Entity& e : m_entities) e->item->Stop();
}

void tVessikDownloadItem::on_seek(DWORD position)
{
    m_allocator.ClearPending();
    m_allocator.SetNextIndex(position / SEGMENT_BYTES);
    if (m_allocator.Generating()) {
        m_allocator.StartGeneration(seek_credit_bytes);
        generate();
    }
    plat::debug_log(format_text("Seek to Index = %d, %u\n", static_cast<int>(position / SEGMENT_BYTES), position));
    for (const Entity& e : m_entities)
        if (e->type != ENTITY_PROBE) clear_entity(*e);
}

void tVessikDownloadItem::on_entity_failed(const void* sender, DWORD code)
{
    tDownloadEntity* entity = find_entity(sender);
    if (entity == nullptr) return;
    plat::debug_log(format_text("A Download Entity is Fail: Type = %d\n", static_cast<int>(entity->type)));
    clear_entity(*entity);
    ++entity->failures;
    DWORD total = 0;
    if (m_total == 0 && entity->item != nullptr && entity->item->GetTotalSize(&total) == RESULT_OK && total >= 1 &&
        total < SEGMENT_BYTES)
        set_total(total);
    if (entity->type == ENTITY_HTTP && (entity->failures > max_http_failures || code == HTTP_ERROR_RANGE_REFUSED)) {
        if (code == HTTP_ERROR_RANGE_REFUSED) m_max_http = 1;
        delete_entity(entity, false);
    } else if (entity->type == ENTITY_P2P) {
        delete_entity(entity, false);
    }
    if (m_entities.empty()) send_event(tCorvaEvent(EVENT_FAILED));
}

void tVessikDownloadItem::on_slave_stopped(const void* sender)
{
    tDownloadEntity* entity = find_entity(sender);
    if (entity == nullptr) return;
    plat::debug_log(format_text("A Download Item is stopped: Type = %d\n", static_cast<int>(entity->type)));
    delete_entity(entity, true);
    if (m_entities.empty()) m_leave = true;
}

void tVessikDownloadItem::on_partial_answer(DWORD answer)
{
    m_partial = answer;
    static const char* const lines[] = {
        "VessikDownloadItem:: Can not determined whether the site support the partial download\n",
        "VessikDownloadItem:: The site support partial download\n",
        "VessikDownlodItem:: The site don't support partial download\n",
    };
    if (answer < 3) plat::debug_log(lines[answer]);
    const auto probe = std::find_if(m_entities.begin(), m_entities.end(), [](const Entity& e) {
        return e->type == ENTITY_PROBE;
    });
    if (probe != m_entities.end()) delete_entity(probe->get(), false);
    const auto progressive = std::find_if(m_entities.begin(), m_entities.end(), [](const Entity& e) {
        return e->progressive;
    });
    if (progressive == m_entities.end() || answer != PARTIAL_SUPPORTED) return;
    if ((*progressive)->waiting || (*progressive)->received == 0) replace_progressive(**progressive);
}

// --- entities ---

DWORD tVessikDownloadItem::http_count() const
{
    return m_http_count;
}

tDownloadEntity* tVessikDownloadItem::find_entity_by_slave(const ISegmentSlave* slave) const
{
    if (slave == nullptr) return nullptr;
    for (const Entity& e : m_entities)
        if (e->slave == slave) return e.get();
    return nullptr;
}

// The entity, in the list or retired, that a slave's event names; null when
// none is known by that address (a stale event).
tDownloadEntity* tVessikDownloadItem::find_entity(const void* entity) const
{
    for (const auto* list : {&m_entities, &m_retired})
        for (const Entity& e : *list)
            if (e.get() == entity) return e.get();
    return nullptr;
}

bool tVessikDownloadItem::start_entity(tDownloadEntity* entity)
{
    if (entity->item->Start() == RESULT_OK) return true;
    delete_entity(entity, false);
    return false;
}

tDownloadEntity* tVessikDownloadItem::create_and_start_http(bool progressive)
{
    tDownloadEntity* e = create_http_entity(ENTITY_HTTP);
    if (e == nullptr) return nullptr;
    auto* http = static_cast<tHTTPDownloadEntity*>(e);
    if (progressive) {
        http->http->SetMode(MODE_DOWNLOAD_PROGRESSIVE);
        e->progressive = true;
    }
    return start_entity(e) ? e : nullptr;
}

tDownloadEntity* tVessikDownloadItem::create_http_entity(EntityType type)
{
    if (m_http_core == nullptr) return nullptr;
    std::unique_ptr<tHTTPDownloadEntity> e;
    if (type == ENTITY_PROBE) e = std::make_unique<tHTTPDetectPartialEntity>();
    else e = std::make_unique<tHTTPDownloadEntity>();
    if (m_http_core->CreateDownloadItem(&e->item, MASTER_USER) != RESULT_OK) return nullptr;
    const auto check = [](BaseResult r) {
        if (r != RESULT_OK) throw VessikInitException();
    };
    try {
        check(e->item->QueryInterface(ID_IHTTPDownload, reinterpret_cast<void**>(&e->http), MASTER_USER));
        check(e->http->Init());
        check(e->http->SetSiteSeek(m_site_seek));
        if (type == ENTITY_PROBE) check(e->http->SetMode(MODE_TEST_PARTIAL));
        check(e->http->SetURL(m_url.c_str()));
        if (m_total != 0) check(e->http->SetTotalSize(m_total));
        if (type != ENTITY_PROBE) {
            check(e->item->QueryInterface(ID_ISegmentSlave, reinterpret_cast<void**>(&e->slave), MASTER_USER));
            check(e->slave->SetSegmentMode(true));
            check(e->slave->SetMaster(this));
            check(e->slave->SetSegmentSize(SEGMENT_BYTES));
        }
        check(e->item->SetEventHandler(this, reinterpret_cast<std::intptr_t>(e.get())));
    } catch (const VessikInitException&) {
        ICorvaDownloadItem* item = e->item;
        e->ReleaseSlave(m_allocator);
        m_http_core->DeleteDownloadItem(item);   // the slave goes back with the entity
        throw;
    }
    tDownloadEntity* made = e.get();
    m_entities.push_back(std::move(e));
    if (type == ENTITY_PROBE) {
        plat::debug_log("Create HTTP Detect Partial Item.\n");
    } else {
        ++m_http_count;
        plat::debug_log(format_text("Create HTTP Download Item. HTTP Count = %u, %p\n", m_http_count,
                                    static_cast<void*>(made)));
    }
    return made;
}

tDownloadEntity* tVessikDownloadItem::create_p2p_entity()
{
    if (m_p2p_core == nullptr) return nullptr;
    auto e = std::make_unique<tP2PDownloadEntity>();
    if (m_p2p_core->CreateDownloadItem(&e->item, MASTER_USER) != RESULT_OK) return nullptr;
    bool ok = e->item->QueryInterface(ID_IP2PItemInit, reinterpret_cast<void**>(&e->init), MASTER_USER) == RESULT_OK;
    IP2PSwitch* on = nullptr;
    if (ok && e->item->QueryInterface(ID_IP2PSwitch, reinterpret_cast<void**>(&on), MASTER_USER) == RESULT_OK) {
        on->Switch(1);
        on->Release(MASTER_USER);
    }
    ok = ok && e->init->Init() == RESULT_OK && e->init->SetParam(m_p2p_option, m_cache_item, m_key) == RESULT_OK &&
         e->item->SetRate(2000) == RESULT_OK &&
         e->item->QueryInterface(ID_ISegmentSlave, reinterpret_cast<void**>(&e->slave), MASTER_USER) == RESULT_OK &&
         e->slave->SetSegmentMode(true) == RESULT_OK && e->slave->SetMaster(this) == RESULT_OK &&
         e->slave->SetSegmentSize(SEGMENT_BYTES) == RESULT_OK &&
         e->item->SetEventHandler(this, reinterpret_cast<std::intptr_t>(e.get())) == RESULT_OK;
    if (!ok) {
        ICorvaDownloadItem* item = e->item;
        e->ReleaseSlave(m_allocator);
        m_p2p_core->DeleteDownloadItem(item);
        return nullptr;
    }
    tDownloadEntity* made = e.get();
    m_entities.push_back(std::move(e));
    return made;
}

void tVessikDownloadItem::delete_entity(tDownloadEntity* entity, bool destroy)
{
    const auto it = std::find_if(m_entities.begin(), m_entities.end(), [entity](const Entity& e) {
        return e.get() == entity;
    });
    if (it == m_entities.end()) {
        const auto retired = std::find_if(m_retired.begin(), m_retired.end(), [entity](const Entity& e) {
            return e.get() == entity;
        });
        if (!destroy || retired == m_retired.end()) return;
        plat::debug_log(format_text("Actually delete the Download Entity (%p)\n", static_cast<void*>(entity)));
        m_retired.erase(retired);
        return;
    }
    ICorvaDownloadItem* item = entity->item;
    ISegmentSlave* slave = entity->slave;
    entity->ReleaseSlave(m_allocator);   // stops and joins the slave's threads
    fence(slave);   // its reports still queued are stale; a new slave may get its address
    if (entity->type == ENTITY_P2P) {
        if (m_p2p_core != nullptr) m_p2p_core->DeleteDownloadItem(item);
        plat::debug_log("Delete P2P Download Item\n");
    } else if (entity->type == ENTITY_PROBE) {
        m_http_core->DeleteDownloadItem(item);
        plat::debug_log("Delete HTTP Detect Partial Item\n");
    } else {
        if (m_http_count > 0) --m_http_count;
        m_http_core->DeleteDownloadItem(item);
        plat::debug_log(format_text("Delete a HTTP Download Item, HTTP Count = %u\n", m_http_count));
    }
    Entity owned = std::move(*it);
    m_entities.erase(it);
    if (!destroy) m_retired.push_back(std::move(owned));
}

void tVessikDownloadItem::delete_all_entities()
{
    while (!m_entities.empty()) delete_entity(m_entities.front().get(), true);
    m_retired.clear();
}
