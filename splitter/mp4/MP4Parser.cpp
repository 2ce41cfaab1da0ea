#include "splitter/mp4/MP4Parser.h"

#include "outside/ap4/Ap4DataBuffer.h"
#include "outside/ap4/Ap4HeaderAtoms.h"
#include "outside/ap4/Ap4Movie.h"
#include "outside/ap4/Ap4SampleTableAtoms.h"
#include "outside/ap4/Ap4Track.h"
#include "platform/dshow/MediaFormats.h"
#include "splitter/base/BaseSplitterFilter.h"
#include "splitter/mp4/MP4MediaTypes.h"
#include "splitter/mp4/MP4SplitterFile.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string>

namespace {

// A time in the track's time scale in 100-ns units, as the samples' times go out.
REFERENCE_TIME to_reference_time(LONGLONG value, AP4_UI32 time_scale)
{
    if (time_scale == 0) return 0;
    const double t = static_cast<double>(value) * (10000000.0 / time_scale);
    constexpr double most = static_cast<double>(std::numeric_limits<REFERENCE_TIME>::max() / 2);
    return static_cast<REFERENCE_TIME>(std::clamp(t, -most, most));
}

const std::vector<AP4_UI32>* sync_samples(const AP4_Track& track)
{
    auto* stss = dynamic_cast<AP4_StssAtom*>(track.GetTrakAtom()->FindChild("mdia/minf/stbl/stss"));
    return stss && !stss->GetEntries().empty() ? &stss->GetEntries() : nullptr;
}

bool used_kind(AP4_Track::Type type)
{
    return type == AP4_Track::TYPE_AUDIO || type == AP4_Track::TYPE_VIDEO || type == AP4_Track::TYPE_TEXT ||
           type == AP4_Track::TYPE_SUBP;
}

// 8-bit text widened a byte a character.
std::u16string widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}

CMP4Parser::CMP4Parser(CBaseSplitterFilter* filter) : CBaseParser(filter) {}

CMP4Parser::~CMP4Parser() = default;

void CMP4Parser::CloseFile() { m_file.reset(); }

bool CMP4Parser::SetCacheSize(int size) { return m_file && m_file->SetCacheSize(size); }

