#include "splitter/flv/FlashParser.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Time.h"
#include "platform/dshow/MediaFormats.h"
#include "splitter/base/BaseSplitterFilter.h"
#include "splitter/formats/AvcPictureSize.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr DWORD audio_tag = 8;
constexpr DWORD video_tag = 9;
constexpr DWORD script_tag = 18;
constexpr DWORD private_tag = 225;
constexpr DWORD header_size = 15;          // previous tag size and the 11-byte tag header
constexpr DWORD unchecked_tag_size = 65536;   // larger tags are checked against their trailing size field
constexpr int max_header_tags = 100;
constexpr LONGLONG sync_window = 10000;
constexpr double one_year_s = 31536000.0;
constexpr ULONGLONG failed = CBaseSplitterFile::failed_bit_read;

double be_double(const BYTE* p)
{
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
    return std::bit_cast<double>(v);
}

}

struct CFlashParser::Tag {
    DWORD PreviousTagSize;
    DWORD TagType;
    DWORD DataSize;
    DWORD TimeStamp;   // milliseconds, with the extension byte as its top 8 bits
};

struct CFlashParser::AudioTag {
    int SoundFormat, SoundRate, SoundSize, SoundType;
};

struct CFlashParser::VideoTag {
    int FrameType, CodecID;
};

CFlashParser::CFlashParser(CBaseSplitterFilter* filter) : CBaseParser(filter) {}

CFlashParser::~CFlashParser() = default;

void CFlashParser::CloseFile() { m_pFile.reset(); }

bool CFlashParser::SetCacheSize(int size) { return m_pFile && m_pFile->SetCacheSize(size); }

LONGLONG CFlashParser::GetAvailableLength() { return m_pFile ? m_pFile->GetLength() : 0; }

bool CFlashParser::ReadTag(Tag& t)
{
    BYTE h[header_size];
    if (m_pFile->GetRemaining() < header_size || m_pFile->ByteRead(h, header_size) != S_OK) return false;
    t.PreviousTagSize = DWORD{h[0]} << 24 | DWORD{h[1]} << 16 | DWORD{h[2]} << 8 | h[3];
    t.TagType = h[4];
    t.DataSize = DWORD{h[5]} << 16 | DWORD{h[6]} << 8 | h[7];
    // The extension byte carries the time beyond 4.66 hours.
    t.TimeStamp = DWORD{h[11]} << 24 | DWORD{h[8]} << 16 | DWORD{h[9]} << 8 | h[10];
    return true;
}

bool CFlashParser::ReadTag(AudioTag& at)
{
    ULONGLONG b = m_pFile->BitRead(8);
    if (b == failed) return false;
    at.SoundFormat = static_cast<int>(b >> 4);
    at.SoundRate = static_cast<int>(b >> 2 & 3);
    at.SoundSize = static_cast<int>(b >> 1 & 1);
    at.SoundType = static_cast<int>(b & 1);
    return true;
}

bool CFlashParser::ReadTag(VideoTag& vt)
{
    ULONGLONG b = m_pFile->BitRead(8);
    if (b == failed) return false;
    vt.FrameType = static_cast<int>(b >> 4);
    vt.CodecID = static_cast<int>(b & 0xF);
    return true;
}

bool CFlashParser::TagEndsWhereItSays(LONGLONG data_start, DWORD size)
{
    const LONGLONG end = data_start + size;
    const LONGLONG available = m_pFile->GetAvailable();
    if (end == available) return true;
    if (end + 4 > available) return false;
    const LONGLONG back = m_pFile->GetPos();
    m_pFile->Seek(end);
    const bool matches = m_pFile->BitRead(32) == size + 11;
    m_pFile->Seek(back);
    return matches;
}

