#include "playback/devicesync/CTranscode.h"

#include "FakeEngine.h"

#include "platform/base/Utf.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using sync_test::EngineMaker;

namespace {

std::string contents(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

std::u16string wide(const std::string& text) { return plat::utf8_to_utf16(text); }

}  // namespace

TEST(CTranscode, StartSendsSourceTemporaryOutputAndRunOnly)
{
    plat::TempFolder dir;
    const std::string source = dir.path() + "/clip.flv";
    const std::string output = dir.path() + "/clip.mp4";
    const struct {
        const char* name;
        bool makes;
        LONG run_answer;
        std::u16string source;
        bool started;
        bool engine_made;
    } cases[] = {
        {"runs", true, 1, wide(source), true, true},
        {"the run is refused", true, -1, wide(source), false, true},
        {"no engine can be made", false, 1, wide(source), false, false},
        {"no source", true, 1, u"", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EngineMaker maker;
        maker.makes = c.makes;
        maker.run_answer = c.run_answer;
        {
            CTranscode transcode(maker.engine(), nullptr);
            EXPECT_EQ(transcode.Start(c.source, wide(output)), c.started);
            EXPECT_EQ(transcode.IsRunning(), c.engine_made);
            if (c.engine_made) {
                EXPECT_EQ(maker.last()->calls(), (std::vector<std::string>{"3", "12289 " + source,
                                                                           "28672 " + output + ".part", "4098"}));
            }
        }
        EXPECT_EQ(maker.released(), c.engine_made ? 1 : 0);
        if (c.engine_made) {
            EXPECT_EQ(maker.last()->calls().back(), "4") << "the listener goes before the engine";
        }
    }
}

TEST(CTranscode, PercentIsPositionOverDurationAndZeroWithoutADuration)
{
    plat::TempFolder dir;
    EngineMaker maker;
    CTranscode transcode(maker.engine(), nullptr);
    ASSERT_TRUE(transcode.Start(wide(dir.path() + "/a.flv"), wide(dir.path() + "/a.mp4")));
    sync_test::FakeEngine& engine = *maker.last();
    const struct {
        INT_PTR position;
        INT_PTR duration;
        int percent;
    } cases[] = {{5, 0, 0}, {5, -3, 0}, {0, 10, 0}, {5, 10, 50}, {10, 10, 100}, {1, 3, 33}, {12, 10, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.position) + "/" + std::to_string(c.duration));
        EXPECT_EQ(engine.raise(EVT_DURATION, c.duration), 0);
        EXPECT_EQ(engine.raise(EVT_POSITION, c.position), 0);
        EXPECT_EQ(transcode.Percent(), c.percent);
    }
    EXPECT_EQ(transcode.OnEvent(nullptr, EVT_POSITION, 1, 0), -1) << "another sender";
    EXPECT_EQ(transcode.OnEvent(&dir, EVT_COMPLETE, 0, 0), -1);
    EXPECT_EQ(transcode.GetOutcome(), CTranscode::Outcome::Running);
}

// The download may already carry the output's name: the source stays whole
// until the engine has finished, and a failed run leaves it as it was.
TEST(CTranscode, TheOutputReplacesNothingUntilTheRunCompleted)
{
    const struct {
        const char* name;
        LONG end;
        CTranscode::Outcome outcome;
        bool finished;
        const char* left;
    } cases[] = {
        {"completed", EVT_COMPLETE, CTranscode::Outcome::Completed, true, "transcoded"},
        {"failed", EVT_GRAPH_FAILED, CTranscode::Outcome::Failed, false, "source"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        plat::TempFolder dir;
        const std::string path = dir.path() + "/clip.mp4";
        std::ofstream(path) << "source";
        EngineMaker maker;
        int ended = 0;
        CTranscode transcode(maker.engine(), [&] { ++ended; });
        ASSERT_TRUE(transcode.Start(wide(path), wide(path)));
        EXPECT_EQ(contents(path), "source");
        maker.last()->raise(c.end);
        maker.last()->raise(EVT_COMPLETE);
        maker.last()->raise(EVT_GRAPH_FAILED);
        EXPECT_EQ(ended, 1) << "one end per run";
        EXPECT_EQ(transcode.GetOutcome(), c.outcome);
        EXPECT_TRUE(transcode.Stop());
        EXPECT_EQ(transcode.Finish(), c.finished);
        EXPECT_EQ(contents(path), c.left);
        EXPECT_FALSE(std::filesystem::exists(path + ".part"));
        const auto calls = maker.last()->calls();
        EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()), (std::vector<std::string>{"4100", "4097"}));
    }
    EngineMaker maker;
    CTranscode idle(maker.engine(), nullptr);
    EXPECT_FALSE(idle.Stop()) << "no engine";
    EXPECT_FALSE(idle.Finish());
}
