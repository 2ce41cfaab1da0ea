#include "engines/mediagraph/Buffering.h"

#include <algorithm>

namespace mediagraph {

namespace {

constexpr LONGLONG stall_ms = 450;        // less progress than this in a tick is a stall
constexpr LONGLONG edge_ms = 2000;        // no pause this near the start or the end
constexpr LONGLONG play_out_ms = 5000;    // this near the end the rest plays without waiting
constexpr int countdown_on_stall = 4;
constexpr int countdown_on_resume = 8;

}

BufferingWatch::Action BufferingWatch::tick(LONGLONG position_ms, LONGLONG duration_ms, bool paused, bool data_needed)
{
    Action action = Action::None;
    const LONGLONG remaining = duration_ms - position_ms;
    if (!paused) {
        const bool stall = position_ms >= m_last_ms && position_ms - m_last_ms < stall_ms;
        if (stall && position_ms > edge_ms && remaining > edge_ms) {
            if (m_countdown == 0) m_countdown = countdown_on_stall;
            else if (m_countdown == 1) action = Action::PauseForData;
        }
    } else if (!data_needed || remaining < play_out_ms) {
        action = Action::Resume;
        m_countdown = countdown_on_resume;
    }
    m_last_ms = position_ms;
    if (m_countdown > 0) --m_countdown;
    return action;
}

LONGLONG read_ahead_size(LONGLONG total, LONG buffer_time_s, LONGLONG duration_s, LONGLONG last, LONGLONG position)
{
    LONGLONG size = duration_s > 1 ? total * buffer_time_s / duration_s : last;
    size = std::clamp(size, READ_AHEAD_MIN, READ_AHEAD_MAX);
    return std::clamp<LONGLONG>(total - position, 0, size);
}

}
