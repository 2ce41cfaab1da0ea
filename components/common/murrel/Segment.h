#pragma once
// The segment buffers the stores exchange: a segment's bytes and its index.

#include "components/common/baseinterface/BaseInterface.h"
#include "components/common/baseinterface/StreamBuffer.h"

#include <cstring>

inline constexpr ULONGLONG SEGMENT_INDEX_UNSET = ~0ull;

class tSegment : public tStreamBuffer {
public:
    ULONGLONG Index() const { return m_index; }
    void SetIndex(ULONGLONG index) { m_index = index; }

private:
    ULONGLONG m_index{SEGMENT_INDEX_UNSET};
};

// A segment held by a memory store, with the number of reads it served.
class tCachedSegment : public tSegment {
public:
    DWORD UseCount() const { return m_uses; }
    void CountUse() { ++m_uses; }

private:
    DWORD m_uses{0};
};

// Hands a held segment to a reader's buffer: a copy in a new allocation when
// the buffer has none, into it when its capacity fits, else 106 and the
// buffer is left as it was.
inline BaseResult CopySegmentInto(const tSegment& segment, ULONGLONG index, tSegment& buffer)
{
    if (buffer.Capacity() == 0) {
        buffer.CopyFrom(segment);
    } else if (buffer.Capacity() == segment.Capacity()) {
        std::memcpy(buffer.Data(), segment.Data(), segment.Capacity());
    } else {
        return RESULT_SIZE_MISMATCH;
    }
    buffer.SetIndex(index);
    return RESULT_OK;
}
