#include "core/app/StartUp.h"

#include "components/common/regutil/ProgramKey.h"
#include "core/app/AppParts.h"
#include "core/app/AppTexts.h"
#include "core/app/MainWindow.h"
#include "core/app/UpdateDialogs.h"
#include "components/common/regutil/CUTILregEx.h"
#include "core/controller/LogicCommand.h"
#include "core/controller/uiLogic.h"
#include "core/notifier/CFeedNotifier.h"
#include "core/settings/CAppSettings.h"
#include "core/settings/LanguageSetting.h"
#include "core/update/CVersionUpdate.h"
#include "platform/com/Com.h"
#include "platform/fs/Folders.h"
#include "platform/window/StringTable.h"
#include "platform/sync/NamedMutex.h"
#include "platform/sync/Thread.h"
#include "platform/window/Accelerator.h"
#include "platform/window/Dialog.h"
#include "platform/window/Messages.h"
#include "toolkit/sysmgr/sysMgr.h"
#include "toolkit/uimgr/MainWindowMessages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* InstanceMutex = "{1D37442F-D06A-436c-8890-A6AA4E9A993C}";
constexpr const char* ProductVersion = "1.0";

enum class InitResult { Shown, ScreenTooSmall, NoWindow };

// The program's start-up in one place: what InitInstance makes lives until
// wWinMain returns.
struct Program {
    AppParts parts;
    std::unique_ptr<MainWindow> window;
    HWND hwnd{nullptr};
};

INT_PTR resolution_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

void add_dialog_templates()
{
    plat::add_dialog_template(134, {u"Strimo", 380, 110,
                                    {{plat::DialogItemKind::Text, 1000,
                                      u"Resolution not support-at least 1024*576.Now will exit.", {20, 20, 360, 60}},
                                     {plat::DialogItemKind::DefaultButton, IDOK, u"OK", {270, 70, 360, 98}}}});
    plat::add_dialog_template(103, {u"About", 380, 130,
                                    {{plat::DialogItemKind::Text, 1006, u"", {20, 16, 360, 40}},
                                     {plat::DialogItemKind::Text, 1007, u"", {20, 44, 360, 80}},
                                     {plat::DialogItemKind::DefaultButton, IDOK, u"OK", {270, 90, 360, 118}}}});
}

DWORD read_dword(const WCHAR* name)
{
    DWORD value = 0;
    CUTILregEx(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE).GetDWORD(name, value);
    return value;
}

// The window hidden, with its tray icon up; shown later as the start asks.
InitResult InitInstance(Program& program, HINSTANCE instance, int show, const std::u16string& command_line)
{
    CAppSettings* settings = CAppSettings::Instance();
    const float ui_width = settings->GetMetric(6), ui_height = settings->GetMetric(7);
    const float screen_width = settings->GetMetric(2), screen_height = settings->GetMetric(3);
    if (!screen_accepts(ui_width, ui_height, screen_width, screen_height)) {
        DialogBoxParamW(instance, MAKEINTRESOURCEW(134), nullptr, &resolution_proc, 0);
        return InitResult::ScreenTooSmall;
    }
    const ScreenSize screen{int(screen_width), int(screen_height)};
    program.window = std::make_unique<MainWindow>(program.parts, &SetThreadExecutionState, screen);
    const int width = int(ui_width), height = int(ui_height);
    program.hwnd = CreateWindowExW(0, MainWindow::ClassName, program_text(103).c_str(),
                                   WS_POPUP | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, (screen.width - width) / 2,
                                   (screen.height - height) / 2, width, height, nullptr, nullptr, instance, nullptr);
    if (!program.hwnd)
        return InitResult::NoWindow;
    UI::sysMgr& system = UI::sysMgr::Instance();
    system.SetParts(&program.parts);
    system.Init(program.hwnd);
    RECT client{};
    GetClientRect(program.hwnd, &client);
    const UINT keep = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(program.hwnd, nullptr, 0, 0, client.right + 1, client.bottom + 1, keep);
    SetWindowPos(program.hwnd, nullptr, 0, 0, client.right, client.bottom, keep);
    system.OnMessage(WM_SIZE, 0, 0);
    const StartChoice choice = start_choice(read_dword(u"AutoRun"), read_dword(u"StartAsFullScreen"), command_line);
    program.window->ShowInTray(program.hwnd, true);
    if (choice.in_tray)
        show = SW_HIDE;
    else if (choice.full_screen && program.parts.Controller())
        program.parts.Controller()->RunUICommand(6);
    ShowWindow(program.hwnd, show);
    UpdateWindow(program.hwnd);
    return InitResult::Shown;
}

