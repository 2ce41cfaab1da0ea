#include "Power.h"

#include "PowerEvents.h"
#include "WindowTable.h"

#include "platform/base/DebugLog.h"
#include "platform/window/Messages.h"
#include "platform/fs/UniqueFd.h"
#include "platform/sync/Thread.h"

#include <SDL.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<EXECUTION_STATE> continuous_state{ES_CONTINUOUS};

void post_to_top_level(UINT message, WPARAM wParam)
{
    for (HWND hwnd : plat::top_level_windows())
        PostMessageW(hwnd, message, wParam, 0);
}

// Listens for logind's PrepareForSleep on the system bus, on its own thread
// (sd-bus connections belong to one thread). Without a system bus it does nothing.
class SleepWatch {
public:
    SleepWatch()
    {
        sd_bus* bus = nullptr;
        if (sd_bus_open_system(&bus) < 0) {
            plat::debug_log("window: no system bus; resume from sleep is not seen");
            return;
        }
        m_bus = bus;
        if (sd_bus_match_signal(m_bus, nullptr, "org.freedesktop.login1", "/org/freedesktop/login1",
                                "org.freedesktop.login1.Manager", "PrepareForSleep", &SleepWatch::on_signal,
                                nullptr) < 0) {
            plat::debug_log("window: cannot watch logind's sleep signal");
            return;
        }
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_wake_read = plat::UniqueFd(ends[0]);
        m_wake_write = plat::UniqueFd(ends[1]);
        m_thread = std::thread([this] { run(); });
    }

    ~SleepWatch()
    {
        if (m_thread.joinable()) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t n = ::write(m_wake_write.get(), &byte, 1);
            m_thread.join();
        }
        if (m_bus)
            sd_bus_flush_close_unref(m_bus);
    }

private:
    static int on_signal(sd_bus_message* m, void*, sd_bus_error*)
    {
        int going_to_sleep = 0;
        if (sd_bus_message_read(m, "b", &going_to_sleep) >= 0 && !going_to_sleep)
            post_to_top_level(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND);
        return 0;
    }

    void run() noexcept
    {
        for (;;) {
            int r;
            while ((r = sd_bus_process(m_bus, nullptr)) > 0) {
            }
            if (r < 0)
                return;
            pollfd watched[2] = {{sd_bus_get_fd(m_bus), short(sd_bus_get_events(m_bus)), 0},
                                 {m_wake_read.get(), POLLIN, 0}};
            if (::poll(watched, 2, -1) < 0 && errno != EINTR)
                return;
            if (watched[1].revents)
                return;
        }
    }

    sd_bus* m_bus = nullptr;   // used only by the thread once it runs
    plat::UniqueFd m_wake_read, m_wake_write;
    std::thread m_thread;      // last: joined before the rest go
};

}

EXECUTION_STATE SetThreadExecutionState(EXECUTION_STATE flags)
{
    if (!(flags & ES_CONTINUOUS))
        return continuous_state.load();
    plat::free_sdl_state_at_thread_exit();   // a player's thread asks too
    if (flags & ES_DISPLAY_REQUIRED)
        SDL_DisableScreenSaver();
    else
        SDL_EnableScreenSaver();
    return continuous_state.exchange(flags);
}

namespace plat {

void prepare_sdl_video()
{
    // SDL would inhibit the screen saver for the process's whole life; the
    // program asks for it only while something plays.
    SDL_SetHintWithPriority(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1", SDL_HINT_DEFAULT);
    // Closing the last window is the program's business, not a request to end.
    SDL_SetHintWithPriority(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0", SDL_HINT_DEFAULT);
}

void free_sdl_state_at_thread_exit() { run_at_thread_exit(SDL_TLSCleanup); }

void start_power_events()
{
    static SleepWatch watch;
}

void end_session_requested() { post_to_top_level(WM_QUERYENDSESSION, 0); }

}
