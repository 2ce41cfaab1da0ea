// Damaged ".info" and ".data" files must load as absent or with their damaged
// part dropped; nothing may read out of bounds (the sanitizers watch).

#include "components/common/murrel/IndexRange.h"
#include "components/common/murrel/tests/CacheTestSupport.h"

#include "platform/fs/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

constexpr DWORD content_total = 3 * SEGMENT_SIZE + 3000;

struct GoodFiles {
    std::string info;
    std::string data;
};

GoodFiles make_good_files(const plat::TempFolder& dir)
{
    {
        auto manager = manager_in(dir.path());
        ItemUse item{manager->OpenItem(test_key(), "w"), "w"};
        item->SetTotalSize(content_total);
        for (ULONGLONG i = 0; i <= 3; ++i) {
            tSegment segment = content_segment(i, i == 3 ? 3000 : SEGMENT_SIZE);
            item->WriteSegment(i, &segment);
        }
    }
    const std::string name = CacheFileName(test_key());
    return {plat::read_file(dir / (name + ".info")).bytes, plat::read_file(dir / (name + ".data")).bytes};
}

void put_word(std::string& bytes, std::size_t at, DWORD value, bool big_endian)
{
    for (int i = 0; i < 4 && at + i < bytes.size(); ++i)
        bytes[at + i] = static_cast<char>(big_endian ? value >> (24 - 8 * i) : value >> (8 * i));
}

// One random kind of damage to one of the two files.
void damage(std::mt19937& random, std::string& info, std::string& data)
{
    auto pick = [&](std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    const DWORD huge[] = {0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFF8000, 0x7FFF8000, 32768, 65536, 1, 0};
    switch (pick(7)) {
    case 0: info.resize(pick(info.size() + 1)); break;
    case 1: data.resize(pick(data.size() + 1)); break;
    case 2:
        for (std::size_t n = pick(8) + 1; n > 0 && !info.empty(); --n) info[pick(info.size())] ^= static_cast<char>(1 << pick(8));
        break;
    case 3:
        for (std::size_t n = pick(8) + 1; n > 0 && !data.empty(); --n) data[pick(data.size())] ^= static_cast<char>(0xFF);
        break;
    case 4: put_word(info, 8 + 4 * pick(14), huge[pick(std::size(huge))], true); break;   // header numbers
    case 5: put_word(info, 64 + 4 * pick(8), huge[pick(std::size(huge))], false); break;  // offsets
    default: info.append(std::string(pick(64), '\xAB')); break;
    }
}

}

TEST(CorruptCacheFile, DamagedFilesNeverCrashOrReadOutOfBounds)
{
    plat::TempFolder dir;
    const GoodFiles good = make_good_files(dir);
    ASSERT_GT(good.info.size(), INFO_HEADER_SIZE);
    const std::string name = CacheFileName(test_key());
    std::mt19937 random(20261210);
    std::vector<BYTE> buffer(content_total + 100);
    int loaded = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string info = good.info, data = good.data;
        for (int n = 1 + round % 3; n > 0; --n) damage(random, info, data);
        std::ofstream(dir / (name + ".info"), std::ios::binary | std::ios::trunc) << info;
        std::ofstream(dir / (name + ".data"), std::ios::binary | std::ios::trunc) << data;

        auto manager = manager_in(dir.path(), {.read_wait = std::chrono::milliseconds(1)});
        DWORD count = 0;
        manager->EnumerateItems(nullptr, &count);
        ItemUse item{manager->FindItem(test_key(), "r"), "r"};
        if (item.item == nullptr) continue;
        ++loaded;
        DWORD n = 0;
        const BaseResult result = item->ReadData(buffer.data(), 0, static_cast<DWORD>(buffer.size()), &n, false, 0, {});
        EXPECT_TRUE(result == RESULT_OK || result == RESULT_FAIL || result == RESULT_END_OF_CONTENT) << result;
        EXPECT_LE(n, buffer.size());
        for (ULONGLONG i = 0; i < 8; ++i) {
            tSegment segment;
            item->ReadSegment(i, &segment);
        }
        tIndexRange range;
        item->GetIndexRange(&range);
        if (round % 20 != 0) continue;   // writing saves the files again: slow, so only now and then
        tSegment segment = content_segment(2, SEGMENT_SIZE);
        item->WriteSegment(2, &segment);
        item->WriteData(buffer.data(), 1000, 50000);
    }
    // The damage leaves many files loadable; the checks above ran on them.
    EXPECT_GT(loaded, 100);
}

TEST(CorruptCacheFile, AnUnloadableItemIsReplacedByAFreshOne)
{
    plat::TempFolder dir;
    make_good_files(dir);
    const std::string name = CacheFileName(test_key());
    ASSERT_EQ(plat::write_file_atomic(dir / (name + ".info"), "cachinfo too short"), 0);
    auto manager = manager_in(dir.path());
    EXPECT_EQ(manager->FindItem(test_key(), "r"), nullptr);
    EXPECT_TRUE(std::filesystem::exists(dir / (name + ".data")));   // a failed load removes nothing
    ItemUse item{manager->OpenItem(test_key(), "r"), "r"};
    ASSERT_NE(item.item, nullptr);
    EXPECT_EQ(item->HasSegment(0), RESULT_FAIL);
    EXPECT_EQ(item->GetTotalSize(), 0u);
}
