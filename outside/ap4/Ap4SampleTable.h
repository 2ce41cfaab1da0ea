#pragma once
// AP4_AtomSampleTable: a track's samples from its stbl atoms. Lookups are
// binary searches over running totals made once from the tables, so nothing
// per sample is kept beyond the sizes' running sum.

#include "outside/ap4/Ap4Sample.h"

#include <vector>

class AP4_ContainerAtom;
class AP4_CttsAtom;
class AP4_StcoAtom;
class AP4_StscAtom;
class AP4_StssAtom;
class AP4_StszAtom;
class AP4_SttsAtom;

class AP4_AtomSampleTable {
public:
    // Any table missing leaves the track without samples.
    AP4_AtomSampleTable(AP4_ContainerAtom* stbl, AP4_ByteStream* stream);
    ~AP4_AtomSampleTable();
    AP4_AtomSampleTable(const AP4_AtomSampleTable&) = delete;
    AP4_AtomSampleTable& operator=(const AP4_AtomSampleTable&) = delete;

    AP4_Size GetSampleCount() const { return m_sample_count; }
    // AP4_FAILURE for an index past the end or one the tables do not place.
    AP4_Result GetSample(AP4_Ordinal index, AP4_Sample& sample) const;
    // The sample whose decoding time span holds ts (in the media time scale);
    // at or past the last sample's end, the sample count.
    AP4_Result GetSampleIndexForTimeStamp(AP4_UI64 ts, AP4_Ordinal& index) const;

private:
    struct ChunkRun {          // an stsc entry with the sample it starts at
        AP4_UI64 first_sample;
        AP4_UI32 first_chunk;  // from 0
        AP4_UI32 samples_per_chunk;
        int description_index;
    };
    struct TimeRun {           // an stts entry with where it starts
        AP4_UI64 first_sample;
        AP4_UI64 first_dts;
        AP4_UI32 count, delta;
    };
    struct OffsetRun {         // a ctts entry with the sample it starts at
        AP4_UI64 first_sample;
        AP4_SI32 offset;
    };

    AP4_StreamReference m_stream;
    AP4_StszAtom* m_stsz{nullptr};   // atoms of the stbl, owned there
    AP4_StcoAtom* m_stco{nullptr};
    AP4_StssAtom* m_stss{nullptr};
    AP4_Size m_sample_count{0};
    std::vector<AP4_UI64> m_size_sums;   // sizes of the samples before each, when they vary
    std::vector<ChunkRun> m_chunks;
    std::vector<TimeRun> m_times;
    std::vector<OffsetRun> m_offsets;
};
