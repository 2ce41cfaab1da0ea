#include "Display.h"

#include "platform/base/DebugLog.h"

#include <SDL.h>

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace plat {

namespace {

constexpr int largest_side = 1 << 16;

bool parse_side(std::string_view text, int& out)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && out > 0 && out <= largest_side;
}

ScreenSize default_size()
{
    const char* text = std::getenv("STRIMO_SCREEN_SIZE");
    if (!text || !*text) return fallback_screen_size;
    std::string_view value(text);
    std::size_t x = value.find('x');
    ScreenSize size{};
    if (x != std::string_view::npos && parse_side(value.substr(0, x), size.width) &&
        parse_side(value.substr(x + 1), size.height))
        return size;
    debug_log("display: STRIMO_SCREEN_SIZE is not WIDTHxHEIGHT: " + std::string(value));
    return fallback_screen_size;
}

bool is_real_driver(const char* name)
{
    const std::string_view driver = name ? name : "";
    return !driver.empty() && driver != "dummy" && driver != "offscreen";
}

}

ScreenSize screen_size()
{
    // Leave SDL as we found it: when nothing of it ran before, quit it whole, which also
    // frees the session-bus connection that its video start-up opens.
    const bool sdl_was_running = SDL_WasInit(SDL_INIT_EVERYTHING) != 0;
    auto stop = [&] { sdl_was_running ? SDL_QuitSubSystem(SDL_INIT_VIDEO) : SDL_Quit(); };
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        stop();
        return default_size();
    }
    SDL_DisplayMode mode{};
    const bool found = is_real_driver(SDL_GetCurrentVideoDriver()) && SDL_GetDesktopDisplayMode(0, &mode) == 0 &&
                       mode.w > 0 && mode.h > 0;
    stop();
    return found ? ScreenSize{mode.w, mode.h} : default_size();
}

}
