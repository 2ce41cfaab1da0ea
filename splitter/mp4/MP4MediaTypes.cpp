#include "splitter/mp4/MP4MediaTypes.h"

#include "outside/ap4/Ap4LeafAtoms.h"
#include "outside/ap4/Ap4SampleDescription.h"
#include "outside/ap4/Ap4SampleEntry.h"
#include "outside/ap4/Ap4StsdAtom.h"
#include "outside/ap4/Ap4Track.h"
#include "platform/dshow/MediaFormats.h"
#include "splitter/mp4/MP4SplitterFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <span>

namespace {

constexpr DWORD fourcc_of(AP4_UI32 type)
{
    // Atom types are stored first letter first; a FOURCC keeps the first letter lowest.
    return MAKEFOURCC(static_cast<char>(type >> 24), static_cast<char>(type >> 16), static_cast<char>(type >> 8),
                      static_cast<char>(type));
}

std::span<const BYTE> bytes_of(const AP4_DataBuffer& b) { return {b.GetData(), b.GetDataSize()}; }

template <class Block>
Block* alloc_block(CMediaType& mt, std::size_t size)
{
    auto* block = reinterpret_cast<Block*>(mt.AllocFormatBuffer(static_cast<ULONG>(size)));
    if (!block) throw std::bad_alloc();
    std::memset(block, 0, size);
    return block;
}

// A video-info block with the bytes behind it.
CMediaType video_info_type(const GUID& subtype, DWORD compression, LONG width, LONG height, DWORD bitrate,
                           std::span<const BYTE> extra)
{
    CMediaType mt(MEDIATYPE_Video);
    mt.SetSubtype(&subtype);
    mt.SetFormatType(&FORMAT_VideoInfo);
    auto* vih = alloc_block<VIDEOINFOHEADER>(mt, sizeof(VIDEOINFOHEADER) + extra.size());
    vih->dwBitRate = bitrate;
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    vih->bmiHeader.biCompression = compression;
    if (!extra.empty()) std::memcpy(vih + 1, extra.data(), extra.size());
    return mt;
}

// An MPEG-2 video block for a FOURCC subtype, with the sequence header behind it.
CMediaType mpeg2_info_type(DWORD fourcc, LONG width, LONG height, std::span<const BYTE> sequence_header,
                           DWORD profile = 0, DWORD level = 0, DWORD flags = 0)
{
    CMediaType mt(MEDIATYPE_Video);
    const GUID subtype = plat::fourcc_guid(fourcc);
    mt.SetSubtype(&subtype);
    mt.SetFormatType(&FORMAT_MPEG2Video);
    auto* mvih = alloc_block<MPEG2VIDEOINFO>(mt, mpeg2_video_info_size(sequence_header.size()));
    auto& bmi = mvih->hdr.bmiHeader;
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = width;
    bmi.biHeight = height;
    bmi.biCompression = fourcc;
    bmi.biPlanes = 1;
    bmi.biBitCount = 24;
    mvih->hdr.dwPictAspectRatioX = static_cast<DWORD>(width);
    mvih->hdr.dwPictAspectRatioY = static_cast<DWORD>(height);
    mvih->dwProfile = profile;
    mvih->dwLevel = level;
    mvih->dwFlags = flags;
    mvih->cbSequenceHeader = static_cast<DWORD>(sequence_header.size());
    if (!sequence_header.empty()) std::memcpy(mvih->dwSequenceHeader, sequence_header.data(), sequence_header.size());
    return mt;
}

CMediaType wave_type(WORD tag, DWORD rate, DWORD avg_bytes, WORD channels, WORD bits, WORD block_align,
                     std::span<const BYTE> extra)
{
    CMediaType mt(MEDIATYPE_Audio);
    const GUID subtype = plat::fourcc_guid(tag);
    mt.SetSubtype(&subtype);
    mt.SetFormatType(&FORMAT_WaveFormatEx);
    auto* wfe = alloc_block<WAVEFORMATEX>(mt, sizeof(WAVEFORMATEX) + extra.size());
    wfe->wFormatTag = tag;
    wfe->nSamplesPerSec = rate;
    wfe->nAvgBytesPerSec = avg_bytes;
    wfe->nChannels = channels;
    wfe->wBitsPerSample = bits;
    wfe->nBlockAlign = block_align;
    wfe->cbSize = static_cast<WORD>(extra.size());
    if (!extra.empty()) std::memcpy(wfe + 1, extra.data(), extra.size());
    return mt;
}

void mpeg_video_types(const AP4_MpegVideoSampleDescription& d, const AP4_Sample& first, CMP4SplitterFile& file,
                      std::vector<CMediaType>& types)
{
    const auto info = bytes_of(d.GetDecoderInfo());
    const LONG w = d.GetWidth(), h = d.GetHeight();
    const AP4_UI08 object = d.GetObjectTypeId();
    if (object == 0x20) {
        for (char c : {'m', 'M'}) {
            const bool upper = c == 'M';
            types.push_back(mpeg2_info_type(MAKEFOURCC(c, upper ? 'P' : 'p', '4', upper ? 'V' : 'v'), w, h, info));
        }
        return;
    }
    const bool mpeg2 = object >= 0x60 && object <= 0x65;
    if (!mpeg2 && object != 0x6A) return;
    CMediaType mt = video_info_type(mpeg2 ? MEDIASUBTYPE_MPEG2_VIDEO : MEDIASUBTYPE_MPEG1Payload, 0, w, h,
                                    d.GetAvgBitrate() / 8, info);
    file.Seek(static_cast<LONGLONG>(first.GetOffset()));
    MpegVideoHeader header{};
    CMediaType read;
    if (file.ReadVideoHeader(header, first.GetSize(), &read)) mt = std::move(read);
    types.push_back(std::move(mt));
}

void mpeg_audio_types(const AP4_MpegAudioSampleDescription& d, const AP4_Sample& first, CMP4SplitterFile& file,
                      std::vector<CMediaType>& types)
{
    const auto info = bytes_of(d.GetDecoderInfo());
    const AP4_UI08 object = d.GetObjectTypeId();
    auto base = [&](WORD tag, WORD channels) {
        return wave_type(tag, d.GetSampleRate(), d.GetAvgBitrate() / 8, channels, d.GetSampleSize(), 0, info);
    };
    if (object == 0x40 || (object >= 0x66 && object <= 0x68)) {
        WORD channels = d.GetChannelCount();
        if (info.size() >= 2) channels = static_cast<WORD>((info[1] >> 3) & 0x0F);
        types.push_back(base(WAVE_FORMAT_AAC, channels));
    } else if (object == 0x69 || object == 0x6B) {
        file.Seek(static_cast<LONGLONG>(first.GetOffset()));
        MpegAudioHeader header{};
        CMediaType read;
        const int limit = static_cast<int>(std::min<AP4_Size>(first.GetSize(), INT32_MAX));
        types.push_back(file.ReadAudioHeader(header, limit, false, &read) ? std::move(read)
                                                                          : base(WAVE_FORMAT_MPEGLAYER3, d.GetChannelCount()));
    }
}

void subtitle_type(const GUID& subtype, std::vector<BYTE> block, std::vector<CMediaType>& types)
{
    CMediaType mt(MEDIATYPE_Subtitle);
    mt.SetSubtype(&subtype);
    mt.SetFormatType(&FORMAT_SubtitleInfo);
    if (!block.empty() && !mt.SetFormat(block.data(), static_cast<ULONG>(block.size()))) throw std::bad_alloc();
    types.push_back(std::move(mt));
}

// The AVC parameter sets of a decoder configuration record, each with its
// 2-byte length: sequence sets, then picture sets. Stops at a set that does
// not fit the record.
std::vector<BYTE> avc_parameter_sets(std::span<const BYTE> record)
{
    std::vector<BYTE> out;
    std::size_t at = 5;
    for (int group = 0; group < 2 && at < record.size(); ++group) {
        const int count = record[at++] & 0x1F;
        for (int i = 0; i < count; ++i) {
            if (at + 2 > record.size()) return out;
            const std::size_t length = std::size_t{record[at]} << 8 | record[at + 1];
            if (length > record.size() - at - 2) return out;
            out.insert(out.end(), record.begin() + static_cast<std::ptrdiff_t>(at),
                       record.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
            at += 2 + length;
        }
    }
    return out;
}

bool avc_types(const AP4_Track& track, std::vector<CMediaType>& types)
{
    auto* avc1 = dynamic_cast<AP4_Avc1SampleEntry*>(track.GetTrakAtom()->FindChild("mdia/minf/stbl/stsd/avc1"));
    auto* avcc = avc1 ? dynamic_cast<AP4_AvcCAtom*>(avc1->GetChild(AP4_ATOM_TYPE('a', 'v', 'c', 'C'))) : nullptr;
    if (!avcc) return false;
    const auto record = bytes_of(avcc->GetRawBytes());
    const auto at = [&](std::size_t i) -> DWORD { return i < record.size() ? record[i] : 0; };
    const std::vector<BYTE> sets = avc_parameter_sets(record);
    for (char c : {'a', 'A'}) {
        const bool upper = c == 'A';
        types.push_back(mpeg2_info_type(MAKEFOURCC(c, upper ? 'V' : 'v', upper ? 'C' : 'c', '1'), avc1->GetWidth(),
                                        avc1->GetHeight(), sets, at(1), at(3), (at(4) & 3) + 1));
    }
    return true;
}

// "ms" and a 16-bit number give that wave format tag; ".mp3" gives MP3; other letters are a FOURCC.
DWORD code_of(AP4_UI32 type)
{
    if ((type >> 16) == ('m' << 8 | 's')) return type & 0xFFFF;
    if (type == AP4_ATOM_TYPE('.', 'm', 'p', '3')) return WAVE_FORMAT_MPEGLAYER3;
    return fourcc_of(type);
}

DWORD with_case(DWORD code, int (*change)(int))
{
    DWORD out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= static_cast<DWORD>(static_cast<BYTE>(change(static_cast<BYTE>(code >> shift)))) << shift;
    return out;
}

void entry_types(const AP4_Track& track, std::vector<CMediaType>& types)
{
    auto* stsd = dynamic_cast<AP4_StsdAtom*>(track.GetTrakAtom()->FindChild("mdia/minf/stbl/stsd"));
    if (!stsd) return;
    for (AP4_Ordinal i = 0; AP4_SampleEntry* entry = stsd->GetSampleEntry(i); ++i) {
        const DWORD code = code_of(entry->GetType());
        const auto extra = bytes_of(entry->GetExtension());
        if (auto* visual = dynamic_cast<AP4_VisualSampleEntry*>(entry)) {
            std::vector<DWORD> codes{code};
            for (DWORD variant : {with_case(code, ::tolower), with_case(code, ::toupper)})
                if (std::find(codes.begin(), codes.end(), variant) == codes.end()) codes.push_back(variant);
            for (DWORD c : codes)
                types.push_back(video_info_type(plat::fourcc_guid(c), c, visual->GetWidth(), visual->GetHeight(), 0, extra));
            return;
        }
        if (auto* audio = dynamic_cast<AP4_AudioSampleEntry*>(entry)) {
            const WORD tag = code < 0x10000 ? static_cast<WORD>(code) : 0;
            CMediaType mt = wave_type(tag, audio->GetSampleRate(), 0, audio->GetChannelCount(), audio->GetSampleSize(),
                                      static_cast<WORD>(audio->GetBytesPerFrame()), extra);
            const GUID subtype = plat::fourcc_guid(code);
            mt.SetSubtype(&subtype);
            types.push_back(std::move(mt));
            return;
        }
    }
}

}

std::vector<BYTE> MakeSubtitleInfo(const std::string& language, const std::u16string& name)
{
    std::vector<BYTE> block(subtitle_info_size);
    const DWORD offset = subtitle_info_size;
    std::memcpy(block.data(), &offset, sizeof offset);
    std::memcpy(block.data() + 4, language.data(), std::min<std::size_t>(language.size(), 3));
    std::memcpy(block.data() + 8, name.data(), std::min<std::size_t>(name.size(), 255) * sizeof(char16_t));
    return block;
}

std::vector<CMediaType> MakeMP4MediaTypes(const AP4_Track& track, const AP4_Sample& first, CMP4SplitterFile& file,
                                          const std::u16string& name, const std::string& language)
{
    std::vector<CMediaType> types;
    AP4_SampleDescription* d = track.GetSampleDescription(static_cast<AP4_Ordinal>(first.GetDescriptionIndex()));
    if (auto* isma = dynamic_cast<AP4_IsmaCrypSampleDescription*>(d)) d = isma->GetOriginalSampleDescription();
    if (auto* video = dynamic_cast<AP4_MpegVideoSampleDescription*>(d)) {
        mpeg_video_types(*video, first, file, types);
    } else if (auto* audio = dynamic_cast<AP4_MpegAudioSampleDescription*>(d)) {
        mpeg_audio_types(*audio, first, file, types);
    } else if (auto* system = dynamic_cast<AP4_MpegSystemSampleDescription*>(d)) {
        const auto info = bytes_of(system->GetDecoderInfo());
        if (system->GetObjectTypeId() == 0xE0 && info.size() >= 64) {
            // The palette follows the block, where its data offset points.
            std::vector<BYTE> block = MakeSubtitleInfo(language, name);
            block.insert(block.end(), info.begin(), info.end());
            subtitle_type(MEDIASUBTYPE_VOBSUB, std::move(block), types);
        }
    } else if (auto* unknown = dynamic_cast<AP4_UnknownSampleDescription*>(d)) {
        AP4_SampleEntry* entry = unknown->GetAtom();
        if (dynamic_cast<AP4_TextSampleEntry*>(entry) || dynamic_cast<AP4_Tx3gSampleEntry*>(entry))
            subtitle_type(MEDIASUBTYPE_TimedText, {}, types);
    } else if (!d && !avc_types(track, types)) {
        entry_types(track, types);
    }
    return types;
}
