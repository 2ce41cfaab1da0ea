// strimo: the program. Without a display it says so and how to start it
// without one, before it makes anything.

#include "core/app/CommandLine.h"
#include "core/app/StartUp.h"
#include "platform/window/Window.h"

#include <cstdio>
#include <string>

// SDL's desktop integration keeps a D-Bus connection for the process, and
// fontconfig its configuration and pattern caches (the item pages' and the
// dialogs' fonts), as the other windowed tests of the tree also allow.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\nleak:libfontconfig.so\n"; }

int main(int argc, char** argv)
{
    std::string reason;
    if (!plat::display_available(reason)) {
        std::fprintf(stderr, "strimo: no display to open its window on (%s); without a desktop run: xvfb-run -a scripts/run\n",
                     reason.c_str());
        return 1;
    }
    return wWinMain(nullptr, nullptr, command_line_from(argc, argv), SW_SHOWNORMAL);
}
