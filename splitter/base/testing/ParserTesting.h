#pragma once
// What parser tests share: files written into a
// temporary folder, graphs over them, and ffprobe's view of one stream.

#include "platform/base/Utf.h"
#include "platform/dshow/AsyncFileSource.h"
#include "platform/dshow/BasePin.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/fs/testing/TempFolder.h"
#include "splitter/base/testing/ByteBuilder.h"
#include "splitter/base/testing/ParserFilter.h"
#include "splitter/base/testing/SplitterGraph.h"
#include "splitter/base/testing/TestMedia.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace splitter_testing {

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

// A file's reader, for tests of a parser's file class alone.
struct FileReader {
    explicit FileReader(const std::string& path) : source(new plat::AsyncFileSource())
    {
        if (SUCCEEDED(source->Load(plat::utf8_to_utf16(path).c_str(), nullptr)))
            source->GetPin(0)->QueryInterface(IID_IAsyncReader, reader.put_void());
    }
    plat::ComPtr<plat::AsyncFileSource> source;
    plat::ComPtr<IAsyncReader> reader;   // null when the file could not be opened
};

// Damaged copies of a file: cut at each eighth, each of the given bytes
// flipped, and a run of flipped bytes from a third of the way in.
inline std::vector<std::pair<std::string, Bytes>> damaged_copies(const Bytes& whole, std::vector<std::size_t> flip)
{
    std::vector<std::pair<std::string, Bytes>> out;
    for (int eighth = 1; eighth < 8; ++eighth)
        out.emplace_back("cut at " + std::to_string(eighth) + "/8",
                         Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * eighth / 8)));
    for (std::size_t at = whole.size() / 3; at < whole.size() / 3 + 6000 && at < whole.size(); at += 397) flip.push_back(at);
    for (std::size_t at : flip) {
        if (at >= whole.size()) continue;
        Bytes b = whole;
        b[at] ^= 0xFF;
        out.emplace_back("flipped byte " + std::to_string(at), b);
    }
    return out;
}

// A copy with one to eight random changes: a new byte, a flipped bit, an
// extreme byte, or the end cut off.
inline Bytes randomly_damaged(const Bytes& clean, std::mt19937& random)
{
    Bytes b = clean;
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes && !b.empty(); ++i) {
        const std::size_t at = random() % b.size();
        switch (random() % 4) {
        case 0: b[at] = static_cast<BYTE>(random()); break;
        case 1: b[at] ^= static_cast<BYTE>(1u << (random() % 8)); break;
        case 2: b[at] = random() % 2 ? 0xFF : 0x00; break;
        default: b.resize(at + 1); break;
        }
    }
    return b;
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

// Each damaged file is refused at open, or plays to completion or an error event.
inline void expect_each_ends_cleanly(const plat::TempFolder& dir, const std::vector<std::pair<std::string, Bytes>>& files,
                                     const ParserFilter::MakeParser& make)
{
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        SplitterGraph g;
        if (FAILED(g.open(write_file(dir, "damaged", bytes), new ParserFilter(make)))) continue;
        EXPECT_TRUE(ends_cleanly(g));
    }
}

// Hands read(reader) randomly damaged copies of clean for a few seconds (a
// fixed seed, so a failure repeats); returns how many it made.
inline int for_random_damage(const Bytes& clean, const std::function<void(IAsyncReader*)>& read)
{
    plat::TempFolder dir;
    std::mt19937 random(20261210);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int runs = 0;
    for (; runs < 3000 && std::chrono::steady_clock::now() < deadline; ++runs) {
        FileReader f(write_file(dir, "fuzz", randomly_damaged(clean, random)));
        if (!f.reader) break;
        read(f.reader.get());
    }
    return runs;
}

}
