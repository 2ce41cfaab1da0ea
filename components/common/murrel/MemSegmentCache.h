#pragma once
// Segments kept in memory, at most a fixed number of them.

#include "components/common/murrel/Segment.h"
#include "components/common/murrel/SegmentCache.h"

#include <map>
#include <vector>

class tMemSegmentCache : public tSegmentCache {
public:
    explicit tMemSegmentCache(DWORD capacity) : m_capacity(capacity) {}

    BaseResult ReadSegment(ULONGLONG index, tSegment& buffer) override;
    // 100 when full; a segment already held stays as it was.
    BaseResult WriteSegment(ULONGLONG index, const tSegment& buffer) override;
    BaseResult HasSegment(ULONGLONG index) override;
    DWORD GetCount() override { return static_cast<DWORD>(m_segments.size()); }

    // Writes every segment to `target` in index order and empties this store;
    // the indexes of the segments the target refused.
    std::vector<ULONGLONG> FlushTo(tSegmentCache& target);
    void Erase(ULONGLONG index) { m_segments.erase(index); }
    // Bytes of the segments held.
    DWORD HeldBytes() const;

protected:
    bool Full() const { return m_segments.size() >= m_capacity; }
    bool Holds(ULONGLONG index) const { return m_segments.count(index) != 0; }
    void Insert(ULONGLONG index, const tSegment& buffer);
    void EvictLeastUsed();

private:
    DWORD m_capacity;
    std::map<ULONGLONG, tCachedSegment> m_segments;
};

// The read store: when full, the least-read segment makes room.
class tReadMemSegmentCache : public tMemSegmentCache {
public:
    using tMemSegmentCache::tMemSegmentCache;
    BaseResult WriteSegment(ULONGLONG index, const tSegment& buffer) override;
};

// The write store: answers 1003 once a write filled it; the owner then
// flushes it to disk.
class tWriteMemSegmentCache : public tMemSegmentCache {
public:
    using tMemSegmentCache::tMemSegmentCache;
    BaseResult WriteSegment(ULONGLONG index, const tSegment& buffer) override;
};
