#include "outside/ostrel/SegmentFile.h"
#include "outside/ostrel/IOstrel.h"
#include "outside/ostrel/tests/TestServer.h"
#include "outside/ostrel/tests/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace ostrel_test;
using ostrel::SegmentFile;

TEST(SegmentFile, MarksWholeSegmentsOnlyAndKeepsThemAcrossReopening)
{
    plat::TempFolder folder;
    auto target = folder / "t.flv", map = folder / "t.map";
    const std::string body = make_bytes(3 * 32768 + 10, 1);
    {
        auto file = SegmentFile::open(target, map);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->total(), -1);
        ASSERT_TRUE(file->set_total(static_cast<LONGLONG>(body.size())));
        // A run from segment 2: its first segment whole, the last (short) one whole.
        ASSERT_TRUE(file->write(2 * 32768, 2 * 32768, body.data() + 2 * 32768, 32768 + 10));
        // A run from 0 that stops half way through segment 0.
        ASSERT_TRUE(file->write(0, 0, body.data(), 1000));
        EXPECT_FALSE(file->present(0));
        EXPECT_TRUE(file->present(2));
        EXPECT_TRUE(file->present(3));
        EXPECT_EQ(file->downloaded(), 32768 + 10);
    }
    auto file = SegmentFile::open(target, map);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->total(), static_cast<LONGLONG>(body.size()));
    EXPECT_EQ(file->downloaded(), 32768 + 10);
    auto run = file->next_missing(3);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->first, 0) << "wraps to the start";
    EXPECT_EQ(run->last, 1);
    EXPECT_FALSE(file->complete());
}

TEST(SegmentFile, AChangedSizeEmptiesTheMap)
{
    plat::TempFolder folder;
    auto file = SegmentFile::open(folder / "t", folder / "m");
    ASSERT_TRUE(file);
    const std::string body = make_bytes(32768, 2);
    ASSERT_TRUE(file->set_total(32768));
    ASSERT_TRUE(file->write(0, 0, body.data(), body.size()));
    EXPECT_TRUE(file->complete());
    EXPECT_FALSE(file->set_total(40000));
    EXPECT_EQ(file->downloaded(), 0);
    EXPECT_FALSE(file->present(0));
}

TEST(SegmentFile, DamagedMapsStartOver)
{
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        {"foreign file", "hello, this is not a map at all"},
        {"short header", "OSTSEG01"},
        {"more marks than the size allows", std::string("OSTSEG01") + std::string("\x10\0\0\0\0\0\0\0", 8) + "\1\1"},
        {"negative size", std::string("OSTSEG01") + std::string(8, '\xF0') + "\1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        plat::TempFolder folder;
        std::ofstream(folder / "m", std::ios::binary) << c.content;
        auto file = SegmentFile::open(folder / "t", folder / "m");
        ASSERT_TRUE(file);
        EXPECT_EQ(file->total(), -1);
        EXPECT_EQ(file->downloaded(), 0);
    }
}

TEST(SegmentFile, UnknownSizeEndsWithTheLastSegment)
{
    plat::TempFolder folder;
    auto file = SegmentFile::open(folder / "t", folder / "m");
    ASSERT_TRUE(file);
    const std::string body = make_bytes(32768 + 7, 3);
    auto run = file->next_missing(0);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->last, -1) << "open ended while the size is unknown";
    ASSERT_TRUE(file->write(0, 0, body.data(), body.size()));
    EXPECT_FALSE(file->present(1));
    file->finish_unknown_size(static_cast<LONGLONG>(body.size()));
    EXPECT_TRUE(file->complete());
    char tail[16];
    LONG read = 0;
    EXPECT_EQ(file->read(32768, tail, sizeof tail, &read), OSTREL_OK);
    EXPECT_EQ(read, 7);
}

}
