#include "engines/mediagraph/testing/EventLog.h"
#include "engines/orvane/Orvane.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/script/testing/ModuleTesting.h"
#include "splitter/base/testing/TestMedia.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

std::string text_of(const std::string& command)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

double probed_duration(const std::string& path, const char* entries = "format=duration")
{
    return std::atof(text_of(std::string("ffprobe -v error -show_entries ") + entries + " -of csv=p=0 '" + path + "'").c_str());
}

// Every registered module the transcode reads and writes through, in a
// temporary registry.
class RealTranscode : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {FILTERS_MODULE, QUANDREL_MODULE, MOSSVEIL_MODULE}));
        ASSERT_NE(engine, nullptr);
    }
    void TearDown() override { ReleaseOrvaneInstance(engine); }

    // Runs the transcode to its end, heard by `log`: 4103 or 4104 (0 when it
    // neither starts nor ends), then closes the graph.
    LONG transcode(const std::string& in, const std::string& out, fakes::EventLog& log)
    {
        engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);
        std::u16string source = plat::utf8_to_utf16(in), output = plat::utf8_to_utf16(out);
        engine->SendCommand(CMD_SOURCE, source.data(), nullptr, 0);
        engine->SendCommand(CMD_OUTPUT, output.data(), nullptr, 0);
        LONG ended = 0;
        if (engine->SendCommand(CMD_RUN, nullptr, nullptr, 0) == 1)
            log.wait_for_any({EVT_COMPLETE, EVT_GRAPH_FAILED}, 240000, &ended);
        engine->SendCommand(CMD_GET_MEDIA_KIND, &kind, nullptr, 0);
        engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
        engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);
        return ended;
    }

    LONG kind{0};   // the splitter kind of the last transcode
    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    IBaseControl* engine = CreateOrvaneInstance();
};

}

TEST_F(RealTranscode, EachSourceFormatBecomesAnMp4OfItsLength)
{
    const struct {
        const char* clip;
        LONG kind;
    } clips[] = {{"h263-mp3.flv", 3}, {"h264-aac.flv", 3}, {"mpeg4-mp3.mkv", 3},
                 {"h264-aac.mp4", 3}, {"rv20-ac3.rm", 3},  {"h264-aac.mov", 3}};
    for (const auto& c : clips) {
        SCOPED_TRACE(c.clip);
        const std::string in = test_media(c.clip);
        const std::string out = folder / (std::string(c.clip) + ".mp4");
        fakes::EventLog run;
        EXPECT_EQ(transcode(in, out, run), EVT_COMPLETE);
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(run.count(EVT_COMPLETE), 1u);
        EXPECT_EQ(run.count(EVT_GRAPH_FAILED), 0u);
        EXPECT_GE(run.count(EVT_DURATION), 1u);
        EXPECT_GE(run.count(EVT_POSITION), 1u);
        const std::string streams =
            text_of("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + out + "'");
        EXPECT_EQ(streams, "h264\naac\n");
        EXPECT_NEAR(probed_duration(out), probed_duration(in), 0.15);
        const INT_PTR whole_seconds = static_cast<INT_PTR>(probed_duration(in));
        for (const auto& e : run.events())
            if (e.code == EVT_DURATION) {
                EXPECT_EQ(e.value, whole_seconds);
            }
    }
}

namespace {

// Cuts the source to half its length once the graph runs: the splitter has
// read its header and first samples, the rest is gone when it comes to them.
class CutWhenRunning final : public IBaseEventHandler {
public:
    explicit CutWhenRunning(std::string path) : m_path(std::move(path)) {}
    LONG OnEvent(void*, LONG code, INT_PTR, INT_PTR) override
    {
        if (code == EVT_RUNNING) std::filesystem::resize_file(m_path, std::filesystem::file_size(m_path) / 2);
        return 0;
    }

private:
    const std::string m_path;
};

// Files of this process may grow no larger than `bytes` while it stands:
// a write beyond fails (EFBIG) rather than raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit limit{bytes, m_old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, SIG_DFL);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
};

}

TEST_F(RealTranscode, ASourceCutHalfWayEndsTheFileWhereTheSourceEnds)
{
    // The splitter takes a source that ends early for its end: the output holds what was there.
    const std::string source = folder / "long.mkv";
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=20 "
                           "-f lavfi -i sine=duration=20 -c:v libx264 -preset ultrafast -c:a aac '" + source + "'").c_str()),
              0);
    CutWhenRunning cutter(source);
    engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(&cutter), nullptr, 0);
    fakes::EventLog run;
    const std::string out = folder / "out.mp4";
    EXPECT_EQ(transcode(source, out, run), EVT_COMPLETE);
    engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(&cutter), nullptr, 0);
    const double length = probed_duration(out);
    EXPECT_GT(length, 1.0);
    EXPECT_LT(length, 15.0);
}

TEST_F(RealTranscode, AnOutputThatBreaksHalfWayFailsTheRun)
{
    fakes::EventLog run;
    LONG ended = 0;
    {
        FileSizeLimit limit(96 * 1024);   // the header fits, the pictures do not
        ended = transcode(test_media("h264-aac.flv"), folder / "out.mp4", run);
    }
    EXPECT_EQ(ended, EVT_GRAPH_FAILED);
    EXPECT_EQ(run.count(EVT_COMPLETE), 0u);
}

TEST_F(RealTranscode, AnOutputThatCannotBeWrittenFailsTheRun)
{
    fakes::EventLog run;
    EXPECT_EQ(transcode(test_media("h264-aac.flv"), folder / "no-such-folder/out.mp4", run), 0);
    EXPECT_EQ(run.count(EVT_GRAPH_FAILED), 1u);
    LONG state = -1;
    engine->SendCommand(CMD_GET_PLAY_STATE, &state, nullptr, 0);
    EXPECT_EQ(state, 0);
}
