#pragma once
// The program's start and end: one instance per user (a second start brings
// the first forward), the update check, the main window and the interface,
// the feed notifier's server thread, the command line handed to the
// controller, the message loop, and the order everything goes at exit.

#include "platform/base/Types.h"
#include "platform/window/Handles.h"

#include <string>
#include <string_view>

// The exit code: the final WM_QUIT's, 0 for a second instance, an update
// that started its installer or a screen too small, 1 when the window
// cannot be made.
int wWinMain(HINSTANCE instance, HINSTANCE, const std::u16string& command_line, int show);

// The language's catalogue in the program folder, when HKLM "Language" asks
// for one and it can be read; null: the program's own texts.
HINSTANCE load_language(const std::string& program_folder);

// Whether a screen takes the UI size (a margin of 5 pixels each way).
bool screen_accepts(float ui_width, float ui_height, float screen_width, float screen_height);

// How the window first shows: in the tray when started with Windows
// ("AutoRun") by the command line "/ToTrayIcon" (blanks around it allowed),
// else full screen when asked ("StartAsFullScreen").
struct StartChoice {
    bool in_tray;
    bool full_screen;
    bool operator==(const StartChoice&) const = default;
};
StartChoice start_choice(DWORD auto_run, DWORD full_screen, std::u16string_view command_line);
