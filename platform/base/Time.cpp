#include "Time.h"

#include <chrono>
#include <thread>

namespace plat {

std::uint64_t filetime_now()
{
    auto since_unix = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return static_cast<std::uint64_t>(since_unix.count() / 100 + filetime_unix_epoch);
}

std::uint64_t monotonic_ms()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

}

DWORD GetTickCount() { return static_cast<DWORD>(plat::monotonic_ms()); }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
