#include "splitter/base/BaseSplitterFileEx.h"

#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/MediaType.h"

#include <cstring>
#include <numeric>
#include <vector>

namespace {

// Kilobits a second by [MPEG-1 ? 0 : 1][layer - 1][index].
constexpr int bitrates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};

// Samples a second by version (0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1) and index.
constexpr int rates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

void make_audio_type(const MpegAudioHeader& h, CMediaType& type)
{
    type = CMediaType(MEDIATYPE_Audio);
    type.SetFormatType(&FORMAT_WaveFormatEx);
    WAVEFORMATEX* wfe;
    if (h.layer == 3) {
        wfe = reinterpret_cast<WAVEFORMATEX*>(type.AllocFormatBuffer(sizeof(WAVEFORMATEX)));
        if (!wfe) return;
        wfe->wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    } else {
        auto* mwf = reinterpret_cast<MPEG1WAVEFORMAT*>(type.AllocFormatBuffer(sizeof(MPEG1WAVEFORMAT)));
        if (!mwf) return;
        mwf->wfx.wFormatTag = WAVE_FORMAT_MPEG;
        mwf->wfx.cbSize = sizeof(MPEG1WAVEFORMAT) - sizeof(WAVEFORMATEX);
        mwf->fwHeadLayer = static_cast<WORD>(1 << (h.layer - 1));
        mwf->dwHeadBitrate = static_cast<DWORD>(h.bitrate);
        mwf->fwHeadMode = static_cast<WORD>(1 << h.channel_mode);
        mwf->fwHeadModeExt = static_cast<WORD>(1 << h.mode_extension);
        mwf->wHeadEmphasis = static_cast<WORD>(h.emphasis + 1);
        WORD flags = 0;
        if (h.private_bit) flags |= ACM_MPEG_PRIVATEBIT;
        if (h.copyright) flags |= ACM_MPEG_COPYRIGHT;
        if (h.original) flags |= ACM_MPEG_ORIGINALHOME;
        if (!h.crc) flags |= ACM_MPEG_PROTECTIONBIT;
        if (h.version == 3) flags |= ACM_MPEG_ID_MPEG1;
        mwf->fwHeadFlags = flags;
        wfe = &mwf->wfx;
    }
    wfe->nChannels = static_cast<WORD>(h.channels);
    wfe->nSamplesPerSec = static_cast<DWORD>(h.rate);
    wfe->nAvgBytesPerSec = static_cast<DWORD>(h.bitrate / 8);
    wfe->nBlockAlign = static_cast<WORD>(h.frame_size);
    GUID subtype = plat::fourcc_guid(wfe->wFormatTag);
    type.SetSubtype(&subtype);
}

}

CBaseSplitterFileEx::~CBaseSplitterFileEx() = default;

std::unique_ptr<CBaseSplitterFileEx> CBaseSplitterFileEx::Create(IAsyncReader* reader, HRESULT& result,
                                                                 RandomAccess random_access, Streaming streaming)
{
    result = S_OK;
    auto file = std::make_unique<CBaseSplitterFileEx>(reader, result, default_cache, random_access, streaming);
    if (FAILED(result)) file.reset();
    return file;
}

bool CBaseSplitterFileEx::NextMpegStartCode(BYTE& code, LONGLONG limit)
{
    BitByteAlign();
    DWORD last = 0xFFFFFFFF;
    do {
        if (limit-- <= 0 || GetRemaining() <= 0) return false;
        ULONGLONG b = BitRead(8);
        if (b == failed_bit_read) return false;
        last = last << 8 | static_cast<DWORD>(b);
    } while ((last & 0xFFFFFF00) != 0x00000100);
    code = static_cast<BYTE>(last);
    return true;
}

