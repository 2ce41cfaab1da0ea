#include "outside/ap4/Ap4Track.h"

#include "outside/ap4/Ap4Atom.h"
#include "outside/ap4/Ap4HeaderAtoms.h"
#include "outside/ap4/Ap4StsdAtom.h"

namespace {

AP4_Track::Type kind_of(AP4_UI32 handler)
{
    switch (handler) {
    case AP4_ATOM_TYPE('s', 'o', 'u', 'n'): return AP4_Track::TYPE_AUDIO;
    case AP4_ATOM_TYPE('v', 'i', 'd', 'e'): return AP4_Track::TYPE_VIDEO;
    case AP4_ATOM_TYPE('t', 'e', 'x', 't'):
    case AP4_ATOM_TYPE('t', 'x', '3', 'g'): return AP4_Track::TYPE_TEXT;
    case AP4_ATOM_TYPE('s', 'u', 'b', 'p'): return AP4_Track::TYPE_SUBP;
    case AP4_ATOM_TYPE('h', 'i', 'n', 't'): return AP4_Track::TYPE_HINT;
    default: return AP4_Track::TYPE_UNKNOWN;
    }
}

}

AP4_Track::AP4_Track(AP4_ContainerAtom* trak, AP4_ByteStream* sample_stream)
    : m_trak(trak), m_samples(dynamic_cast<AP4_ContainerAtom*>(trak->FindChild("mdia/minf/stbl")), sample_stream)
{
    if (auto* tkhd = dynamic_cast<AP4_TkhdAtom*>(trak->FindChild("tkhd"))) m_id = tkhd->GetTrackId();
    if (auto* hdlr = dynamic_cast<AP4_HdlrAtom*>(trak->FindChild("mdia/hdlr"))) m_type = kind_of(hdlr->GetHandlerType());
    if (auto* mdhd = dynamic_cast<AP4_MdhdAtom*>(trak->FindChild("mdia/mdhd"))) {
        m_time_scale = mdhd->GetTimeScale();
        m_duration_ms = mdhd->GetDurationMs();
    }
    m_stsd = dynamic_cast<AP4_StsdAtom*>(trak->FindChild("mdia/minf/stbl/stsd"));
}

AP4_Track::~AP4_Track() = default;

AP4_Result AP4_Track::GetSample(AP4_Ordinal index, AP4_Sample& sample) const { return m_samples.GetSample(index, sample); }

AP4_Result AP4_Track::ReadSample(AP4_Ordinal index, AP4_Sample& sample, AP4_DataBuffer& data) const
{
    const AP4_Result r = m_samples.GetSample(index, sample);
    return AP4_FAILED(r) ? r : sample.ReadData(data);
}

AP4_Result AP4_Track::GetSampleIndexForTimeStampMs(AP4_UI64 ms, AP4_Ordinal& index) const
{
    const auto ts = static_cast<unsigned __int128>(ms) * m_time_scale / 1000;
    if (ts > UINT64_MAX) return AP4_FAILURE;
    return m_samples.GetSampleIndexForTimeStamp(static_cast<AP4_UI64>(ts), index);
}

AP4_SampleDescription* AP4_Track::GetSampleDescription(AP4_Ordinal index) const
{
    return m_stsd ? m_stsd->GetSampleDescription(index) : nullptr;
}
