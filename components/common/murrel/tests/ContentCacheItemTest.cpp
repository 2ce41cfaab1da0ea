#include "components/common/murrel/IndexRange.h"
#include "components/common/murrel/tests/CacheTestSupport.h"
#include "components/common/services/tests/FakeClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr auto long_wait = 60000ms;   // a lost wake-up would show as 101, not as a slow pass

struct ReadOutcome {
    BaseResult result;
    std::vector<BYTE> bytes;
};

// Reads the whole content from 0 in chunks, waiting for what is missing.
ReadOutcome read_all(IDataCacheItem* item, DWORD total, DWORD chunk)
{
    ReadOutcome out{RESULT_OK, std::vector<BYTE>(total)};
    DWORD position = 0;
    while (out.result == RESULT_OK && position < total) {
        DWORD n = 0;
        out.result = item->ReadData(out.bytes.data() + position, position, std::min(chunk, total - position), &n,
                                    true, 0, {});
        position += n;
    }
    out.bytes.resize(position);
    return out;
}

void write_shuffled(IDataCacheItem* item, DWORD total, DWORD piece, bool whole_segments)
{
    std::vector<DWORD> starts;
    const DWORD step = whole_segments ? SEGMENT_SIZE : piece;
    for (DWORD at = 0; at < total; at += step) starts.push_back(at);
    std::shuffle(starts.begin(), starts.end(), std::mt19937(7));
    for (DWORD at : starts) {
        const DWORD length = std::min(step, total - at);
        if (whole_segments) {
            tSegment segment = content_segment(at / SEGMENT_SIZE, length);
            ASSERT_EQ(item->WriteSegment(at / SEGMENT_SIZE, &segment), RESULT_OK);
        } else {
            const std::vector<BYTE> bytes = content_bytes(at, length);
            ASSERT_EQ(item->WriteData(bytes.data(), at, length), RESULT_OK);
        }
        std::this_thread::yield();
    }
}

}

