// The program end to end on an X server that xvfb-run starts for the run:
// with no display it says how to start; the window maps; a second start
// brings the first forward from the tray and ends; a start after the first
// was killed is the first again; Alt+X ends it with 0. The first frame of the
// real start-up is saved as artifacts/strimo-main.png.

#include "components/common/regutil/CUTILregEx.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "platform/window/testing/PrivateBus.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

// Last: Xlib's macros (None, Bool, Status) would rename what the headers above declare.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

const char* exe() { return std::getenv("STRIMO_EXE"); }

bool wait_until(const std::function<bool()>& done, std::chrono::seconds limit)
{
    for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(50ms))
        if (done())
            return true;
    return done();
}

class Process {
public:
    // Standard error goes to err_file when given.
    explicit Process(std::vector<std::string> args, const std::string& err_file = {})
    {
        args.insert(args.begin(), exe());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!err_file.empty())
            posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&m_pid, exe(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Process()
    {
        if (m_pid && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    // The exit code, when it ended within the limit (-1: by a signal).
    std::optional<int> wait(std::chrono::seconds limit)
    {
        wait_until([&] { return reap(); }, limit);
        if (!m_status)
            return std::nullopt;
        return WIFEXITED(*m_status) ? WEXITSTATUS(*m_status) : -1;
    }
    void kill_hard()
    {
        ::kill(m_pid, SIGKILL);
        wait(10s);
    }

private:
    bool reap()
    {
        int status = 0;
        if (!m_status && m_pid && ::waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_status = status;
        return m_status.has_value();
    }

    pid_t m_pid = 0;
    std::optional<int> m_status;
};

class Screen {
public:
    Screen() : m_display(XOpenDisplay(nullptr)) {}
    ~Screen()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool open() const { return m_display != nullptr; }

    // The program's top-level window, by its title; 0 when there is none.
    Window main_window()
    {
        Window root = DefaultRootWindow(m_display), parent = 0, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(m_display, root, &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !found; ++i) {
                char* name = nullptr;
                if (XFetchName(m_display, children[i], &name) && name && std::string(name) == "Strimo")
                    found = children[i];
                XFree(name);
            }
            XFree(children);
        }
        return found;
    }
    bool viewable(Window w)
    {
        XWindowAttributes a{};
        return w && XGetWindowAttributes(m_display, w, &a) && a.map_state == IsViewable;
    }
    // Moves the pointer over the window and presses keys together.
    void press(Window w, std::initializer_list<KeySym> keys)
    {
        XWindowAttributes a{};
        XGetWindowAttributes(m_display, w, &a);
        XTestFakeMotionEvent(m_display, -1, a.x + a.width / 2, a.y + a.height / 2, 0);
        XSetInputFocus(m_display, w, RevertToParent, CurrentTime);
        for (KeySym k : keys)
            XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, k), True, 0);
        for (auto k = std::rbegin(keys); k != std::rend(keys); ++k)
            XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, *k), False, 0);
        XFlush(m_display);
    }
    // What the window shows, as a PNG; false when it cannot be read.
    bool save(Window w, const std::string& path)
    {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(m_display, w, &a))
            return false;
        XImage* image = XGetImage(m_display, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
        if (!image)
            return false;
        cairo_surface_t* png = cairo_image_surface_create(CAIRO_FORMAT_RGB24, a.width, a.height);
        auto* pixels = cairo_image_surface_get_data(png);
        const int stride = cairo_image_surface_get_stride(png);
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x)
                reinterpret_cast<std::uint32_t*>(pixels + y * stride)[x] = std::uint32_t(XGetPixel(image, x, y));
        cairo_surface_mark_dirty(png);
        const bool saved = cairo_surface_write_to_png(png, path.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(png);
        XDestroyImage(image);
        return saved;
    }

private:
    Display* m_display;
};

class Smoke : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(exe(), nullptr) << "STRIMO_EXE names the program";
        ASSERT_TRUE(screen.open()) << "run under xvfb-run";
    }
    static void set_value(const char16_t* name, DWORD value)
    {
        CUTILregEx(HKEY_CURRENT_USER, u"Software\\Corvalen\\Strimo", KEY_READ | KEY_WRITE).SetDWORD(name, value);
    }
    Window wait_for_window(std::chrono::seconds limit = 120s)
    {
        Window w = 0;
        wait_until([&] { return screen.viewable(w = screen.main_window()); }, limit);
        return screen.viewable(w) ? w : 0;
    }

    plat::TempFolder home;
    plat::ScopedEnvironment home_variable{"HOME", home.path().c_str()};
    plat::ScopedEnvironment data{"XDG_DATA_HOME", (home / "data").c_str()};
    plat::ScopedEnvironment runtime{"STRIMO_RUNTIME_DIR", (home / "run").c_str()};
    plat::ScopedEnvironment sound{"SDL_AUDIODRIVER", "dummy"};
    plat::TemporaryRegistry registry;
    Screen screen;
};

TEST(SmokeNoDisplay, SaysHowToStartWithoutADesktopAndEnds)
{
    ASSERT_NE(exe(), nullptr);
    plat::TempFolder folder;
    plat::ScopedEnvironment display("DISPLAY", nullptr), wayland("WAYLAND_DISPLAY", nullptr),
        driver("SDL_VIDEODRIVER", nullptr), home("HOME", folder.path().c_str());
    Process strimo({}, folder / "err.txt");
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
    set_value(u"AutoRun", 1);
    Process first({"/ToTrayIcon"});
    ASSERT_TRUE(wait_until([&] { return !tray.registered().empty(); }, 120s)) << "the tray icon never came";
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(screen.viewable(screen.main_window())) << "started in the tray";
    Process second({"/ToTrayIcon"});
    EXPECT_EQ(second.wait(60s), 0);
    const Window w = wait_for_window(30s);
    ASSERT_NE(w, 0u) << "the second start brought the first forward";
    std::this_thread::sleep_for(2s);   // its first frames
    const std::string artifacts = std::getenv("STRIMO_ARTIFACTS") ? std::getenv("STRIMO_ARTIFACTS") : ".";
    std::filesystem::create_directories(artifacts);
    EXPECT_TRUE(screen.save(w, artifacts + "/strimo-main.png"));
    screen.press(w, {XK_Alt_L, XK_x});
    EXPECT_EQ(first.wait(60s), 0);
}

TEST_F(Smoke, AStartAfterTheFirstWasKilledIsTheFirstAgain)
{
    plat::ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    std::optional<Process> killed(std::in_place, std::vector<std::string>{});
    ASSERT_NE(wait_for_window(), 0u);
    killed->kill_hard();
    wait_until([&] { return screen.main_window() == 0; }, 10s);
    Process next({});
    const Window w = wait_for_window();
    ASSERT_NE(w, 0u) << "it made its own window";
    screen.press(w, {XK_Alt_L, XK_x});
    EXPECT_EQ(next.wait(60s), 0);
}

}
