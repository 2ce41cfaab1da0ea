#include "platform/base/Time.h"

#include <gtest/gtest.h>

#include <ctime>

TEST(Time, FiletimeCountsHundredNanosecondsSince1601)
{
    const auto seconds = (static_cast<std::int64_t>(plat::filetime_now()) - plat::filetime_unix_epoch) / 10000000;
    EXPECT_LE(std::abs(seconds - static_cast<std::int64_t>(std::time(nullptr))), 2);
}

TEST(Time, TickIsMonotonic)
{
    const DWORD first = GetTickCount();
    Sleep(20);
    const DWORD second = GetTickCount();
    EXPECT_GE(static_cast<DWORD>(second - first), 20u);   // the difference survives a wrap
}
