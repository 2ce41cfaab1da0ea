#pragma once
// Building test files byte by byte: concatenation and big-endian numbers.

#include "platform/base/Types.h"

#include <cstdint>
#include <vector>

namespace splitter_testing {

using Bytes = std::vector<BYTE>;

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The low bytes of v, most significant first; widths above 8 are zero-padded.
inline Bytes be(std::uint64_t v, int bytes)
{
    Bytes out;
    for (int i = bytes - 1; i >= 0; --i) out.push_back(i < 8 ? static_cast<BYTE>(v >> (8 * i)) : 0);
    return out;
}

}
