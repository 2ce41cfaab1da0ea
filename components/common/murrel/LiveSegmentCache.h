#pragma once
// A ring of the newest segments of a live stream, in arrival order.

#include "components/common/murrel/Segment.h"
#include "components/common/murrel/SegmentCache.h"

#include <deque>

class tLiveSegmentCache : public tSegmentCache {
public:
    explicit tLiveSegmentCache(DWORD capacity) : m_capacity(capacity) {}

    // 0 found; 1001 above the newest index (not arrived yet); 100 otherwise.
    BaseResult ReadSegment(ULONGLONG index, tSegment& buffer) override;
    // Drops the oldest segment when full; indexes are taken as they come.
    BaseResult WriteSegment(ULONGLONG index, const tSegment& buffer) override;
    BaseResult HasSegment(ULONGLONG index) override;
    DWORD GetCount() override { return static_cast<DWORD>(m_ring.size()); }

    bool Empty() const { return m_ring.empty(); }
    ULONGLONG Oldest() const { return m_ring.front().Index(); }
    ULONGLONG Newest() const { return m_ring.back().Index(); }
    void Clear() { m_ring.clear(); }

private:
    const tCachedSegment* find(ULONGLONG index) const;

    DWORD m_capacity;
    std::deque<tCachedSegment> m_ring;   // oldest first
};
