#pragma once
// RealMedia files made byte by byte, for what ffmpeg cannot write.

#include "splitter/base/testing/ByteBuilder.h"

#include <string>
#include <vector>

namespace rm {

using splitter_testing::Bytes;
using splitter_testing::be;
using splitter_testing::operator+;

inline Bytes str(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes chunk(const char* id, const Bytes& payload)
{
    return str(std::string(id, 4)) + be(10 + payload.size(), 4) + be(0, 2) + payload;
}

inline Bytes file_header() { return chunk(".RMF", be(0, 4) + be(4, 4)); }

inline Bytes properties(DWORD duration_ms)
{
    return chunk("PROP", be(0, 4 * 5) + be(duration_ms, 4) + be(0, 4 * 3) + be(1, 2) + be(0, 2));
}

inline Bytes media(WORD stream, const std::string& mime, const Bytes& type_data, const std::string& name = "")
{
    return chunk("MDPR", be(stream, 2) + be(0, 4 * 7) + be(name.size(), 1) + str(name) + be(mime.size(), 1) + str(mime) +
                             be(type_data.size(), 4) + type_data);
}

inline Bytes video_type(const char* codec, WORD width, WORD height)
{
    return be(34, 4) + str("VIDO") + str(std::string(codec, 4)) + be(width, 2) + be(height, 2) + be(12, 2) + be(0, 4) +
           be(25 << 16, 4) + be(0, 8);
}

// A version-5 audio header; codec data (with its length) follows when given.
inline Bytes audio_type(const char* codec, WORD rate, WORD channels, const Bytes& codec_data = {})
{
    Bytes b = str(".ra") + Bytes{0xFD} + be(5, 2) + be(0, 38) + be(640, 2) + be(0, 2) + be(0, 6) + be(rate, 2) + be(0, 2) +
              be(16, 2) + be(channels, 2) + str("genr") + str(std::string(codec, 4)) + be(0, 4);
    return b + be(codec_data.size(), 4) + codec_data;
}

inline Bytes packet(WORD stream, DWORD ms, BYTE flags, const Bytes& data, int version = 0)
{
    const std::size_t header = version == 0 ? 12 : 13;
    return be(version, 2) + be(header + data.size(), 2) + be(stream, 2) + be(ms, 4) + be(0, version == 0 ? 1 : 2) +
           Bytes{flags} + data;
}

inline Bytes data(DWORD packets, const Bytes& body) { return chunk("DATA", be(packets, 4) + be(0, 4) + body); }

struct IndexEntry {
    DWORD ms, offset, packet;
};

inline Bytes index(WORD stream, const std::vector<IndexEntry>& entries)
{
    Bytes b = be(entries.size(), 4) + be(stream, 2) + be(0, 4);
    for (const auto& e : entries) b = b + be(0, 2) + be(e.ms, 4) + be(e.offset, 4) + be(e.packet, 4);
    return chunk("INDX", b);
}

inline Bytes subtitle(const std::string& name, const std::string& text)
{
    return chunk(".SUB", be(name.size(), 2) + str(name) + be(text.size(), 4) + str(text));
}

}
