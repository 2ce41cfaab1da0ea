#include "splitter/formats/MediaFormatHelpers.h"

#include "platform/dshow/MediaType.h"
#include "splitter/formats/AvcPictureSize.h"

#include <gtest/gtest.h>

#include <vector>

TEST(MediaFormatHelpers, LanguageCodes)
{
    const struct { const char* in; const char* out; } cases[] = {
        {"EN", "eng"}, {"en-US", "eng"}, {"de", "ger"}, {"ab", "abk"}, {"xx", ""}, {"", ""}, {"z", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(LanguageCode3(c.in), c.out) << c.in;
}

TEST(MediaFormatHelpers, AacConfigurations)
{
    const struct {
        int type, rate, channels;
        std::vector<BYTE> bytes;
    } cases[] = {
        {1, 44100, 2, {0x12, 0x10}},
        {1, 48000, 1, {0x11, 0x88}},
        {1, 8000, 2, {0x15, 0x90}},
        {-1, 22050, 1, {0x13, 0x88, 0x56, 0xE5, 0xA0}},   // indexes 7 and 4
    };
    for (const auto& c : cases) {
        std::array<BYTE, 5> out{};
        const int n = MakeAacConfig(out, c.type, c.rate, c.channels);
        EXPECT_EQ(std::vector<BYTE>(out.begin(), out.begin() + n), c.bytes) << c.rate;
    }
}

TEST(MediaFormatHelpers, Mpeg2TypesNeedAWholeSequenceHeader)
{
    std::vector<BYTE> plain{0, 0, 1, 0xB3, 0x16, 0x00, 0xF0, 0x13, 0xFF, 0xFF, 0xE0, 0x00};
    std::vector<BYTE> with_ext = plain;
    with_ext.insert(with_ext.end(), {0, 0, 1, 0xB5, 0x14, 0x8A, 0x00, 0x01, 0x00, 0x00});
    std::vector<BYTE> intra = plain;
    intra[11] = 0x02;
    std::vector<BYTE> intra_cut = intra;
    intra_cut.resize(40);   // ends inside the quantiser matrix
    intra.resize(12 + 64, 0x10);
    intra.back() = 0x00;
    const struct {
        const char* name;
        std::vector<BYTE> bytes;
        bool ok;
        DWORD header, profile, level;
    } cases[] = {
        {"plain", plain, true, 12, 0, 0},
        {"with extension", with_ext, true, 22, 2, 2},   // main profile at main level
        {"intra matrix", intra, true, 76, 0, 0},
        {"cut in the matrix", intra_cut, false},
        {"not a sequence header", {0, 0, 1, 0xB5, 0, 0, 0, 0, 0, 0, 0, 0}, false},
        {"too short", {0, 0, 1}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMediaType t;
        ASSERT_EQ(MakeMpeg2VideoType(t, c.bytes.data(), static_cast<DWORD>(c.bytes.size()), 352, 240), c.ok);
        if (!c.ok) continue;
        auto* info = reinterpret_cast<const MPEG2VIDEOINFO*>(t.Format());
        EXPECT_EQ(t.cbFormat, mpeg2_video_info_size(c.header));
        EXPECT_EQ(info->cbSequenceHeader, c.header);
        EXPECT_EQ(info->dwProfile, c.profile);
        EXPECT_EQ(info->dwLevel, c.level);
        BITMAPINFOHEADER bmi;
        ASSERT_TRUE(GetBitmapHeader(&t, &bmi));
        EXPECT_EQ(bmi.biWidth, 352);
        EXPECT_EQ(bmi.biHeight, 240);
    }
}

TEST(MediaFormatHelpers, BitmapHeaderByFormatType)
{
    const struct { GUID format; std::size_t offset, size; bool ok; } cases[] = {
        {FORMAT_VideoInfo, 48, sizeof(VIDEOINFOHEADER), true},
        {FORMAT_MPEGVideo, 48, 96, true},
        {FORMAT_VideoInfo2, 72, sizeof(VIDEOINFOHEADER2), true},
        {FORMAT_DiracVideoInfo, 72, 132, true},
        {FORMAT_WaveFormatEx, 0, 18, false},
        {FORMAT_VideoInfo2, 72, 100, false},   // too short for the header
    };
    for (const auto& c : cases) {
        CMediaType t(MEDIATYPE_Video);
        t.SetFormatType(&c.format);
        BYTE* block = t.AllocFormatBuffer(static_cast<ULONG>(c.size));
        if (c.offset + 8 <= c.size) reinterpret_cast<LONG*>(block + c.offset)[1] = 1234;
        BITMAPINFOHEADER bmi;
        ASSERT_EQ(GetBitmapHeader(&t, &bmi), c.ok) << plat::format_guid(c.format);
        if (c.ok) {
            EXPECT_EQ(bmi.biWidth, 1234);
        }
    }
    EXPECT_FALSE(GetBitmapHeader(nullptr, nullptr));
}

TEST(MediaFormatHelpers, Utf8ToWide)
{
    auto w = Utf8ToWide("Größe");
    ASSERT_TRUE(w);
    EXPECT_EQ(std::u16string(w.get()), u"Größe");
    EXPECT_FALSE(Utf8ToWide(""));
    EXPECT_FALSE(Utf8ToWide(nullptr));
}

TEST(AvcPictureSize, ReadsCroppedSizesAndRefusesDamage)
{
    // Baseline 640x360 (cropped from 368 rows) and High 1920x1080, as encoders write them.
    const std::vector<BYTE> baseline{0x67, 0x42, 0xC0, 0x1E, 0xDA, 0x02, 0x80, 0xBF, 0xE5, 0x84, 0x00, 0x00, 0x03, 0x00, 0x04, 0x00, 0x00, 0x03, 0x00, 0xC8, 0x3C, 0x58, 0xBA, 0x80};
    const std::vector<BYTE> high{0x67, 0x64, 0x00, 0x28, 0xAC, 0xD9, 0x40, 0x78, 0x02, 0x27, 0xE5, 0x84, 0x00, 0x00, 0x03, 0x00, 0x04, 0x00, 0x00, 0x03, 0x00, 0xF0, 0x3C, 0x60, 0xC6, 0x58};
    auto b = ReadAvcPictureSize(baseline);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->width, 640);
    EXPECT_EQ(b->height, 360);
    auto h = ReadAvcPictureSize(high);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->width, 1920);
    EXPECT_EQ(h->height, 1080);
    EXPECT_FALSE(ReadAvcPictureSize(std::span(baseline).first(6)));
    EXPECT_FALSE(ReadAvcPictureSize(std::vector<BYTE>{0x68, 0xCE, 0x3C, 0x80}));
}
