#include "components/common/murrel/DiskSegmentCache.h"
#include "components/common/murrel/MemSegmentCache.h"
#include "components/common/murrel/UnAlignedBuffer.h"
#include "components/common/murrel/tests/CacheTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::vector<BYTE> bytes_of(const tSegment& segment)
{
    return {segment.Data(), segment.Data() + segment.Capacity()};
}

}

TEST(MemSegmentCache, ReadStoreEvictsTheLeastReadSegment)
{
    tReadMemSegmentCache store(10);
    for (ULONGLONG i = 0; i < 10; ++i) store.WriteSegment(i, content_segment(i, 16));
    for (ULONGLONG i = 0; i < 10; ++i) {
        if (i == 4) continue;
        tSegment out;
        ASSERT_EQ(store.ReadSegment(i, out), RESULT_OK);
    }
    store.WriteSegment(10, content_segment(10, 16));
    EXPECT_EQ(store.HasSegment(4), RESULT_FAIL);
    EXPECT_EQ(store.GetCount(), 10u);
    // The newcomer has been read least: it goes next.
    store.WriteSegment(11, content_segment(11, 16));
    EXPECT_EQ(store.HasSegment(10), RESULT_FAIL);
    EXPECT_EQ(store.HasSegment(11), RESULT_OK);
}

