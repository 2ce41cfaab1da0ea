#include "DisplayConnection.h"

#include "platform/base/DebugLog.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

#include <unistd.h>

// Last: Xlib's macros (None, Bool, Status) would rename what the headers above declare.
#include <X11/Xlib.h>

namespace plat {

namespace {

// A failed request changed nothing on the server; the window it named (a paste's
// requestor, the window of a client that was killed) is gone, and that is all.
int report_refused_request(Display* display, XErrorEvent* error) noexcept
{
    char text[128] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    char line[256];
    std::snprintf(line, sizeof line, "window: X server refused request %d.%d on 0x%lx: %s", error->request_code,
                  error->minor_code, error->resourceid, text);
    debug_log(line);
    return 0;
}

// Nothing can be shown or received again. Xlib would call exit(), whose static
// destructors would run while the compose and worker threads still use what
// they free; what the program stored is already on disk.
int end_on_lost_display(Display*) noexcept
{
    debug_log("window: the connection to the X server is lost; ending");
    _exit(1);
}

}

void prepare_x11()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "x11") != 0) return;
    // Frames are drawn on the CPU, so the window's surface is the X server's
    // shared image rather than a GL texture: the GL path adds a driver and its
    // threads for nothing, and Mesa's GLX crashes on the replies a dead server
    // never sends, before Xlib can tell the handler below.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    // SDL put its own handler in place when its video started; it ends in Xlib's.
    XSetErrorHandler(report_refused_request);
    XSetIOErrorHandler(end_on_lost_display);
}

}