bool CFlashParser::Sync(LONGLONG& position)
{
    m_pFile->Seek(position);
    while (m_pFile->GetRemaining() >= 11) {
        const LONGLONG limit = std::min(m_pFile->GetRemaining(), sync_window) + 1;
        ULONGLONG b = 0;
        LONGLONG scanned = 0;
        do {
            b = m_pFile->BitRead(8);
            if (b == failed) return false;
        } while (b != audio_tag && b != video_tag && ++scanned < limit);
        if (b != audio_tag && b != video_tag) continue;
        const LONGLONG p = m_pFile->GetPos();
        const ULONGLONG size = m_pFile->BitRead(24);
        if (size == failed || size == 0) {
            m_pFile->Seek(p);
            continue;
        }
        m_pFile->BitRead(24);   // time stamp
        m_pFile->BitRead(32);   // extension and stream id
        if (TagEndsWhereItSays(m_pFile->GetPos(), static_cast<DWORD>(size))) {
            position = p - 5;
            m_pFile->Seek(position);
            return true;
        }
        m_pFile->Seek(p);
    }
    return false;
}

bool CFlashParser::SyncToPosition(LONGLONG offset)
{
    if (!m_pFile) return false;
    if (Sync(offset)) return true;
    m_pFile->Seek(m_DataOffset);
    return false;
}

bool CFlashParser::AudioType(const AudioTag& at, CMediaType& type)
{
    type = CMediaType(MEDIATYPE_Audio);
    type.SetFormatType(&FORMAT_WaveFormatEx);
    auto* wfe = reinterpret_cast<WAVEFORMATEX*>(type.AllocFormatBuffer(sizeof(WAVEFORMATEX)));
    if (!wfe) return false;
    wfe->nSamplesPerSec = static_cast<DWORD>((1 << at.SoundRate) * 44100 / 8);
    wfe->wBitsPerSample = static_cast<WORD>(at.SoundSize * 8 + 8);
    wfe->nChannels = static_cast<WORD>(at.SoundType + 1);
    GUID subtype;
    switch (at.SoundFormat) {
    case 0:
        wfe->wFormatTag = WAVE_FORMAT_PCM;
        subtype = MEDIASUBTYPE_PCM;
        break;
    case 2:
    case 14: {
        wfe->wFormatTag = WAVE_FORMAT_MPEGLAYER3;
        subtype = plat::fourcc_guid(WAVE_FORMAT_MPEGLAYER3);
        type.SetSubtype(&subtype);
        MpegAudioHeader h{};
        CMediaType exact;
        if (m_pFile->ReadAudioHeader(h, 4, false, &exact) && exact.IsValid()) type = exact;
        return true;
    }
    case 5:
    case 6:
        subtype = plat::fourcc_guid(MAKEFOURCC('N', 'E', 'L', 'L'));
        break;
    case 10:
        wfe->wFormatTag = WAVE_FORMAT_AAC;
        subtype = plat::fourcc_guid(WAVE_FORMAT_AAC);
        break;
    default:
        return false;
    }
    type.SetSubtype(&subtype);
    return true;
}

bool CFlashParser::Vp6Type(CMediaType& type)
{
    const ULONGLONG adjust = m_pFile->BitRead(8);
    const ULONGLONG marker = m_pFile->BitRead(16);
    if (adjust == failed || marker == failed || (marker & 0x80FE) != 70) return false;
    const ULONGLONG rows = m_pFile->BitRead(8), cols = m_pFile->BitRead(8);
    const ULONGLONG shown_rows = m_pFile->BitRead(8), shown_cols = m_pFile->BitRead(8);
    if (shown_cols == failed) return false;
    const LONG height = static_cast<LONG>(rows * 16), width = static_cast<LONG>(cols * 16);
    const LONG dw = static_cast<LONG>(shown_cols * 16), dh = static_cast<LONG>(shown_rows * 16);
    const RECT visible{0, 0, width - static_cast<LONG>(adjust >> 4), height - static_cast<LONG>(adjust & 0xF)};
    const DWORD fourcc = MAKEFOURCC('F', 'L', 'V', '4');
    const GUID subtype = plat::fourcc_guid(fourcc);
    type.SetSubtype(&subtype);
    BITMAPINFOHEADER* bmi;
    if (dw && dh && (dw != width || dh != height)) {
        type.SetFormatType(&FORMAT_VideoInfo2);
        auto* vih2 = reinterpret_cast<VIDEOINFOHEADER2*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER2)));
        if (!vih2) return false;
        vih2->rcSource = vih2->rcTarget = visible;
        vih2->dwPictAspectRatioX = static_cast<DWORD>(dw);
        vih2->dwPictAspectRatioY = static_cast<DWORD>(dh);
        bmi = &vih2->bmiHeader;
    } else {
        type.SetFormatType(&FORMAT_VideoInfo);
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
        if (!vih) return false;
        vih->rcSource = vih->rcTarget = visible;
        bmi = &vih->bmiHeader;
    }
    bmi->biSize = sizeof(BITMAPINFOHEADER);
    bmi->biWidth = width;
    bmi->biHeight = height;
    bmi->biCompression = fourcc;
    return true;
}

