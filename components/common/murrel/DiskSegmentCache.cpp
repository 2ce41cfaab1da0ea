#include "DiskSegmentCache.h"

#include "components/common/murrel/CacheInfo.h"
#include "components/common/murrel/Segment.h"
#include "platform/base/DebugLog.h"

#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t fresh_table_entries = 4096;
constexpr std::size_t table_growth = 100;

}

tDiskSegmentCache::tDiskSegmentCache()
    : m_last_index(SEGMENT_INDEX_UNSET), m_last_length(~0u), m_table(fresh_table_entries, SLOT_ABSENT)
{
}

bool tDiskSegmentCache::Create(const std::string& data_path)
{
    m_data.reset(std::fopen(data_path.c_str(), "wb+"));
    m_slot_bytes = 0;
    return m_data != nullptr;
}

std::optional<ULONGLONG> tDiskSegmentCache::Open(const std::string& data_path)
{
    m_data.reset(std::fopen(data_path.c_str(), "rb+"));
    struct stat info {};
    if (!m_data || ::fstat(::fileno(m_data.get()), &info) != 0) {
        m_data.reset();
        return std::nullopt;
    }
    return static_cast<ULONGLONG>(info.st_size);
}

void tDiskSegmentCache::Adopt(std::vector<LONG> table, ULONGLONG data_size, DWORD stored_count,
                              DWORD stored_bytes)
{
    m_table = std::move(table);
    m_slot_bytes = (data_size + SEGMENT_SIZE - 1) / SEGMENT_SIZE * SEGMENT_SIZE;
    m_stored_count = stored_count;
    m_stored_bytes = stored_bytes;
}

void tDiskSegmentCache::SetLast(ULONGLONG last_index, DWORD last_length)
{
    m_last_index = last_index;
    m_last_length = last_length;
}

bool tDiskSegmentCache::Flush()
{
    return m_data && std::fflush(m_data.get()) == 0;
}

void tDiskSegmentCache::Close()
{
    if (!m_data) return;
    std::fflush(m_data.get());
    const int fd = ::fileno(m_data.get());
    struct stat info {};
    if (::fstat(fd, &info) == 0 && static_cast<ULONGLONG>(info.st_size) != m_slot_bytes &&
        ::ftruncate(fd, static_cast<off_t>(m_slot_bytes)) != 0)
        plat::debug_log("murrel: cannot cut the data file to its slots");
    m_data.reset();
}

LONG tDiskSegmentCache::slot_of(ULONGLONG index) const
{
    return index < m_table.size() ? m_table[index] : SLOT_ABSENT;
}

BaseResult tDiskSegmentCache::ReadSegment(ULONGLONG index, tSegment& buffer)
{
    const LONG offset = slot_of(index);
    if (!m_data || offset == SLOT_ABSENT) return RESULT_FAIL;
    if (std::fseek(m_data.get(), offset, SEEK_SET) != 0) {
        m_table[index] = SLOT_ABSENT;
        return RESULT_FAIL;
    }
    const DWORD length = length_of(index);
    if (buffer.Capacity() != 0 && buffer.Capacity() != length) return RESULT_SIZE_MISMATCH;
    const bool allocated = buffer.Capacity() == 0;
    if (allocated) buffer.Allocate(length);
    if (std::fread(buffer.Data(), 1, length, m_data.get()) != length) {
        if (allocated) buffer.Free();
        return RESULT_FAIL;
    }
    buffer.SetIndex(index);
    return RESULT_OK;
}

BaseResult tDiskSegmentCache::WriteSegment(ULONGLONG index, const tSegment& buffer)
{
    if (!m_data) return RESULT_FAIL;
    if (index >= MAX_SEGMENT_COUNT) return RESULT_SIZE_MISMATCH;
    if (buffer.Capacity() > SEGMENT_SIZE) {
        plat::debug_log("Internal Error: Cannot write data to cache file.\n");
        return RESULT_FAIL;
    }
    LONG slot = slot_of(index);
    const bool new_slot = slot == SLOT_ABSENT;
    if (new_slot) {
        if (m_slot_bytes + SEGMENT_SIZE > MAX_CONTENT_SIZE) return RESULT_SIZE_MISMATCH;
        slot = static_cast<LONG>(m_slot_bytes);
    }
    if (index >= m_table.size()) m_table.resize(index + table_growth, SLOT_ABSENT);
    plat::debug_log("Offset = " + std::to_string(slot) + "\n");
    static const BYTE filler[SEGMENT_SIZE] = {};
    const DWORD length = buffer.Capacity();
    const bool written = std::fseek(m_data.get(), slot, SEEK_SET) == 0 &&
                         std::fwrite(buffer.Data(), 1, length, m_data.get()) == length &&
                         std::fwrite(filler, 1, SEGMENT_SIZE - length, m_data.get()) == SEGMENT_SIZE - length;
    if (!written) {
        m_table[index] = SLOT_ABSENT;
        return RESULT_FAIL;
    }
    m_table[index] = slot;
    if (new_slot) {
        m_slot_bytes += SEGMENT_SIZE;
        m_stored_bytes += length;
        ++m_stored_count;
    }
    return RESULT_OK;
}

BaseResult tDiskSegmentCache::HasSegment(ULONGLONG index)
{
    return slot_of(index) == SLOT_ABSENT ? RESULT_FAIL : RESULT_OK;
}
