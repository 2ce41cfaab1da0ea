#pragma once
// The time the compose thread paces itself by: a counter with its frequency,
// and a sleep. The program uses the system's; tests step a clock of their own.

#include "platform/base/Types.h"

#include <memory>

class ComposeClock {
public:
    virtual ~ComposeClock() = default;

    virtual std::int64_t counter() = 0;
    // Counts per second; read once by each stopwatch.
    virtual std::int64_t frequency() = 0;
    virtual void sleep(DWORD milliseconds) = 0;
};

// The monotonic clock in nanoseconds and a real sleep.
std::unique_ptr<ComposeClock> make_system_compose_clock();
