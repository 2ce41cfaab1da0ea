#pragma once
// stsd: the sample entries of a track and the sample description each gives.

#include "outside/ap4/Ap4Atom.h"

#include <memory>
#include <vector>

class AP4_SampleDescription;
class AP4_SampleEntry;

class AP4_StsdAtom final : public AP4_ContainerAtom {
public:
    explicit AP4_StsdAtom(const ap4::AtomHeader& h);
    ~AP4_StsdAtom() override;

    // Called once the entries were read: makes their descriptions.
    void MakeSampleDescriptions();
    AP4_Size GetSampleDescriptionCount() const { return static_cast<AP4_Size>(m_descriptions.size()); }
    // Null for an index past the entries or an entry that gives no description.
    AP4_SampleDescription* GetSampleDescription(AP4_Ordinal index) const;
    AP4_SampleEntry* GetSampleEntry(AP4_Ordinal index) const;

private:
    std::vector<AP4_SampleEntry*> m_entries;   // children, owned as such
    std::vector<std::unique_ptr<AP4_SampleDescription>> m_descriptions;   // one per entry
};
