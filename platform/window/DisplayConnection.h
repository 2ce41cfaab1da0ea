#pragma once
// Inside the window layer: what happens when the X server refuses a request or
// goes away. Xlib's own answer to both is exit() from inside whatever call read
// the news, which runs the static destructors under threads still at work.

namespace plat {

// After SDL's video has started, before a window shows a frame (UI thread).
// When SDL speaks X11: windows show frames through the server's shared images,
// not GL; a refused request is written to the debug output and the program goes
// on (a window another client destroyed is named in requests no one can guard);
// a lost connection to the server is written there and ends the process at once
// with exit code 1, running no destructors.
void prepare_x11();

}
