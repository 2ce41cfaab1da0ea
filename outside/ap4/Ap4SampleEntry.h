#pragma once
// Sample entries, the children of stsd: which class reads an entry follows
// the track's handler ("vide" visual, "soun" audio) and not the entry's
// letters, except the timed-text entries "text" and "tx3g", whose layout is
// fixed by their type. Each entry keeps the bytes after its fixed fields
// (its extension atoms, as stored) and reads them as child atoms.
//
// ToSampleDescription: MPEG descriptions come from "mp4v", "mp4a" and
// "mp4s" entries that carry an esds (for audio also inside "wave"), wrapped
// as ISMA descriptions for their protected forms "encv" and "enca"; every
// other visual or audio entry gives none; entries of other handlers
// (timed text among them) give an unknown description around the entry.

#include "outside/ap4/Ap4Atom.h"
#include "outside/ap4/Ap4DataBuffer.h"

#include <memory>
#include <string>

namespace ap4 {
class BodyReader;
}
class AP4_EsdsAtom;
class AP4_SampleDescription;

class AP4_SampleEntry : public AP4_ContainerAtom {
public:
    // An entry of a handler with no entry layout of its own: the common fields, then child atoms.
    AP4_SampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body, AP4_DefaultAtomFactory& factory);
    AP4_UI16 GetDataReferenceIndex() const { return m_data_reference_index; }
    // The bytes after the entry's fixed fields.
    const AP4_DataBuffer& GetExtension() const { return m_extension; }
    virtual std::unique_ptr<AP4_SampleDescription> ToSampleDescription();

protected:
    // Reads only the common fields: the subclass reads its own, then its extension.
    AP4_SampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body);
    // Keeps the rest of the body and reads it as child atoms.
    void ReadExtension(ap4::BodyReader& body, AP4_DefaultAtomFactory& factory);
    // The entry's esds, directly or (QuickTime sound) inside "wave"; null when none.
    const AP4_EsdsAtom* FindEsds() const;

private:
    AP4_UI16 m_data_reference_index{0};
    AP4_DataBuffer m_extension;
};

class AP4_VisualSampleEntry : public AP4_SampleEntry {
public:
    AP4_VisualSampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body, AP4_DefaultAtomFactory& factory);
    AP4_UI16 GetWidth() const { return m_width; }
    AP4_UI16 GetHeight() const { return m_height; }
    AP4_UI16 GetDepth() const { return m_depth; }
    const std::string& GetCompressorName() const { return m_compressor_name; }
    std::unique_ptr<AP4_SampleDescription> ToSampleDescription() override;

private:
    AP4_UI16 m_width{0};
    AP4_UI16 m_height{0};
    AP4_UI16 m_depth{0};
    std::string m_compressor_name;
};

class AP4_Avc1SampleEntry final : public AP4_VisualSampleEntry {
public:
    using AP4_VisualSampleEntry::AP4_VisualSampleEntry;
};

class AP4_AudioSampleEntry : public AP4_SampleEntry {
public:
    AP4_AudioSampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body, AP4_DefaultAtomFactory& factory);
    // QuickTime sound description version: 0, 1 (with the four packet fields) or 2.
    AP4_UI16 GetQtVersion() const { return m_qt_version; }
    AP4_UI32 GetSampleRate() const { return m_sample_rate >> 16; }
    // 16.16 fixed point, as stored (version 2: the rate rounded into this form).
    AP4_UI32 GetSampleRateFixed() const { return m_sample_rate; }
    AP4_UI16 GetChannelCount() const { return m_channel_count; }
    AP4_UI16 GetSampleSize() const { return m_sample_size; }
    // The third of version 1's packet fields; 0 in every other version.
    AP4_UI32 GetBytesPerFrame() const { return m_bytes_per_frame; }
    std::unique_ptr<AP4_SampleDescription> ToSampleDescription() override;

private:
    AP4_UI16 m_qt_version{0};
    AP4_UI16 m_channel_count{0};
    AP4_UI16 m_sample_size{0};
    AP4_UI32 m_sample_rate{0};
    AP4_UI32 m_bytes_per_frame{0};
};

// Its fields end the atom: it has no child atoms.
class AP4_TextSampleEntry final : public AP4_SampleEntry {
public:
    struct Fields {
        AP4_UI32 display_flags{0};
        AP4_UI32 justification{0};
        AP4_UI08 background_color[4]{};
        AP4_UI16 box[8]{};   // the text box and the values after it, as stored
        AP4_UI08 face_style{0};
        AP4_UI08 font_size{0};
        AP4_UI08 text_color[4]{};
    };
    // A field the atom is too short for keeps its initial value.
    AP4_TextSampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body);
    const Fields& GetFields() const { return m_fields; }

private:
    Fields m_fields;
};

class AP4_Tx3gSampleEntry final : public AP4_SampleEntry {
public:
    struct Fields {
        AP4_UI32 display_flags{0};
        AP4_UI08 horizontal_justification{0};
        AP4_UI08 vertical_justification{0};
        AP4_UI08 background_color[4]{};   // RGBA
        AP4_UI16 top{0}, left{0}, bottom{0}, right{0};
        AP4_UI16 start_char{0}, end_char{0}, font_id{0};
        AP4_UI08 face_style{0};
        AP4_UI08 font_size{0};
        AP4_UI08 text_color[4]{};   // RGBA
    };
    // A field the atom is too short for keeps its initial value; child atoms
    // (the font table) follow the fields.
    AP4_Tx3gSampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body, AP4_DefaultAtomFactory& factory);
    const Fields& GetFields() const { return m_fields; }

private:
    Fields m_fields;
};
