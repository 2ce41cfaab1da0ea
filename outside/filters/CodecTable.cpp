#include "CodecTable.h"

#include "platform/dshow/MediaFormats.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <array>
#include <cstring>
#include <utility>

namespace filters {

namespace {

// The splitters' own four-character codes that the RIFF tables do not know.
constexpr std::array<std::pair<DWORD, AVCodecID>, 12> own_video_codes = {{
    {MAKEFOURCC('F', 'L', 'V', '1'), AV_CODEC_ID_FLV1},
    {MAKEFOURCC('F', 'L', 'V', '4'), AV_CODEC_ID_VP6F},
    {MAKEFOURCC('V', 'P', '6', 'F'), AV_CODEC_ID_VP6F},
    {MAKEFOURCC('V', 'P', '6', 'A'), AV_CODEC_ID_VP6A},
    {MAKEFOURCC('A', 'V', 'C', '1'), AV_CODEC_ID_H264},
    {MAKEFOURCC('a', 'v', 'c', '1'), AV_CODEC_ID_H264},
    {MAKEFOURCC('H', '2', '6', '4'), AV_CODEC_ID_H264},
    {MAKEFOURCC('R', 'V', '1', '0'), AV_CODEC_ID_RV10},
    {MAKEFOURCC('R', 'V', '2', '0'), AV_CODEC_ID_RV20},
    {MAKEFOURCC('R', 'V', '3', '0'), AV_CODEC_ID_RV30},
    {MAKEFOURCC('R', 'V', '4', '0'), AV_CODEC_ID_RV40},
    {MAKEFOURCC('R', 'V', '4', '1'), AV_CODEC_ID_RV40},
}};

constexpr std::array<std::pair<DWORD, AVCodecID>, 4> own_audio_codes = {{
    {MAKEFOURCC('N', 'E', 'L', 'L'), AV_CODEC_ID_NELLYMOSER},
    {WAVE_FORMAT_AAC, AV_CODEC_ID_AAC},
    {MAKEFOURCC('c', 'o', 'o', 'k'), AV_CODEC_ID_COOK},
    {MAKEFOURCC('V', 'o', 'r', 'b'), AV_CODEC_ID_VORBIS},
}};

template <std::size_t N>
AVCodecID lookup(const std::array<std::pair<DWORD, AVCodecID>, N>& own, const AVCodecTag* riff, DWORD code)
{
    for (const auto& [c, id] : own)
        if (c == code) return id;
    const AVCodecTag* const tables[] = {riff, nullptr};
    return av_codec_get_id(tables, code);
}

std::vector<std::uint8_t> tail(const BYTE* format, std::size_t length, std::size_t header)
{
    if (length <= header) return {};
    return {format + header, format + length};
}

// The sequence header of an AVC1 type holds each parameter set after a
// 2-byte length; libavcodec reads them as an avcC record.
std::optional<std::vector<std::uint8_t>> avc_record(const BYTE* sets, std::size_t size, DWORD length_size)
{
    std::vector<std::vector<std::uint8_t>> sps, pps;
    for (std::size_t at = 0; at < size;) {
        if (at + 2 > size) return std::nullopt;
        const std::size_t n = std::size_t{sets[at]} << 8 | sets[at + 1];
        if (n == 0 || at + 2 + n > size) return std::nullopt;
        const std::vector<std::uint8_t> set(sets + at, sets + at + 2 + n);
        ((sets[at + 2] & 0x1F) == 7 ? sps : pps).push_back(set);
        at += 2 + n;
    }
    if (sps.empty() || sps[0].size() < 6 || sps.size() > 31 || pps.size() > 255) return std::nullopt;
    if (length_size != 1 && length_size != 2 && length_size != 4) length_size = 4;
    std::vector<std::uint8_t> record = {1, sps[0][3], sps[0][4], sps[0][5],
                                        static_cast<std::uint8_t>(0xFC | (length_size - 1)),
                                        static_cast<std::uint8_t>(0xE0 | sps.size())};
    for (const auto& s : sps) record.insert(record.end(), s.begin(), s.end());
    record.push_back(static_cast<std::uint8_t>(pps.size()));
    for (const auto& p : pps) record.insert(record.end(), p.begin(), p.end());
    return record;
}

std::optional<DecoderSetup> video_setup(const AM_MEDIA_TYPE& type)
{
    const BYTE* format = type.pbFormat;
    const std::size_t length = type.cbFormat;
    if (format == nullptr) return std::nullopt;
    const BITMAPINFOHEADER* bmi = nullptr;
    DecoderSetup setup;
    if (type.formattype == FORMAT_VideoInfo && length >= sizeof(VIDEOINFOHEADER)) {
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(format);
        bmi = &vih->bmiHeader;
        setup.frame_time = vih->AvgTimePerFrame;
        setup.extradata = tail(format, length, sizeof(VIDEOINFOHEADER));
    } else if (type.formattype == FORMAT_VideoInfo2 && length >= sizeof(VIDEOINFOHEADER2)) {
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER2*>(format);
        bmi = &vih->bmiHeader;
        setup.frame_time = vih->AvgTimePerFrame;
        setup.extradata = tail(format, length, sizeof(VIDEOINFOHEADER2));
    } else if (type.formattype == FORMAT_MPEG2Video && length >= mpeg2_video_info_size(0)) {
        const auto* mvih = reinterpret_cast<const MPEG2VIDEOINFO*>(format);
        if (mpeg2_video_info_size(mvih->cbSequenceHeader) > length) return std::nullopt;
        bmi = &mvih->hdr.bmiHeader;
        setup.frame_time = mvih->hdr.AvgTimePerFrame;
        const auto* sets = reinterpret_cast<const BYTE*>(mvih->dwSequenceHeader);
        setup.extradata.assign(sets, sets + mvih->cbSequenceHeader);
    } else {
        return std::nullopt;
    }
    const DWORD code = bmi->biCompression != 0 ? bmi->biCompression : type.subtype.Data1;
    if (type.subtype == MEDIASUBTYPE_MPEG2_VIDEO) setup.codec_id = AV_CODEC_ID_MPEG2VIDEO;
    else if (type.subtype == MEDIASUBTYPE_MPEG1Payload) setup.codec_id = AV_CODEC_ID_MPEG1VIDEO;
    else setup.codec_id = lookup(own_video_codes, avformat_get_riff_video_tags(), code);
    if (setup.codec_id == AV_CODEC_ID_H264 && type.formattype == FORMAT_MPEG2Video && !setup.extradata.empty()) {
        const auto* mvih = reinterpret_cast<const MPEG2VIDEOINFO*>(format);
        const auto record = avc_record(setup.extradata.data(), setup.extradata.size(), mvih->dwFlags);
        if (!record) return std::nullopt;
        setup.extradata = *record;
    }
    // A RealVideo type carries the stream's whole header: its size, "VIDO",
    // the codec, sizes and rate (26 bytes); the codec reads what follows.
    constexpr std::size_t real_video_header = 26;
    const bool real_video = setup.codec_id == AV_CODEC_ID_RV10 || setup.codec_id == AV_CODEC_ID_RV20 ||
                            setup.codec_id == AV_CODEC_ID_RV30 || setup.codec_id == AV_CODEC_ID_RV40;
    if (real_video && setup.extradata.size() >= real_video_header &&
        std::memcmp(setup.extradata.data() + 4, "VIDO", 4) == 0)
        setup.extradata.erase(setup.extradata.begin(), setup.extradata.begin() + real_video_header);
    setup.width = bmi->biWidth;
    setup.height = bmi->biHeight < 0 ? -bmi->biHeight : bmi->biHeight;
    if (setup.width <= 0 || setup.height <= 0 || setup.width > 16384 || setup.height > 16384) return std::nullopt;
    return setup;
}

std::optional<DecoderSetup> audio_setup(const AM_MEDIA_TYPE& type)
{
    if (type.formattype != FORMAT_WaveFormatEx || type.pbFormat == nullptr || type.cbFormat < sizeof(WAVEFORMATEX))
        return std::nullopt;
    const auto* wfe = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
    if (sizeof(WAVEFORMATEX) + wfe->cbSize > type.cbFormat) return std::nullopt;
    DecoderSetup setup;
    const DWORD code = wfe->wFormatTag != 0 ? wfe->wFormatTag : type.subtype.Data1;
    setup.codec_id = lookup(own_audio_codes, avformat_get_riff_audio_tags(), code);
    if (code == 1) {
        const int bits = wfe->wBitsPerSample;
        setup.codec_id = bits == 8 ? AV_CODEC_ID_PCM_U8 : bits == 24 ? AV_CODEC_ID_PCM_S24LE
                       : bits == 32 ? AV_CODEC_ID_PCM_S32LE : AV_CODEC_ID_PCM_S16LE;
    }
    // An MPEG audio type's extra bytes describe the layer, not a decoder configuration.
    if (code != WAVE_FORMAT_MPEGLAYER3 && code != WAVE_FORMAT_MPEG)
        setup.extradata = tail(type.pbFormat, sizeof(WAVEFORMATEX) + wfe->cbSize, sizeof(WAVEFORMATEX));
    setup.sample_rate = static_cast<int>(wfe->nSamplesPerSec);
    setup.channels = wfe->nChannels;
    setup.block_align = wfe->nBlockAlign;
    setup.bits_per_sample = wfe->wBitsPerSample;
    setup.bit_rate = static_cast<int>(wfe->nAvgBytesPerSec * 8);
    if (setup.channels <= 0 || setup.channels > 8 || setup.sample_rate <= 0 || setup.sample_rate > 384000)
        return std::nullopt;
    return setup;
}

}

std::optional<DecoderSetup> decoder_setup(const AM_MEDIA_TYPE& type)
{
    std::optional<DecoderSetup> setup;
    if (type.majortype == MEDIATYPE_Video) setup = video_setup(type);
    else if (type.majortype == MEDIATYPE_Audio) setup = audio_setup(type);
    if (!setup || setup->codec_id == AV_CODEC_ID_NONE) return std::nullopt;
    if (avcodec_find_decoder(static_cast<AVCodecID>(setup->codec_id)) == nullptr) return std::nullopt;
    return setup;
}

}
