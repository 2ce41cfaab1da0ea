#include "splitter/base/BaseSplitterFileEx.h"

#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/MediaType.h"
#include "splitter/base/testing/MemoryReader.h"
#include "splitter/base/testing/TestMedia.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

using splitter_testing::MemoryReader;

namespace {

std::vector<BYTE> counting_bytes(std::size_t n)
{
    std::vector<BYTE> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<BYTE>(i * 7);
    return v;
}

}

TEST(BaseSplitterFile, ConstructionChecksTheSource)
{
    HRESULT hr = S_OK;
    CBaseSplitterFile none(nullptr, hr, 2048, RandomAccess::NotRequired, Streaming::No);
    EXPECT_EQ(hr, E_UNEXPECTED);

    MemoryReader growing(counting_bytes(100));
    growing.total = 0;   // length unknown
    CBaseSplitterFile lenient(&growing, hr, 2048, RandomAccess::NotRequired, Streaming::No);
    EXPECT_EQ(hr, S_OK);
    EXPECT_FALSE(lenient.IsRandomAccess());
    CBaseSplitterFile strict(&growing, hr, 2048, RandomAccess::Required, Streaming::No);
    EXPECT_EQ(hr, E_FAIL);
}

TEST(BaseSplitterFile, CachedReadsMatchTheSourceAcrossWindows)
{
    const auto bytes = counting_bytes(10000);
    for (int cache : {0, 1000, 2048, 4096}) {
        SCOPED_TRACE(cache);
        MemoryReader reader(bytes);
        HRESULT hr = S_OK;
        CBaseSplitterFile file(&reader, hr, 2048, RandomAccess::Required, Streaming::No);
        ASSERT_EQ(hr, S_OK);
        ASSERT_TRUE(file.SetCacheSize(cache));
        std::vector<BYTE> out;
        std::size_t step = 1;
        while (out.size() < bytes.size()) {
            std::size_t n = std::min(step, bytes.size() - out.size());
            std::vector<BYTE> chunk(n);
            ASSERT_EQ(file.Read(chunk.data(), static_cast<LONGLONG>(n)), S_OK);
            out.insert(out.end(), chunk.begin(), chunk.end());
            step = step * 3 % 5000 + 1;
        }
        EXPECT_EQ(out, bytes);
        BYTE extra;
        EXPECT_EQ(file.Read(&extra, 1), S_FALSE);
    }
}

TEST(BaseSplitterFile, AReadPastTheEndLeavesThePositionInsideTheFile)
{
    for (int cache : {0, 1000, 2048, 4096}) {
        SCOPED_TRACE(cache);
        MemoryReader reader(counting_bytes(10000));
        HRESULT hr = S_OK;
        CBaseSplitterFile file(&reader, hr, 2048, RandomAccess::Required, Streaming::No);
        ASSERT_TRUE(file.SetCacheSize(cache));
        file.Seek(9990);
        std::vector<BYTE> out(20);
        EXPECT_EQ(file.Read(out.data(), 20), S_FALSE);
        EXPECT_LE(file.GetPos(), 10000);
        EXPECT_EQ(file.BitRead(8), CBaseSplitterFile::failed_bit_read);
        EXPECT_LE(file.GetPos(), 10000);
    }
}

TEST(BaseSplitterFile, SmallByteReadsShareOneUpstreamRead)
{
    MemoryReader reader(counting_bytes(4000));
    HRESULT hr = S_OK;
    CBaseSplitterFile file(&reader, hr, 2048, RandomAccess::Required, Streaming::No);
    for (int i = 0; i < 2048; ++i) file.BitRead(8);
    EXPECT_EQ(reader.reads, 1);
    EXPECT_EQ(file.GetPos(), 2048);
}

TEST(BaseSplitterFile, BitReadsAreMostSignificantFirst)
{
    MemoryReader reader({0xA5, 0x0F, 0xFF, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0});
    HRESULT hr = S_OK;
    CBaseSplitterFile file(&reader, hr, 2048, RandomAccess::Required, Streaming::No);
    EXPECT_EQ(file.BitRead(0), 0u);
    EXPECT_EQ(file.BitRead(1), 1u);
    EXPECT_EQ(file.BitRead(3, true), 0x2u);
    EXPECT_EQ(file.BitRead(3), 0x2u);
    EXPECT_EQ(file.BitRead(12), 0x50Fu);
    EXPECT_EQ(file.GetPos(), 2);
    file.BitRead(3);
    file.BitByteAlign();
    EXPECT_EQ(file.GetPos(), 3);
    EXPECT_EQ(file.BitRead(8), 0x00u);
    // A 64-bit read from an odd bit position keeps every bit.
    file.BitRead(4);
    EXPECT_EQ(file.BitRead(60), 0x23456789ABCDEF0ull);
    EXPECT_EQ(file.BitRead(8), CBaseSplitterFile::failed_bit_read);
}

