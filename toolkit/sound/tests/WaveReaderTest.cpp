#include "toolkit/sound/WaveReader.h"

#include "platform/base/HResult.h"
#include "platform/base/Resources.h"
#include "platform/base/Utf.h"
#include "platform/fs/Files.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/sound/DirectSound.h"
#include "toolkit/sound/tests/WaveBytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace wave_bytes;

const std::string data4 = chunk("data", "\x01\x02\x03\x04");

TEST(WaveReader, AcceptsGoodFilesAndRefusesDamagedOnes)
{
    const std::string adpcm_fields = format_fields(2, 1, 22050, 4);
    const struct { const char* what; std::string bytes; bool opens; std::uint32_t size = 0; } cases[] = {
        {"plain PCM", riff_wave(pcm_fmt() + data4), true, 4},
        {"other chunks around", riff_wave(chunk("LIST", "abc") + std::string(1, '\0') + pcm_fmt() + chunk("fact", "1234") + data4),
         true, 4},
        {"data before fmt", riff_wave(data4 + pcm_fmt()), true, 4},
        {"non-PCM with its extra bytes", riff_wave(chunk("fmt ", adpcm_fields + le16(2) + "ab") + data4), true, 4},
        {"empty file", "", false},
        {"not RIFF", chunk("RIFX", "WAVE" + pcm_fmt() + data4), false},
        {"RIFF but not WAVE", chunk("RIFF", "AVI " + pcm_fmt() + data4), false},
        {"header cut", "RIFF\x10\0", false},
        {"short fmt", riff_wave(chunk("fmt ", format_fields(1, 1, 44100, 16).substr(0, 14)) + data4), false},
        {"fmt cut by the end", chunk("RIFF", 40, "WAVE" + chunk("fmt ", 16, "\x01\0\x01\0")), false},
        {"no fmt", riff_wave(data4), false},
        {"no data", riff_wave(pcm_fmt()), false},
        {"empty data", riff_wave(pcm_fmt() + chunk("data", "")), false},
        {"data of 4 GB", riff_wave(pcm_fmt() + chunk("data", 0xFFFFFFFF, "\x01\x02")), false},
        {"non-PCM without its extra size", riff_wave(chunk("fmt ", adpcm_fields) + data4), false},
        {"extra bytes past the chunk", riff_wave(chunk("fmt ", adpcm_fields + le16(60) + "ab") + data4), false},
    };
    plat::TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(plat::write_file_atomic(dir / "case.wav", c.bytes), 0);
        WaveReader reader;
        const HRESULT hr = reader.open(plat::utf8_to_utf16(dir / "case.wav"));
        EXPECT_EQ(SUCCEEDED(hr), c.opens);
        if (c.opens)
            EXPECT_EQ(reader.data_size(), c.size);
        else
            EXPECT_EQ(hr, E_FAIL);
    }
}

TEST(WaveReader, KeepsTheExtraBytesOfOtherFormats)
{
    plat::TempFolder dir;
    plat::write_file_atomic(dir / "a.wav", riff_wave(chunk("fmt ", format_fields(2, 1, 22050, 4) + le16(2) + "ab") + data4));
    WaveReader reader;
    ASSERT_EQ(reader.open(plat::utf8_to_utf16(dir / "a.wav")), S_OK);
    EXPECT_EQ(reader.format()->wFormatTag, 2);
    EXPECT_EQ(reader.format()->cbSize, 2);
    EXPECT_EQ(reinterpret_cast<const char*>(reader.format() + 1)[1], 'b');
}

TEST(WaveReader, ReadsNothingPastTheData)
{
    plat::TempFolder dir;
    // Data announced as 4 bytes, followed by a chunk whose bytes must not leak in.
    plat::write_file_atomic(dir / "a.wav", riff_wave(pcm_fmt() + data4 + chunk("junk", "XXXX")));
    // Data announced as 8 bytes that the file cuts after 2.
    plat::write_file_atomic(dir / "cut.wav", riff_wave(pcm_fmt() + chunk("data", 8, "\x05\x06")));
    const struct { const char* file; std::size_t got; } cases[] = {{"a.wav", 4}, {"cut.wav", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        WaveReader reader;
        ASSERT_EQ(reader.open(plat::utf8_to_utf16(dir / c.file)), S_OK);
        std::vector<std::byte> into(16, std::byte{0x7F});
        EXPECT_EQ(reader.read_data(into), c.got);
        EXPECT_EQ(into[c.got], std::byte{0x7F});
        EXPECT_EQ(reader.read_data(into), c.got);   // each read starts at the data again
    }
}

TEST(WaveReader, FallsBackToWaveAndWavResources)
{
    plat::add_resource(u"chime", u"WAVE", riff_wave(pcm_fmt() + data4));
    plat::add_resource(u"ding", u"wav", riff_wave(pcm_fmt() + chunk("data", "12")));
    plat::add_resource(u"hollow", u"WAVE", "");
    const struct { std::u16string name; bool opens; } cases[] = {
        {u"chime", true}, {u"DING", true}, {u"hollow", false}, {u"missing", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.name));
        WaveReader reader;
        EXPECT_EQ(SUCCEEDED(reader.open(c.name)), c.opens);
    }
}

}
