#include "components/common/murrel/tests/CacheTestSupport.h"
#include "components/common/services/tests/FakeClock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr ULONGLONG MiB = 1024ull * 1024;
constexpr ULONGLONG GiB = 1024 * MiB;

std::string info_of(const plat::TempFolder& dir, DWORD n = 1)
{
    return dir / (CacheFileName(test_key(n)) + ".info");
}

std::string data_of(const plat::TempFolder& dir, DWORD n = 1)
{
    return dir / (CacheFileName(test_key(n)) + ".data");
}

void store_segments(IDataCacheItem* item, ULONGLONG count)
{
    for (ULONGLONG i = 0; i < count; ++i) {
        tSegment segment = content_segment(i, SEGMENT_SIZE);
        ASSERT_EQ(item->WriteSegment(i, &segment), RESULT_OK);
    }
}

}

TEST(ContentCacheMgr, FreeSpaceGivesTheSizeLimit)
{
    const struct {
        ULONGLONG free;
        ULONGLONG limit;
    } cases[] = {
        {9 * GiB, 2 * GiB},      {8 * GiB, 2 * GiB},      {3 * GiB, 600 * MiB}, {4 * GiB, GiB},
        {2 * GiB, 600 * MiB},    {GiB + 1, 200 * MiB},    {500 * MiB, 50 * MiB},
        {500 * MiB - 1, 0},      {400 * MiB, 0},          {0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.free);
        EXPECT_EQ(FreeSpaceLimit(c.free), c.limit);
    }
}

TEST(ContentCacheMgr, InitializeCreatesTheFolderAndCapsTheLimit)
{
    plat::TempFolder dir;
    tContentCacheMgr manager;
    const std::string folder = dir / "a/b/cache";
    EXPECT_EQ(manager.Initialize(0, folder.c_str()), RESULT_OK);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_LE(manager.SizeLimit(), 268435456u);

    tContentCacheMgr no_folder;
    EXPECT_EQ(no_folder.Initialize(0, nullptr), RESULT_FAIL);
    EXPECT_EQ(no_folder.OpenItem(test_key(), "x"), nullptr);
    const std::string blocked = dir / "file";
    std::ofstream(blocked) << "x";
    EXPECT_EQ(no_folder.Initialize(0, (blocked + "/sub").c_str()), RESULT_FAIL);
}

TEST(ContentCacheMgr, OpenFindAndTheirUsers)
{
    plat::TempFolder dir;
    auto manager = manager_in(dir.path());
    EXPECT_EQ(manager->FindItem(test_key(), "a"), nullptr);
    IDataCacheItem* a = manager->OpenItem(test_key(), "a");
    IDataCacheItem* b = manager->FindItem(test_key(), "b");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(manager->OpenItem(test_key(2), nullptr), nullptr);
    tContentKey key;
    a->GetKey(&key);
    EXPECT_EQ(key, test_key());
    EXPECT_EQ(a->GetSegmentSize(), SEGMENT_SIZE);
    EXPECT_EQ(a->Release("a"), RESULT_OK);
    EXPECT_EQ(b->Release("b"), RESULT_OK);
    EXPECT_EQ(b->Release("b"), RESULT_FAIL);
}

TEST(ContentCacheMgr, SaveTimerWritesTheIndexEveryFiveMinutes)
{
    plat::TempFolder dir;
    FakeClock clock(1000);
    tContentCacheMgr manager({.clock = clock.function()});
    ASSERT_EQ(manager.Initialize(0, dir.path().c_str()), RESULT_OK);
    ItemUse item{manager.OpenItem(test_key(), "player"), "player"};
    store_segments(item.item, 3);
    clock.set(1000 + 299999);
    clock.settle();
    EXPECT_FALSE(std::filesystem::exists(info_of(dir)));
    clock.set(1000 + 300000);
    clock.settle();
    EXPECT_TRUE(std::filesystem::exists(info_of(dir)));
    EXPECT_EQ(std::filesystem::file_size(data_of(dir)), 3u * SEGMENT_SIZE);
}

