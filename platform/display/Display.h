#pragma once
// What GetSystemMetrics(SM_CXSCREEN / SM_CYSCREEN) told the system: the size
// of the primary screen.

namespace plat {

struct ScreenSize {
    int width;
    int height;

    bool operator==(const ScreenSize&) const = default;
};

inline constexpr ScreenSize fallback_screen_size{1024, 768};

// The desktop size of the first display when SDL2 finds a real one (SDL's
// "dummy" and "offscreen" drivers are no display). Otherwise the size in
// $STRIMO_SCREEN_SIZE ("1280x1024"), else fallback_screen_size.
// Starts and stops SDL's video subsystem: call it on the UI thread.
ScreenSize screen_size();

}
