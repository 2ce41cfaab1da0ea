#pragma once
// What the parsers' fuzz targets share: the bytes as a file, played the way
// the program plays it (file source -> splitter with the parser -> one sink
// per output pin), to the end, then again from the middle. Every run must end
// with completion or an error event well within libFuzzer's time-out.

#include "platform/fs/testing/TempFolder.h"
#include "splitter/base/testing/ParserFilter.h"
#include "splitter/base/testing/SplitterGraph.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace splitter_testing {

// False when the graph neither completed nor failed in time.
inline bool plays_to_an_end(SplitterGraph& g)
{
    constexpr LONG most_ms = 5000;
    if (FAILED(g.graph->Run())) return true;   // refusing to run is an answer too
    LONG code = 0;
    const bool ended = g.graph->WaitForCompletion(most_ms, &code) == S_OK && (code == EC_COMPLETE || code == EC_ERRORABORT);
    g.graph->Stop();
    return ended;
}

inline void run_parser(const std::uint8_t* data, std::size_t size, const ParserFilter::MakeParser& make)
{
    static const plat::TempFolder folder;
    const std::string path = folder / "input";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
    SplitterGraph g;
    if (FAILED(g.open(path, new ParserFilter(make), plat::Payload::Drop))) return;
    LONGLONG duration = 0;
    g.splitter->GetDuration(&duration);
    LONGLONG middle = duration / 2;
    if (!plays_to_an_end(g) || FAILED(g.graph->SetPositions(&middle, AM_SEEKING_AbsolutePositioning, nullptr, 0)) ||
        !plays_to_an_end(g)) {
        std::fprintf(stderr, "parser fuzzer: the graph did not end\n");
        std::abort();
    }
}

}
