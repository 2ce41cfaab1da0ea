#pragma once
// For end-to-end tests: the X server the test runs on (xvfb-run), seen and
// driven as a user would: find the program's window, press keys, click and
// drag with XTest, read a pixel, save the window as a PNG. Coordinates are
// the window's own (0, 0 at its top left corner).

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace app_testing {

class Screen {
public:
    using WindowId = unsigned long;   // an X window; 0 is none
    using Key = unsigned long;        // an X key symbol (XK_...)
    struct Point { int x = 0; int y = 0; };
    struct Size { int width = 0; int height = 0; };

    Screen();   // the display that DISPLAY names
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    bool open() const { return m_display != nullptr; }

    // The program's main window: of the top-level windows titled "Strimo" (its
    // dialogs, such as the update check's, share the title) the largest one
    // shown, else one not shown; 0 when there is none.
    WindowId main_window();
    bool viewable(WindowId w);
    Size size(WindowId w);

    // Gives the window the keyboard and presses the keys together; the
    // pointer stays where it is (it would change what is hovered).
    void press(WindowId w, std::initializer_list<Key> keys);
    void move(WindowId w, Point at);
    void click(WindowId w, Point at, unsigned button = 1);
    // Presses the left button at from, moves in steps to to and lets go.
    void drag(WindowId w, Point from, Point to);

    // The pixel shown at the point as 0xRRGGBB; nothing when it cannot be read.
    std::optional<std::uint32_t> pixel(WindowId w, Point at);
    // The pixels of a rectangle, row by row, as 0xRRGGBB; empty when it cannot be read.
    std::vector<std::uint32_t> pixels(WindowId w, Point at, Size size);
    // The rectangle shows the same pixels twice, a tenth of a second apart:
    // what moved there has stopped. A condition to poll, as wait_until does.
    bool at_rest(WindowId w, Point at, Size size);
    // What the window shows, as a PNG; false when it cannot be read.
    bool save(WindowId w, const std::string& path);

private:
    Point to_root(WindowId w, Point at);

    _XDisplay* m_display;
};

}
