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
constexpr int aac_format = 10;
constexpr int avc_codec = 7;
constexpr ULONGLONG aac_config_packet = 0;   // the packet types that carry a decoder configuration
constexpr BYTE avc_config_packet = 0;
constexpr LONGLONG max_config = 0xFFFF;   // what a wave header's 16-bit extra-size field can announce
constexpr DWORD growth_poll_ms = 10;

double be_double(const BYTE* p)
{
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
    return std::bit_cast<double>(v);
}

}

struct CFlashParser::Tag {
    DWORD prev_tag_size;
    DWORD type;
    DWORD data_size;
    DWORD time_stamp;   // milliseconds, with the extension byte as its top 8 bits
};

struct CFlashParser::AudioTag {
    int sound_format, sound_rate, sound_size, sound_type;
};

struct CFlashParser::VideoTag {
    int frame_type, codec_id;
};

CFlashParser::CFlashParser(CBaseSplitterFilter* filter) : CBaseParser(filter) {}

CFlashParser::~CFlashParser() = default;

void CFlashParser::CloseFile() { m_file.reset(); }

bool CFlashParser::SetCacheSize(int size) { return m_file && m_file->SetCacheSize(size); }

LONGLONG CFlashParser::GetAvailableLength() { return m_file ? m_file->GetLength() : 0; }

bool CFlashParser::ReadTag(Tag& t)
{
    BYTE h[header_size];
    if (m_file->GetRemaining() < header_size || m_file->ByteRead(h, header_size) != S_OK) return false;
    t.prev_tag_size = DWORD{h[0]} << 24 | DWORD{h[1]} << 16 | DWORD{h[2]} << 8 | h[3];
    t.type = h[4];
    t.data_size = DWORD{h[5]} << 16 | DWORD{h[6]} << 8 | h[7];
    // The extension byte carries the time beyond 4.66 hours.
    t.time_stamp = DWORD{h[11]} << 24 | DWORD{h[8]} << 16 | DWORD{h[9]} << 8 | h[10];
    return true;
}

bool CFlashParser::ReadTag(AudioTag& at)
{
    ULONGLONG b = m_file->BitRead(8);
    if (b == failed) return false;
    at.sound_format = static_cast<int>(b >> 4);
    at.sound_rate = static_cast<int>(b >> 2 & 3);
    at.sound_size = static_cast<int>(b >> 1 & 1);
    at.sound_type = static_cast<int>(b & 1);
    return true;
}

bool CFlashParser::ReadTag(VideoTag& vt)
{
    ULONGLONG b = m_file->BitRead(8);
    if (b == failed) return false;
    vt.frame_type = static_cast<int>(b >> 4);
    vt.codec_id = static_cast<int>(b & 0xF);
    return true;
}

bool CFlashParser::TagEndsWhereItSays(LONGLONG data_start, DWORD size)
{
    const LONGLONG end = data_start + size;
    const LONGLONG available = m_file->GetAvailable();
    if (end == available) return true;
    if (end + 4 > available) return false;
    const LONGLONG back = m_file->GetPos();
    m_file->Seek(end);
    const bool matches = m_file->BitRead(32) == size + 11;
    m_file->Seek(back);
    return matches;
}

bool CFlashParser::Sync(LONGLONG& position)
{
    m_file->Seek(position);
    while (m_file->GetRemaining() >= 11) {
        const LONGLONG limit = std::min(m_file->GetRemaining(), sync_window) + 1;
        ULONGLONG b = 0;
        LONGLONG scanned = 0;
        do {
            b = m_file->BitRead(8);
            if (b == failed) return false;
        } while (b != audio_tag && b != video_tag && ++scanned < limit);
        if (b != audio_tag && b != video_tag) continue;
        const LONGLONG p = m_file->GetPos();
        const ULONGLONG size = m_file->BitRead(24);
        if (size == failed || size == 0) {
            m_file->Seek(p);
            continue;
        }
        m_file->BitRead(24);   // time stamp
        m_file->BitRead(32);   // extension and stream id
        if (TagEndsWhereItSays(m_file->GetPos(), static_cast<DWORD>(size))) {
            position = p - 5;
            m_file->Seek(position);
            return true;
        }
        m_file->Seek(p);
    }
    return false;
}

