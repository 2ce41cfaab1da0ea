// toolkit_demo --script FILE --out DIR: opens the main window, lets the
// system manager build the skinned screen into it (drawn by the UI manager
// through the compose server), then plays the script's input as SDL events
// through the window layer's event pump, as a desktop would deliver them.
// "shot NAME" saves what the window shows as DIR/NAME.png and appends the
// screen's state to DIR/steps.txt. See README.md for the script's steps.

#include "toolkit/demo/DemoScreen.h"

#include "core/settings/CAppSettings.h"
#include "platform/base/Utf.h"
#include "platform/window/Messages.h"
#include "platform/window/Window.h"
#include "playback/compose/VMRServer.h"
#include "platform/window/WindowTable.h"
#include "toolkit/widgets/CMutexGuard.h"

#include <SDL2/SDL.h>
#include <cairo.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

// SDL's desktop integration keeps a D-Bus connection for the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

constexpr int Width = 660;
constexpr int Height = 400;

DemoScreen* screen = nullptr;
int client_width = 0, client_height = 0;

LRESULT demo_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCHITTEST: {
        // Thin edges resize; the title band moves the window.
        RECT r{};
        GetWindowRect(hwnd, &r);
        const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        const bool right = x >= r.right - 4, bottom = y >= r.bottom - 4;
        if (right && bottom) return HTBOTTOMRIGHT;
        if (right) return HTRIGHT;
        if (bottom) return HTBOTTOM;
        return y < r.top + 32 && x < r.right - 40 ? HTCAPTION : HTCLIENT;
    }
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) {
            client_width = LOWORD(lParam);
            client_height = HIWORD(lParam);
            CAppSettings::Instance()->SetNumber(4, client_width);
            CAppSettings::Instance()->SetNumber(5, client_height);
        }
        return UI::sysMgr::Instance().OnMessage(message, wParam, lParam);
    case WM_MOUSEMOVE: case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: case WM_MOUSEWHEEL:
    case WM_KEYDOWN: case WM_CHAR: case WM_ACTIVATE: case WM_SETFOCUS: case WM_KILLFOCUS: case WM_ACTIVATEAPP:
        return UI::sysMgr::Instance().OnMessage(message, wParam, lParam);
    case WM_DEMO_FRAME_SHOWN:
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void dispatch(MSG& msg)
{
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

// Handles every event and message that is waiting.
void settle()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        dispatch(msg);
}

class ScriptPlayer {
public:
    ScriptPlayer(HWND hwnd, std::string out) : m_hwnd(hwnd), m_out(std::move(out))
    {
        m_sdl = plat::window_facts(hwnd)->sdl;
        m_id = SDL_GetWindowID(m_sdl);
        m_steps.open(m_out + "/steps.txt");
    }

    // False, with a message, on a step it cannot play.
    bool play(const std::string& line)
    {
        std::istringstream in(line);
        std::string step;
        in >> step;
        int a = 0, b = 0, c = 0, d = 0;
        if (step.empty() || step[0] == '#') return true;
        if (step == "click" && in >> a >> b) return click(a, b), true;
        if (step == "drag" && in >> a >> b >> c >> d) return drag(a, b, c, d), true;
        if (step == "wheel" && in >> a >> b >> c) return wheel(a, b, c), true;
        if (step == "resize" && in >> a >> b) return resize(a, b), true;
        if (step == "type") return type(rest_of(in)), true;
        if (step == "key" && in >> step) return key(step);
        if (step == "shot" && in >> step) return shot(step);
        std::fprintf(stderr, "toolkit_demo: cannot play \"%s\"\n", line.c_str());
        return false;
    }

private:
    static std::string rest_of(std::istringstream& in)
    {
        std::string text;
        std::getline(in >> std::ws, text);
        return text;
    }

    void push(SDL_Event& e)
    {
        SDL_PushEvent(&e);
        settle();
    }

    void move(int x, int y, bool pressed)
    {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = m_id;
        e.motion.state = pressed ? SDL_BUTTON_LMASK : 0;
        e.motion.x = x;
        e.motion.y = y;
        push(e);
    }

    void button(int x, int y, bool down)
    {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = m_id;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        e.button.x = x;
        e.button.y = y;
        push(e);
    }

    void click(int x, int y)
    {
        move(x, y, false);
        button(x, y, true);
        button(x, y, false);
    }

    // Pressed at the start, moved there in ten steps, released.
    void drag(int x1, int y1, int x2, int y2)
    {
        move(x1, y1, false);
        button(x1, y1, true);
        for (int i = 1; i <= 10; ++i) move(x1 + (x2 - x1) * i / 10, y1 + (y2 - y1) * i / 10, true);
        button(x2, y2, false);
    }

    void wheel(int x, int y, int notches)
    {
        move(x, y, false);
        SDL_Event e{};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.windowID = m_id;
        e.wheel.y = notches;
        e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
        e.wheel.mouseX = x;
        e.wheel.mouseY = y;
        push(e);
    }

