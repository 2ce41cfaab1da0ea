#include "core/app/MainWindow.h"

#include "components/common/regutil/ProgramKey.h"
#include "core/app/AppTexts.h"
#include "core/settings/CAppSettings.h"
#include "components/common/regutil/CUTILregEx.h"
#include "platform/base/DebugLog.h"
#include "platform/devices/Drives.h"
#include "platform/window/Cursor.h"
#include "platform/window/Dialog.h"
#include "platform/window/Tray.h"
#include "prefetch/IPrefechManager.h"
#include "toolkit/uimgr/MainWindowMessages.h"
#include "toolkit/widgets/CMutexGuard.h"

#include <atomic>

namespace {

std::atomic<MainWindow*> the_window{nullptr};

// Command ids of the accelerators and the tray menu.
constexpr WORD CmdAbout = 104, CmdExit = 105, CmdRestore = 106;
constexpr WORD TrayStart = 1100, TrayEnablePrefetch = 1101, TrayDisablePrefetch = 1102, TrayExit = 1103;

NOTIFYICONDATAW tray_icon(HWND hwnd)
{
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = hwnd;
    icon.uID = TrayIconId;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = WM_TRAY_NOTIFY;
    const std::u16string tip = app_text(103);
    tip.copy(icon.szTip, std::size(icon.szTip) - 1);
    return icon;
}

INT_PTR about_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        for (int id : {1006, 1007, 1})
            SetDlgItemTextW(dialog, id, app_text(UINT(id)).c_str());
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

}

MainWindow* MainWindow::Instance() { return the_window.load(); }

MainWindow::MainWindow(MainWindowHost& host, KeepAwake::Setter keep_awake, ScreenSize screen)
    : m_host(host), m_keep_awake(std::move(keep_awake)), m_screen(screen)
{
    the_window = this;
}

MainWindow::~MainWindow() { the_window = nullptr; }

ATOM MainWindow::RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &MainWindow::MainWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = ClassName;
    return RegisterClassExW(&wc);
}

LRESULT MainWindow::MainWndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    MainWindow* self = Instance();
    return self ? self->on_message(hwnd, message, wparam, lparam) : DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT MainWindow::on_message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_DESTROY:
        exit_sequence();
        return 0;
    case WM_SIZE: return on_size(hwnd, wparam, lparam);
    case WM_ACTIVATE: case WM_SETFOCUS: case WM_KILLFOCUS: case WM_ACTIVATEAPP: case WM_DEVICECHANGE: {
        const LRESULT result = DefWindowProcW(hwnd, message, wparam, lparam);
        m_host.Forward(message, wparam, lparam);
        return result;
    }
    case WM_PAINT:
        m_host.Redraw();
        return 0;
    case WM_QUERYENDSESSION:
        exit_now(hwnd);
        return TRUE;
    case WM_ENDSESSION: return 0;
    case WM_SETCURSOR: return 1;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMinTrackSize = {MinWidth, MinHeight};
        return 0;
    }
    case WM_NCHITTEST: {
        RECT window{};
        GetWindowRect(hwnd, &window);
        return main_hit_test({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}, window, m_screen);
    }
    case WM_NCMOUSEMOVE: case WM_NCLBUTTONDOWN: case WM_NCLBUTTONUP: case WM_NCLBUTTONDBLCLK: {
        if (message == WM_NCLBUTTONDBLCLK && LRESULT(wparam) == HTCAPTION)
            m_host.CaptionDoubleClick();
        RECT window{};
        GetWindowRect(hwnd, &window);
        m_host.Forward(message, wparam,
                       MAKELPARAM(GET_X_LPARAM(lparam) - window.left, GET_Y_LPARAM(lparam) - window.top));
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    case WM_KEYDOWN: case WM_CHAR:
        m_host.Forward(message, wparam, lparam);
        return 0;
    case WM_KEYUP: return 0;
    case WM_TIMER: case WM_MOUSEMOVE: case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
        m_host.Forward(message, wparam, lparam);
        DefWindowProcW(hwnd, message, wparam, lparam);
        return 0;
    case WM_SIZING:
        apply_sizing_rule(*reinterpret_cast<RECT*>(lparam), m_screen);
        return DefWindowProcW(hwnd, message, wparam, lparam) ? 1 : 0;
    case WM_POWERBROADCAST: return on_power(wparam);
    case WM_EXITSIZEMOVE:
        m_host.Forward(message, wparam, lparam);
        return 0;
    case WM_COMMAND: return on_command(hwnd, wparam, lparam);
    default: return on_private(hwnd, message, wparam, lparam);
    }
}

LRESULT MainWindow::on_private(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_TRAY_NOTIFY: return on_tray(hwnd, lparam);
    case 1124: case 2026: case 17416: return 0;
    case WM_DEVICE_RESET:
        device_reset(hwnd);
        return 0;
    case WM_CLOSE_BUTTON:
        close_button(hwnd);
        return 1;
    case WM_RAISE_WINDOW:
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return 0;
    case WM_UIBUILDER_NOTIFY: return 0;
    case 17415:
        m_host.Forward(message, wparam, lparam);
        return 0;
    case WM_KEEP_AWAKE:
        m_keep_awake.Change(wparam, lparam >= 1);
        return 0;
    default: return DefWindowProcW(hwnd, message, wparam, lparam);
    }
}

