#pragma once
// The segment buffers the stores exchange: a segment's bytes and its index.

#include "components/common/baseinterface/StreamBuffer.h"

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
