#pragma once
// The "snd " handles the sound exporter fills: a header, then the samples.
//
//   offset  size  field (big-endian, as QuickTime's resources are)
//   0       4     format: "twos", "sowt", "raw ", "in24", "in32"
//   4       2     channels
//   6       2     bits per sample
//   8       4     sample rate, 16.16
//   12      4     frames
//   16      4     offset of the samples (20)
//   20      ...   interleaved samples

#include "outside/quicktime/QuickTimeTypes.h"

#include <span>

namespace qt {

inline constexpr long sound_header_size = 20;

// Replaces the handle's contents; memFullErr when it cannot grow.
OSErr put_sound(Handle handle, const SoundComponentData& format, std::span<const char> samples);

// badFormat when the handle holds no whole header or its offset lies past its end.
OSErr ParseSndHeader(Handle handle, SoundComponentData* format, unsigned long* frames, unsigned long* data_offset);

}
