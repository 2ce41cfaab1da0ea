#include "downloader/zephrol/SegmentAllocator.h"
#include "downloader/zephrol/tests/CacheFixture.h"
#include "downloader/zephrol/tests/LoopbackServer.h"

#include "platform/base/DebugLog.h"

#include <gtest/gtest.h>

namespace {

// An allocator on a clock the test moves by hand.
struct Paced {
    explicit Paced(DWORD rate)
    {
        allocator.SetCacheItem(cache.item());
        allocator.SetRate(rate);
    }
    std::vector<DWORD> take(DWORD count)
    {
        std::vector<DWORD> indexes;
        for (const tSegmentRecord& r : allocator.GetContinuousSegments(count)) indexes.push_back(r.offset / SEGMENT_BYTES);
        return indexes;
    }

    DWORD now{500000};
    CacheFixture cache;
    tSegmentAllocator allocator{[this] { return now; }};
};

}

TEST(SegmentAllocator, StartCreditYieldsFifteenSegmentsAt100000BytesPerSecond)
{
    Paced p(100000);
    p.allocator.StartGeneration(491520);
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.allocator.PendingCount(), 15u);
    p.now += 1000;   // one more second: (600,000 + 1024) / 32,768 = 18
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.allocator.PendingCount(), 18u);
}

TEST(SegmentAllocator, RateZeroIsUnpacedUpToTheWaitingLimit)
{
    Paced p(0);
    p.allocator.StartGeneration(491520);
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.allocator.PendingCount(), 101u);
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.allocator.PendingCount(), 101u);   // more than 100 waiting: no round
    p.take(1);
    p.allocator.GenerateSegments();   // 100 waiting still allow a round
    EXPECT_EQ(p.allocator.PendingCount(), 101u);
}

TEST(SegmentAllocator, PacedTargetsPast4GiBDoNotWrap)
{
    Paced p(0x80000000u);   // 2 GiB a second: 2 s make a target of exactly 2^32 bytes
    p.allocator.StartGeneration(0);
    p.now += 2000;
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.allocator.PendingCount(), 131072u);   // (2^32 + 1024) / 32,768; a wrapped target gives none
}

// More than 100 waiting stop a round before it starts; a round that starts
// generates all the time it owes, so a fast rate is not capped at the tick.
TEST(SegmentAllocator, TheWaitingLimitIsCheckedOnEntryOnly)
{
    Paced p(100000);
    p.allocator.StartGeneration(491520);
    p.allocator.GenerateSegments();
    ASSERT_EQ(p.allocator.PendingCount(), 15u);
    p.now += 40000;   // (4,500,000 + 1024) / 32,768 = 137 owed in all
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.allocator.PendingCount(), 137u);
    p.now += 1000;   // 140 owed, but more than 100 wait: no round
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.allocator.PendingCount(), 137u);
    p.take(20);
    p.take(20);   // 97 wait: the round makes up what it owes
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.allocator.PendingCount(), 100u);
}

// After a seek the segments before the seek point still come round once the
// end is reached, so the content can be completed.
TEST(SegmentAllocator, SegmentsSkippedByASeekComeAfterTheEnd)
{
    Paced p(0);
    p.cache.store(1 * SEGMENT_BYTES, make_content(SEGMENT_BYTES));   // segment 1 is held
    p.allocator.SetTotalSize(8 * SEGMENT_BYTES);
    p.allocator.StartGeneration(0);
    p.allocator.SetNextIndex(5);
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.take(20), (std::vector<DWORD>{5, 6, 7}));
    EXPECT_EQ(p.take(20), (std::vector<DWORD>{0}));
    EXPECT_EQ(p.take(20), (std::vector<DWORD>{2, 3, 4}));
    plat::DebugCapture capture;
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.allocator.PendingCount(), 0u);
    EXPECT_TRUE(capture.contains("SegmentAllocator: meet the end of the content, stop generate new segment\n"));
}

