#include "splitter/mpeg4/MPEG4VideoParser.h"

#include "platform/dshow/MediaFormats.h"
#include "splitter/base/BaseSplitterFilter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <span>
#include <utility>
#include <vector>

namespace {

constexpr LONGLONG header_window = 1024;
constexpr BYTE visual_object = 0xB5;
constexpr BYTE user_data = 0xB2;
constexpr BYTE plane = 0xB6;
constexpr REFERENCE_TIME default_period = 400000;   // 25 frames a second

}

// Finds the planes' start codes (00 00 01 B6) in consecutive blocks of the
// stream, also where one straddles two blocks, with the plane's coding type
// (intra when the two bits after the code are 0).
class CMPEG4VideoParser::PlaneFinder {
public:
    explicit PlaneFinder(LONGLONG offset) : m_offset(offset) {}

    // Calls found(offset of the start code, intra) for each plane whose coding type this block completes.
    template <class Found>
    void scan(std::span<const BYTE> block, Found&& found)
    {
        if (m_pending >= 0 && !block.empty()) found(std::exchange(m_pending, -1), (block[0] >> 6) == 0);
        const BYTE* const data = block.data();
        const std::size_t n = block.size();
        for (std::size_t i = 0; i < n;) {
            auto* hit = static_cast<const BYTE*>(std::memchr(data + i, plane, n - i));
            if (!hit) break;
            const std::size_t j = static_cast<std::size_t>(hit - data);
            i = j + 1;
            if (byte_before(block, j, 1) != 1 || byte_before(block, j, 2) != 0 || byte_before(block, j, 3) != 0)
                continue;
            const LONGLONG at = m_offset + static_cast<LONGLONG>(j) - 3;
            if (j + 1 < n) found(at, (data[j + 1] >> 6) == 0);
            else m_pending = at;
        }
        for (std::size_t k = n > 3 ? n - 3 : 0; k < n; ++k) m_last = m_last << 8 | block[k];
        m_offset += static_cast<LONGLONG>(n);
    }
    // At the end of the data: a plane whose coding type never came.
    template <class Found>
    void finish(Found&& found)
    {
        if (m_pending >= 0) found(std::exchange(m_pending, -1), false);
    }

private:
    // The byte `back` places before index j, from the block or the bytes before it.
    int byte_before(std::span<const BYTE> block, std::size_t j, std::size_t back) const
    {
        if (j >= back) return block[j - back];
        return static_cast<int>(m_last >> (8 * (back - j - 1)) & 0xFF);
    }

    LONGLONG m_offset;                     // of the next block's first byte
    std::uint32_t m_last{0xFFFFFFFF};      // the last bytes before it, the latest lowest
    LONGLONG m_pending{-1};                // a start code whose coding type is in the next block; -1: none
};

// Cuts the bytes of one run into one packet per plane, each plane from its
// start code to the next one, timed by the frame period.
class CMPEG4VideoParser::PlaneCutter {
public:
    PlaneCutter(CMPEG4VideoParser& parser, REFERENCE_TIME period)
        : m_parser(parser), m_period(period), m_plane(parser.m_run_start.plane),
          m_packet_start(parser.m_run_start.offset), m_covered(m_packet_start)
    {
        open_packet();
    }

    HRESULT result() const { return m_result; }
    // The next block of the run; its planes are cut, then finish_block takes the rest of it.
    void take(LONGLONG offset, std::span<const BYTE> block)
    {
        m_block_offset = offset;
        m_block = block;
    }
    void finish_block() { append_to(m_block_offset + static_cast<LONGLONG>(m_block.size())); }
    // A plane starts at this offset: the packet before it is complete.
    void cut(LONGLONG at, bool intra)
    {
        if (at <= m_packet_start) return;   // the run's first plane
        m_parser.Remember(++m_plane, at, intra);
        if (at > m_covered) append_to(at);
        auto next = std::make_unique<Packet>();
        // Bytes of the new plane already taken (its start code straddled two blocks) move over.
        const auto moved = static_cast<std::size_t>(m_covered - at);
        auto& data = m_packet->data;
        next->data.assign(data.end() - static_cast<std::ptrdiff_t>(moved), data.end());
        data.resize(data.size() - moved);
        deliver();
        m_packet = std::move(next);
        time_packet();
        m_packet_start = at;
    }
    void end() { deliver(); }

private:
    void open_packet()
    {
        m_packet = std::make_unique<Packet>();
        time_packet();
    }
    void time_packet()
    {
        m_packet->TrackNumber = 0;
        m_packet->rtStart = m_time;
        m_packet->rtStop = m_time + m_period;
        m_time += m_period;
    }
    void append_to(LONGLONG end)
    {
        const auto from = static_cast<std::size_t>(m_covered - m_block_offset);
        const auto to = static_cast<std::size_t>(end - m_block_offset);
        m_packet->data.insert(m_packet->data.end(), m_block.begin() + static_cast<std::ptrdiff_t>(from),
                              m_block.begin() + static_cast<std::ptrdiff_t>(to));
        m_covered = end;
    }
    void deliver()
    {
        if (m_packet && !m_packet->data.empty() && SUCCEEDED(m_result))
            m_result = m_parser.m_pFilter->DeliverPacket(std::move(m_packet));
        m_packet.reset();
    }

