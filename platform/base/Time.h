#pragma once
// Wall-clock time as FILETIME (100 ns units since 1601-01-01 UTC) and a
// monotonic millisecond tick.

#include "Types.h"

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

void GetSystemTimeAsFileTime(FILETIME* out);
// Milliseconds since an arbitrary start; wraps after 49.7 days, as on Windows.
DWORD GetTickCount();
ULONGLONG GetTickCount64();
void Sleep(DWORD milliseconds);

namespace plat {

inline constexpr std::int64_t filetime_unix_epoch = 116444736000000000;   // 1970-01-01 in FILETIME units

std::uint64_t filetime_now();
constexpr std::uint64_t filetime_value(const FILETIME& ft)
{
    return static_cast<std::uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}
constexpr FILETIME make_filetime(std::uint64_t value)
{
    return {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}
constexpr std::int64_t filetime_to_unix_seconds(std::uint64_t value)
{
    return (static_cast<std::int64_t>(value) - filetime_unix_epoch) / 10000000;
}
constexpr std::uint64_t unix_seconds_to_filetime(std::int64_t seconds)
{
    return static_cast<std::uint64_t>(seconds * 10000000 + filetime_unix_epoch);
}

std::uint64_t monotonic_ms();

}
