#include "ContentCacheItem.h"

#include "platform/base/DebugLog.h"
#include "platform/fs/Folders.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

constexpr DWORD save_every_bytes = 1048576;

}

tContentCacheItem::tContentCacheItem(const tContentKey& key, const std::string& folder,
                                     std::chrono::milliseconds read_wait)
    : tBaseObject("tContentCacheItem"),
      m_read_wait(read_wait),
      m_info_path(plat::join_path(folder, CacheFileName(key) + ".info")),
      m_data_path(plat::join_path(folder, CacheFileName(key) + ".data"))
{
    RegisterInterface(ID_IBaseInterface, static_cast<IDataCacheItem*>(this));
    RegisterInterface(ID_IDataCacheItem, static_cast<IDataCacheItem*>(this));
    RegisterInterface(ID_ICacheBufferLeak, static_cast<ICacheBufferLeak*>(this));
    m_header.key = key;
    m_header.segment_size = SEGMENT_SIZE;
    m_head.Allocate(SEGMENT_SIZE);
}

std::unique_ptr<tContentCacheItem> tContentCacheItem::Create(const tContentKey& key, const std::string& folder,
                                                             std::chrono::milliseconds read_wait)
{
    std::unique_ptr<tContentCacheItem> item(new tContentCacheItem(key, folder, read_wait));
    if (!item->m_disk.Create(item->m_data_path)) return nullptr;
    item->m_made = true;
    return item;
}

std::unique_ptr<tContentCacheItem> tContentCacheItem::Load(const tContentKey& key, const std::string& folder,
                                                           std::chrono::milliseconds read_wait)
{
    std::unique_ptr<tContentCacheItem> item(new tContentCacheItem(key, folder, read_wait));
    const std::optional<ULONGLONG> data_size = item->m_disk.Open(item->m_data_path);
    if (!data_size || *data_size > MAX_CONTENT_SIZE) return nullptr;
    tCacheInfoHeader header;
    std::vector<LONG> table;
    if (LoadInfoFile(item->m_info_path, false, data_size, header, table) != RESULT_OK || !(header.key == key))
        return nullptr;
    for (std::size_t index = 0; index < table.size(); ++index)
        if (table[index] != SLOT_ABSENT && item->m_ranges.InsertPair(index, index) != RESULT_OK) return nullptr;
    item->m_header = header;
    item->m_held_bytes = header.present_bytes;
    item->m_disk.SetLast(header.last_index, header.last_length);
    item->m_disk.Adopt(std::move(table), *data_size, header.present_count, header.present_bytes);
    item->m_made = true;
    return item;
}

tContentCacheItem::~tContentCacheItem()
{
    m_saver.Stop();
    // A half-made item leaves the files it could not load alone.
    const bool nothing_stored = m_made && m_disk.StoredCount() == 0;
    m_disk.Close();
    if (nothing_stored) {
        std::error_code ignored;
        std::filesystem::remove(m_info_path, ignored);
        std::filesystem::remove(m_data_path, ignored);
    }
}

bool tContentCacheItem::Save()
{
    std::scoped_lock hold(m_lock);
    const bool saved = save_locked();
    m_saver.Drain();
    return saved && !m_saver.TakeFailure();
}

void tContentCacheItem::CloseForGood()
{
    std::scoped_lock hold(m_lock);
    m_saver.Stop();
    bool durable = true;
    if (m_changed) {
        flush_write_store_locked();
        durable = m_disk.Flush();
    }
    m_disk.Close();
    // Without durable data the old index stays: it points only at stored bytes.
    if (m_changed && durable) SaveInfoFile(m_info_path, m_header, m_disk.Table());
    m_changed = false;
}

bool tContentCacheItem::save_locked()
{
    if (!m_changed) return true;
    const bool flushed = flush_write_store_locked();
    m_saver.Save(m_header, m_disk.Table());
    m_changed = false;
    m_bytes_since_save = 0;
    // A failure of an earlier save surfaces here: the disk refused the data.
    if (m_saver.TakeFailure()) m_write_through = true;
    return flushed && !m_write_through;
}

bool tContentCacheItem::flush_write_store_locked()
{
    const std::vector<ULONGLONG> lost = m_write_store.FlushTo(m_disk);
    m_header.present_count = m_disk.StoredCount();
    m_header.present_bytes = m_disk.StoredBytes();
    if (lost.empty()) return true;
    forget_locked(lost);
    m_write_through = true;
    return false;
}