TEST(BaseSplitterFile, SeekClampsToTheAvailableBytes)
{
    MemoryReader reader(counting_bytes(500));
    reader.available = 300;
    HRESULT hr = S_OK;
    CBaseSplitterFile file(&reader, hr, 2048, RandomAccess::NotRequired, Streaming::No);
    const struct { LONGLONG to, lands; } cases[] = {{-5, 0}, {100, 100}, {300, 300}, {10000, 300}};
    for (const auto& c : cases) {
        file.Seek(c.to);
        EXPECT_EQ(file.GetPos(), c.lands) << c.to;
    }
    EXPECT_EQ(file.GetRemaining(), 0);
    BYTE b;
    EXPECT_EQ(file.Read(&b, 1), S_FALSE);   // not there yet
    reader.available = 500;
    EXPECT_EQ(file.Read(&b, 1), S_OK);
}

TEST(BaseSplitterFile, BecomesRandomAccessOnceTheSourceIsWhole)
{
    struct Watcher : CBaseSplitterFile {
        using CBaseSplitterFile::CBaseSplitterFile;
        void OnComplete() override { ++completions; }
        int completions{0};
    };
    MemoryReader reader(counting_bytes(50));
    reader.total = 0;
    HRESULT hr = S_OK;
    Watcher file(&reader, hr, 2048, RandomAccess::NotRequired, Streaming::No);
    BYTE b;
    file.Read(&b, 1);
    EXPECT_EQ(file.completions, 0);
    reader.total = 50;
    file.Read(&b, 1);
    file.Read(&b, 1);
    EXPECT_TRUE(file.IsRandomAccess());
    EXPECT_EQ(file.completions, 1);
}

TEST(BaseSplitterFileEx, FindsStartCodes)
{
    MemoryReader reader({0x00, 0x00, 0x00, 0x01, 0xB3, 0x11, 0x00, 0x00, 0x01, 0xB6});
    HRESULT hr = S_OK;
    CBaseSplitterFileEx file(&reader, hr, 2048, RandomAccess::Required, Streaming::No);
    BYTE code = 0;
    ASSERT_TRUE(file.NextMpegStartCode(code));
    EXPECT_EQ(code, 0xB3);
    EXPECT_EQ(file.GetPos(), 5);
    EXPECT_FALSE(file.NextMpegStartCode(code, 3));
    file.Seek(5);
    ASSERT_TRUE(file.NextMpegStartCode(code));
    EXPECT_EQ(code, 0xB6);
    EXPECT_FALSE(file.NextMpegStartCode(code));
}

