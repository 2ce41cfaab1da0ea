#pragma once
// esds: the MPEG-4 elementary stream descriptor of a sample entry, with its
// decoder configuration (object type, stream type, buffer size, bit rates)
// and the decoder-specific information.

#include "outside/ap4/Ap4Atom.h"
#include "outside/ap4/Ap4DataBuffer.h"

#include <optional>

namespace ap4 {
class BodyReader;
}

class AP4_DecoderConfigDescriptor {
public:
    AP4_UI08 GetObjectTypeIndication() const { return m_object_type; }
    AP4_UI08 GetStreamType() const { return m_stream_type; }
    AP4_UI32 GetBufferSize() const { return m_buffer_size; }
    AP4_UI32 GetMaxBitrate() const { return m_max_bitrate; }
    AP4_UI32 GetAvgBitrate() const { return m_avg_bitrate; }
    // Empty when the descriptor carries no decoder-specific information.
    const AP4_DataBuffer& GetDecoderSpecificInfo() const { return m_decoder_info; }

private:
    friend class AP4_EsdsAtom;
    AP4_UI08 m_object_type{0};
    AP4_UI08 m_stream_type{0};
    AP4_UI32 m_buffer_size{0};
    AP4_UI32 m_max_bitrate{0};
    AP4_UI32 m_avg_bitrate{0};
    AP4_DataBuffer m_decoder_info;
};

class AP4_EsdsAtom final : public AP4_Atom {
public:
    AP4_EsdsAtom(const ap4::AtomHeader& h, ap4::BodyReader& body);
    AP4_UI16 GetEsId() const { return m_es_id; }
    // Null when the descriptor has no decoder configuration.
    const AP4_DecoderConfigDescriptor* GetDecoderConfigDescriptor() const
    {
        return m_decoder_config ? &*m_decoder_config : nullptr;
    }

private:
    void ReadDecoderConfig(ap4::BodyReader& descriptor);

    AP4_UI16 m_es_id{0};
    std::optional<AP4_DecoderConfigDescriptor> m_decoder_config;
};
