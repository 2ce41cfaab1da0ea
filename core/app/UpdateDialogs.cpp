#include "core/app/UpdateDialogs.h"

#include "core/app/AppTexts.h"
#include "core/update/CVersionUpdate.h"
#include "platform/window/Dialog.h"

namespace {

constexpr UINT_PTR PollTimer = 1000, CancelTimer = 3000;
constexpr int ProgressBar = 1004, StatusText = 1005, OfferText = 1013;

CVersionUpdate* running = nullptr;   // the update the open dialog watches; UI thread only

void poll(HWND dialog)
{
    const LONG percent = running->GetPercent();
    if (percent >= 0)
        SendDlgItemMessageW(dialog, ProgressBar, PBM_SETPOS, WPARAM(percent), 0);
    const HRESULT result = running->GetResult();
    // A download that failed ends as a failed check: the user is told and
    // start-up goes on, instead of a dialog that waits for ever.
    const bool ended_badly = FAILED(result) && result != E_FAIL;
    if (!ended_badly && !(result == S_OK && percent == 100))
        return;
    KillTimer(dialog, PollTimer);
    if (!ended_badly && running->Finish()) {
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return;
    }
    SetDlgItemTextW(dialog, StatusText, app_text(7102).c_str());
    SetTimer(dialog, CancelTimer, 5000, nullptr);
}

INT_PTR progress_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowTextW(dialog, app_text(1012).c_str());
        SetDlgItemTextW(dialog, StatusText, app_text(1005).c_str());
        SetDlgItemTextW(dialog, IDCANCEL, app_text(2).c_str());
        SendDlgItemMessageW(dialog, ProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendDlgItemMessageW(dialog, ProgressBar, PBM_SETPOS, 0, 0);
        SetTimer(dialog, PollTimer, 1000, nullptr);
        return TRUE;
    case WM_TIMER:
        if (wparam == PollTimer)
            poll(dialog);
        if (wparam == CancelTimer) {
            KillTimer(dialog, CancelTimer);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDCANCEL) {
            running->Cleanup();
            KillTimer(dialog, PollTimer);
            KillTimer(dialog, CancelTimer);
            EndDialog(dialog, IDCANCEL);
        } else if (LOWORD(wparam) == IDOK) {
            KillTimer(dialog, PollTimer);
            EndDialog(dialog, IDOK);
        }
        return TRUE;
    default: return FALSE;
    }
}

INT_PTR offer_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        std::u16string title = app_text(6001);
        const std::u16string version = running->GetNewVersion();
        if (!version.empty())
            title += u"(" + version + u")";
        SetWindowTextW(dialog, title.c_str());
        SetDlgItemTextW(dialog, OfferText, app_text(6002).c_str());
        SetDlgItemTextW(dialog, IDOK, app_text(1).c_str());
        SetDlgItemTextW(dialog, IDCANCEL, app_text(2).c_str());
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)
            EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    default: return FALSE;
    }
}

void add_templates()
{
    plat::add_dialog_template(133, {u"", 420, 150,
                                    {{plat::DialogItemKind::Text, OfferText, u"", {20, 20, 400, 90}},
                                     {plat::DialogItemKind::DefaultButton, IDOK, u"OK", {200, 106, 290, 134}},
                                     {plat::DialogItemKind::Button, IDCANCEL, u"Cancel", {306, 106, 396, 134}}}});
    plat::add_dialog_template(132, {u"", 420, 150,
                                    {{plat::DialogItemKind::Text, StatusText, u"", {20, 16, 400, 44}},
                                     {plat::DialogItemKind::Progress, ProgressBar, u"", {20, 56, 400, 78}},
                                     {plat::DialogItemKind::Button, IDCANCEL, u"Cancel", {306, 106, 396, 134}}}});
}

}

bool run_update_dialogs(CVersionUpdate& update)
{
    add_templates();
    running = &update;
    bool installed = false;
    if (DialogBoxParamW(nullptr, MAKEINTRESOURCEW(133), nullptr, &offer_proc, 0) == IDOK && update.StartDownload())
        installed = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(132), nullptr, &progress_proc, 0) == IDOK;
    running = nullptr;
    return installed;
}