// Segments that never reached ".data" are not held: the write store is empty
// now, so what the disk holds is all there is.
void tContentCacheItem::forget_locked(const std::vector<ULONGLONG>& lost)
{
    for (const ULONGLONG index : lost) m_read_store.Erase(index);
    m_ranges.Reset();
    const std::vector<LONG>& table = m_disk.Table();
    for (std::size_t index = 0; index < table.size(); ++index)
        if (table[index] != SLOT_ABSENT) m_ranges.InsertPair(index, index);
    m_held_bytes = m_disk.StoredBytes();
}

bool tContentCacheItem::holds_locked(ULONGLONG index)
{
    return m_read_store.HasSegment(index) == RESULT_OK || m_write_store.HasSegment(index) == RESULT_OK ||
           m_disk.HasSegment(index) == RESULT_OK;
}

ULONGLONG tContentCacheItem::content_end_locked() const
{
    return m_header.LastKnown() ? m_header.last_index * SEGMENT_SIZE + m_header.last_length : MAX_CONTENT_SIZE;
}

bool tContentCacheItem::past_end_locked(ULONGLONG position) const
{
    return position >= content_end_locked();
}

BaseResult tContentCacheItem::read_segment_locked(ULONGLONG index, tSegment& buffer)
{
    BaseResult result = m_read_store.ReadSegment(index, buffer);
    if (result == RESULT_FAIL) {
        for (tSegmentCache* store : {static_cast<tSegmentCache*>(&m_write_store), static_cast<tSegmentCache*>(&m_disk)}) {
            result = store->ReadSegment(index, buffer);
            if (result != RESULT_FAIL) break;
        }
        if (result == RESULT_OK) m_read_store.WriteSegment(index, buffer);
    }
    if (result == RESULT_OK && index == m_header.last_index) return RESULT_END_OF_CONTENT;
    return result;
}

// Only whole segments are taken: the last one at its own length, every other
// at the segment size.
BaseResult tContentCacheItem::write_segment_locked(ULONGLONG index, const tSegment& buffer)
{
    const DWORD length = buffer.Capacity();
    if (index >= MAX_SEGMENT_COUNT || (m_header.LastKnown() && index > m_header.last_index)) return RESULT_SIZE_MISMATCH;
    if (length == 0 || length > SEGMENT_SIZE || buffer.Data() == nullptr) return RESULT_SIZE_MISMATCH;
    const tSegment* source = &buffer;
    tSegment fitted;
    if (index == m_header.last_index) {
        if (length != m_header.last_length) {
            fitted.Allocate(m_header.last_length);
            std::memset(fitted.Data(), 0, m_header.last_length);
            std::memcpy(fitted.Data(), buffer.Data(), std::min(length, m_header.last_length));
            source = &fitted;
        }
    } else if (length != SEGMENT_SIZE) {
        return RESULT_SIZE_MISMATCH;
    }
    m_changed = true;
    const bool new_segment = !holds_locked(index);
    const BaseResult stored = m_write_store.WriteSegment(index, *source);
    if (stored != RESULT_OK && stored != RESULT_CACHE_FULL) return RESULT_FAIL;

    const DWORD written = source->Capacity();
    m_leaked_bytes += written;
    m_ranges.InsertPair(index, index);
    m_header.last_written = index;
    if (new_segment) m_held_bytes += written;
    m_bytes_since_save += written;
    // Counted first: a flush that fails takes back what it could not store.
    bool kept = (stored != RESULT_CACHE_FULL && !m_write_through) || flush_write_store_locked();
    if (m_bytes_since_save > save_every_bytes ||
        (m_header.total_size != 0 && m_held_bytes >= m_header.total_size))
        kept = save_locked() && kept;
    return kept ? RESULT_OK : RESULT_FAIL;
}

BaseResult tContentCacheItem::take_complete_locked(ULONGLONG first, ULONGLONG last)
{
    BaseResult result = RESULT_OK;
    for (tSegment& segment : m_pending.TakeSegments(first, last, m_header.last_index, m_header.last_length)) {
        plat::debug_log("Write segment: " + std::to_string(segment.Index()) + "\n");
        if (write_segment_locked(segment.Index(), segment) == RESULT_FAIL) result = RESULT_FAIL;
    }
    return result;
}

void tContentCacheItem::wake_readers()
{
    // Taking the lock orders the wake-up after any reader's last look at the stores.
    { std::scoped_lock hold(m_lock); }
    m_arrived.notify_all();
}

BaseResult tContentCacheItem::set_total_locked(DWORD total)
{
    if (total > MAX_CONTENT_SIZE) return RESULT_SIZE_MISMATCH;
    m_header.SetTotal(total);
    BaseResult result = RESULT_OK;
    if (total != 0) {
        m_disk.SetLast(m_header.last_index, m_header.last_length);
        result = take_complete_locked(m_header.last_index, m_header.last_index);
    }
    m_changed = true;
    m_arrived.notify_all();
    return result;
}

