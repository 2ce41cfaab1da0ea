#include "outside/ap4/Ap4SampleTable.h"

#include "outside/ap4/Ap4Atom.h"
#include "outside/ap4/Ap4SampleTableAtoms.h"

#include <algorithm>
#include <limits>

namespace {

template <class Atom>
Atom* child(AP4_ContainerAtom* stbl, const char* type)
{
    return dynamic_cast<Atom*>(stbl->FindChild(type));
}

AP4_UI64 saturating_product(AP4_UI64 a, AP4_UI64 b)
{
    return b != 0 && a > std::numeric_limits<AP4_UI64>::max() / b ? std::numeric_limits<AP4_UI64>::max() : a * b;
}

// The last run that starts at or before key.
template <class Runs, class Key>
auto run_of(const Runs& runs, AP4_UI64 value, Key key)
{
    auto after = std::upper_bound(runs.begin(), runs.end(), value, [&](AP4_UI64 v, const auto& r) { return v < key(r); });
    return after == runs.begin() ? runs.end() : std::prev(after);
}

}

AP4_AtomSampleTable::AP4_AtomSampleTable(AP4_ContainerAtom* stbl, AP4_ByteStream* stream) : m_stream(stream)
{
    if (!stbl) return;
    m_stsz = child<AP4_StszAtom>(stbl, "stsz");
    m_stco = child<AP4_StcoAtom>(stbl, "stco");
    if (!m_stco) m_stco = child<AP4_StcoAtom>(stbl, "co64");
    m_stss = child<AP4_StssAtom>(stbl, "stss");
    auto* stsc = child<AP4_StscAtom>(stbl, "stsc");
    auto* stts = child<AP4_SttsAtom>(stbl, "stts");
    if (!m_stsz || !m_stco || !stsc || !stts) return;

    const AP4_UI64 chunk_count = m_stco->GetChunkOffsets().size();
    AP4_UI64 placed = 0;   // the samples the chunk runs put somewhere
    for (const auto& e : stsc->GetEntries()) {
        // Chunk runs must start in order, within the chunks there are.
        if (e.first_chunk == 0 || e.first_chunk > chunk_count ||
            (!m_chunks.empty() && e.first_chunk - 1 <= m_chunks.back().first_chunk))
            break;
        if (!m_chunks.empty()) {
            const ChunkRun& last = m_chunks.back();
            placed = last.first_sample + saturating_product(e.first_chunk - 1 - last.first_chunk, last.samples_per_chunk);
        }
        m_chunks.push_back({placed, e.first_chunk - 1, e.samples_per_chunk, static_cast<int>(e.sample_description_index) - 1});
    }
    if (m_chunks.empty()) return;
    const ChunkRun& last = m_chunks.back();
    placed = last.first_sample + saturating_product(chunk_count - last.first_chunk, last.samples_per_chunk);

    AP4_UI64 timed = 0;
    for (const auto& e : stts->GetEntries()) {
        const AP4_UI64 dts = m_times.empty() ? 0 : m_times.back().first_dts + AP4_UI64{m_times.back().count} * m_times.back().delta;
        m_times.push_back({timed, dts, e.sample_count, e.sample_delta});
        timed += e.sample_count;
    }
    if (auto* ctts = child<AP4_CttsAtom>(stbl, "ctts")) {
        AP4_UI64 first = 0;
        for (const auto& e : ctts->GetEntries()) {
            m_offsets.push_back({first, e.sample_offset});
            first += e.sample_count;
        }
    }

    // Samples of one size each fill that many bytes of the file: a count
    // beyond what the file holds is cut, so a damaged table cannot make a
    // track of billions of samples.
    AP4_UI64 count = std::min({AP4_UI64{m_stsz->GetSampleCount()}, placed, timed});
    if (const AP4_UI32 size = m_stsz->GetSampleSize()) {
        AP4_LargeSize length = 0;
        if (stream) stream->GetSize(length);
        count = std::min<AP4_UI64>(count, length / size);
    }
    m_sample_count = static_cast<AP4_Size>(count);
    if (m_stsz->GetSampleSize() == 0) {
        m_size_sums.resize(std::size_t{m_sample_count} + 1);
        for (AP4_Ordinal i = 0; i < m_sample_count; ++i) m_size_sums[i + 1] = m_size_sums[i] + m_stsz->GetSampleSize(i);
    }
}

AP4_AtomSampleTable::~AP4_AtomSampleTable() = default;

AP4_Result AP4_AtomSampleTable::GetSample(AP4_Ordinal index, AP4_Sample& sample) const
{
    if (index >= m_sample_count) return AP4_FAILURE;
    const auto run = run_of(m_chunks, index, [](const ChunkRun& r) { return r.first_sample; });
    if (run == m_chunks.end() || run->samples_per_chunk == 0) return AP4_FAILURE;
    const AP4_UI64 in_run = index - run->first_sample;
    const AP4_UI64 chunk = run->first_chunk + in_run / run->samples_per_chunk;
    if (chunk >= m_stco->GetChunkOffsets().size()) return AP4_FAILURE;
    const AP4_UI64 first_in_chunk = index - in_run % run->samples_per_chunk;
    const AP4_UI32 constant = m_stsz->GetSampleSize();
    const AP4_UI64 before = constant ? (index - first_in_chunk) * constant
                                     : m_size_sums[index] - m_size_sums[first_in_chunk];
    const AP4_UI64 offset = m_stco->GetChunkOffsets()[chunk] + before;

    const auto time = run_of(m_times, index, [](const TimeRun& r) { return r.first_sample; });
    if (time == m_times.end()) return AP4_FAILURE;
    const AP4_UI64 dts = time->first_dts + (index - time->first_sample) * time->delta;
    AP4_SI64 cts = static_cast<AP4_SI64>(dts);
    const auto shift = run_of(m_offsets, index, [](const OffsetRun& r) { return r.first_sample; });
    if (shift != m_offsets.end()) cts += shift->offset;

    bool sync = true;
    if (m_stss) {
        const auto& syncs = m_stss->GetEntries();
        sync = std::binary_search(syncs.begin(), syncs.end(), index + 1);   // stored in order
    }
    sample = AP4_Sample(m_stream.get(), offset, m_stsz->GetSampleSize(index), run->description_index, dts, cts,
                        time->delta, sync);
    return AP4_SUCCESS;
}

AP4_Result AP4_AtomSampleTable::GetSampleIndexForTimeStamp(AP4_UI64 ts, AP4_Ordinal& index) const
{
    const auto run = run_of(m_times, ts, [](const TimeRun& r) { return r.first_dts; });
    if (run == m_times.end()) return AP4_FAILURE;
    const AP4_UI64 step = run->delta ? (ts - run->first_dts) / run->delta : 0;
    const AP4_UI64 at = run->first_sample + std::min<AP4_UI64>(step, run->count);
    index = static_cast<AP4_Ordinal>(std::min<AP4_UI64>(at, m_sample_count));
    return AP4_SUCCESS;
}
