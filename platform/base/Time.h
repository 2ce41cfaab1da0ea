#pragma once
// Wall-clock time as FILETIME (100 ns units since 1601-01-01 UTC) and a
// monotonic millisecond tick.

#include "Types.h"

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// Milliseconds since an arbitrary start; wraps after 49.7 days, as on Windows.
DWORD GetTickCount();
void Sleep(DWORD milliseconds);

namespace plat {

inline constexpr std::int64_t filetime_unix_epoch = 116444736000000000;   // 1970-01-01 in FILETIME units

// The current UTC time in FILETIME units, as the feed database stores it.
std::uint64_t filetime_now();
std::uint64_t monotonic_ms();

}
