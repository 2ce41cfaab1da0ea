#include "engines/wemble/PlayProgress.h"

#include <algorithm>

std::optional<PlayProgressEstimate> estimate_play_progress(LONG position, LONGLONG total, LONG duration,
                                                           LONGLONG available)
{
    if (total <= 0 || duration <= 0 || position < 0)
        return std::nullopt;
    LONGLONG expected = position * (total / duration);   // bytes per second first, as the engine counts
    if (expected >= total)
        return std::nullopt;
    LONGLONG length = std::min(total * 3 / (static_cast<LONGLONG>(duration) * 2), total - expected);
    return PlayProgressEstimate{expected, length, available + 65536 < expected};
}
