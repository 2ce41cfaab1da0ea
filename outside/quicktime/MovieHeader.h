#pragma once
// What libavformat does not tell of a movie, read by our atom library: the
// movie header's time scale and duration (mvhd), which tracks are enabled
// (the tkhd flag), and when a video track's samples are shown (its ctts).

#include "outside/quicktime/QuickTimeTypes.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qt {

// How long after its decoding time each sample of a track is shown, in the
// track's media time scale. libavformat's index gives only decoding times
// and file positions, so the samples are found by their position.
struct CompositionOffsets {
    struct Sample {
        std::int64_t position;   // in the file
        std::int32_t offset;     // composition time - decoding time
    };
    std::vector<Sample> samples;   // by position
    // The least offset's size when it is negative: libavformat moves every
    // decoding time back by it, so no sample is shown before it is decoded.
    std::int32_t shift;

    // The offset of the sample at that position; 0 for a position no sample has.
    std::int32_t at(std::int64_t position) const;
};

struct MovieHeader {
    TimeScale time_scale;
    std::int64_t duration;                     // in time_scale
    std::map<std::uint32_t, bool> enabled;     // by track id
    // The video tracks that have composition offsets, by track id.
    std::map<std::uint32_t, CompositionOffsets> composition;
};

// Nothing when the file holds no readable movie header.
std::optional<MovieHeader> read_movie_header(const std::string& path);

}