bool CFlashParser::AvcType(const Tag& t, CMediaType& type)
{
    // The decoder configuration is read whole and every length in it checked against the tag.
    const LONGLONG left = static_cast<LONGLONG>(t.DataSize) - 1;
    if (left < 4 + 6 || left > m_pFile->GetRemaining()) return false;
    std::vector<BYTE> rec(static_cast<std::size_t>(left));
    if (m_pFile->ByteRead(rec.data(), left) != S_OK) return false;
    std::size_t at = 4;   // packet type and composition time
    if (rec.size() < at + 6) return false;
    const BYTE profile = rec[at + 1], level = rec[at + 3];
    if ((rec[at + 4] >> 2) != 63 || (rec[at + 5] >> 5) != 7) return false;
    const DWORD length_size = (rec[at + 4] & 3) + 1u;
    std::vector<BYTE> sps, pps;   // each kept with its 2 length bytes
    auto read_sets = [&](std::size_t count, std::vector<BYTE>& last) {
        for (std::size_t i = 0; i < count; ++i) {
            if (at + 2 > rec.size()) return false;
            const std::size_t n = std::size_t{rec[at]} << 8 | rec[at + 1];
            if (at + 2 + n > rec.size()) return false;
            last.assign(rec.begin() + static_cast<std::ptrdiff_t>(at), rec.begin() + static_cast<std::ptrdiff_t>(at + 2 + n));
            at += 2 + n;
        }
        return true;
    };
    at += 6;
    if (!read_sets(rec[at - 1] & 0x1F, sps) || at >= rec.size()) return false;
    const std::size_t pps_count = rec[at++];
    if (!read_sets(pps_count, pps) || sps.size() < 3) return false;

    int width = 320, height = 240;   // only when the sequence set cannot be read
    if (auto size = ReadAvcPictureSize(std::span<const BYTE>(sps).subspan(2))) {
        width = size->width;
        height = size->height;
    }
    const std::size_t header = sps.size() + pps.size();
    type = CMediaType(MEDIATYPE_Video);
    const DWORD fourcc = MAKEFOURCC('A', 'V', 'C', '1');
    const GUID subtype = plat::fourcc_guid(fourcc);
    type.SetSubtype(&subtype);
    type.SetFormatType(&FORMAT_MPEG2Video);
    auto* mvih = reinterpret_cast<MPEG2VIDEOINFO*>(type.AllocFormatBuffer(static_cast<ULONG>(mpeg2_video_info_size(header))));
    if (!mvih) return false;
    mvih->hdr.dwPictAspectRatioX = static_cast<DWORD>(width);
    mvih->hdr.dwPictAspectRatioY = static_cast<DWORD>(height);
    mvih->hdr.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    mvih->hdr.bmiHeader.biWidth = width;
    mvih->hdr.bmiHeader.biHeight = height;
    mvih->hdr.bmiHeader.biCompression = fourcc;
    mvih->dwProfile = profile;
    mvih->dwLevel = level;
    mvih->dwFlags = length_size;
    mvih->cbSequenceHeader = static_cast<DWORD>(header);
    auto* seq = reinterpret_cast<BYTE*>(mvih->dwSequenceHeader);
    std::memcpy(seq, sps.data(), sps.size());
    std::memcpy(seq + sps.size(), pps.data(), pps.size());
    m_IsAVC = true;
    return true;
}

