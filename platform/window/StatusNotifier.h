#pragma once
// Inside the window layer: a tray icon as a StatusNotifierItem on the session
// bus, for desktops whose tray hosts a StatusNotifierWatcher. The host's
// Activate posts the icon's callback message with WM_LBUTTONDBLCLK and its
// ContextMenu with WM_RBUTTONDOWN, as clicks on the icon would; the program
// opens its own menu (TrackPopupMenu) at the pointer.

#include "platform/window/Window.h"

#include <memory>
#include <string>

namespace plat {

class StatusNotifierItem {
public:
    // Null when there is no session bus or no watcher on it.
    static std::unique_ptr<StatusNotifierItem> create(HWND hwnd, UINT id, UINT callback_message,
                                                      const std::u16string& tip);
    // Leaves the bus; the host removes the icon.
    ~StatusNotifierItem();
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    // The bus name the item answers at.
    const std::string& service() const;

private:
    struct State;
    explicit StatusNotifierItem(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

}
