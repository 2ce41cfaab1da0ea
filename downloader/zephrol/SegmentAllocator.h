#pragma once
// The segment master's bookkeeping of segments: generates segment numbers at
// the pace of the item's rate, skips what the cache item already holds, hands
// out runs of consecutive segments with their buffers and takes them back.
// Used only on the master's worker thread.

#include "downloader/zephrol/Interfaces.h"

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class tSegmentAllocator {
public:
    // Milliseconds that wrap like GetTickCount; tests pass their own clock.
    using Clock = std::function<DWORD()>;

    explicit tSegmentAllocator(Clock clock = {});

    void SetSegmentSize(DWORD size) { m_segment_size = size; }
    // Bytes per second; 0 generates as fast as the waiting list allows.
    void SetRate(DWORD rate) { m_rate = rate; }
    DWORD Rate() const { return m_rate; }
    // Asked whether a segment is present; required before generating.
    void SetCacheItem(IDataCacheItem* item) { m_cache_item = item; }

    // The last segment is the one that holds the content's last byte.
    void SetTotalSize(DWORD total);
    bool SizeKnown() const { return m_size_known; }
    DWORD LastIndex() const { return m_last_index; }

    // Generation on, with the time that `credit_bytes` take at the rate counted
    // as already passed (none when unpaced). The accumulated time is kept.
    void StartGeneration(DWORD credit_bytes);
    void StopGeneration() { m_generating = false; }
    bool Generating() const { return m_generating; }
    void ResetGeneratedCount() { m_generated = 0; }
    // Where generation goes on, e.g. after a seek.
    void SetNextIndex(DWORD index) { m_next_index = index; }
    DWORD NextIndex() const { return m_next_index; }
    std::size_t PendingCount() const { return m_pending.size(); }

    // Generates from the next index to the content's end, then from its start
    // for what a seek skipped, so every missing segment comes round.
    void GenerateSegments();
    // Up to `count` pending segments of consecutive indexes, from the front,
    // each with a buffer of its size; empty when generation is off or nothing waits.
    std::vector<tSegmentRecord> GetContinuousSegments(DWORD count);
    // Puts handed-out segments back in front of the pending list, buffers and all.
    void GiveBack(const tSegmentRecord* records, std::size_t count);
    // Frees a handed-out segment's buffer; 100 when no such segment is out.
    BaseResult Remove(const tSegmentRecord& record);
    // Once the total is known: drops pending segments past the end and sizes the last one.
    void FixLastSegment();
    void ClearPending();
    void ClearOutstanding();

private:
    struct Slot {
        DWORD index;
        DWORD size;
        std::unique_ptr<BYTE[]> buffer;   // null until handed out
    };

    DWORD size_of(DWORD index) const;
    bool is_listed(DWORD index) const;
    void set_listed(DWORD index, bool listed);
    bool cache_holds(DWORD index) const;
    // Moves the next index past what is listed or held; false when it passed the end.
    bool skip_to_missing();

    Clock m_clock;
    DWORD m_total{0};
    DWORD m_segment_size{SEGMENT_BYTES};
    DWORD m_last_size{0};     // size of the last segment
    DWORD m_last_index{0};    // index of the last segment
    bool m_size_known{false};
    DWORD m_rate{0};
    DWORD m_last_tick{0};
    DWORD m_accumulated{0};   // milliseconds counted since generation began
    ULONGLONG m_generated{0};
    std::deque<Slot> m_pending;
    std::deque<Slot> m_outstanding;
    std::vector<bool> m_listed;   // by index: pending or outstanding
    bool m_generating{false};
    IDataCacheItem* m_cache_item{nullptr};
    DWORD m_next_index{0};
};