bool CFlashParser::VideoType(const VideoTag& vt, const Tag& t, CMediaType& type)
{
    type = CMediaType(MEDIATYPE_Video);
    switch (vt.CodecID) {
    case 2: {
        if (m_pFile->BitRead(17) != 1) return false;
        m_pFile->BitRead(13);
        const ULONGLONG code = m_pFile->BitRead(3);
        LONG width = 0, height = 0;
        // The picture sizes of the Sorenson header's size codes.
        constexpr LONG sizes[7][2] = {{0, 0}, {0, 0}, {352, 288}, {176, 144}, {128, 96}, {320, 240}, {160, 120}};
        if (code == 0 || code == 1) {
            const int bits = code == 0 ? 8 : 16;
            width = static_cast<LONG>(m_pFile->BitRead(bits));
            height = static_cast<LONG>(m_pFile->BitRead(bits));
            if (static_cast<ULONGLONG>(height) == failed) return false;
        } else if (code < 7) {
            width = sizes[code][0];
            height = sizes[code][1];
        }
        if (!width || !height) return false;
        const DWORD fourcc = MAKEFOURCC('F', 'L', 'V', '1');
        const GUID subtype = plat::fourcc_guid(fourcc);
        type.SetSubtype(&subtype);
        type.SetFormatType(&FORMAT_VideoInfo);
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
        if (!vih) return false;
        vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih->bmiHeader.biWidth = width;
        vih->bmiHeader.biHeight = height;
        vih->bmiHeader.biCompression = fourcc;
        return true;
    }
    case 5:
        m_pFile->BitRead(24);
        [[fallthrough]];
    case 4:
        return Vp6Type(type);
    case 7:
        return AvcType(t, type);
    default:
        return false;
    }
}

void CFlashParser::ReadScriptData(const Tag& t)
{
    if (t.DataSize > m_pFile->GetRemaining()) return;
    std::vector<BYTE> data(t.DataSize);
    if (m_pFile->ByteRead(data.data(), t.DataSize) != S_OK) return;
    for (std::size_t i = 0; i + 8 <= data.size(); ++i) {
        if (std::memcmp(&data[i], "duration", 8) == 0 && i + 17 <= data.size()) {
            const double seconds = be_double(&data[i + 9]);
            if (seconds >= 0 && seconds < one_year_s) m_rtDuration = static_cast<REFERENCE_TIME>(seconds * 10000000);
        } else if (std::memcmp(&data[i], "videodat", 8) == 0 && i + 22 <= data.size()) {
            const double rate = be_double(&data[i + 14]);
            if (rate >= 0 && rate < 100000) m_nDataRate = static_cast<int>(rate + 22);
        }
    }
}

