#pragma once
// The segment master: downloads one content item in segments of 32,768
// bytes from several sources at once (HTTP connections, a peer-to-peer
// source, a probe of whether the site answers ranges) and writes the data
// into a segment-cache item. Every decision runs on the master's worker,
// one message at a time; other calls only post, except the getters, the
// set-up calls and UpdateParam.

#include "downloader/zephrol/DownloadEntity.h"
#include "downloader/zephrol/Interfaces.h"
#include "downloader/zephrol/SegmentAllocator.h"

#include "components/common/services/Command.h"
#include "components/common/services/TimerService.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// States of a master item.
inline constexpr DWORD ITEM_STOPPED = 0;
inline constexpr DWORD ITEM_RUNNING = 1;
inline constexpr DWORD ITEM_PAUSED = 2;
inline constexpr DWORD ITEM_STOPPING = 3;

class tVessikDownloadItem
    : public tBaseObject<IVessikDownload, ICorvaDownloadItem, ISegmentMaster, ICorvaEventHandler>,
      public tCommand,
      public IMsgNotify {
public:
    // The HTTP core is required; the peer-to-peer core may be null. Neither is counted for the item.
    tVessikDownloadItem(IDownloadCore* http_core, IDownloadCore* p2p_core,
                        tSegmentAllocator::Clock clock = {});
    ~tVessikDownloadItem() override;

    // IVessikDownload
    BaseResult Init(const tDownloadParam* param) noexcept override;
    BaseResult Uninit() noexcept override;
    BaseResult UpdateParam(const tDownloadParam* param) noexcept override;
    BaseResult SetSiteSeek(bool allowed) noexcept override;

    // ICorvaDownloadItem
    BaseResult Start() noexcept override;
    BaseResult Stop() noexcept override;
    BaseResult Pause() noexcept override;
    BaseResult Seek(DWORD position) noexcept override;
    BaseResult SetRate(DWORD bytes_per_second) noexcept override;
    BaseResult GetProgress(DWORD* downloaded, DWORD* percent) noexcept override;
    BaseResult GetTotalSize(DWORD* total) noexcept override;
    BaseResult GetState(DWORD* state) noexcept override;
    BaseResult GetSpeed(DWORD* speed) noexcept override;
    BaseResult SetEventHandler(ICorvaEventHandler* handler, std::intptr_t context) noexcept override;

    // ISegmentMaster
    BaseResult RequestReassign(ISegmentSlave* slave) noexcept override;
    BaseResult SegmentDownloaded(tSegmentRecord record, ISegmentSlave* slave) noexcept override;
    BaseResult SegmentRefused(tSegmentRecord record, ISegmentSlave* slave) noexcept override;
    BaseResult FragmentData(DWORD offset, const BYTE* bytes, DWORD size, ISegmentSlave* slave) noexcept override;

    // ICorvaEventHandler: the slaves' events, with their entity as context.
    BaseResult OnEvent(const tCorvaEvent& event, std::intptr_t context) noexcept override;

    // IMsgNotify: the progress timer.
    void OnNotify(int kind, int id, int parameter, int, int) noexcept override;

private:
    using Entity = std::unique_ptr<tDownloadEntity>;

    void post(DWORD id, const void* sender, DWORD value = 0, tParamObject* param = nullptr);
    void worker() noexcept;
    void run_once();
    void start_up();
    void drain_queue();
    void dispatch(const tCommandMessage& message);
    void on_reassign(ISegmentSlave* slave);
    void on_segment_done(ISegmentSlave* slave, const tParamObject* param);
    void on_segment_refused(ISegmentSlave* slave, const tParamObject* param);
    void on_fragment(ISegmentSlave* slave, const tParamObject* param);
    void on_tick();
    bool complete_if_whole();
    void stop_on_cache_failure();
    void on_pause();
    void on_stop();
    void on_seek(DWORD position);
    void on_entity_failed(const void* entity, DWORD code);
    void on_slave_stopped(const void* entity);
    void on_partial_answer(DWORD answer);
    void on_fence(ISegmentSlave* slave);
    void take_over_late(const tDownloadEntity& faster);
    void replace_progressive(tDownloadEntity& old);
    void announce_content();
    void learn_total(tDownloadEntity& entity, bool with_probe);
    void set_total(DWORD total);
    DWORD assign_to_entity(tDownloadEntity& entity);
    void clear_entity(tDownloadEntity& entity);
    void fence(ISegmentSlave* slave);
    bool is_stale(ISegmentSlave* slave) const;
    void send_event(const tCorvaEvent& event);
    void generate();

    // Entities (the master's own operations on its sources).
    tDownloadEntity* create_http_entity(EntityType type);
    tDownloadEntity* create_p2p_entity();
    tDownloadEntity* create_and_start_http(bool progressive);
    bool start_entity(tDownloadEntity* entity);
    tDownloadEntity* find_entity_by_slave(const ISegmentSlave* slave) const;
    tDownloadEntity* find_entity(const void* entity) const;
    void delete_entity(tDownloadEntity* entity, bool destroy);
    void delete_all_entities();
    DWORD http_count() const;

    std::recursive_mutex m_lock;   // taken for each message handled; guards every field below
    std::atomic<DWORD> m_state{ITEM_STOPPED};
    BYTE m_p2p_option{0};
    IDataCacheItem* m_cache_item{nullptr};   // held as MASTER_USER
    tContentKey m_key;
    std::string m_url;
    DWORD m_total{0};
    DWORD m_downloaded{0};
    std::deque<Entity> m_entities;
    std::deque<Entity> m_retired;            // out of the list, waiting for their slave's stop event
    IDownloadCore* const m_http_core;
    IDownloadCore* const m_p2p_core;
    DWORD m_max_http{1};
    DWORD m_partial{PARTIAL_UNDETERMINED};
    DWORD m_http_count{0};
    tSegmentAllocator m_allocator;
    tTimerService m_timer;
    bool m_initialised{false};
    bool m_site_seek{true};
    DWORD m_rate{0};
    DWORD m_speed{0};
    DWORD m_received{0};
    std::time_t m_worker_start{0};
    ICorvaEventHandler* m_handler{nullptr};
    std::intptr_t m_context{0};
    bool m_announced{false};
    bool m_leave{false};                     // the worker loop ends after this message
    std::map<const ISegmentSlave*, int> m_fences;   // slaves whose queued reports are stale

    std::mutex m_start_lock;                 // serialises starting, restarting and joining the worker
    bool m_worker_active{false};             // guarded by m_start_lock
    bool m_restart{false};                   // guarded by m_start_lock
    std::thread m_worker;                    // last member: joined before the rest go
};