LRESULT MainWindow::on_size(HWND hwnd, WPARAM wparam, LPARAM lparam)
{
    if (CAppSettings* settings = CAppSettings::Instance()) {
        settings->SetNumber(4, SHORT(LOWORD(lparam)));
        settings->SetNumber(5, SHORT(HIWORD(lparam)));
    }
    m_host.Forward(WM_SIZE, wparam, lparam);
    return DefWindowProcW(hwnd, WM_SIZE, wparam, lparam) ? 1 : 0;
}

// Suspending is never refused: the machine's owner decides. A resume closes
// the play engine, whose devices did not survive the sleep.
LRESULT MainWindow::on_power(WPARAM event)
{
    if (event == PBT_APMRESUMECRITICAL || event == PBT_APMRESUMESUSPEND || event == PBT_APMRESUMESTANDBY) {
        plat::debug_log("&&&&&&  before close engine.");
        m_host.CloseEngine();
        plat::debug_log("&&&&&&  after close engine, it is ok!");
    }
    return TRUE;
}

LRESULT MainWindow::on_command(HWND hwnd, WPARAM wparam, LPARAM lparam)
{
    switch (LOWORD(wparam)) {
    case CmdAbout:
        DialogBoxParamW(nullptr, MAKEINTRESOURCEW(103), hwnd, &about_proc, 0);
        return 0;
    case CmdExit: case TrayExit:
        exit_now(hwnd);
        return 0;
    case CmdRestore: case TrayStart:
        PostMessageW(hwnd, WM_TRAY_NOTIFY, TrayIconId, WM_LBUTTONDBLCLK);
        return 0;
    case TrayEnablePrefetch: set_prefetch(true); return 0;
    case TrayDisablePrefetch: set_prefetch(false); return 0;
    default: return DefWindowProcW(hwnd, WM_COMMAND, wparam, lparam);
    }
}

LRESULT MainWindow::on_tray(HWND hwnd, LPARAM mouse)
{
    if (mouse == WM_LBUTTONDBLCLK) {
        ShowInTray(hwnd, false);
        return 1;
    }
    if (mouse == WM_LBUTTONDOWN || mouse == WM_RBUTTONDOWN) {
        tray_menu(hwnd);
        return 1;
    }
    return 0;
}

void MainWindow::tray_menu(HWND hwnd)
{
    IPrefechManager* prefetch = m_host.Prefetch();
    const bool prefetching = prefetch && prefetch->IsRunning() == 1;
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, TrayStart, app_text(TrayStart).c_str());
    const WORD toggle = prefetching ? TrayDisablePrefetch : TrayEnablePrefetch;
    AppendMenuW(menu, MF_STRING, toggle, app_text(toggle).c_str());
    AppendMenuW(menu, MF_STRING, TrayExit, app_text(TrayExit).c_str());
    POINT at{};
    GetCursorPos(&at);
    TrackPopupMenu(menu, TPM_BOTTOMALIGN | TPM_RIGHTALIGN, at.x, at.y, 0, hwnd, nullptr);
    DestroyMenu(menu);
}

void MainWindow::set_prefetch(bool on)
{
    if (IPrefechManager* prefetch = m_host.Prefetch()) {
        if (on)
            prefetch->Resume();
        else
            prefetch->Pause();
    }
    CUTILregEx(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE).SetDWORD(u"EnablePrefetch", on ? 1 : 0);
}

void MainWindow::close_button(HWND hwnd)
{
    DWORD to_tray = 0;
    CUTILregEx(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE).GetDWORD(u"ToTray", to_tray);
    if (to_tray)
        ShowInTray(hwnd, true);
    else
        PostMessageW(hwnd, WM_COMMAND, TrayExit, 0);
}

void MainWindow::device_reset(HWND hwnd)
{
    m_host.CloseEngine();
    CMutexGuard hold(UIRenderMutex());
    m_host.ResetDevice();
    // One reset answers every loss reported so far.
    MSG queued;
    while (PeekMessageW(&queued, hwnd, WM_DEVICE_RESET, WM_DEVICE_RESET, PM_REMOVE)) {
    }
    m_host.PostUICommand(41);
}

void MainWindow::ShowInTray(HWND hwnd, bool hide)
{
    if (hide) {
        if (!m_icon_up) {
            const NOTIFYICONDATAW icon = tray_icon(hwnd);
            m_icon_up = Shell_NotifyIconW(NIM_ADD, &icon);
        }
        ShowWindow(hwnd, SW_HIDE);
        m_host.PauseForTray();
        return;
    }
    ShowWindow(hwnd, SW_SHOW);
    if (IsIconic(hwnd))
        PostMessageW(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    SetForegroundWindow(hwnd);
    m_host.ResumeFromTray();
}

// The icon goes and the window with it, at once: no closing animation.
void MainWindow::exit_now(HWND hwnd)
{
    if (m_icon_up) {
        const NOTIFYICONDATAW icon = tray_icon(hwnd);
        Shell_NotifyIconW(NIM_DELETE, &icon);
        m_icon_up = false;
    }
    DestroyWindow(hwnd);
}

void MainWindow::exit_sequence()
{
    if (m_exited)
        return;
    m_exited = true;
    m_keep_awake.Clear();
    m_host.StopCompose();
    m_host.CloseEngine();
    m_host.SaveSettings();
    m_host.DestroyController();
    m_host.DestroyTree();
    PostQuitMessage(0);
}