HRESULT CFlashParser::Open(IAsyncReader* reader) try
{
    if (!reader) return E_POINTER;
    m_pFile.reset();
    HRESULT hr = S_OK;
    m_pFile = CBaseSplitterFileEx::Create(reader, hr, RandomAccess::NotRequired, Streaming::No);
    if (!m_pFile) return hr;
    constexpr ULONGLONG signature = 0x464C56;   // "FLV"
    if (m_pFile->BitRead(24) != signature || m_pFile->BitRead(8) != 1) return E_FAIL;
    m_pFile->BitRead(5);
    m_pFile->BitRead(1);   // the presence bits are not trusted: both streams are looked for
    m_pFile->BitRead(1);
    m_pFile->BitRead(1);
    const ULONGLONG offset = m_pFile->BitRead(32);
    if (offset == failed) return E_FAIL;
    m_DataOffset = static_cast<DWORD>(offset);
    m_pFile->Seek(m_DataOffset);

    bool want_audio = true, want_video = true, added = false;
    Tag t{};
    for (int i = 0; i < max_header_tags && (want_audio || want_video) && ReadTag(t); ++i) {
        const LONGLONG next = m_pFile->GetPos() + t.DataSize;
        CMediaType type;
        bool typed = false;
        const WCHAR* name = nullptr;
        if (t.TagType == audio_tag && want_audio) {
            want_audio = false;
            name = u"Audio";
            AudioTag at{};
            typed = ReadTag(at) && AudioType(at, type);
        } else if (t.TagType == video_tag && want_video) {
            want_video = false;
            name = u"Video";
            VideoTag vt{};
            typed = ReadTag(vt) && vt.FrameType == 1 && VideoType(vt, t, type);
        } else if (t.TagType == script_tag) {
            ReadScriptData(t);
        } else if (t.TagType == private_tag && t.DataSize >= 12) {
            const ULONGLONG rate = m_pFile->BitRead(32), seconds = m_pFile->BitRead(32);
            if (seconds != failed) {
                m_nDataRate = static_cast<int>(rate);
                m_rtDuration = static_cast<REFERENCE_TIME>(seconds) * 10000000;
            }
        }
        if (typed) {
            HRESULT pin_result = S_OK;
            std::vector<CMediaType> types{type};
            m_pFilter->AddOutputPin(t.TagType, std::make_unique<CBaseSplitterOutputPin>(
                                                   std::move(types), name, m_pFilter, m_pFilter->FilterLock(), &pin_result));
            added = true;
        }
        m_pFile->Seek(next);
    }
    return added ? S_OK : E_FAIL;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

REFERENCE_TIME CFlashParser::GetDuration()
{
    if (m_rtDuration != 0 || !m_pFile) return m_rtDuration;
    // Without metadata the duration is the last time stamp in the last 64 KiB.
    LONGLONG start = std::max<LONGLONG>(m_pFile->GetAvailable() - 65536, m_DataOffset);
    if (!Sync(start)) return m_rtDuration;
    int waits = 0;
    Tag t{};
    while (ReadTag(t)) {
        const LONGLONG next = m_pFile->GetPos() + t.DataSize;
        if ((t.DataSize == 0 || t.DataSize == 0xFFFFFF) && waits < 100) {
            ++waits;
            Sleep(1);
        }
        if (t.TagType == audio_tag || t.TagType == video_tag) {
            VideoTag vt{};
            if (ReadTag(vt)) m_rtDuration = std::max(m_rtDuration, REFERENCE_TIME{t.TimeStamp} * 10000);
        }
        m_pFile->Seek(next);
    }
    return m_rtDuration;
}

void CFlashParser::SeekBackToKeyFrame(REFERENCE_TIME start, LONGLONG estimate)
{
    // The run starts at the last key frame at or before the start; a file
    // without video starts at the last audio tag at or before it.
    const bool video = m_pFilter->GetOutputPin(video_tag) != nullptr;
    const bool audio = m_pFilter->GetOutputPin(audio_tag) != nullptr;
    if (!video && !audio) return m_pFile->Seek(m_DataOffset);
    const DWORD wanted_type = video ? video_tag : audio_tag;
    const LONGLONG start_ms = start / 10000;
    LONGLONG last_tag = m_pFile->GetPos() + 1;
    Tag t{};
    while (m_pFile->GetPos() >= m_DataOffset && m_pFile->GetPos() < last_tag && ReadTag(t)) {
        last_tag = m_pFile->GetPos() - header_size;
        const LONGLONG after = m_pFile->GetPos();
        if (REFERENCE_TIME{t.TimeStamp} * 10000 <= start && t.TagType == wanted_type) {
            bool found = false;
            if (t.TagType == audio_tag) {
                AudioTag at{};
                found = ReadTag(at);
            } else {
                VideoTag vt{};
                found = ReadTag(vt) && vt.FrameType == 1;
            }
            if (found) return m_pFile->Seek(last_tag);
        }
        const LONGLONG late_ms = static_cast<LONGLONG>(t.TimeStamp) - start_ms;
        if (m_nDataRate <= 0 || late_ms <= 32768LL * 1000 / m_nDataRate) {
            m_pFile->Seek(after - static_cast<LONGLONG>(t.PreviousTagSize) - 19);
        } else {
            estimate -= late_ms / 1000 * m_nDataRate + 32768;
            LONGLONG at = std::max<LONGLONG>(estimate, m_DataOffset);
            if (!Sync(at) || at >= last_tag) break;
        }
    }
    m_pFile->Seek(m_DataOffset);
}

bool CFlashParser::DemuxSeek(REFERENCE_TIME start)
{
    if (!m_pFile) return false;
    if (m_pFile->IsStreaming() || start <= 0 || m_rtDuration <= 0) {
        m_pFile->Seek(m_DataOffset);
        return true;
    }
    const LONGLONG data = m_pFile->GetAvailable() - m_DataOffset;
    if (m_rtDuration > 10000000) m_nDataRate = static_cast<int>(data / (m_rtDuration / 10000000));
    LONGLONG estimate = static_cast<LONGLONG>(static_cast<double>(data) *
                                              (static_cast<double>(start) / static_cast<double>(m_rtDuration))) +
                        m_DataOffset;
    estimate = std::clamp<LONGLONG>(estimate, m_DataOffset, m_DataOffset + std::max<LONGLONG>(data, 0));
    LONGLONG at = estimate;
    if (!Sync(at)) {
        m_pFile->Seek(m_DataOffset);
        return false;
    }
    Tag t{};
    while (ReadTag(t)) {
        if (REFERENCE_TIME{t.TimeStamp} * 10000 >= start) {
            m_pFile->Seek(m_pFile->GetPos() - header_size);
            break;
        }
        m_pFile->Seek(m_pFile->GetPos() + t.DataSize);
    }
    SeekBackToKeyFrame(start, estimate);
    return true;
}

int CFlashParser::DemuxLoop()
{
    if (!m_pFile) return 1;
    DWORD time_offset = 0, last_time = 0;
    bool segment = false;
    HRESULT hr = S_OK;
    while (SUCCEEDED(hr) && !m_pFilter->CheckRequest() && m_pFile->GetRemaining() >= header_size) {
        const LONGLONG tag_start = m_pFile->GetPos();
        Tag t{};
        if (!ReadTag(t)) break;
        const LONGLONG data_start = m_pFile->GetPos();
        const LONGLONG next = data_start + t.DataSize;
        if (t.TagType != audio_tag && t.TagType != video_tag && t.TagType != script_tag) {
            LONGLONG at = tag_start;
            Sync(at);
            OutputDebugStringA("Splitter:Segment\n");
            segment = true;
            continue;
        }
        if (t.DataSize == 0 || (t.DataSize > unchecked_tag_size && !TagEndsWhereItSays(data_start, t.DataSize))) {
            if (t.DataSize > unchecked_tag_size && next + 4 > m_pFile->GetAvailable() && !m_pFile->IsRandomAccess()) {
                // A large tag of a file still being written: wait for its end.
                m_pFile->Seek(tag_start);
                Sleep(10);
                continue;
            }
            LONGLONG at = tag_start + 9;
            Sync(at);
            OutputDebugStringA("Splitter:Error\n");
            Sleep(10);
            continue;
        }
        AudioTag at{};
        VideoTag vt{};
        bool readable = false, damaged = false;
        if (t.TagType == audio_tag) {
            readable = ReadTag(at);
            damaged = readable && at.SoundFormat == 0xF;
        } else if (t.TagType == video_tag) {
            readable = ReadTag(vt);
            damaged = readable && (vt.FrameType == 0xF || vt.CodecID == 0xF);
        }
        if (damaged) {
            LONGLONG resync = tag_start + 9;
            Sync(resync);
            OutputDebugStringA("Splitter:Error\n");
            continue;
        }
        if (!readable) {
            m_pFile->Seek(next);
            continue;
        }

        auto p = std::make_unique<Packet>();
        p->TrackNumber = t.TagType;
        if (segment) {
            time_offset = t.TimeStamp - last_time;
            segment = false;
        }
        const auto stamp = static_cast<std::int32_t>(t.TimeStamp - time_offset);
        p->rtStart = REFERENCE_TIME{stamp} * 10000;
        p->rtStop = p->rtStart + 1;
        last_time = static_cast<DWORD>(stamp);
        p->bSyncPoint = t.TagType != video_tag || vt.FrameType == 1;
        if (t.TagType == audio_tag && at.SoundFormat == 10) m_pFile->BitRead(8);
        if (t.TagType == video_tag && vt.CodecID == 4) m_pFile->BitRead(8);
        if (t.TagType == video_tag && (vt.CodecID == 5 || vt.CodecID == 7)) m_pFile->BitRead(32);

        const LONGLONG payload = next - m_pFile->GetPos();
        if (payload < 0) {
            m_pFile->Seek(next);
            continue;
        }
        p->data.resize(static_cast<std::size_t>(payload));
        HRESULT read = m_pFile->ByteRead(p->data.data(), payload);
        if (read != S_OK) {
            m_pFile->Seek(tag_start);
            hr = read;
            // A whole file cut inside this tag has nothing more to give; a growing one may.
            if (m_pFile->IsRandomAccess()) break;
            Sleep(10);
            continue;
        }
        hr = m_pFilter->DeliverPacket(std::move(p));
        m_pFile->Seek(next);
    }
    return 1;
}
