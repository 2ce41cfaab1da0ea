#include "platform/display/Display.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

// SDL's video start-up connects to the session bus, and libdbus keeps a buffer past its
// own shutdown: not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

TEST(Display, WithoutAScreenTheSettableDefaultIsUsed)
{
    plat::ScopedEnvironment no_screen("SDL_VIDEODRIVER", "dummy");   // SDL's stand-in is no display
    const struct { const char* setting; plat::ScreenSize size; } cases[] = {
        {"1366x768", {1366, 768}},
        {"1280x1024", {1280, 1024}},
        {nullptr, plat::fallback_screen_size},
        {"", plat::fallback_screen_size},
        {"0x768", plat::fallback_screen_size},
        {"1280x", plat::fallback_screen_size},
        {"1280x1024x2", plat::fallback_screen_size},
        {"-5x10", plat::fallback_screen_size},
        {"99999999999x1", plat::fallback_screen_size},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting ? c.setting : "(unset)");
        plat::ScopedEnvironment size("STRIMO_SCREEN_SIZE", c.setting);
        EXPECT_EQ(plat::screen_size(), c.size);
    }
}

// Starts Xvfb with one screen of the given size and stops it at the end of the scope.
class VirtualScreen {
public:
    explicit VirtualScreen(const char* geometry)
    {
        int ready[2];
        if (::pipe(ready) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", geometry, "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        // Xvfb writes its display number and then a newline once it accepts clients; EOF
        // means it failed. Read through the newline: closing earlier fails Xvfb's second write.
        std::string number;
        char c = 0;
        for (;;) {
            ssize_t n = ::read(ready[0], &c, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || c == '\n') break;
            number += c;
        }
        ::close(ready[0]);
        if (c == '\n' && !number.empty()) m_display = ":" + number;
    }
    ~VirtualScreen()
    {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

TEST(Display, RealScreenIsAskedWhenPresent)
{
    VirtualScreen screen("1280x1024x24");
    if (screen.display().empty()) GTEST_SKIP() << "Xvfb could not start";
    plat::ScopedEnvironment display("DISPLAY", screen.display().c_str());
    plat::ScopedEnvironment no_wayland("WAYLAND_DISPLAY", nullptr);
    plat::ScopedEnvironment any_driver("SDL_VIDEODRIVER", nullptr);
    plat::ScopedEnvironment size("STRIMO_SCREEN_SIZE", "1111x555");
    EXPECT_EQ(plat::screen_size(), (plat::ScreenSize{1280, 1024}));
}

TEST(Display, NoDisplayServerGivesTheDefault)
{
    plat::ScopedEnvironment display("DISPLAY", nullptr);
    plat::ScopedEnvironment no_wayland("WAYLAND_DISPLAY", nullptr);
    plat::ScopedEnvironment any_driver("SDL_VIDEODRIVER", nullptr);
    plat::ScopedEnvironment size("STRIMO_SCREEN_SIZE", "1111x555");
    EXPECT_EQ(plat::screen_size(), (plat::ScreenSize{1111, 555}));
}

}
