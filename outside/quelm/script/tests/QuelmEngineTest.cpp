#include "outside/quelm/script/QuelmEngine.h"

#include "engines/wemble/PlayTaskInfo.h"
#include "engines/wemble/tests/PlayTestSupport.h"
#include "outside/ostrel/tests/TestSupport.h"
#include "platform/base/Utf.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace play_test;

struct EngineRelease {
    void operator()(IBaseControl* e) const { quelm::release_scripted_engine(e); }
};
using EnginePtr = std::unique_ptr<IBaseControl, EngineRelease>;

PlayTaskInfo local_task(const std::filesystem::path& path)
{
    PlayTaskInfo t;
    t.local_path = plat::utf8_to_utf16(path.string());
    return t;
}

std::vector<LONG> codes(const std::vector<Heard>& heard)
{
    std::vector<LONG> out;
    for (const auto& h : heard)
        out.push_back(h.code);
    return out;
}

TEST(QuelmEngine, PlaysAScriptedFileAndReportsItsCourse)
{
    plat::TempFolder folder;
    std::ofstream(folder / "a", std::ios::binary) << scripted_media(3, 100, 1, 1);
    Listener listener;   // outlives the engine that calls it
    EnginePtr engine(quelm::create_scripted_engine());
    engine->SendCommand(CMD_ADD_LISTENER, &listener, nullptr, 0);
    auto task = local_task(folder / "a");
    EXPECT_EQ(engine->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0), 1);
    ASSERT_TRUE(listener.wait_code(EVT_END_PLAYING));
    EXPECT_EQ(codes(listener.heard()),
              (std::vector<LONG>{EVT_START_PLAYING, EVT_DURATION, EVT_RUNNING, EVT_POSITION, EVT_POSITION,
                                 EVT_POSITION, EVT_COMPLETE, EVT_END_PLAYING}));
    LONG state = -1;
    engine->SendCommand(CMD_GET_PLAY_STATE, &state, nullptr, 0);
    EXPECT_EQ(state, 3);
}

TEST(QuelmEngine, ItemsItCannotPlayFail)
{
    plat::TempFolder folder;
    std::ofstream(folder / "plain", std::ios::binary) << "no script line here\n";
    const struct {
        const char* name;
        PlayTaskInfo task;
        LONG result;
    } cases[] = {
        {"no script line", local_task(folder / "plain"), 1},
        {"missing file", local_task(folder / "absent"), -1},
        {"an address without a store", url_task("http://v/x.flv"), -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Listener listener;
        EnginePtr engine(quelm::create_scripted_engine());
        engine->SendCommand(CMD_ADD_LISTENER, &listener, nullptr, 0);
        EXPECT_EQ(engine->SendCommand(CMD_PLAY_NOW, const_cast<PlayTaskInfo*>(&c.task), nullptr, 0), c.result);
        EXPECT_TRUE(listener.wait_code(EVT_GRAPH_FAILED));
    }
}

TEST(QuelmEngine, PauseRunAndStopChangeThePlayState)
{
    plat::TempFolder folder;
    std::ofstream(folder / "long", std::ios::binary) << scripted_media(1000, 100, 5, 2);
    Listener listener;   // outlives the engine that calls it
    EnginePtr engine(quelm::create_scripted_engine());
    engine->SendCommand(CMD_ADD_LISTENER, &listener, nullptr, 0);
    auto task = local_task(folder / "long");
    engine->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
    ASSERT_TRUE(listener.wait_code(EVT_POSITION));
    const struct {
        LONG command;
        LONG event;
        LONG state;
    } steps[] = {{CMD_PAUSE, EVT_PAUSED, 2}, {CMD_RUN, EVT_RUNNING, 1}, {CMD_STOP, EVT_STOPPED, 3}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.command);
        engine->SendCommand(s.command, nullptr, nullptr, 0);
        EXPECT_TRUE(listener.wait_code(s.event, s.event == EVT_RUNNING ? 2 : 1));
        LONG state = -1;
        engine->SendCommand(CMD_GET_PLAY_STATE, &state, nullptr, 0);
        EXPECT_EQ(state, s.state);
    }
}

TEST(QuelmEngine, AStopWithNothingOpenIsStillAnswered)
{
    Listener listener;
    EnginePtr engine(quelm::create_scripted_engine());
    engine->SendCommand(CMD_ADD_LISTENER, &listener, nullptr, 0);
    engine->SendCommand(CMD_STOP, nullptr, nullptr, 0);
    EXPECT_TRUE(listener.wait_code(EVT_STOPPED));
    LONG state = -1;
    engine->SendCommand(CMD_GET_PLAY_STATE, &state, nullptr, 0);
    EXPECT_EQ(state, 0);
}

// A listener that answers an event with close and a new play, on the thread
// that delivers the event, must not wait on itself.
TEST(QuelmEngine, ListenerMayCloseAndPlayFromItsEvent)
{
    plat::TempFolder folder;
    std::ofstream(folder / "a", std::ios::binary) << scripted_media(2, 100, 1, 3);
    EnginePtr engine(quelm::create_scripted_engine());
    auto task = local_task(folder / "a");
    class Replay : public Listener {
    public:
        Replay(IBaseControl* e, PlayTaskInfo* t) : m_engine(e), m_task(t) {}
        LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override
        {
            if (code == EVT_COMPLETE && ++m_completions == 1) {
                m_engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
                m_engine->SendCommand(CMD_PLAY_NOW, m_task, nullptr, 0);
            }
            return Listener::OnEvent(sender, code, value, extra);
        }

    private:
        IBaseControl* m_engine;
        PlayTaskInfo* m_task;
        int m_completions = 0;   // event thread only
    } listener(engine.get(), &task);
    engine->SendCommand(CMD_ADD_LISTENER, &listener, nullptr, 0);
    engine->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
    EXPECT_TRUE(listener.wait_code(EVT_COMPLETE, 2));
    engine.reset();   // before the listener goes
}

}
