// Demultiplexes large files (FLV, Matroska, MP4, a bare MPEG-4 Visual stream,
// RealMedia) into null sinks and compares each rate with ffmpeg copying the
// same file's packets to its null muxer, in the same run.

#include "splitter/base/testing/ParserFilter.h"
#include "splitter/base/testing/SplitterGraph.h"
#include "splitter/flv/FlashParser.h"
#include "splitter/matroska/MatroskaParser.h"
#include "splitter/mp4/MP4Parser.h"
#include "splitter/mpeg4/MPEG4VideoParser.h"
#include "splitter/realmedia/RMParser.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Case {
    const char* name;
    std::string path;
    ParserFilter* (*make_filter)();
    const char* ffmpeg_input;   // the demuxer ffmpeg is told to use, or empty to let it probe
};

// Seconds for one demultiplexing run into null sinks; negative on failure.
double splitter_run(const Case& c, std::uint64_t& bytes)
{
    SplitterGraph g;
    const auto start = Clock::now();
    if (FAILED(g.open(c.path, c.make_filter(), plat::Payload::Drop))) return -1;
    if (!g.run_to_end(600000)) return -1;
    const double took = seconds_since(start);
    bytes = 0;
    for (const auto& sink : g.sinks) bytes += sink->byte_count();
    return took;
}

double ffmpeg_run(const Case& c)
{
    const std::string command = std::string("ffmpeg -nostdin -hide_banner -loglevel error ") + c.ffmpeg_input +
                                " -i '" + c.path + "' -c copy -f null -";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return seconds_since(start);
}

// Best of three rounds each, alternating; false when a run failed.
bool measure(const Case& c)
{
    const double mb = static_cast<double>(std::filesystem::file_size(c.path)) / 1e6;
    double ours = 1e9, theirs = 1e9;
    std::uint64_t payload = 0;
    for (int i = 0; i < 3; ++i) {
        const double s = splitter_run(c, payload);
        const double f = ffmpeg_run(c);
        if (s < 0 || f < 0) {
            std::fprintf(stderr, "%s: a run failed\n", c.name);
            return false;
        }
        ours = std::min(ours, s);
        theirs = std::min(theirs, f);
    }
    std::printf("%s: %s (%.1f MB, %.1f MB of packets)\n", c.name, c.path.c_str(), mb, static_cast<double>(payload) / 1e6);
    std::printf("  splitter:               %.1f MB/s\n", mb / ours);
    std::printf("  ffmpeg -c copy -f null: %.1f MB/s\n", mb / theirs);
    std::printf("  ratio (splitter / ffmpeg): %.2f\n", theirs / ours);
    return true;
}

// The case for a file, by its extension.
Case case_for(const std::string& path)
{
    if (path.ends_with(".mkv")) return {"Matroska", path, &ParserFilter::with<CMatroskaParser>, ""};
    if (path.ends_with(".mp4")) return {"MP4", path, &ParserFilter::with<CMP4Parser>, ""};
    if (path.ends_with(".m4v")) return {"raw MPEG-4", path, &ParserFilter::with<CMPEG4VideoParser>, "-f m4v"};
    if (path.ends_with(".rm")) return {"RealMedia", path, &ParserFilter::with<CRMParser>, ""};
    return {"FLV", path, &ParserFilter::with<CFlashParser>, ""};
}

}

int main(int argc, char** argv)
{
    std::vector<std::string> files(argv + 1, argv + argc);
    if (files.empty()) {
        const std::string dir = SPLITTER_BENCH_MEDIA_DIR;
        if (std::system(("'" SPLITTER_BENCH_SCRIPT "' '" + dir + "'").c_str()) != 0) {
            std::fprintf(stderr, "could not make the media in %s\n", dir.c_str());
            return 1;
        }
        for (const char* name : {"bench-200mb.flv", "bench-200mb.mkv", "bench-200mb.mp4", "bench-720p.m4v", "bench.rm"})
            files.push_back(dir + "/" + name);
    }
    bool ok = true;
    for (const auto& file : files) ok = measure(case_for(file)) && ok;
    return ok ? 0 : 1;
}