TEST(BaseSplitterFileEx, ReadsMpegAudioHeaders)
{
    const struct {
        std::vector<BYTE> bytes;
        bool found;
        int layer, rate, bitrate, frame_size, channels;
        WORD tag;
    } cases[] = {
        {{0xFF, 0xFB, 0x90, 0x64}, true, 3, 44100, 128000, 417, 2, WAVE_FORMAT_MPEGLAYER3},
        {{0x00, 0xFF, 0xF3, 0x80, 0xC4}, true, 3, 22050, 64000, 208, 1, WAVE_FORMAT_MPEGLAYER3},
        {{0xFF, 0xFD, 0x84, 0x00}, true, 2, 48000, 128000, 384, 2, WAVE_FORMAT_MPEG},
        {{0xFF, 0xFB, 0xF0, 0x64}, false},   // bit-rate index 15
        {{0xFF, 0xFB, 0x00, 0x64}, false},   // free format
        {{0x12, 0x34, 0x56, 0x78}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        MemoryReader reader(c.bytes);
        HRESULT hr = S_OK;
        CBaseSplitterFileEx file(&reader, hr, 2048, RandomAccess::Required, Streaming::No);
        MpegAudioHeader h{};
        CMediaType type;
        ASSERT_EQ(file.ReadAudioHeader(h, static_cast<int>(c.bytes.size()) + 3, false, &type), c.found);
        if (!c.found) continue;
        EXPECT_EQ(h.layer, c.layer);
        EXPECT_EQ(h.rate, c.rate);
        EXPECT_EQ(h.bitrate, c.bitrate);
        EXPECT_EQ(h.frame_size, c.frame_size);
        auto* wfe = reinterpret_cast<const WAVEFORMATEX*>(type.Format());
        ASSERT_NE(wfe, nullptr);
        EXPECT_EQ(wfe->wFormatTag, c.tag);
        EXPECT_EQ(wfe->nChannels, c.channels);
        EXPECT_EQ(wfe->nBlockAlign, c.frame_size);
        EXPECT_EQ(type.subtype, plat::fourcc_guid(c.tag));
    }
}

TEST(BaseSplitterFileEx, ReadsMpegVideoSequenceHeaders)
{
    const struct {
        const char* file;
        bool mpeg2;
        LONG width, height;
        DWORD aspect_x, aspect_y;
        GUID subtype, format;
        std::size_t raw;   // sequence header and extension bytes in the type
    } cases[] = {
        {"mpeg1.m1v", false, 352, 288, 11, 9, MEDIASUBTYPE_MPEG1Payload, FORMAT_MPEGVideo, 12},
        {"mpeg2-16x9.m2v", true, 720, 576, 16, 9, MEDIASUBTYPE_MPEG2_VIDEO, FORMAT_MPEG2Video, 22},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::ifstream in(test_media(c.file), std::ios::binary);
        std::vector<BYTE> bytes{std::istreambuf_iterator<char>(in), {}};
        ASSERT_GT(bytes.size(), 100u);
        bytes.insert(bytes.begin(), {0x12, 0x00, 0x00});   // the header need not start the stream
        MemoryReader reader(bytes);
        HRESULT hr = S_OK;
        CBaseSplitterFileEx file(&reader, hr, 2048, RandomAccess::Required, Streaming::No);
        MpegVideoHeader h{};
        EXPECT_FALSE(file.ReadVideoHeader(h, 6, nullptr));   // the limit ends before the header does
        file.Seek(0);
        CMediaType type;
        ASSERT_TRUE(file.ReadVideoHeader(h, 1000, &type));
        EXPECT_EQ(h.mpeg2, c.mpeg2);
        EXPECT_EQ(h.width, c.width);
        EXPECT_EQ(h.height, c.height);
        EXPECT_EQ(h.aspect_x, c.aspect_x);
        EXPECT_EQ(h.aspect_y, c.aspect_y);
        EXPECT_EQ(h.frame_period, 400000);
        EXPECT_EQ(file.GetPos(), 3 + static_cast<LONGLONG>(c.raw));
        EXPECT_EQ(type.majortype, MEDIATYPE_Video);
        EXPECT_EQ(type.subtype, c.subtype);
        EXPECT_EQ(type.formattype, c.format);
        if (c.mpeg2) {
            ASSERT_EQ(type.cbFormat, mpeg2_video_info_size(c.raw));
            auto* mvih = reinterpret_cast<const MPEG2VIDEOINFO*>(type.Format());
            EXPECT_EQ(mvih->hdr.dwPictAspectRatioX, 16u);
            EXPECT_EQ(mvih->hdr.bmiHeader.biWidth, 720);
            EXPECT_EQ(mvih->cbSequenceHeader, c.raw);
            EXPECT_EQ(std::memcmp(mvih->dwSequenceHeader, bytes.data() + 3, 12), 0);
        } else {
            ASSERT_EQ(type.cbFormat, mpeg1_video_info_size(c.raw));
            auto* mvi = reinterpret_cast<const MPEG1VIDEOINFO*>(type.Format());
            EXPECT_EQ(mvi->hdr.AvgTimePerFrame, 400000);
            EXPECT_EQ(mvi->hdr.bmiHeader.biHeight, 288);
            EXPECT_EQ(mvi->cbSequenceHeader, c.raw);
            EXPECT_EQ(std::memcmp(mvi->bSequenceHeader, bytes.data() + 3, c.raw), 0);
        }
    }
}

TEST(BaseSplitterFileEx, RefusesASequenceHeaderWithoutItsMarker)
{
    // 352x288, aspect 1, 25 frames a second, then a bit rate whose marker bit is 0.
    MemoryReader reader({0x00, 0x00, 0x01, 0xB3, 0x16, 0x01, 0x20, 0x13, 0xFF, 0xFF, 0xC0, 0x00, 0x00, 0x00});
    HRESULT hr = S_OK;
    CBaseSplitterFileEx file(&reader, hr, 2048, RandomAccess::Required, Streaming::No);
    MpegVideoHeader h{};
    EXPECT_FALSE(file.ReadVideoHeader(h, 100, nullptr));
}

TEST(BaseSplitterFileEx, ExtensionRateFieldsScaleTheFrameRate)
{
    // 25 frames a second, then a sequence extension with n = 1, d = 0: twice the rate.
    MemoryReader reader({0x00, 0x00, 0x01, 0xB3, 0x16, 0x01, 0x20, 0x13, 0xFF, 0xFF, 0xE0, 0x00,
                         0x00, 0x00, 0x01, 0xB5, 0x14, 0x8A, 0x00, 0x01, 0x00, 0x20});
    HRESULT hr = S_OK;
    CBaseSplitterFileEx file(&reader, hr, 2048, RandomAccess::Required, Streaming::No);
    MpegVideoHeader h{};
    ASSERT_TRUE(file.ReadVideoHeader(h, 100, nullptr));
    EXPECT_TRUE(h.mpeg2);
    EXPECT_EQ(h.frame_period, 200000);
    EXPECT_EQ(h.profile, 4);
    EXPECT_EQ(h.level, 8);
    EXPECT_EQ(h.aspect_x, 11u);
    EXPECT_EQ(h.aspect_y, 9u);
}
