#include "Recorder.h"

#include "platform/window/Messages.h"
#include "platform/window/Power.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <thread>

namespace {

class Power : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_dummy_video();
        register_class(u"PowerTest", recording_proc, 0);
        m_hwnd = CreateWindowExW(0, u"PowerTest", u"power test", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        drain();
        received().clear();
    }
    void TearDown() override { DestroyWindow(m_hwnd); }

    HWND m_hwnd = nullptr;
};

}

TEST_F(Power, TheScreenSaverRunsUnlessAContinuousStateAsksForTheDisplay)
{
    EXPECT_TRUE(SDL_IsScreenSaverEnabled()) << "SDL's own default would keep the display on for the whole run";
    const struct {
        EXECUTION_STATE flags;
        EXECUTION_STATE before;
        bool saver_after;
    } steps[] = {
        {ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED, ES_CONTINUOUS, false},
        {ES_DISPLAY_REQUIRED, ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED, false},   // a one-off: no change
        {ES_CONTINUOUS, ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED, true},
        {ES_CONTINUOUS | ES_SYSTEM_REQUIRED, ES_CONTINUOUS, true},   // the system awake, the display free to sleep
        {ES_CONTINUOUS, ES_CONTINUOUS | ES_SYSTEM_REQUIRED, true},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << std::hex << s.flags);
        EXPECT_EQ(SetThreadExecutionState(s.flags), s.before);
        EXPECT_EQ(bool(SDL_IsScreenSaverEnabled()), s.saver_after);
    }
}

TEST_F(Power, ARequestToEndTheProgramAsksEveryWindowWhetherTheSessionMayEnd)
{
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_TRUE(wait_for_message({WM_QUERYENDSESSION, 0, 0}));
    received().clear();
    // SDL turns SIGTERM into the same event.
    std::raise(SIGTERM);
    EXPECT_TRUE(wait_for_message({WM_QUERYENDSESSION, 0, 0}));
    EXPECT_EQ(DefWindowProcW(m_hwnd, WM_QUERYENDSESSION, 0, 0), TRUE);
}
