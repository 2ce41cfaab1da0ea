#pragma once
// The header atoms of a movie and its tracks: mvhd (movie time scale and
// duration), tkhd (track id), mdhd (media time scale, duration, language)
// and hdlr (handler type and name).

#include "outside/ap4/Ap4Atom.h"

#include <string>

namespace ap4 {
class BodyReader;
}

class AP4_MvhdAtom final : public AP4_Atom {
public:
    AP4_MvhdAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    AP4_UI32 GetTimeScale() const { return m_time_scale; }
    AP4_UI64 GetDuration() const { return m_duration; }

private:
    AP4_UI32 m_time_scale{0};
    AP4_UI64 m_duration{0};
};

class AP4_TkhdAtom final : public AP4_Atom {
public:
    AP4_TkhdAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    AP4_UI32 GetTrackId() const { return m_track_id; }
    AP4_UI64 GetDuration() const { return m_duration; }

private:
    AP4_UI32 m_track_id{0};
    AP4_UI64 m_duration{0};
};

class AP4_MdhdAtom final : public AP4_Atom {
public:
    AP4_MdhdAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    AP4_UI32 GetTimeScale() const { return m_time_scale; }
    AP4_UI64 GetDuration() const { return m_duration; }
    AP4_UI64 GetDurationMs() const;
    // The three letters of an ISO 639-2 code; empty for a Macintosh language code.
    const std::string& GetLanguage() const { return m_language; }

private:
    AP4_UI32 m_time_scale{0};
    AP4_UI64 m_duration{0};
    std::string m_language;
};

class AP4_HdlrAtom final : public AP4_Atom {
public:
    AP4_HdlrAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    AP4_UI32 GetHandlerType() const { return m_handler_type; }
    const std::string& GetHandlerName() const { return m_handler_name; }

private:
    AP4_UI32 m_handler_type{0};
    std::string m_handler_name;
};
