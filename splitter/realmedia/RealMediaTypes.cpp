#include "splitter/realmedia/RealMediaTypes.h"

#include "splitter/formats/MediaFormatHelpers.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t video_header_size = 34;
constexpr std::size_t audio_common_size = 48;

struct Reader {
    const std::vector<BYTE>& d;
    std::size_t at{0};
    bool ok{true};
    DWORD be(int bytes)
    {
        DWORD v = 0;
        if (at + static_cast<std::size_t>(bytes) > d.size()) {
            ok = false;
            return 0;
        }
        for (int i = 0; i < bytes; ++i) v = v << 8 | d[at++];
        return v;
    }
    void skip(std::size_t n)
    {
        if (at + n > d.size()) ok = false;
        at = std::min(at + n, d.size());
    }
};

CMediaType with_format(const GUID& major, const GUID& subtype, const GUID& format, const std::vector<BYTE>& block)
{
    CMediaType mt(major);
    mt.SetSubtype(&subtype);
    mt.SetFormatType(&format);
    mt.SetFormat(block.data(), static_cast<ULONG>(block.size()));
    return mt;
}

void video_types(const RMFF::MediaProperties& mp, std::vector<CMediaType>& types)
{
    const std::vector<BYTE>& td = mp.typeSpecData;
    if (td.size() < video_header_size) return;
    Reader r{td};
    r.skip(8);
    const DWORD codec = r.be(4);
    const DWORD width = r.be(2), height = r.be(2), bpp = r.be(2);
    r.skip(4);
    const DWORD fps = r.be(4);
    const DWORD fourcc = (codec >> 24) | ((codec >> 8) & 0xFF00) | ((codec << 8) & 0xFF0000) | (codec << 24);
    BITMAPINFOHEADER bmi{};
    bmi.biSize = sizeof bmi;
    bmi.biWidth = static_cast<LONG>(width);
    bmi.biHeight = static_cast<LONG>(height);
    bmi.biPlanes = 3;
    bmi.biBitCount = static_cast<WORD>(bpp);
    bmi.biCompression = fourcc;
    bmi.biSizeImage = width * height * 3 / 2;
    VIDEOINFOHEADER vih{};
    if (fps > 0x10000) vih.AvgTimePerFrame = static_cast<REFERENCE_TIME>(10000000.0 / (fps / 65536.0));
    vih.dwBitRate = mp.avgBitRate;
    vih.bmiHeader = bmi;
    std::vector<BYTE> block(sizeof vih);
    std::memcpy(block.data(), &vih, sizeof vih);
    block.insert(block.end(), td.begin(), td.end());
    types.push_back(with_format(MEDIATYPE_Video, plat::fourcc_guid(fourcc), FORMAT_VideoInfo, block));
    if (!mp.width || !mp.height || (mp.width == width && mp.height == height)) return;
    VIDEOINFOHEADER2 vih2{};
    vih2.AvgTimePerFrame = vih.AvgTimePerFrame;
    vih2.dwBitRate = vih.dwBitRate;
    vih2.dwPictAspectRatioX = width;
    vih2.dwPictAspectRatioY = height;
    vih2.bmiHeader = bmi;
    vih2.bmiHeader.biWidth = static_cast<LONG>(mp.width);
    vih2.bmiHeader.biHeight = static_cast<LONG>(mp.height);
    block.assign(sizeof vih2, 0);
    std::memcpy(block.data(), &vih2, sizeof vih2);
    block.insert(block.end(), td.begin(), td.end());
    types.insert(types.begin(), with_format(MEDIATYPE_Video, plat::fourcc_guid(fourcc), FORMAT_VideoInfo2, block));
}

struct AudioHeader {
    DWORD version{0}, rate{0}, bits{0}, channels{0}, block_align{0};
    std::string codec;
    std::vector<BYTE> aac_config;   // from the codec data, when it carries one
};

