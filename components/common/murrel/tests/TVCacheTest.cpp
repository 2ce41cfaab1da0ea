#include "components/common/murrel/IndexRange.h"
#include "components/common/murrel/TVCache.h"
#include "components/common/murrel/tests/CacheTestSupport.h"

#include <gtest/gtest.h>

namespace {

ITVCacheItem* open_live(tTVCacheManager& manager, const char* user = "tv")
{
    return manager.OpenItem(test_key(), user);
}

}

TEST(TVCache, TheRingKeepsTheNewestHundredAndTellsGoneFromNotYetArrived)
{
    tTVCacheManager manager;
    ITVCacheItem* item = open_live(manager);
    ASSERT_NE(item, nullptr);
    for (ULONGLONG i = 0; i < 150; ++i) {
        tSegment segment = content_segment(i, 1000);
        ASSERT_EQ(item->WriteSegment(i, &segment), RESULT_OK);
    }
    void* out = nullptr;
    ASSERT_EQ(item->QueryInterface(ID_ITVServiceCacheInfo, &out, "tv"), RESULT_OK);
    auto* info = static_cast<ITVServiceCacheInfo*>(out);
    ULONGLONG oldest = 0, newest = 0;
    ASSERT_EQ(info->GetRange(&oldest, &newest), RESULT_OK);
    EXPECT_EQ(oldest, 50u);
    EXPECT_EQ(newest, 149u);
    EXPECT_EQ(info->GetTotal(), 150u * 1000);

    const struct {
        ULONGLONG index;
        BaseResult result;
    } reads[] = {{49, RESULT_FAIL}, {0, RESULT_FAIL}, {150, RESULT_NOT_ARRIVED}, {120, RESULT_OK}, {50, RESULT_OK}, {149, RESULT_OK}};
    for (const auto& r : reads) {
        SCOPED_TRACE(r.index);
        tSegment segment;
        EXPECT_EQ(item->ReadSegment(r.index, &segment), r.result);
        if (r.result == RESULT_OK) {
            EXPECT_EQ(segment.Index(), r.index);
            EXPECT_TRUE(std::vector<BYTE>(segment.Data(), segment.Data() + 1000) ==
                        content_bytes(r.index * SEGMENT_SIZE, 1000));
        }
    }
    EXPECT_EQ(item->HasSegment(49), RESULT_FAIL);
    EXPECT_EQ(item->HasSegment(50), RESULT_OK);
    tIndexRange range;
    ASSERT_EQ(item->GetIndexRange(&range), RESULT_OK);
    EXPECT_EQ(range.first, 50u);
    EXPECT_EQ(range.last, 149u);
    info->Release("tv");
    item->Release("tv");
}

TEST(TVCache, OpenFindAndCloseByKey)
{
    tTVCacheManager manager;
    EXPECT_EQ(manager.FindItem(test_key(), "a"), nullptr);
    ITVCacheItem* first = manager.OpenItem(test_key(), "a");
    ITVCacheItem* second = manager.OpenItem(test_key(), "b");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    tSegment segment = content_segment(7, 10);
    first->WriteSegment(7, &segment);

    tIndexRange empty_range;
    ITVCacheItem* other = manager.OpenItem(test_key(2), "a");
    ASSERT_EQ(other->GetIndexRange(&empty_range), RESULT_OK);
    ASSERT_EQ(empty_range.count, 2);   // an empty ring reports [0, 0]
    EXPECT_EQ(empty_range.entries[0], 0u);
    EXPECT_EQ(empty_range.entries[1], 0u);

    EXPECT_EQ(manager.CloseItem(test_key(), "c"), RESULT_OK);
    EXPECT_EQ(first->Release("c"), RESULT_FAIL);   // closing registered no use that nobody releases
    EXPECT_EQ(manager.FindItem(test_key(), "d"), first);   // kept, but emptied
    tSegment out;
    EXPECT_EQ(first->ReadSegment(7, &out), RESULT_FAIL);
    EXPECT_EQ(first->GetCount(), 0u);
    tContentKey key;
    first->GetKey(&key);
    EXPECT_EQ(key, test_key());
}
