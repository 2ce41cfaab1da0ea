#include "splitter/realmedia/RealMediaSplitterOutputPin.h"

#include "platform/dshow/MediaFormats.h"
#include "splitter/base/Packet.h"
#include "splitter/realmedia/RealMediaTypes.h"
#include "splitter/realmedia/RealVideoPieces.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr REFERENCE_TIME aac_frame_units = 10240000000;   // 1024 samples in 100 ns units, times the rate

bool is_video(const GUID& subtype)
{
    for (const char* codec : {"RV10", "RV20", "RV30", "RV40", "RV41"})
        if (subtype == plat::fourcc_guid(MAKEFOURCC(codec[0], codec[1], codec[2], codec[3]))) return true;
    return false;
}

bool is_aac(const GUID& subtype)
{
    return std::any_of(std::begin(realmedia_aac_subtypes), std::end(realmedia_aac_subtypes),
                       [&](const GUID& g) { return g == subtype; });
}

}

CRealMediaSplitterOutputPin::CRealMediaSplitterOutputPin(std::vector<CMediaType> types, const WCHAR* name,
                                                         CBaseSplitterFilter* filter, CCritSec* lock, HRESULT* result)
    : CBaseSplitterOutputPin(std::move(types), name, filter, lock, result)
{
}

CRealMediaSplitterOutputPin::~CRealMediaSplitterOutputPin() = default;

HRESULT CRealMediaSplitterOutputPin::DeliverEndFlush()
{
    {
        std::scoped_lock hold(m_csQueue);
        ResetSegments();
    }
    return CBaseSplitterOutputPin::DeliverEndFlush();
}

HRESULT CRealMediaSplitterOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    {
        std::scoped_lock hold(m_csQueue);
        m_rtSegmentStart = start;
    }
    return CBaseSplitterOutputPin::DeliverNewSegment(start, stop, rate);
}

void CRealMediaSplitterOutputPin::ResetSegments()
{
    m_segments.clear();
    m_bDiscontinuity = m_bSyncPoint = m_bWhole = false;
    m_rtStart = INT64_MIN;
}

HRESULT CRealMediaSplitterOutputPin::DeliverEndOfStream()
{
    HRESULT hr = S_OK;
    {
        // The frame still being gathered is whole as far as the file goes.
        std::scoped_lock hold(m_csQueue);
        if (!TakenBeforeFlush()) hr = DeliverSegments();
    }
    return hr == S_OK ? CBaseSplitterOutputPin::DeliverEndOfStream() : hr;
}

HRESULT CRealMediaSplitterOutputPin::DeliverPacket(std::unique_ptr<Packet> p)
{
    const GUID subtype = CurrentMediaType().subtype;
    if (subtype == plat::fourcc_guid(0x2000)) {
        // DNET is AC-3 with its 16-bit words byte-swapped.
        for (std::size_t i = 0; i + 1 < p->data.size(); i += 2) std::swap(p->data[i], p->data[i + 1]);
        return CBaseSplitterOutputPin::DeliverPacket(std::move(p));
    }
    if (is_aac(subtype)) return DeliverAac(std::move(p));
    if (is_video(subtype)) return DeliverVideo(std::move(p));
    return CBaseSplitterOutputPin::DeliverPacket(std::move(p));
}

bool CRealMediaSplitterOutputPin::CarriesSbr()
{
    // The stream's own types carry the whole codec header as their extra
    // bytes; only the AAC type's extra bytes are the decoder configuration,
    // 5 bytes long with spectral band replication and 2 without.
    CMediaType mt;
    for (int i = 0; GetMediaType(i, &mt) == S_OK; ++i)
        if (mt.subtype == plat::fourcc_guid(WAVE_FORMAT_AAC) && mt.FormatLength() >= sizeof(WAVEFORMATEX))
            return reinterpret_cast<const WAVEFORMATEX*>(mt.Format())->cbSize >= 3;
    return false;
}

