#pragma once
// How far the download of the item in play should be, from the position the
// engine reports.

#include "platform/base/Types.h"

#include <optional>

struct PlayProgressEstimate {
    LONGLONG expected;    // byte position the play has reached
    LONGLONG length;      // about 1.5 seconds of data from there, never past the end
    bool wait_for_data;   // the bytes present lag the position by more than 64 KB
};

// None when the size or the duration is unknown or the position is at the end.
std::optional<PlayProgressEstimate> estimate_play_progress(LONG position, LONGLONG total, LONG duration,
                                                           LONGLONG available);
