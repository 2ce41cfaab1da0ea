#pragma once
// The store interface behind which segments live: in memory, on disk, or in
// a live ring. Results are the BaseResult codes.

#include "components/common/baseinterface/BaseInterface.h"

class tSegment;

// Segments of 32 KiB; only the last one of a content may be shorter.
inline constexpr DWORD SEGMENT_SIZE = 32768;
// The cache files address ".data" with signed 32-bit offsets: a content
// holds at most 65,536 segments, 2 GiB.
inline constexpr ULONGLONG MAX_SEGMENT_COUNT = 65536;
inline constexpr ULONGLONG MAX_CONTENT_SIZE = MAX_SEGMENT_COUNT * SEGMENT_SIZE;

class tSegmentCache {
public:
    virtual ~tSegmentCache() = default;

    // 0 found: the buffer gets the index and the bytes (an allocation when it has
    // none). 100 absent. 106 the buffer's capacity is neither 0 nor the segment's
    // length; the buffer is then left as it was.
    virtual BaseResult ReadSegment(ULONGLONG index, tSegment& buffer) = 0;
    virtual BaseResult WriteSegment(ULONGLONG index, const tSegment& buffer) = 0;
    // 0 present, 100 absent.
    virtual BaseResult HasSegment(ULONGLONG index) = 0;
    virtual DWORD GetCount() = 0;
};
