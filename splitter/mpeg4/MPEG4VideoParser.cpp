#include "splitter/mpeg4/MPEG4VideoParser.h"

#include "platform/dshow/MediaFormats.h"
#include "splitter/base/BaseSplitterFilter.h"

#include <bit>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr LONGLONG header_window = 1024;
constexpr ULONGLONG plane_start = 0x000001B6;
constexpr BYTE visual_object = 0xB5;
constexpr BYTE user_data = 0xB2;
constexpr BYTE plane = 0xB6;
constexpr int packet_reserve = 1024;
constexpr int bytes_per_round = 65536;

}

struct CMPEG4VideoParser::Header {
    DWORD aspect_x{1}, aspect_y{1};
    REFERENCE_TIME period{400000};   // 25 frames a second unless the stream fixes its rate
    LONG width{0}, height{0};
};

CMPEG4VideoParser::CMPEG4VideoParser(CBaseSplitterFilter* filter) : CBaseParser(filter) {}

CMPEG4VideoParser::~CMPEG4VideoParser() = default;

void CMPEG4VideoParser::CloseFile() { m_pFile.reset(); }

bool CMPEG4VideoParser::SetCacheSize(int size) { return m_pFile && m_pFile->SetCacheSize(size); }

bool CMPEG4VideoParser::SkipToStartCode()
{
    // Leaves the reader on the next start code that is not user data.
    m_pFile->BitByteAlign();
    while (m_pFile->GetRemaining() >= 4) {
        if (m_pFile->BitRead(24, true) == 1) {
            const LONGLONG at = m_pFile->GetPos();
            m_pFile->BitRead(24);
            if (m_pFile->BitRead(8) != user_data) {
                m_pFile->Seek(at);
                return true;
            }
            continue;
        }
        m_pFile->BitRead(8);
    }
    return false;
}

bool CMPEG4VideoParser::ReadVisualObject(Header& h)
{
    if (m_pFile->BitRead(1)) {
        m_pFile->BitRead(4);
        m_pFile->BitRead(3);
    }
    const ULONGLONG type = m_pFile->BitRead(4);
    if ((type == 1 || type == 2) && m_pFile->BitRead(1)) {
        m_pFile->BitRead(3);
        m_pFile->BitRead(1);
        if (m_pFile->BitRead(1)) m_pFile->BitRead(24);
    }
    if (!SkipToStartCode() || type != 1) return false;
    if (m_pFile->BitRead(24) != 1 || m_pFile->BitRead(8) > 0x1F) return false;
    if (m_pFile->BitRead(24) != 1) return false;
    const ULONGLONG layer = m_pFile->BitRead(8);
    if (layer < 0x20 || layer > 0x2F) return false;
    return ReadVideoObjectLayer(h);
}

bool CMPEG4VideoParser::ReadVideoObjectLayer(Header& h)
{
    auto& f = *m_pFile;
    f.BitRead(1);   // random accessible
    if (f.BitRead(8) == 18) return false;   // fine granularity scalable: not ours
    ULONGLONG version = 1;
    if (f.BitRead(1)) {
        version = f.BitRead(4);
        f.BitRead(3);
    }
    constexpr DWORD aspects[6][2] = {{0, 0}, {1, 1}, {12, 11}, {10, 11}, {16, 11}, {40, 33}};
    const ULONGLONG aspect = f.BitRead(4);
    if (aspect >= 1 && aspect <= 5) {
        h.aspect_x = aspects[aspect][0];
        h.aspect_y = aspects[aspect][1];
    } else if (aspect == 15) {
        h.aspect_x = static_cast<DWORD>(f.BitRead(8));
        h.aspect_y = static_cast<DWORD>(f.BitRead(8));
    }
    if (f.BitRead(1)) {
        f.BitRead(2);
        f.BitRead(1);
        if (f.BitRead(1)) {
            // Bit rate, buffer size and occupancy in halves, each followed by a marker but one.
            constexpr int fields[][2] = {{15, 1}, {15, 1}, {15, 1}, {3, 0}, {11, 1}, {15, 1}};
            for (auto [bits, marker] : fields) {
                f.BitRead(bits);
                if (marker && f.BitRead(1) != 1) return false;
            }
        }
    }
    const ULONGLONG shape = f.BitRead(2);
    if (shape == 3 && version != 1) f.BitRead(4);
    if (f.BitRead(1) != 1) return false;
    const ULONGLONG resolution = f.BitRead(16);
    if (f.BitRead(1) != 1 || resolution == 0) return false;
    if (f.BitRead(1)) {
        // The increment has as many bits as the largest increment below the resolution needs.
        const int bits = std::max(1, static_cast<int>(std::bit_width(resolution - 1)));
        const ULONGLONG increment = f.BitRead(bits);
        if (increment != 0 && increment != CBaseSplitterFile::failed_bit_read)
            h.period = static_cast<REFERENCE_TIME>(increment * 10000000 / resolution);
    }
    if (shape == 2) return true;
    if (shape == 0) {
        if (f.BitRead(1) != 1) return false;
        const ULONGLONG width = f.BitRead(13);
        if (f.BitRead(1) != 1) return false;
        const ULONGLONG height = f.BitRead(13);
        if (f.BitRead(1) != 1) return false;
        h.width = static_cast<LONG>(width);
        h.height = static_cast<LONG>(height);
    }
    f.BitRead(1);   // interlaced
    f.BitRead(1);   // overlapped blocks
    return true;
}

