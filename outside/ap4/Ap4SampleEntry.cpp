#include "outside/ap4/Ap4SampleEntry.h"

#include "outside/ap4/Ap4AtomFactory.h"
#include "outside/ap4/Ap4BodyReader.h"
#include "outside/ap4/Ap4ByteStream.h"
#include "outside/ap4/Ap4EsdsAtom.h"
#include "outside/ap4/Ap4LeafAtoms.h"
#include "outside/ap4/Ap4SampleDescription.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr AP4_UI32 type_esds = AP4_ATOM_TYPE('e', 's', 'd', 's');

// The MPEG description of an entry with an esds, wrapped when the entry is
// the protected form of its format.
std::unique_ptr<AP4_SampleDescription> protect_if(AP4_SampleEntry& entry, AP4_UI32 protected_type,
                                                  std::unique_ptr<AP4_SampleDescription> clear)
{
    if (entry.GetType() != protected_type) return clear;
    AP4_UI32 original = 0;
    if (auto* frma = dynamic_cast<AP4_FrmaAtom*>(entry.FindChild("sinf/frma"))) original = frma->GetOriginalFormat();
    return std::make_unique<AP4_IsmaCrypSampleDescription>(entry.GetType(), original, std::move(clear));
}

}

AP4_SampleEntry::AP4_SampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_ContainerAtom(h)
{
    body.skip(6);
    m_data_reference_index = body.get<AP4_UI16>();
}

AP4_SampleEntry::AP4_SampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body, AP4_DefaultAtomFactory& factory)
    : AP4_SampleEntry(h, body)
{
    ReadExtension(body, factory);
}

void AP4_SampleEntry::ReadExtension(ap4::BodyReader& body, AP4_DefaultAtomFactory& factory)
{
    const auto rest = body.rest();
    if (AP4_FAILED(m_extension.SetData(rest.data(), static_cast<AP4_Size>(rest.size())))) throw std::bad_alloc();
    body.skip(rest.size());
    AP4_StreamReference stream = AP4_StreamReference::adopt(new AP4_MemoryByteStream(rest.data(), static_cast<AP4_Size>(rest.size())));
    ReadChildren(factory, *stream.get(), rest.size());
}

const AP4_EsdsAtom* AP4_SampleEntry::FindEsds() const
{
    if (auto* esds = dynamic_cast<const AP4_EsdsAtom*>(GetChild(type_esds))) return esds;
    return dynamic_cast<const AP4_EsdsAtom*>(FindChild("wave/esds"));
}

std::unique_ptr<AP4_SampleDescription> AP4_SampleEntry::ToSampleDescription()
{
    const AP4_EsdsAtom* esds = FindEsds();
    if (GetType() == AP4_ATOM_TYPE('m', 'p', '4', 's') && esds && esds->GetDecoderConfigDescriptor())
        return std::make_unique<AP4_MpegSystemSampleDescription>(GetType(), *esds->GetDecoderConfigDescriptor());
    return std::make_unique<AP4_UnknownSampleDescription>(this);
}

AP4_VisualSampleEntry::AP4_VisualSampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body,
                                             AP4_DefaultAtomFactory& factory)
    : AP4_SampleEntry(h, body)
{
    body.pass(16);   // pre-defined and reserved
    m_width = body.get<AP4_UI16>();
    m_height = body.get<AP4_UI16>();
    body.pass(14);   // resolutions, reserved, frame count
    char name[32];
    if (!body.read_bytes(name, sizeof name)) throw ap4::InvalidAtom{};
    m_compressor_name.assign(name + 1, std::min<std::size_t>(static_cast<AP4_UI08>(name[0]), 31));
    m_depth = body.get<AP4_UI16>();
    body.get<AP4_UI16>();
    ReadExtension(body, factory);
}

