// The program end to end on an X server that xvfb-run starts for the run:
// with no display it says how to start; the window maps; a second start
// brings the first forward from the tray and ends; a start after the first
// was killed is the first again; Alt+X ends it with 0. The first frame of the
// real start-up is saved as artifacts/strimo-main.png.

#include "core/app/testing/FreshProfile.h"
#include "core/app/testing/ProgramUnderTest.h"
#include "core/app/testing/Screen.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/window/testing/PrivateBus.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using app_testing::FreshProfile;
using app_testing::ProgramUnderTest;
using app_testing::Screen;
using app_testing::wait_until;

class Smoke : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(app_testing::program_path(), nullptr) << "STRIMO_EXE names the program";
        ASSERT_TRUE(screen.open()) << "run under xvfb-run";
    }
    Screen::WindowId wait_for_window(std::chrono::seconds limit = 120s)
    {
        Screen::WindowId w = 0;
        wait_until([&] { return screen.viewable(w = screen.main_window()); }, limit);
        return screen.viewable(w) ? w : 0;
    }

    FreshProfile profile;
    Screen screen;
};

TEST(SmokeNoDisplay, SaysHowToStartWithoutADesktopAndEnds)
{
    ASSERT_NE(app_testing::program_path(), nullptr);
    plat::TempFolder folder;
    plat::ScopedEnvironment display("DISPLAY", nullptr), wayland("WAYLAND_DISPLAY", nullptr),
        driver("SDL_VIDEODRIVER", nullptr), home("HOME", folder.path().c_str());
    ProgramUnderTest strimo({}, folder / "err.txt");
    EXPECT_EQ(strimo.wait(60s), 1);
    std::ifstream err(folder / "err.txt");
    std::string line, extra;
    std::getline(err, line);
    EXPECT_NE(line.find("xvfb-run -a scripts/run"), std::string::npos) << line;
    EXPECT_FALSE(std::getline(err, extra)) << "one line: " << extra;
    EXPECT_FALSE(std::filesystem::exists(folder / ".local/share/Corvalen")) << "nothing was made";
}

TEST_F(Smoke, ASecondStartBringsTheFirstOutOfTheTrayAndAltXEndsIt)
{
    PrivateBus session;
    plat::ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", session.address().c_str());
    WatcherDouble tray(session);
    FreshProfile::set_value(u"AutoRun", 1);
    ProgramUnderTest first({"/ToTrayIcon"});
    ASSERT_TRUE(wait_until([&] { return !tray.registered().empty(); }, 120s)) << "the tray icon never came";
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(screen.viewable(screen.main_window())) << "started in the tray";
    ProgramUnderTest second({"/ToTrayIcon"});
    EXPECT_EQ(second.wait(60s), 0);
    const Screen::WindowId w = wait_for_window(30s);
    ASSERT_NE(w, 0u) << "the second start brought the first forward";
    std::this_thread::sleep_for(2s);   // its first frames
    EXPECT_TRUE(screen.save(w, app_testing::artifact_path("strimo-main.png")));
    screen.press(w, {XK_Alt_L, XK_x});
    EXPECT_EQ(first.wait(60s), 0);
}

TEST_F(Smoke, AStartAfterTheFirstWasKilledIsTheFirstAgain)
{
    plat::ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    std::optional<ProgramUnderTest> killed(std::in_place, std::vector<std::string>{});
    ASSERT_NE(wait_for_window(), 0u);
    killed->kill_hard();
    wait_until([&] { return screen.main_window() == 0; }, 10s);
    ProgramUnderTest next({});
    const Screen::WindowId w = wait_for_window();
    ASSERT_NE(w, 0u) << "it made its own window";
    screen.press(w, {XK_Alt_L, XK_x});
    EXPECT_EQ(next.wait(60s), 0);
}

}
