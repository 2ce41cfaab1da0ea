#pragma once
// Whole milliseconds between laps, as the compose thread's pacing reads them.

#include "platform/base/Types.h"

#include <optional>

class ComposeClock;

class FrameStopwatch {
public:
    explicit FrameStopwatch(ComposeClock& clock);

    // Takes the counter as the previous lap.
    void start();
    // Milliseconds since the previous lap (truncated); 30, a frame's worth,
    // when there was none yet. The reading becomes the previous lap.
    DWORD lap();

private:
    ComposeClock& m_clock;
    std::int64_t m_counts_per_ms;
    std::optional<std::int64_t> m_last;   // counter at the previous lap; used by one thread
};
