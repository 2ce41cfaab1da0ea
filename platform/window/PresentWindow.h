#pragma once
// A top-level SDL2 window that finished frames are presented into. Any thread
// may present (the frame is copied and the UI thread is woken); only the UI
// thread shows what was presented, as SDL2 wants. Input, messages and timers
// belong to the full window layer, not here.

#include "platform/window/Handles.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct SDL_Window;

namespace plat {

struct PresentWindowState;

// A view of 32-bit pixels laid out as D3DCOLOR (0xAARRGGBB in memory order B, G, R, A).
struct FrameView {
    const std::uint32_t* pixels;
    int width;
    int height;
    int pitch;   // in pixels
};

class PresentWindow {
public:
    // Null when SDL2 video cannot start or the window cannot be made. sdl_flags are
    // SDL_CreateWindow's (hidden, borderless, resizable).
    static std::unique_ptr<PresentWindow> create(const std::string& title, int width, int height,
                                                 std::uint32_t sdl_flags = 0);
    ~PresentWindow();
    PresentWindow(const PresentWindow&) = delete;
    PresentWindow& operator=(const PresentWindow&) = delete;

    HWND hwnd() const;
    RECT client_rect() const;
    SDL_Window* sdl_window() const;

    // UI thread, when the window's size changed: the retained frame takes the new
    // client size (black until the next present).
    void resize(int width, int height);

    // UI thread: puts the last presented frame on the screen; false when none was waiting.
    bool show_pending_frame();

    // The last presented frame's pixel, for checks without a screen (0 outside).
    std::uint32_t frame_pixel(int x, int y) const;

    // The SDL event type pushed when a frame waits to be shown.
    static std::uint32_t frame_event_type();

private:
    explicit PresentWindow(std::unique_ptr<PresentWindowState> state);
    std::unique_ptr<PresentWindowState> m_state;
};

// Copies src_rect of the frame to dst_rect of the window's client area (same size
// expected; a different size is scaled by nearest pixel). False when no present
// window has this handle: the frame then goes nowhere.
bool present_frame(HWND window, const FrameView& frame, const RECT& src_rect, const RECT& dst_rect);

// Hands a frame of width x height pixels (pitch = width) to the window in
// place of a copy, when the window's client area is exactly its top-left
// shown_width x shown_height corner: `pixels` then holds width x height
// pixels of no particular content (the window's previous frame). False, with
// nothing changed, otherwise (an unknown handle, a client of another size).
bool present_frame_swap(HWND window, std::vector<std::uint32_t>& pixels, int width, int height, int shown_width,
                        int shown_height);

// A copy of what the window's client area shows (width x height pixels); empty for an unknown handle.
std::vector<std::uint32_t> present_frame_copy(HWND window);

// The client rectangle of a present window; none for an unknown handle.
std::optional<RECT> present_client_rect(HWND window);

}
