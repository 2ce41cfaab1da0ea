#include "splitter/matroska/ElementNode.h"
#include "splitter/matroska/MatroskaFile.h"
#include "splitter/matroska/ZlibInflate.h"
#include "splitter/matroska/tests/EbmlBuilder.h"

#include "splitter/base/testing/ParserTesting.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <optional>

using namespace MatroskaReader;
using namespace ebml;

namespace {

class ReaderTest : public ::testing::Test {
protected:
    // The file over these bytes; result is the file's Init.
    CMatroskaFile& open(const Bytes& bytes, HRESULT* result = nullptr)
    {
        const std::string path = splitter_testing::write_file(m_dir, "f" + std::to_string(m_count++) + ".mkv", bytes);
        m_reader = std::make_unique<splitter_testing::FileReader>(path);
        EXPECT_NE(m_reader->reader, nullptr);
        HRESULT hr = S_OK;
        m_file = std::make_unique<CMatroskaFile>(m_reader->reader.get(), hr);
        if (result) *result = hr;
        return *m_file;
    }
    // A node over the element that starts at this position.
    std::unique_ptr<CElementNode> node_at(LONGLONG position)
    {
        m_root = CElementNode::Root(m_file.get());
        auto node = std::make_unique<CElementNode>(m_root.get(), m_file.get());
        m_file->Seek(position);
        if (FAILED(node->ReadHeader())) return nullptr;
        return node;
    }

    plat::TempFolder m_dir;
    int m_count{0};
    std::unique_ptr<splitter_testing::FileReader> m_reader;
    std::unique_ptr<CMatroskaFile> m_file;
    std::unique_ptr<CElementNode> m_root;
};

Bytes filler(std::size_t n, BYTE value = 0x11) { return Bytes(n, value); }

Bytes one_track_file(const Bytes& clusters, std::uint64_t scale = 1000000)
{
    return header() + segment(info(scale) + tracks({ebml::Track{}}) + clusters);
}

Bytes compressed(const Bytes& plain)
{
    uLongf length = compressBound(static_cast<uLong>(plain.size()));
    Bytes out(length);
    compress(out.data(), &length, plain.data(), static_cast<uLong>(plain.size()));
    out.resize(length);
    return out;
}

}

