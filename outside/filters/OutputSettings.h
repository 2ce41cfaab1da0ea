#pragma once
// The output settings record the transcode engine hands unchanged to the
// encoders and the multiplexer, and the interface that takes it.
//
// Bytes 0..127 are ours (little-endian; 0 means "the default"):
//   0..3  video bit rate, bits per second (default 768000)
//   4..7  audio bit rate, bits per second (default 128000)
//   the rest is reserved and not read.
// After them the engine keeps a pointer to an 8-bit text, which the filters
// do not read. The defaults give what every music player plays: H.264
// Baseline at most 640x480 with the aspect kept, AAC-LC 44.1 kHz stereo.

#include "platform/com/Unknown.h"

#include <cstdint>

struct tOutputSettings {
    BYTE settings[128];
    const char* text;   // may be null
};

inline constexpr IID IID_IOutputSettings = plat::make_guid("{1F66468E-82C5-497A-A3EA-D17308CF16D0}");

struct IOutputSettings : IUnknown {
    static constexpr const IID& iid = IID_IOutputSettings;
    // `which` is 0; the record is copied.
    virtual HRESULT SetSettings(DWORD which, const tOutputSettings* record) = 0;

protected:
    ~IOutputSettings() = default;
};

namespace filters {

inline constexpr int default_video_bit_rate = 768000;
inline constexpr int default_audio_bit_rate = 128000;
inline constexpr int max_width = 640, max_height = 480;
inline constexpr int output_sample_rate = 44100, output_channels = 2;

// The value at `offset`, or `fallback` when it is 0.
inline int setting(const tOutputSettings& record, std::size_t offset, int fallback)
{
    const std::uint32_t v = record.settings[offset] | record.settings[offset + 1] << 8 |
                            record.settings[offset + 2] << 16 | static_cast<std::uint32_t>(record.settings[offset + 3]) << 24;
    return v == 0 || v > 100000000 ? fallback : static_cast<int>(v);
}

}
