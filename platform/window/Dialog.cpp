#include "Dialog.h"

#include "DialogPainter.h"
#include "WindowTable.h"

#include "platform/window/Clipboard.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <utility>

namespace plat {

namespace {

// What the dialog layer keeps per dialog and per control; the window table has the rest.
struct DialogState {
    DLGPROC proc;
    int default_id;
    bool ended = false;
    INT_PTR result = 0;
    HWND pressed = nullptr;   // the button the mouse went down on
    HWND focus = nullptr;     // the edit field that typed text goes to
};

struct ControlState {
    DialogItemKind kind;
    int low = 0, high = 100, pos = 0;   // progress bars
    std::size_t caret = 0;              // edit fields: in UTF-16 units, never inside a surrogate pair
};

struct DialogTable {
    std::mutex lock;
    std::map<WORD, DialogTemplate> templates;   // guarded by lock
    std::map<HWND, DialogState> dialogs;        // guarded by lock
    std::map<HWND, ControlState> controls;      // guarded by lock
};

DialogTable& dialog_table()
{
    static DialogTable t;
    return t;
}

constexpr const char16_t* dialog_class = u"#32770";

template <typename F>
auto with_dialog(HWND hwnd, F&& f) -> decltype(f(std::declval<DialogState*>()))
{
    auto& t = dialog_table();
    std::scoped_lock hold(t.lock);
    auto found = t.dialogs.find(hwnd);
    return f(found == t.dialogs.end() ? nullptr : &found->second);
}

std::optional<ControlState> control_state(HWND hwnd)
{
    auto& t = dialog_table();
    std::scoped_lock hold(t.lock);
    auto found = t.controls.find(hwnd);
    return found == t.controls.end() ? std::nullopt : std::optional(found->second);
}

void press(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool is_button(HWND control)
{
    auto state = control_state(control);
    return state && (state->kind == DialogItemKind::Button || state->kind == DialogItemKind::DefaultButton);
}

bool is_edit(HWND control)
{
    auto state = control_state(control);
    return state && state->kind == DialogItemKind::Edit;
}

HWND control_at(HWND dialog, LPARAM point, bool (*is_kind)(HWND))
{
    const POINT p{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    for (HWND child : child_windows(dialog)) {
        RECT r{};
        GetWindowRect(child, &r);
        if (is_kind(child) && p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return child;
    }
    return nullptr;
}

std::u16string window_text(HWND hwnd)
{
    std::u16string text;
    update_window(hwnd, [&](WindowRecord& r) { text = r.text; });
    return text;
}

bool is_high_surrogate(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool is_low_surrogate(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

std::size_t previous_character(const std::u16string& text, std::size_t at)
{
    if (at == 0) return 0;
    return at >= 2 && is_low_surrogate(text[at - 1]) && is_high_surrogate(text[at - 2]) ? at - 2 : at - 1;
}

std::size_t next_character(const std::u16string& text, std::size_t at)
{
    if (at >= text.size()) return text.size();
    return at + 1 < text.size() && is_high_surrogate(text[at]) && is_low_surrogate(text[at + 1]) ? at + 2 : at + 1;
}

// Changes an edit field's text and caret together, then has its dialog paint.
void edit_field(HWND field, const std::function<void(std::u16string& text, std::size_t& caret)>& change)
{
    auto state = control_state(field);
    if (!state || state->kind != DialogItemKind::Edit) return;
    std::u16string text = window_text(field);
    std::size_t caret = std::min(state->caret, text.size());
    change(text, caret);
    update_window(field, [&](WindowRecord& r) { r.text = text; });
    {
        auto& t = dialog_table();
        std::scoped_lock hold(t.lock);
        if (auto found = t.controls.find(field); found != t.controls.end()) found->second.caret = caret;
    }
    request_paint(GetParent(field));
}

// The clipboard's text up to its first line break: the field holds one line.
std::u16string clipboard_line(HWND owner)
{
    std::u16string text;
    if (!OpenClipboard(owner)) return text;
    if (HGLOBAL block = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* units = static_cast<const WCHAR*>(GlobalLock(block))) {
            text = units;
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return text.substr(0, text.find_first_of(u"\r\n"));
}

void type_character(HWND field, WCHAR unit)
{
    if (unit == VK_BACK) {
        edit_field(field, [](std::u16string& text, std::size_t& caret) {
            const std::size_t from = previous_character(text, caret);
            text.erase(from, caret - from);
            caret = from;
        });
    } else if (unit >= 0x20 && unit != 0x7F) {   // Enter, Escape and Tab act on the dialog, not the text
        edit_field(field, [unit](std::u16string& text, std::size_t& caret) { text.insert(caret++, 1, unit); });
    }
}

void press_key(HWND dialog, HWND field, WPARAM key)
{
    const bool control = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool edits = key == VK_LEFT || key == VK_RIGHT || key == VK_HOME || key == VK_END || key == VK_DELETE ||
                       (key == 'V' && control);
    if (!edits) return;
    edit_field(field, [&](std::u16string& text, std::size_t& caret) {
        switch (key) {
        case VK_LEFT: caret = previous_character(text, caret); break;
        case VK_RIGHT: caret = next_character(text, caret); break;
        case VK_HOME: caret = 0; break;
        case VK_END: caret = text.size(); break;
        case VK_DELETE: text.erase(caret, next_character(text, caret) - caret); break;
        case 'V': {
            const std::u16string pasted = clipboard_line(dialog);
            text.insert(caret, pasted);
            caret += pasted.size();
            break;
        }
        }
    });
}

void paint(HWND dialog)
{
    std::vector<PaintedItem> items;
    const HWND pressed = with_dialog(dialog, [](DialogState* d) { return d ? d->pressed : nullptr; });
    const HWND focus = with_dialog(dialog, [](DialogState* d) { return d ? d->focus : nullptr; });
    for (HWND child : child_windows(dialog)) {
        auto state = control_state(child);
        if (!state || !IsWindowVisible(child)) continue;
        const std::u16string text = window_text(child);
        RECT r{};
        GetWindowRect(child, &r);
        const double span = state->high - state->low;
        const double progress = span > 0 ? std::clamp((state->pos - state->low) / span, 0.0, 1.0) : 0.0;
        const int caret = child == focus ? static_cast<int>(std::min(state->caret, text.size())) : -1;
        items.push_back({state->kind, text, r, progress, child == pressed, caret});
    }
    RECT client{};
    GetClientRect(dialog, &client);
    paint_dialog(dialog, client.right, client.bottom, items);
}

LRESULT mouse(HWND dialog, UINT message, LPARAM point)
{
    if (HWND field = control_at(dialog, point, is_edit); field && message == WM_LBUTTONDOWN)
        with_dialog(dialog, [&](DialogState* d) { return d ? (d->focus = field) : nullptr; });
    HWND under = control_at(dialog, point, is_button);
    HWND pressed = with_dialog(dialog, [&](DialogState* d) {
        if (!d) return HWND{nullptr};
        return message == WM_LBUTTONDOWN ? (d->pressed = under) : std::exchange(d->pressed, nullptr);
    });
    request_paint(dialog);
    if (message == WM_LBUTTONUP && pressed && pressed == under) {
        auto facts = window_facts(pressed);
        press(dialog, static_cast<int>(facts->control_id));
    }
    return 0;
}

LRESULT dialog_frame_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const DLGPROC proc = with_dialog(hwnd, [](DialogState* d) { return d ? d->proc : nullptr; });
    if (proc && message != WM_PAINT && proc(hwnd, message, wParam, lParam)) return 0;
    switch (message) {
    case WM_PAINT: paint(hwnd); return 0;
    case WM_CLOSE: press(hwnd, IDCANCEL); return 0;   // never DefWindowProc's destroy: the loop ends the dialog
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) press(hwnd, with_dialog(hwnd, [](DialogState* d) { return d ? d->default_id : IDOK; }));
        if (wParam == VK_ESCAPE) press(hwnd, IDCANCEL);
        press_key(hwnd, with_dialog(hwnd, [](DialogState* d) { return d ? d->focus : nullptr; }), wParam);
        return 0;
    case WM_CHAR:
        type_character(with_dialog(hwnd, [](DialogState* d) { return d ? d->focus : nullptr; }),
                       static_cast<WCHAR>(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: return mouse(hwnd, message, lParam);
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT control_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& t = dialog_table();
    LRESULT answer = 0;
    switch (message) {
    case WM_SETTEXT: {
        // An edit field's caret goes to the end of its new text.
        const std::size_t end = window_text(hwnd).size();
        std::scoped_lock hold(t.lock);
        if (auto found = t.controls.find(hwnd); found != t.controls.end()) found->second.caret = end;
        break;
    }
    case PBM_SETRANGE:
    case PBM_SETPOS:
    case PBM_GETPOS: {
        std::scoped_lock hold(t.lock);
        auto found = t.controls.find(hwnd);
        if (found == t.controls.end()) return 0;
        ControlState& c = found->second;
        if (message == PBM_GETPOS) return c.pos;
        if (message == PBM_SETRANGE) {
            answer = MAKELPARAM(c.low, c.high);
            c.low = LOWORD(static_cast<std::uintptr_t>(lParam));
            c.high = HIWORD(static_cast<std::uintptr_t>(lParam));
        } else {
            answer = std::exchange(c.pos, static_cast<int>(wParam));
        }
        c.pos = std::clamp(c.pos, c.low, std::max(c.low, c.high));
        break;
    }
    case WM_DESTROY: {
        std::scoped_lock hold(t.lock);
        t.controls.erase(hwnd);
        return 0;
    }
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    request_paint(GetParent(hwnd));   // a control is drawn by its dialog
    return answer;
}

const char16_t* class_of(DialogItemKind kind)
{
    switch (kind) {
    case DialogItemKind::Text: return u"Static";
    case DialogItemKind::Progress: return u"msctls_progress32";
    case DialogItemKind::Edit: return u"Edit";
    default: return u"Button";
    }
}

void register_classes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = dialog_frame_proc;
        wc.lpszClassName = dialog_class;
        RegisterClassExW(&wc);
        wc.lpfnWndProc = control_proc;
        for (auto kind : {DialogItemKind::Text, DialogItemKind::Button, DialogItemKind::Progress, DialogItemKind::Edit}) {
            wc.lpszClassName = class_of(kind);
            RegisterClassExW(&wc);
        }
    });
}

HWND make_dialog(const DialogTemplate& dialog, HWND owner, DLGPROC proc, std::optional<POINT> at)
{
    register_classes();
    int x = CW_USEDEFAULT, y = 0;
    if (at) {
        x = at->x;
        y = at->y;
    } else if (RECT o{}; owner && GetWindowRect(owner, &o)) {
        x = o.left + (o.right - o.left - dialog.width) / 2;
        y = o.top + (o.bottom - o.top - dialog.height) / 2;
    }
    // Placed at a point: a pop-up without the desktop's frame (a menu).
    const DWORD style = at ? WS_POPUP : WS_CAPTION | WS_SYSMENU;
    HWND hwnd = CreateWindowExW(0, dialog_class, dialog.title.c_str(), style, x, y, dialog.width,
                                dialog.height, nullptr, nullptr, nullptr, nullptr);
    if (!hwnd) return nullptr;
    int default_id = IDOK;
    HWND focus = nullptr;
    for (const DialogItem& item : dialog.items) {
        if (item.kind == DialogItemKind::DefaultButton) default_id = item.id;
        HWND control = CreateWindowExW(0, class_of(item.kind), item.text.c_str(), WS_CHILD | WS_VISIBLE,
                                       item.rect.left, item.rect.top, item.rect.right - item.rect.left,
                                       item.rect.bottom - item.rect.top, hwnd,
                                       reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(item.id)), nullptr, nullptr);
        if (item.kind == DialogItemKind::Edit && !focus) focus = control;
        auto& t = dialog_table();
        std::scoped_lock hold(t.lock);
        t.controls[control] = {item.kind, 0, 100, 0, item.text.size()};
    }
    auto& t = dialog_table();
    std::scoped_lock hold(t.lock);
    t.dialogs[hwnd] = {proc, default_id, false, 0, nullptr, focus};
    return hwnd;
}

bool ended(HWND dialog)
{
    return with_dialog(dialog, [](DialogState* d) { return !d || d->ended; });
}

}

// The modal loop: the owner takes no input until the dialog procedure ends it.
INT_PTR run_dialog(const DialogTemplate& dialog, HWND owner, DLGPROC proc, LPARAM param, std::optional<POINT> at)
{
    HWND hwnd = make_dialog(dialog, owner, proc, at);
    if (!hwnd) {
        debug_log("window: cannot show the dialog \"" + utf16_to_utf8(dialog.title) + "\"");
        return -1;
    }
    const bool disable_owner = owner && IsWindowEnabled(owner);
    if (disable_owner) EnableWindow(owner, FALSE);
    const auto controls = child_windows(hwnd);
    proc(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(controls.empty() ? nullptr : controls.front()), param);
    if (!ended(hwnd)) {
        ShowWindow(hwnd, SW_SHOW);
        SetForegroundWindow(hwnd);
    }
    MSG m;
    while (!ended(hwnd)) {
        if (GetMessageW(&m, nullptr, 0, 0) == 0) {
            // A quit ends the dialog and still reaches the loop outside it.
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    const INT_PTR result = with_dialog(hwnd, [](DialogState* d) { return d ? d->result : 0; });
    if (disable_owner) EnableWindow(owner, TRUE);
    if (owner) SetForegroundWindow(owner);   // the owner takes the focus back, as on Windows
    DestroyWindow(hwnd);
    auto& t = dialog_table();
    std::scoped_lock hold(t.lock);
    t.dialogs.erase(hwnd);
    return result;
}

namespace {

// The message box's procedure: lParam of WM_INITDIALOG is its MB_ type.
INT_PTR message_box_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        update_window(hwnd, [&](WindowRecord& r) { r.user_data = lParam; });
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    const UINT buttons = static_cast<UINT>(window_facts(hwnd)->user_data) & 0xF;
    int id = LOWORD(wParam);
    if (id == IDCANCEL && buttons == MB_YESNO) id = IDNO;
    if (id == IDCANCEL && buttons == MB_OK) id = IDOK;
    EndDialog(hwnd, id);
    return TRUE;
}

DialogTemplate message_box_template(std::u16string_view text, std::u16string_view caption, UINT type)
{
    constexpr int width = 380, margin = 16, button_w = 84, button_h = 26;
    const int text_bottom = margin + wrapped_text_height(text, width - 2 * margin);
    const int height = text_bottom + margin + button_h + margin;
    DialogTemplate t{std::u16string(caption), width, height, {}};
    t.items.push_back({DialogItemKind::Text, -1, std::u16string(text), {margin, margin, width - margin, text_bottom}});
    std::vector<std::pair<int, std::u16string>> buttons;
    switch (type & 0xF) {
    case MB_OKCANCEL: buttons = {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}}; break;
    case MB_YESNO: buttons = {{IDYES, u"Yes"}, {IDNO, u"No"}}; break;
    default: buttons = {{IDOK, u"OK"}}; break;
    }
    int right = width - margin;
    for (auto it = buttons.rbegin(); it != buttons.rend(); ++it) {
        const bool first = it == std::prev(buttons.rend());
        t.items.push_back({first ? DialogItemKind::DefaultButton : DialogItemKind::Button, it->first, it->second,
                           {right - button_w, height - margin - button_h, right, height - margin}});
        right -= button_w + 8;
    }
    return t;
}

}

void add_dialog_template(WORD id, DialogTemplate dialog)
{
    auto& t = dialog_table();
    std::scoped_lock hold(t.lock);
    t.templates[id] = std::move(dialog);
}

}

LONG_PTR SetWindowLongPtrW(HWND dialog, int index, LONG_PTR value)
{
    LONG_PTR previous = 0;
    if (index == DWLP_USER)
        plat::update_window(dialog, [&](plat::WindowRecord& r) { previous = std::exchange(r.user_data, value); });
    return previous;
}

LONG_PTR GetWindowLongPtrW(HWND dialog, int index)
{
    if (index != DWLP_USER) return 0;
    const auto facts = plat::window_facts(dialog);
    return facts ? facts->user_data : 0;
}

INT_PTR DialogBoxParamW(HINSTANCE, LPCWSTR template_name, HWND owner, DLGPROC proc, LPARAM param)
{
    const auto id = reinterpret_cast<std::uintptr_t>(template_name);
    if (!proc || id > 0xFFFF) return -1;
    plat::DialogTemplate dialog;
    {
        auto& t = plat::dialog_table();
        std::scoped_lock hold(t.lock);
        auto found = t.templates.find(static_cast<WORD>(id));
        if (found == t.templates.end()) return -1;
        dialog = found->second;
    }
    return plat::run_dialog(dialog, owner, proc, param, std::nullopt);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    const std::u16string body = text ? text : u"";
    const std::u16string title = caption ? caption : u"Error";
    const INT_PTR pressed = plat::run_dialog(plat::message_box_template(body, title, type), owner,
                                             plat::message_box_proc, static_cast<LPARAM>(type), std::nullopt);
    if (pressed > 0) return static_cast<int>(pressed);
    plat::debug_log("message box: " + plat::utf16_to_utf8(title) + ": " + plat::utf16_to_utf8(body));
    return 0;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    const BOOL known = plat::with_dialog(dialog, [&](plat::DialogState* d) {
        if (!d) return FALSE;
        d->ended = true;
        d->result = result;
        return TRUE;
    });
    // Called from a sent message the loop's receive may still wait: a posted message ends the wait.
    if (known) PostMessageW(dialog, WM_NULL, 0, 0);
    return known;
}

HWND GetDlgItem(HWND dialog, int id)
{
    for (HWND child : plat::child_windows(dialog))
        if (auto facts = plat::window_facts(child); facts && facts->control_id == static_cast<UINT_PTR>(id)) return child;
    return nullptr;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int max_count)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? static_cast<UINT>(GetWindowTextW(item, text, max_count)) : 0;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageW(item, message, wParam, lParam) : 0;
}