TEST(ContentCacheItem, ReadersWaitingOnAShuffledWriterGetEveryByte)
{
    const struct {
        const char* what;
        DWORD total;
        bool whole_segments;
    } cases[] = {
        {"segments, short last", 40 * SEGMENT_SIZE + 1234, true},
        {"segments, exact multiple", 24 * SEGMENT_SIZE, true},
        {"unaligned pieces, short last", 30 * SEGMENT_SIZE + 77, false},
        {"unaligned pieces, exact multiple", 16 * SEGMENT_SIZE, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        plat::TempFolder dir;
        auto manager = manager_in(dir.path(), {.read_wait = long_wait});
        ItemUse item{manager->OpenItem(test_key(), "player"), "player"};
        ASSERT_NE(item.item, nullptr);
        ASSERT_EQ(item->SetTotalSize(c.total), RESULT_OK);
        ReadOutcome first, second;
        {
            std::jthread reader1([&] { first = read_all(item.item, c.total, 10000); });
            std::jthread reader2([&] { second = read_all(item.item, c.total, 32768); });
            std::jthread writer([&] { write_shuffled(item.item, c.total, 5000, c.whole_segments); });
        }
        EXPECT_EQ(first.result, RESULT_END_OF_CONTENT);
        EXPECT_EQ(second.result, RESULT_END_OF_CONTENT);
        EXPECT_TRUE(first.bytes == content_bytes(0, c.total));
        EXPECT_TRUE(second.bytes == content_bytes(0, c.total));
        EXPECT_EQ(item->GetMemoryInUse(), c.total);
    }
}

TEST(ContentCacheItem, AReaderBlocksUntilItsSegmentArrives)
{
    plat::TempFolder dir;
    auto manager = manager_in(dir.path(), {.read_wait = long_wait});
    ItemUse item{manager->OpenItem(test_key(), "player"), "player"};
    std::vector<BYTE> got(10000);
    DWORD n = 0;
    BaseResult result = RESULT_FAIL;
    {
        std::jthread reader([&] { result = item->ReadData(got.data(), 40000, 10000, &n, true, 0, {}); });
        std::this_thread::sleep_for(50ms);
        tSegment segment = content_segment(1, SEGMENT_SIZE);
        item->WriteSegment(1, &segment);
    }
    EXPECT_EQ(result, RESULT_OK);
    EXPECT_EQ(n, 10000u);
    EXPECT_TRUE(got == content_bytes(40000, 10000));
}

TEST(ContentCacheItem, EndOfContentIsReportedNotWaitedFor)
{
    const struct {
        DWORD total;
        ULONGLONG position;
        DWORD length;
        DWORD expected_read;
    } cases[] = {
        {100000, 99990, 10, 10},                    // the last ten bytes
        {100000, 99990, 50, 10},                    // asking past the end
        {2 * SEGMENT_SIZE, 2 * SEGMENT_SIZE - 10, 10, 10},
        {2 * SEGMENT_SIZE, 2 * SEGMENT_SIZE, 10, 0},   // no empty segment after an exact multiple
        {2 * SEGMENT_SIZE, 5 * SEGMENT_SIZE, 10, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.total << " at " << c.position);
        plat::TempFolder dir;
        auto manager = manager_in(dir.path(), {.read_wait = long_wait});
        ItemUse item{manager->OpenItem(test_key(), "player"), "player"};
        ASSERT_EQ(item->SetTotalSize(c.total), RESULT_OK);
        write_shuffled(item.item, c.total, 0, true);
        std::vector<BYTE> got(c.length);
        DWORD n = 99;
        EXPECT_EQ(item->ReadData(got.data(), c.position, c.length, &n, true, 0, {}), RESULT_END_OF_CONTENT);
        ASSERT_EQ(n, c.expected_read);
        got.resize(n);
        EXPECT_TRUE(got == content_bytes(c.position, n));
    }
}

TEST(ContentCacheItem, WaitsEndByTimeOutOrCancelAndTimeOutModeMinusOneWaitsOn)
{
    plat::TempFolder dir;
    auto manager = manager_in(dir.path(), {.read_wait = 30ms});
    ItemUse item{manager->OpenItem(test_key(), "player"), "player"};
    tSegment first = content_segment(0, SEGMENT_SIZE);
    item->WriteSegment(0, &first);
    std::vector<BYTE> got(SEGMENT_SIZE + 100);
    DWORD n = 0;
    EXPECT_EQ(item->ReadData(got.data(), 0, SEGMENT_SIZE + 100, &n, true, 0, {}), RESULT_TIMEOUT);
    EXPECT_EQ(n, SEGMENT_SIZE);
    EXPECT_EQ(item->ReadData(got.data(), 0, SEGMENT_SIZE + 100, &n, false, 0, {}), RESULT_OK);
    EXPECT_EQ(n, SEGMENT_SIZE);

    std::stop_source cancel;
    BaseResult cancelled = RESULT_OK;
    {
        std::jthread reader([&] { cancelled = item->ReadData(got.data(), 0, SEGMENT_SIZE + 100, &n, true, -1, cancel.get_token()); });
        std::this_thread::sleep_for(100ms);
        cancel.request_stop();
    }
    EXPECT_EQ(cancelled, RESULT_CANCELLED);

    BaseResult patient = RESULT_FAIL;
    {
        std::jthread reader([&] { patient = item->ReadData(got.data(), 0, SEGMENT_SIZE + 100, &n, true, -1, {}); });
        std::this_thread::sleep_for(100ms);   // several 30 ms waits run out meanwhile
        tSegment second = content_segment(1, SEGMENT_SIZE);
        item->WriteSegment(1, &second);
    }
    EXPECT_EQ(patient, RESULT_OK);
    EXPECT_TRUE(got == content_bytes(0, SEGMENT_SIZE + 100));
}

TEST(ContentCacheItem, HeadBytesServeReadersUntilSegmentZeroIsWhole)
{
    plat::TempFolder dir;
    auto manager = manager_in(dir.path(), {.read_wait = long_wait});
    ItemUse item{manager->OpenItem(test_key(), "player"), "player"};
    const std::vector<BYTE> head = content_bytes(0, 400);
    for (DWORD at : {0u, 100u, 200u}) item->AppendData(head.data() + at, at, 100);
    item->AppendData(head.data() + 300, 350, 50);   // not at the fill count: ignored

    std::vector<BYTE> got(400);
    DWORD n = 0;
    EXPECT_EQ(item->ReadData(got.data(), 0, 300, &n, false, 0, {}), RESULT_OK);
    EXPECT_EQ(n, 300u);
    EXPECT_EQ(item->ReadData(got.data(), 0, 400, &n, false, 0, {}), RESULT_FAIL);
    EXPECT_EQ(n, 300u);

    BaseResult result = RESULT_FAIL;
    {
        std::jthread reader([&] { result = item->ReadData(got.data(), 0, 400, &n, true, 0, {}); });
        std::this_thread::sleep_for(50ms);
        item->AppendData(head.data() + 300, 300, 100);
    }
    EXPECT_EQ(result, RESULT_OK);
    EXPECT_EQ(n, 400u);
    EXPECT_TRUE(got == head);

    // Once segment 0 is whole it is read from the stores.
    tSegment whole = content_segment(0, SEGMENT_SIZE);
    item->WriteSegment(0, &whole);
    std::vector<BYTE> more(1000);
    EXPECT_EQ(item->ReadData(more.data(), 500, 1000, &n, false, 0, {}), RESULT_OK);
    EXPECT_TRUE(more == content_bytes(500, 1000));
}

TEST(ContentCacheItem, WritesThatDoNotFitAreRefused)
{
    plat::TempFolder dir;
    auto manager = manager_in(dir.path());
    ItemUse item{manager->OpenItem(test_key(), "writer"), "writer"};
    tSegment short_one = content_segment(1, 100);
    EXPECT_EQ(item->WriteSegment(1, &short_one), RESULT_SIZE_MISMATCH);   // not the last segment
    tSegment far = content_segment(0, SEGMENT_SIZE);
    EXPECT_EQ(item->WriteSegment(MAX_SEGMENT_COUNT, &far), RESULT_SIZE_MISMATCH);
    EXPECT_EQ(item->WriteSegment(0, nullptr), RESULT_FAIL);
    const BYTE byte = 1;
    EXPECT_EQ(item->WriteData(&byte, MAX_CONTENT_SIZE, 1), RESULT_SIZE_MISMATCH);
    EXPECT_EQ(item->WriteData(&byte, ~0ull - 5, 10), RESULT_SIZE_MISMATCH);   // a position that wraps
    EXPECT_EQ(item->WriteData(&byte, MAX_CONTENT_SIZE - 1, 1), RESULT_OK);
    EXPECT_EQ(item->SetTotalSize(static_cast<DWORD>(MAX_CONTENT_SIZE + 1)), RESULT_SIZE_MISMATCH);
    EXPECT_EQ(item->SetLastSegment(MAX_SEGMENT_COUNT, 1), RESULT_SIZE_MISMATCH);
    EXPECT_EQ(item->SetLastSegment(0, SEGMENT_SIZE + 1), RESULT_SIZE_MISMATCH);

    DWORD last_length = 0;
    ASSERT_EQ(item->SetLastSegment(2, 0), RESULT_OK);   // an empty last segment is the full one before it
    EXPECT_EQ(item->GetLastSegment(&last_length), 1u);
    EXPECT_EQ(last_length, SEGMENT_SIZE);

    ASSERT_EQ(item->SetLastSegment(2, 1000), RESULT_OK);
    EXPECT_EQ(item->GetTotalSize(), 2 * SEGMENT_SIZE + 1000);
    EXPECT_EQ(item->WriteSegment(3, &far), RESULT_SIZE_MISMATCH);   // past the end
    EXPECT_EQ(item->WriteData(&byte, 2 * SEGMENT_SIZE + 1000, 1), RESULT_SIZE_MISMATCH);
    // The last segment is cut to its length.
    tSegment last = content_segment(2, SEGMENT_SIZE);
    ASSERT_EQ(item->WriteSegment(2, &last), RESULT_OK);
    tSegment out;
    EXPECT_EQ(item->ReadSegment(2, &out), RESULT_END_OF_CONTENT);
    EXPECT_EQ(out.Capacity(), 1000u);
    EXPECT_EQ(item->ReleaseSegmentBuffer(&out), RESULT_OK);
    EXPECT_EQ(out.Data(), nullptr);
    EXPECT_EQ(item->GetLastSegment(&last_length), 2u);
    EXPECT_EQ(last_length, 1000u);
}

TEST(ContentCacheItem, SavedContentSurvivesReopening)
{
    plat::TempFolder dir;
    const DWORD total = 45 * SEGMENT_SIZE + 999;   // more than the write store holds
    {
        auto manager = manager_in(dir.path());
        ItemUse item{manager->OpenItem(test_key(), "writer"), "writer"};
        ASSERT_EQ(item->SetTotalSize(total), RESULT_OK);
        write_shuffled(item.item, total, 7000, false);
        EXPECT_EQ(item->GetLastWritten() <= 45, true);
        tSegment present;
        EXPECT_EQ(item->ReadSegment(45, &present), RESULT_END_OF_CONTENT);
    }   // the manager closes its items for good as it goes
    auto manager = manager_in(dir.path());
    ItemUse item{manager->FindItem(test_key(), "reader"), "reader"};
    ASSERT_NE(item.item, nullptr);
    EXPECT_EQ(item->GetTotalSize(), total);
    const ReadOutcome all = read_all(item.item, total, 50000);
    EXPECT_EQ(all.result, RESULT_END_OF_CONTENT);
    EXPECT_TRUE(all.bytes == content_bytes(0, total));
    tIndexRange range;
    ASSERT_EQ(item->GetIndexRange(&range), RESULT_OK);
    ASSERT_EQ(range.count, 2);
    EXPECT_EQ(range.entries[0], 0u);
    EXPECT_EQ(range.entries[1], 45u);
    EXPECT_EQ(std::filesystem::file_size(dir / (CacheFileName(test_key()) + ".data")), 46u * SEGMENT_SIZE);
}

TEST(ContentCacheItem, AnItemThatStoredNothingLeavesNoFiles)
{
    plat::TempFolder dir;
    {
        auto manager = manager_in(dir.path());
        ItemUse item{manager->OpenItem(test_key(), "x"), "x"};
        ASSERT_NE(item.item, nullptr);
        EXPECT_TRUE(std::filesystem::exists(dir / (CacheFileName(test_key()) + ".data")));
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(ContentCacheItem, WrittenBytesAreCountedForTheirUsers)
{
    plat::TempFolder dir;
    auto manager = manager_in(dir.path());
    ItemUse item{manager->OpenItem(test_key(), "x"), "x"};
    void* out = nullptr;
    ASSERT_EQ(item->QueryInterface(ID_ICacheBufferLeak, &out, "x"), RESULT_OK);
    auto* leak = static_cast<ICacheBufferLeak*>(out);
    tSegment segment = content_segment(0, SEGMENT_SIZE);
    item->WriteSegment(0, &segment);
    EXPECT_EQ(leak->GetLeakedBytes(), SEGMENT_SIZE);
    leak->SubtractLeakedBytes(100);
    EXPECT_EQ(leak->GetLeakedBytes(), SEGMENT_SIZE - 100);
    leak->SubtractLeakedBytes(SEGMENT_SIZE);
    EXPECT_EQ(leak->GetLeakedBytes(), 0u);
    leak->Release("x");
}

// A ".data" on a full file system: every write fails, and the item says so
// instead of counting the bytes as stored.
TEST(ContentCacheItem, WritesToAFullDiskFailAndNothingIsHeld)
{
    plat::TempFolder dir;
    std::filesystem::create_symlink("/dev/full", dir / (CacheFileName(test_key()) + ".data"));
    auto manager = manager_in(dir.path());
    ItemUse item{manager->OpenItem(test_key(), "x"), "x"};
    ASSERT_NE(item.item, nullptr);
    const DWORD total = 40 * SEGMENT_SIZE;
    ASSERT_EQ(item->SetTotalSize(total), RESULT_OK);
    int failed = 0;
    for (DWORD at = 0; at < total; at += SEGMENT_SIZE) {
        const std::vector<BYTE> bytes = content_bytes(at, SEGMENT_SIZE);
        if (item->WriteData(bytes.data(), at, SEGMENT_SIZE) == RESULT_FAIL) ++failed;
    }
    EXPECT_GT(failed, 0);
    EXPECT_EQ(item->GetMemoryInUse(), 0u);
    for (DWORD index = 0; index < 40; ++index) EXPECT_EQ(item->HasSegment(index), RESULT_FAIL) << index;
    tIndexRange range;
    ASSERT_EQ(item->GetIndexRange(&range), RESULT_OK);
    EXPECT_EQ(range.count, 0);
}

// A process killed between two saves leaves slots in ".data" that no index
// names; the next run fills them before it makes the file longer.
TEST(ContentCacheItem, SlotsOrphanedByACrashAreReused)
{
    plat::TempFolder dir;
    plat::TempFolder crashed;
    const std::string name = CacheFileName(test_key());
    const DWORD total = 60 * SEGMENT_SIZE;
    {
        FakeClock clock(1000);
        tContentCacheMgr manager({.clock = clock.function()});
        ASSERT_EQ(manager.Initialize(0, dir.path().c_str()), RESULT_OK);
        ItemUse item{manager.OpenItem(test_key(), "writer"), "writer"};
        ASSERT_EQ(item->SetTotalSize(total), RESULT_OK);
        const auto write = [&](DWORD index) {
            const std::vector<BYTE> bytes = content_bytes(index * SEGMENT_SIZE, SEGMENT_SIZE);
            return item->WriteData(bytes.data(), index * SEGMENT_SIZE, SEGMENT_SIZE);
        };
        for (DWORD index = 0; index < 33; ++index) ASSERT_EQ(write(index), RESULT_OK);   // past 1 MiB: saved
        clock.set(1000 + 300000);   // the save timer waits until that save is on the disk
        clock.settle();
        for (DWORD index = 33; index < 45; ++index) ASSERT_EQ(write(index), RESULT_OK);   // 10 more reach ".data"
        // The files as a kill would leave them: the last index saved is older than ".data".
        for (const char* ext : {".info", ".data"})
            std::filesystem::copy_file(dir / (name + ext), crashed / (name + ext));
    }
    ASSERT_GT(std::filesystem::file_size(crashed / (name + ".data")), 33u * SEGMENT_SIZE);
    {
        auto manager = manager_in(crashed.path());
        ItemUse item{manager->OpenItem(test_key(), "resumed"), "resumed"};
        ASSERT_LT(item->GetMemoryInUse(), 40u * SEGMENT_SIZE);   // what the index names, not what ".data" holds
        for (DWORD index = 0; index < 60; ++index) {
            if (item->HasSegment(index) == RESULT_OK) continue;
            const std::vector<BYTE> bytes = content_bytes(index * SEGMENT_SIZE, SEGMENT_SIZE);
            ASSERT_EQ(item->WriteData(bytes.data(), index * SEGMENT_SIZE, SEGMENT_SIZE), RESULT_OK);
        }
    }
    EXPECT_EQ(std::filesystem::file_size(crashed / (name + ".data")), total);
    auto manager = manager_in(crashed.path());
    ItemUse item{manager->FindItem(test_key(), "reader"), "reader"};
    ASSERT_NE(item.item, nullptr);
    const ReadOutcome all = read_all(item.item, total, 50000);
    EXPECT_TRUE(all.bytes == content_bytes(0, total));
}
