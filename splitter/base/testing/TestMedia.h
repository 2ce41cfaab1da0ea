#pragma once
// The splitter's test media: made on first use by the media script with
// ffmpeg, cached in the build folder, with ffprobe's list of packets.

#include "platform/dshow/DShowTypes.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct ProbedPacket {
    std::string type;   // "audio" or "video"
    REFERENCE_TIME dts;
    long size;
    bool key;
};

// The path of a made file; empty when the script failed.
inline std::string test_media(const std::string& name)
{
    const std::string dir = SPLITTER_MEDIA_DIR;
    const std::string command = std::string("'") + SPLITTER_MEDIA_SCRIPT + "' '" + dir + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    return dir + "/" + name;
}

// What ffprobe reports as the extra data (decoder configuration) of the file's
// first stream of this type ("audio" or "video"); empty when it has none.
inline std::vector<BYTE> probed_extradata(const std::string& path, const std::string& type)
{
    std::ifstream in(path + ".extradata");
    std::string line;
    while (std::getline(in, line)) {
        const auto comma = line.find(',');
        if (comma == std::string::npos || line.compare(0, comma, type) != 0) continue;
        std::vector<BYTE> out;
        for (std::size_t i = comma + 1; i + 1 < line.size(); i += 2)
            out.push_back(static_cast<BYTE>(std::stoi(line.substr(i, 2), nullptr, 16)));
        return out;
    }
    return {};
}

inline std::vector<ProbedPacket> probed_packets(const std::string& path, const std::string& type)
{
    std::vector<ProbedPacket> out;
    std::ifstream in(path + ".packets");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind, dts, size, flags;
        std::getline(fields, kind, ',');
        std::getline(fields, dts, ',');
        std::getline(fields, size, ',');
        std::getline(fields, flags, ',');
        if (kind != type) continue;
        out.push_back({kind, std::llround(std::stod(dts) * 1e7), std::stol(size), flags.starts_with("K")});
    }
    return out;
}