bool CBaseSplitterFileEx::ReadAudioHeader(MpegAudioHeader& h, int limit, bool allow_mpeg25, CMediaType* type)
{
    const int sync_bits = allow_mpeg25 ? 11 : 12;
    const ULONGLONG sync = (1ULL << sync_bits) - 1;
    for (; limit > 3; --limit) {
        if (BitRead(sync_bits, true) == sync) break;
        if (BitRead(8) == failed_bit_read) return false;
    }
    if (limit <= 3) return false;
    BitRead(sync_bits);
    h.version = allow_mpeg25 ? static_cast<int>(BitRead(2)) : 2 | static_cast<int>(BitRead(1));
    const int coded_layer = static_cast<int>(BitRead(2));
    h.crc = BitRead(1) == 0;   // the bit is "protection absent"
    h.bitrate_index = static_cast<int>(BitRead(4));
    h.rate_index = static_cast<int>(BitRead(2));
    h.padding = static_cast<int>(BitRead(1));
    h.private_bit = static_cast<int>(BitRead(1));
    h.channel_mode = static_cast<int>(BitRead(2));
    h.mode_extension = static_cast<int>(BitRead(2));
    h.copyright = static_cast<int>(BitRead(1));
    h.original = static_cast<int>(BitRead(1));
    ULONGLONG emphasis = BitRead(2);
    if (emphasis == failed_bit_read) return false;
    h.emphasis = static_cast<int>(emphasis);

    if (h.version == 1 || coded_layer == 0 || h.bitrate_index == 15 || h.rate_index == 3 || h.emphasis == 2)
        return false;
    h.layer = 4 - coded_layer;
    const int kbps = bitrates[h.version == 3 ? 0 : 1][h.layer - 1][h.bitrate_index];
    if (kbps == 0) return false;
    h.bitrate = kbps * 1000;
    h.rate = rates[h.version][h.rate_index];
    if (h.layer == 1) {
        h.frame_size = (12 * h.bitrate / h.rate + h.padding) * 4;
    } else {
        const int factor = h.layer == 3 && h.version != 3 ? 72 : 144;
        h.frame_size = factor * h.bitrate / h.rate + h.padding;
    }
    const int samples = h.layer == 1 ? 384 : h.layer == 3 && h.version != 3 ? 576 : 1152;
    h.duration = REFERENCE_TIME{samples} * 10000000 / h.rate;
    h.channels = h.channel_mode == 3 ? 1 : 2;
    if (type) make_audio_type(h, *type);
    return true;
}

namespace {

constexpr BYTE sequence_header_code = 0xB3;
constexpr ULONGLONG sequence_extension = 0x000001B5;

// 27 MHz ticks a frame, by frame-rate code.
constexpr REFERENCE_TIME frame_ticks[16] = {0, 1126125, 1125000, 1080000, 900900, 900000, 540000, 450450, 450000};

// MPEG-1's pel aspect ratios (height over width of a pel), by aspect code.
constexpr double pel_aspects[16] = {1.0,    1.0,    0.6735, 0.7031, 0.7615, 0.8055, 0.8437, 0.8935,
                                    0.9157, 0.9815, 1.0255, 1.0695, 1.095,  1.1575, 1.2015, 1.0};

void make_video_type(const MpegVideoHeader& h, const std::vector<BYTE>& raw, CMediaType& type)
{
    type = CMediaType(MEDIATYPE_Video);
    const auto raw_size = static_cast<DWORD>(raw.size());
    BITMAPINFOHEADER* bmi = nullptr;
    BYTE* raw_out = nullptr;
    if (h.mpeg2) {
        type.SetSubtype(&MEDIASUBTYPE_MPEG2_VIDEO);
        type.SetFormatType(&FORMAT_MPEG2Video);
        auto* mvih = reinterpret_cast<MPEG2VIDEOINFO*>(type.AllocFormatBuffer(static_cast<ULONG>(mpeg2_video_info_size(raw.size()))));
        if (!mvih) return;
        mvih->hdr.dwBitRate = h.bitrate;
        mvih->hdr.AvgTimePerFrame = h.frame_period;
        mvih->hdr.dwPictAspectRatioX = h.aspect_x;
        mvih->hdr.dwPictAspectRatioY = h.aspect_y;
        mvih->dwProfile = static_cast<DWORD>(h.profile);
        mvih->dwLevel = static_cast<DWORD>(h.level);
        mvih->cbSequenceHeader = raw_size;
        bmi = &mvih->hdr.bmiHeader;
        raw_out = reinterpret_cast<BYTE*>(mvih->dwSequenceHeader);
    } else {
        type.SetSubtype(&MEDIASUBTYPE_MPEG1Payload);
        type.SetFormatType(&FORMAT_MPEGVideo);
        auto* mvi = reinterpret_cast<MPEG1VIDEOINFO*>(type.AllocFormatBuffer(static_cast<ULONG>(mpeg1_video_info_size(raw.size()))));
        if (!mvi) return;
        mvi->hdr.dwBitRate = h.bitrate;
        mvi->hdr.AvgTimePerFrame = h.frame_period;
        mvi->cbSequenceHeader = raw_size;
        bmi = &mvi->hdr.bmiHeader;
        bmi->biXPelsPerMeter = static_cast<LONG>(static_cast<DWORD>(h.width) * h.aspect_y);
        bmi->biYPelsPerMeter = static_cast<LONG>(static_cast<DWORD>(h.height) * h.aspect_x);
        raw_out = mvi->bSequenceHeader;
    }
    bmi->biSize = sizeof(BITMAPINFOHEADER);
    bmi->biWidth = h.width;
    bmi->biHeight = h.height;
    if (!raw.empty()) std::memcpy(raw_out, raw.data(), raw.size());
}

}

