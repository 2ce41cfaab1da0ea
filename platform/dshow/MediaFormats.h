#pragma once
// Media-type GUIDs and the format blocks that travel in AM_MEDIA_TYPE, laid
// out byte for byte as on Windows: decoders and stored configurations read
// them by offset.

#include "platform/base/Geometry.h"
#include "platform/base/WaveFormat.h"
#include "platform/dshow/DShowTypes.h"

#include <cstddef>

constexpr DWORD MAKEFOURCC(char a, char b, char c, char d)
{
    return static_cast<DWORD>(static_cast<BYTE>(a)) | static_cast<DWORD>(static_cast<BYTE>(b)) << 8 |
           static_cast<DWORD>(static_cast<BYTE>(c)) << 16 | static_cast<DWORD>(static_cast<BYTE>(d)) << 24;
}

namespace plat {
// The subtype GUID of a FOURCC or a wave format tag: {XXXXXXXX-0000-0010-8000-00AA00389B71}.
constexpr GUID fourcc_guid(DWORD fourcc)
{
    return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
}

inline constexpr GUID MEDIATYPE_Video = plat::fourcc_guid(MAKEFOURCC('v', 'i', 'd', 's'));
inline constexpr GUID MEDIATYPE_Audio = plat::fourcc_guid(MAKEFOURCC('a', 'u', 'd', 's'));
inline constexpr GUID MEDIATYPE_Text = plat::fourcc_guid(MAKEFOURCC('t', 'x', 't', 's'));
inline constexpr GUID MEDIATYPE_ScriptCommand = plat::fourcc_guid(MAKEFOURCC('s', 'c', 'm', 'd'));
inline constexpr GUID MEDIATYPE_Stream = plat::make_guid("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIATYPE_Subtitle = plat::make_guid("{E487EB08-6B26-4BE9-9DD3-993434D313FD}");

inline constexpr GUID MEDIASUBTYPE_PCM = plat::fourcc_guid(1);
inline constexpr GUID MEDIASUBTYPE_MPEG1Payload = plat::make_guid("{E436EB81-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_MPEG2_VIDEO = plat::make_guid("{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_DVD_SUBPICTURE = plat::make_guid("{E06D802D-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_FlvStream = plat::make_guid("{F2FAC0F1-3852-4670-AAC0-9051D400AC54}");
inline constexpr GUID MEDIASUBTYPE_MatroskaStream = plat::make_guid("{1AC0BEBD-4D2B-45AD-BCEB-F2C41C5E3788}");
inline constexpr GUID MEDIASUBTYPE_Vorbis2 = plat::make_guid("{CDDCA2D5-6D75-4F98-840E-737BEDD5C63B}");
inline constexpr GUID MEDIASUBTYPE_RGB32 = plat::make_guid("{E436EB7E-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB24 = plat::make_guid("{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB555 = plat::make_guid("{E436EB7C-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB565 = plat::make_guid("{E436EB7B-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_YUY2 = plat::fourcc_guid(MAKEFOURCC('Y', 'U', 'Y', '2'));
inline constexpr GUID MEDIASUBTYPE_YV12 = plat::fourcc_guid(MAKEFOURCC('Y', 'V', '1', '2'));

inline constexpr GUID FORMAT_VideoInfo = plat::make_guid("{05589F80-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_WaveFormatEx = plat::make_guid("{05589F81-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_MPEGVideo = plat::make_guid("{05589F82-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_VideoInfo2 = plat::make_guid("{F72A76A0-EB0A-11D0-ACE4-0000C0CC16BA}");
inline constexpr GUID FORMAT_MPEG2Video = plat::make_guid("{E06D80E3-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID FORMAT_DiracVideoInfo = plat::make_guid("{D2667A7E-4055-4244-A65F-DDDDF2B74BD7}");
inline constexpr GUID FORMAT_VorbisFormat2 = plat::make_guid("{6BDDFA7E-9F22-46A9-AB5E-884EFF294D9F}");

inline constexpr WORD WAVE_FORMAT_MPEG = 0x50;
inline constexpr WORD WAVE_FORMAT_MPEGLAYER3 = 0x55;
inline constexpr WORD WAVE_FORMAT_AAC = 0xFF;

inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_BITFIELDS = 3;

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};

struct VIDEOINFOHEADER2 {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    DWORD dwInterlaceFlags;
    DWORD dwCopyProtectFlags;
    DWORD dwPictAspectRatioX;
    DWORD dwPictAspectRatioY;
    DWORD dwControlFlags;
    DWORD dwReserved2;
    BITMAPINFOHEADER bmiHeader;
};

// Both MPEG video blocks end in the raw sequence header; the block's length
// is the offset of that array plus the header's length.
struct MPEG1VIDEOINFO {
    VIDEOINFOHEADER hdr;
    DWORD dwStartTimeCode;
    DWORD cbSequenceHeader;
    BYTE bSequenceHeader[1];
};

struct MPEG2VIDEOINFO {
    VIDEOINFOHEADER2 hdr;
    DWORD dwStartTimeCode;
    DWORD cbSequenceHeader;
    DWORD dwProfile;
    DWORD dwLevel;
    DWORD dwFlags;
    DWORD dwSequenceHeader[1];
};

#pragma pack(push, 1)
struct MPEG1WAVEFORMAT {
    WAVEFORMATEX wfx;
    WORD fwHeadLayer;
    DWORD dwHeadBitrate;
    WORD fwHeadMode;
    WORD fwHeadModeExt;
    WORD wHeadEmphasis;
    WORD fwHeadFlags;
    DWORD dwPTSLow;
    DWORD dwPTSHigh;
};
#pragma pack(pop)

// The bytes of a bitmap's pixels: rows padded to 4 bytes, |height| of them.
inline DWORD GetBitmapSize(const BITMAPINFOHEADER* header)
{
    const LONG height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    const DWORD row = ((static_cast<DWORD>(header->biWidth) * header->biBitCount + 31) & ~31u) / 8;
    return row * static_cast<DWORD>(height);
}

static_assert(sizeof(RECT) == 16);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(VIDEOINFOHEADER) == 88);
static_assert(sizeof(VIDEOINFOHEADER2) == 112);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) == 48);
static_assert(offsetof(VIDEOINFOHEADER2, bmiHeader) == 72);
static_assert(offsetof(MPEG1VIDEOINFO, bSequenceHeader) == 96);
static_assert(offsetof(MPEG2VIDEOINFO, dwSequenceHeader) == 132);
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(MPEG1WAVEFORMAT) == 40);

inline constexpr std::size_t mpeg1_video_info_size(std::size_t sequence_header) { return 96 + sequence_header; }
inline constexpr std::size_t mpeg2_video_info_size(std::size_t sequence_header) { return 132 + sequence_header; }

inline constexpr WORD ACM_MPEG_LAYER1 = 1;
inline constexpr WORD ACM_MPEG_PRIVATEBIT = 1;
inline constexpr WORD ACM_MPEG_COPYRIGHT = 2;
inline constexpr WORD ACM_MPEG_ORIGINALHOME = 4;
inline constexpr WORD ACM_MPEG_PROTECTIONBIT = 8;
inline constexpr WORD ACM_MPEG_ID_MPEG1 = 0x10;
