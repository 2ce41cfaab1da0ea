#include "platform/base/Bstr.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Bstr, LengthPrefixStandsBeforeTheText)
{
    BSTR b = SysAllocString(u"abc");
    ASSERT_NE(b, nullptr);
    std::uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<char*>(b) - 4, 4);
    EXPECT_EQ(bytes, 6u);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(SysStringByteLen(b), 6u);
    EXPECT_EQ(b[3], u'\0');
    SysFreeString(b);
}

TEST(Bstr, EmbeddedZerosCountInTheLength)
{
    const WCHAR text[] = {u'a', 0, u'b'};
    BSTR b = SysAllocStringLen(text, 3);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(b[2], u'b');
    SysFreeString(b);
}

TEST(Bstr, NullReadsAsEmpty)
{
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    EXPECT_EQ(plat::bstr_to_utf8(nullptr), "");
}

TEST(Bstr, OddByteLengthStillEndsInAZeroUnit)
{
    BSTR b = SysAllocStringByteLen("abc", 3);
    EXPECT_EQ(SysStringByteLen(b), 3u);
    EXPECT_EQ(SysStringLen(b), 1u);
    EXPECT_EQ(std::memcmp(b, "abc\0\0", 5), 0);
    SysFreeString(b);
}

TEST(Bstr, ReAllocReplacesAndFreesTheOld)
{
    BSTR b = SysAllocString(u"old");
    EXPECT_TRUE(SysReAllocString(&b, u"newer"));
    EXPECT_EQ(plat::bstr_to_utf8(b), "newer");
    SysFreeString(b);
}

TEST(Bstr, OwnerCopiesMovesAndConverts)
{
    auto a = plat::Bstr::from_utf8("h\xC3\xA9llo \xF0\x9F\x8E\xAC");
    EXPECT_EQ(a.length(), 8u);   // the film clapper is a surrogate pair
    plat::Bstr copy = a;
    EXPECT_NE(copy.get(), a.get());
    EXPECT_EQ(copy.utf8(), a.utf8());
    plat::Bstr moved = std::move(copy);
    EXPECT_EQ(copy.get(), nullptr);
    EXPECT_EQ(moved.utf8(), "h\xC3\xA9llo \xF0\x9F\x8E\xAC");
    *moved.out() = SysAllocString(u"x");
    EXPECT_EQ(moved.utf8(), "x");
}
