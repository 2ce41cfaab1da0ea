#pragma once
// The cache information record of a content item and its ".info" file:
// a 64-byte big-endian header, then the little-endian offset table.
//
//   offset size field
//    0     8    "cachinfo"
//    8     8    key words 1 (high) and 0
//   16     8    key words 3 (high) and 2
//   24     4    total size (0 while unknown)
//   28     4    reserved (0)
//   32     8    last segment index
//   40     4    last segment length
//   44     4    segment size
//   48     8    index of the last segment written
//   56     4    present count (segments on disk)
//   60     4    present bytes
//   64   4 x n  offsets into ".data", -1 for an absent segment

#include "components/common/baseinterface/BaseInterface.h"
#include "components/common/murrel/Interfaces.h"
#include "components/common/murrel/Segment.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

inline constexpr DWORD INFO_HEADER_SIZE = 64;
inline constexpr LONG SLOT_ABSENT = -1;

struct tCacheInfoHeader {
    tContentKey key{};
    DWORD total_size{0};                       // 0 while unknown
    DWORD reserved{0};
    ULONGLONG last_index{SEGMENT_INDEX_UNSET};  // all ones while unknown
    DWORD last_length{~0u};
    DWORD segment_size{0};
    ULONGLONG last_written{0};
    DWORD present_count{0};
    DWORD present_bytes{0};

    // Derives the last segment from a total: a total that is an exact multiple
    // of the segment size ends with a full segment, not an empty one.
    void SetTotal(DWORD total);
    bool LastKnown() const { return last_index != SEGMENT_INDEX_UNSET; }
    // The length segment `index` has: the last length for the last index.
    DWORD LengthOf(ULONGLONG index) const { return index == last_index ? last_length : segment_size; }
};

// The 32-character file name of a key: both halves as "%016llx".
std::string CacheFileName(const tContentKey& key);

std::string FormatInfoFile(const tCacheInfoHeader& header, std::span<const LONG> table);
// Replaces the file in one step; 100 when it cannot be written.
BaseResult SaveInfoFile(const std::string& path, const tCacheInfoHeader& header, std::span<const LONG> table);

// Reads and checks an ".info" file. 100 when it cannot be read, is short, has
// the wrong magic, a segment size other than 32 KiB or a total beyond the
// format's limit. Offsets that are not whole slots, lie past `data_size`, past
// the content's end or repeat another are dropped as absent; present count and
// bytes are counted from what is left. With header_only the table is left empty.
BaseResult LoadInfoFile(const std::string& path, bool header_only, std::optional<ULONGLONG> data_size,
                        tCacheInfoHeader& header, std::vector<LONG>& table);