// Which segment a full read store gives up, by how often each was read: the
// least read, the first in index order among equals, also once every count
// is past a million.
TEST(MemSegmentCache, ReadStoreEvictionFollowsTheReadCounts)
{
    const struct {
        const char* name;
        std::vector<DWORD> reads;   // of segments 0, 1, ...
        ULONGLONG evicted;
    } cases[] = {
        {"fewest reads", {3, 1, 2}, 1},
        {"equal counts: the first", {2, 2, 2}, 0},
        {"never read", {5, 0, 5}, 1},
        {"one past a million", {1000000, 7}, 1},
        {"all past a million", {1000002, 1000000}, 1},
        {"all past a million, the last least", {1000001, 1000001, 1000000}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto count = static_cast<DWORD>(c.reads.size());
        tReadMemSegmentCache store(count);
        for (ULONGLONG i = 0; i < count; ++i) store.WriteSegment(i, content_segment(i, 1));
        tSegment out;
        out.Allocate(1);
        for (ULONGLONG i = 0; i < count; ++i)
            for (DWORD n = 0; n < c.reads[i]; ++n) ASSERT_EQ(store.ReadSegment(i, out), RESULT_OK);
        store.WriteSegment(count, content_segment(count, 1));
        for (ULONGLONG i = 0; i <= count; ++i)
            EXPECT_EQ(store.HasSegment(i), i == c.evicted ? RESULT_FAIL : RESULT_OK) << "segment " << i;
    }
}

TEST(MemSegmentCache, WriteStoreSaysFullOnTheWriteThatFillsIt)
{
    tWriteMemSegmentCache store(10);
    for (ULONGLONG i = 0; i < 9; ++i) ASSERT_EQ(store.WriteSegment(i, content_segment(i, 16)), RESULT_OK);
    EXPECT_EQ(store.WriteSegment(9, content_segment(9, 16)), RESULT_CACHE_FULL);
    EXPECT_EQ(store.WriteSegment(10, content_segment(10, 16)), RESULT_FAIL);
    tMemSegmentCache target(20);
    EXPECT_TRUE(store.FlushTo(target).empty());
    EXPECT_EQ(store.GetCount(), 0u);
    EXPECT_EQ(target.GetCount(), 10u);
}

TEST(MemSegmentCache, ABufferOfAnotherSizeIsLeftAlone)
{
    tMemSegmentCache store(10);
    store.WriteSegment(1, content_segment(1, 100));
    tSegment small;
    small.Allocate(50);
    const BYTE* data = small.Data();
    EXPECT_EQ(store.ReadSegment(1, small), RESULT_SIZE_MISMATCH);
    EXPECT_EQ(small.Capacity(), 50u);
    EXPECT_EQ(small.Data(), data);

    tSegment exact;
    exact.Allocate(100);
    ASSERT_EQ(store.ReadSegment(1, exact), RESULT_OK);
    EXPECT_EQ(bytes_of(exact), content_bytes(SEGMENT_SIZE, 100));
    EXPECT_EQ(exact.Index(), 1u);
}

TEST(DiskSegmentCache, SlotsAreWholeAndTheLastSegmentKeepsItsLength)
{
    plat::TempFolder dir;
    tDiskSegmentCache disk;
    ASSERT_TRUE(disk.Create(dir / "a.data"));
    disk.SetLast(3, 1696);
    for (ULONGLONG i : {2, 0, 3, 1})
        ASSERT_EQ(disk.WriteSegment(i, content_segment(i, i == 3 ? 1696 : SEGMENT_SIZE)), RESULT_OK);
    ASSERT_TRUE(disk.Flush());
    EXPECT_EQ(std::filesystem::file_size(dir / "a.data"), 4u * SEGMENT_SIZE);
    EXPECT_EQ(disk.StoredCount(), 4u);
    EXPECT_EQ(disk.StoredBytes(), 3 * SEGMENT_SIZE + 1696);
    EXPECT_EQ(disk.Table()[2], 0);   // slots go in the order segments first came

    for (ULONGLONG i = 0; i < 4; ++i) {
        tSegment out;
        ASSERT_EQ(disk.ReadSegment(i, out), RESULT_OK);
        EXPECT_EQ(bytes_of(out), content_bytes(i * SEGMENT_SIZE, i == 3 ? 1696 : SEGMENT_SIZE));
    }
    // A rewrite stays in its slot.
    ASSERT_EQ(disk.WriteSegment(1, content_segment(1, SEGMENT_SIZE)), RESULT_OK);
    EXPECT_EQ(disk.StoredCount(), 4u);

    tSegment too_long;
    too_long.Allocate(SEGMENT_SIZE + 1);
    EXPECT_EQ(disk.WriteSegment(5, too_long), RESULT_FAIL);
    EXPECT_EQ(disk.WriteSegment(MAX_SEGMENT_COUNT, content_segment(0, SEGMENT_SIZE)), RESULT_SIZE_MISMATCH);
    EXPECT_EQ(disk.HasSegment(1ull << 32), RESULT_FAIL);
    tSegment out;
    EXPECT_EQ(disk.ReadSegment(1ull << 40, out), RESULT_FAIL);
}

TEST(DiskSegmentCache, ATruncatedDataFileReadsAsAbsent)
{
    plat::TempFolder dir;
    tDiskSegmentCache disk;
    ASSERT_TRUE(disk.Create(dir / "a.data"));
    ASSERT_EQ(disk.WriteSegment(0, content_segment(0, SEGMENT_SIZE)), RESULT_OK);
    ASSERT_EQ(disk.WriteSegment(1, content_segment(1, SEGMENT_SIZE)), RESULT_OK);
    disk.Flush();
    std::filesystem::resize_file(dir / "a.data", SEGMENT_SIZE + 10);
    tSegment out;
    EXPECT_EQ(disk.ReadSegment(1, out), RESULT_FAIL);
    EXPECT_EQ(out.Data(), nullptr);
    EXPECT_EQ(disk.ReadSegment(0, out), RESULT_OK);
}

TEST(UnAlignedBuffer, WholeSegmentsLeaveAsSoonAsTheyAreComplete)
{
    tUnAlignedBuffer pending;
    const std::vector<BYTE> bytes = content_bytes(0, 40001);
    pending.Insert(0, bytes.data(), 40001);
    std::vector<tSegment> out = pending.TakeSegments(0, 1, SEGMENT_INDEX_UNSET, 0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].Index(), 0u);
    EXPECT_EQ(bytes_of(out[0]), content_bytes(0, SEGMENT_SIZE));
    EXPECT_EQ(pending.PendingBytes(), 40001u - SEGMENT_SIZE);

    // The same bytes again are not kept twice.
    pending.Insert(SEGMENT_SIZE, bytes.data() + SEGMENT_SIZE, 40001 - SEGMENT_SIZE);
    EXPECT_EQ(pending.PendingBytes(), 40001u - SEGMENT_SIZE);
    EXPECT_TRUE(pending.TakeSegments(1, 1, SEGMENT_INDEX_UNSET, 0).empty());

    // The rest, given in overlapping pieces, completes segment 1.
    const std::vector<BYTE> rest = content_bytes(39000, 2 * SEGMENT_SIZE - 39000);
    pending.Insert(39000, rest.data(), 20000);
    pending.Insert(50000, rest.data() + 11000, static_cast<DWORD>(rest.size() - 11000));
    out = pending.TakeSegments(1, 1, SEGMENT_INDEX_UNSET, 0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(bytes_of(out[0]), content_bytes(SEGMENT_SIZE, SEGMENT_SIZE));
    EXPECT_EQ(pending.PendingBytes(), 0u);
}

TEST(UnAlignedBuffer, TheLastSegmentNeedsOnlyItsLength)
{
    tUnAlignedBuffer pending;
    const std::vector<BYTE> bytes = content_bytes(2 * SEGMENT_SIZE, 1000);
    pending.Insert(2 * SEGMENT_SIZE + 500, bytes.data() + 500, 500);
    EXPECT_TRUE(pending.TakeSegments(2, 2, 2, 1000).empty());
    pending.Insert(2 * SEGMENT_SIZE, bytes.data(), 500);
    std::vector<tSegment> out = pending.TakeSegments(2, 2, 2, 1000);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(bytes_of(out[0]), bytes);
}
