#include "FakeP2PCore.h"

#include "downloader/zephrol/OwnedObjects.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <thread>

// One peer-to-peer slave: a worker that fills assigned segments from the content.
class FakeP2PItem : public tBaseObject<ICorvaDownloadItem, ISegmentSlave, IP2PItemInit, IP2PSwitch> {
public:
    explicit FakeP2PItem(FakeP2PCore& core) : tBaseObject("FakeP2PItem"), m_core(core)
    {
        RegisterInterface(ID_IBaseInterface, static_cast<ICorvaDownloadItem*>(this));
        RegisterInterface(ID_ICorvaDownloadItem, static_cast<ICorvaDownloadItem*>(this));
        RegisterInterface(ID_ISegmentSlave, static_cast<ISegmentSlave*>(this));
        RegisterInterface(ID_IP2PItemInit, static_cast<IP2PItemInit*>(this));
        RegisterInterface(ID_IP2PSwitch, static_cast<IP2PSwitch*>(this));
    }
    ~FakeP2PItem() override { Uninit(); }

    BaseResult Start() noexcept override
    {
        m_core.record("Start");
        if (m_core.config().refuse_start) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        if (m_worker.joinable()) return RESULT_OK;
        m_stop = false;
        m_worker = std::thread(&FakeP2PItem::run, this);
        return RESULT_OK;
    }
    BaseResult Stop() noexcept override
    {
        m_core.record("Stop");
        std::scoped_lock hold(m_lock);
        m_stop = true;
        m_wake.notify_all();
        return RESULT_OK;
    }
    BaseResult Pause() noexcept override { return RESULT_FAIL; }
    BaseResult Seek(DWORD) noexcept override { return RESULT_FAIL; }
    BaseResult SetRate(DWORD rate) noexcept override
    {
        m_core.record("SetRate " + std::to_string(rate));
        return RESULT_OK;
    }
    BaseResult GetProgress(DWORD* downloaded, DWORD* percent) noexcept override
    {
        if (downloaded != nullptr) *downloaded = 0;
        if (percent != nullptr) *percent = 0;
        return RESULT_OK;
    }
    BaseResult GetTotalSize(DWORD* total) noexcept override
    {
        if (total != nullptr) *total = m_core.config().reported_total;
        return RESULT_OK;
    }
    BaseResult GetState(DWORD* state) noexcept override
    {
        if (state != nullptr) *state = m_worker.joinable() ? 1 : 0;
        return RESULT_OK;
    }
    BaseResult GetSpeed(DWORD* speed) noexcept override
    {
        if (speed != nullptr) *speed = 0;
        return RESULT_FAIL;
    }
    BaseResult SetEventHandler(ICorvaEventHandler* handler, std::intptr_t context) noexcept override
    {
        std::scoped_lock hold(m_lock);
        m_handler = handler;
        m_context = context;
        return RESULT_OK;
    }

    BaseResult SetSegmentMode(bool) noexcept override { return RESULT_OK; }
    BaseResult SetSegmentSize(DWORD) noexcept override { return RESULT_OK; }
    BaseResult AssignSegments(const tSegmentRecord* records, DWORD count) noexcept override
    {
        if (count == 0 || records == nullptr) return RESULT_OK;
        m_core.record("AssignSegments " + std::to_string(records[0].offset / SEGMENT_BYTES) + "-" +
                      std::to_string(records[count - 1].offset / SEGMENT_BYTES));
        if (m_core.config().refuse_assignments) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        m_queue.insert(m_queue.end(), records, records + count);
        m_wake.notify_all();
        return RESULT_OK;
    }
    BaseResult SetMaster(ISegmentMaster* master) noexcept override
    {
        std::scoped_lock hold(m_lock);
        m_master = master;
        return RESULT_OK;
    }
    BaseResult ClearSegments() noexcept override
    {
        m_core.record("ClearSegments");
        std::scoped_lock hold(m_lock);
        m_queue.clear();
        return RESULT_OK;
    }

