#include "splitter/mpeg4/MPEG4VideoParser.h"

#include "platform/dshow/MediaFormats.h"
#include "platform/fs/testing/TempFolder.h"
#include "splitter/base/testing/ParserFilter.h"
#include "splitter/base/testing/SplitterGraph.h"
#include "splitter/base/testing/TestMedia.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

using Bytes = std::vector<BYTE>;

Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

class Mpeg4Test : public ::testing::Test {
protected:
    std::string write(const Bytes& bytes)
    {
        const std::string path = m_folder / ("stream-" + std::to_string(m_written++) + ".m4v");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    HRESULT open(SplitterGraph& g, const std::string& path)
    {
        return g.open(path, ParserFilter::with<CMPEG4VideoParser>());
    }

private:
    plat::TempFolder m_folder;
    int m_written{0};
};

const MPEG2VIDEOINFO* info(const CMediaType& t) { return reinterpret_cast<const MPEG2VIDEOINFO*>(t.Format()); }

std::size_t first_plane(const Bytes& b)
{
    for (std::size_t i = 0; i + 4 <= b.size(); ++i)
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && b[i + 3] == 0xB6) return i;
    return 0;
}

}

TEST_F(Mpeg4Test, OffersBothFourccsWithTheSequenceHeader)
{
    const std::string path = test_media("plain.m4v");
    const Bytes file = read_file(path);
    const std::size_t start = first_plane(file);
    ASSERT_GT(start, 0u);
    SplitterGraph g;
    ASSERT_EQ(open(g, path), S_OK);
    auto* pin = static_cast<CBasePin*>(g.splitter->GetPin(0));
    const DWORD fourccs[] = {MAKEFOURCC('m', 'p', '4', 'v'), MAKEFOURCC('M', 'P', '4', 'V')};
    for (int i = 0; i < 2; ++i) {
        CMediaType t;
        ASSERT_EQ(pin->GetMediaType(i, &t), S_OK);
        EXPECT_EQ(t.subtype, plat::fourcc_guid(fourccs[i]));
        ASSERT_EQ(t.formattype, FORMAT_MPEG2Video);
        ASSERT_EQ(t.cbFormat, mpeg2_video_info_size(start));
        EXPECT_EQ(info(t)->hdr.bmiHeader.biWidth, 320);
        EXPECT_EQ(info(t)->hdr.bmiHeader.biHeight, 240);
        EXPECT_EQ(info(t)->hdr.bmiHeader.biCompression, fourccs[i]);
        EXPECT_EQ(info(t)->hdr.AvgTimePerFrame, 400000);
        EXPECT_EQ(info(t)->hdr.dwPictAspectRatioX * 240, info(t)->hdr.dwPictAspectRatioY * 320);
        EXPECT_EQ(info(t)->cbSequenceHeader, start);
        EXPECT_EQ(std::memcmp(info(t)->dwSequenceHeader, file.data(), start), 0);
    }
    CMediaType none;
    EXPECT_EQ(pin->GetMediaType(2, &none), VFW_S_NO_MORE_ITEMS);
    LONGLONG duration = -1;
    g.splitter->GetDuration(&duration);
    EXPECT_EQ(duration, 0);
}

TEST_F(Mpeg4Test, PlanesAgreeWithFfprobe)
{
    const std::string path = test_media("plain.m4v");
    const std::size_t start = first_plane(read_file(path));
    auto expected = probed_packets(path, "video");
    SplitterGraph g;
    ASSERT_EQ(open(g, path), S_OK);
    ASSERT_TRUE(g.run_to_end());
    auto samples = g.sinks[0]->samples();
    ASSERT_EQ(samples.size(), expected.size());
    // ffprobe counts a sequence header into the plane after it; here the first one travels in the
    // media type and a repeated one ends the plane before it. The bytes add up all the same.
    long ours = static_cast<long>(start), theirs = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(i);
        ours += samples[i].length;
        theirs += expected[i].size;
        EXPECT_EQ(samples[i].start, expected[i].dts);
        EXPECT_EQ(samples[i].stop, expected[i].dts + 400000);
        EXPECT_FALSE(samples[i].sync);
        ASSERT_GE(samples[i].data.size(), 4u);
        EXPECT_EQ(samples[i].data[3], 0xB6);
    }
    EXPECT_EQ(ours, theirs);
}

