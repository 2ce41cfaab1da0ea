// Damaged Matroska files end with completion or an error event, and a
// bounded run of random damage through the element and block readers
// finds nothing the sanitizers object to.

#include "splitter/matroska/ElementNode.h"
#include "splitter/matroska/MatroskaFile.h"
#include "splitter/matroska/MatroskaParser.h"
#include "splitter/matroska/tests/EbmlBuilder.h"

#include "splitter/base/testing/ParserTesting.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <bit>
#include <limits>


using namespace splitter_testing;
using ebml::operator+;

namespace {

ebml::Bytes zlib_of(std::size_t zeros)
{
    const ebml::Bytes plain(zeros);
    uLongf length = compressBound(static_cast<uLong>(plain.size()));
    ebml::Bytes out(length);
    compress2(out.data(), &length, plain.data(), static_cast<uLong>(plain.size()), 9);
    out.resize(length);
    return out;
}

// A small file with both kinds of block, every lacing, a compressed track and Cues.
ebml::Bytes small_file()
{
    using ebml::Track;
    const ebml::Bytes audio = ebml::element(0xE1, ebml::uint(0x9F, 2));
    const ebml::Bytes blocks =
        ebml::simple_block(1, 0, 0x80, ebml::Bytes(30, 1)) + ebml::simple_block(1, 10, 0x82, ebml::Bytes{2, 5, 7} + ebml::Bytes(40, 2)) +
        ebml::simple_block(1, 20, 0x84, ebml::Bytes{3} + ebml::Bytes(40, 3)) +
        ebml::simple_block(1, 30, 0x86, ebml::Bytes{2, 0x88, 0xC0} + ebml::Bytes(40, 4)) +
        ebml::block_group(1, 40, ebml::Bytes(12, 5), ebml::uint(0x9B, 10) + ebml::element(0xFB, {0xFF})) +
        ebml::simple_block(2, 0, 0x80, zlib_of(300));
    const ebml::Bytes cues = ebml::element(0x1C53BB6B, ebml::element(0xBB, ebml::uint(0xB3, 0) +
                                                                         ebml::element(0xB7, ebml::uint(0xF7, 1) + ebml::uint(0xF1, 0))));
    return ebml::header() +
           ebml::segment(ebml::info() + ebml::tracks({Track{1, 2, "A_MPEG/L3", {}, audio},
                                                      Track{2, 2, "A_AC3", {}, audio + ebml::zlib_encoding()}}) +
                         ebml::cluster(0, blocks) + ebml::cluster(100, blocks) + cues);
}

// Reads everything a demultiplexing pass reads: each Cluster's blocks, their frames decoded.
void walk_everything(MatroskaReader::CMatroskaFile& file)
{
    using namespace MatroskaReader;
    auto root = CElementNode::Root(&file);
    auto segment = root->FirstChild(0x18538067, true);
    if (!segment) return;
    auto cluster = segment->FirstChild(0x1F43B675, true);
    for (int clusters = 0; cluster && clusters < 1000; ++clusters) {
        for (auto block = cluster->FirstBlock(); block;) {
            BlockGroup group;
            if (*block->m_id == 0xA0 ? SUCCEEDED(group.Parse(block.get())) : SUCCEEDED(group.b.Parse(block.get())))
                for (auto& tracks : file.m_segment.Tracks)
                    for (auto& track : tracks->te)
                        for (auto frame : group.b.BlockData) file.DecodeContent(*track, frame, 1);
            if (!block->NextBlock()) break;
        }
        if (!cluster->Next(true)) break;
    }
}

}

TEST(MatroskaDamaged, DamagedFilesEndCleanly)
{
    plat::TempFolder dir;
    const Bytes whole = read_file(test_media("h264-vorbis-srt.mkv"));
    ASSERT_GT(whole.size(), 10000u);
    auto damaged = damaged_copies(whole, {0, 4, 5, 30, 40, 47, 52, 60, 100, 200, 400});
    using ebml::Track;
    const auto one_track = [](const ebml::Bytes& extra, const ebml::Bytes& clusters) {
        return ebml::header() + ebml::segment(ebml::info() + ebml::tracks({Track{1, 2, "A_MPEG/L3", {}, extra}}) + clusters);
    };
    damaged.emplace_back("huge block size", one_track({}, ebml::cluster(0, ebml::id(0xA3) + ebml::Bytes{0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0x81, 0, 0, 0x80})));
    damaged.emplace_back("huge private data", one_track(ebml::id(0x63A2) + ebml::Bytes{0x08, 0xFF, 0xFF, 0xFF, 0xFF}, {}));
    damaged.emplace_back("huge lace count", one_track({}, ebml::cluster(0, ebml::simple_block(1, 0, 0x82, ebml::Bytes{255, 255, 255, 255}))));
    damaged.emplace_back("huge EBML lace", one_track({}, ebml::cluster(0, ebml::simple_block(1, 0, 0x86, ebml::Bytes{255, 0x01, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 9}))));
    damaged.emplace_back("huge cluster", one_track({}, ebml::id(0x1F43B675) + ebml::Bytes{0x01, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0} + ebml::uint(0xE7, 0)));
    damaged.emplace_back("zlib bomb", one_track(ebml::zlib_encoding(), ebml::cluster(0, ebml::simple_block(1, 0, 0x80, zlib_of(70u << 20)) +
                                                                                       ebml::simple_block(1, 10, 0x80, zlib_of(10)))));
    damaged.emplace_back("header only", ebml::header());
    expect_each_ends_cleanly(dir, damaged, [](CBaseSplitterFilter* f) { return std::make_unique<CMatroskaParser>(f); });
}

