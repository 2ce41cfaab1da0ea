#pragma once
// A segment-cache item in a temporary folder, made through the cache
// library's own exports, for tests that need the downloader's destination.

#include "components/common/murrel/Murrel.h"

#include <filesystem>
#include <string>

class CacheFixture {
public:
    // Full: the item's ".data" is a link to /dev/full, where every write fails as on a full disk.
    enum class Disk { Normal, Full };

    explicit CacheFixture(DWORD key_word = 1, Disk disk = Disk::Normal);
    ~CacheFixture();
    CacheFixture(const CacheFixture&) = delete;
    CacheFixture& operator=(const CacheFixture&) = delete;

    IDataCacheItem* item() const { return m_item; }
    // Writes `bytes` as the segments that cover them, from segment `index` on.
    void store(DWORD offset, const std::string& bytes);
    // The first `length` bytes of the item, read without waiting; shorter where a segment is missing.
    std::string read(DWORD length) const;

private:
    std::filesystem::path m_folder;
    IMurrel* m_manager{nullptr};
    IDataCacheItem* m_item{nullptr};
};
