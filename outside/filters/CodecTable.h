#pragma once
// Which libavcodec decoder a splitter's media type needs, and how to set it
// up: the codec, its extra data in the form libavcodec reads, and the
// picture or sound the type announces.

#include "platform/dshow/DShowTypes.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace filters {

struct DecoderSetup {
    int codec_id = 0;                  // an AVCodecID
    std::vector<std::uint8_t> extradata;
    int width = 0, height = 0;         // video
    REFERENCE_TIME frame_time = 0;     // video, 0 when unknown
    int sample_rate = 0, channels = 0; // audio
    int block_align = 0, bits_per_sample = 0, bit_rate = 0;
};

// None when the type is not one the splitters make, its format block is too
// short for what it claims, or no decoder exists for it.
std::optional<DecoderSetup> decoder_setup(const AM_MEDIA_TYPE& type);

}