TEST(ContentCacheMgr, CleanUpTimerClosesIdleItemsAndCarriesOutDeletions)
{
    plat::TempFolder dir;
    FakeClock clock(0);
    tContentCacheMgr manager({.clock = clock.function()});
    ASSERT_EQ(manager.Initialize(0, dir.path().c_str()), RESULT_OK);
    IDataCacheItem* kept = manager.OpenItem(test_key(1), "player");
    IDataCacheItem* doomed = manager.OpenItem(test_key(2), "player");
    IDataCacheItem* idle = manager.OpenItem(test_key(3), "player");
    store_segments(kept, 2);
    store_segments(doomed, 2);
    store_segments(idle, 2);
    EXPECT_EQ(manager.DeleteItem(test_key(2)), RESULT_OK);   // in use: only marked
    EXPECT_TRUE(std::filesystem::exists(data_of(dir, 2)));
    doomed->Release("player");
    idle->Release("player");

    clock.set(9999);
    clock.settle();
    EXPECT_TRUE(std::filesystem::exists(data_of(dir, 2)));
    EXPECT_FALSE(std::filesystem::exists(info_of(dir, 3)));
    clock.set(10000);
    clock.settle();
    EXPECT_FALSE(std::filesystem::exists(data_of(dir, 2)));
    EXPECT_FALSE(std::filesystem::exists(info_of(dir, 2)));
    EXPECT_TRUE(std::filesystem::exists(info_of(dir, 3)));    // saved, then closed
    EXPECT_FALSE(std::filesystem::exists(info_of(dir, 1)));   // still in use: left alone
    EXPECT_EQ(kept->HasSegment(1), RESULT_OK);
    kept->Release("player");
}

TEST(ContentCacheMgr, DeleteItemRemovesFilesOfIdleOrStoredItems)
{
    plat::TempFolder dir;
    auto manager = manager_in(dir.path());
    {
        ItemUse item{manager->OpenItem(test_key(1), "w"), "w"};
        store_segments(item.item, 1);
    }
    manager->Uninitialize();
    ASSERT_TRUE(std::filesystem::exists(data_of(dir, 1)));
    EXPECT_EQ(manager->DeleteItem(test_key(1)), RESULT_OK);   // loaded from its files
    EXPECT_FALSE(std::filesystem::exists(data_of(dir, 1)));
    EXPECT_FALSE(std::filesystem::exists(info_of(dir, 1)));
    EXPECT_EQ(manager->DeleteItem(test_key(1)), RESULT_FAIL);   // nothing left

    {
        ItemUse item{manager->OpenItem(test_key(2), "w"), "w"};
        store_segments(item.item, 1);
    }
    EXPECT_EQ(manager->DeleteItem(test_key(2)), RESULT_OK);   // open but idle
    EXPECT_FALSE(std::filesystem::exists(data_of(dir, 2)));
    EXPECT_EQ(manager->FindItem(test_key(2), "w"), nullptr);
}

TEST(ContentCacheMgr, EnumerateListsStoredItems)
{
    plat::TempFolder dir;
    auto manager = manager_in(dir.path());
    for (DWORD n = 1; n <= 3; ++n) {
        ItemUse item{manager->OpenItem(test_key(n), "w"), "w"};
        item->SetTotalSize(n * 1000);
        tSegment segment = content_segment(0, n * 1000);
        ASSERT_EQ(item->WriteSegment(0, &segment), RESULT_OK);
    }
    manager->Uninitialize();
    std::ofstream(dir / "junk.info") << "not a cache file";

    DWORD count = 0;
    ASSERT_EQ(manager->EnumerateItems(nullptr, &count), RESULT_OK);
    EXPECT_EQ(count, 3u);
    tCacheItemInfo items[2]{};
    count = 2;
    ASSERT_EQ(manager->EnumerateItems(items, &count), RESULT_OK);
    EXPECT_EQ(count, 3u);
    for (const tCacheItemInfo& info : items) {
        EXPECT_EQ(info.segment_size, SEGMENT_SIZE);
        EXPECT_EQ(info.last_index, 0u);
        EXPECT_EQ(info.info_path, dir / (CacheFileName(info.key) + ".info"));
    }
}
