#include "splitter/matroska/MatroskaPacket.h"
#include "splitter/matroska/MatroskaSplitterOutputPin.h"

#include "splitter/base/testing/ParserTesting.h"

#include <gtest/gtest.h>

#include <optional>

using namespace splitter_testing;

namespace {

struct BlockRecipe {
    REFERENCE_TIME start, stop;
    std::optional<ULONGLONG> duration;   // the BlockDuration, when the block has one
    std::vector<std::size_t> frames;     // sizes
    bool sync{true};
    std::vector<Bytes> additions{};
};

// A parser with one Matroska pin (track 1) that delivers the given blocks.
class ScriptedParser final : public CBaseParser {
public:
    ScriptedParser(CBaseSplitterFilter* filter, GUID subtype, REFERENCE_TIME default_duration, std::vector<BlockRecipe> blocks)
        : CBaseParser(filter), m_subtype(subtype), m_default(default_duration), m_blocks(std::move(blocks))
    {
    }
    HRESULT Open(IAsyncReader*) override
    {
        CMediaType mt(MEDIATYPE_Audio);
        mt.SetSubtype(&m_subtype);
        HRESULT hr = S_OK;
        return m_pFilter->AddOutputPin(1, std::make_unique<CMatroskaSplitterOutputPin>(
                                              0, m_default, std::vector<CMediaType>{mt}, u"Track", m_pFilter,
                                              m_pFilter->FilterLock(), &hr));
    }
    bool DemuxInit() override { return true; }
    bool DemuxSeek(REFERENCE_TIME) override { return true; }
    int DemuxLoop() override
    {
        BYTE fill = 1;
        for (const auto& b : m_blocks) {
            auto p = std::make_unique<MatroskaPacket>();
            p->TrackNumber = 1;
            p->rtStart = b.start;
            p->rtStop = b.stop;
            p->bSyncPoint = b.sync;
            p->bg = std::make_unique<MatroskaReader::BlockGroup>();
            if (b.duration) p->bg->BlockDuration.Set(*b.duration);
            for (std::size_t size : b.frames) p->bg->b.BlockData.emplace_back(size, fill++);
            for (const auto& bytes : b.additions) {
                auto more = std::make_unique<MatroskaReader::BlockMore>();
                more->BlockAdditional.Set(bytes);
                p->bg->ba.bm.push_back(std::move(more));
            }
            if (FAILED(m_pFilter->DeliverPacket(std::move(p)))) break;
        }
        return 1;
    }

private:
    GUID m_subtype;
    REFERENCE_TIME m_default;
    std::vector<BlockRecipe> m_blocks;
};

struct Expected {
    REFERENCE_TIME start, stop;
    LONG length;
    bool sync;
};

}

TEST(MatroskaOutputPin, BlocksBecomeFramePacketsWithSettledTimes)
{
    const GUID mp3 = plat::fourcc_guid(0x55), wavpack = plat::fourcc_guid(0x5756);
    const struct {
        const char* name;
        GUID subtype;
        REFERENCE_TIME default_duration;
        std::vector<BlockRecipe> blocks;
        std::vector<Expected> packets;
    } cases[] = {
        {"the next block settles the stop; the last keeps its own",
         mp3, 0, {{0, 1, {}, {10}}, {400000, 400001, {}, {20}}},
         {{0, 400000, 10, true}, {400000, 400001, 20, true}}},
        {"the default duration ends the last block",
         mp3, 400000, {{0, 1, {}, {10}}, {400000, 400001, {}, {20}}},
         {{0, 400000, 10, true}, {400000, 800000, 20, true}}},
        {"a laced block at the end lasts for all its frames",
         mp3, 100000, {{0, 1, {}, {10, 10}}},
         {{0, 100000, 10, true}, {100000, 200000, 10, false}}},
        {"four laced frames share the block's span; only the first is a sync point",
         mp3, 0, {{1000000, 1400000, 4, {5, 6, 7, 8}}},
         {{1000000, 1100000, 5, true}, {1100000, 1200000, 6, false}, {1200000, 1300000, 7, false}, {1300000, 1400000, 8, false}}},
        {"a subtitle instant goes at once",
         mp3, 0, {{2000000, 2000000, 1, {9}}},
         {{2000000, 2000000, 9, true}}},
        {"a block that does not end before the next keeps its stop",
         mp3, 0, {{500000, 500001, {}, {3}}, {500000, 500001, {}, {4}}},
         {{500000, 500001, 3, true}, {500000, 500001, 4, true}}},
        {"a block without frames delivers nothing",
         mp3, 0, {{0, 100, 1, {}}, {100, 200, 1, {7}}},
         {{100, 200, 7, true}}},
        {"WavPack additions follow the frames",
         wavpack, 0, {{0, 300000, 3, {4, 4, 4}, true, {Bytes(6, 0xEE)}}},
         {{0, 100000, 4, true}, {100000, 200000, 4, false}, {200000, 300000, 4, false}, {0, 300000, 6, false}}},
        {"other codecs drop additions",
         mp3, 0, {{0, 300000, 3, {4}, true, {Bytes(6, 0xEE)}}},
         {{0, 300000, 4, true}}},
    };
    plat::TempFolder dir;
    const std::string path = write_file(dir, "any", Bytes(64, 0));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SplitterGraph g;
        auto* filter = new ParserFilter([&](CBaseSplitterFilter* f) {
            return std::make_unique<ScriptedParser>(f, c.subtype, c.default_duration, c.blocks);
        });
        ASSERT_EQ(g.open(path, filter), S_OK);
        ASSERT_TRUE(g.run_to_end());
        const auto samples = g.sinks[0]->samples();
        ASSERT_EQ(samples.size(), c.packets.size());
        for (std::size_t i = 0; i < samples.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(samples[i].start, c.packets[i].start);
            EXPECT_EQ(samples[i].stop, c.packets[i].stop);
            EXPECT_EQ(samples[i].length, c.packets[i].length);
            EXPECT_EQ(samples[i].sync, c.packets[i].sync);
        }
    }
}