    BaseResult Init() noexcept override
    {
        m_core.record("Init");
        return RESULT_OK;
    }
    BaseResult SetParam(BYTE option, IDataCacheItem*, const tContentKey& key) noexcept override
    {
        m_core.record("SetParam " + std::to_string(option) + " " + std::to_string(key.words[0]));
        return RESULT_OK;
    }
    BaseResult Uninit() noexcept override
    {
        Stop();
        if (m_worker.joinable()) m_worker.join();
        return RESULT_OK;
    }
    BaseResult Switch(int on) noexcept override
    {
        m_core.record("Switch " + std::to_string(on));
        return RESULT_OK;
    }

private:
    void run() noexcept
    {
        DWORD delivered = 0;
        bool failed = false;
        std::unique_lock hold(m_lock);
        while (!m_stop) {
            if (m_queue.empty()) {
                if (m_master != nullptr) m_master->RequestReassign(this);
                m_wake.wait_for(hold, std::chrono::seconds(1), [this] { return m_stop || !m_queue.empty(); });
                continue;
            }
            const DWORD delay = m_core.config().segment_delay_ms;
            if (delay != 0 &&
                m_wake.wait_for(hold, std::chrono::milliseconds(delay), [this] { return m_stop || m_queue.empty(); }))
                continue;
            const tSegmentRecord r = m_queue.front();
            m_queue.pop_front();
            if (failed) continue;
            const std::string& content = m_core.config().content;
            if (r.offset >= content.size()) continue;
            const std::size_t n = std::min<std::size_t>(r.size, content.size() - r.offset);
            std::memcpy(r.data, content.data() + r.offset, n);
            if (m_master != nullptr) m_master->SegmentDownloaded(tSegmentRecord{r.offset, static_cast<DWORD>(n), r.data}, this);
            m_core.count_delivery();
            if (++delivered == m_core.config().fail_after) {
                failed = true;
                m_queue.clear();
                if (m_handler != nullptr) m_handler->OnEvent(tDownloadFailEvent(0), m_context);
            }
        }
        if (m_handler != nullptr) m_handler->OnEvent(tCorvaEvent(EVENT_STOPPED), m_context);
    }

    FakeP2PCore& m_core;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop{false};                     // guarded by m_lock
    std::deque<tSegmentRecord> m_queue;     // guarded by m_lock
    ISegmentMaster* m_master{nullptr};      // guarded by m_lock
    ICorvaEventHandler* m_handler{nullptr}; // guarded by m_lock
    std::intptr_t m_context{0};             // guarded by m_lock
    std::thread m_worker;                   // last member: joined before the rest go
};

FakeP2PCore::FakeP2PCore(FakeP2PConfig config) : tBaseObject("FakeP2PCore"), m_config(std::move(config))
{
    RegisterInterface(ID_IBaseInterface, static_cast<IDownloadCore*>(this));
    RegisterInterface(ID_IDownloadCore, static_cast<IDownloadCore*>(this));
    RegisterInterface(ID_IP2PSettings, static_cast<IP2PSettings*>(this));
}

FakeP2PCore::~FakeP2PCore()
{
    std::deque<std::unique_ptr<FakeP2PItem>> items;
    {
        std::scoped_lock hold(m_lock);
        items.swap(m_items);
    }
}

void FakeP2PCore::record(const std::string& call)
{
    std::scoped_lock hold(m_lock);
    m_calls.push_back(call);
}

void FakeP2PCore::count_delivery()
{
    std::scoped_lock hold(m_lock);
    ++m_delivered;
}

std::vector<std::string> FakeP2PCore::calls() const
{
    std::scoped_lock hold(m_lock);
    return m_calls;
}

bool FakeP2PCore::called(const std::string& prefix) const
{
    std::scoped_lock hold(m_lock);
    return std::any_of(m_calls.begin(), m_calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
}

DWORD FakeP2PCore::delivered() const
{
    std::scoped_lock hold(m_lock);
    return m_delivered;
}

tP2PSettings FakeP2PCore::last_settings() const
{
    std::scoped_lock hold(m_lock);
    return m_settings;
}

BaseResult FakeP2PCore::CreateDownloadItem(ICorvaDownloadItem** out, const char* user) noexcept
{
    record("CreateDownloadItem");
    return guarded_call([&] {
        if (out == nullptr) return RESULT_FAIL;
        auto [item, iface] = make_for_user<FakeP2PItem, ICorvaDownloadItem>(ID_ICorvaDownloadItem, user, *this);
        if (!item) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        m_items.push_back(std::move(item));
        *out = iface;
        return RESULT_OK;
    });
}

BaseResult FakeP2PCore::DeleteDownloadItem(ICorvaDownloadItem* item) noexcept
{
    record("DeleteDownloadItem");
    std::unique_ptr<FakeP2PItem> doomed;
    {
        std::scoped_lock hold(m_lock);
        doomed = take_owned(m_items, item);
    }
    return doomed ? RESULT_OK : RESULT_UNKNOWN_ITEM;   // its worker is joined outside the core's lock
}

BaseResult FakeP2PCore::ApplySettings(const tP2PSettings& settings) noexcept
{
    record("ApplySettings");
    std::scoped_lock hold(m_lock);
    m_settings = settings;
    return RESULT_OK;
}

BaseResult FakeP2PCore::SetSharedContent(const tP2PContent& content, int on) noexcept
{
    record("SetSharedContent " + std::to_string(content.key.words[0]) + " " + std::to_string(on));
    return RESULT_OK;
}

BaseResult FakeP2PCore::AnnounceContent(const tP2PContent& content) noexcept
{
    record("AnnounceContent " + std::to_string(content.key.words[0]));
    return RESULT_OK;
}

BaseResult FakeP2PCore::EnableSharing(int on) noexcept
{
    record("EnableSharing " + std::to_string(on));
    return RESULT_OK;
}