    CMPEG4VideoParser& m_parser;
    const REFERENCE_TIME m_period;
    REFERENCE_TIME m_time{m_parser.m_run_start.plane * m_period};
    LONGLONG m_plane;                    // the number of the plane being gathered
    LONGLONG m_packet_start;             // the offset of its start code
    LONGLONG m_covered;                  // the bytes up to here are in a packet
    LONGLONG m_block_offset{0};
    std::span<const BYTE> m_block;
    std::unique_ptr<Packet> m_packet;
    HRESULT m_result{S_OK};
};

struct CMPEG4VideoParser::Header {
    DWORD aspect_x{1}, aspect_y{1};
    REFERENCE_TIME period{default_period};   // unless the stream fixes its rate
    LONG width{0}, height{0};
};

CMPEG4VideoParser::CMPEG4VideoParser(CBaseSplitterFilter* filter) : CBaseParser(filter) {}

CMPEG4VideoParser::~CMPEG4VideoParser() = default;

void CMPEG4VideoParser::CloseFile() { m_file.reset(); }

bool CMPEG4VideoParser::SetCacheSize(int size) { return m_file && m_file->SetCacheSize(size); }

bool CMPEG4VideoParser::SkipToStartCode()
{
    // Leaves the reader on the next start code that is not user data.
    m_file->BitByteAlign();
    while (m_file->GetRemaining() >= 4) {
        if (m_file->BitRead(24, true) == 1) {
            const LONGLONG at = m_file->GetPos();
            m_file->BitRead(24);
            if (m_file->BitRead(8) != user_data) {
                m_file->Seek(at);
                return true;
            }
            continue;
        }
        m_file->BitRead(8);
    }
    return false;
}

bool CMPEG4VideoParser::ReadVisualObject(Header& h)
{
    if (m_file->BitRead(1)) {
        m_file->BitRead(4);
        m_file->BitRead(3);
    }
    const ULONGLONG type = m_file->BitRead(4);
    if ((type == 1 || type == 2) && m_file->BitRead(1)) {
        m_file->BitRead(3);
        m_file->BitRead(1);
        if (m_file->BitRead(1)) m_file->BitRead(24);
    }
    if (!SkipToStartCode() || type != 1) return false;
    if (m_file->BitRead(24) != 1 || m_file->BitRead(8) > 0x1F) return false;
    if (m_file->BitRead(24) != 1) return false;
    const ULONGLONG layer = m_file->BitRead(8);
    if (layer < 0x20 || layer > 0x2F) return false;
    return ReadVideoObjectLayer(h);
}