    // One text event per character, as an input method commits them.
    void type(const std::string& text)
    {
        for (std::size_t at = 0; at < text.size();) {
            std::size_t length = 1;
            while (at + length < text.size() && (static_cast<unsigned char>(text[at + length]) & 0xc0) == 0x80)
                ++length;
            SDL_Event e{};
            e.type = SDL_TEXTINPUT;
            e.text.windowID = m_id;
            std::memcpy(e.text.text, text.data() + at, length);
            push(e);
            at += length;
        }
    }

    void key_event(SDL_Keycode sym, bool down)
    {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = m_id;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = sym;
        e.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
        push(e);
    }

    // "ctrl+c", "return", "left": Control held around the key when asked.
    bool key(const std::string& name)
    {
        const bool control = name.rfind("ctrl+", 0) == 0;
        const SDL_Keycode sym = SDL_GetKeyFromName((control ? name.substr(5) : name).c_str());
        if (sym == SDLK_UNKNOWN) {
            std::fprintf(stderr, "toolkit_demo: no key \"%s\"\n", name.c_str());
            return false;
        }
        if (control) key_event(SDLK_LCTRL, true);
        key_event(sym, true);
        key_event(sym, false);
        if (control) key_event(SDLK_LCTRL, false);
        return true;
    }

    // The X server resizes the window, as a window manager does when an edge
    // is dragged; its notice comes back through the event pump as WM_SIZE.
    void resize(int width, int height)
    {
        SDL_SetWindowSize(m_sdl, width, height);
        MSG msg;
        while ((client_width != width || client_height != height) && GetMessageW(&msg, nullptr, 0, 0) > 0)
            dispatch(msg);
    }

    // Waits for a frame drawn after everything played so far, shows it and
    // saves what the window holds.
    bool shot(const std::string& name)
    {
        unsigned ticket;
        DemoState state;
        {
            CMutexGuard hold(UIRenderMutex());
            ticket = screen->frames().RequestRedraw();
            state = screen->state();
        }
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_DEMO_FRAME_SHOWN && msg.wParam >= ticket) break;
            dispatch(msg);
        }
        plat::show_pending_frame(m_hwnd);
        const std::string path = m_out + "/" + name + ".png";
        if (!save_window(path)) {
            std::fprintf(stderr, "toolkit_demo: cannot write %s\n", path.c_str());
            return false;
        }
        m_steps << name << " field=\"" << plat::utf16_to_utf8(state.field) << "\" first_row=" << state.first_row
                << " volume=" << state.volume << " clicks=" << state.clicks << " sounds=" << state.sounds
                << " selected=\"" << plat::utf16_to_utf8(state.selected) << "\" size=" << state.width << "x"
                << state.height << "\n";
        m_steps.flush();
        return true;
    }

    bool save_window(const std::string& path) const
    {
        SDL_Surface* shown = SDL_GetWindowSurface(m_sdl);
        if (!shown) return false;
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, shown->w, shown->h);
        cairo_surface_flush(image);
        SDL_ConvertPixels(shown->w, shown->h, shown->format->format, shown->pixels, shown->pitch,
                          SDL_PIXELFORMAT_ARGB8888, cairo_image_surface_get_data(image),
                          cairo_image_surface_get_stride(image));
        cairo_surface_mark_dirty(image);
        const bool written = cairo_surface_write_to_png(image, path.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(image);
        return written;
    }

    HWND m_hwnd;
    std::string m_out;
    SDL_Window* m_sdl;
    std::uint32_t m_id;
    std::ofstream m_steps;
};

}

int main(int argc, char** argv)
{
    const char* script = nullptr;
    const char* out = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--script") == 0) script = argv[i + 1];
        else if (std::strcmp(argv[i], "--out") == 0) out = argv[i + 1];
    }
    std::ifstream lines(script ? script : "");
    if (!script || !out || !lines) {
        std::fprintf(stderr, "usage: toolkit_demo --script FILE --out DIR\n");
        return 2;
    }
    CAppSettings settings;
    settings.SetNumber(4, Width);
    settings.SetNumber(5, Height);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = demo_proc;
    wc.lpszClassName = u"StrimoToolkitDemo";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, u"StrimoToolkitDemo", u"Strimo toolkit demo", WS_POPUP | WS_THICKFRAME, 0, 0,
                                Width, Height, nullptr, nullptr, nullptr, nullptr);
    if (!hwnd) {
        std::fprintf(stderr, "toolkit_demo: no window (is there a display?)\n");
        return 1;
    }
    DemoScreen demo;
    screen = &demo;
    UI::sysMgr& system = UI::sysMgr::Instance();
    system.SetParts(&demo);
    system.Init(hwnd);
    ShowWindow(hwnd, SW_SHOW);
    settle();

    int result = demo.MissingPictures() ? 1 : 0;
    if (result == 0) {
        ScriptPlayer player(hwnd, out);
        std::string line;
        while (result == 0 && std::getline(lines, line))
            if (!player.play(line)) result = 1;
    }
    system.GetComposeServer()->Stop();
    UI::uiMgr::Instance().SetRoot(nullptr);
    UI::uiMgr::Instance().SetHooks(nullptr);
    DestroyWindow(hwnd);
    return result;
}
