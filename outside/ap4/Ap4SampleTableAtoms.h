#pragma once
// The sample table atoms: stts (decoding time deltas), ctts (composition
// offsets), stsc (samples per chunk), stsz (sample sizes), stco and co64
// (chunk offsets), stss (sync samples). Every entry count is checked against
// the atom's size before the table is allocated.

#include "outside/ap4/Ap4Atom.h"

#include <vector>

namespace ap4 {
class BodyReader;
}

class AP4_SttsAtom final : public AP4_Atom {
public:
    struct Entry {
        AP4_UI32 sample_count;
        AP4_UI32 sample_delta;
    };
    AP4_SttsAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    const std::vector<Entry>& GetEntries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
};

class AP4_CttsAtom final : public AP4_Atom {
public:
    struct Entry {
        AP4_UI32 sample_count;
        AP4_SI32 sample_offset;   // signed in both versions, as writers use it
    };
    AP4_CttsAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    const std::vector<Entry>& GetEntries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
};

class AP4_StscAtom final : public AP4_Atom {
public:
    struct Entry {
        AP4_UI32 first_chunk;   // from 1
        AP4_UI32 samples_per_chunk;
        AP4_UI32 sample_description_index;   // from 1
    };
    AP4_StscAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    const std::vector<Entry>& GetEntries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
};

class AP4_StszAtom final : public AP4_Atom {
public:
    AP4_StszAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    AP4_UI32 GetSampleCount() const { return m_sample_count; }
    // 0 when the sizes are in the table.
    AP4_UI32 GetSampleSize() const { return m_sample_size; }
    AP4_UI32 GetSampleSize(AP4_Ordinal index) const
    {
        return m_sample_size ? m_sample_size : m_sizes[index];
    }

private:
    AP4_UI32 m_sample_size{0};
    AP4_UI32 m_sample_count{0};
    std::vector<AP4_UI32> m_sizes;
};

// Both "stco" (32-bit offsets) and "co64" (64-bit offsets).
class AP4_StcoAtom final : public AP4_Atom {
public:
    AP4_StcoAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    const std::vector<AP4_UI64>& GetChunkOffsets() const { return m_offsets; }

private:
    std::vector<AP4_UI64> m_offsets;
};

class AP4_StssAtom final : public AP4_Atom {
public:
    AP4_StssAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    // Sample numbers from 1, as stored.
    const std::vector<AP4_UI32>& GetEntries() const { return m_entries; }

private:
    std::vector<AP4_UI32> m_entries;
};
