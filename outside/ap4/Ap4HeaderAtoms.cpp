#include "outside/ap4/Ap4HeaderAtoms.h"

#include "outside/ap4/Ap4BodyReader.h"

#include <algorithm>

namespace {

// Version 1 widens the times and the duration to 64 bits.
AP4_UI64 read_time(ap4::BodyReader& body, AP4_UI08 version)
{
    return version == 1 ? body.get<AP4_UI64>() : body.get<AP4_UI32>();
}

}

AP4_MvhdAtom::AP4_MvhdAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    read_time(body, h.version);   // creation
    read_time(body, h.version);   // modification
    m_time_scale = body.get<AP4_UI32>();
    m_duration = read_time(body, h.version);
}

AP4_TkhdAtom::AP4_TkhdAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    read_time(body, h.version);
    read_time(body, h.version);
    m_track_id = body.get<AP4_UI32>();
    body.get<AP4_UI32>();   // reserved
    m_duration = read_time(body, h.version);
}

AP4_MdhdAtom::AP4_MdhdAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    read_time(body, h.version);
    read_time(body, h.version);
    m_time_scale = body.get<AP4_UI32>();
    m_duration = read_time(body, h.version);
    // Three 5-bit letters less 0x60; QuickTime's Macintosh codes lie below 0x400.
    const auto packed = body.get<AP4_UI16>();
    if (packed >= 0x400)
        for (int shift : {10, 5, 0}) m_language.push_back(static_cast<char>(((packed >> shift) & 0x1F) + 0x60));
}

AP4_UI64 AP4_MdhdAtom::GetDurationMs() const
{
    if (m_time_scale == 0) return 0;
    return static_cast<AP4_UI64>(static_cast<unsigned __int128>(m_duration) * 1000 / m_time_scale);
}

AP4_HdlrAtom::AP4_HdlrAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    const auto component_type = body.get<AP4_UI32>();
    m_handler_type = body.get<AP4_UI32>();
    body.skip(12);
    const auto rest = body.rest();
    if (rest.empty()) return;
    // QuickTime (a component type such as "mhlr") counts its name in a first
    // byte; ISO files end it with a zero byte, or with the atom.
    auto begin = rest.begin();
    auto end = rest.end();
    if (component_type != 0 && rest[0] < rest.size()) {
        ++begin;
        end = begin + rest[0];
    } else {
        end = std::find(begin, end, AP4_UI08{0});
    }
    m_handler_name.assign(begin, end);
}
