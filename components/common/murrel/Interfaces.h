#pragma once
// The interfaces the segment cache hands to its users, asked for by id
// (BaseInterface.h). Every slot returns a code and throws nothing.

#include "components/common/baseinterface/BaseInterface.h"

#include <compare>
#include <stop_token>

class tIndexRange;
class tSegment;
class IDataCacheItem;

// A content's 128-bit key, compared word by word.
struct tContentKey {
    DWORD words[4]{};
    friend auto operator<=>(const tContentKey&, const tContentKey&) = default;
};

// One item found by EnumerateItems; 240 bytes.
struct tCacheItemInfo {
    tContentKey key;
    ULONGLONG last_index;
    DWORD last_length;
    DWORD segment_size;
    DWORD reserved;
    char info_path[204];
};
static_assert(sizeof(tCacheItemInfo) == 240);

// The manager of cached content items (id 200).
class IMurrel : public IBaseInterface {
public:
    virtual BaseResult SetSizeLimit(ULONGLONG limit) noexcept = 0;
    virtual BaseResult SetCacheFolder(const char* folder) noexcept = 0;
    // Creates the folder, works out the free-space limit and starts the save and
    // clean-up timers. A zero limit or a null folder keeps what was set.
    virtual BaseResult Initialize(ULONGLONG limit, const char* folder) noexcept = 0;
    // Saves and closes every open item.
    virtual BaseResult Uninitialize() noexcept = 0;
    // The open item, else the one stored in the folder, else a new one; null on failure.
    virtual IDataCacheItem* OpenItem(const tContentKey& key, const char* user) noexcept = 0;
    // As OpenItem, but null when the key has neither an open item nor files.
    virtual IDataCacheItem* FindItem(const tContentKey& key, const char* user) noexcept = 0;
    // Removes the item's files now, or once nobody uses it (0); 100 when unknown.
    virtual BaseResult DeleteItem(const tContentKey& key) noexcept = 0;
    // On entry *count is the room in `items` (ignored when null); on return the
    // number of items found. At most the room is copied.
    virtual BaseResult EnumerateItems(tCacheItemInfo* items, DWORD* count) noexcept = 0;

protected:
    ~IMurrel() = default;
};

// One cached content (id 201).
class IDataCacheItem : public IBaseInterface {
public:
    virtual BaseResult GetKey(tContentKey* key) noexcept = 0;
    // Reads `length` bytes from `position`. With wait, blocks for missing
    // segments until they arrive, `cancel` is requested (109) or a wait runs
    // out (101; timeout_mode -1 keeps waiting). 1000 when the content's end is
    // reached, 0 when all was read or, without wait, a segment is missing.
    // *read holds the bytes copied in every case.
    virtual BaseResult ReadData(BYTE* buffer, ULONGLONG position, DWORD length, DWORD* read, bool wait,
                                int timeout_mode, std::stop_token cancel) noexcept = 0;
    // Stores bytes at any position; whole segments go to the stores. 0, 106 past
    // the content's end or the format's 2 GiB, 100 on failure.
    virtual BaseResult WriteData(const BYTE* bytes, ULONGLONG position, DWORD length) noexcept = 0;
    // Fills the head of segment 0 in order: bytes at the head's fill count are kept.
    virtual BaseResult AppendData(const BYTE* bytes, DWORD position, DWORD length) noexcept = 0;
    virtual DWORD GetSegmentSize() noexcept = 0;
    // 0 or 1000 (the last segment) when found, 100 absent, 106 buffer size mismatch.
    virtual BaseResult ReadSegment(ULONGLONG index, tSegment* buffer) noexcept = 0;
    virtual BaseResult ReleaseSegmentBuffer(tSegment* buffer) noexcept = 0;
    // 0 stored; 106 when the length does not fit the segment or the index lies
    // past the content's end or the format's limit.
    virtual BaseResult WriteSegment(ULONGLONG index, tSegment* buffer) noexcept = 0;
    virtual BaseResult HasSegment(ULONGLONG index) noexcept = 0;
    // Sets the total from the last segment; 106 beyond the format's limit.
    virtual BaseResult SetLastSegment(ULONGLONG last_index, DWORD last_length) noexcept = 0;
    virtual ULONGLONG GetLastSegment(DWORD* last_length) noexcept = 0;
    virtual BaseResult GetIndexRange(tIndexRange* range) noexcept = 0;
    virtual ULONGLONG GetLastWritten() noexcept = 0;
    virtual DWORD GetTotalSize() noexcept = 0;
    // 106 beyond the format's limit.
    virtual BaseResult SetTotalSize(DWORD total) noexcept = 0;
    virtual BaseResult AddUse() noexcept = 0;
    // Bytes of the segments the item holds.
    virtual DWORD GetMemoryInUse() noexcept = 0;

protected:
    ~IDataCacheItem() = default;
};

// Bytes written into an item, counted for its users (id 205).
class ICacheBufferLeak : public IBaseInterface {
public:
    virtual DWORD GetLeakedBytes() noexcept = 0;
    virtual BaseResult SubtractLeakedBytes(DWORD bytes) noexcept = 0;
    virtual BaseResult ClearLeakedBytes() noexcept = 0;

protected:
    ~ICacheBufferLeak() = default;
};

// A live item: a ring of its newest segments (id 204).
class ITVCacheItem : public IBaseInterface {
public:
    virtual BaseResult GetKey(tContentKey* key) noexcept = 0;
    virtual DWORD GetCount() noexcept = 0;
    // 0 found, 1001 not arrived yet, 100 gone or never there.
    virtual BaseResult ReadSegment(ULONGLONG index, tSegment* buffer) noexcept = 0;
    virtual BaseResult WriteSegment(ULONGLONG index, tSegment* buffer) noexcept = 0;
    virtual BaseResult HasSegment(ULONGLONG index) noexcept = 0;
    virtual BaseResult GetIndexRange(tIndexRange* range) noexcept = 0;
    virtual BaseResult Clear() noexcept = 0;

protected:
    ~ITVCacheItem() = default;
};

// What a live item holds (id 202).
class ITVServiceCacheInfo : public IBaseInterface {
public:
    virtual DWORD GetTotal() noexcept = 0;
    virtual BaseResult GetRange(ULONGLONG* oldest, ULONGLONG* newest) noexcept = 0;

protected:
    ~ITVServiceCacheInfo() = default;
};

// The manager of live items (id 203).
class ITVCacheManager : public IBaseInterface {
public:
    virtual ITVCacheItem* FindItem(const tContentKey& key, const char* user) noexcept = 0;
    virtual ITVCacheItem* OpenItem(const tContentKey& key, const char* user) noexcept = 0;
    // Empties the item; it stays known.
    virtual BaseResult CloseItem(const tContentKey& key, const char* user) noexcept = 0;

protected:
    ~ITVCacheManager() = default;
};
