#include "components/common/regutil/ProgramKey.h"
#include "core/app/MainWindow.h"

#include "components/common/regutil/CUTILregEx.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "platform/window/Messages.h"
#include "toolkit/uimgr/MainWindowMessages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

// Notes what the window asked of the program, in order.
class HostDouble final : public MainWindowHost {
public:
    LRESULT Forward(UINT, WPARAM, LPARAM) override { return 0; }
    void Redraw() override {}
    void StopCompose() override { calls.push_back("stop compose"); }
    void CloseEngine() override { calls.push_back("close engine"); }
    void ResetDevice() override { calls.push_back("reset device"); }
    bool PostUICommand(int id) override { return calls.push_back("ui " + std::to_string(id)), true; }
    void CaptionDoubleClick() override { calls.push_back("caption"); }
    void PauseForTray() override { calls.push_back("pause"); }
    void ResumeFromTray() override { calls.push_back("resume"); }
    IPrefechManager* Prefetch() override { return nullptr; }
    void SaveSettings() override { calls.push_back("save settings"); }
    void DestroyController() override { calls.push_back("destroy controller"); }
    void DestroyTree() override { calls.push_back("destroy tree"); }

    std::vector<std::string> calls;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        window.emplace(host, [this](EXECUTION_STATE s) { return told.push_back(s), EXECUTION_STATE(0); },
                       ScreenSize{1280, 1024});
        MainWindow::RegisterMainWindowClass(nullptr);
        hwnd = CreateWindowExW(0, MainWindow::ClassName, u"Strimo", WS_POPUP, 0, 0, 1024, 600, nullptr, nullptr,
                               nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        drain();
        host.calls.clear();
    }
    void TearDown() override
    {
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
    }

    // Handles what is queued; the WM_QUIT code when one came.
    std::optional<int> drain()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return int(msg.wParam);
            DispatchMessageW(&msg);
        }
        return std::nullopt;
    }

    static void set_to_tray(std::optional<DWORD> value)
    {
        CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE);
        if (value)
            key.SetDWORD(u"ToTray", *value);
        else
            key.DeleteValue(u"ToTray");
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder runtime;
    plat::ScopedEnvironment runtime_variable{"STRIMO_RUNTIME_DIR", runtime.path().c_str()};
    plat::ScopedEnvironment no_session_bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"};
    HostDouble host;
    std::vector<EXECUTION_STATE> told;
    std::optional<MainWindow> window;
    HWND hwnd = nullptr;
};

TEST_F(MainWindowTest, TwoQueuedDeviceResetsRebuildOnceAndPostOneUICommand)
{
    PostMessageW(hwnd, WM_DEVICE_RESET, 0, 0);
    PostMessageW(hwnd, WM_DEVICE_RESET, 0, 0);
    drain();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"close engine", "reset device", "ui 41"}));
}

TEST_F(MainWindowTest, OnlyADoubleClickOnTheCaptionReachesTheController)
{
    const struct {
        UINT message;
        WPARAM hit;
        bool caption;
    } cases[] = {
        {WM_NCLBUTTONDBLCLK, HTCAPTION, true},
        {WM_NCLBUTTONDBLCLK, HTCLIENT, false},
        {WM_NCLBUTTONDOWN, HTCAPTION, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.message << " " << c.hit);
        host.calls.clear();
        SendMessageW(hwnd, c.message, c.hit, MAKELPARAM(10, 10));
        EXPECT_EQ(host.calls, c.caption ? std::vector<std::string>{"caption"} : std::vector<std::string>{});
    }
}

TEST_F(MainWindowTest, TheCloseButtonExitsUnlessToTraySaysHide)
{
    const struct {
        std::optional<DWORD> to_tray;
        bool exits;
    } cases[] = {{std::nullopt, true}, {0, true}, {1, false}, {5, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to_tray ? std::to_string(*c.to_tray) : "missing");
        if (!IsWindow(hwnd)) {
            window.reset();
            SetUp();
        }
        set_to_tray(c.to_tray);
        ShowWindow(hwnd, SW_SHOW);
        PostMessageW(hwnd, WM_CLOSE_BUTTON, 0, 0);
        const std::optional<int> quit = drain();
        EXPECT_EQ(quit.has_value(), c.exits);
        EXPECT_EQ(bool(IsWindow(hwnd)), !c.exits);
        if (!c.exits) {
            EXPECT_FALSE(IsWindowVisible(hwnd)) << "hidden in the tray";
        }
    }
}

TEST_F(MainWindowTest, ExitRunsOnceInItsOrderWhateverAsks)
{
    PostMessageW(hwnd, WM_KEEP_AWAKE, 2, 1);
    drain();
    told.clear();
    // Alt+X's command, then the session's end and the window's close arriving late.
    PostMessageW(hwnd, WM_COMMAND, 105, 0);
    PostMessageW(hwnd, WM_QUERYENDSESSION, 0, 0);
    EXPECT_EQ(drain(), 0);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"stop compose", "close engine", "save settings",
                                                    "destroy controller", "destroy tree"}));
    EXPECT_EQ(told, std::vector<EXECUTION_STATE>{ES_CONTINUOUS});
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(MainWindowTest, TheSessionMayEndAndEndsTheProgram)
{
    EXPECT_EQ(SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(drain(), 0);
    EXPECT_EQ(host.calls.back(), "destroy tree");
}

TEST_F(MainWindowTest, SuspendIsNeverRefusedAndAResumeClosesTheEngine)
{
    for (WPARAM query : {PBT_APMQUERYSUSPEND, PBT_APMQUERYSTANDBY})
        EXPECT_NE(SendMessageW(hwnd, WM_POWERBROADCAST, query, 0), BROADCAST_QUERY_DENY);
    EXPECT_TRUE(host.calls.empty());
    for (WPARAM resume : {PBT_APMRESUMECRITICAL, PBT_APMRESUMESUSPEND, PBT_APMRESUMESTANDBY})
        SendMessageW(hwnd, WM_POWERBROADCAST, resume, 0);
    EXPECT_EQ(host.calls, std::vector<std::string>(3, "close engine"));
}

TEST_F(MainWindowTest, KeepAwakeRequestsReachTheSystemOnlyAtTheEdges)
{
    const struct {
        WPARAM kind;
        LPARAM on;
        std::size_t told;
    } steps[] = {{2, 1, 1}, {7, 1, 1}, {2, 0, 1}, {7, 0, 2}, {7, -3, 2}, {8, 4, 3}};
    for (const auto& s : steps) {
        SendMessageW(hwnd, WM_KEEP_AWAKE, s.kind, s.on);
        EXPECT_EQ(told.size(), s.told) << "kind " << s.kind << " " << s.on;
    }
    EXPECT_EQ(told, (std::vector<EXECUTION_STATE>{ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED,
                                                  ES_CONTINUOUS,
                                                  ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED}));
}

TEST_F(MainWindowTest, TheTrayHidesAndShowsTheWindowPausingWhatPlays)
{
    ShowWindow(hwnd, SW_SHOW);
    window->ShowInTray(hwnd, true);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    PostMessageW(hwnd, WM_TRAY_NOTIFY, TrayIconId, WM_LBUTTONDBLCLK);
    drain();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"pause", "resume"}));
}

}
