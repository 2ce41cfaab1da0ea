#include "playback/playlogic/OpenURLDialog.h"

#include "platform/window/Dialog.h"

namespace UI {
namespace {

// What one showing of the dialog read from its field.
struct Entry {
    std::u16string text;
};

void add_template()
{
    using plat::DialogItemKind;
    plat::add_dialog_template(OpenURLDialog::TemplateId,
                              {u"Open URL", 420, 104,
                               {{DialogItemKind::Text, -1, u"Address:", {12, 12, 408, 28}},
                                {DialogItemKind::Edit, OpenURLDialog::AddressEdit, u"", {12, 32, 408, 56}},
                                {DialogItemKind::DefaultButton, IDOK, u"OK", {232, 68, 316, 94}},
                                {DialogItemKind::Button, IDCANCEL, u"Cancel", {324, 68, 408, 94}}}});
}

}

std::optional<std::u16string> OpenURLDialog::Ask(HWND owner)
{
    add_template();
    Entry entry;
    const INT_PTR result = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(TemplateId), owner, &Proc,
                                           reinterpret_cast<LPARAM>(&entry));
    if (result != IDOK) return std::nullopt;
    return entry.text;
}

// The window layer centres a dialog over its owner when it opens it.
INT_PTR OpenURLDialog::Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wparam);
        if (id != IDOK && id != IDCANCEL) return FALSE;
        if (auto* entry = reinterpret_cast<Entry*>(GetWindowLongPtrW(dialog, DWLP_USER))) {
            WCHAR text[MaxAddress + 1] = {};
            const UINT length = GetDlgItemTextW(dialog, AddressEdit, text, MaxAddress + 1);
            entry->text.assign(text, length);
        }
        EndDialog(dialog, id);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

}
