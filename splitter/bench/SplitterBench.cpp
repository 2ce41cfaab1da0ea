// Demultiplexes large files into null sinks and compares the rate with
// ffmpeg copying the same file's packets to its null muxer, in the same run:
// a 200 MB FLV and the same streams in Matroska, and a RealMedia file.

#include "splitter/base/testing/ParserFilter.h"
#include "splitter/base/testing/SplitterGraph.h"
#include "splitter/flv/FlashParser.h"
#include "splitter/matroska/MatroskaParser.h"
#include "splitter/realmedia/RMParser.h"

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

ParserFilter* filter_for(const std::string& path)
{
    if (path.ends_with(".mkv")) return ParserFilter::with<CMatroskaParser>();
    if (path.ends_with(".rm")) return ParserFilter::with<CRMParser>();
    return ParserFilter::with<CFlashParser>();
}

// Seconds for one demultiplexing run into null sinks; negative on failure.
double splitter_run(const std::string& path, std::uint64_t& bytes)
{
    SplitterGraph g;
    const auto start = Clock::now();
    if (FAILED(g.open(path, filter_for(path), plat::Payload::Drop))) return -1;
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

// Best of three rounds each; false when a run failed.
bool bench(const std::string& path)
{
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    constexpr int rounds = 3;
    double ours = 1e9, theirs = 1e9;
    std::uint64_t payload = 0;
    for (int i = 0; i < rounds; ++i) {
        const double s = splitter_run(path, payload);
        const double f = ffmpeg_run(path);
        if (s < 0 || f < 0) {
            std::fprintf(stderr, "%s: a run failed\n", path.c_str());
            return false;
        }
        ours = std::min(ours, s);
        theirs = std::min(theirs, f);
    }
    std::printf("file: %s (%.1f MB, %.1f MB of packets)\n", path.c_str(), mb, static_cast<double>(payload) / 1e6);
    std::printf("  splitter: %.1f MB/s\n", mb / ours);
    std::printf("  ffmpeg -c copy -f null: %.1f MB/s\n", mb / theirs);
    std::printf("  ratio (splitter / ffmpeg): %.2f\n", theirs / ours);
    return true;
}

}

int main(int argc, char** argv)
{
    if (argc > 1) return bench(argv[1]) ? 0 : 1;
    const std::string dir = SPLITTER_BENCH_MEDIA;
    if (std::system(("'" SPLITTER_BENCH_SCRIPT "' '" + dir + "'").c_str()) != 0) {
        std::fprintf(stderr, "could not make the files in %s\n", dir.c_str());
        return 1;
    }
    bool ok = true;
    for (const char* name : {"bench-200mb.flv", "bench-200mb.mkv", "bench.rm"}) ok = bench(dir + "/" + name) && ok;
    return ok ? 0 : 1;
}
