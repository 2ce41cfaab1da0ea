#include "FrameStopwatch.h"

#include "ComposeClock.h"

#include <algorithm>
#include <utility>

namespace {
constexpr DWORD first_lap_ms = 30;
}

FrameStopwatch::FrameStopwatch(ComposeClock& clock)
    : m_clock(clock), m_counts_per_ms(std::max<std::int64_t>(clock.frequency() / 1000, 1))
{
}

void FrameStopwatch::start() { m_last = m_clock.counter(); }

DWORD FrameStopwatch::lap()
{
    const std::int64_t now = m_clock.counter();
    const std::optional<std::int64_t> previous = std::exchange(m_last, now);
    if (!previous) return first_lap_ms;
    return static_cast<DWORD>((now - *previous) / m_counts_per_ms);
}
