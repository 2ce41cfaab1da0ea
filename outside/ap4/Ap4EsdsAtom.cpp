#include "outside/ap4/Ap4EsdsAtom.h"

#include "outside/ap4/Ap4BodyReader.h"

namespace {

constexpr AP4_UI08 es_descriptor_tag = 3;
constexpr AP4_UI08 decoder_config_tag = 4;
constexpr AP4_UI08 decoder_specific_tag = 5;

// The next descriptor's tag and a reader over its payload; its size (one to
// four bytes of seven bits) must fit in what is left.
ap4::BodyReader next_descriptor(ap4::BodyReader& in, AP4_UI08& tag)
{
    tag = in.get<AP4_UI08>();
    std::size_t size = 0;
    for (int i = 0; i < 4; ++i) {
        const auto b = in.get<AP4_UI08>();
        size = size << 7 | (b & 0x7F);
        if (!(b & 0x80)) break;
    }
    in.need(size, 1);
    ap4::BodyReader payload(in.rest().first(size));
    in.skip(size);
    return payload;
}

}

AP4_EsdsAtom::AP4_EsdsAtom(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_Atom(h)
{
    AP4_UI08 tag = 0;
    ap4::BodyReader es = next_descriptor(body, tag);
    if (tag != es_descriptor_tag) throw ap4::InvalidAtom{};
    m_es_id = es.get<AP4_UI16>();
    const auto flags = es.get<AP4_UI08>();
    if (flags & 0x80) es.get<AP4_UI16>();                 // depends on another stream
    if (flags & 0x40) {   // a URL
        const auto length = es.get<AP4_UI08>();
        es.need(length, 1);
        es.skip(length);
    }
    if (flags & 0x20) es.get<AP4_UI16>();                 // OCR stream
    while (es.remaining() >= 2 && !m_decoder_config) {
        ap4::BodyReader sub = next_descriptor(es, tag);
        if (tag == decoder_config_tag) ReadDecoderConfig(sub);
    }
}

void AP4_EsdsAtom::ReadDecoderConfig(ap4::BodyReader& descriptor)
{
    AP4_DecoderConfigDescriptor c;
    c.m_object_type = descriptor.get<AP4_UI08>();
    c.m_stream_type = static_cast<AP4_UI08>(descriptor.get<AP4_UI08>() >> 2);
    c.m_buffer_size = descriptor.get<AP4_UI32>(3);
    c.m_max_bitrate = descriptor.get<AP4_UI32>();
    c.m_avg_bitrate = descriptor.get<AP4_UI32>();
    while (descriptor.remaining() >= 2) {
        AP4_UI08 tag = 0;
        ap4::BodyReader sub = next_descriptor(descriptor, tag);
        if (tag != decoder_specific_tag) continue;
        const auto bytes = sub.rest();
        c.m_decoder_info.SetData(bytes.data(), static_cast<AP4_Size>(bytes.size()));
        break;
    }
    m_decoder_config = std::move(c);
}
