#pragma once
// What parser tests share: files written into a
// temporary folder, graphs over them, and ffprobe's view of one stream.

#include "platform/dshow/BasePin.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/fs/testing/TempFolder.h"
#include "splitter/base/testing/ParserFilter.h"
#include "splitter/base/testing/SplitterGraph.h"
#include "splitter/base/testing/TestMedia.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace splitter_testing {

using Bytes = std::vector<BYTE>;

inline std::string write_file(const plat::TempFolder& dir, const std::string& name, const Bytes& bytes)
{
    const std::string path = dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

inline Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct StreamPacket {
    REFERENCE_TIME pts;
    long size;
    bool key;
};

// ffprobe's packets of one stream (by index; -1 for all), in file order.
inline std::vector<StreamPacket> probe_stream(const std::string& path, int stream)
{
    const std::string select = stream < 0 ? "" : " -select_streams " + std::to_string(stream);
    const std::string command =
        "ffprobe -v error" + select + " -show_entries packet=pts_time,size,flags -of csv=p=0 '" + path + "'";
    std::vector<StreamPacket> out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        double pts = 0;
        long size = 0;
        char flags[16] = {};
        if (std::sscanf(line, "%lf,%ld,%15s", &pts, &size, flags) == 3)
            out.push_back({std::llround(pts * 1e7), size, flags[0] == 'K'});
    }
    pclose(pipe);
    return out;
}

inline CMediaType connected_type(SplitterGraph& g, int pin)
{
    return static_cast<CBasePin*>(g.splitter->GetPin(pin))->CurrentMediaType();
}

inline std::u16string pin_name(SplitterGraph& g, int pin) { return static_cast<CBasePin*>(g.splitter->GetPin(pin))->Name(); }

// Reconnects an output pin with the type it offers at this position.
inline void reconnect(SplitterGraph& g, int pin, int position)
{
    auto* out = static_cast<CBaseSplitterOutputPin*>(g.splitter->GetPin(pin));
    CMediaType mt;
    ASSERT_EQ(out->GetMediaType(position, &mt), S_OK);
    IPin* peer = out->GetConnected();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(SUCCEEDED(g.graph->Disconnect(peer)));
    ASSERT_TRUE(SUCCEEDED(g.graph->Disconnect(out)));
    ASSERT_EQ(g.graph->ConnectDirect(out, peer, &mt), S_OK);
}

// Runs the graph; true when it ended with completion or an error event in time.
inline bool ends_cleanly(SplitterGraph& g)
{
    if (FAILED(g.graph->Run())) return false;
    LONG code = 0;
    const bool ended = g.graph->WaitForCompletion(60000, &code) == S_OK && (code == EC_COMPLETE || code == EC_ERRORABORT);
    g.graph->Stop();
    return ended;
}

}
