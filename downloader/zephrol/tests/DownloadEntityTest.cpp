#include "downloader/zephrol/DownloadEntity.h"
#include "downloader/zephrol/SegmentAllocator.h"
#include "downloader/zephrol/tests/CacheFixture.h"

#include "platform/base/DebugLog.h"

#include <gtest/gtest.h>

TEST(DownloadEntity, LateSlaveBatchesShrinkToEight)
{
    tHTTPDownloadEntity e;
    std::vector<DWORD> batches;
    for (int i = 0; i < 6; ++i) {
        e.Shrink();
        batches.push_back(e.batch);
    }
    EXPECT_EQ(batches, (std::vector<DWORD>{17, 14, 11, 8, 8, 8}));
    e.ResetBatch();
    EXPECT_EQ(e.batch, FULL_BATCH);
}

TEST(DownloadEntity, StatisticsAndRemovalOfAssignedSegments)
{
    CacheFixture cache;
    tSegmentAllocator allocator;
    allocator.SetCacheItem(cache.item());
    allocator.StartGeneration(0);
    allocator.GenerateSegments();
    tHTTPDownloadEntity e;
    const auto records = allocator.GetContinuousSegments(20);
    e.segments.assign(records.begin(), records.end());
    e.RestartStatistics(1000);
    EXPECT_EQ(e.assigned, 655360u);
    EXPECT_EQ(e.expected, 13u);   // 655,360 / 48,000

    plat::DebugCapture capture;
    tSegmentRecord shorter = records[1];
    shorter.size = 100;
    EXPECT_TRUE(e.RemoveSegment(shorter));
    EXPECT_TRUE(capture.contains("Warning: The Segment 32768 downloaded but size is different: 100 against 32768\n"));
    EXPECT_FALSE(e.RemoveSegment(shorter));
    tSegmentRecord other_buffer = records[2];
    BYTE elsewhere[1];
    other_buffer.data = elsewhere;
    EXPECT_FALSE(e.RemoveSegment(other_buffer));   // a report naming another buffer is not this assignment

    e.GiveBack(allocator);
    EXPECT_TRUE(e.segments.empty());
    EXPECT_EQ(allocator.GetContinuousSegments(20).size(), 1u);   // 0 is back; 1 is still out (reported), so the run stops there
}
