#include "components/common/murrel/CacheInfo.h"
#include "components/common/murrel/tests/CacheTestSupport.h"

#include "platform/fs/Files.h"

#include <gtest/gtest.h>

namespace {

std::string hex_bytes(std::string_view hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size();) {
        if (hex[i] == ' ') { ++i; continue; }
        out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
        i += 2;
    }
    return out;
}

tCacheInfoHeader header_with_total(DWORD total)
{
    tCacheInfoHeader header;
    header.key = test_key();
    header.segment_size = SEGMENT_SIZE;
    header.SetTotal(total);
    return header;
}

}

TEST(CacheInfo, FileNameJoinsBothKeyHalves)
{
    EXPECT_EQ(CacheFileName(test_key()), "22222222111111114444444433333333");
    EXPECT_EQ(CacheFileName({{1, 0, 0, 0xA}}), "00000000000000010000000a00000000");
}

TEST(CacheInfo, SavedItemWritesTheExactHeaderAndOffsetTable)
{
    plat::TempFolder dir;
    {
        auto manager = manager_in(dir.path());
        ItemUse item{manager->OpenItem(test_key(), "test"), "test"};
        ASSERT_NE(item.item, nullptr);
        ASSERT_EQ(item->SetTotalSize(100000), RESULT_OK);
        tSegment first = content_segment(0, SEGMENT_SIZE);
        tSegment last = content_segment(3, 1696);
        ASSERT_EQ(item->WriteSegment(0, &first), RESULT_OK);
        ASSERT_EQ(item->WriteSegment(3, &last), RESULT_OK);
        item.item->Release("test");
        item.item = nullptr;
        manager->Uninitialize();
    }
    const std::string name = CacheFileName(test_key());
    const std::string info = plat::read_file(dir / (name + ".info")).bytes;
    const std::string header = hex_bytes(
        "63 61 63 68 69 6E 66 6F"      // "cachinfo"
        "22 22 22 22 11 11 11 11"      // key words 1 and 0
        "44 44 44 44 33 33 33 33"      // key words 3 and 2
        "00 01 86 A0 00 00 00 00"      // total 100,000, reserved
        "00 00 00 00 00 00 00 03"      // last segment index
        "00 00 06 A0 00 00 80 00"      // last length 1,696, segment size
        "00 00 00 00 00 00 00 03"      // last segment written
        "00 00 00 02 00 00 86 A0"      // present count and bytes
        "00 00 00 00 FF FF FF FF FF FF FF FF 00 80 00 00");   // offsets of segments 0 to 3
    ASSERT_EQ(info.size(), INFO_HEADER_SIZE + 4 * 4096u);
    EXPECT_EQ(info.substr(0, header.size()), header);
    EXPECT_EQ(info.find_first_not_of('\xFF', header.size()), std::string::npos);
    EXPECT_EQ(plat::read_file(dir / (name + ".data")).bytes.size(), 2u * SEGMENT_SIZE);
}

TEST(CacheInfo, TotalRulesTheLastSegment)
{
    const struct {
        DWORD total;
        ULONGLONG last_index;
        DWORD last_length;
    } cases[] = {
        {100000, 3, 1696},
        {65537, 2, 1},
        {65536, 1, SEGMENT_SIZE},   // an exact multiple ends with a full segment
        {SEGMENT_SIZE, 0, SEGMENT_SIZE},
        {1, 0, 1},
        {0, SEGMENT_INDEX_UNSET, ~0u},
    };
    plat::TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        tCacheInfoHeader written = header_with_total(c.total);
        written.last_index = 99;   // a stale header: the loader trusts the total alone
        written.last_length = 5;
        ASSERT_EQ(SaveInfoFile(dir / "x.info", written, {}), RESULT_OK);
        tCacheInfoHeader loaded;
        std::vector<LONG> table;
        ASSERT_EQ(LoadInfoFile(dir / "x.info", false, std::nullopt, loaded, table), RESULT_OK);
        EXPECT_EQ(loaded.last_index, c.last_index);
        EXPECT_EQ(loaded.last_length, c.last_length);
    }
}

TEST(CacheInfo, UnusableFilesAreRefused)
{
    const std::string good = FormatInfoFile(header_with_total(1000), {});
    auto with_word = [&](std::size_t at, std::string_view bytes) {
        std::string changed = good;
        changed.replace(at, bytes.size(), bytes);
        return changed;
    };
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"short header", good.substr(0, 63)},
        {"wrong magic", with_word(0, "cachinfX")},
        {"segment size 0", with_word(44, std::string(4, '\0'))},
        {"segment size 4096", with_word(44, std::string("\0\0\x10\0", 4))},
        {"total past 2 GiB", with_word(24, std::string("\x80\0\0\x01", 4))},
    };
    plat::TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(plat::write_file_atomic(dir / "x.info", c.bytes), 0);
        tCacheInfoHeader loaded;
        std::vector<LONG> table;
        EXPECT_EQ(LoadInfoFile(dir / "x.info", false, std::nullopt, loaded, table), RESULT_FAIL);
    }
    tCacheInfoHeader loaded;
    std::vector<LONG> table;
    EXPECT_EQ(LoadInfoFile(dir / "missing.info", true, std::nullopt, loaded, table), RESULT_FAIL);
}

TEST(CacheInfo, DamagedOffsetsAreDroppedAndCountsRecounted)
{
    tCacheInfoHeader header = header_with_total(8 * SEGMENT_SIZE);
    header.present_count = 1000;   // counts on disk are never trusted
    header.present_bytes = 5;
    const std::vector<LONG> table{
        0,            // kept
        32768,        // kept
        100,          // not a whole slot
        32768,        // the slot of segment 1 again
        98304,        // kept: ends exactly at the end of ".data"
        -5,           // negative
        131072,       // past ".data"
        0x7FFF8000,   // far past ".data"
        0,            // past the content's last segment
    };
    plat::TempFolder dir;
    ASSERT_EQ(SaveInfoFile(dir / "x.info", header, table), RESULT_OK);
    tCacheInfoHeader loaded;
    std::vector<LONG> loaded_table;
    ASSERT_EQ(LoadInfoFile(dir / "x.info", false, 131072, loaded, loaded_table), RESULT_OK);
    EXPECT_EQ(loaded_table, (std::vector<LONG>{0, 32768, -1, -1, 98304, -1, -1, -1}));
    EXPECT_EQ(loaded.present_count, 3u);
    EXPECT_EQ(loaded.present_bytes, 3 * SEGMENT_SIZE);
    EXPECT_EQ(loaded.key, test_key());

    ASSERT_EQ(LoadInfoFile(dir / "x.info", true, std::nullopt, loaded, loaded_table), RESULT_OK);
    EXPECT_TRUE(loaded_table.empty());
}
