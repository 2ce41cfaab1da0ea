#include "outside/ostrel/SegmentFile.h"
#include "outside/ostrel/IOstrel.h"
#include "outside/ostrel/tests/TestServer.h"
#include "outside/ostrel/tests/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>

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

// A map whose rewrite fails half way (here: writes past 4 KiB fail, as they
// would end when the process is killed) keeps every mark it had.
TEST(SegmentFile, AMapRewriteThatFailsLeavesTheOldMap)
{
    plat::TempFolder folder;
    auto target = folder / "t", map = folder / "m";
    const LONGLONG segments = 6000;
    const LONGLONG total = segments * 32768;
    std::string marks;
    for (LONGLONG i = 0; i < segments; ++i)
        marks += i % 2 == 0 ? '\1' : '\0';
    marks[1] = '\2';   // a damaged mark: open rewrites the map
    std::ofstream(map, std::ios::binary) << "OSTSEG01" << std::string(reinterpret_cast<const char*>(&total), 8) << marks;
    {
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 4096;
        auto previous = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        auto failed = SegmentFile::open(target, map);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        EXPECT_FALSE(failed);
    }
    auto file = SegmentFile::open(target, map);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->total(), total);
    EXPECT_EQ(file->downloaded(), segments / 2 * 32768);
}

// Written in small pieces, a run still marks each segment once it is whole.
TEST(SegmentFile, SmallWritesMarkEachSegmentWhenItIsWhole)
{
    plat::TempFolder folder;
    auto file = SegmentFile::open(folder / "t", folder / "m");
    ASSERT_TRUE(file);
    const std::string body = make_bytes(4 * 32768, 5);
    ASSERT_TRUE(file->set_total(static_cast<LONGLONG>(body.size())));
    const std::size_t piece = 1000;
    for (std::size_t at = 32768; at < body.size(); at += piece) {
        const std::size_t n = std::min(piece, body.size() - at);
        ASSERT_TRUE(file->write(32768, static_cast<LONGLONG>(at), body.data() + at, n));
        const auto whole = static_cast<LONGLONG>((at + n) / 32768);
        for (LONGLONG i = 1; i < 4; ++i)
            EXPECT_EQ(file->present(i), i < whole) << "segment " << i << " after " << at + n;
    }
    EXPECT_FALSE(file->present(0));
    EXPECT_EQ(file->downloaded(), 3 * 32768);
}
