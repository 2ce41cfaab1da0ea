#include "platform/display/Display.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

// SDL's video start-up connects to the session bus, and libdbus keeps a buffer past its
// own shutdown: not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        if (m_old) ::setenv(m_name, m_old->c_str(), 1);
        else ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(Display, WithoutAScreenTheSettableDefaultIsUsed)
{
    ScopedEnvironment no_screen("SDL_VIDEODRIVER", "dummy");   // SDL's stand-in is no display
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
        ScopedEnvironment size("STRIMO_SCREEN_SIZE", c.setting);
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
        // Xvfb writes its display number once it accepts clients; EOF means it failed.
        char number[16] = {};
        ssize_t n = ::read(ready[0], number, sizeof number - 1);
        ::close(ready[0]);
        if (n > 0) m_display = ":" + std::string(number, std::strcspn(number, "\n"));
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
    ScopedEnvironment display("DISPLAY", screen.display().c_str());
    ScopedEnvironment no_wayland("WAYLAND_DISPLAY", nullptr);
    ScopedEnvironment any_driver("SDL_VIDEODRIVER", nullptr);
    ScopedEnvironment size("STRIMO_SCREEN_SIZE", "1111x555");
    EXPECT_EQ(plat::screen_size(), (plat::ScreenSize{1280, 1024}));
}

TEST(Display, NoDisplayServerGivesTheDefault)
{
    ScopedEnvironment display("DISPLAY", nullptr);
    ScopedEnvironment no_wayland("WAYLAND_DISPLAY", nullptr);
    ScopedEnvironment any_driver("SDL_VIDEODRIVER", nullptr);
    ScopedEnvironment size("STRIMO_SCREEN_SIZE", "1111x555");
    EXPECT_EQ(plat::screen_size(), (plat::ScreenSize{1111, 555}));
}

}
