#include "MemSegmentCache.h"

#include <algorithm>

BaseResult tMemSegmentCache::ReadSegment(ULONGLONG index, tSegment& buffer)
{
    auto found = m_segments.find(index);
    if (found == m_segments.end()) return RESULT_FAIL;
    const BaseResult result = CopySegmentInto(found->second, index, buffer);
    if (result == RESULT_OK) found->second.CountUse();
    return result;
}

BaseResult tMemSegmentCache::WriteSegment(ULONGLONG index, const tSegment& buffer)
{
    if (Holds(index)) return RESULT_OK;
    if (Full()) return RESULT_FAIL;
    Insert(index, buffer);
    return RESULT_OK;
}

BaseResult tMemSegmentCache::HasSegment(ULONGLONG index)
{
    return Holds(index) ? RESULT_OK : RESULT_FAIL;
}

void tMemSegmentCache::Insert(ULONGLONG index, const tSegment& buffer)
{
    tCachedSegment copy;
    copy.CopyFrom(buffer);
    copy.SetIndex(index);
    m_segments.emplace(index, std::move(copy));
}

// The least-read segment goes, the first in index order among equals, however
// often every segment has been read.
void tMemSegmentCache::EvictLeastUsed()
{
    const auto victim = std::min_element(m_segments.begin(), m_segments.end(), [](const auto& a, const auto& b) {
        return a.second.UseCount() < b.second.UseCount();
    });
    if (victim != m_segments.end()) m_segments.erase(victim);
}

std::vector<ULONGLONG> tMemSegmentCache::FlushTo(tSegmentCache& target)
{
    std::vector<ULONGLONG> refused;
    for (const auto& [index, segment] : m_segments)
        if (target.WriteSegment(index, segment) != RESULT_OK) refused.push_back(index);
    m_segments.clear();
    return refused;
}

DWORD tMemSegmentCache::HeldBytes() const
{
    DWORD bytes = 0;
    for (const auto& entry : m_segments) bytes += entry.second.Capacity();
    return bytes;
}

BaseResult tReadMemSegmentCache::WriteSegment(ULONGLONG index, const tSegment& buffer)
{
    if (Holds(index)) return RESULT_OK;
    if (Full()) EvictLeastUsed();
    Insert(index, buffer);
    return RESULT_OK;
}

BaseResult tWriteMemSegmentCache::WriteSegment(ULONGLONG index, const tSegment& buffer)
{
    const BaseResult result = tMemSegmentCache::WriteSegment(index, buffer);
    if (result == RESULT_OK && Full()) return RESULT_CACHE_FULL;
    return result;
}