DWORD tContentCacheItem::head_fill()
{
    std::scoped_lock hold(m_head_lock);
    return m_head_fill;
}

DWORD tContentCacheItem::read_head(BYTE* buffer, ULONGLONG position, DWORD length)
{
    std::scoped_lock hold(m_head_lock);
    if (position >= m_head_fill) return 0;
    const DWORD n = static_cast<DWORD>(std::min<ULONGLONG>(length, m_head_fill - position));
    std::memcpy(buffer, m_head.Data() + position, n);
    return n;
}

// Waits, without the lock, until `ready` holds. 109 when the caller cancels,
// 101 when a wait runs out (timeout mode -1 waits on).
template <class Ready>
BaseResult tContentCacheItem::wait_locked(std::unique_lock<std::mutex>& hold, Ready ready, int timeout_mode,
                                          const std::stop_token& cancel)
{
    for (;;) {
        if (m_arrived.wait_for(hold, cancel, m_read_wait, ready)) return RESULT_OK;
        if (cancel.stop_requested()) return RESULT_CANCELLED;
        if (timeout_mode != -1) return RESULT_TIMEOUT;
    }
}

BaseResult tContentCacheItem::read_data(BYTE* buffer, ULONGLONG position, DWORD length, DWORD& done, bool wait,
                                        int timeout_mode, const std::stop_token& cancel)
{
    std::unique_lock hold(m_lock);
    while (done < length) {
        const ULONGLONG at = position + done;
        if (past_end_locked(at)) return RESULT_END_OF_CONTENT;
        const ULONGLONG index = at / SEGMENT_SIZE;
        const DWORD offset = static_cast<DWORD>(at % SEGMENT_SIZE);
        if (index == 0 && !holds_locked(0)) {
            // Until segment 0 is whole, its first bytes come from the head.
            const DWORD n = read_head(buffer + done, at, length - done);
            done += n;
            if (n > 0) continue;
            if (!wait) return RESULT_FAIL;
            const BaseResult waited = wait_locked(
                hold, [&] { return holds_locked(0) || head_fill() > at; }, timeout_mode, cancel);
            if (waited != RESULT_OK) return waited;
            continue;
        }
        tSegment segment;
        const BaseResult found = read_segment_locked(index, segment);
        if (found == RESULT_OK || found == RESULT_END_OF_CONTENT) {
            DWORD n = std::min(segment.Capacity() - std::min(offset, segment.Capacity()), length - done);
            if (m_header.LastKnown()) n = static_cast<DWORD>(std::min<ULONGLONG>(n, content_end_locked() - at));
            std::memcpy(buffer + done, segment.Data() + offset, n);
            done += n;
            if (found == RESULT_END_OF_CONTENT && at + n == content_end_locked()) return RESULT_END_OF_CONTENT;
            continue;
        }
        if (!wait) return RESULT_OK;
        const BaseResult waited = wait_locked(
            hold, [&] { return holds_locked(index) || past_end_locked(at); }, timeout_mode, cancel);
        if (waited != RESULT_OK) return waited;
    }
    return RESULT_OK;
}

BaseResult tContentCacheItem::ReadData(BYTE* buffer, ULONGLONG position, DWORD length, DWORD* read, bool wait,
                                       int timeout_mode, std::stop_token cancel) noexcept
{
    DWORD done = 0;
    const BaseResult result = guarded_call([&] {
        if (buffer == nullptr && length != 0) return RESULT_FAIL;
        return read_data(buffer, position, length, done, wait, timeout_mode, cancel);
    });
    if (read) *read = done;
    return result;
}

BaseResult tContentCacheItem::WriteData(const BYTE* bytes, ULONGLONG position, DWORD length) noexcept
{
    return guarded_call([&] {
        if (bytes == nullptr && length != 0) return RESULT_FAIL;
        if (length == 0) return RESULT_OK;
        if (position >= MAX_CONTENT_SIZE || length > MAX_CONTENT_SIZE - position) return RESULT_SIZE_MISMATCH;
        const ULONGLONG end = position + length;
        std::scoped_lock hold(m_lock);
        if (m_header.total_size != 0 && end > m_header.total_size) return RESULT_SIZE_MISMATCH;
        m_pending.Insert(position, bytes, length);
        const BaseResult stored = take_complete_locked(position / SEGMENT_SIZE, (end - 1) / SEGMENT_SIZE);
        m_arrived.notify_all();
        return stored;
    });
}

