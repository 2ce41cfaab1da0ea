#include "splitter/formats/MediaFormatHelpers.h"

#include "platform/base/Utf.h"
#include "platform/dshow/MediaType.h"
#include "splitter/formats/LanguageTable.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// Lowest rate of each sampling index, as the decoder configuration rounds.
constexpr int rate_thresholds[] = {92017, 75132, 55426, 46009, 37566, 27713, 23004, 18783, 13856, 11502, 9391};
constexpr int sbr_rate_thresholds[] = {92017, 75131, 55425, 46009, 37565, 27713, 23003, 18783, 13855, 11501, 9391};

int sampling_index(int rate, const int (&thresholds)[11])
{
    for (int i = 0; i < 11; ++i)
        if (rate >= thresholds[i]) return i;
    return 11;
}

constexpr DWORD mpeg2_profiles[8] = {0, 5, 4, 3, 2, 1, 0, 0};
constexpr DWORD mpeg2_levels[16] = {0, 0, 0, 0, 4, 0, 3, 0, 2, 0, 1, 0, 0, 0, 0, 0};

}

std::unique_ptr<WCHAR[]> Utf8ToWide(const char* text)
{
    if (!text) return nullptr;
    const std::u16string wide = plat::utf8_to_utf16(text);
    if (wide.empty()) return nullptr;
    auto out = std::make_unique<WCHAR[]>(wide.size() + 1);
    std::copy(wide.begin(), wide.end(), out.get());
    out[wide.size()] = 0;
    return out;
}

std::string LanguageCode3(const char* text)
{
    if (!text) return {};
    std::string two;
    for (int i = 0; i < 2 && text[i]; ++i) two += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    if (two.empty()) return {};
    for (const LanguageRow& row : language_table())
        if (*row.code2 && two == row.code2) return row.code3;
    return {};
}

int MakeAacConfig(std::array<BYTE, 5>& out, int object_type_index, int rate, int channels)
{
    const int index = sampling_index(rate, rate_thresholds);
    const int type = (object_type_index < 0 ? -object_type_index : object_type_index) + 1;
    out[0] = static_cast<BYTE>(type << 3 | index >> 1);
    out[1] = static_cast<BYTE>((index & 1) << 7 | channels << 3);
    if (object_type_index >= 0) return 2;
    const int sbr_index = sampling_index(rate * 2, sbr_rate_thresholds);
    out[2] = 0x56;
    out[3] = 0xE5;
    out[4] = static_cast<BYTE>(sbr_index << 3 | 0x80);
    return 5;
}

bool MakeMpeg2VideoType(CMediaType& type, const BYTE* header, DWORD length, DWORD width, DWORD height)
{
    constexpr BYTE sequence[] = {0, 0, 1, 0xB3};
    constexpr BYTE extension[] = {0, 0, 1, 0xB5};
    if (!header || length <= 3 || std::memcmp(header, sequence, 4) != 0) return false;
    DWORD size = 11;   // up to the matrix flags
    if (size >= length) return false;
    if (header[11] & 2) size += 64;
    if (size >= length) return false;
    if (header[size] & 1) size += 64;
    size += 1;
    if (size > length) return false;
    const BYTE* ext = nullptr;
    if (length - size > 4 && std::memcmp(header + size, extension, 4) == 0) {
        if (length - size < 10) return false;
        ext = header + size;
        size += 10;
    }
    type = CMediaType(MEDIATYPE_Video);
    type.SetSubtype(&MEDIASUBTYPE_MPEG2_VIDEO);
    type.SetFormatType(&FORMAT_MPEG2Video);
    auto* info = reinterpret_cast<MPEG2VIDEOINFO*>(type.AllocFormatBuffer(static_cast<ULONG>(mpeg2_video_info_size(size))));
    if (!info) return false;
    info->hdr.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->hdr.bmiHeader.biWidth = static_cast<LONG>(width);
    info->hdr.bmiHeader.biHeight = static_cast<LONG>(height);
    info->cbSequenceHeader = size;
    std::memcpy(info->dwSequenceHeader, header, size);
    if (ext && ext[4] >> 4 == 1) {
        info->dwProfile = mpeg2_profiles[ext[4] & 7];
        info->dwLevel = mpeg2_levels[ext[5] >> 4];
    }
    return true;
}

bool GetBitmapHeader(const AM_MEDIA_TYPE* type, BITMAPINFOHEADER* out)
{
    if (!type || !out) return false;
    std::memset(out, 0, sizeof *out);
    std::size_t offset;
    if (type->formattype == FORMAT_VideoInfo || type->formattype == FORMAT_MPEGVideo)
        offset = 48;
    else if (type->formattype == FORMAT_VideoInfo2 || type->formattype == FORMAT_MPEG2Video ||
             type->formattype == FORMAT_DiracVideoInfo)
        offset = 72;
    else
        return false;
    // A block too short for the header is refused rather than read past its end.
    if (!type->pbFormat || type->cbFormat < offset + sizeof(BITMAPINFOHEADER)) return false;
    std::memcpy(out, type->pbFormat + offset, sizeof *out);
    return true;
}
