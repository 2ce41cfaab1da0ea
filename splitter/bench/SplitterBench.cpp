// Demultiplexes a large FLV into null sinks and compares the rate with
// ffmpeg copying the same file's packets to its null muxer, in the same run.

#include "splitter/base/testing/ParserFilter.h"
#include "splitter/base/testing/SplitterGraph.h"
#include "splitter/flv/FlashParser.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds for one demultiplexing run into null sinks; negative on failure.
double splitter_run(const std::string& path, std::uint64_t& bytes)
{
    SplitterGraph g;
    const auto start = Clock::now();
    if (FAILED(g.open(path, ParserFilter::with<CFlashParser>(), plat::Payload::Drop))) return -1;
    if (!g.run_to_end(600000)) return -1;
    const double took = seconds_since(start);
    bytes = 0;
    for (const auto& sink : g.sinks) bytes += sink->byte_count();
    return took;
}

double ffmpeg_run(const std::string& path)
{
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -i '" + path + "' -c copy -f null -";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return seconds_since(start);
}

}

int main(int argc, char** argv)
{
    const std::string path = argc > 1 ? argv[1] : SPLITTER_BENCH_MEDIA;
    if (argc <= 1 && std::system(("'" SPLITTER_BENCH_SCRIPT "' '" + path + "'").c_str()) != 0) {
        std::fprintf(stderr, "could not make %s\n", path.c_str());
        return 1;
    }
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    constexpr int rounds = 3;
    double ours = 1e9, theirs = 1e9;
    std::uint64_t payload = 0;
    for (int i = 0; i < rounds; ++i) {
        const double s = splitter_run(path, payload);
        const double f = ffmpeg_run(path);
        if (s < 0 || f < 0) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        ours = std::min(ours, s);
        theirs = std::min(theirs, f);
    }
    std::printf("file: %s (%.1f MB, %.1f MB of packets)\n", path.c_str(), mb, static_cast<double>(payload) / 1e6);
    std::printf("splitter: %.1f MB/s\n", mb / ours);
    std::printf("ffmpeg -c copy -f null: %.1f MB/s\n", mb / theirs);
    std::printf("ratio (splitter / ffmpeg): %.2f\n", theirs / ours);
    return 0;
}
