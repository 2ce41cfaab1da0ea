#include "platform/base/Time.h"

#include <gtest/gtest.h>

#include <ctime>

TEST(Time, FiletimeCountsHundredNanosecondsSince1601)
{
    static_assert(plat::filetime_to_unix_seconds(plat::filetime_unix_epoch) == 0);
    static_assert(plat::unix_seconds_to_filetime(1) == plat::filetime_unix_epoch + 10000000);
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    auto seconds = plat::filetime_to_unix_seconds(plat::filetime_value(ft));
    EXPECT_LE(std::abs(seconds - static_cast<std::int64_t>(std::time(nullptr))), 2);
    EXPECT_EQ(plat::filetime_value(plat::make_filetime(0x0123456789ABCDEFull)), 0x0123456789ABCDEFull);
}

TEST(Time, TickIsMonotonic)
{
    auto first = GetTickCount64();
    Sleep(20);
    auto second = GetTickCount64();
    EXPECT_GE(second - first, 20u);
}
