#pragma once
// A target file and the map of its 32,768-byte segments that are present,
// kept in a map file of its own so a download survives the process:
//   "OSTSEG01", the total size (int64 little-endian, -1 while unknown),
//   then one byte per segment (1 present).
// Data is written before its segment is marked, so a killed process never
// leaves a marked segment without its bytes. A map that must be rewritten
// whole (new, damaged) is replaced through a temporary file and a rename, so
// a kill during the rewrite leaves the old map.

#include "platform/base/Types.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

namespace ostrel {

struct SegmentRun {
    LONGLONG first;   // segment index
    LONGLONG last;    // inclusive; -1 when the size is unknown (open end)
};

class SegmentFile {
public:
    // Opens or creates both files; a map that cannot be read starts empty.
    static std::unique_ptr<SegmentFile> open(const std::filesystem::path& target,
                                             const std::filesystem::path& map);
    ~SegmentFile();
    SegmentFile(const SegmentFile&) = delete;
    SegmentFile& operator=(const SegmentFile&) = delete;

    LONGLONG total() const;        // -1 while unknown
    LONGLONG downloaded() const;
    bool complete() const;
    bool present(LONGLONG index) const;
    // The next run of missing segments at or after from (wrapping to the start).
    std::optional<SegmentRun> next_missing(LONGLONG from) const;

    // Records the size the server reports. A size that differs from a known one
    // means the content changed: the map is emptied. False when that happened.
    bool set_total(LONGLONG total);
    // Writes bytes at position, part of a run that began at run_start (segment
    // aligned), and marks every segment of the run that is now whole. At the
    // end of content of unknown size, finish_unknown_size(end) marks the last.
    bool write(LONGLONG run_start, LONGLONG position, const void* data, std::size_t size);
    void finish_unknown_size(LONGLONG end);

    LONG read(LONGLONG offset, void* buffer, LONG size, LONG* read) const;

private:
    SegmentFile(int data_fd, int map_fd, LONGLONG total, std::vector<BYTE> marks);
    void mark(LONGLONG index);             // m_lock held
    void store_total();                    // m_lock held
    LONGLONG segment_end(LONGLONG index) const;   // m_lock held

    const int m_data_fd;
    const int m_map_fd;
    mutable std::mutex m_lock;
    LONGLONG m_total;              // guarded by m_lock
    std::vector<BYTE> m_marks;     // guarded by m_lock
    LONGLONG m_present = 0;        // guarded by m_lock: segments marked
};

}
