#include "FileDialog.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"

#include <algorithm>
#include <mutex>

namespace plat {

namespace {

struct Choosers {
    std::mutex lock;
    ChooserRunner runner;   // guarded by lock; empty: run_program
};

Choosers& choosers()
{
    static Choosers c;
    return c;
}

// The user's choice: the first line of a chooser that ended with 0.
std::optional<std::string> run_chooser(const std::vector<std::string>& args)
{
    ChooserRunner runner;
    {
        std::scoped_lock hold(choosers().lock);
        runner = choosers().runner;
    }
    const std::optional<ProgramOutput> out = runner ? runner(args) : run_program(args);
    if (!out) {
        debug_log("dialogs: the chooser \"" + args.front() + "\" cannot run");
        return std::nullopt;
    }
    std::string chosen = out->output.substr(0, out->output.find('\n'));
    if (out->exit_code != 0 || chosen.empty() || chosen[0] != '/') return std::nullopt;
    return chosen;
}

// zenity opens in a folder named with a closing "/".
std::string folder_argument(std::string folder)
{
    if (folder.back() != '/') folder += '/';
    return "--filename=" + folder;
}

std::vector<std::u16string> filter_texts(LPCWSTR filter)
{
    std::vector<std::u16string> texts;
    while (filter != nullptr && *filter != 0) {
        texts.emplace_back(filter);
        filter += texts.back().size() + 1;
    }
    return texts;
}

std::string ascii_upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// "Flash Files(.flv)" and "*.flv;*.FLV" become "--file-filter=Flash Files(.flv) | *.flv *.FLV".
std::string file_filter_argument(std::u16string_view name, std::u16string_view patterns)
{
    std::string shown = utf16_to_utf8(name);
    std::replace(shown.begin(), shown.end(), '|', '/');   // the chooser cuts the name at "|"
    std::vector<std::string> globs;
    const std::string all = utf16_to_utf8(patterns);
    std::size_t at = 0;
    while (at <= all.size()) {
        const std::size_t end = std::min(all.find(';', at), all.size());
        std::string glob = all.substr(at, end - at);
        at = end + 1;
        if (glob == "*.*") glob = "*";
        if (glob.empty() || glob.find(' ') != std::string::npos) continue;
        for (std::string g : {glob, ascii_upper(glob)})
            if (std::find(globs.begin(), globs.end(), g) == globs.end()) globs.push_back(std::move(g));
    }
    std::string argument = "--file-filter=" + shown + " |";
    for (const std::string& g : globs) argument += " " + g;
    return argument;
}

std::vector<std::string> open_file_arguments(const OPENFILENAMEW& dialog)
{
    std::vector<std::string> args = {"zenity", "--file-selection"};
    if (dialog.lpstrTitle != nullptr) args.push_back("--title=" + utf16_to_utf8(dialog.lpstrTitle));
    if (dialog.lpstrInitialDir != nullptr && *dialog.lpstrInitialDir != 0)
        args.push_back(folder_argument(utf16_to_utf8(dialog.lpstrInitialDir)));
    const std::vector<std::u16string> texts = filter_texts(dialog.lpstrFilter);
    const std::size_t pairs = texts.size() / 2;
    // The chooser offers its first filter: the selected one goes first.
    const std::size_t chosen = dialog.nFilterIndex >= 1 && dialog.nFilterIndex <= pairs ? dialog.nFilterIndex - 1 : 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        const std::size_t pair = i == 0 ? chosen : (i <= chosen ? i - 1 : i);
        args.push_back(file_filter_argument(texts[2 * pair], texts[2 * pair + 1]));
    }
    return args;
}

}

void set_chooser_runner(ChooserRunner runner)
{
    std::scoped_lock hold(choosers().lock);
    choosers().runner = std::move(runner);
}

std::optional<std::string> choose_folder(std::u16string_view title, std::string_view start_folder)
{
    std::vector<std::string> args = {"zenity", "--file-selection", "--directory"};
    if (!title.empty()) args.push_back("--title=" + utf16_to_utf8(title));
    if (!start_folder.empty()) args.push_back(folder_argument(std::string(start_folder)));
    return run_chooser(args);
}

}

BOOL GetOpenFileNameW(OPENFILENAMEW* dialog)
{
    if (dialog == nullptr || dialog->lpstrFile == nullptr || dialog->nMaxFile == 0) return FALSE;
    const std::optional<std::string> chosen = plat::run_chooser(plat::open_file_arguments(*dialog));
    if (!chosen) return FALSE;
    const std::u16string path = plat::utf8_to_utf16(*chosen);
    if (path.size() + 1 > dialog->nMaxFile) {
        plat::debug_log("dialogs: the chosen path is longer than the caller's buffer");
        return FALSE;
    }
    std::copy(path.begin(), path.end(), dialog->lpstrFile);
    dialog->lpstrFile[path.size()] = 0;
    return TRUE;
}
