// orvane_bench [FLV]: a 60 s 640x360 FLV (H.264 and AAC, made once with ffmpeg
// into the build folder unless one is given) transcoded to an MP4 through the
// transcode engine's exports, and in the same run by `ffmpeg -i` with the same
// encoders, settings and muxer. Prints both times (best of three, alternating)
// and their ratio.

#include "components/common/controlengine/IBaseEventHandler.h"
#include "engines/orvane/Orvane.h"
#include "platform/base/Utf.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "platform/script/testing/ModuleTesting.h"
#include "platform/sync/Event.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class Ending final : public IBaseEventHandler {
public:
    LONG OnEvent(void*, LONG code, INT_PTR, INT_PTR) override
    {
        if (code == EVT_COMPLETE || code == EVT_GRAPH_FAILED) {
            m_code = code;
            m_ended.set();
        }
        return 0;
    }
    LONG wait()
    {
        m_ended.wait();
        return m_code;
    }

private:
    std::atomic<LONG> m_code{0};
    plat::Event m_ended{plat::EventReset::Manual, plat::EventState::Clear};
};

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds, or a negative value when the transcode failed.
double through_orvane(const std::string& in, const std::string& out)
{
    IBaseControl* engine = CreateOrvaneInstance();
    if (engine == nullptr) return -1;
    Ending ending;
    engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(&ending), nullptr, 0);
    std::u16string source = plat::utf8_to_utf16(in), output = plat::utf8_to_utf16(out);
    const auto start = std::chrono::steady_clock::now();
    engine->SendCommand(CMD_SOURCE, source.data(), nullptr, 0);
    engine->SendCommand(CMD_OUTPUT, output.data(), nullptr, 0);
    LONG code = 0;
    if (engine->SendCommand(CMD_RUN, nullptr, nullptr, 0) == 1) code = ending.wait();
    engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);   // the file is finished before this returns
    const double took = seconds_since(start);
    engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(&ending), nullptr, 0);
    ReleaseOrvaneInstance(engine);
    return code == EVT_COMPLETE ? took : -1;
}

// The engine's defaults: H.264 Baseline (veryfast, no B-frames, 250-frame
// groups) at 768 kbit/s, AAC-LC 44.1 kHz stereo at 128 kbit/s, the ipod muxer.
double through_ffmpeg(const std::string& in, const std::string& out)
{
    const std::string command = "ffmpeg -nostdin -loglevel error -y -i '" + in +
                                "' -c:v libx264 -profile:v baseline -preset veryfast -b:v 768k -bf 0 -g 250"
                                " -pix_fmt yuv420p -c:a aac -profile:a aac_low -b:a 128k -ar 44100 -ac 2 -f ipod '" +
                                out + "'";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double took = seconds_since(start);
    return status == 0 ? took : -1;
}

std::string bench_media()
{
    const std::string path = std::string(ORVANE_BENCH_DIR) + "/bench-640x360-60s.flv";
    if (std::filesystem::exists(path)) return path;
    std::filesystem::create_directories(ORVANE_BENCH_DIR);
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=640x360:rate=25:duration=60"
                                " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=60 -c:v libx264 -preset fast"
                                " -b:v 1200k -c:a aac -b:a 128k -f flv '" + path + ".tmp' && mv '" + path + ".tmp' '" + path + "'";
    return std::system(command.c_str()) == 0 ? path : std::string();
}

}

int main(int argc, char** argv)
{
    const std::string in = argc > 1 ? argv[1] : bench_media();
    if (in.empty()) {
        std::fprintf(stderr, "orvane_bench: cannot make the bench clip\n");
        return 1;
    }
    plat::TemporaryRegistry registry;
    if (!plat::register_modules(STRIMO_REGSVR, {FILTERS_MODULE, QUANDREL_MODULE, MOSSVEIL_MODULE})) {
        std::fprintf(stderr, "orvane_bench: the filter modules do not register\n");
        return 1;
    }
    plat::TempFolder folder;
    double orvane = 1e9, ffmpeg = 1e9;
    for (int round = 0; round < 3; ++round) {
        const double a = through_orvane(in, folder / "orvane.mp4");
        const double b = through_ffmpeg(in, folder / "ffmpeg.mp4");
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "orvane_bench: a transcode failed (orvane %.2f, ffmpeg %.2f)\n", a, b);
            return 1;
        }
        orvane = std::min(orvane, a);
        ffmpeg = std::min(ffmpeg, b);
    }
    std::printf("%s\n  orvane  %7.2f s\n  ffmpeg  %7.2f s\n  ratio   %7.2f (orvane / ffmpeg)\n", in.c_str(), orvane, ffmpeg,
                orvane / ffmpeg);
    return 0;
}