TEST(SegmentAllocator, LastSegmentHoldsTheLastByte)
{
    const struct {
        DWORD total;
        DWORD last_index;
        DWORD last_size;
    } cases[] = {{100000, 3, 1696}, {65536, 1, 32768}, {1, 0, 1}, {32769, 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        Paced p(0);
        p.allocator.SetTotalSize(c.total);
        plat::DebugCapture capture;
        p.allocator.StartGeneration(0);
        p.allocator.GenerateSegments();
        const auto records = p.allocator.GetContinuousSegments(20);
        ASSERT_EQ(records.size(), c.last_index + 1);
        EXPECT_EQ(records.back().size, c.last_size);
        EXPECT_TRUE(capture.contains("SegmentAllocator: meet the end of the content, stop generate new segment\n"));
    }
}

TEST(SegmentAllocator, FixLastSegmentTrimsWhatWasGeneratedBeforeTheTotalWasKnown)
{
    Paced p(0);
    p.allocator.StartGeneration(0);
    p.allocator.GenerateSegments();
    p.allocator.SetTotalSize(100000);
    p.allocator.FixLastSegment();
    const auto records = p.allocator.GetContinuousSegments(20);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[3].size, 1696u);
}

TEST(SegmentAllocator, SkipsWhatTheCacheHoldsAndWhatIsListedAlready)
{
    Paced p(0);
    p.cache.store(2 * SEGMENT_BYTES, make_content(2 * SEGMENT_BYTES));   // segments 2 and 3
    p.allocator.SetTotalSize(8 * SEGMENT_BYTES);
    p.allocator.StartGeneration(0);
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.take(20), (std::vector<DWORD>{0, 1}));
    const auto four_to_seven = p.allocator.GetContinuousSegments(20);
    ASSERT_EQ(four_to_seven.size(), 4u);
    EXPECT_EQ(four_to_seven[0].offset, 4 * SEGMENT_BYTES);
    // Seeking back while 0, 1 and 5-7 are out and 4 was given back: nothing is generated twice.
    p.allocator.GiveBack(&four_to_seven[0], 1);
    p.allocator.SetNextIndex(0);
    p.allocator.ResetGeneratedCount();
    p.allocator.GenerateSegments();
    EXPECT_EQ(p.allocator.PendingCount(), 1u);
    EXPECT_EQ(p.take(20), (std::vector<DWORD>{4}));
}

TEST(SegmentAllocator, HandsOutOneRunOfConsecutiveIndexes)
{
    Paced p(0);
    p.allocator.StartGeneration(0);
    p.allocator.GenerateSegments();
    p.take(4);   // 0-3 out
    const auto four_to_eight = p.allocator.GetContinuousSegments(5);
    ASSERT_EQ(four_to_eight.size(), 5u);
    p.allocator.GiveBack(&four_to_eight[0], 3);   // 4, 5, 6 back; 7, 8 stay out
    EXPECT_EQ(p.take(20), (std::vector<DWORD>{4, 5, 6}));   // the gap at 7 ends the run
    EXPECT_EQ(p.take(3), (std::vector<DWORD>{9, 10, 11}));
}

TEST(SegmentAllocator, GivenBackSegmentsComeOutAgainInIndexOrder)
{
    Paced p(0);
    p.allocator.StartGeneration(0);
    p.allocator.GenerateSegments();
    const auto first = p.allocator.GetContinuousSegments(20);
    p.allocator.GiveBack(first.data(), first.size());
    const auto again = p.allocator.GetContinuousSegments(20);
    ASSERT_EQ(again.size(), 20u);
    for (std::size_t i = 0; i < again.size(); ++i) {
        EXPECT_EQ(again[i].offset, i * SEGMENT_BYTES);
        EXPECT_EQ(again[i].data, first[i].data);   // the buffer goes with the segment
    }
}

TEST(SegmentAllocator, RemoveAnswers100ForASegmentThatIsNotOut)
{
    Paced p(0);
    p.allocator.StartGeneration(0);
    p.allocator.GenerateSegments();
    const auto out = p.allocator.GetContinuousSegments(2);
    EXPECT_EQ(p.allocator.Remove(out[0]), RESULT_OK);
    EXPECT_EQ(p.allocator.Remove(out[0]), RESULT_FAIL);
    BYTE other[1];
    EXPECT_EQ(p.allocator.Remove(tSegmentRecord{out[1].offset, out[1].size, other}), RESULT_FAIL);   // not its buffer
    p.allocator.StopGeneration();
    EXPECT_TRUE(p.allocator.GetContinuousSegments(20).empty());
}