// Another instance runs: it comes forward, this one ends.
void hand_over_to_first_instance()
{
    if (HWND first = FindWindowW(MainWindow::ClassName, nullptr))
        PostMessageW(first, WM_TRAY_NOTIFY, TrayIconId, WM_LBUTTONDBLCLK);
}

bool update_ends_start()
{
    UpdateSetup setup;
    setup.current_version = ProductVersion;
    CVersionUpdate update(setup);
    update.Init();
    return update.Check() && run_update_dialogs(update);
}

void post_command_line(UI::uiLogic* controller, const std::u16string& command_line)
{
    if (!controller)
        return;
    auto* copy = new char16_t[command_line.size() + 1];
    std::copy(command_line.begin(), command_line.end(), copy);
    copy[command_line.size()] = 0;
    controller->PostLogicCommand(LogicCommand::OpenPath, WPARAM(copy), 0);
}

int message_loop(HACCEL accelerators)
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(msg.hwnd, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return int(msg.wParam);
}

int run(HINSTANCE instance, const std::u16string& command_line, int show)
{
    if (update_ends_start())
        return 0;
    add_dialog_templates();
    MainWindow::RegisterMainWindowClass(instance);
    CAppSettings settings;
    settings.Load();
    Program program;
    switch (InitInstance(program, instance, show, command_line)) {
    case InitResult::Shown: break;
    case InitResult::ScreenTooSmall: return 0;
    case InitResult::NoWindow: return 1;
    }
    if (UI::uiLogic* controller = program.parts.Controller(); controller && !controller->FeedsProblem().empty())
        std::fprintf(stderr, "strimo: running without feeds: %s\n", controller->FeedsProblem().c_str());
    plat::Thread notifier;
    notifier.start([] { return DWORD(ServeFeedNotifier()); });
    const ACCEL table[] = {{FVIRTKEY | FALT, 'R', 106}, {FVIRTKEY | FALT, 'X', 105}, {FVIRTKEY | FALT, 'A', 104}};
    HACCEL accelerators = CreateAcceleratorTableW(table, int(std::size(table)));
    post_command_line(program.parts.Controller(), command_line);
    const int code = message_loop(accelerators);
    DestroyAcceleratorTable(accelerators);
    PostThreadMessageW(notifier.id(), WM_QUIT, 0, 0);
    notifier.join();
    return code;
}


}

HINSTANCE load_language(const std::string& program_folder)
{
    DWORD language = 1033;
    if (ReadLanguageSetting(language) != ERROR_SUCCESS)
        return nullptr;
    const char* catalogue = language == 1028 ? "CHT.txt" : language == 2052 ? "CHS.txt" : nullptr;
    return catalogue ? plat::load_resource_module(plat::join_path(program_folder, catalogue)) : nullptr;
}

bool screen_accepts(float ui_width, float ui_height, float screen_width, float screen_height)
{
    return screen_width >= ui_width - 5 && screen_height >= ui_height - 5;
}

StartChoice start_choice(DWORD auto_run, DWORD full_screen, std::u16string_view command_line)
{
    const auto first = command_line.find_first_not_of(u" \t");
    const auto last = command_line.find_last_not_of(u" \t");
    const std::u16string_view trimmed =
        first == std::u16string_view::npos ? std::u16string_view() : command_line.substr(first, last - first + 1);
    const bool in_tray = auto_run && trimmed == u"/ToTrayIcon";
    return {in_tray, !in_tray && full_screen != 0};
}

int wWinMain(HINSTANCE instance, HINSTANCE, const std::u16string& command_line, int show)
{
    CoInitialize(nullptr);
    const auto instance_mutex = plat::NamedMutex::open(InstanceMutex);
    int code = 0;
    if (!instance_mutex || !instance_mutex->already_existed()) {
        HINSTANCE language = load_language(plat::program_folder());
        set_text_module(language);
        code = run(instance, command_line, show);
        set_text_module(nullptr);
        plat::free_resource_module(language);
    } else {
        hand_over_to_first_instance();
    }
    CoUninitialize();
    return code;
}
