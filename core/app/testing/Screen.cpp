#include "core/app/testing/Screen.h"

#include <cairo.h>

#include <chrono>
#include <thread>

// Last: Xlib's macros (None, Bool, Status) would rename what the headers above declare.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace app_testing {

namespace {

// A user's hand moves, presses and lets go in steps the program can follow;
// the pause only paces the input, nothing waits on it.
constexpr int drag_steps = 12;
constexpr auto step_pause = std::chrono::milliseconds(50);

// A window that goes while the test looks at it (the program ended) is an
// answer, not a reason for Xlib to end the test.
int ignore_error(Display*, XErrorEvent*) { return 0; }

}

Screen::Screen() : m_display(XOpenDisplay(nullptr))
{
    XSetErrorHandler(ignore_error);
}

Screen::~Screen()
{
    if (m_display)
        XCloseDisplay(m_display);
}

Screen::WindowId Screen::main_window()
{
    Window root = DefaultRootWindow(m_display), parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    long found_area = -1;
    if (XQueryTree(m_display, root, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            char* name = nullptr;
            XWindowAttributes a{};
            if (XFetchName(m_display, children[i], &name) && name && std::string(name) == "Strimo" &&
                XGetWindowAttributes(m_display, children[i], &a)) {
                const long area = a.map_state == IsViewable ? long(a.width) * a.height : 0;
                if (area > found_area) {
                    found = children[i];
                    found_area = area;
                }
            }
            XFree(name);
        }
        XFree(children);
    }
    return found;
}

bool Screen::viewable(WindowId w)
{
    XWindowAttributes a{};
    return w && XGetWindowAttributes(m_display, w, &a) && a.map_state == IsViewable;
}

Screen::Size Screen::size(WindowId w)
{
    XWindowAttributes a{};
    if (!w || !XGetWindowAttributes(m_display, w, &a))
        return {};
    return {a.width, a.height};
}

Screen::Point Screen::to_root(WindowId w, Point at)
{
    Window child = 0;
    Point out;
    XTranslateCoordinates(m_display, w, DefaultRootWindow(m_display), at.x, at.y, &out.x, &out.y, &child);
    return out;
}

void Screen::press(WindowId w, std::initializer_list<Key> keys)
{
    XSetInputFocus(m_display, w, RevertToParent, CurrentTime);
    for (Key k : keys)
        XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, k), True, 0);
    for (auto k = std::rbegin(keys); k != std::rend(keys); ++k)
        XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, *k), False, 0);
    XFlush(m_display);
}

void Screen::move(WindowId w, Point at)
{
    const Point p = to_root(w, at);
    XTestFakeMotionEvent(m_display, -1, p.x, p.y, 0);
    XSync(m_display, False);
}

void Screen::click(WindowId w, Point at, unsigned button)
{
    move(w, at);
    std::this_thread::sleep_for(step_pause);
    XTestFakeButtonEvent(m_display, button, True, 0);
    XSync(m_display, False);
    std::this_thread::sleep_for(step_pause);
    XTestFakeButtonEvent(m_display, button, False, 0);
    XSync(m_display, False);
}

void Screen::drag(WindowId w, Point from, Point to)
{
    move(w, from);
    XTestFakeButtonEvent(m_display, 1, True, 0);
    XSync(m_display, False);
    for (int i = 1; i <= drag_steps; ++i) {
        std::this_thread::sleep_for(step_pause);
        move(w, {from.x + (to.x - from.x) * i / drag_steps, from.y + (to.y - from.y) * i / drag_steps});
    }
    std::this_thread::sleep_for(step_pause);
    XTestFakeButtonEvent(m_display, 1, False, 0);
    XSync(m_display, False);
}

std::optional<std::uint32_t> Screen::pixel(WindowId w, Point at)
{
    XImage* image = XGetImage(m_display, w, at.x, at.y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt;
    const auto value = std::uint32_t(XGetPixel(image, 0, 0)) & 0xFFFFFFu;
    XDestroyImage(image);
    return value;
}

std::vector<std::uint32_t> Screen::pixels(WindowId w, Point at, Size size)
{
    if (size.width <= 0 || size.height <= 0)
        return {};
    XImage* image = XGetImage(m_display, w, at.x, at.y, unsigned(size.width), unsigned(size.height), AllPlanes,
                              ZPixmap);
    if (!image)
        return {};
    std::vector<std::uint32_t> out;
    out.reserve(std::size_t(size.width) * std::size_t(size.height));
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x)
            out.push_back(std::uint32_t(XGetPixel(image, x, y)) & 0xFFFFFFu);
    XDestroyImage(image);
    return out;
}

bool Screen::at_rest(WindowId w, Point at, Size size)
{
    const auto before = pixels(w, at, size);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return !before.empty() && before == pixels(w, at, size);
}

bool Screen::save(WindowId w, const std::string& path)
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

}
