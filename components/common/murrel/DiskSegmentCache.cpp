#include "DiskSegmentCache.h"

#include "components/common/murrel/CacheInfo.h"
#include "components/common/murrel/Segment.h"
#include "platform/base/DebugLog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t fresh_table_entries = 4096;
constexpr std::size_t table_growth = 100;

// Runs a positioned read or write until the whole length is done; false on
// an error or an end of file.
template <class Byte, class Io>
bool transfer_all(Io io, int fd, Byte* bytes, std::size_t length, off_t at)
{
    while (length > 0) {
        const ssize_t n = io(fd, bytes, length, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
        at += n;
    }
    return true;
}

bool read_all(int fd, BYTE* bytes, std::size_t length, off_t at) { return transfer_all(::pread, fd, bytes, length, at); }

bool write_all(int fd, const BYTE* bytes, std::size_t length, off_t at)
{
    return transfer_all(::pwrite, fd, bytes, length, at);
}

}

tDiskSegmentCache::tDiskSegmentCache()
    : m_last_index(SEGMENT_INDEX_UNSET), m_last_length(~0u), m_table(fresh_table_entries, SLOT_ABSENT)
{
}

bool tDiskSegmentCache::Create(const std::string& data_path)
{
    m_data = plat::UniqueFd(::open(data_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    m_slot_bytes = 0;
    m_free_slots.clear();
    return m_data.valid();
}

std::optional<ULONGLONG> tDiskSegmentCache::Open(const std::string& data_path)
{
    m_data = plat::UniqueFd(::open(data_path.c_str(), O_RDWR | O_CLOEXEC));
    struct stat info {};
    if (!m_data.valid() || ::fstat(m_data.get(), &info) != 0) {
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
    std::vector<bool> used(static_cast<std::size_t>(m_slot_bytes / SEGMENT_SIZE), false);
    for (const LONG offset : m_table)
        if (offset != SLOT_ABSENT && static_cast<ULONGLONG>(offset) < m_slot_bytes) used[offset / SEGMENT_SIZE] = true;
    m_free_slots.clear();
    for (std::size_t slot = used.size(); slot-- > 0;)
        if (!used[slot]) m_free_slots.push_back(static_cast<LONG>(slot * SEGMENT_SIZE));
}

void tDiskSegmentCache::SetLast(ULONGLONG last_index, DWORD last_length)
{
    m_last_index = last_index;
    m_last_length = last_length;
}

bool tDiskSegmentCache::Flush()
{
    return m_data.valid() && ::fdatasync(m_data.get()) == 0;
}

void tDiskSegmentCache::Close()
{
    if (!m_data.valid()) return;
    struct stat info {};
    if (::fstat(m_data.get(), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<ULONGLONG>(info.st_size) != m_slot_bytes &&
        ::ftruncate(m_data.get(), static_cast<off_t>(m_slot_bytes)) != 0)
        plat::debug_log("murrel: cannot cut the data file to its slots");
    if (m_data.close() != 0) plat::debug_log("murrel: the data file reported an error on closing");
}

LONG tDiskSegmentCache::slot_of(ULONGLONG index) const
{
    return index < m_table.size() ? m_table[index] : SLOT_ABSENT;
}

BaseResult tDiskSegmentCache::ReadSegment(ULONGLONG index, tSegment& buffer)
{
    const LONG offset = slot_of(index);
    if (!m_data.valid() || offset == SLOT_ABSENT) return RESULT_FAIL;
    const DWORD length = length_of(index);
    if (buffer.Capacity() != 0 && buffer.Capacity() != length) return RESULT_SIZE_MISMATCH;
    const bool allocated = buffer.Capacity() == 0;
    if (allocated) buffer.Allocate(length);
    if (!read_all(m_data.get(), buffer.Data(), length, offset)) {
        if (allocated) buffer.Free();
        return RESULT_FAIL;
    }
    buffer.SetIndex(index);
    return RESULT_OK;
}

LONG tDiskSegmentCache::take_slot()
{
    if (!m_free_slots.empty()) {
        const LONG slot = m_free_slots.back();
        m_free_slots.pop_back();
        return slot;
    }
    if (m_slot_bytes + SEGMENT_SIZE > MAX_CONTENT_SIZE) return SLOT_ABSENT;
    const auto slot = static_cast<LONG>(m_slot_bytes);
    m_slot_bytes += SEGMENT_SIZE;
    return slot;
}

void tDiskSegmentCache::give_slot_back(LONG slot)
{
    if (static_cast<ULONGLONG>(slot) + SEGMENT_SIZE == m_slot_bytes) {
        m_slot_bytes -= SEGMENT_SIZE;
        return;
    }
    m_free_slots.insert(std::upper_bound(m_free_slots.begin(), m_free_slots.end(), slot, std::greater<>()), slot);
}

BaseResult tDiskSegmentCache::WriteSegment(ULONGLONG index, const tSegment& buffer)
{
    if (!m_data.valid()) return RESULT_FAIL;
    if (index >= MAX_SEGMENT_COUNT) return RESULT_SIZE_MISMATCH;
    if (buffer.Capacity() > SEGMENT_SIZE) {
        plat::debug_log("Internal Error: Cannot write data to cache file.\n");
        return RESULT_FAIL;
    }
    LONG slot = slot_of(index);
    const bool new_slot = slot == SLOT_ABSENT;
    if (new_slot) slot = take_slot();
    if (slot == SLOT_ABSENT) return RESULT_SIZE_MISMATCH;
    if (index >= m_table.size()) m_table.resize(index + table_growth, SLOT_ABSENT);
    plat::debug_log("Offset = " + std::to_string(slot) + "\n");
    // The slot is written whole, padding included, so the file never ends inside one.
    std::vector<BYTE> padded;
    const BYTE* bytes = buffer.Data();
    const DWORD length = buffer.Capacity();
    if (length != SEGMENT_SIZE) {
        padded.assign(SEGMENT_SIZE, 0);
        std::memcpy(padded.data(), bytes, length);
        bytes = padded.data();
    }
    if (!write_all(m_data.get(), bytes, SEGMENT_SIZE, slot)) {
        plat::debug_log(std::string("murrel: cannot write a segment: ") + std::strerror(errno));
        if (new_slot) give_slot_back(slot);
        return RESULT_FAIL;
    }
    m_table[index] = slot;
    if (new_slot) {
        m_stored_bytes += length;
        ++m_stored_count;
    }
    return RESULT_OK;
}

BaseResult tDiskSegmentCache::HasSegment(ULONGLONG index)
{
    return slot_of(index) == SLOT_ABSENT ? RESULT_FAIL : RESULT_OK;
}
