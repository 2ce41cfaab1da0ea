#include "LiveSegmentCache.h"

const tCachedSegment* tLiveSegmentCache::find(ULONGLONG index) const
{
    for (const tCachedSegment& segment : m_ring)
        if (segment.Index() == index) return &segment;
    return nullptr;
}

BaseResult tLiveSegmentCache::ReadSegment(ULONGLONG index, tSegment& buffer)
{
    const tCachedSegment* segment = find(index);
    if (segment == nullptr) {
        if (!m_ring.empty() && index > Newest()) return RESULT_NOT_ARRIVED;
        return RESULT_FAIL;
    }
    return CopySegmentInto(*segment, index, buffer);
}

BaseResult tLiveSegmentCache::WriteSegment(ULONGLONG index, const tSegment& buffer)
{
    tCachedSegment copy;
    copy.CopyFrom(buffer);
    copy.SetIndex(index);
    if (m_capacity == 0) return RESULT_FAIL;
    if (m_ring.size() >= m_capacity) m_ring.pop_front();
    m_ring.push_back(std::move(copy));
    return RESULT_OK;
}

BaseResult tLiveSegmentCache::HasSegment(ULONGLONG index)
{
    return find(index) ? RESULT_OK : RESULT_FAIL;
}