bool CBaseSplitterFileEx::ReadVideoHeader(MpegVideoHeader& h, LONGLONG limit, CMediaType* type)
{
    const LONGLONG start = GetPos();
    BYTE code = 0;
    do {
        const LONGLONG used = GetPos() - start;
        if (used >= limit || !NextMpegStartCode(code, limit - used)) return false;
    } while (code != sequence_header_code);
    const LONGLONG header_start = GetPos() - 4;

    h = MpegVideoHeader{};
    h.width = static_cast<LONG>(BitRead(12));
    h.height = static_cast<LONG>(BitRead(12));
    const auto aspect_code = static_cast<int>(BitRead(4));
    REFERENCE_TIME ticks = frame_ticks[BitRead(4) & 15];
    ULONGLONG bitrate = BitRead(18);
    if (BitRead(1) != 1) return false;   // marker
    BitRead(10);                         // buffer size
    BitRead(1);                          // constrained parameters
    for (int matrix = 0; matrix < 2; ++matrix)   // intra, then non-intra quantiser matrix
        if (BitRead(1) == 1)
            for (int i = 0; i < 64; ++i) BitRead(8);
    const LONGLONG header_end = GetPos();
    if (h.width == 0 || h.height == 0) return false;
    h.aspect_x = static_cast<DWORD>(h.width / pel_aspects[aspect_code] + 0.5);
    h.aspect_y = static_cast<DWORD>(h.height);

    LONGLONG extension_start = -1;
    BitByteAlign();
    if (BitRead(32, true) == sequence_extension) {
        extension_start = GetPos();
        BitRead(32);
        BitRead(4);   // extension identifier
        BitRead(1);   // escape
        h.profile = static_cast<int>(BitRead(3));
        h.level = static_cast<int>(BitRead(4));
        BitRead(1);   // progressive
        BitRead(2);   // chroma format
        h.width |= static_cast<LONG>(BitRead(2) << 12);
        h.height |= static_cast<LONG>(BitRead(2) << 12);
        bitrate |= BitRead(12) << 18;
        if (BitRead(1) != 1) return false;   // marker
        BitRead(8);   // buffer size extension
        BitRead(1);   // low delay
        const auto n = static_cast<REFERENCE_TIME>(BitRead(2) & 3);
        const auto d = static_cast<REFERENCE_TIME>(BitRead(5) & 31);
        // The extension scales the frame rate by (n + 1) / (d + 1), so the period by its inverse.
        ticks = ticks * (d + 1) / (n + 1);
        h.mpeg2 = true;
        constexpr DWORD shapes[5][2] = {{0, 0}, {0, 0}, {4, 3}, {16, 9}, {221, 100}};
        const int display = aspect_code == 0 ? 1 : aspect_code;
        if (display >= 2 && display <= 4) {
            h.aspect_x = shapes[display][0];
            h.aspect_y = shapes[display][1];
        } else {
            h.aspect_x = static_cast<DWORD>(h.width);
            h.aspect_y = static_cast<DWORD>(h.height);
        }
    }
    const LONGLONG extension_end = GetPos();
    h.frame_period = ticks * 10 / 27;
    h.bitrate = bitrate == 0x3FFFFFFF ? 0 : static_cast<DWORD>(bitrate * 400);
    const DWORD divisor = std::gcd(h.aspect_x, h.aspect_y);
    if (divisor > 1) {
        h.aspect_x /= divisor;
        h.aspect_y /= divisor;
    }
    if (!type) return true;

    std::vector<BYTE> raw(static_cast<std::size_t>(header_end - header_start));
    Seek(header_start);
    if (ByteRead(raw.data(), header_end - header_start) != S_OK) return false;
    if (extension_start >= 0) {
        std::vector<BYTE> extension(static_cast<std::size_t>(extension_end - extension_start));
        Seek(extension_start);
        if (ByteRead(extension.data(), extension_end - extension_start) != S_OK) return false;
        raw.insert(raw.end(), extension.begin(), extension.end());
    }
    make_video_type(h, raw, *type);
    return true;
}