std::unique_ptr<AP4_SampleDescription> AP4_VisualSampleEntry::ToSampleDescription()
{
    const AP4_EsdsAtom* esds = FindEsds();
    const bool mpeg = GetType() == AP4_ATOM_TYPE('m', 'p', '4', 'v') || GetType() == AP4_ATOM_TYPE('e', 'n', 'c', 'v');
    if (!mpeg || !esds || !esds->GetDecoderConfigDescriptor()) return nullptr;
    return protect_if(*this, AP4_ATOM_TYPE('e', 'n', 'c', 'v'),
                      std::make_unique<AP4_MpegVideoSampleDescription>(AP4_ATOM_TYPE('m', 'p', '4', 'v'), m_width,
                                                                       m_height, m_depth,
                                                                       *esds->GetDecoderConfigDescriptor()));
}

AP4_AudioSampleEntry::AP4_AudioSampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body,
                                           AP4_DefaultAtomFactory& factory)
    : AP4_SampleEntry(h, body)
{
    m_qt_version = body.get<AP4_UI16>();
    body.get<AP4_UI16>();   // revision
    body.get<AP4_UI32>();   // vendor
    m_channel_count = body.get<AP4_UI16>();
    m_sample_size = body.get<AP4_UI16>();
    body.get<AP4_UI32>();   // compression id, packet size
    m_sample_rate = body.get<AP4_UI32>();
    if (m_qt_version == 1) {
        body.pass(8);   // samples and bytes per packet
        m_bytes_per_frame = body.get<AP4_UI32>();
        body.get<AP4_UI32>();   // bytes per sample
    } else if (m_qt_version == 2) {
        body.get<AP4_UI32>();   // size of the structure
        const auto bits = body.get<AP4_UI64>();
        double rate = 0;
        static_assert(sizeof rate == sizeof bits);
        std::memcpy(&rate, &bits, sizeof rate);
        m_sample_rate = rate > 0 && rate < 65536 ? static_cast<AP4_UI32>(rate * 65536) : 0;
        m_channel_count = static_cast<AP4_UI16>(body.get<AP4_UI32>());
        body.get<AP4_UI32>();
        m_sample_size = static_cast<AP4_UI16>(body.get<AP4_UI32>());
        body.pass(12);   // flags, bytes per packet, frames per packet
    }
    ReadExtension(body, factory);
}

std::unique_ptr<AP4_SampleDescription> AP4_AudioSampleEntry::ToSampleDescription()
{
    const AP4_EsdsAtom* esds = FindEsds();
    const bool mpeg = GetType() == AP4_ATOM_TYPE('m', 'p', '4', 'a') || GetType() == AP4_ATOM_TYPE('e', 'n', 'c', 'a');
    if (!mpeg || !esds || !esds->GetDecoderConfigDescriptor()) return nullptr;
    return protect_if(*this, AP4_ATOM_TYPE('e', 'n', 'c', 'a'),
                      std::make_unique<AP4_MpegAudioSampleDescription>(AP4_ATOM_TYPE('m', 'p', '4', 'a'),
                                                                       GetSampleRate(), m_sample_size,
                                                                       m_channel_count,
                                                                       *esds->GetDecoderConfigDescriptor()));
}

AP4_TextSampleEntry::AP4_TextSampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body) : AP4_SampleEntry(h, body)
{
    Fields& f = m_fields;
    bool ok = body.read(f.display_flags) && body.read(f.justification) &&
              body.read_bytes(f.background_color, sizeof f.background_color);
    for (auto& v : f.box) ok = ok && body.read(v);
    ok = ok && body.read(f.face_style) && body.read(f.font_size);
    if (ok) body.read_bytes(f.text_color, sizeof f.text_color);
}

AP4_Tx3gSampleEntry::AP4_Tx3gSampleEntry(const ap4::AtomHeader& h, ap4::BodyReader& body,
                                         AP4_DefaultAtomFactory& factory)
    : AP4_SampleEntry(h, body)
{
    Fields& f = m_fields;
    const bool ok = body.read(f.display_flags) && body.read(f.horizontal_justification) &&
                    body.read(f.vertical_justification) &&
                    body.read_bytes(f.background_color, sizeof f.background_color) && body.read(f.top) &&
                    body.read(f.left) && body.read(f.bottom) && body.read(f.right) && body.read(f.start_char) &&
                    body.read(f.end_char) && body.read(f.font_id) && body.read(f.face_style) &&
                    body.read(f.font_size) && body.read_bytes(f.text_color, sizeof f.text_color);
    if (ok) ReadExtension(body, factory);
}
