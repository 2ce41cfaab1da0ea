#include "PresentWindow.h"

#include "DisplayConnection.h"
#include "PowerEvents.h"
#include "platform/window/Window.h"

#include "platform/base/DebugLog.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

namespace plat {

struct PresentWindowState {
    SDL_Window* window{nullptr};
    mutable std::mutex lock;
    int width{0};                       // guarded by lock
    int height{0};                      // guarded by lock
    // Guarded by lock: what the client area shows, its rows `pitch` pixels
    // apart; a frame handed over whole (present_frame_swap) may be wider and
    // taller than the client, whose top-left corner it shows.
    std::vector<std::uint32_t> frame;
    int pitch{0};                       // guarded by lock
    bool pending{false};                // guarded by lock
};

namespace {

// Handles of the live present windows. The handle is the window's state.
struct WindowTable {
    std::mutex lock;
    std::map<HWND, PresentWindowState*> windows;   // guarded by lock
};

// Never destroyed: the process may end with exit() while windows live and other
// threads present (Xlib calls it from inside the pump); the windows' records in
// Window.cpp, which are not destroyed either, must find this table whole then.
WindowTable& window_table()
{
    static WindowTable& table = *new WindowTable;
    return table;
}

HWND handle_of(const PresentWindowState* state)
{
    return reinterpret_cast<HWND>(const_cast<PresentWindowState*>(state));
}

}

namespace {

// Starts SDL's video on the desktop's own driver. SDL falls back to its
// off-screen driver when no display answers, which makes windows no one sees;
// only a driver asked for by name (tests, SDL_VIDEODRIVER) may be one.
bool start_video(std::string& reason)
{
    prepare_sdl_video();
    if (!std::getenv("SDL_VIDEODRIVER")) {
        const char* driver = std::getenv("DISPLAY") ? "x11" : std::getenv("WAYLAND_DISPLAY") ? "wayland" : nullptr;
        if (!driver) {
            reason = "neither DISPLAY nor WAYLAND_DISPLAY is set";
            return false;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        reason = SDL_GetError();
        return false;
    }
    prepare_x11();
    return true;
}

}

bool display_available(std::string& reason) { return start_video(reason); }

std::uint32_t PresentWindow::frame_event_type()
{
    static const std::uint32_t type = SDL_RegisterEvents(1);
    return type;
}

std::unique_ptr<PresentWindow> PresentWindow::create(const std::string& title, int width, int height,
                                                     std::uint32_t sdl_flags)
{
    if (width <= 0 || height <= 0) return nullptr;
    std::string reason;
    if (!start_video(reason)) {
        debug_log("window: SDL video unavailable: " + reason);
        return nullptr;
    }
    auto state = std::make_unique<PresentWindowState>();
    state->window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, sdl_flags);
    if (state->window == nullptr) {
        debug_log(std::string("window: cannot create: ") + SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    state->width = width;
    state->height = height;
    state->pitch = width;
    state->frame.assign(static_cast<std::size_t>(width) * height, 0xff000000u);
    frame_event_type();
    auto& table = window_table();
    std::scoped_lock hold(table.lock);
    table.windows[handle_of(state.get())] = state.get();
    return std::unique_ptr<PresentWindow>(new PresentWindow(std::move(state)));
}

PresentWindow::PresentWindow(std::unique_ptr<PresentWindowState> state) : m_state(std::move(state)) {}

PresentWindow::~PresentWindow()
{
    {
        auto& table = window_table();
        std::scoped_lock hold(table.lock);
        table.windows.erase(hwnd());
    }
    SDL_DestroyWindow(m_state->window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

HWND PresentWindow::hwnd() const { return handle_of(m_state.get()); }

RECT PresentWindow::client_rect() const
{
    std::scoped_lock hold(m_state->lock);
    return RECT{0, 0, m_state->width, m_state->height};
}

SDL_Window* PresentWindow::sdl_window() const { return m_state->window; }

void PresentWindow::resize(int width, int height)
{
    if (width <= 0 || height <= 0) return;
    std::scoped_lock hold(m_state->lock);
    if (width == m_state->width && height == m_state->height) return;
    m_state->width = width;
    m_state->height = height;
    m_state->pitch = width;
    m_state->frame.assign(static_cast<std::size_t>(width) * height, 0xff000000u);
}

bool PresentWindow::show_pending_frame()
{
    SDL_Surface* surface = SDL_GetWindowSurface(m_state->window);
    if (surface == nullptr) return false;
    {
        std::scoped_lock hold(m_state->lock);
        if (!m_state->pending) return false;
        m_state->pending = false;
        int w = std::min(m_state->width, surface->w);
        int h = std::min(m_state->height, surface->h);
        SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_ARGB8888, m_state->frame.data(), m_state->pitch * 4,
                          surface->format->format, surface->pixels, surface->pitch);
    }
    SDL_UpdateWindowSurface(m_state->window);
    return true;
}

std::uint32_t PresentWindow::frame_pixel(int x, int y) const
{
    std::scoped_lock hold(m_state->lock);
    if (x < 0 || y < 0 || x >= m_state->width || y >= m_state->height) return 0;
    return m_state->frame[static_cast<std::size_t>(y) * m_state->pitch + x];
}

namespace {

// Tells the UI thread that a frame waits to be shown.
void wake_to_show()
{
    free_sdl_state_at_thread_exit();   // the compose thread presents
    SDL_Event wake{};
    wake.type = PresentWindow::frame_event_type();
    SDL_PushEvent(&wake);
}

// The source row or column of destination position `at` along one axis.
int source_of(int at, LONG dst_start, int dst_size, LONG src_start, int src_size)
{
    return static_cast<int>(src_start + static_cast<long long>(at - dst_start) * src_size / dst_size);
}

// Rows of the frame into the window's pixels: copied whole when the rectangles
// have one size (every frame the program presents), else scaled by nearest
// pixel through a table of source columns made once per call.
void copy_frame(PresentWindowState& state, const FrameView& frame, const RECT& src_rect, const RECT& dst_rect)
{
    const int sw = src_rect.right - src_rect.left, sh = src_rect.bottom - src_rect.top;
    const int dw = dst_rect.right - dst_rect.left, dh = dst_rect.bottom - dst_rect.top;
    const int top = std::max(0, static_cast<int>(dst_rect.top));
    const int bottom = std::min(state.height, static_cast<int>(dst_rect.bottom));
    int left = std::max(0, static_cast<int>(dst_rect.left));
    int right = std::min(state.width, static_cast<int>(dst_rect.right));
    const bool one_to_one = sw == dw;
    std::vector<int> columns;
    if (one_to_one) {
        // Only the columns whose source lies inside the frame.
        const LONG shift = src_rect.left - dst_rect.left;
        left = std::max<LONG>(left, -shift);
        right = std::min<LONG>(right, frame.width - shift);
    } else {
        for (int x = left; x < right; ++x) columns.push_back(source_of(x, dst_rect.left, dw, src_rect.left, sw));
    }
    if (left >= right) return;
    for (int y = top; y < bottom; ++y) {
        const int sy = source_of(y, dst_rect.top, dh, src_rect.top, sh);
        if (sy < 0 || sy >= frame.height) continue;
        const std::uint32_t* from = frame.pixels + static_cast<std::size_t>(sy) * frame.pitch;
        std::uint32_t* to = state.frame.data() + static_cast<std::size_t>(y) * state.pitch;
        if (one_to_one) {
            std::copy_n(from + left + (src_rect.left - dst_rect.left), right - left, to + left);
            continue;
        }
        for (int x = left; x < right; ++x) {
            const int sx = columns[static_cast<std::size_t>(x - left)];
            if (sx >= 0 && sx < frame.width) to[x] = from[sx];
        }
    }
}

}

bool present_frame(HWND window, const FrameView& frame, const RECT& src_rect, const RECT& dst_rect)
{
    auto& table = window_table();
    std::scoped_lock hold(table.lock);   // keeps the window alive while its frame is written
    auto found = table.windows.find(window);
    if (found == table.windows.end()) return false;
    PresentWindowState& state = *found->second;
    int sw = src_rect.right - src_rect.left, sh = src_rect.bottom - src_rect.top;
    int dw = dst_rect.right - dst_rect.left, dh = dst_rect.bottom - dst_rect.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return true;
    {
        std::scoped_lock frame_hold(state.lock);
        copy_frame(state, frame, src_rect, dst_rect);
        state.pending = true;
    }
    wake_to_show();
    return true;
}

bool present_frame_swap(HWND window, std::vector<std::uint32_t>& pixels, int width, int height, int shown_width,
                        int shown_height)
{
    if (shown_width > width || shown_height > height || pixels.size() != static_cast<std::size_t>(width) * height)
        return false;
    auto& table = window_table();
    std::scoped_lock hold(table.lock);
    auto found = table.windows.find(window);
    if (found == table.windows.end()) return false;
    PresentWindowState& state = *found->second;
    {
        std::scoped_lock frame_hold(state.lock);
        if (state.width != shown_width || state.height != shown_height) return false;
        state.frame.swap(pixels);
        state.pitch = width;
        state.pending = true;
    }
    // What the window showed before, at the frame's size (its pixels are
    // anything: they come back as a discarded back buffer).
    pixels.resize(static_cast<std::size_t>(width) * height);
    wake_to_show();
    return true;
}

std::optional<RECT> present_client_rect(HWND window)
{
    auto& table = window_table();
    std::scoped_lock hold(table.lock);
    auto found = table.windows.find(window);
    if (found == table.windows.end()) return std::nullopt;
    std::scoped_lock frame_hold(found->second->lock);
    return RECT{0, 0, found->second->width, found->second->height};
}

}

namespace plat {

std::vector<std::uint32_t> present_frame_copy(HWND window)
{
    auto& table = window_table();
    std::scoped_lock hold(table.lock);
    auto found = table.windows.find(window);
    if (found == table.windows.end()) return {};
    const PresentWindowState& state = *found->second;
    std::scoped_lock frame_hold(state.lock);
    std::vector<std::uint32_t> shown(static_cast<std::size_t>(state.width) * state.height);
    for (int y = 0; y < state.height; ++y)
        std::copy_n(state.frame.begin() + std::ptrdiff_t(y) * state.pitch, state.width,
                    shown.begin() + std::ptrdiff_t(y) * state.width);
    return shown;
}

}
