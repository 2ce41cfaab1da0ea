#pragma once
// One cached content: segments in a read store, a write store and the
// item's ".info"/".data" files, with readers that may wait for segments.

#include "components/common/murrel/CacheInfo.h"
#include "components/common/murrel/DiskSegmentCache.h"
#include "components/common/murrel/IndexRange.h"
#include "components/common/murrel/IndexSaver.h"
#include "components/common/murrel/Interfaces.h"
#include "components/common/murrel/MemSegmentCache.h"
#include "components/common/murrel/UnAlignedBuffer.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

class tContentCacheItem : public tSegmentCache, public tBaseObject<IDataCacheItem, ICacheBufferLeak> {
public:
    // How long a reader waits for a segment before it hears 101.
    static constexpr std::chrono::milliseconds default_read_wait{100000};

    // A new item: its ".data" file is created empty. Null when it cannot be.
    static std::unique_ptr<tContentCacheItem> Create(const tContentKey& key, const std::string& folder,
                                                     std::chrono::milliseconds read_wait);
    // The item stored in the folder; null when its files are missing, unreadable
    // or not a cache item.
    static std::unique_ptr<tContentCacheItem> Load(const tContentKey& key, const std::string& folder,
                                                   std::chrono::milliseconds read_wait);
    // Closes ".data"; removes both files when nothing was stored on disk.
    ~tContentCacheItem() override;

    // Writes what the write store holds and the ".info" file, when something
    // changed, and waits until both are on the disk; false when something
    // could not be stored.
    bool Save();
    // Saves and closes ".data" for good, cut after its last slot.
    void CloseForGood();
    const tContentKey& Key() const { return m_header.key; }
    const std::string& InfoPath() const { return m_info_path; }
    const std::string& DataPath() const { return m_data_path; }
    bool DeleteWhenIdle() const { return m_delete_when_idle; }
    void MarkDeleteWhenIdle() { m_delete_when_idle = true; }

    // IDataCacheItem
    BaseResult GetKey(tContentKey* key) noexcept override;
    BaseResult ReadData(BYTE* buffer, ULONGLONG position, DWORD length, DWORD* read, bool wait,
                        int timeout_mode, std::stop_token cancel) noexcept override;
    BaseResult WriteData(const BYTE* bytes, ULONGLONG position, DWORD length) noexcept override;
    BaseResult AppendData(const BYTE* bytes, DWORD position, DWORD length) noexcept override;
    DWORD GetSegmentSize() noexcept override { return m_header.segment_size; }
    BaseResult ReadSegment(ULONGLONG index, tSegment* buffer) noexcept override;
    BaseResult ReleaseSegmentBuffer(tSegment* buffer) noexcept override;
    BaseResult WriteSegment(ULONGLONG index, tSegment* buffer) noexcept override;
    BaseResult HasSegment(ULONGLONG index) noexcept override;
    BaseResult SetLastSegment(ULONGLONG last_index, DWORD last_length) noexcept override;
    ULONGLONG GetLastSegment(DWORD* last_length) noexcept override;
    BaseResult GetIndexRange(tIndexRange* range) noexcept override;
    ULONGLONG GetLastWritten() noexcept override;
    DWORD GetTotalSize() noexcept override;
    BaseResult SetTotalSize(DWORD total) noexcept override;
    BaseResult AddUse() noexcept override;
    DWORD GetMemoryInUse() noexcept override;

    // ICacheBufferLeak
    DWORD GetLeakedBytes() noexcept override;
    BaseResult SubtractLeakedBytes(DWORD bytes) noexcept override;
    BaseResult ClearLeakedBytes() noexcept override;

    // tSegmentCache: the item's own stores, taking its lock.
    BaseResult ReadSegment(ULONGLONG index, tSegment& buffer) override;
    BaseResult WriteSegment(ULONGLONG index, const tSegment& buffer) override;
    DWORD GetCount() override { return 0; }

private:
    tContentCacheItem(const tContentKey& key, const std::string& folder, std::chrono::milliseconds read_wait);

    // The *_locked helpers expect m_lock held.
    BaseResult read_segment_locked(ULONGLONG index, tSegment& buffer);
    BaseResult write_segment_locked(ULONGLONG index, const tSegment& buffer);
    bool holds_locked(ULONGLONG index);
    // Writes the write store to ".data"; false when a segment did not get
    // there, which is then no longer held.
    bool flush_write_store_locked();
    void forget_locked(const std::vector<ULONGLONG>& lost);
    // Flushes the write store and hands the index to the saver, which makes
    // ".data" durable before it writes the ".info" that points into it.
    bool save_locked();
    // 100 when a completed segment could not be stored.
    BaseResult take_complete_locked(ULONGLONG first, ULONGLONG last);
    BaseResult set_total_locked(DWORD total);
    // The content's end: the known total, else the most the files can hold.
    ULONGLONG content_end_locked() const;
    bool past_end_locked(ULONGLONG position) const;
    template <class Ready>
    BaseResult wait_locked(std::unique_lock<std::mutex>& hold, Ready ready, int timeout_mode,
                           const std::stop_token& cancel);
    BaseResult read_data(BYTE* buffer, ULONGLONG position, DWORD length, DWORD& done, bool wait,
                         int timeout_mode, const std::stop_token& cancel);
    DWORD read_head(BYTE* buffer, ULONGLONG position, DWORD length);
    DWORD head_fill();
    void wake_readers();

    const std::chrono::milliseconds m_read_wait;
    const std::string m_info_path;
    const std::string m_data_path;

    std::mutex m_lock;
    std::condition_variable_any m_arrived;     // notified after segments, head bytes or the end changed
    tReadMemSegmentCache m_read_store{10};     // guarded by m_lock
    tWriteMemSegmentCache m_write_store{10};   // guarded by m_lock
    tDiskSegmentCache m_disk;                  // guarded by m_lock
    tCacheInfoHeader m_header;                 // guarded by m_lock; the key and segment size never change
    tIndexRange m_ranges;                      // guarded by m_lock
    tUnAlignedBuffer m_pending;                // guarded by m_lock
    DWORD m_leaked_bytes{0};                   // guarded by m_lock
    DWORD m_held_bytes{0};                     // guarded by m_lock
    DWORD m_bytes_since_save{0};               // guarded by m_lock
    DWORD m_uses{0};                           // guarded by m_lock
    bool m_changed{false};                     // guarded by m_lock
    bool m_write_through{false};               // guarded by m_lock: the disk refused bytes, so every write goes
                                               // to it at once and fails at once
    bool m_delete_when_idle{false};            // guarded by the manager's lock
    bool m_made{false};                        // set once Create or Load succeeded

    std::mutex m_head_lock;                    // taken after m_lock when both are held
    tStreamBuffer m_head;                      // guarded by m_head_lock
    DWORD m_head_fill{0};                      // guarded by m_head_lock

    tIndexSaver m_saver{m_info_path, m_disk};  // stopped before ".data" closes
};
