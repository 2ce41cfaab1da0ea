#pragma once
// What the atom library's tests share: atoms built byte by byte, files read
// whole, a copy with a compressed movie header, and ffprobe's samples.

#include "outside/ap4/Ap4ByteStream.h"

#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace ap4_testing {

using Bytes = std::vector<AP4_UI08>;

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes be(AP4_UI64 v, int bytes)
{
    Bytes out;
    for (int i = bytes - 1; i >= 0; --i) out.push_back(i < 8 ? static_cast<AP4_UI08>(v >> (8 * i)) : 0);
    return out;
}

inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// An atom with a 32-bit size.
inline Bytes atom(const std::string& type, const Bytes& body) { return be(8 + body.size(), 4) + text(type) + body; }
// A full atom: version and flags first.
inline Bytes full_atom(const std::string& type, const Bytes& body, int version = 0)
{
    return atom(type, be(version, 1) + be(0, 3) + body);
}

inline Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A stream over the bytes, held by the reference.
inline AP4_StreamReference memory_stream(const Bytes& bytes)
{
    return AP4_StreamReference::adopt(new AP4_MemoryByteStream(bytes));
}

// The file with its top-level moov (which must be the last atom, as ffmpeg
// writes it) replaced by moov{cmov{dcom "zlib", cmvd}}, so no sample moves.
inline Bytes with_compressed_movie(const Bytes& file, const std::string& compressor = "zlib")
{
    std::size_t at = 0;
    while (at + 8 <= file.size()) {
        const std::size_t size = static_cast<std::size_t>(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        if (std::string(file.begin() + static_cast<long>(at) + 4, file.begin() + static_cast<long>(at) + 8) == "moov") break;
        if (size < 8) return {};
        at += size;
    }
    if (at + 8 > file.size()) return {};
    const Bytes moov(file.begin() + static_cast<long>(at), file.end());
    uLongf packed_size = compressBound(moov.size());
    Bytes packed(packed_size);
    compress(packed.data(), &packed_size, moov.data(), moov.size());
    packed.resize(packed_size);
    return Bytes(file.begin(), file.begin() + static_cast<long>(at)) +
           atom("moov", atom("cmov", atom("dcom", text(compressor)) + atom("cmvd", be(moov.size(), 4) + packed)));
}

struct ProbedSample {
    AP4_SI64 pts;
    AP4_UI64 dts;
    long long duration;   // -1 where ffprobe reports none
    AP4_Size size;
    AP4_Position offset;
    bool key;
};

// ffprobe's packets by stream index, in the media time scale, without the edit lists applied.
inline std::map<int, std::vector<ProbedSample>> probe_samples(const std::string& path)
{
    const std::string command = "ffprobe -v error -ignore_editlist 1 -show_entries "
                                "packet=stream_index,pts,dts,duration,size,pos,flags -of csv=p=0 '" + path + "'";
    std::map<int, std::vector<ProbedSample>> out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        std::vector<std::string> fields;
        std::string field;
        for (const char* c = line; *c && *c != '\n'; ++c) {
            if (*c != ',') field.push_back(*c);
            else fields.push_back(std::exchange(field, {}));
        }
        fields.push_back(field);
        if (fields.size() != 7) continue;
        const auto number = [](const std::string& f) { return f == "N/A" ? -1 : std::stoll(f); };
        out[static_cast<int>(number(fields[0]))].push_back(
            {number(fields[1]), static_cast<AP4_UI64>(number(fields[2])), number(fields[3]),
             static_cast<AP4_Size>(number(fields[4])), static_cast<AP4_Position>(number(fields[5])), fields[6][0] == 'K'});
    }
    pclose(pipe);
    return out;
}

}
