#include "splitter/realmedia/RMParser.h"

#include "platform/base/Utf.h"
#include "splitter/base/BaseSplitterFilter.h"
#include "splitter/realmedia/RMFile.h"
#include "splitter/realmedia/RealMediaSplitterOutputPin.h"
#include "splitter/realmedia/RealMediaTypes.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr BYTE key_frame_flag = 2;

void put_le(std::vector<BYTE>& out, DWORD value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

}

CRMParser::CRMParser(CBaseSplitterFilter* filter) : CBaseParser(filter) {}

CRMParser::~CRMParser() = default;

HRESULT CRMParser::Open(IAsyncReader* reader)
{
    if (!reader) return E_POINTER;
    BYTE magic[4] = {};
    if (reader->SyncRead(0, 4, magic) != S_OK || std::memcmp(magic, ".RMF", 4) != 0) return E_FAIL;
    HRESULT hr = S_OK;
    m_pFile.reset(new (std::nothrow) CRMFile(reader, hr));
    if (!m_pFile) return E_OUTOFMEMORY;
    if (FAILED(hr)) {
        m_pFile.reset();
        return hr;
    }
    bool any = false;
    for (const auto& mp : m_pFile->m_mps) {
        std::vector<CMediaType> types = RealMediaStreamTypes(mp);
        if (types.empty()) continue;
        char name[300];
        if (mp.name.empty()) std::snprintf(name, sizeof name, "Output %02d", mp.stream);
        else std::snprintf(name, sizeof name, "Output %02d (%s)", mp.stream, mp.name.c_str());
        auto pin = std::make_unique<CRealMediaSplitterOutputPin>(std::move(types), plat::utf8_to_utf16(name).c_str(),
                                                                 m_pFilter, m_pFilter->FilterLock(), &hr);
        if (SUCCEEDED(m_pFilter->AddOutputPin(mp.stream, std::move(pin)))) any = true;
    }
    for (std::size_t n = 0; n < m_pFile->m_subs.size(); ++n) {
        const auto& sub = m_pFile->m_subs[n];
        char name[300];
        if (sub.name.empty()) std::snprintf(name, sizeof name, "Subtitle %02zu", n);
        else std::snprintf(name, sizeof name, "Subtitle %02zu(%s)", n, sub.name.c_str());
        CMediaType mt(MEDIATYPE_Text);
        auto pin = std::make_unique<CRealMediaSplitterOutputPin>(std::vector<CMediaType>{mt},
                                                                 plat::utf8_to_utf16(name).c_str(), m_pFilter,
                                                                 m_pFilter->FilterLock(), &hr);
        if (SUCCEEDED(m_pFilter->AddOutputPin(~static_cast<DWORD>(n), std::move(pin)))) any = true;
    }
    m_rtDuration = static_cast<REFERENCE_TIME>(m_pFile->m_p.tDuration) * 10000;
    return any ? S_OK : E_FAIL;
}

bool CRMParser::DemuxInit()
{
    if (!m_pFile) return false;
    StartAtBeginning();
    return true;
}

void CRMParser::CloseFile() { m_pFile.reset(); }

bool CRMParser::SetCacheSize(int size) { return m_pFile && m_pFile->SetCacheSize(size); }

void CRMParser::StartAtBeginning()
{
    m_iChunk = 0;
    m_nPacket = 0;
    m_dataPos = m_pFile && !m_pFile->m_dcs.empty() ? m_pFile->m_dcs[0].pos : 0;
}

bool CRMParser::DemuxSeek(REFERENCE_TIME start)
{
    StartAtBeginning();
    if (start <= 0 || !m_pFile) return true;
    const REFERENCE_TIME target_ms = start / 10000;
    // The last entry at or before the target: the index is in time order.
    const RMFF::IndexRecord* entry = nullptr;
    for (const auto& ir : m_pFile->m_irs)
        if (ir.tStart <= target_ms) entry = &ir;
    if (!entry) return true;
    DWORD first_packet = 0;
    for (std::size_t c = 0; c < m_pFile->m_dcs.size(); ++c) {
        const RMFF::DataChunk& dc = m_pFile->m_dcs[c];
        const bool holds = entry->packet < first_packet + dc.nPackets || c + 1 == m_pFile->m_dcs.size();
        if (holds && entry->ptrFilePos >= dc.pos && entry->ptrFilePos < dc.end) {
            m_iChunk = c;
            m_dataPos = entry->ptrFilePos;
            m_nPacket = entry->packet;
            return true;
        }
        first_packet += dc.nPackets;
    }
    return true;
}

HRESULT CRMParser::DeliverSubtitles()
{
    HRESULT hr = S_OK;
    for (std::size_t n = 0; n < m_pFile->m_subs.size() && SUCCEEDED(hr); ++n) {
        const auto& sub = m_pFile->m_subs[n];
        auto p = std::make_unique<Packet>();
        p->TrackNumber = ~static_cast<DWORD>(n);
        p->bSyncPoint = true;
        p->rtStart = 0;
        p->rtStop = 1;
        p->data = {'G', 'A', 'B', '2'};
        put_le(p->data, 2, 2);
        put_le(p->data, static_cast<DWORD>(sub.name.size()), 4);
        p->data.insert(p->data.end(), sub.name.begin(), sub.name.end());
        put_le(p->data, 4, 2);
        put_le(p->data, static_cast<DWORD>(sub.data.size()), 4);
        p->data.insert(p->data.end(), sub.data.begin(), sub.data.end());
        hr = m_pFilter->DeliverPacket(std::move(p));
    }
    return hr;
}

int CRMParser::DemuxLoop()
{
    if (!m_pFile) return 1;
    HRESULT hr = DeliverSubtitles();
    for (; m_iChunk < m_pFile->m_dcs.size() && SUCCEEDED(hr) && !m_pFilter->CheckRequest(); ++m_iChunk) {
        const RMFF::DataChunk& dc = m_pFile->m_dcs[m_iChunk];
        m_pFile->Seek(std::max(m_dataPos, dc.pos));
        while (SUCCEEDED(hr) && !m_pFilter->CheckRequest() && m_pFile->GetPos() < dc.end) {
            RMFF::MediaPacketHeader mph;
            if (!m_pFile->Read(mph) || mph.stream < 0) break;
            ++m_nPacket;
            auto p = std::make_unique<Packet>();
            p->TrackNumber = static_cast<DWORD>(mph.stream);
            p->bSyncPoint = (mph.flags & key_frame_flag) != 0;
            p->rtStart = static_cast<REFERENCE_TIME>(mph.tStart) * 10000;
            p->rtStop = p->rtStart + 1;
            p->data = std::move(mph.data);
            hr = m_pFilter->DeliverPacket(std::move(p));
        }
        m_dataPos = 0;
    }
    return 1;
}