// Numbers of the headers that do not fit what they describe are limited, not converted blindly.
TEST(MatroskaDamaged, HeaderNumbersOutOfRange)
{
    using ebml::Track;
    const auto float_element = [](DWORD id, double v) { return ebml::element(id, ebml::be(std::bit_cast<std::uint64_t>(v), 8)); };
    const auto audio_at = [&](double rate) { return ebml::element(0xE1, float_element(0xB5, rate) + ebml::uint(0x9F, 2)); };
    ebml::Bytes acm(18, 0);
    acm[0] = 0x55;   // MP3
    acm[16] = acm[17] = 0xFF;   // 65535 extra bytes said, two there
    acm = acm + ebml::Bytes{1, 2};
    const struct {
        const char* name;
        Track track;
        double duration;
        DWORD rate;
        WORD extra;
    } cases[] = {
        {"wave header with more extra bytes said than there are", Track{1, 2, "A_MS/ACM", acm, {}}, 0, 0, 2},
        {"sampling frequency beyond any rate", Track{1, 2, "A_MPEG/L3", {}, audio_at(1e300)}, 0, 0, 0},
        {"sampling frequency not a number", Track{1, 2, "A_MPEG/L3", {}, audio_at(std::numeric_limits<double>::quiet_NaN())}, 0, 0, 0},
        {"negative sampling frequency", Track{1, 2, "A_MPEG/L3", {}, audio_at(-44100)}, 0, 0, 0},
        {"duration beyond any time", Track{1, 2, "A_MPEG/L3", {}, audio_at(44100)}, 1e17, 44100, 0},
        {"tiny frame rate", Track{1, 1, "V_MS/VFW/FOURCC", ebml::Bytes(40, 0), ebml::element(0xE0, ebml::uint(0xB0, 16) + ebml::uint(0xBA, 16) + float_element(0x2383E3, 1e-300))}, 0, 0, 0},
        {"empty codec name", Track{1, 2, "", {}, {}}, 0, 0, 0},
    };
    plat::TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ebml::Bytes info = ebml::element(0x1549A966, ebml::uint(0x2AD7B1, 1000000) + float_element(0x4489, c.duration));
        const ebml::Bytes file = ebml::header() + ebml::segment(info + ebml::tracks({c.track}) +
                                                                ebml::cluster(0, ebml::simple_block(1, 0, 0x80, ebml::Bytes(10, 1))));
        SplitterGraph g;
        if (FAILED(g.open(write_file(dir, "numbers.mkv", file), ParserFilter::with<CMatroskaParser>()))) {
            EXPECT_STREQ(c.name, "empty codec name");
            continue;
        }
        LONGLONG duration = -1;
        EXPECT_EQ(g.splitter->GetDuration(&duration), S_OK);
        EXPECT_EQ(duration, 0);
        const CMediaType type = connected_type(g, 0);
        if (type.formattype == FORMAT_WaveFormatEx) {
            const auto* wfe = reinterpret_cast<const WAVEFORMATEX*>(type.Format());
            EXPECT_EQ(wfe->nSamplesPerSec, c.rate);
            EXPECT_EQ(wfe->cbSize, c.extra);
            EXPECT_EQ(type.FormatLength(), sizeof(WAVEFORMATEX) + c.extra);
        } else {
            EXPECT_EQ(reinterpret_cast<const VIDEOINFOHEADER*>(type.Format())->AvgTimePerFrame, 0);
        }
        EXPECT_TRUE(ends_cleanly(g));
    }
}

TEST(MatroskaDamaged, RandomDamageThroughTheReaders)
{
    const int runs = for_random_damage(small_file(), [](IAsyncReader* reader) {
        HRESULT hr = S_OK;
        MatroskaReader::CMatroskaFile file(reader, hr);
        walk_everything(file);
    });
    EXPECT_GT(runs, 0);
}
