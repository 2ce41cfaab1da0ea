#pragma once
// Modal dialogs from our own templates (texts, buttons, a progress bar,
// one-line edit fields), drawn with cairo in a small SDL window, and the
// message box built on them.
//
// The program registers its templates by id at start, as its resources were;
// DialogBoxParamW runs a message loop until the dialog procedure calls
// EndDialog, with the owner disabled meanwhile. Enter presses the default
// button, Escape and the window's close button are IDCANCEL. Typed text goes
// to the edit field that has the focus: the first one, or the one last clicked.

#include "platform/window/Window.h"

#include <string>
#include <vector>

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

inline constexpr WORD BN_CLICKED = 0;

inline constexpr UINT PBM_SETRANGE = 0x0401;   // lParam: low word the minimum, high word the maximum
inline constexpr UINT PBM_SETPOS = 0x0402;     // returns the previous position
inline constexpr UINT PBM_GETPOS = 0x0408;

inline constexpr UINT MB_OK = 0x0000;
inline constexpr UINT MB_OKCANCEL = 0x0001;
inline constexpr UINT MB_YESNO = 0x0004;
inline constexpr UINT MB_ICONERROR = 0x0010;
inline constexpr UINT MB_ICONWARNING = 0x0030;
inline constexpr UINT MB_ICONINFORMATION = 0x0040;

// The pressed button's id (IDOK for MB_OK; Escape gives IDCANCEL, or IDNO for MB_YESNO).
// 0 when no window can be shown (the text then goes to the debug output).
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// The value given to EndDialog; -1 when the template is unknown or no window can be shown.
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR template_name, HWND owner, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int max_count);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog procedure's own value (what it keeps between messages).
inline constexpr int DWLP_USER = 16;
// Only DWLP_USER of a dialog: the previous value; 0, changing nothing, for another index or window.
LONG_PTR SetWindowLongPtrW(HWND dialog, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrW(HWND dialog, int index);

namespace plat {

enum class DialogItemKind { Text, Button, DefaultButton, Progress, Edit };

struct DialogItem {
    DialogItemKind kind;
    int id;
    std::u16string text;
    RECT rect;   // client pixels
};

struct DialogTemplate {
    std::u16string title;
    int width;    // client pixels
    int height;
    std::vector<DialogItem> items;
};

// Adds or replaces the template DialogBoxParamW finds under MAKEINTRESOURCEW(id).
void add_dialog_template(WORD id, DialogTemplate dialog);

}