bool CFlashParser::SyncToPosition(LONGLONG offset)
{
    if (!m_file) return false;
    if (Sync(offset)) return true;
    m_file->Seek(m_data_start);
    return false;
}

std::vector<BYTE> CFlashParser::ReadAacConfig(const Tag& t)
{
    // After the audio header byte: the packet type (0: the decoder configuration) and the configuration.
    const LONGLONG left = static_cast<LONGLONG>(t.data_size) - 2;
    if (left <= 0 || left > max_config || left > m_file->GetRemaining() || m_file->BitRead(8) != aac_config_packet)
        return {};
    std::vector<BYTE> config(static_cast<std::size_t>(left));
    if (m_file->ByteRead(config.data(), left) != S_OK) return {};
    return config;
}

bool CFlashParser::AudioType(const AudioTag& at, const Tag& t, CMediaType& type)
{
    // The AudioSpecificConfig follows the wave header, where AAC decoders look for it.
    const std::vector<BYTE> config = at.sound_format == aac_format ? ReadAacConfig(t) : std::vector<BYTE>{};
    type = CMediaType(MEDIATYPE_Audio);
    type.SetFormatType(&FORMAT_WaveFormatEx);
    auto* wfe = reinterpret_cast<WAVEFORMATEX*>(type.AllocFormatBuffer(static_cast<ULONG>(sizeof(WAVEFORMATEX) + config.size())));
    if (!wfe) return false;
    wfe->cbSize = static_cast<WORD>(config.size());
    if (!config.empty()) std::memcpy(wfe + 1, config.data(), config.size());
    wfe->nSamplesPerSec = static_cast<DWORD>((1 << at.sound_rate) * 44100 / 8);
    wfe->wBitsPerSample = static_cast<WORD>(at.sound_size * 8 + 8);
    wfe->nChannels = static_cast<WORD>(at.sound_type + 1);
    GUID subtype;
    switch (at.sound_format) {
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
        if (m_file->ReadAudioHeader(h, 4, false, &exact) && exact.IsValid()) type = exact;
        return true;
    }
    case 5:
    case 6:
        subtype = plat::fourcc_guid(MAKEFOURCC('N', 'E', 'L', 'L'));
        break;
    case aac_format:
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
    const ULONGLONG adjust = m_file->BitRead(8);
    const ULONGLONG marker = m_file->BitRead(16);
    if (adjust == failed || marker == failed || (marker & 0x80FE) != 70) return false;
    const ULONGLONG rows = m_file->BitRead(8), cols = m_file->BitRead(8);
    const ULONGLONG shown_rows = m_file->BitRead(8), shown_cols = m_file->BitRead(8);
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
    const LONGLONG left = static_cast<LONGLONG>(t.data_size) - 1;
    if (left < 4 + 6 || left > m_file->GetRemaining()) return false;
    std::vector<BYTE> rec(static_cast<std::size_t>(left));
    if (m_file->ByteRead(rec.data(), left) != S_OK) return false;
    if (rec[0] != avc_config_packet) return false;
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
    if (!pps.empty()) std::memcpy(seq + sps.size(), pps.data(), pps.size());   // a record may hold no picture set
    return true;
}

