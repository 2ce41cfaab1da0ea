#pragma once
// Turns writes of arbitrary bytes at arbitrary positions into whole
// segments: pieces wait, cut at segment boundaries and without overlaps,
// until a segment's bytes are all there.

#include "components/common/murrel/Segment.h"

#include <map>
#include <vector>

class tUnAlignedBuffer {
public:
    // Keeps the parts of [position, position + length) that no waiting piece covers yet.
    void Insert(ULONGLONG position, const BYTE* bytes, DWORD length);
    // Takes out every segment from `first` to `last` whose bytes are complete;
    // a segment at last_index needs last_length bytes, every other a full segment.
    std::vector<tSegment> TakeSegments(ULONGLONG first, ULONGLONG last, ULONGLONG last_index, DWORD last_length);
    // Bytes waiting.
    ULONGLONG PendingBytes() const { return m_pending; }

private:
    void insert_piece(ULONGLONG start, const BYTE* bytes, ULONGLONG length);
    bool take_segment(ULONGLONG index, DWORD needed, tSegment& out);

    std::map<ULONGLONG, std::vector<BYTE>> m_pieces;   // by start; never crossing a segment boundary
    ULONGLONG m_pending{0};
};