TEST_F(ReaderTest, ElementIdsAndSizesKeepTheirCoding)
{
    const struct {
        const char* name;
        Bytes bytes;
        std::optional<DWORD> id;
        std::optional<std::uint64_t> size;   // of the element's payload
    } cases[] = {
        {"1-byte id", {0xA3, 0x81, 0}, 0xA3, 1},
        {"4-byte id", {0x1F, 0x43, 0xB6, 0x75, 0x82, 0, 0}, 0x1F43B675, 2},
        {"2-byte size", {0x42, 0x86, 0x40, 0x02, 1, 2}, 0x4286, 2},
        {"unknown size runs to the end", {0xEC, 0xFF, 1, 2, 3, 4, 5}, 0xEC, 5},
        {"id without a length marker", {0x08, 0x81, 0}, std::nullopt, std::nullopt},
        {"size byte 0", {0xEC, 0x00, 0}, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes head = header();
        open(head + c.bytes);
        auto node = node_at(static_cast<LONGLONG>(head.size()));
        ASSERT_EQ(node != nullptr, c.id.has_value());
        if (!node) continue;
        EXPECT_EQ(*node->m_id, *c.id);
        EXPECT_EQ(*node->m_len, *c.size);
    }
}

TEST_F(ReaderTest, NumbersOfEveryLength)
{
    const struct {
        const char* name;
        Bytes payload;
        std::optional<LONGLONG> as_int;
        std::optional<ULONGLONG> as_uint;
        std::optional<double> as_float;
    } cases[] = {
        {"empty", {}, 0, 0, std::nullopt},
        {"one negative byte", {0xFF}, -1, 255, std::nullopt},
        {"two bytes", {0x80, 0x00}, -32768, 0x8000, std::nullopt},
        {"single float", {0x3F, 0xC0, 0, 0}, 0x3FC00000, 0x3FC00000, 1.5},
        {"double", {0x40, 0x04, 0, 0, 0, 0, 0, 0}, 0x4004000000000000, 0x4004000000000000, 2.5},
        // Longer than a 64-bit holder: both keep the low 64 bits, and the value counts as present.
        {"nine bytes", {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}, -2, 0xFFFFFFFFFFFFFFFE, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes head = header();
        open(head + element(0x4461, c.payload));
        auto node = node_at(static_cast<LONGLONG>(head.size()));
        ASSERT_NE(node, nullptr);
        CInt i;
        CUInt u;
        CFloat f;
        EXPECT_EQ(SUCCEEDED(i.Parse(node.get())), c.as_int.has_value());
        EXPECT_EQ(*i, c.as_int.value_or(0));
        EXPECT_TRUE(i.IsSet());
        EXPECT_EQ(SUCCEEDED(u.Parse(node.get())), c.as_uint.has_value());
        EXPECT_EQ(*u, c.as_uint.value_or(0));
        EXPECT_EQ(SUCCEEDED(f.Parse(node.get())), c.as_float.has_value());
        EXPECT_EQ(f.IsSet(), c.as_float.has_value());
        if (c.as_float) {
            EXPECT_EQ(*f, *c.as_float);
        }
    }
}

TEST_F(ReaderTest, LacingGivesTheFrameSizes)
{
    const struct {
        const char* name;
        BYTE flags;
        Bytes lacing;
        std::size_t data;
        std::optional<std::vector<std::size_t>> frames;   // none: the block is refused
    } cases[] = {
        {"none", 0x00, {}, 50, std::vector<std::size_t>{50}},
        {"Xiph 255+10, 20, rest", 0x02, {2, 255, 10, 20}, 300, std::vector<std::size_t>{265, 20, 15}},
        {"EBML 100, +0, rest", 0x06, {2, 0xE4, 0xBF}, 230, std::vector<std::size_t>{100, 100, 30}},
        {"EBML -1", 0x06, {2, 0xE4, 0xBE}, 230, std::vector<std::size_t>{100, 99, 31}},
        {"fixed four of 100", 0x04, {3}, 400, std::vector<std::size_t>{100, 100, 100, 100}},
        {"Xiph sizes past the block", 0x02, {2, 255, 255, 10, 20}, 300, std::nullopt},
        {"EBML size below zero", 0x06, {2, 0x81, 0xBB}, 30, std::nullopt},
        {"EBML first size past the block", 0x06, {1, 0x10, 0xFF, 0xFF, 0xFF}, 30, std::nullopt},
        {"Xiph count with no sizes", 0x02, {200}, 0, std::nullopt},
        {"lace count cut off", 0x02, {}, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(one_track_file(cluster(0, simple_block(1, 0, c.flags, c.lacing + filler(c.data)))));
        auto root = CElementNode::Root(m_file.get());
        auto seg = root->FirstChild(0x18538067, true);
        ASSERT_NE(seg, nullptr);
        auto clu = seg->FirstChild(0x1F43B675, true);
        ASSERT_NE(clu, nullptr);
        auto block = clu->FirstBlock();
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(*block->m_id, 0xA3u);
        Block b;
        ASSERT_EQ(SUCCEEDED(b.Parse(block.get())), c.frames.has_value());
        if (!c.frames) continue;
        std::vector<std::size_t> sizes;
        for (const auto& f : b.BlockData) sizes.push_back(f.size());
        EXPECT_EQ(sizes, *c.frames);
        EXPECT_EQ(*b.TrackNumber, 1u);
    }
}

TEST_F(ReaderTest, HeaderAndSegmentChecks)
{
    const struct {
        const char* name;
        Bytes bytes;
        bool opens;
    } cases[] = {
        {"matroska", one_track_file({}), true},
        {"webm", header("webm") + segment(info() + tracks({ebml::Track{}})), false},
        {"read version 3", element(0x1A45DFA3, text(0x4282, "matroska") + ebml::uint(0x4285, 3)) + segment(info()), false},
        {"not EBML", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0}, false},
        {"header without a segment", header(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HRESULT hr = E_UNEXPECTED;
        open(c.bytes, &hr);
        EXPECT_EQ(SUCCEEDED(hr), c.opens);
    }
}

TEST_F(ReaderTest, UnknownSizeSegmentRunsToTheEnd)
{
    const Bytes body = info() + tracks({ebml::Track{}}) + cluster(50, simple_block(1, 0, 0x80, filler(10)));
    HRESULT hr = E_FAIL;
    CMatroskaFile& f = open(header() + id(0x18538067) + unknown_size() + body, &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(f.m_segment.len, static_cast<LONGLONG>(body.size()));
    ASSERT_EQ(f.m_segment.Tracks.size(), 1u);
    EXPECT_EQ(f.m_rtOffset, 500000);
}

TEST_F(ReaderTest, SecondSeekHeadAtTheEndIsFollowed)
{
    // Segment: SeekHead -> (the second SeekHead), Info, Tracks, a Cluster, the second SeekHead -> Cues, Cues.
    const auto seek = [](DWORD target, std::uint64_t position) {
        return element(0x4DBB, element(0x53AB, id(target)) + element(0x53AC, be(position, 4)));
    };
    const Bytes first_probe = element(0x114D9B74, seek(0x114D9B74, 0));
    const Bytes middle = info() + tracks({ebml::Track{}}) + cluster(0, simple_block(1, 0, 0x80, filler(20)));
    const std::uint64_t second_at = first_probe.size() + middle.size();
    const Bytes second = element(0x114D9B74, seek(0x1C53BB6B, 0));
    const std::uint64_t cues_at = second_at + second.size();
    const Bytes cues = element(0x1C53BB6B, element(0xBB, ebml::uint(0xB3, 7) + element(0xB7, ebml::uint(0xF7, 1) + ebml::uint(0xF1, 40))));
    const Bytes body = element(0x114D9B74, seek(0x114D9B74, second_at)) + middle +
                       element(0x114D9B74, seek(0x1C53BB6B, cues_at)) + cues;
    ASSERT_EQ(first_probe.size(), element(0x114D9B74, seek(0x114D9B74, second_at)).size());
    HRESULT hr = E_FAIL;
    CMatroskaFile& f = open(header() + segment(body), &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(f.m_segment.MetaSeekInfo.size(), 2u);
    ASSERT_EQ(f.m_segment.Cues.size(), 1u);
    ASSERT_EQ(f.m_segment.Cues[0]->CuePoints.size(), 1u);
    EXPECT_EQ(*f.m_segment.Cues[0]->CuePoints[0]->CueTime, 7u);
}

TEST_F(ReaderTest, ResyncFindsTheNextClusterAfterADamagedRun)
{
    const Bytes damaged{0x00, 0x42, 0x86, 0x81, 0x13, 0x55, 0x00, 0x1F, 0x43, 0x00, 0xFF, 0x99, 0x00};
    open(one_track_file(cluster(0, simple_block(1, 0, 0x80, filler(8))) + damaged +
                        cluster(40, simple_block(1, 0, 0x80, filler(8)))));
    auto root = CElementNode::Root(m_file.get());
    auto seg = root->FirstChild(0x18538067, true);
    auto clu = seg->FirstChild(0x1F43B675, true);
    ASSERT_NE(clu, nullptr);
    ASSERT_TRUE(clu->Next(true));
    EXPECT_EQ(*clu->m_id, 0x1F43B675u);
    auto timecode = clu->FirstChild(0xE7, true);
    ASSERT_NE(timecode, nullptr);
    CUInt t;
    ASSERT_EQ(t.Parse(timecode.get()), S_OK);
    EXPECT_EQ(*t, 40u);
    EXPECT_FALSE(clu->Next(true));
}

TEST_F(ReaderTest, ContentDecoding)
{
    open(one_track_file({}));
    const Bytes plain = filler(50000, 0x42) + Bytes{1, 2, 3};
    const Bytes zipped = compressed(plain);
    const auto track_with = [](std::uint64_t type, std::uint64_t algo, std::uint64_t scope) {
        TrackEntry t;
        auto e = std::make_unique<ContentEncoding>();
        e->ContentEncodingType.Set(type);
        e->ContentEncodingScope.Set(scope);
        e->cc.ContentCompAlgo.Set(algo);
        e->cc.ContentCompSettings.Set({0xAA, 0xBB});
        t.ces.ce.push_back(std::move(e));
        return t;
    };
    const struct {
        const char* name;
        TrackEntry track;
        Bytes in;
        ULONGLONG scope;
        std::optional<Bytes> out;   // none: refused, data unchanged
    } cases[] = {
        {"no encodings", TrackEntry{}, {1, 2}, 1, Bytes{1, 2}},
        {"zlib frame", track_with(0, 0, 1), zipped, 1, plain},
        {"zlib private data", track_with(0, 0, 2), zipped, 2, plain},
        {"zlib for frames leaves private data", track_with(0, 0, 1), zipped, 2, zipped},
        {"cut zlib stream", track_with(0, 0, 1), Bytes(zipped.begin(), zipped.begin() + 40), 1, std::nullopt},
        {"not zlib at all", track_with(0, 0, 1), {1, 2, 3, 4}, 1, std::nullopt},
        {"header stripping", track_with(0, 3, 1), {1, 2}, 1, Bytes{0xAA, 0xBB, 1, 2}},
        {"unknown algorithm", track_with(0, 1, 1), {1, 2}, 1, std::nullopt},
        {"encrypted frames", track_with(1, 0, 1), {1, 2}, 1, std::nullopt},
        // Nothing can decrypt here, so the private data of an encrypted track is refused too.
        {"encrypted track's private data", track_with(1, 0, 1), {1, 2}, 2, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes data = c.in;
        EXPECT_EQ(m_file->DecodeContent(c.track, data, c.scope), c.out.has_value());
        EXPECT_EQ(data, c.out.value_or(c.in));
    }
}

TEST(ZlibInflate, OutputPastTheCeilingIsRefused)
{
    // 8 MB of zeros compress to about 8 KB; the ceiling stands in for the real one.
    constexpr std::size_t ceiling = 1u << 20;
    const Bytes bomb = compressed(Bytes(8u << 20));
    ASSERT_LT(bomb.size(), 20000u);
    Bytes out{7};
    EXPECT_FALSE(inflate_zlib(bomb, out, ceiling));
    EXPECT_EQ(out, Bytes{7});
    const Bytes fits(ceiling);
    EXPECT_TRUE(inflate_zlib(compressed(fits), out, ceiling));
    EXPECT_EQ(out.size(), fits.size());
}
