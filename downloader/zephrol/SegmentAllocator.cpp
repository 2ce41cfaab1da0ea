#include "SegmentAllocator.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Time.h"

#include <algorithm>

namespace {

// A waiting list longer than this stops generation until hand-outs drain it.
constexpr std::size_t max_pending = 100;

}

tSegmentAllocator::tSegmentAllocator(Clock clock) : m_clock(clock ? std::move(clock) : Clock(&GetTickCount)) {}

void tSegmentAllocator::SetTotalSize(DWORD total)
{
    if (total == 0 || m_segment_size == 0) return;
    m_total = total;
    // A total that is a multiple of the segment size ends with a full
    // segment, not with an empty one past the content.
    m_last_index = (total - 1) / m_segment_size;
    m_last_size = total - m_last_index * m_segment_size;
    m_size_known = true;
}

DWORD tSegmentAllocator::size_of(DWORD index) const
{
    return m_size_known && index == m_last_index ? m_last_size : m_segment_size;
}

void tSegmentAllocator::StartGeneration(DWORD credit_bytes)
{
    DWORD credit_ms = 0;
    if (m_rate != 0) credit_ms = static_cast<DWORD>((credit_bytes + ULONGLONG{m_rate} - 1) / m_rate * 1000);
    m_last_tick = m_clock() - credit_ms;
    m_generating = true;
}

void tSegmentAllocator::ClearPending()
{
    for (const Slot& s : m_pending) set_listed(s.index, false);
    m_pending.clear();
}

void tSegmentAllocator::ClearOutstanding()
{
    for (const Slot& s : m_outstanding) set_listed(s.index, false);
    m_outstanding.clear();
}

bool tSegmentAllocator::is_listed(DWORD index) const
{
    return index < m_listed.size() && m_listed[index];
}

void tSegmentAllocator::set_listed(DWORD index, bool listed)
{
    if (index >= m_listed.size()) {
        if (!listed) return;
        m_listed.resize(std::max<std::size_t>(index + 1, m_listed.size() * 2), false);
    }
    m_listed[index] = listed;
}

bool tSegmentAllocator::cache_holds(DWORD index) const
{
    return m_cache_item != nullptr && m_cache_item->HasSegment(index) == RESULT_OK;
}

bool tSegmentAllocator::skip_to_missing()
{
    while (is_listed(m_next_index) || cache_holds(m_next_index)) {
        if (m_size_known && m_next_index > m_last_index) return false;
        ++m_next_index;
    }
    return !(m_size_known && m_next_index > m_last_index);
}

void tSegmentAllocator::GenerateSegments()
{
    if (m_pending.size() > max_pending || !m_generating) return;
    const DWORD now = m_clock();
    m_accumulated += now - m_last_tick;
    m_last_tick = now;
    // The cap is checked on entry only: a paced round generates all the time
    // it owes, so a rate faster than the cap per tick is still delivered.
    ULONGLONG wanted = 0;
    if (m_rate == 0) {
        wanted = m_generated + (max_pending + 1 - m_pending.size());
    } else {
        const ULONGLONG target = ULONGLONG{m_accumulated} * m_rate / 1000;
        wanted = (target + 1024) / m_segment_size;
    }
    // Past the end, the segments before a seek point are still to come: one
    // more pass from the start finds them.
    bool wrapped = false;
    while (m_generated < wanted) {
        if (!skip_to_missing()) {
            if (wrapped) {
                m_next_index = m_last_index + 1;
                plat::debug_log("SegmentAllocator: meet the end of the content, stop generate new segment\n");
                return;
            }
            m_next_index = 0;
            wrapped = true;
            continue;
        }
        set_listed(m_next_index, true);
        m_pending.push_back(Slot{m_next_index, size_of(m_next_index), nullptr});
        ++m_next_index;
        ++m_generated;
    }
}

std::vector<tSegmentRecord> tSegmentAllocator::GetContinuousSegments(DWORD count)
{
    std::vector<tSegmentRecord> out;
    if (!m_generating) return out;
    while (out.size() < count && !m_pending.empty()) {
        Slot& front = m_pending.front();
        if (!out.empty() && front.index != out.back().offset / m_segment_size + 1) break;
        if (!front.buffer) front.buffer = std::make_unique<BYTE[]>(front.size);
        out.push_back(tSegmentRecord{front.index * m_segment_size, front.size, front.buffer.get()});
        m_outstanding.push_back(std::move(front));
        m_pending.pop_front();
    }
    return out;
}

void tSegmentAllocator::GiveBack(const tSegmentRecord* records, std::size_t count)
{
    for (std::size_t i = count; i-- > 0;) {
        const tSegmentRecord& r = records[i];
        const auto it = std::find_if(m_outstanding.begin(), m_outstanding.end(), [&](const Slot& s) {
            return s.index == r.offset / m_segment_size && s.buffer.get() == r.data;
        });
        if (it == m_outstanding.end()) continue;
        m_pending.push_front(std::move(*it));
        m_outstanding.erase(it);
    }
    std::stable_sort(m_pending.begin(), m_pending.end(), [](const Slot& a, const Slot& b) { return a.index < b.index; });
}

BaseResult tSegmentAllocator::Remove(const tSegmentRecord& record)
{
    const auto it = std::find_if(m_outstanding.begin(), m_outstanding.end(), [&](const Slot& s) {
        return s.index == record.offset / m_segment_size && s.buffer.get() == record.data;
    });
    if (it == m_outstanding.end()) return RESULT_FAIL;
    set_listed(it->index, false);
    m_outstanding.erase(it);
    return RESULT_OK;
}

void tSegmentAllocator::FixLastSegment()
{
    if (!m_size_known) return;
    std::erase_if(m_pending, [this](const Slot& s) {
        if (s.index <= m_last_index) return false;
        set_listed(s.index, false);
        return true;
    });
    for (Slot& s : m_pending) {
        if (s.index != m_last_index || s.size == m_last_size) continue;
        s.size = m_last_size;
        s.buffer.reset();   // handed out again with a buffer of the new size
    }
}
