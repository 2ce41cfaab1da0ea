#include "engines/mediagraph/testing/EventLog.h"
#include "engines/orvane/Orvane.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/script/testing/ModuleTesting.h"
#include "splitter/base/testing/TestMedia.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

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

TEST_F(RealTranscode, ASourceBrokenHalfWayFailsTheRun)
{
    const std::string in = test_media("h264-aac.mp4");
    const std::string cut = folder / "cut.mp4";
    std::filesystem::copy_file(in, cut);
    // The index still promises the samples of the lost half.
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    fakes::EventLog run;
    EXPECT_EQ(transcode(cut, folder / "out.mp4", run), EVT_GRAPH_FAILED);
    EXPECT_EQ(run.count(EVT_COMPLETE), 0u);
}
