#pragma once
// Builds WAVE files byte by byte, damaged as a case needs.

#include <cstdint>
#include <string>
#include <string_view>

namespace wave_bytes {

inline std::string le16(std::uint16_t v) { return {char(v & 0xFF), char(v >> 8)}; }
inline std::string le32(std::uint32_t v) { return le16(std::uint16_t(v)) + le16(std::uint16_t(v >> 16)); }

inline std::string chunk(std::string_view id, std::uint32_t size, std::string_view body)
{
    return std::string(id) + le32(size) + std::string(body);
}

inline std::string chunk(std::string_view id, std::string_view body)
{
    return chunk(id, std::uint32_t(body.size()), body);
}

// The 16 bytes every format starts with.
inline std::string format_fields(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    const std::uint16_t align = std::uint16_t(channels * bits / 8);
    return le16(tag) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits);
}

inline std::string pcm_fmt(std::uint16_t bits = 16, std::uint32_t rate = 44100)
{
    return chunk("fmt ", format_fields(1, 1, rate, bits));
}

inline std::string riff_wave(std::string_view body) { return chunk("RIFF", "WAVE" + std::string(body)); }

// Mono 16-bit samples of one value.
inline std::string samples16(std::int16_t value, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += le16(std::uint16_t(value));
    return out;
}

}
