// Plays a 60 s 640x360 QuickTime movie (MPEG-4 video, 16-bit big-endian
// stereo sound) through the "QT Source" filter into null sinks, and times
// ffmpeg decoding the same movie to its null muxer (`ffmpeg -i f.mov -f null
// -`) in the same run. Prints frames a second for both and their ratio, best
// of three rounds each, alternating.

#include "platform/base/Utf.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/RecordingSink.h"
#include "qtsource/MossveilSourceFilter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using plat::ComPtr;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int frames = 60 * 30;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The movie, made once with ffmpeg; empty when ffmpeg failed.
std::string bench_movie()
{
    const std::string dir = MOSSVEIL_BENCH_DIR, path = dir + "/bench-640x360.mov";
    if (std::filesystem::exists(path)) return path;
    std::filesystem::create_directories(dir);
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=640x360:rate=30:duration=60 "
                                "-f lavfi -i sine=frequency=1000:sample_rate=44100:duration=60 -ac 2 -c:v mpeg4 -q:v 4 "
                                "-g 30 -c:a pcm_s16be '" + path + ".tmp.mov' && mv '" + path + ".tmp.mov' '" + path + "'";
    return std::system(command.c_str()) == 0 ? path : std::string();
}

IPin* find_pin(IBaseFilter* filter, const WCHAR* name)
{
    ComPtr<IPin> pin;
    return filter->FindPin(name, pin.put()) == S_OK ? pin.get() : nullptr;
}

// Seconds for one run of the filter to the end into null sinks; negative on failure.
double filter_run(const std::string& path)
{
    const auto start = Clock::now();
    ComPtr<MossveilSourceFilter> source(new MossveilSourceFilter());
    if (FAILED(source->Load(plat::utf8_to_utf16(path).c_str(), nullptr))) return -1;
    ComPtr<plat::FilterGraph> graph(new plat::FilterGraph());
    graph->AddFilter(source.get(), u"QT Source");
    ComPtr<plat::RecordingSink> video(new plat::RecordingSink(plat::Payload::Drop));
    ComPtr<plat::RecordingSink> audio(new plat::RecordingSink(plat::Payload::Drop));
    graph->AddFilter(video.get(), u"Video Sink");
    graph->AddFilter(audio.get(), u"Audio Sink");
    if (FAILED(graph->ConnectDirect(find_pin(source.get(), u"Video"), video->input(), nullptr)) ||
        FAILED(graph->ConnectDirect(find_pin(source.get(), u"Audio"), audio->input(), nullptr)))
        return -1;
    LONG code = 0;
    if (FAILED(graph->Run()) || FAILED(graph->WaitForCompletion(600000, &code)) || code != EC_COMPLETE) return -1;
    const double took = seconds_since(start);
    graph->Stop();
    if (video->sample_count() != frames) std::fprintf(stderr, "mossveil_bench: %zu frames\n", video->sample_count());
    return took;
}

double ffmpeg_run(const std::string& path)
{
    const auto start = Clock::now();
    const std::string command = "ffmpeg -nostdin -loglevel error -i '" + path + "' -f null -";
    if (std::system(command.c_str()) != 0) return -1;
    return seconds_since(start);
}

}

int main()
{
    const std::string path = bench_movie();
    if (path.empty()) {
        std::fprintf(stderr, "mossveil_bench: ffmpeg could not make the movie\n");
        return 1;
    }
    double ours = 1e9, theirs = 1e9;
    for (int round = 0; round < 3; ++round) {
        const double a = filter_run(path), b = ffmpeg_run(path);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "mossveil_bench: a run failed\n");
            return 1;
        }
        ours = std::min(ours, a);
        theirs = std::min(theirs, b);
    }
    std::printf("QT Source (YUY2, sound as PCM): %8.1f frames/s\n", frames / ours);
    std::printf("ffmpeg -f null:                 %8.1f frames/s\n", frames / theirs);
    std::printf("ratio (ours / ffmpeg):          %8.2f\n", theirs / ours);
    return 0;
}
