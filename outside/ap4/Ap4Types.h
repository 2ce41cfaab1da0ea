#pragma once
// The atom library's integer types, result codes and four-letter atom types.

#include <cstdint>

using AP4_UI08 = std::uint8_t;
using AP4_UI16 = std::uint16_t;
using AP4_UI32 = std::uint32_t;
using AP4_UI64 = std::uint64_t;
using AP4_SI32 = std::int32_t;
using AP4_SI64 = std::int64_t;
using AP4_Size = std::uint32_t;
using AP4_Position = std::uint64_t;
using AP4_LargeSize = std::uint64_t;
using AP4_Ordinal = std::uint32_t;
using AP4_Result = int;

inline constexpr AP4_Result AP4_SUCCESS = 0;
inline constexpr AP4_Result AP4_FAILURE = -1;
inline constexpr AP4_Result AP4_ERROR_OUT_OF_MEMORY = -2;
inline constexpr AP4_Result AP4_ERROR_EOS = -7;
inline constexpr AP4_Result AP4_ERROR_WRITE_FAILED = -8;
inline constexpr AP4_Result AP4_ERROR_READ_FAILED = -9;

constexpr bool AP4_FAILED(AP4_Result r) { return r != AP4_SUCCESS; }
constexpr bool AP4_SUCCEEDED(AP4_Result r) { return r == AP4_SUCCESS; }

constexpr AP4_UI32 AP4_ATOM_TYPE(unsigned char a, unsigned char b, unsigned char c, unsigned char d)
{
    return static_cast<AP4_UI32>(a) << 24 | static_cast<AP4_UI32>(b) << 16 | static_cast<AP4_UI32>(c) << 8 | d;
}
