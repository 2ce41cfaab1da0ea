#pragma once
// The rules a graph fed by a stream still arriving follows: when to pause
// for data and when to play on (one decision per position tick), and how
// many bytes a refill waits for.

#include "platform/base/Types.h"

namespace mediagraph {

// The position thread's period while a stream feeds the graph.
inline constexpr DWORD BUFFERING_TICK_MS = 500;
// The read-ahead of a refill: never less, never more.
inline constexpr LONGLONG READ_AHEAD_MIN = 0x20000;
inline constexpr LONGLONG READ_AHEAD_MAX = 0x80000;
// The size told for a stream whose size is not known yet.
inline constexpr LONGLONG UNKNOWN_STREAM_SIZE = 0x2000000;

class BufferingWatch {
public:
    enum class Action { None, PauseForData, Resume };

    // One tick of a stream the user has not paused. `paused`: the graph is
    // paused; `data_needed`: a refill is still pending. Times in milliseconds,
    // the duration 0 while unknown.
    Action tick(LONGLONG position_ms, LONGLONG duration_ms, bool paused, bool data_needed);
    void reset() { *this = BufferingWatch(); }

private:
    LONGLONG m_last_ms = 0;
    int m_countdown = 0;   // ticks left; a stall seen at 1 pauses
};

// Bytes to wait for from `position`: the store's size for `buffer_time_s` of
// play when the duration (seconds) is over one second, else `last`; kept
// within READ_AHEAD_MIN..READ_AHEAD_MAX and never past `total`.
LONGLONG read_ahead_size(LONGLONG total, LONG buffer_time_s, LONGLONG duration_s, LONGLONG last, LONGLONG position);

}