HRESULT CRealMediaSplitterOutputPin::DeliverAac(std::unique_ptr<Packet> p)
{
    const CMediaType& mt = CurrentMediaType();
    const auto* wfe = mt.FormatLength() >= sizeof(WAVEFORMATEX) ? reinterpret_cast<const WAVEFORMATEX*>(mt.Format()) : nullptr;
    const std::vector<BYTE>& data = p->data;
    if (!wfe || wfe->nSamplesPerSec == 0 || data.size() < 2) return CBaseSplitterOutputPin::DeliverPacket(std::move(p));
    REFERENCE_TIME duration = aac_frame_units / wfe->nSamplesPerSec;
    if (CarriesSbr()) duration *= 2;   // spectral band replication doubles the samples a frame
    const std::size_t frames = data[1] >> 4;
    std::size_t at = 2 + 2 * frames;
    if (at > data.size()) return S_OK;   // the size table runs past the packet: nothing in it can be trusted
    REFERENCE_TIME start = p->rtStart;
    for (std::size_t i = 0; i < frames; ++i) {
        const std::size_t size = std::size_t{data[2 + 2 * i]} << 8 | data[3 + 2 * i];
        if (size > data.size() - at) break;
        auto frame = std::make_unique<Packet>();
        frame->TrackNumber = p->TrackNumber;
        frame->bDiscontinuity = p->bDiscontinuity && i == 0;
        frame->bSyncPoint = true;
        frame->rtStart = start;
        frame->rtStop = start + duration;
        frame->data.assign(data.begin() + static_cast<std::ptrdiff_t>(at),
                           data.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
        start += duration;
        HRESULT hr = CBaseSplitterOutputPin::DeliverPacket(std::move(frame));
        if (hr != S_OK) return hr;
    }
    return S_OK;
}

HRESULT CRealMediaSplitterOutputPin::DeliverVideo(std::unique_ptr<Packet> p)
{
    std::scoped_lock hold(m_csQueue);
    if (TakenBeforeFlush()) return S_OK;
    HRESULT hr = S_OK;
    if (p->rtStart != m_rtStart && (hr = DeliverSegments()) != S_OK) return hr;
    m_bDiscontinuity = m_bDiscontinuity || p->bDiscontinuity;
    m_bSyncPoint = p->bSyncPoint;
    m_rtStart = p->rtStart;
    const std::span<const BYTE> data(p->data);
    std::size_t at = 0;
    RealVideoPiece piece;
    while (at < data.size()) {
        if (!ReadRealVideoPiece(data, at, piece)) {
            // A damaged piece spoils the frame it belongs to; the next packet starts afresh.
            ResetSegments();
            return S_OK;
        }
        if (piece.has_time) m_rtStart = static_cast<REFERENCE_TIME>(piece.time_ms) * 10000 - m_rtSegmentStart;
        m_bWhole = piece.whole;
        m_segments.push_back({piece.offset, std::vector<BYTE>(piece.bytes.begin(), piece.bytes.end())});
        if (piece.completes && (hr = DeliverSegments()) != S_OK) return hr;
    }
    return S_OK;
}

HRESULT CRealMediaSplitterOutputPin::DeliverSegments()
{
    if (m_segments.empty()) {
        ResetSegments();
        return S_OK;
    }
    // One byte of piece count, a (1, offset) pair a piece, then the pieces at their offsets.
    std::size_t frame = 0;
    for (const auto& s : m_segments) frame = std::max<std::size_t>(frame, s.offset + s.data.size());
    const std::size_t header = 1 + 8 * m_segments.size();
    auto p = std::make_unique<Packet>();
    p->data.resize(header + frame);
    p->data[0] = m_bWhole ? 0 : static_cast<BYTE>(m_segments.size() - 1);
    for (std::size_t i = 0; i < m_segments.size(); ++i) {
        const DWORD pair[2] = {1, m_segments[i].offset};
        std::memcpy(p->data.data() + 1 + 8 * i, pair, sizeof pair);
        if (!m_segments[i].data.empty())   // a piece may hold no bytes
            std::memcpy(p->data.data() + header + m_segments[i].offset, m_segments[i].data.data(), m_segments[i].data.size());
    }
    p->bDiscontinuity = m_bDiscontinuity;
    p->bSyncPoint = m_bSyncPoint;
    p->rtStart = m_rtStart;
    p->rtStop = m_rtStart + 1;
    ResetSegments();
    return CBaseSplitterOutputPin::DeliverPacket(std::move(p));
}
