#include "splitter/matroska/MatroskaMediaTypes.h"

#include "platform/dshow/MediaFormats.h"
#include "splitter/formats/MediaFormatHelpers.h"

#include <algorithm>
#include <cstring>
#include <string>

using MatroskaReader::TrackEntry;
using MatroskaReader::WholeOf;

namespace {

constexpr GUID rgb_subtypes[] = {
    plat::make_guid("{E436EB78-524F-11CE-9F53-0020AF0BA770}"),   // 1 bit
    plat::make_guid("{E436EB79-524F-11CE-9F53-0020AF0BA770}"),   // 4 bits
    plat::make_guid("{E436EB7A-524F-11CE-9F53-0020AF0BA770}"),   // 8 bits
    plat::make_guid("{E436EB7B-524F-11CE-9F53-0020AF0BA770}"),   // 565
    plat::make_guid("{E436EB7D-524F-11CE-9F53-0020AF0BA770}"),   // 24 bits
    plat::make_guid("{E436EB7E-524F-11CE-9F53-0020AF0BA770}"),   // 32 bits
};
constexpr GUID FORMAT_None = plat::make_guid("{0F6417D6-C318-11D0-A43F-00A0C9223196}");
constexpr GUID MEDIASUBTYPE_FLAC_FRAMED = plat::make_guid("{1541C5C0-CDDF-477D-BC0A-86F8AE7F8354}");
constexpr GUID MEDIASUBTYPE_Vorbis = plat::make_guid("{8D2FD10B-5841-4A6B-8905-588FEC1ADED9}");
constexpr GUID FORMAT_VorbisFormat = plat::make_guid("{B36E107F-A938-4387-93C7-55E966757473}");
constexpr GUID FORMAT_SubtitleInfo = plat::make_guid("{A33D2F7D-96BC-4337-B23B-A8B9FBC295E9}");
constexpr std::size_t subtitle_info_size = 520;
constexpr ULONG audio_sample_size = 256000;
constexpr std::size_t bitmap_header_size = 40;

std::vector<BYTE> as_bytes(const void* p, std::size_t n)
{
    const auto* b = static_cast<const BYTE*>(p);
    return std::vector<BYTE>(b, b + n);
}

template <class T>
void put(std::vector<BYTE>& block, std::size_t at, T value)
{
    std::memcpy(block.data() + at, &value, sizeof value);
}

CMediaType make_type(const GUID& major, const GUID& subtype, const GUID& format, const std::vector<BYTE>& block)
{
    CMediaType mt(major);
    mt.SetSubtype(&subtype);
    mt.SetFormatType(&format);
    if (!block.empty()) mt.SetFormat(block.data(), static_cast<ULONG>(block.size()));
    return mt;
}

BITMAPINFOHEADER bitmap(const TrackEntry& t, DWORD compression)
{
    BITMAPINFOHEADER bmi{};
    bmi.biSize = bitmap_header_size;
    bmi.biWidth = static_cast<LONG>(*t.v.PixelWidth);
    bmi.biHeight = static_cast<LONG>(*t.v.PixelHeight);
    bmi.biCompression = compression;
    return bmi;
}

// The parameter sets of an AVC configuration record, each with its 16-bit length.
bool avc_parameter_sets(const std::vector<BYTE>& cp, std::vector<BYTE>& sets)
{
    std::size_t at = 6;
    auto copy_sets = [&](int count) {
        for (int i = 0; i < count; ++i) {
            if (at + 2 > cp.size()) return false;
            const std::size_t length = std::size_t{cp[at]} << 8 | cp[at + 1];
            if (at + 2 + length > cp.size()) return false;
            sets.insert(sets.end(), cp.begin() + static_cast<std::ptrdiff_t>(at),
                        cp.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
            at += 2 + length;
        }
        return true;
    };
    if (!copy_sets(cp[5] & 0x1F) || at >= cp.size()) return false;
    const int pps = cp[at++];
    return copy_sets(pps);
}

bool mpeg4_type(const TrackEntry& t, const std::string& id, CMediaType& mt)
{
    const std::vector<BYTE>& cp = t.CodecPrivate.Bytes();
    const bool avc = id.starts_with("V_MPEG4/ISO/AVC");
    std::vector<BYTE> sequence;
    if (avc && (cp.size() < 6 || !avc_parameter_sets(cp, sequence))) return false;
    if (!avc) sequence = cp;
    const DWORD fourcc = avc ? MAKEFOURCC('A', 'V', 'C', '1') : MAKEFOURCC('M', 'P', '4', 'V');
    std::vector<BYTE> block(mpeg2_video_info_size(sequence.size()));
    auto* mvih = reinterpret_cast<MPEG2VIDEOINFO*>(block.data());
    BITMAPINFOHEADER bmi = bitmap(t, fourcc);
    bmi.biPlanes = 1;
    bmi.biBitCount = 24;
    mvih->hdr.bmiHeader = bmi;
    if (avc) {
        mvih->dwProfile = cp[1];
        mvih->dwLevel = cp[3];
        mvih->dwFlags = (cp[4] & 3) + 1;
    }
    mvih->cbSequenceHeader = static_cast<DWORD>(sequence.size());
    if (!sequence.empty())
        std::memcpy(block.data() + mpeg2_video_info_size(0), sequence.data(), sequence.size());
    mt = make_type(MEDIATYPE_Video, plat::fourcc_guid(fourcc), FORMAT_MPEG2Video, block);
    return true;
}

void video_types(const TrackEntry& t, std::vector<CMediaType>& types)
{
    const std::string id = t.Codec();
    const std::vector<BYTE>& cp = t.CodecPrivate.Bytes();
    if (id == "V_MS/VFW/FOURCC") {
        // The private data is a bitmap header and what follows it.
        if (cp.size() < bitmap_header_size) return;
        BITMAPINFOHEADER bmi;
        std::memcpy(&bmi, cp.data(), sizeof bmi);
        GUID subtype = plat::fourcc_guid(bmi.biCompression);
        if (bmi.biCompression == 0 || bmi.biCompression == 3) {
            constexpr WORD depths[] = {1, 4, 8, 16, 24, 32};
            const auto* found = std::find(std::begin(depths), std::end(depths), bmi.biBitCount);
            subtype = found == std::end(depths) ? GUID_NULL : rgb_subtypes[found - std::begin(depths)];
        }
        std::vector<BYTE> block(offsetof(VIDEOINFOHEADER, bmiHeader));
        block.insert(block.end(), cp.begin(), cp.end());
        types.push_back(make_type(MEDIATYPE_Video, subtype, FORMAT_VideoInfo, block));
    } else if (id.starts_with("V_MPEG4/")) {
        CMediaType mt;
        if (mpeg4_type(t, id, mt)) types.push_back(std::move(mt));
    } else if (id.starts_with("V_REAL/RV") && id.size() >= 10) {
        const DWORD fourcc = MAKEFOURCC('R', 'V', id[9], '0');
        std::vector<BYTE> block(sizeof(VIDEOINFOHEADER));
        reinterpret_cast<VIDEOINFOHEADER*>(block.data())->bmiHeader = bitmap(t, fourcc);
        block.insert(block.end(), cp.begin(), cp.end());
        types.push_back(make_type(MEDIATYPE_Video, plat::fourcc_guid(fourcc), FORMAT_VideoInfo, block));
    } else if (id == "V_DIRAC") {
        std::vector<BYTE> block(sizeof(VIDEOINFOHEADER2) + 4);
        auto* vih = reinterpret_cast<VIDEOINFOHEADER2*>(block.data());
        vih->dwPictAspectRatioX = static_cast<DWORD>(*t.v.PixelWidth);
        vih->dwPictAspectRatioY = static_cast<DWORD>(*t.v.PixelHeight);
        vih->bmiHeader = bitmap(t, 0);
        put(block, sizeof(VIDEOINFOHEADER2), static_cast<DWORD>(cp.size()));
        block.insert(block.end(), cp.begin(), cp.end());
        types.push_back(make_type(MEDIATYPE_Video, plat::fourcc_guid(0x64726376), FORMAT_DiracVideoInfo, block));
    } else if (id == "V_MPEG2") {
        CMediaType mt;
        if (MakeMpeg2VideoType(mt, cp.data(), static_cast<DWORD>(cp.size()), static_cast<DWORD>(*t.v.PixelWidth),
                               static_cast<DWORD>(*t.v.PixelHeight)))
            types.push_back(std::move(mt));
    }
}

// Frame time, and the display aspect when the track gives one.
void apply_video_geometry(const TrackEntry& t, std::vector<CMediaType>& types)
{
    REFERENCE_TIME frame = 0;
    if (*t.v.FramePerSec > 0) frame = WholeOf<REFERENCE_TIME>(10000000.0 / *t.v.FramePerSec);
    else if (*t.DefaultDuration) frame = static_cast<REFERENCE_TIME>(*t.DefaultDuration / 100);
    if (frame)
        for (CMediaType& mt : types)
            if (mt.formattype == FORMAT_VideoInfo || mt.formattype == FORMAT_VideoInfo2 ||
                mt.formattype == FORMAT_MPEG2Video)
                std::memcpy(mt.Format() + offsetof(VIDEOINFOHEADER, AvgTimePerFrame), &frame, sizeof frame);
    const auto x = static_cast<DWORD>(*t.v.DisplayWidth), y = static_cast<DWORD>(*t.v.DisplayHeight);
    if (!x || !y) return;
    for (std::size_t i = 0; i < types.size(); ++i) {
        CMediaType& mt = types[i];
        if (mt.formattype == FORMAT_MPEG2Video) {
            auto* vih = reinterpret_cast<VIDEOINFOHEADER2*>(mt.Format());
            vih->dwPictAspectRatioX = x;
            vih->dwPictAspectRatioY = y;
        } else if (mt.formattype == FORMAT_VideoInfo) {
            const BYTE* old = mt.Format();
            std::vector<BYTE> block(old, old + offsetof(VIDEOINFOHEADER, bmiHeader));
            block.resize(offsetof(VIDEOINFOHEADER2, bmiHeader));
            put(block, offsetof(VIDEOINFOHEADER2, dwPictAspectRatioX), x);
            put(block, offsetof(VIDEOINFOHEADER2, dwPictAspectRatioY), y);
            block.insert(block.end(), old + offsetof(VIDEOINFOHEADER, bmiHeader), old + mt.FormatLength());
            types.insert(types.begin() + static_cast<std::ptrdiff_t>(i),
                         make_type(MEDIATYPE_Video, mt.subtype, FORMAT_VideoInfo2, block));
            ++i;
        }
    }
}

WAVEFORMATEX wave(const TrackEntry& t, WORD tag)
{
    WAVEFORMATEX wfe{};
    wfe.wFormatTag = tag;
    wfe.nChannels = static_cast<WORD>(*t.a.Channels);
    wfe.nSamplesPerSec = WholeOf<DWORD>(*t.a.SamplingFrequency);
    wfe.wBitsPerSample = static_cast<WORD>(*t.a.BitDepth);
    wfe.nBlockAlign = static_cast<WORD>(wfe.nChannels * wfe.wBitsPerSample / 8);
    wfe.nAvgBytesPerSec = wfe.nBlockAlign * wfe.nSamplesPerSec;
    return wfe;
}

CMediaType audio_type(const GUID& subtype, const WAVEFORMATEX& wfe, const std::vector<BYTE>& extra = {},
                      const GUID& format = FORMAT_WaveFormatEx)
{
    std::vector<BYTE> block = as_bytes(&wfe, sizeof wfe);
    block.insert(block.end(), extra.begin(), extra.end());
    CMediaType mt = make_type(MEDIATYPE_Audio, subtype, format, block);
    mt.SetSampleSize(audio_sample_size);
    return mt;
}

void vorbis_types(const TrackEntry& t, std::vector<CMediaType>& types)
{
    std::vector<std::vector<BYTE>> packets;
    if (!SplitXiphLaced(t.CodecPrivate.Bytes(), packets)) return;
    const auto channels = static_cast<DWORD>(*t.a.Channels);
    const auto rate = WholeOf<DWORD>(*t.a.SamplingFrequency);
    if (packets.size() == 3) {
        const DWORD fields[] = {channels, rate, static_cast<DWORD>(*t.a.BitDepth),
                                static_cast<DWORD>(packets[0].size()), static_cast<DWORD>(packets[1].size()),
                                static_cast<DWORD>(packets[2].size())};
        std::vector<BYTE> block = as_bytes(fields, sizeof fields);
        for (const auto& p : packets) block.insert(block.end(), p.begin(), p.end());
        CMediaType mt = make_type(MEDIATYPE_Audio, MEDIASUBTYPE_Vorbis, FORMAT_VorbisFormat, block);
        mt.SetSampleSize(audio_sample_size);
        types.push_back(std::move(mt));
    }
    const DWORD fields[] = {channels, rate, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0};
    CMediaType mt = make_type(MEDIATYPE_Audio, MEDIASUBTYPE_Vorbis2, FORMAT_VorbisFormat2, as_bytes(fields, sizeof fields));
    mt.SetSampleSize(audio_sample_size);
    types.push_back(std::move(mt));
}

void aac_types(const TrackEntry& t, const std::string& id, std::vector<CMediaType>& types)
{
    constexpr std::pair<const char*, int> profiles[] = {{"/MAIN", 0}, {"/SBR", -1}, {"/LC", 1}, {"/SSR", 2}, {"/LTP", 3}};
    const auto* found = std::find_if(std::begin(profiles), std::end(profiles),
                                     [&](const auto& p) { return id.find(p.first) != std::string::npos; });
    if (found == std::end(profiles)) return;
    WAVEFORMATEX wfe = wave(t, WAVE_FORMAT_AAC);
    std::array<BYTE, 5> config{};
    MakeAacConfig(config, found->second, static_cast<int>(wfe.nSamplesPerSec), wfe.nChannels);
    const std::vector<BYTE> extra(config.begin(), config.end());
    wfe.cbSize = 2;
    types.push_back(audio_type(plat::fourcc_guid(WAVE_FORMAT_AAC), wfe, extra));
    if (found->second == -1) {
        wfe.cbSize = 5;
        wfe.nSamplesPerSec *= 2;
        wfe.nAvgBytesPerSec *= 2;
        types.insert(types.begin(), audio_type(plat::fourcc_guid(WAVE_FORMAT_AAC), wfe, extra));
    }
}

void audio_types(const TrackEntry& t, std::vector<CMediaType>& types)
{
    const std::string id = t.Codec();
    const std::vector<BYTE>& cp = t.CodecPrivate.Bytes();
    constexpr std::pair<const char*, WORD> plain[] = {
        {"A_MPEG/L3", 0x55}, {"A_MPEG/L2", 0x50},     {"A_AC3", 0x2000},           {"A_DTS", 0x2001},
        {"A_TTA1", 0x77A1},  {"A_PCM/INT/LIT", 1},    {"A_PCM/FLOAT/IEEE", 3},
    };
    constexpr std::pair<const char*, WORD> with_private[] = {{"A_AAC", 0xFF}, {"A_FLAC", 0xF1AC}, {"A_WAVPACK4", 0x5756}};
    for (const auto& [name, tag] : plain)
        if (id == name) return types.push_back(audio_type(plat::fourcc_guid(tag), wave(t, tag)));
    for (const auto& [name, tag] : with_private) {
        if (id != name) continue;
        WAVEFORMATEX wfe = wave(t, tag);
        wfe.cbSize = static_cast<WORD>(std::min<std::size_t>(cp.size(), 0xFFFF));
        types.push_back(audio_type(plat::fourcc_guid(tag), wfe, cp));
        if (tag == 0xF1AC) types.insert(types.begin(), audio_type(MEDIASUBTYPE_FLAC_FRAMED, wfe, cp));
        return;
    }
    if (id == "A_VORBIS") return vorbis_types(t, types);
    if (id == "A_MS/ACM") {
        // The private data is a whole wave format header.
        if (cp.size() < sizeof(WAVEFORMATEX)) return;
        // Its count of extra bytes may not say more than the private data holds.
        std::vector<BYTE> header = cp;
        const std::size_t there = std::min<std::size_t>(cp.size() - sizeof(WAVEFORMATEX), 0xFFFF);
        const std::size_t at = offsetof(WAVEFORMATEX, cbSize);
        put(header, at, static_cast<WORD>(std::min<std::size_t>(cp[at] | cp[at + 1] << 8, there)));
        CMediaType mt = make_type(MEDIATYPE_Audio, plat::fourcc_guid(WORD(cp[0] | cp[1] << 8)), FORMAT_WaveFormatEx, header);
        mt.SetSampleSize(audio_sample_size);
        return types.push_back(std::move(mt));
    }
    if (id.starts_with("A_AAC/")) return aac_types(t, id, types);
    if (id.starts_with("A_REAL/") && id.size() > 10) {
        CMediaType mt = audio_type(plat::fourcc_guid(MAKEFOURCC(id[7], id[8], id[9], id[10])), wave(t, 0), cp);
        mt.SetTemporalCompression(TRUE);
        types.push_back(std::move(mt));
    }
}

void subtitle_types(const TrackEntry& t, std::vector<CMediaType>& types)
{
    const std::string id = t.Codec();
    if (id == "S_TEXT/ASCII") return types.push_back(make_type(MEDIATYPE_Text, GUID_NULL, FORMAT_None, {}));
    constexpr std::pair<const char*, GUID> subtypes[] = {
        {"S_TEXT/UTF8", plat::make_guid("{87C0B230-03A8-4FDF-8010-B27A5848200D}")},
        {"S_TEXT/SSA", plat::make_guid("{3020560F-255A-4DDC-806E-6C5CC6DCD70A}")},
        {"S_SSA", plat::make_guid("{3020560F-255A-4DDC-806E-6C5CC6DCD70A}")},
        {"S_TEXT/ASS", plat::make_guid("{326444F7-686F-47FF-A4B2-C8C96307B4C2}")},
        {"S_ASS", plat::make_guid("{326444F7-686F-47FF-A4B2-C8C96307B4C2}")},
        {"S_TEXT/SSF", plat::make_guid("{76C421C4-DB89-42EC-936E-A9FBC1794714}")},
        {"S_SSF", plat::make_guid("{76C421C4-DB89-42EC-936E-A9FBC1794714}")},
        {"S_TEXT/USF", plat::make_guid("{B753B29A-0A96-45BE-985F-68351D9CAB90}")},
        {"S_USF", plat::make_guid("{B753B29A-0A96-45BE-985F-68351D9CAB90}")},
        {"S_VOBSUB", plat::make_guid("{F7239E31-9599-4E43-8DD5-FBAF75CF37F1}")},
    };
    const auto* found = std::find_if(std::begin(subtypes), std::end(subtypes), [&](const auto& s) { return id == s.first; });
    if (found == std::end(subtypes)) return;
    std::vector<BYTE> block(subtitle_info_size);
    put(block, 0, static_cast<DWORD>(subtitle_info_size));
    const std::string& language = *t.Language;
    std::memcpy(block.data() + 4, language.data(), std::min<std::size_t>(language.size(), 3));
    const std::u16string& name = *t.Name;
    std::memcpy(block.data() + 8, name.data(), std::min<std::size_t>(name.size(), 255) * sizeof(char16_t));
    const std::vector<BYTE>& cp = t.CodecPrivate.Bytes();
    block.insert(block.end(), cp.begin(), cp.end());
    types.push_back(make_type(MEDIATYPE_Subtitle, found->second, FORMAT_SubtitleInfo, block));
}

}

bool SplitXiphLaced(const std::vector<BYTE>& data, std::vector<std::vector<BYTE>>& packets)
{
    packets.clear();
    if (data.empty()) return false;
    std::size_t at = 1;
    std::vector<std::size_t> sizes;
    for (int i = 0; i < data[0]; ++i) {
        std::size_t size = 0;
        BYTE b = 255;
        while (b == 255) {
            if (at >= data.size()) return false;
            b = data[at++];
            size += b;
        }
        sizes.push_back(size);
    }
    for (std::size_t size : sizes) {
        if (size > data.size() - at) return false;
        packets.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(at),
                             data.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    packets.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(at), data.end());
    return true;
}

std::vector<CMediaType> MatroskaTrackTypes(const TrackEntry& track)
{
    std::vector<CMediaType> types;
    switch (*track.TrackType) {
    case TrackEntry::TypeVideo:
        video_types(track, types);
        apply_video_geometry(track, types);
        break;
    case TrackEntry::TypeAudio: audio_types(track, types); break;
    case TrackEntry::TypeSubtitle: subtitle_types(track, types); break;
    default: break;
    }
    return types;
}