HRESULT CMPEG4VideoParser::AddPin(const Header& h)
{
    std::vector<BYTE> header(static_cast<std::size_t>(m_DataStart));
    m_pFile->Seek(0);
    if (!header.empty() && m_pFile->ByteRead(header.data(), m_DataStart) != S_OK) return E_FAIL;
    std::vector<CMediaType> types;
    for (DWORD fourcc : {MAKEFOURCC('m', 'p', '4', 'v'), MAKEFOURCC('M', 'P', '4', 'V')}) {
        CMediaType t(MEDIATYPE_Video);
        const GUID subtype = plat::fourcc_guid(fourcc);
        t.SetSubtype(&subtype);
        t.SetFormatType(&FORMAT_MPEG2Video);
        auto* mvih = reinterpret_cast<MPEG2VIDEOINFO*>(t.AllocFormatBuffer(static_cast<ULONG>(mpeg2_video_info_size(header.size()))));
        if (!mvih) return E_OUTOFMEMORY;
        mvih->hdr.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        mvih->hdr.bmiHeader.biWidth = h.width;
        mvih->hdr.bmiHeader.biHeight = h.height;
        mvih->hdr.bmiHeader.biPlanes = 1;
        mvih->hdr.bmiHeader.biBitCount = 24;
        mvih->hdr.bmiHeader.biCompression = fourcc;
        mvih->hdr.AvgTimePerFrame = h.period;
        mvih->hdr.dwPictAspectRatioX = h.aspect_x * static_cast<DWORD>(h.width);
        mvih->hdr.dwPictAspectRatioY = h.aspect_y * static_cast<DWORD>(h.height);
        mvih->cbSequenceHeader = static_cast<DWORD>(header.size());
        if (!header.empty()) std::memcpy(mvih->dwSequenceHeader, header.data(), header.size());
        types.push_back(std::move(t));
    }
    HRESULT hr = S_OK;
    return m_pFilter->AddOutputPin(0, std::make_unique<CBaseSplitterOutputPin>(std::move(types), u"Video", m_pFilter,
                                                                               m_pFilter->FilterLock(), &hr));
}

HRESULT CMPEG4VideoParser::Open(IAsyncReader* reader) try
{
    if (!reader) return E_POINTER;
    m_pFile.reset();
    HRESULT hr = S_OK;
    m_pFile = CBaseSplitterFileEx::Create(reader, hr, RandomAccess::Required, Streaming::No);
    if (!m_pFile) return hr;
    Header h;
    if (m_pFile->BitRead(24, true) != 1) return E_FAIL;
    BYTE code = 0;
    while (m_pFile->GetPos() < header_window && m_pFile->NextMpegStartCode(code, header_window - m_pFile->GetPos())) {
        if (code == visual_object) {
            if (!ReadVisualObject(h)) break;
        } else if (code == plane) {
            m_DataStart = m_pFile->GetPos() - 4;
            break;
        }
    }
    if (h.width <= 0 || h.height <= 0) return E_FAIL;
    return AddPin(h);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

bool CMPEG4VideoParser::DemuxSeek(REFERENCE_TIME)
{
    if (m_pFile) m_pFile->Seek(m_DataStart);
    return true;
}

int CMPEG4VideoParser::DemuxLoop()
{
    CBaseSplitterOutputPin* pin = m_pFilter->GetOutputPin(0);
    if (!m_pFile || !pin) return 1;
    CMediaType first;
    pin->GetMediaType(0, &first);
    REFERENCE_TIME period = 400000;
    if (first.formattype == FORMAT_MPEG2Video && first.cbFormat >= sizeof(VIDEOINFOHEADER2))
        period = reinterpret_cast<const VIDEOINFOHEADER2*>(first.Format())->AvgTimePerFrame;
    REFERENCE_TIME time = 0;
    HRESULT hr = S_OK;
    std::unique_ptr<Packet> p;
    while (SUCCEEDED(hr) && !m_pFilter->CheckRequest() && m_pFile->GetRemaining() > 0) {
        for (int i = 0; i < bytes_per_round; ++i) {
            const bool end = m_pFile->GetRemaining() <= 0;
            if (p && !p->data.empty() && (end || m_pFile->BitRead(32, true) == plane_start))
                hr = m_pFilter->DeliverPacket(std::move(p));
            if (end) break;
            if (!p) {
                p = std::make_unique<Packet>();
                p->TrackNumber = 0;
                p->rtStart = time;
                p->rtStop = time + period;
                p->data.reserve(packet_reserve);
                time += period;
            }
            p->data.push_back(static_cast<BYTE>(m_pFile->BitRead(8)));
        }
    }
    return 1;
}
