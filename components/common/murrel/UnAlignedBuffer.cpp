#include "UnAlignedBuffer.h"

#include "components/common/murrel/SegmentCache.h"

#include <algorithm>
#include <cstring>

void tUnAlignedBuffer::Insert(ULONGLONG position, const BYTE* bytes, DWORD length)
{
    const ULONGLONG end = position + length;
    while (position < end) {
        const ULONGLONG boundary = (position / SEGMENT_SIZE + 1) * SEGMENT_SIZE;
        const ULONGLONG piece_end = std::min(end, boundary);
        insert_piece(position, bytes, piece_end - position);
        bytes += piece_end - position;
        position = piece_end;
    }
}

// Fills the gaps between waiting pieces within one segment.
void tUnAlignedBuffer::insert_piece(ULONGLONG start, const BYTE* bytes, ULONGLONG length)
{
    const ULONGLONG end = start + length;
    ULONGLONG cursor = start;
    auto next = m_pieces.upper_bound(cursor);
    if (next != m_pieces.begin()) {
        auto before = std::prev(next);
        cursor = std::max(cursor, before->first + before->second.size());
    }
    while (cursor < end) {
        const ULONGLONG gap_end = next == m_pieces.end() ? end : std::min(end, next->first);
        if (gap_end > cursor) {
            const BYTE* from = bytes + (cursor - start);
            m_pieces.emplace_hint(next, cursor, std::vector<BYTE>(from, from + (gap_end - cursor)));
            m_pending += gap_end - cursor;
        }
        if (next == m_pieces.end()) break;
        cursor = std::max(cursor, next->first + next->second.size());
        ++next;
    }
}

std::vector<tSegment> tUnAlignedBuffer::TakeSegments(ULONGLONG first, ULONGLONG last, ULONGLONG last_index,
                                                     DWORD last_length)
{
    std::vector<tSegment> complete;
    for (ULONGLONG index = first; index <= last && index != SEGMENT_INDEX_UNSET; ++index) {
        tSegment segment;
        if (take_segment(index, index == last_index ? last_length : SEGMENT_SIZE, segment))
            complete.push_back(std::move(segment));
        if (index == last) break;
    }
    return complete;
}

bool tUnAlignedBuffer::take_segment(ULONGLONG index, DWORD needed, tSegment& out)
{
    const ULONGLONG start = index * SEGMENT_SIZE;
    auto it = m_pieces.find(start);
    ULONGLONG have = 0;
    for (auto run = it; run != m_pieces.end() && run->first == start + have && have < needed; ++run)
        have += run->second.size();
    if (it == m_pieces.end() || have < needed) return false;

    out.Allocate(needed);
    out.SetIndex(index);
    DWORD filled = 0;
    while (filled < needed) {
        std::vector<BYTE>& piece = it->second;
        const DWORD take = static_cast<DWORD>(std::min<ULONGLONG>(piece.size(), needed - filled));
        std::memcpy(out.Data() + filled, piece.data(), take);
        filled += take;
        m_pending -= take;
        if (take == piece.size()) {
            it = m_pieces.erase(it);
        } else {
            // Bytes past the content's end stay waiting; no segment will take them.
            std::vector<BYTE> rest(piece.begin() + take, piece.end());
            const ULONGLONG rest_start = it->first + take;
            m_pieces.erase(it);
            m_pieces.emplace(rest_start, std::move(rest));
            break;
        }
    }
    return true;
}
