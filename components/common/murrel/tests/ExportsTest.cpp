// Through the shared library's exports only, as outside users see it.

#include "components/common/murrel/IndexRange.h"
#include "components/common/murrel/Murrel.h"
#include "components/common/murrel/Segment.h"

#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

TEST(MurrelExports, ContentCacheRoundTrip)
{
    plat::TempFolder dir;
    IMurrel* murrel = CreateMurrel("app");
    ASSERT_NE(murrel, nullptr);
    ASSERT_EQ(murrel->Initialize(0, dir.path().c_str()), RESULT_OK);
    const tContentKey key{{1, 2, 3, 4}};
    IDataCacheItem* item = murrel->OpenItem(key, "app");
    ASSERT_NE(item, nullptr);
    std::vector<BYTE> bytes(70000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<BYTE>(i % 251);
    ASSERT_EQ(item->SetTotalSize(70000), RESULT_OK);
    ASSERT_EQ(item->WriteData(bytes.data(), 0, 70000), RESULT_OK);
    std::vector<BYTE> back(70000);
    DWORD n = 0;
    EXPECT_EQ(item->ReadData(back.data(), 0, 70000, &n, true, 0, {}), RESULT_END_OF_CONTENT);
    EXPECT_EQ(back, bytes);
    tIndexRange range;
    ASSERT_EQ(item->GetIndexRange(&range), RESULT_OK);
    EXPECT_EQ(range.first, 0u);
    EXPECT_EQ(range.last, 2u);
    item->Release("app");
    EXPECT_EQ(DeleteMurrel(murrel, "app"), RESULT_OK);
    EXPECT_EQ(DeleteMurrel(nullptr, "app"), RESULT_FAIL);
}

TEST(MurrelExports, LiveCacheRoundTrip)
{
    ITVCacheManager* manager = CreateTVCacheManager("tv");
    ASSERT_NE(manager, nullptr);
    ITVCacheItem* item = manager->OpenItem({{9, 9, 9, 9}}, "tv");
    ASSERT_NE(item, nullptr);
    tSegment segment;
    segment.Allocate(10);
    EXPECT_EQ(item->WriteSegment(0, &segment), RESULT_OK);
    EXPECT_EQ(item->HasSegment(0), RESULT_OK);
    item->Release("tv");
    EXPECT_EQ(DeleteTVCacheManager(manager, "tv"), RESULT_OK);
}
