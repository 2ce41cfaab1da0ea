#pragma once
// Live items kept only in memory: each a ring of its 100 newest segments,
// found and made by key through the live cache manager.

#include "components/common/murrel/Interfaces.h"
#include "components/common/murrel/LiveSegmentCache.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

class tTVItem : public tBaseObject<ITVCacheItem, ITVServiceCacheInfo> {
public:
    static constexpr DWORD ring_capacity = 100;

    explicit tTVItem(const tContentKey& key);

    // ITVCacheItem
    BaseResult GetKey(tContentKey* key) noexcept override;
    // 0, as a content item answers the store's count.
    DWORD GetCount() noexcept override { return 0; }
    BaseResult ReadSegment(ULONGLONG index, tSegment* buffer) noexcept override;
    BaseResult WriteSegment(ULONGLONG index, tSegment* buffer) noexcept override;
    BaseResult HasSegment(ULONGLONG index) noexcept override;
    // Adds [oldest, newest] to what the range holds, or [0, 0] while empty.
    BaseResult GetIndexRange(tIndexRange* range) noexcept override;
    BaseResult Clear() noexcept override;

    // ITVServiceCacheInfo
    DWORD GetTotal() noexcept override { return m_total_written; }
    BaseResult GetRange(ULONGLONG* oldest, ULONGLONG* newest) noexcept override;

private:
    const tContentKey m_key;
    std::mutex m_lock;
    tLiveSegmentCache m_ring{ring_capacity};   // guarded by m_lock
    std::atomic<DWORD> m_total_written{0};
};

class tTVCacheManager : public tBaseObject<ITVCacheManager> {
public:
    tTVCacheManager();

    ITVCacheItem* FindItem(const tContentKey& key, const char* user) noexcept override;
    ITVCacheItem* OpenItem(const tContentKey& key, const char* user) noexcept override;
    BaseResult CloseItem(const tContentKey& key, const char* user) noexcept override;

private:
    ITVCacheItem* find_locked(const tContentKey& key, const char* user);

    std::mutex m_lock;
    std::map<tContentKey, std::unique_ptr<tTVItem>> m_items;   // guarded by m_lock
};