TEST_F(Mpeg4Test, SeekStartsAtTheIntraPlaneAtOrBeforeTheTarget)
{
    const std::string path = test_media("plain.m4v");
    const auto planes = probed_packets(path, "video");
    SplitterGraph g;
    ASSERT_EQ(open(g, path), S_OK);
    // Forward into planes not seen yet, back into the index, and past the end.
    for (LONGLONG target : {LONGLONG{15000000}, LONGLONG{25000000}, LONGLONG{5000000}, LONGLONG{10000000},
                            LONGLONG{900000000}}) {
        SCOPED_TRACE(target);
        std::size_t key = 0;
        for (std::size_t i = 0; i < planes.size(); ++i)
            if (planes[i].key && planes[i].dts <= target) key = i;
        ASSERT_EQ(g.graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
        g.sinks[0]->clear();
        ASSERT_TRUE(g.run_to_end());
        auto samples = g.sinks[0]->samples();
        ASSERT_EQ(samples.size(), planes.size() - key);
        EXPECT_EQ(samples.front().start, planes[key].dts - target);
        // ffprobe counts a repeated sequence header into the plane after it; the run starts at the plane itself.
        ASSERT_GE(samples.front().data.size(), 5u);
        EXPECT_EQ(samples.front().data[3], 0xB6);
        EXPECT_EQ(samples.front().data[4] >> 6, 0);   // intra
        for (const auto& s : samples) EXPECT_EQ(s.preroll, s.start < 0);
        ASSERT_EQ(g.graph->Stop(), S_OK);
    }
}

TEST_F(Mpeg4Test, PlanesAreCutWhereverTheirStartCodesMeetTheReadBlocks)
{
    // A hand-made stream whose start codes straddle the read blocks in every way:
    // 3, 2 or 1 of their bytes before a block's end, exactly at it, and an intra
    // plane whose coding type is the first byte of a block.
    const Bytes plain = read_file(test_media("plain.m4v"));
    const std::size_t header = first_plane(plain);
    Bytes stream(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(header));
    const auto block = static_cast<std::size_t>(CMPEG4VideoParser::block_size);
    std::vector<std::size_t> starts;
    auto plane = [&](std::size_t at, BYTE coding) {
        stream.resize(at, 0x55);
        starts.push_back(at);
        stream.insert(stream.end(), {0, 0, 1, 0xB6, coding, 0x55});
    };
    plane(header, 0x10);   // intra
    plane(header + 1000, 0x50);
    for (std::size_t k = 1; k <= 4; ++k) {
        plane(header + k * block - 4 + k, 0x50);
        plane(header + k * block + 5000, 0x50);
    }
    plane(header + 5 * block - 4, 0x10);   // its coding type opens the next block: intra
    plane(header + 5 * block + 700, 0x50);
    stream.resize(header + 5 * block + 2000, 0x55);
    starts.push_back(stream.size());

    SplitterGraph g;
    ASSERT_EQ(open(g, write(stream)), S_OK);
    ASSERT_TRUE(g.run_to_end());
    auto samples = g.sinks[0]->samples();
    ASSERT_EQ(samples.size(), starts.size() - 1);
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        SCOPED_TRACE(i);
        const Bytes expected(stream.begin() + static_cast<std::ptrdiff_t>(starts[i]),
                             stream.begin() + static_cast<std::ptrdiff_t>(starts[i + 1]));
        EXPECT_EQ(samples[i].data, expected);
        EXPECT_EQ(samples[i].start, static_cast<REFERENCE_TIME>(i) * 400000);
    }

    // The intra plane found across the block boundary is where a later seek starts.
    const std::size_t late_intra = starts.size() - 3;
    // Off the packet times: a seek to where the last run stopped would change nothing.
    LONGLONG target = static_cast<LONGLONG>(late_intra + 1) * 400000 + 1234;
    ASSERT_EQ(g.graph->Stop(), S_OK);
    ASSERT_EQ(g.graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    g.sinks[0]->clear();
    ASSERT_TRUE(g.run_to_end());
    samples = g.sinks[0]->samples();
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0].start, -400000 - 1234);
    EXPECT_EQ(samples[0].length, static_cast<LONG>(starts[late_intra + 1] - starts[late_intra]));
}

TEST_F(Mpeg4Test, UnfixedRateIsTakenAsTwentyFiveFramesASecond)
{
    SplitterGraph g;
    ASSERT_EQ(open(g, test_media("rate10.m4v")), S_OK);
    CMediaType t;
    static_cast<CBasePin*>(g.splitter->GetPin(0))->GetMediaType(0, &t);
    EXPECT_EQ(info(t)->hdr.AvgTimePerFrame, 400000);
    EXPECT_EQ(info(t)->hdr.bmiHeader.biWidth, 160);
}

TEST_F(Mpeg4Test, StreamsItCannotUseAreRefused)
{
    const Bytes plain = read_file(test_media("plain.m4v"));
    Bytes late{0, 0, 1, 0xB2};
    late.resize(1100, 0xAA);
    late.insert(late.end(), plain.begin(), plain.end());
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"header beyond the first 1024 bytes", late},
        {"no start code at the start", Bytes(plain.begin() + 1, plain.end())},
        {"cut before the layer header", Bytes(plain.begin(), plain.begin() + 12)},
        {"empty", Bytes{}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SplitterGraph g;
        EXPECT_TRUE(FAILED(open(g, write(c.bytes))));
        EXPECT_EQ(g.splitter->GetPinCount(), 1);
    }
}

TEST_F(Mpeg4Test, CutStreamsEndCleanly)
{
    const Bytes plain = read_file(test_media("plain.m4v"));
    for (int eighth = 1; eighth < 8; ++eighth) {
        SCOPED_TRACE(eighth);
        SplitterGraph g;
        ASSERT_EQ(open(g, write(Bytes(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(plain.size() * eighth / 8)))), S_OK);
        ASSERT_TRUE(g.run_to_end());
        auto samples = g.sinks[0]->samples();
        ASSERT_FALSE(samples.empty());
        EXPECT_LT(samples.size(), probed_packets(test_media("plain.m4v"), "video").size());
    }
}
