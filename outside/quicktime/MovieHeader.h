#pragma once
// What libavformat does not tell of a movie, read by our atom library: the
// movie header's time scale and duration (mvhd) and which tracks are enabled
// (the tkhd flag).

#include "outside/quicktime/QuickTimeTypes.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace qt {

struct MovieHeader {
    TimeScale time_scale;
    std::int64_t duration;                     // in time_scale
    std::map<std::uint32_t, bool> enabled;     // by track id
};

// Nothing when the file holds no readable movie header.
std::optional<MovieHeader> read_movie_header(const std::string& path);

}
