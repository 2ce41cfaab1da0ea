#pragma once
// Shared fixtures of the cache tests: content bytes anyone can recompute,
// keys, and a manager over a temporary folder.

#include "components/common/murrel/ContentCacheMgr.h"
#include "platform/fs/testing/TempFolder.h"

#include <memory>
#include <vector>

// The byte at `position` of every test content.
inline BYTE content_byte(ULONGLONG position)
{
    return static_cast<BYTE>((position * 131 + position / 32768 * 7 + 3) & 0xFF);
}

inline std::vector<BYTE> content_bytes(ULONGLONG position, std::size_t length)
{
    std::vector<BYTE> bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = content_byte(position + i);
    return bytes;
}

inline tSegment content_segment(ULONGLONG index, DWORD length)
{
    tSegment segment;
    segment.Allocate(length);
    const std::vector<BYTE> bytes = content_bytes(index * SEGMENT_SIZE, length);
    segment.WriteAt(0, bytes.data(), length);
    segment.SetIndex(index);
    return segment;
}

inline tContentKey test_key(DWORD n = 1)
{
    return {{0x11111111u * n, 0x22222222u, 0x33333333u, 0x44444444u}};
}

// Releases the user's use when the test is done with the item.
struct ItemUse {
    IDataCacheItem* item;
    const char* user;
    ~ItemUse()
    {
        if (item) item->Release(user);
    }
    IDataCacheItem* operator->() const { return item; }
};

inline std::unique_ptr<tContentCacheMgr> manager_in(const std::string& folder, tContentCacheMgr::Settings settings = {})
{
    auto manager = std::make_unique<tContentCacheMgr>(std::move(settings));
    manager->SetCacheFolder(folder.c_str());
    return manager;
}
