#pragma once
// Inside the window layer: the SDL set-up and the desktop's power and session
// events (see Power.h).

namespace plat {

// Before SDL's video starts.
void prepare_sdl_video();
// Before a call into SDL from a thread that may not be the UI thread: SDL keeps
// state for each thread that calls it and frees it only for threads it made.
void free_sdl_state_at_thread_exit();
// Once, on the UI thread: starts watching the system bus for the end of a sleep.
void start_power_events();
// SDL_QUIT: the desktop or a signal asks the program to end.
void end_session_requested();

}
