#include "Tray.h"

#include "HandleTable.h"
#include "StatusNotifier.h"
#include "WindowTable.h"

#include <SDL.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace {

struct MenuItem {
    UINT_PTR id;
    std::u16string text;
};

plat::HandleTable<HMENU, std::vector<MenuItem>>& menus()
{
    static plat::HandleTable<HMENU, std::vector<MenuItem>> m(0x40000);
    return m;
}

// The icons shown on the session bus, by window.
struct BusItems {
    std::mutex lock;
    std::map<HWND, std::unique_ptr<plat::StatusNotifierItem>> items;   // guarded by lock
};

BusItems& bus_items()
{
    static BusItems b;
    return b;
}

// Shows the icon through the desktop's StatusNotifierWatcher when there is one.
bool show_on_bus(HWND hwnd, const NOTIFYICONDATAW& data)
{
    std::u16string tip;
    if (data.uFlags & NIF_TIP) tip.assign(data.szTip, std::find(std::begin(data.szTip), std::end(data.szTip), u'\0'));
    auto item = plat::StatusNotifierItem::create(hwnd, data.uID, data.uCallbackMessage, tip);
    if (!item)
        return false;
    BusItems& b = bus_items();
    std::scoped_lock hold(b.lock);
    b.items[hwnd] = std::move(item);
    return true;
}

constexpr int item_height = 24, menu_width = 200;

INT_PTR menu_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND: {
        // Escape is IDCANCEL; Enter's IDOK chooses nothing unless an item has that id.
        const int id = LOWORD(wParam);
        if (GetDlgItem(hwnd, id)) EndDialog(hwnd, id);
        else if (id == IDCANCEL) EndDialog(hwnd, 0);
        return TRUE;
    }
    case WM_ACTIVATE:
        // Focus going elsewhere leaves the menu, as a click outside it does.
        if (LOWORD(wParam) == WA_INACTIVE) EndDialog(hwnd, 0);
        return FALSE;
    default: return FALSE;
    }
}

}

BOOL Shell_NotifyIconW(DWORD message, const NOTIFYICONDATAW* data)
{
    if (!data || !IsWindow(data->hWnd)) return FALSE;
    HWND hwnd = data->hWnd;
    bool done = false;
    bool hide_now = false;
    plat::update_window(hwnd, [&](plat::WindowRecord& r) {
        switch (message) {
        case NIM_ADD:
            if (r.tray) return;
            r.tray = plat::TrayLink{data->uID, (data->uFlags & NIF_MESSAGE) ? data->uCallbackMessage : 0};
            done = true;
            return;
        case NIM_MODIFY:
            if (!r.tray || r.tray->id != data->uID) return;
            if (data->uFlags & NIF_MESSAGE) r.tray->callback_message = data->uCallbackMessage;
            done = true;
            return;
        case NIM_DELETE:
            if (!r.tray || r.tray->id != data->uID) return;
            r.tray.reset();
            // Without its icon a window hidden in the tray is simply hidden.
            hide_now = std::exchange(r.tray_hidden, false);
            done = true;
            return;
        }
    });
    if (done && message == NIM_ADD && show_on_bus(hwnd, *data))
        plat::update_window(hwnd, [](plat::WindowRecord& r) {
            if (r.tray) r.tray->on_bus = true;
        });
    if (done && message == NIM_DELETE) plat::remove_tray_item(hwnd);
    if (hide_now) {
        if (auto facts = plat::window_facts(hwnd); facts && facts->sdl) SDL_HideWindow(facts->sdl);
    }
    return done ? TRUE : FALSE;
}

namespace plat {

void remove_tray_item(HWND hwnd)
{
    std::unique_ptr<StatusNotifierItem> gone;
    BusItems& b = bus_items();
    {
        std::scoped_lock hold(b.lock);
        const auto found = b.items.find(hwnd);
        if (found == b.items.end()) return;
        gone = std::move(found->second);
        b.items.erase(found);
    }
}

}

HMENU CreatePopupMenu() { return menus().add({}); }

BOOL AppendMenuW(HMENU menu, UINT, UINT_PTR id, LPCWSTR text)
{
    return menus().with(menu, [&](std::vector<MenuItem>& items) { items.push_back({id, text ? text : u""}); }) ? TRUE
                                                                                                               : FALSE;
}

BOOL DestroyMenu(HMENU menu) { return menus().remove(menu) ? TRUE : FALSE; }

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*)
{
    std::vector<MenuItem> items;
    menus().with(menu, [&](const std::vector<MenuItem>& kept) { items = kept; });
    if (items.empty()) return FALSE;
    const int height = static_cast<int>(items.size()) * item_height;
    plat::DialogTemplate popup{u"menu", menu_width, height, {}};
    for (std::size_t i = 0; i < items.size(); ++i) {
        const LONG top = static_cast<LONG>(i) * item_height;
        popup.items.push_back({plat::DialogItemKind::Button, static_cast<int>(items[i].id), items[i].text,
                               {0, top, menu_width, top + item_height}});
    }
    const POINT at{(flags & TPM_RIGHTALIGN) ? x - menu_width : x, (flags & TPM_BOTTOMALIGN) ? y - height : y};
    const INT_PTR chosen = plat::run_dialog(popup, nullptr, menu_proc, 0, at);
    if (chosen <= 0) return 0;
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
    PostMessageW(owner, WM_COMMAND, MAKEWPARAM(static_cast<int>(chosen), 0), 0);
    return TRUE;
}
