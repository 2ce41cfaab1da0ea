#include "outside/ap4/Ap4StsdAtom.h"

#include "outside/ap4/Ap4SampleDescription.h"
#include "outside/ap4/Ap4SampleEntry.h"

AP4_StsdAtom::AP4_StsdAtom(const ap4::AtomHeader& h) : AP4_ContainerAtom(h) {}

AP4_StsdAtom::~AP4_StsdAtom() = default;

void AP4_StsdAtom::MakeSampleDescriptions()
{
    m_entries.clear();
    m_descriptions.clear();
    for (const auto& child : GetChildren())
        if (auto* entry = dynamic_cast<AP4_SampleEntry*>(child.get())) {
            m_entries.push_back(entry);
            m_descriptions.push_back(entry->ToSampleDescription());
        }
}

AP4_SampleDescription* AP4_StsdAtom::GetSampleDescription(AP4_Ordinal index) const
{
    return index < m_descriptions.size() ? m_descriptions[index].get() : nullptr;
}

AP4_SampleEntry* AP4_StsdAtom::GetSampleEntry(AP4_Ordinal index) const
{
    return index < m_entries.size() ? m_entries[index] : nullptr;
}
