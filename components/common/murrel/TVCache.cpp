#include "TVCache.h"

#include "components/common/murrel/IndexRange.h"

tTVItem::tTVItem(const tContentKey& key) : tBaseObject("tTVItem"), m_key(key)
{
    RegisterInterface(ID_IBaseInterface, static_cast<ITVCacheItem*>(this));
    RegisterInterface(ID_ITVCacheItem, static_cast<ITVCacheItem*>(this));
    RegisterInterface(ID_ITVServiceCacheInfo, static_cast<ITVServiceCacheInfo*>(this));
}

BaseResult tTVItem::GetKey(tContentKey* key) noexcept
{
    if (key == nullptr) return RESULT_FAIL;
    *key = m_key;
    return RESULT_OK;
}

BaseResult tTVItem::ReadSegment(ULONGLONG index, tSegment* buffer) noexcept
{
    return guarded_call([&] {
        if (buffer == nullptr) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        return m_ring.ReadSegment(index, *buffer);
    });
}

BaseResult tTVItem::WriteSegment(ULONGLONG index, tSegment* buffer) noexcept
{
    return guarded_call([&] {
        if (buffer == nullptr) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        const BaseResult result = m_ring.WriteSegment(index, *buffer);
        if (result == RESULT_OK) m_total_written += buffer->Capacity();
        return result;
    });
}

BaseResult tTVItem::HasSegment(ULONGLONG index) noexcept
{
    std::scoped_lock hold(m_lock);
    return m_ring.HasSegment(index);
}

BaseResult tTVItem::GetIndexRange(tIndexRange* range) noexcept
{
    return guarded_call([&] {
        if (range == nullptr) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        return m_ring.Empty() ? range->InsertPair(0, 0) : range->InsertPair(m_ring.Oldest(), m_ring.Newest());
    });
}

BaseResult tTVItem::Clear() noexcept
{
    std::scoped_lock hold(m_lock);
    m_ring.Clear();
    return RESULT_OK;
}

BaseResult tTVItem::GetRange(ULONGLONG* oldest, ULONGLONG* newest) noexcept
{
    if (oldest == nullptr || newest == nullptr) return RESULT_FAIL;
    std::scoped_lock hold(m_lock);
    *oldest = m_ring.Empty() ? 0 : m_ring.Oldest();
    *newest = m_ring.Empty() ? 0 : m_ring.Newest();
    return RESULT_OK;
}

tTVCacheManager::tTVCacheManager() : tBaseObject("tTVCacheManager")
{
    RegisterInterface(ID_IBaseInterface, static_cast<ITVCacheManager*>(this));
    RegisterInterface(ID_ITVCacheManager, static_cast<ITVCacheManager*>(this));
}

ITVCacheItem* tTVCacheManager::find_locked(const tContentKey& key, const char* user)
{
    auto found = m_items.find(key);
    void* out = nullptr;
    if (found == m_items.end() || found->second->QueryInterface(ID_ITVCacheItem, &out, user) != RESULT_OK)
        return nullptr;
    return static_cast<ITVCacheItem*>(out);
}

ITVCacheItem* tTVCacheManager::FindItem(const tContentKey& key, const char* user) noexcept
{
    try {
        std::scoped_lock hold(m_lock);
        return find_locked(key, user);
    } catch (...) {
        return nullptr;
    }
}

ITVCacheItem* tTVCacheManager::OpenItem(const tContentKey& key, const char* user) noexcept
{
    try {
        std::scoped_lock hold(m_lock);
        if (m_items.find(key) == m_items.end()) m_items.emplace(key, std::make_unique<tTVItem>(key));
        return find_locked(key, user);
    } catch (...) {
        return nullptr;
    }
}

BaseResult tTVCacheManager::CloseItem(const tContentKey& key, const char*) noexcept
{
    return guarded_call([&] {
        std::scoped_lock hold(m_lock);
        // Emptied without a lookup through QueryInterface: closing must not add a user.
        const auto found = m_items.find(key);
        if (found != m_items.end()) found->second->Clear();
        return RESULT_OK;
    });
}
