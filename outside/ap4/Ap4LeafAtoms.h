#pragma once
// Leaf atoms beyond the movie's tables: the AVC decoder configuration
// (avcC), the two pieces of a compressed movie header (dcom, cmvd), chapters
// (chpl), metadata values (data), timed-text font tables (ftab) and the
// original format of a protected sample entry (frma). All are read-only.

#include "outside/ap4/Ap4Atom.h"
#include "outside/ap4/Ap4DataBuffer.h"

#include <string>
#include <vector>

namespace ap4 {
class BodyReader;
}

class AP4_AvcCAtom final : public AP4_Atom {
public:
    AP4_AvcCAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    // The AVC decoder configuration record, whole.
    const AP4_DataBuffer& GetRawBytes() const { return m_payload; }

private:
    AP4_DataBuffer m_payload;
};

class AP4_DcomAtom final : public AP4_Atom {
public:
    AP4_DcomAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    AP4_UI32 GetCompressorSubType() const { return m_compressor; }

private:
    AP4_UI32 m_compressor{0};
};

class AP4_CmvdAtom final : public AP4_Atom {
public:
    AP4_CmvdAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    // What the writer says the header inflates to; only a ceiling for inflation.
    AP4_UI32 GetUncompressedSize() const { return m_uncompressed_size; }
    const AP4_DataBuffer& GetCompressedData() const { return m_compressed; }

private:
    AP4_UI32 m_uncompressed_size{0};
    AP4_DataBuffer m_compressed;
};

class AP4_ChplAtom final : public AP4_Atom {
public:
    struct Chapter {
        AP4_UI64 start;   // 100-ns units, as the writers store them
        std::string title;
    };
    AP4_ChplAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    const std::vector<Chapter>& GetChapters() const { return m_chapters; }

private:
    std::vector<Chapter> m_chapters;
};

class AP4_DataAtom final : public AP4_Atom {
public:
    AP4_DataAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    AP4_UI32 GetDataType() const { return m_data_type; }
    AP4_UI32 GetDataLang() const { return m_data_lang; }
    const AP4_DataBuffer& GetValue() const { return m_value; }

private:
    AP4_UI32 m_data_type{0};
    AP4_UI32 m_data_lang{0};
    AP4_DataBuffer m_value;
};

class AP4_FtabAtom final : public AP4_Atom {
public:
    struct Font {
        AP4_UI16 id;
        std::string name;
    };
    AP4_FtabAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    const std::vector<Font>& GetFonts() const { return m_fonts; }

private:
    std::vector<Font> m_fonts;
};

class AP4_FrmaAtom final : public AP4_Atom {
public:
    AP4_FrmaAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    AP4_UI32 GetOriginalFormat() const { return m_original_format; }

private:
    AP4_UI32 m_original_format{0};
};
