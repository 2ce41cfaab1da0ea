#pragma once
// Inside the window layer: the SDL set-up and the desktop's power and session
// events (see Power.h).

namespace plat {

// Before SDL's video starts.
void prepare_sdl_video();
// Once, on the UI thread: starts watching the system bus for the end of a sleep.
void start_power_events();
// SDL_QUIT: the desktop or a signal asks the program to end.
void end_session_requested();

}
