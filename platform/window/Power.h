#pragma once
// Keeping the display awake, and the power and session events of the
// desktop as window messages.
//
// SetThreadExecutionState: a continuous state that asks for the display
// inhibits the screen saver and blanking (SDL_DisableScreenSaver); a
// continuous state without it lifts that (SDL_EnableScreenSaver). The window
// layer lets the screen saver run unless asked (SDL's own default inhibits it
// for the process's whole life). Suspending is never refused.
//
// Power and session events, posted to every top-level window of the process:
// - logind's PrepareForSleep(false) on the system bus (the machine woke):
//   WM_POWERBROADCAST with PBT_APMRESUMESUSPEND;
// - the desktop or a signal (SIGTERM, SIGINT) asks the program to end:
//   WM_QUERYENDSESSION (SDL turns both into SDL_QUIT).

#include "platform/base/Types.h"

using EXECUTION_STATE = DWORD;

inline constexpr EXECUTION_STATE ES_SYSTEM_REQUIRED = 0x00000001;
inline constexpr EXECUTION_STATE ES_DISPLAY_REQUIRED = 0x00000002;
inline constexpr EXECUTION_STATE ES_CONTINUOUS = 0x80000000;

// The continuous state before the call. Call it on the UI thread.
EXECUTION_STATE SetThreadExecutionState(EXECUTION_STATE flags);