bool CMPEG4VideoParser::ReadVideoObjectLayer(Header& h)
{
    auto& f = *m_file;
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
    std::vector<BYTE> header(static_cast<std::size_t>(m_data_start));
    m_file->Seek(0);
    if (!header.empty() && m_file->ByteRead(header.data(), m_data_start) != S_OK) return E_FAIL;
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
    m_file.reset();
    HRESULT hr = S_OK;
    m_file = CBaseSplitterFileEx::Create(reader, hr, RandomAccess::Required, Streaming::No);
    if (!m_file) return hr;
    Header h;
    if (m_file->BitRead(24, true) != 1) return E_FAIL;
    BYTE code = 0;
    while (m_file->GetPos() < header_window && m_file->NextMpegStartCode(code, header_window - m_file->GetPos())) {
        if (code == visual_object) {
            if (!ReadVisualObject(h)) break;
        } else if (code == plane) {
            m_data_start = m_file->GetPos() - 4;
            break;
        }
    }
    if (h.width <= 0 || h.height <= 0) return E_FAIL;
    m_length = m_file->GetLength();
    // A run may always start where the data starts.
    m_intra_planes.assign(1, IndexedPlane{0, m_data_start});
    m_index_end = m_run_start = IndexedPlane{0, m_data_start};
    return AddPin(h);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

REFERENCE_TIME CMPEG4VideoParser::FramePeriod()
{
    REFERENCE_TIME period = default_period;
    CBaseSplitterOutputPin* pin = m_pFilter->GetOutputPin(0);
    CMediaType first;
    if (pin && pin->GetMediaType(0, &first) == S_OK && first.formattype == FORMAT_MPEG2Video &&
        first.cbFormat >= sizeof(VIDEOINFOHEADER2))
        period = reinterpret_cast<const VIDEOINFOHEADER2*>(first.Format())->AvgTimePerFrame;
    return period;
}

bool CMPEG4VideoParser::ReadBlock(LONGLONG offset, std::vector<BYTE>& block)
{
    const LONGLONG n = std::min<LONGLONG>(block_size, m_length - offset);
    if (n <= 0) return false;
    block.resize(static_cast<std::size_t>(n));
    m_file->Seek(offset);
    return m_file->ByteRead(block.data(), n) == S_OK;
}

void CMPEG4VideoParser::Remember(LONGLONG plane, LONGLONG offset, bool intra)
{
    if (plane <= m_index_end.plane) return;
    m_index_end = {plane, offset};
    if (intra) m_intra_planes.push_back({plane, offset});
}

void CMPEG4VideoParser::ExtendIndex(LONGLONG wanted)
{
    // Planes beyond the index are counted from the last one it holds, a block at a time.
    LONGLONG plane = m_index_end.plane;
    LONGLONG offset = m_index_end.offset;
    PlaneFinder finder(offset);
    std::vector<BYTE> block;
    while (m_index_end.plane < wanted && ReadBlock(offset, block)) {
        finder.scan(block, [&](LONGLONG at, bool intra) {
            if (at > m_index_end.offset) Remember(++plane, at, intra);
        });
        offset += static_cast<LONGLONG>(block.size());
    }
    finder.finish([&](LONGLONG at, bool intra) {
        if (at > m_index_end.offset) Remember(++plane, at, intra);
    });
}

bool CMPEG4VideoParser::DemuxSeek(REFERENCE_TIME start)
{
    if (!m_file) return true;
    m_run_start = {0, m_data_start};
    const REFERENCE_TIME period = FramePeriod();
    if (start > 0 && period > 0) {
        // The run starts at the last intra plane at or before the target; the planes up to it are preroll.
        const LONGLONG target = start / period;
        ExtendIndex(target);
        auto after = std::upper_bound(m_intra_planes.begin(), m_intra_planes.end(), target,
                                      [](LONGLONG t, const IndexedPlane& p) { return t < p.plane; });
        if (after != m_intra_planes.begin()) m_run_start = *std::prev(after);
    }
    m_file->Seek(m_run_start.offset);
    return true;
}

int CMPEG4VideoParser::DemuxLoop()
{
    if (!m_file || !m_pFilter->GetOutputPin(0)) return 1;
    PlaneCutter cutter(*this, FramePeriod());
    PlaneFinder finder(m_run_start.offset);
    std::vector<BYTE> block;
    LONGLONG offset = m_run_start.offset;
    while (SUCCEEDED(cutter.result()) && !m_pFilter->CheckRequest() && ReadBlock(offset, block)) {
        cutter.take(offset, block);
        finder.scan(block, [&](LONGLONG at, bool intra) { cutter.cut(at, intra); });
        cutter.finish_block();
        offset += static_cast<LONGLONG>(block.size());
    }
    if (SUCCEEDED(cutter.result()) && !m_pFilter->CheckRequest()) {
        finder.finish([&](LONGLONG at, bool intra) { cutter.cut(at, intra); });
        cutter.end();
    }
    return 1;
}
