#pragma once
// The shell's file-open dialog and folder browser, shown by the desktop's
// chooser program (zenity) run with an argument vector, never through a
// shell. The call waits until the user has chosen; the program's own windows
// keep working meanwhile when the caller is not the UI thread (the controller
// asks from its logic thread).

#include "platform/fs/Process.h"
#include "platform/window/Window.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using LPOFNHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

inline constexpr DWORD OFN_READONLY = 0x00000001;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
inline constexpr DWORD OFN_ENABLEHOOK = 0x00000020;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
inline constexpr DWORD OFN_EXPLORER = 0x00080000;
inline constexpr DWORD OFN_ENABLESIZING = 0x00800000;

struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter;         // pairs of zero-terminated name and patterns ("*.mpg;*.mp4"), ended by an empty name
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;          // 1 for the first pair
    LPWSTR lpstrFile;            // receives the chosen path
    DWORD nMaxFile;              // characters, the terminator included
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCWSTR lpTemplateName;
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
};

// TRUE with the chosen file's path in lpstrFile; FALSE when the user cancelled,
// the path does not fit in nMaxFile, or no chooser could be shown. The filter
// at nFilterIndex is the one offered first; "*.*" means every file and each
// pattern matches its upper-case spelling too, as on a case-blind disk. The
// hook, template and owner have no equivalent in the desktop's chooser.
BOOL GetOpenFileNameW(OPENFILENAMEW* dialog);

namespace plat {

// What shows a chooser: runs the argument vector and gives what it printed.
using ChooserRunner = std::function<std::optional<ProgramOutput>(const std::vector<std::string>& args)>;

// Replaces the runner of every chooser in the process (tests script the
// user's answer); an empty one restores run_program.
void set_chooser_runner(ChooserRunner runner);

// The folder the user chose in the desktop's folder chooser, opened at
// `start_folder`; nothing when cancelled or no chooser could be shown.
std::optional<std::string> choose_folder(std::u16string_view title, std::string_view start_folder);

}