bool read_audio_header(const std::vector<BYTE>& td, AudioHeader& a)
{
    Reader r{td};
    if (r.be(4) != 0x2E7261FD) return false;
    a.version = r.be(2);
    if (a.version != 4 && a.version != 5) return false;
    r.skip(38);
    a.block_align = r.be(2);   // the sub-packet size
    r.skip(2);
    if (a.version == 5) r.skip(6);
    a.rate = r.be(2);
    r.skip(2);
    a.bits = r.be(2);
    a.channels = r.be(2);
    if (a.version == 4) {
        r.skip(r.be(1));
        const DWORD length = r.be(1);
        for (DWORD i = 0; i < length && r.ok; ++i) a.codec += static_cast<char>(r.be(1));
    } else {
        r.skip(4);
        for (int i = 0; i < 4 && r.ok; ++i) a.codec += static_cast<char>(r.be(1));
    }
    if (!r.ok) return false;
    // Flag bytes, then the codec data with its 32-bit length; AAC data opens with 2.
    r.skip(a.version == 5 ? 4 : 3);
    const DWORD length = r.be(4);
    if (r.ok && length > 1 && length <= td.size() - r.at && td[r.at] == 2)
        a.aac_config.assign(td.begin() + static_cast<std::ptrdiff_t>(r.at + 1),
                            td.begin() + static_cast<std::ptrdiff_t>(r.at + length));
    std::transform(a.codec.begin(), a.codec.end(), a.codec.begin(), [](char c) { return static_cast<char>(std::toupper(c)); });
    return true;
}

CMediaType wave_type(const GUID& subtype, WORD tag, const AudioHeader& a, const std::vector<BYTE>& extra)
{
    WAVEFORMATEX wfe{};
    wfe.wFormatTag = tag;
    wfe.nChannels = static_cast<WORD>(a.channels);
    wfe.nSamplesPerSec = a.rate;
    wfe.wBitsPerSample = static_cast<WORD>(a.bits);
    wfe.nBlockAlign = static_cast<WORD>(a.block_align);
    wfe.cbSize = static_cast<WORD>(std::min<std::size_t>(extra.size(), 0xFFFF));
    std::vector<BYTE> block(sizeof wfe);
    std::memcpy(block.data(), &wfe, sizeof wfe);
    block.insert(block.end(), extra.begin(), extra.end());
    CMediaType mt = with_format(MEDIATYPE_Audio, subtype, FORMAT_WaveFormatEx, block);
    mt.SetSampleSize(1);
    return mt;
}

void audio_types(const RMFF::MediaProperties& mp, std::vector<CMediaType>& types)
{
    AudioHeader a;
    if (!read_audio_header(mp.typeSpecData, a) || a.codec.size() != 4) return;
    constexpr std::pair<const char*, WORD> tags[] = {{"DNET", 0x2005}, {"14_4", 0x2002}, {"28_8", 0x2003},
                                                     {"COOK", 0x2004}, {"ATRC", 0x0270}, {"SIPR", 0x0130},
                                                     {"RAAC", 0x2006}, {"RACP", 0x2007}};
    const auto* found = std::find_if(std::begin(tags), std::end(tags), [&](const auto& t) { return a.codec == t.first; });
    if (found == std::end(tags)) return;
    const bool aac = a.codec == "RAAC" || a.codec == "RACP";
    // Without a rate there is neither a frame time nor a decoder configuration.
    if (aac && a.rate == 0) return;
    const DWORD fourcc = MAKEFOURCC(a.codec[0], a.codec[1], a.codec[2], a.codec[3]);
    types.push_back(wave_type(plat::fourcc_guid(fourcc), found->second, a, mp.typeSpecData));
    if (a.codec == "DNET") types.push_back(wave_type(plat::fourcc_guid(0x2000), 0x2000, a, mp.typeSpecData));
    if (aac) {
        std::vector<BYTE> config = a.aac_config;
        if (config.empty()) {
            std::array<BYTE, 5> made{};
            config.assign(made.begin(), made.begin() + MakeAacConfig(made, 0, static_cast<int>(a.rate),
                                                                     static_cast<int>(a.channels)));
        }
        types.push_back(wave_type(plat::fourcc_guid(WAVE_FORMAT_AAC), WAVE_FORMAT_AAC, a, config));
    }
}

}

std::vector<CMediaType> RealMediaStreamTypes(const RMFF::MediaProperties& mp)
{
    std::vector<CMediaType> types;
    if (mp.mime == "video/x-pn-realvideo") video_types(mp, types);
    else if (mp.mime == "audio/x-pn-realaudio") audio_types(mp, types);
    return types;
}
