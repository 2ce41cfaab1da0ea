#pragma once
// Segments stored in an item's ".data" file: slots of exactly the segment
// size, found through the offset table that the ".info" file keeps. Writes
// go straight to the file, so a failed one (a full disk) is known at once.

#include "components/common/murrel/SegmentCache.h"
#include "platform/fs/UniqueFd.h"

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
    // Takes a loaded table. Slots of the file that no index points to (written
    // after the last save of a process that was killed) are filled first; new
    // slots go after the file's last whole slot.
    void Adopt(std::vector<LONG> table, ULONGLONG data_size, DWORD stored_count, DWORD stored_bytes);
    void SetLast(ULONGLONG last_index, DWORD last_length);
    // Makes the written slots durable; an index saved after it points only at stored bytes.
    bool Flush();
    // Cuts ".data" after the last slot and closes it.
    void Close();

    BaseResult ReadSegment(ULONGLONG index, tSegment& buffer) override;
    // 106 when a new slot would pass the 2 GiB the table's offsets reach; 100
    // when the file refuses the bytes (the segment is then not held).
    BaseResult WriteSegment(ULONGLONG index, const tSegment& buffer) override;
    BaseResult HasSegment(ULONGLONG index) override;
    DWORD GetCount() override { return m_stored_count; }

    DWORD StoredCount() const { return m_stored_count; }
    DWORD StoredBytes() const { return m_stored_bytes; }
    const std::vector<LONG>& Table() const { return m_table; }

private:
    LONG slot_of(ULONGLONG index) const;
    // A slot for a new segment: a free one inside the file first; -1 past 2 GiB.
    LONG take_slot();
    void give_slot_back(LONG slot);
    DWORD length_of(ULONGLONG index) const { return index == m_last_index ? m_last_length : SEGMENT_SIZE; }

    ULONGLONG m_last_index;      // all ones while the total is unknown
    DWORD m_last_length;
    ULONGLONG m_slot_bytes{0};   // length of ".data" in whole slots
    DWORD m_stored_bytes{0};
    DWORD m_stored_count{0};
    plat::UniqueFd m_data;
    std::vector<LONG> m_table;        // by segment index; -1 absent
    std::vector<LONG> m_free_slots;   // unreferenced slots inside the file, highest first
};
