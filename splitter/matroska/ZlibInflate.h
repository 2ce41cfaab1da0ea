#pragma once
// Inflates one whole zlib stream held in memory.

#include "platform/base/Types.h"

#include <cstddef>
#include <span>
#include <vector>

namespace MatroskaReader {

// The most one frame or private data block may inflate to: a stream that
// would give more is refused rather than filling memory.
inline constexpr std::size_t max_inflated_bytes = 64u << 20;

// Inflates until the stream ends. False for a damaged or cut stream, one that
// stops making progress, or one past the ceiling; out is then unchanged.
bool inflate_zlib(std::span<const BYTE> in, std::vector<BYTE>& out, std::size_t ceiling = max_inflated_bytes);

}
