#include "outside/ap4/Ap4SampleTableAtoms.h"

#include "outside/ap4/Ap4BodyReader.h"

namespace {

// The entry count, checked against the bytes its entries need.
AP4_UI32 entry_count(ap4::BodyReader& body, std::size_t entry_size)
{
    const auto count = body.get<AP4_UI32>();
    body.need(count, entry_size);
    return count;
}

}

AP4_SttsAtom::AP4_SttsAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    m_entries.resize(entry_count(body, 8));
    for (auto& e : m_entries) e = {body.get<AP4_UI32>(), body.get<AP4_UI32>()};
}

AP4_CttsAtom::AP4_CttsAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    m_entries.resize(entry_count(body, 8));
    for (auto& e : m_entries) {
        e.sample_count = body.get<AP4_UI32>();
        e.sample_offset = static_cast<AP4_SI32>(body.get<AP4_UI32>());
    }
}

AP4_StscAtom::AP4_StscAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    m_entries.resize(entry_count(body, 12));
    for (auto& e : m_entries) e = {body.get<AP4_UI32>(), body.get<AP4_UI32>(), body.get<AP4_UI32>()};
}

AP4_StszAtom::AP4_StszAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    m_sample_size = body.get<AP4_UI32>();
    m_sample_count = body.get<AP4_UI32>();
    if (m_sample_size != 0) return;
    body.need(m_sample_count, 4);
    m_sizes.resize(m_sample_count);
    for (auto& s : m_sizes) s = body.get<AP4_UI32>();
}

AP4_StcoAtom::AP4_StcoAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    const std::size_t width = h.type == AP4_ATOM_TYPE('c', 'o', '6', '4') ? 8 : 4;
    m_offsets.resize(entry_count(body, width));
    for (auto& o : m_offsets) o = body.get<AP4_UI64>(width);
}

AP4_StssAtom::AP4_StssAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    m_entries.resize(entry_count(body, 4));
    for (auto& e : m_entries) e = body.get<AP4_UI32>();
}