BaseResult tContentCacheItem::AppendData(const BYTE* bytes, DWORD position, DWORD length) noexcept
{
    if (bytes == nullptr && length != 0) return RESULT_FAIL;
    {
        std::scoped_lock hold(m_head_lock);
        if (position >= SEGMENT_SIZE || position != m_head_fill || length == 0) return RESULT_OK;
        const DWORD n = std::min(length, SEGMENT_SIZE - m_head_fill);
        std::memcpy(m_head.Data() + m_head_fill, bytes, n);
        m_head_fill += n;
    }
    wake_readers();
    return RESULT_OK;
}

BaseResult tContentCacheItem::ReadSegment(ULONGLONG index, tSegment& buffer)
{
    std::scoped_lock hold(m_lock);
    return read_segment_locked(index, buffer);
}

BaseResult tContentCacheItem::WriteSegment(ULONGLONG index, const tSegment& buffer)
{
    std::scoped_lock hold(m_lock);
    const BaseResult result = write_segment_locked(index, buffer);
    m_arrived.notify_all();
    return result;
}

BaseResult tContentCacheItem::ReadSegment(ULONGLONG index, tSegment* buffer) noexcept
{
    return guarded_call([&] { return buffer ? ReadSegment(index, *buffer) : RESULT_FAIL; });
}

BaseResult tContentCacheItem::ReleaseSegmentBuffer(tSegment* buffer) noexcept
{
    if (buffer) buffer->Free();
    return RESULT_OK;
}

BaseResult tContentCacheItem::WriteSegment(ULONGLONG index, tSegment* buffer) noexcept
{
    return guarded_call([&] { return buffer ? WriteSegment(index, *buffer) : RESULT_FAIL; });
}

BaseResult tContentCacheItem::HasSegment(ULONGLONG index) noexcept
{
    std::scoped_lock hold(m_lock);
    return holds_locked(index) ? RESULT_OK : RESULT_FAIL;
}

BaseResult tContentCacheItem::GetKey(tContentKey* key) noexcept
{
    if (key == nullptr) return RESULT_FAIL;
    *key = m_header.key;
    return RESULT_OK;
}

BaseResult tContentCacheItem::SetLastSegment(ULONGLONG last_index, DWORD last_length) noexcept
{
    return guarded_call([&] {
        if (last_length > SEGMENT_SIZE || last_index >= MAX_SEGMENT_COUNT) return RESULT_SIZE_MISMATCH;
        const ULONGLONG total = last_index * SEGMENT_SIZE + last_length;
        if (total > MAX_CONTENT_SIZE) return RESULT_SIZE_MISMATCH;
        std::scoped_lock hold(m_lock);
        return set_total_locked(static_cast<DWORD>(total));
    });
}

ULONGLONG tContentCacheItem::GetLastSegment(DWORD* last_length) noexcept
{
    std::scoped_lock hold(m_lock);
    if (last_length) *last_length = m_header.last_length;
    return m_header.last_index;
}

BaseResult tContentCacheItem::GetIndexRange(tIndexRange* range) noexcept
{
    return guarded_call([&] {
        if (range == nullptr) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        *range = m_ranges;
        return RESULT_OK;
    });
}

ULONGLONG tContentCacheItem::GetLastWritten() noexcept
{
    std::scoped_lock hold(m_lock);
    return m_header.last_written;
}

DWORD tContentCacheItem::GetTotalSize() noexcept
{
    std::scoped_lock hold(m_lock);
    return m_header.total_size;
}

BaseResult tContentCacheItem::SetTotalSize(DWORD total) noexcept
{
    return guarded_call([&] {
        std::scoped_lock hold(m_lock);
        return set_total_locked(total);
    });
}

BaseResult tContentCacheItem::AddUse() noexcept
{
    std::scoped_lock hold(m_lock);
    ++m_uses;
    return RESULT_OK;
}

DWORD tContentCacheItem::GetMemoryInUse() noexcept
{
    std::scoped_lock hold(m_lock);
    return m_held_bytes;
}

DWORD tContentCacheItem::GetLeakedBytes() noexcept
{
    std::scoped_lock hold(m_lock);
    return m_leaked_bytes;
}

BaseResult tContentCacheItem::SubtractLeakedBytes(DWORD bytes) noexcept
{
    std::scoped_lock hold(m_lock);
    m_leaked_bytes -= std::min(bytes, m_leaked_bytes);
    return RESULT_OK;
}

BaseResult tContentCacheItem::ClearLeakedBytes() noexcept
{
    std::scoped_lock hold(m_lock);
    m_leaked_bytes = 0;
    return RESULT_OK;
}
