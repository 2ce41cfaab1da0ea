#pragma once
// The QuickTime test movies (tests/make-movies.sh), made on first use by
// ffmpeg and kept in the build folder, and what ffprobe says of a movie.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace qt {

// The path of a made movie; empty when ffmpeg failed.
inline std::string test_movie(const std::string& name)
{
    const std::string command = std::string("'") + QT_MOVIES_SCRIPT + "' '" + QT_MOVIES_DIR + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    return std::string(QT_MOVIES_DIR) + "/" + name;
}

// The presentation times of the decoded frames of a movie's first video
// stream, as ffprobe gives them (edit lists applied), in its time base.
struct ProbedFrames {
    std::int64_t time_scale = 0;   // the time base is 1 / time_scale
    std::vector<std::int64_t> times;
};

inline ProbedFrames probe_frames(const std::string& path)
{
    ProbedFrames out;
    const auto lines = [&](const std::string& entries, auto take) {
        const std::string command =
            "ffprobe -v error -select_streams v:0 -show_entries " + entries + " -of csv=p=0 '" + path + "'";
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) return;
        char line[128];
        while (std::fgets(line, sizeof line, pipe)) take(line);
        ::pclose(pipe);
    };
    lines("stream=time_base", [&](const char* line) {
        long long one = 0, scale = 0;
        if (std::sscanf(line, "%lld/%lld", &one, &scale) == 2 && one == 1) out.time_scale = scale;
    });
    lines("frame=pts", [&](const char* line) {
        long long pts = 0;
        if (std::sscanf(line, "%lld", &pts) == 1) out.times.push_back(pts);
    });
    return out;
}

}
