#pragma once
// The controller's display fields and the widgets it drives, shared by its
// source files; not for other folders.

#include "core/controller/uiLogic.h"

#include <mutex>
#include <optional>

namespace UI {

class wcontrolbar;
class widget;
class window;

// Fields that the UI thread (hooks, timers) and the logic thread (commands)
// both change. The lock is a leaf: nothing is called while it is held.
struct uiLogic::Display {
    mutable std::mutex lock;
    DWORD mode = DisplayMode::None;         // guarded by lock; low 12 bits the mode
    int window_state = WindowState::Normal; // guarded by lock
    int view_state = 0;                     // guarded by lock
    int play_state = 0;                     // guarded by lock
    bool armed = false;                     // guarded by lock: the auto-hide timers run
    std::optional<POINT> last_point;        // guarded by lock
    PlayListCursor cursor;                  // guarded by lock
    float video_width = 0;                  // guarded by lock
    float video_height = 0;                 // guarded by lock
    // The item of a row whose click the list has taken (its click animation
    // ran): the click that follows plays it even when the rows changed in
    // between (a page read again, a download marking them).
    std::optional<RSSData::tRSSItem> clicked;  // guarded by lock
};

// A press on a feed list row that may become a drag; the feed list's mouse
// events come on the UI thread only.
struct uiLogic::DragState {
    bool armed = false;      // pressed; not yet moved past the threshold
    bool dragging = false;   // moved past it: the drag window carries the item
    POINT press{0, 0};
    RSSData::tRSSItem item;
};

namespace controller_widgets {

widget* by_id(int id);
bool shown(int id);
void show(int id, bool on);
void animate(widget* w, int flags);
void animate(int id, int flags);
videoplaywindow* video();
wcontrolbar* bar();
wrsslist* feed_list();
window* frame(uiMgr::Frame which);
bool frame_shown(uiMgr::Frame which);
// The pointer is over the widget (client coordinates).
bool over(const widget* w, POINT p);
SIZE client_size();
SIZE screen_size();

}

// The show and hide animation words of the frames, the bar and the pane.
namespace Anim {
// The control bar keeps the client's bottom right corner: it rises from and
// sinks into the bottom edge. A move from the left would end at x 0.
inline constexpr int ShowBar = 0x500220, HideBar = 0x600220;
inline constexpr int ShowBottomFrame = 0x500202;
inline constexpr int ShowPane = 0x500240, HidePane = 0x600240;
inline constexpr int ShowTop = 0x500204, HideTop = 0x600204;
inline constexpr int ShowSide = 0x500220, HideSide = 0x600220;
inline constexpr int ShowSettings = 0x100220, HideSettings = 0x600220;
}

// The warning page a list shows when it has nothing: favourites, recently
// viewed, search results, else a channel's.
inline int WarningPageOfList(int kind) { return kind == 9 ? 18 : kind == 10 ? 19 : kind == 3 ? 20 : 17; }

}
