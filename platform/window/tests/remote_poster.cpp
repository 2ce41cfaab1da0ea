// window_remote_poster CLASS MESSAGE WPARAM LPARAM: finds the top-level window
// of the class in another process and posts it the message. Exit 0 when
// posted, 2 when no window was found, 3 when the post failed.

#include "platform/window/Window.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 5)
        return 1;
    const std::string name = argv[1];
    const std::u16string class_name(name.begin(), name.end());
    HWND hwnd = FindWindowW(class_name.c_str(), nullptr);
    if (!hwnd)
        return 2;
    return PostMessageW(hwnd, UINT(std::strtoul(argv[2], nullptr, 10)), WPARAM(std::strtoull(argv[3], nullptr, 10)),
                        LPARAM(std::strtoll(argv[4], nullptr, 10)))
               ? 0
               : 3;
}
