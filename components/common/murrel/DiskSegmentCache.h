#pragma once
// Segments stored in an item's ".data" file: slots of exactly the segment
// size, found through the offset table that the ".info" file keeps.

#include "components/common/murrel/SegmentCache.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class tDiskSegmentCache : public tSegmentCache {
public:
    tDiskSegmentCache();

    // Creates an empty ".data" file (truncating any old one).
    bool Create(const std::string& data_path);
    // Opens an existing ".data" file for reading and writing; its size, or
    // nothing when it cannot be opened.
    std::optional<ULONGLONG> Open(const std::string& data_path);
    // Takes a loaded table; new slots go after the file's last whole slot.
    void Adopt(std::vector<LONG> table, ULONGLONG data_size, DWORD stored_count, DWORD stored_bytes);
    void SetLast(ULONGLONG last_index, DWORD last_length);
    // Pushes buffered bytes to the file.
    bool Flush();
    // Cuts ".data" after the last slot and closes it.
    void Close();

    BaseResult ReadSegment(ULONGLONG index, tSegment& buffer) override;
    // 106 when a new slot would pass the 2 GiB the table's offsets reach.
    BaseResult WriteSegment(ULONGLONG index, const tSegment& buffer) override;
    BaseResult HasSegment(ULONGLONG index) override;
    DWORD GetCount() override { return m_stored_count; }

    DWORD StoredCount() const { return m_stored_count; }
    DWORD StoredBytes() const { return m_stored_bytes; }
    const std::vector<LONG>& Table() const { return m_table; }

private:
    struct FileClose {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    LONG slot_of(ULONGLONG index) const;
    DWORD length_of(ULONGLONG index) const { return index == m_last_index ? m_last_length : SEGMENT_SIZE; }

    ULONGLONG m_last_index;      // all ones while the total is unknown
    DWORD m_last_length;
    ULONGLONG m_slot_bytes{0};   // length of ".data" in whole slots
    DWORD m_stored_bytes{0};
    DWORD m_stored_count{0};
    std::unique_ptr<std::FILE, FileClose> m_data;
    std::vector<LONG> m_table;   // by segment index; -1 absent
};
