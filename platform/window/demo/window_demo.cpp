// Opens a frameless window and prints every message it receives, as the
// window layer makes them from the desktop's input.
//   window_demo [--seconds N]
// Drag the top band to move, the edges to resize; type (é, CJK through an
// input method) to see WM_CHAR; Control+C copies what was typed, Control+V
// pastes; M shows a message box, D a progress dialog; Escape hides the window
// "in the tray" (it stays minimised: restore it from the desktop); Alt+X ends.

#include "platform/base/Utf.h"
#include "platform/window/Accelerator.h"
#include "platform/window/Clipboard.h"
#include "platform/window/Dialog.h"
#include "platform/window/Tray.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

// SDL's desktop integration keeps a D-Bus connection for the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

constexpr UINT WM_TRAY_NOTIFY = 578;
constexpr WORD exit_command = 105;
constexpr WORD progress_dialog = 132;

std::u16string typed;

const char* name_of(UINT message)
{
    static const std::map<UINT, const char*> names{
        {WM_CREATE, "WM_CREATE"}, {WM_DESTROY, "WM_DESTROY"}, {WM_SIZE, "WM_SIZE"}, {WM_ACTIVATE, "WM_ACTIVATE"},
        {WM_SETFOCUS, "WM_SETFOCUS"}, {WM_KILLFOCUS, "WM_KILLFOCUS"}, {WM_PAINT, "WM_PAINT"}, {WM_CLOSE, "WM_CLOSE"},
        {WM_ACTIVATEAPP, "WM_ACTIVATEAPP"}, {WM_NCHITTEST, "WM_NCHITTEST"}, {WM_KEYDOWN, "WM_KEYDOWN"},
        {WM_KEYUP, "WM_KEYUP"}, {WM_CHAR, "WM_CHAR"}, {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"}, {WM_SYSKEYUP, "WM_SYSKEYUP"},
        {WM_COMMAND, "WM_COMMAND"}, {WM_SYSCOMMAND, "WM_SYSCOMMAND"}, {WM_TIMER, "WM_TIMER"},
        {WM_MOUSEMOVE, "WM_MOUSEMOVE"}, {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"}, {WM_LBUTTONUP, "WM_LBUTTONUP"},
        {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"}, {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"}, {WM_RBUTTONUP, "WM_RBUTTONUP"},
        {WM_MOUSEWHEEL, "WM_MOUSEWHEEL"}, {WM_SIZING, "WM_SIZING"}, {WM_EXITSIZEMOVE, "WM_EXITSIZEMOVE"},
        {WM_GETMINMAXINFO, "WM_GETMINMAXINFO"}, {WM_TRAY_NOTIFY, "WM_TRAY_NOTIFY"}};
    auto found = names.find(message);
    return found == names.end() ? "?" : found->second;
}

void copy_typed(HWND hwnd)
{
    if (!OpenClipboard(hwnd)) return;
    HGLOBAL block = GlobalAlloc(GHND, (typed.size() + 1) * sizeof(char16_t));
    std::memcpy(GlobalLock(block), typed.c_str(), typed.size() * sizeof(char16_t));
    EmptyClipboard();
    if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
    CloseClipboard();
    std::printf("copied \"%s\"\n", plat::utf16_to_utf8(typed).c_str());
}

void paste(HWND hwnd)
{
    if (!OpenClipboard(hwnd)) return;
    if (HGLOBAL block = GetClipboardData(CF_UNICODETEXT))
        std::printf("clipboard holds \"%s\"\n", plat::utf16_to_utf8(static_cast<const char16_t*>(GlobalLock(block))).c_str());
    CloseClipboard();
}

INT_PTR progress_proc(HWND dlg, UINT message, WPARAM wParam, LPARAM)
{
    static int percent = 0;
    switch (message) {
    case WM_INITDIALOG:
        percent = 0;
        SetDlgItemTextW(dlg, 1005, u"Counting to 100…");
        SendDlgItemMessageW(dlg, 1004, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SetTimer(dlg, 1000, 50, nullptr);
        return TRUE;
    case WM_TIMER:
        SendDlgItemMessageW(dlg, 1004, PBM_SETPOS, percent += 5, 0);
        if (percent >= 100) PostMessageW(dlg, WM_COMMAND, IDOK, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

LRESULT on_key(HWND hwnd, WPARAM key)
{
    const bool control = GetAsyncKeyState(VK_CONTROL) & 0x8000;
    if (control && key == 'C') copy_typed(hwnd);
    else if (control && key == 'V') paste(hwnd);
    else if (key == 'M') std::printf("message box: %d\n", MessageBoxW(hwnd, u"Hello from the window layer.", u"Strimo", MB_OKCANCEL));
    else if (key == 'D') std::printf("dialog: %ld\n", static_cast<long>(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(progress_dialog), hwnd, progress_proc, 0)));
    else if (key == VK_ESCAPE) ShowWindow(hwnd, SW_HIDE);
    return 0;
}

LRESULT demo_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_NCHITTEST && message != WM_MOUSEMOVE)
        std::printf("%-16s wParam %#lx lParam %#lx\n", name_of(message), static_cast<unsigned long>(wParam),
                    static_cast<unsigned long>(lParam));
    switch (message) {
    case WM_NCHITTEST: {
        RECT r{};
        GetWindowRect(hwnd, &r);
        const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        if (x > r.right - 6 && y > r.bottom - 6) return HTBOTTOMRIGHT;
        if (x > r.right - 6) return HTRIGHT;
        if (y > r.bottom - 6) return HTBOTTOM;
        return y < r.top + 24 ? HTCAPTION : HTCLIENT;
    }
    case WM_CHAR:
        if (wParam >= 32) typed += static_cast<char16_t>(wParam);
        return 0;
    case WM_KEYDOWN: return on_key(hwnd, wParam);
    case WM_TRAY_NOTIFY:
        if (lParam == WM_LBUTTONDBLCLK) {
            ShowWindow(hwnd, SW_SHOW);
            SetForegroundWindow(hwnd);
        }
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == exit_command) DestroyWindow(hwnd);
        return 0;
    case WM_TIMER: DestroyWindow(hwnd); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}

int main(int argc, char** argv)
{
    const int seconds = argc == 3 && std::strcmp(argv[1], "--seconds") == 0 ? std::atoi(argv[2]) : 0;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = demo_proc;
    wc.lpszClassName = u"WindowDemo";
    RegisterClassExW(&wc);
    using plat::DialogItemKind;
    plat::add_dialog_template(progress_dialog, {u"Progress", 320, 110,
                                                {{DialogItemKind::Text, 1005, u"", {12, 12, 308, 30}},
                                                 {DialogItemKind::Progress, 1004, u"", {12, 38, 308, 54}},
                                                 {DialogItemKind::Button, IDCANCEL, u"Cancel", {224, 74, 308, 100}}}});
    HWND hwnd = CreateWindowExW(0, u"WindowDemo", u"window layer demo", WS_POPUP | WS_MAXIMIZEBOX, CW_USEDEFAULT, 0,
                                480, 320, nullptr, nullptr, nullptr, nullptr);
    if (!hwnd) {
        std::fprintf(stderr, "window_demo: no window (is there a display?)\n");
        return 1;
    }
    NOTIFYICONDATAW icon{sizeof icon, hwnd, 128, NIF_MESSAGE | NIF_TIP, WM_TRAY_NOTIFY, nullptr, u"Strimo"};
    Shell_NotifyIconW(NIM_ADD, &icon);
    const ACCEL exit_key{FVIRTKEY | FALT, 'X', exit_command};
    HACCEL accelerators = CreateAcceleratorTableW(&exit_key, 1);
    if (seconds > 0) SetTimer(hwnd, 1, static_cast<UINT>(seconds) * 1000, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyAcceleratorTable(accelerators);
    return static_cast<int>(msg.wParam);
}
