#include "outside/ap4/Ap4LeafAtoms.h"

#include "outside/ap4/Ap4BodyReader.h"

#include <new>

namespace {

void take_rest(ap4::BodyReader& body, AP4_DataBuffer& out)
{
    const auto rest = body.rest();
    if (AP4_FAILED(out.SetData(rest.data(), static_cast<AP4_Size>(rest.size())))) throw std::bad_alloc();
    body.skip(rest.size());
}

}

AP4_AvcCAtom::AP4_AvcCAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h) { take_rest(body, m_payload); }

AP4_DcomAtom::AP4_DcomAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    m_compressor = body.get<AP4_UI32>();
}

AP4_CmvdAtom::AP4_CmvdAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    m_uncompressed_size = body.get<AP4_UI32>();
    take_rest(body, m_compressed);
}

AP4_ChplAtom::AP4_ChplAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    body.get<AP4_UI32>();
    const auto count = body.get<AP4_UI08>();
    // The count may claim more chapters than the atom holds: reading stops at
    // the first chapter that does not fit.
    for (int i = 0; i < count && body.holds(1, 9); ++i) {
        Chapter c;
        c.start = body.get<AP4_UI64>();
        const auto length = body.get<AP4_UI08>();
        if (!body.holds(length, 1)) break;
        c.title.resize(length);
        body.read_bytes(c.title.data(), length);
        m_chapters.push_back(std::move(c));
    }
}

AP4_DataAtom::AP4_DataAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    m_data_type = body.get<AP4_UI32>();
    m_data_lang = body.get<AP4_UI32>();
    take_rest(body, m_value);
}

AP4_FtabAtom::AP4_FtabAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    const auto count = body.get<AP4_UI16>();
    body.need(count, 3);
    for (int i = 0; i < count; ++i) {
        Font f;
        f.id = body.get<AP4_UI16>();
        const auto length = body.get<AP4_UI08>();
        // A zero byte ends a name early; it is consumed.
        for (int j = 0; j < length; ++j) {
            const auto c = body.get<AP4_UI08>();
            if (c == 0) break;
            f.name.push_back(static_cast<char>(c));
        }
        m_fonts.push_back(std::move(f));
    }
}

AP4_FrmaAtom::AP4_FrmaAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    m_original_format = body.get<AP4_UI32>();
}
