#pragma once
// The manager of cached content items: owns the cache folder and the open
// items, saves them every 5 minutes and closes idle ones every 10 seconds.

#include "components/common/murrel/ContentCacheItem.h"
#include "components/common/murrel/Interfaces.h"
#include "components/common/services/TimerService.h"

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

// The size limit the free disk space allows: 8 GiB free gives 2 GiB, 4 GiB
// gives 1 GiB, 2 GiB gives 600 MiB, 1 GiB gives 200 MiB, 500 MiB gives 50 MiB.
ULONGLONG FreeSpaceLimit(ULONGLONG free_bytes);

class tContentCacheMgr : public tBaseObject<IMurrel>, public IMsgNotify {
public:
    static constexpr DWORD save_interval = 300000;
    static constexpr DWORD cleanup_interval = 10000;

    struct Settings {
        tTimerService::Clock clock;   // GetTickCount when empty
        std::chrono::milliseconds read_wait{tContentCacheItem::default_read_wait};
    };

    tContentCacheMgr() : tContentCacheMgr(Settings{}) {}
    explicit tContentCacheMgr(Settings settings);
    // Stops the timers, then closes every item as Uninitialize does.
    ~tContentCacheMgr() override;

    BaseResult SetSizeLimit(ULONGLONG limit) noexcept override;
    BaseResult SetCacheFolder(const char* folder) noexcept override;
    BaseResult Initialize(ULONGLONG limit, const char* folder) noexcept override;
    BaseResult Uninitialize() noexcept override;
    IDataCacheItem* OpenItem(const tContentKey& key, const char* user) noexcept override;
    IDataCacheItem* FindItem(const tContentKey& key, const char* user) noexcept override;
    BaseResult DeleteItem(const tContentKey& key) noexcept override;
    BaseResult EnumerateItems(tCacheItemInfo* items, DWORD* count) noexcept override;

    void OnNotify(int kind, int id, int parameter, int, int) noexcept override;

    ULONGLONG SizeLimit();

private:
    using Items = std::deque<std::unique_ptr<tContentCacheItem>>;
    enum class Create { No, Yes };

    IDataCacheItem* open_item(const tContentKey& key, const char* user, Create create);
    Items::iterator find_open_locked(const tContentKey& key);
    void close_all_locked();
    void close_idle_items();

    const std::chrono::milliseconds m_read_wait;
    std::mutex m_lock;                 // taken before any item's lock
    ULONGLONG m_size_limit{268435456}; // guarded by m_lock
    std::string m_folder;              // guarded by m_lock
    Items m_items;                     // guarded by m_lock
    ULONGLONG m_free_space_limit{0};   // guarded by m_lock
    int m_save_timer{0};               // guarded by m_lock; 0 until Initialize
    int m_cleanup_timer{0};            // guarded by m_lock
    tTimerService m_timers;            // last member: its thread stops before the rest go
};