bool CFlashParser::VideoType(const VideoTag& vt, const Tag& t, CMediaType& type)
{
    type = CMediaType(MEDIATYPE_Video);
    switch (vt.codec_id) {
    case 2: {
        if (m_file->BitRead(17) != 1) return false;
        m_file->BitRead(13);
        const ULONGLONG code = m_file->BitRead(3);
        LONG width = 0, height = 0;
        // The picture sizes of the Sorenson header's size codes.
        constexpr LONG sizes[7][2] = {{0, 0}, {0, 0}, {352, 288}, {176, 144}, {128, 96}, {320, 240}, {160, 120}};
        if (code == 0 || code == 1) {
            const int bits = code == 0 ? 8 : 16;
            width = static_cast<LONG>(m_file->BitRead(bits));
            height = static_cast<LONG>(m_file->BitRead(bits));
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
        m_file->BitRead(24);
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
    if (t.data_size > m_file->GetRemaining()) return;
    std::vector<BYTE> data(t.data_size);
    if (m_file->ByteRead(data.data(), t.data_size) != S_OK) return;
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
    m_file.reset();
    HRESULT hr = S_OK;
    m_file = CBaseSplitterFileEx::Create(reader, hr, RandomAccess::NotRequired, Streaming::No);
    if (!m_file) return hr;
    constexpr ULONGLONG signature = 0x464C56;   // "FLV"
    if (m_file->BitRead(24) != signature || m_file->BitRead(8) != 1) return E_FAIL;
    m_file->BitRead(5);
    m_file->BitRead(1);   // the presence bits are not trusted: both streams are looked for
    m_file->BitRead(1);
    m_file->BitRead(1);
    const ULONGLONG offset = m_file->BitRead(32);
    if (offset == failed) return E_FAIL;
    m_data_start = static_cast<DWORD>(offset);
    m_file->Seek(m_data_start);

    bool want_audio = true, want_video = true, added = false;
    Tag t{};
    for (int i = 0; i < max_header_tags && (want_audio || want_video) && ReadTag(t); ++i) {
        const LONGLONG next = m_file->GetPos() + t.data_size;
        CMediaType type;
        bool typed = false;
        const WCHAR* name = nullptr;
        if (t.type == audio_tag && want_audio) {
            want_audio = false;
            name = u"Audio";
            AudioTag at{};
            typed = ReadTag(at) && AudioType(at, t, type);
        } else if (t.type == video_tag && want_video) {
            want_video = false;
            name = u"Video";
            VideoTag vt{};
            typed = ReadTag(vt) && vt.frame_type == 1 && VideoType(vt, t, type);
        } else if (t.type == script_tag) {
            ReadScriptData(t);
        } else if (t.type == private_tag && t.data_size >= 12) {
            const ULONGLONG rate = m_file->BitRead(32), seconds = m_file->BitRead(32);
            if (seconds != failed) {
                m_nDataRate = static_cast<int>(rate);
                m_rtDuration = static_cast<REFERENCE_TIME>(seconds) * 10000000;
            }
        }
        if (typed) {
            m_configs[t.type] = type;
            HRESULT pin_result = S_OK;
            std::vector<CMediaType> types{type};
            m_pFilter->AddOutputPin(t.type, std::make_unique<CBaseSplitterOutputPin>(
                                                   std::move(types), name, m_pFilter, m_pFilter->FilterLock(), &pin_result));
            added = true;
        }
        m_file->Seek(next);
    }
    return added ? S_OK : E_FAIL;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

REFERENCE_TIME CFlashParser::GetDuration()
{
    if (m_rtDuration != 0 || !m_file) return m_rtDuration;
    // Without metadata the duration is the last time stamp in the last 64 KiB.
    LONGLONG start = std::max<LONGLONG>(m_file->GetAvailable() - 65536, m_data_start);
    if (!Sync(start)) return m_rtDuration;
    int waits = 0;
    Tag t{};
    while (ReadTag(t)) {
        const LONGLONG next = m_file->GetPos() + t.data_size;
        if ((t.data_size == 0 || t.data_size == 0xFFFFFF) && waits < 100 && !m_file->IsComplete()) {
            ++waits;
            Sleep(1);
        }
        if (t.type == audio_tag || t.type == video_tag) {
            VideoTag vt{};
            if (ReadTag(vt)) m_rtDuration = std::max(m_rtDuration, REFERENCE_TIME{t.time_stamp} * 10000);
        }
        m_file->Seek(next);
    }
    return m_rtDuration;
}

void CFlashParser::SeekBackToKeyFrame(REFERENCE_TIME start, LONGLONG estimate)
{
    // The run starts at the last key frame at or before the start; a file
    // without video starts at the last audio tag at or before it.
    const bool video = m_pFilter->GetOutputPin(video_tag) != nullptr;
    const bool audio = m_pFilter->GetOutputPin(audio_tag) != nullptr;
    if (!video && !audio) return m_file->Seek(m_data_start);
    const DWORD wanted_type = video ? video_tag : audio_tag;
    const LONGLONG start_ms = start / 10000;
    LONGLONG last_tag = m_file->GetPos() + 1;
    Tag t{};
    while (m_file->GetPos() >= m_data_start && m_file->GetPos() < last_tag && ReadTag(t)) {
        last_tag = m_file->GetPos() - header_size;
        const LONGLONG after = m_file->GetPos();
        if (REFERENCE_TIME{t.time_stamp} * 10000 <= start && t.type == wanted_type) {
            bool found = false;
            if (t.type == audio_tag) {
                AudioTag at{};
                found = ReadTag(at);
            } else {
                VideoTag vt{};
                found = ReadTag(vt) && vt.frame_type == 1;
            }
            if (found) return m_file->Seek(last_tag);
        }
        const LONGLONG late_ms = static_cast<LONGLONG>(t.time_stamp) - start_ms;
        if (m_nDataRate <= 0 || late_ms <= 32768LL * 1000 / m_nDataRate) {
            m_file->Seek(after - static_cast<LONGLONG>(t.prev_tag_size) - 19);
        } else {
            estimate -= late_ms / 1000 * m_nDataRate + 32768;
            LONGLONG at = std::max<LONGLONG>(estimate, m_data_start);
            if (!Sync(at) || at >= last_tag) break;
        }
    }
    m_file->Seek(m_data_start);
}

bool CFlashParser::DemuxSeek(REFERENCE_TIME start)
{
    if (!m_file) return false;
    if (m_file->IsStreaming() || start <= 0 || m_rtDuration <= 0) {
        m_file->Seek(m_data_start);
        return true;
    }
    const LONGLONG data = m_file->GetAvailable() - m_data_start;
    if (m_rtDuration > 10000000) m_nDataRate = static_cast<int>(data / (m_rtDuration / 10000000));
    LONGLONG estimate = static_cast<LONGLONG>(static_cast<double>(data) *
                                              (static_cast<double>(start) / static_cast<double>(m_rtDuration))) +
                        m_data_start;
    estimate = std::clamp<LONGLONG>(estimate, m_data_start, m_data_start + std::max<LONGLONG>(data, 0));
    LONGLONG at = estimate;
    if (!Sync(at)) {
        m_file->Seek(m_data_start);
        return false;
    }
    Tag t{};
    while (ReadTag(t)) {
        if (REFERENCE_TIME{t.time_stamp} * 10000 >= start) {
            m_file->Seek(m_file->GetPos() - header_size);
            break;
        }
        m_file->Seek(m_file->GetPos() + t.data_size);
    }
    SeekBackToKeyFrame(start, estimate);
    return true;
}

bool CFlashParser::WaitForMore()
{
    // A file still being written may stop anywhere, also between two tags.
    if (m_file->IsComplete()) return false;
    Sleep(growth_poll_ms);
    return true;
}

void CFlashParser::Resync(LONGLONG from, const char* debug_line)
{
    Sync(from);
    OutputDebugStringA(debug_line);
}

CFlashParser::Header CFlashParser::ReadStreamHeader(const Tag& t, AudioTag& at, VideoTag& vt)
{
    if (t.type == audio_tag) {
        if (!ReadTag(at)) return Header::None;
        if (at.sound_format == 0xF) return Header::Damaged;
        if (at.sound_format == aac_format && m_file->BitRead(8, true) == aac_config_packet) return Header::Config;
        return Header::Media;
    }
    if (t.type == video_tag) {
        if (!ReadTag(vt)) return Header::None;
        if (vt.frame_type == 0xF || vt.codec_id == 0xF) return Header::Damaged;
        if (vt.codec_id == avc_codec && m_file->BitRead(8, true) == avc_config_packet) return Header::Config;
        return Header::Media;
    }
    return Header::None;
}

void CFlashParser::UpdateConfig(const Tag& t, LONGLONG data_start)
{
    // A configuration that changes mid-stream travels with the stream's next packet.
    auto known = m_configs.find(t.type);
    if (known == m_configs.end()) return;
    m_file->Seek(data_start);
    CMediaType type;
    AudioTag at{};
    VideoTag vt{};
    const bool typed = t.type == audio_tag ? ReadTag(at) && AudioType(at, t, type)
                                           : ReadTag(vt) && vt.frame_type == 1 && VideoType(vt, t, type);
    if (!typed || type == known->second) return;
    known->second = type;
    m_pFilter->SetNewMediaType(t.type, type);
}

std::unique_ptr<Packet> CFlashParser::MakePacket(const Tag& t, const AudioTag& at, const VideoTag& vt, TimeLine& times)
{
    auto p = std::make_unique<Packet>();
    p->TrackNumber = t.type;
    if (times.segment) {
        // After a damaged stretch the times go on from the last one delivered.
        times.offset = t.time_stamp - times.last;
        times.segment = false;
    }
    const auto stamp = static_cast<std::int32_t>(t.time_stamp - times.offset);
    p->rtStart = REFERENCE_TIME{stamp} * 10000;
    p->rtStop = p->rtStart + 1;
    times.last = static_cast<DWORD>(stamp);
    p->bSyncPoint = t.type != video_tag || vt.frame_type == 1;
    if (t.type == audio_tag && at.sound_format == aac_format) m_file->BitRead(8);
    if (t.type == video_tag && vt.codec_id == 4) m_file->BitRead(8);
    if (t.type == video_tag && (vt.codec_id == 5 || vt.codec_id == avc_codec)) m_file->BitRead(32);
    return p;
}

bool CFlashParser::SizeIsPlausible(const Tag& t, LONGLONG data_start)
{
    return t.data_size != 0 && (t.data_size <= unchecked_tag_size || TagEndsWhereItSays(data_start, t.data_size));
}

HRESULT CFlashParser::DemuxTag(TimeLine& times)
{
    const LONGLONG tag_start = m_file->GetPos();
    Tag t{};
    if (!ReadTag(t)) return E_FAIL;   // the bytes are there but the source would not give them
    const LONGLONG data_start = m_file->GetPos();
    const LONGLONG next = data_start + t.data_size;
    if (t.type != audio_tag && t.type != video_tag && t.type != script_tag) {
        Resync(tag_start, "Splitter:Segment\n");
        times.segment = true;
        return S_OK;
    }
    if (!SizeIsPlausible(t, data_start)) {
        if (t.data_size > unchecked_tag_size && next + 4 > m_file->GetAvailable() && WaitForMore()) {
            m_file->Seek(tag_start);   // a large tag whose end is not written yet
            return S_OK;
        }
        Resync(tag_start + 9, "Splitter:Error\n");
        if (!m_file->IsComplete()) Sleep(growth_poll_ms);   // a whole file has nothing to wait for
        return S_OK;
    }
    if (next > m_file->GetAvailable() && WaitForMore()) {
        m_file->Seek(tag_start);   // read the tag again once all of it is written
        return S_OK;
    }
    AudioTag at{};
    VideoTag vt{};
    switch (ReadStreamHeader(t, at, vt)) {
    case Header::Damaged:
        Resync(tag_start + 9, "Splitter:Error\n");
        return S_OK;
    case Header::Config:
        if (next <= m_file->GetAvailable()) UpdateConfig(t, data_start);
        [[fallthrough]];
    case Header::None:
        m_file->Seek(next);
        return S_OK;
    case Header::Media:
        break;
    }
    std::unique_ptr<Packet> p = MakePacket(t, at, vt, times);
    const LONGLONG payload = next - m_file->GetPos();
    if (payload < 0) {
        m_file->Seek(next);
        return S_OK;
    }
    p->data.resize(static_cast<std::size_t>(payload));
    if (HRESULT read = m_file->ByteRead(p->data.data(), payload); read != S_OK) {
        // The tag is read again once more of it is there; a whole file cut inside it ends here.
        m_file->Seek(tag_start);
        return read == S_FALSE && WaitForMore() ? S_OK : E_FAIL;
    }
    HRESULT hr = m_pFilter->DeliverPacket(std::move(p));
    m_file->Seek(next);
    return hr;
}

int CFlashParser::DemuxLoop()
{
    if (!m_file) return 1;
    TimeLine times;
    HRESULT hr = S_OK;
    while (SUCCEEDED(hr) && !m_pFilter->CheckRequest()) {
        if (m_file->GetRemaining() < header_size) {
            if (!WaitForMore()) break;
            continue;
        }
        hr = DemuxTag(times);
    }
    return 1;
}
