#pragma once
// Matroska files made byte by byte, for what ffmpeg and mkvmerge cannot write.

#include "splitter/base/testing/ByteBuilder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ebml {

using splitter_testing::Bytes;
using splitter_testing::be;
using splitter_testing::operator+;

inline Bytes id(DWORD v)
{
    Bytes out;
    for (int shift = 24; shift >= 0; shift -= 8)
        if ((v >> shift) || !out.empty()) out.push_back(static_cast<BYTE>(v >> shift));
    return out;
}

// The shortest size coding; a length of 8 for an "unknown" size.
inline Bytes size(std::uint64_t n)
{
    int bytes = 1;
    while (bytes < 8 && n >= (1ULL << (7 * bytes)) - 1) ++bytes;
    Bytes out;
    out.push_back(static_cast<BYTE>((0x100 >> bytes) | (n >> (8 * (bytes - 1)))));
    for (int i = bytes - 2; i >= 0; --i) out.push_back(static_cast<BYTE>(n >> (8 * i)));
    return out;
}

inline Bytes unknown_size() { return {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}; }

inline Bytes element(DWORD i, const Bytes& payload) { return id(i) + size(payload.size()) + payload; }

inline Bytes uint(DWORD i, std::uint64_t v)
{
    int bytes = 1;
    while (bytes < 8 && (v >> (8 * bytes))) ++bytes;
    return element(i, be(v, bytes));
}

inline Bytes text(DWORD i, const std::string& s) { return element(i, Bytes(s.begin(), s.end())); }

inline Bytes header(const std::string& doctype = "matroska")
{
    return element(0x1A45DFA3, uint(0x4286, 1) + text(0x4282, doctype) + uint(0x4285, 2));
}

inline Bytes info(std::uint64_t scale = 1000000) { return element(0x1549A966, uint(0x2AD7B1, scale)); }

struct Track {
    std::uint64_t number{1}, type{2};
    std::string codec{"A_MPEG/L3"};
    Bytes codec_private{};
    Bytes extra{};   // further elements of the entry (Video, Audio, ContentEncodings...)
    Bytes entry() const
    {
        Bytes b = uint(0xD7, number) + uint(0x83, type) + text(0x86, codec);
        if (!codec_private.empty()) b = b + element(0x63A2, codec_private);
        return element(0xAE, b + extra);
    }
};

inline Bytes tracks(const std::vector<Track>& list)
{
    Bytes b;
    for (const auto& t : list) b = b + t.entry();
    return element(0x1654AE6B, b);
}

inline Bytes simple_block(std::uint64_t track, int timecode, BYTE flags, const Bytes& frames)
{
    return element(0xA3, size(track) + be(static_cast<std::uint16_t>(timecode), 2) + Bytes{flags} + frames);
}

inline Bytes block_group(std::uint64_t track, int timecode, const Bytes& frames, const Bytes& extra = {})
{
    return element(0xA0, element(0xA1, size(track) + be(static_cast<std::uint16_t>(timecode), 2) + Bytes{0} + frames) + extra);
}

inline Bytes cluster(std::uint64_t timecode, const Bytes& blocks) { return element(0x1F43B675, uint(0xE7, timecode) + blocks); }

inline Bytes segment(const Bytes& payload) { return element(0x18538067, payload); }

inline Bytes zlib_encoding(std::uint64_t scope = 1)
{
    return element(0x6D80, element(0x6240, uint(0x5032, scope) + uint(0x5033, 0) + element(0x5034, uint(0x4254, 0))));
}

inline Bytes encryption_encoding()
{
    return element(0x6D80, element(0x6240, uint(0x5033, 1) + element(0x5035, uint(0x47E1, 5))));
}

}