HRESULT CMP4Parser::Open(IAsyncReader* reader) try
{
    if (!reader) return E_POINTER;
    m_tracks.clear();
    m_file.reset();
    HRESULT hr = S_OK;
    auto file = std::make_unique<CMP4SplitterFile>(reader, hr);
    if (FAILED(hr)) return hr;
    m_file = std::move(file);
    bool any = false;
    for (const auto& track : m_file->GetMovie()->GetTracks()) {
        if (!used_kind(track->GetType())) continue;
        hr = AddTrack(*track);
        if (hr == E_OUTOFMEMORY) return hr;
        any = any || hr == S_OK;
    }
    return any ? S_OK : E_FAIL;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

// S_FALSE when the track gets no pin.
HRESULT CMP4Parser::AddTrack(const AP4_Track& track)
{
    AP4_Sample first;
    if (AP4_FAILED(track.GetSample(0, first)) || first.GetDescriptionIndex() == -1) return S_FALSE;
    // A second track with an id already taken would steal the first one's pin.
    if (m_tracks.count(track.GetId())) return S_FALSE;
    std::u16string name;
    if (auto* hdlr = dynamic_cast<AP4_HdlrAtom*>(track.GetTrakAtom()->FindChild("mdia/hdlr")))
        name = widen(hdlr->GetHandlerName());
    std::string language;
    if (auto* mdhd = dynamic_cast<AP4_MdhdAtom*>(track.GetTrakAtom()->FindChild("mdia/mdhd"))) language = mdhd->GetLanguage();
    std::vector<CMediaType> types = MakeMP4MediaTypes(track, first, *m_file, name, language);
    if (types.empty()) return S_FALSE;

    if (name.empty()) name = widen("Output " + std::to_string(track.GetId()));
    const bool timed_text = types.size() == 1 && types[0].subtype == MEDIASUBTYPE_TimedText;
    HRESULT hr = S_OK;
    hr = m_pFilter->AddOutputPin(track.GetId(), std::make_unique<CBaseSplitterOutputPin>(
                                                    std::move(types), name.c_str(), m_pFilter, m_pFilter->FilterLock(), &hr));
    if (FAILED(hr)) return S_FALSE;
    m_rtDuration = std::max<REFERENCE_TIME>(m_rtDuration, static_cast<REFERENCE_TIME>(track.GetDuration()) * 10000);
    m_tracks[track.GetId()] = TrackState{&track, 0, 0};
    if (timed_text) {
        const std::u16string plain = name + u" (plain text)";
        CMediaType mt(MEDIATYPE_Subtitle);
        mt.SetSubtype(&MEDIASUBTYPE_UTF8);
        mt.SetFormatType(&FORMAT_SubtitleInfo);
        const std::vector<BYTE> block = MakeSubtitleInfo(language, u" (plain text)");
        if (!mt.SetFormat(block.data(), static_cast<ULONG>(block.size()))) throw std::bad_alloc();
        std::vector<CMediaType> plain_types;
        plain_types.push_back(std::move(mt));
        m_pFilter->AddOutputPin(track.GetId() ^ plain_text_track_mask,
                                std::make_unique<CBaseSplitterOutputPin>(std::move(plain_types), plain.c_str(), m_pFilter,
                                                                         m_pFilter->FilterLock(), &hr));
    }
    return S_OK;
}

LONGLONG CMP4Parser::CompositionTime(const AP4_Track& track, std::uint32_t index, LONGLONG otherwise) const
{
    AP4_Sample sample;
    return AP4_SUCCEEDED(track.GetSample(index, sample)) ? sample.GetCts() : otherwise;
}

bool CMP4Parser::DemuxInit()
{
    for (auto& [id, state] : m_tracks) {
        state.index = 0;
        state.next_time = CompositionTime(*state.track, 0, 0);
    }
    return true;
}

bool CMP4Parser::DemuxSeek(REFERENCE_TIME start)
{
    const LONGLONG ms = std::max<LONGLONG>(start / 10000, 0);
    for (auto& [id, state] : m_tracks) {
        AP4_Ordinal index = 0;
        if (AP4_FAILED(state.track->GetSampleIndexForTimeStampMs(static_cast<AP4_UI64>(ms), index))) index = 0;
        state.index = index;
        state.next_time = CompositionTime(*state.track, index, state.next_time);
        const std::vector<AP4_UI32>* syncs = sync_samples(*state.track);
        if (!syncs) continue;
        // The last sync sample at or before the index, or the first one when all lie after it.
        std::uint32_t chosen = syncs->front();
        for (AP4_UI32 number : *syncs)
            if (number <= index + 1 && number > chosen) chosen = number;
        if (chosen > 0) state.index = chosen - 1;
    }
    return true;
}

CMP4Parser::TrackState* CMP4Parser::NextTrack()
{
    TrackState* best = nullptr;
    REFERENCE_TIME best_time = 0;
    for (auto& [id, state] : m_tracks) {
        CBaseSplitterOutputPin* pin = m_pFilter->GetOutputPin(id);
        if (!pin || !pin->IsConnected() || state.index >= state.track->GetSampleCount()) continue;
        const REFERENCE_TIME t = to_reference_time(state.next_time, state.track->GetMediaTimeScale());
        if (!best || t < best_time) {
            best = &state;
            best_time = t;
        }
    }
    return best;
}

int CMP4Parser::DemuxLoop()
{
    HRESULT hr = S_OK;
    while (SUCCEEDED(hr) && !m_pFilter->CheckRequest()) {
        TrackState* state = NextTrack();
        if (!state) break;
        hr = DeliverSample(*state);
        ++state->index;
        state->next_time = CompositionTime(*state->track, state->index, state->next_time);
    }
    return 1;
}

HRESULT CMP4Parser::DeliverSample(TrackState& state)
{
    const AP4_Track& track = *state.track;
    const AP4_UI32 scale = track.GetMediaTimeScale();
    AP4_Sample sample;
    AP4_DataBuffer data;
    if (AP4_FAILED(track.ReadSample(state.index, sample, data))) return S_OK;   // skipped
    auto packet = std::make_unique<Packet>();
    packet->TrackNumber = track.GetId();
    packet->rtStart = to_reference_time(sample.GetCts(), scale);
    packet->rtStop = packet->rtStart + to_reference_time(sample.GetDuration(), scale);
    const std::vector<AP4_UI32>* syncs = sync_samples(track);
    packet->bSyncPoint = !syncs || std::find(syncs->begin(), syncs->end(), state.index + 1) != syncs->end();
    if (track.GetType() == AP4_Track::TYPE_AUDIO && IsSoundUnit(track, sample)) {
        GatherSound(state, *packet);
    } else if (track.GetType() != AP4_Track::TYPE_TEXT) {
        packet->data.assign(data.GetData(), data.GetData() + data.GetDataSize());
    }
    return m_pFilter->DeliverPacket(std::move(packet));
}

// Gathers consecutive samples of uncompressed sound into the packet: of
// one-byte samples, a block of the pin's wave format when its alignment is
// above 1 (from a multiple of it); else at least gathered_sound_bytes.
// Samples that lie one after the other in the file are read at once, and the
// packet's times count the time units of the samples read, converted once.
// Leaves the index on the last sample taken.
bool CMP4Parser::GatherSound(TrackState& state, Packet& packet)
{
    const AP4_Track& track = *state.track;
    std::size_t target = gathered_sound_bytes;
    AP4_Sample sample;
    const bool bytes = AP4_SUCCEEDED(track.GetSample(state.index, sample)) && sample.GetSize() == 1;
    if (const WORD align = PinFraming(track).block_align; bytes && align > 1) {
        target = align;
        state.index -= state.index % align;
    }
    packet.data.clear();
    LONGLONG start = 0, units = 0;   // in the track's time units: the first sample's time, the length read
    SoundRun run;
    bool read = true;
    for (bool first = true;; first = false) {
        if (AP4_FAILED(track.GetSample(state.index, sample))) break;
        if (first) start = sample.GetCts();
        if (run.size > 0 && sample.GetOffset() != run.offset + run.size) {
            if (!(read = ReadRun(run, packet.data))) {
                --state.index;   // this sample was not taken
                break;
            }
            units += run.units;
            run = {};
        }
        if (run.size == 0) run.offset = sample.GetOffset();
        run.size += sample.GetSize();
        run.units += sample.GetDuration();
        if (state.index + 1 >= track.GetSampleCount() || packet.data.size() + run.size >= target) break;
        ++state.index;
    }
    if (read && run.size > 0 && ReadRun(run, packet.data)) units += run.units;
    const AP4_UI32 scale = track.GetMediaTimeScale();
    packet.rtStart = to_reference_time(start, scale);
    packet.rtStop = to_reference_time(start + units, scale);
    return !packet.data.empty();
}

// Appends the run's bytes; false (and nothing appended) when the file does not hold them.
bool CMP4Parser::ReadRun(const SoundRun& run, std::vector<BYTE>& data)
{
    // The table's numbers are checked against the file before anything is allocated for them.
    const LONGLONG length = m_file->GetLength();
    if (run.offset > static_cast<AP4_UI64>(length) || run.size > static_cast<AP4_UI64>(length) - run.offset) return false;
    const std::size_t at = data.size();
    data.resize(at + run.size);
    m_file->Seek(static_cast<LONGLONG>(run.offset));
    if (SUCCEEDED(m_file->ByteRead(data.data() + at, static_cast<LONGLONG>(run.size)))) return true;
    data.resize(at);
    return false;
}

CMP4Parser::SoundFraming CMP4Parser::PinFraming(const AP4_Track& track) const
{
    CBaseSplitterOutputPin* pin = m_pFilter->GetOutputPin(track.GetId());
    if (!pin) return {};
    const CMediaType mt = pin->CurrentMediaType();
    if (mt.formattype != FORMAT_WaveFormatEx || mt.cbFormat < sizeof(WAVEFORMATEX)) return {};
    const auto* wf = reinterpret_cast<const WAVEFORMATEX*>(mt.Format());
    return {wf->nBlockAlign, wf->nBlockAlign > 0 ? wf->nBlockAlign : wf->nChannels * wf->wBitsPerSample / 8u};
}

// Uncompressed sound is stored a unit a sample: QuickTime's one-byte samples,
// or a whole frame that lasts one time unit (ffmpeg's PCM in .mov and .mp4).
// Compressed sound lasts many time units a sample.
bool CMP4Parser::IsSoundUnit(const AP4_Track& track, const AP4_Sample& sample) const
{
    return sample.GetSize() == 1 || (sample.GetDuration() == 1 && sample.GetSize() == PinFraming(track).frame_bytes);
}
