#include "splitter/base/BaseSplitterFileEx.h"

#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/MediaType.h"

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
