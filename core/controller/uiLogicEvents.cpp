// The controller's side of its four channels: the logic commands it runs, the
// global UI events and the feed updater's and database's notices it turns
// into commands.

#include "core/controller/LogicCommand.h"
#include "core/controller/uiLogicState.h"
#include "screens/builder/UIIds.h"
#include "screens/warning/warningpageMgr.h"

#include "screens/feedlist/wrsslist.h"
#include "screens/video/videoplaywindow.h"
#include "toolkit/widgets/CMutexGuard.h"

#include "core/search/CSearchLauncher.h"
#include "platform/base/Utf.h"
#include "playback/devicesync/uiLogicsyncdevice.h"
#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/widget.h"

#include <mutex>
#include <utility>

namespace UI {

namespace {

// Who owns what a command carries, so a command that is never run frees it.
void drop_path(const MSG& m) { delete[] reinterpret_cast<char16_t*>(m.wParam); }
void drop_widget(const MSG& m) { delete reinterpret_cast<widget*>(m.wParam); }
void drop_search(const MSG& m) { delete reinterpret_cast<SearchRequest*>(m.wParam); }
void drop_address(const MSG& m)
{
    if (m.wParam == 4)
        delete reinterpret_cast<std::string*>(m.lParam);
}

plat::DropPayload payload_drop(UINT code)
{
    switch (code) {
    case LogicCommand::OpenPath: return &drop_path;
    case LogicCommand::DeleteWidget: return &drop_widget;
    case LogicCommand::SearchResult: return &drop_search;
    case LogicCommand::DataActionResult: return &drop_address;
    default: return nullptr;
    }
}

// ChannelUpdated's lParam for the channel the feed view waited for.
constexpr LPARAM PendingChannelUpdated = 1;

int ui_id(const EventArgs& e) { return e.sender ? GetWidgetIdByName(e.sender->GetName()) : 0; }

intptr_t event_value(const EventArgs& e) { return static_cast<const ValueEventArgs&>(e).value; }
intptr_t no_value(const EventArgs&) { return 0; }

// One global event: the command it posts and what the handler answers.
struct Route {
    const char* event;
    UINT code;
    bool handled;
    intptr_t (*lparam)(const EventArgs&);
};

constexpr Route routes[] = {
    {"button_clicked", LogicCommand::UICommand, false, &no_value},
    {"selectbtn_clicked", LogicCommand::UICommand, false, &no_value},
    {"widget_doubleclick", LogicCommand::WidgetDoubleClick, false, &no_value},
    {"list_click", LogicCommand::ListClick, true,
     [](const EventArgs& e) { return event_value(e) * 256 + static_cast<const ValueEventArgs&>(e).reserved; }},
    {"slider_moveto", LogicCommand::VolumeValue, true, &event_value},
    {"progressbar_moveto", LogicCommand::ProgressMoved, true, &event_value},
    {"progressbar_click", LogicCommand::SeekValue, true, &event_value},
    {"window_click", LogicCommand::WindowClicked, false, &no_value},
};

// The subscriber of every route: global slots live as long as the process,
// so they reach the controller of the moment, not one that has gone.
struct EventRouter {
    template <std::size_t I>
    bool on(EventArgs& e)
    {
        uiLogic* controller = uiLogic::Instance();
        const int id = ui_id(e);
        if (!controller || !id)
            return false;
        const Route& route = routes[I];
        if (route.code == LogicCommand::WindowClicked)
            uiMgr::Instance().DebugOutput(plat::utf8_to_utf16("window_click: " + e.sender->GetName()).c_str());
        controller->PostLogicCommand(route.code, WPARAM(id), route.lparam(e));
        return route.handled;
    }

    // Handled for every list; only the feed list's rows load the video in.
    bool on_row_click_animation(EventArgs& e)
    {
        uiLogic* controller = uiLogic::Instance();
        auto* list = dynamic_cast<wrsslist*>(e.sender);
        if (controller && list && ui_id(e) == ids::RssList)
            controller->OnRowClickAnimation(*list, int(event_value(e)));
        return true;
    }

    bool on_tree_node(EventArgs& e)
    {
        uiLogic* controller = uiLogic::Instance();
        if (controller)
            controller->OnTreeNodeClicked(e);
        return false;
    }

    template <std::size_t... I>
    void subscribe(std::index_sequence<I...>)
    {
        auto& events = GlobalEventSet::Instance();
        (events.GetEvent(routes[I].event, true)->Subscribe(&EventRouter::on<I>, this), ...);
        events.GetEvent("treenode_clicked", true)->Subscribe(&EventRouter::on_tree_node, this);
        events.GetEvent("rsslistitemclickanimation", true)->Subscribe(&EventRouter::on_row_click_animation, this);
    }
};

}

void uiLogic::SubscribeEvents()
{
    static EventRouter router;
    static std::once_flag once;
    std::call_once(once, [] { router.subscribe(std::make_index_sequence<std::size(routes)>{}); });
}

bool uiLogic::PostLogicCommand(UINT code, WPARAM wparam, LPARAM lparam)
{
    return m_thread.Post(code, wparam, lparam, payload_drop(code));
}

void uiLogic::RunUICommand(int id)
{
    std::scoped_lock hold(m_thread.DispatchLock());
    if (id)
        on_ui_command(id);
}

// A tree click closes the warning pages (the feed window's) and goes to the feed window.
void uiLogic::OnTreeNodeClicked(EventArgs& e)
{
    if (m_warning_pages)
        m_warning_pages->HideAll();
    if (m_parts.feed_window)
        m_parts.feed_window->OnTreeNodeClicked(e);
}

void uiLogic::OnLogicCommand(UINT code, WPARAM wparam, LPARAM lparam)
{
    // Payloads are freed here whether or not a handler takes them.
    std::unique_ptr<char16_t[]> path;
    std::unique_ptr<SearchRequest> search;
    if (code == LogicCommand::OpenPath)
        path.reset(reinterpret_cast<char16_t*>(wparam));
    if (code == LogicCommand::SearchResult)
        search.reset(reinterpret_cast<SearchRequest*>(wparam));
    if (code == LogicCommand::DeleteWidget) {
        delete reinterpret_cast<widget*>(wparam);
        return;
    }
    if (code == LogicCommand::TranscodeFinished) {
        if (m_sync_logic) m_sync_logic->OnTranscodeFinished();
        return;
    }
    uiLogicFeedWindow* const feeds = m_parts.feed_window;
    const int id = int(wparam);
    switch (code) {
    case LogicCommand::UICommand:
        if (id) on_ui_command(id);
        break;
    case LogicCommand::OpenPath:
        if (path) open_path(path.get());
        break;
    case LogicCommand::WidgetDoubleClick:
        if (id == ids::VideoPlayWindow) toggle_video_view();
        break;
    case LogicCommand::ListClick:
        if (id == ids::RssList) on_feed_list_click(int(lparam / 256), int(lparam % 256));
        break;
    case LogicCommand::VolumeValue:
        if (id == ids::VolumeSlider) SetVolume(int(lparam));
        break;
    case LogicCommand::SeekValue:
        if (id == ids::SeekBar) Seek(int(lparam));
        break;
    case LogicCommand::ChangeDisplayMode:
        change_display_mode(DWORD(wparam), int(lparam));
        break;
    case LogicCommand::OpenList: case LogicCommand::OpenChannel:
        open_list_or_channel(code, wparam, lparam);
        break;
    case LogicCommand::ChannelUpdated: {
        const auto channel = std::int64_t(wparam);
        if (lparam == PendingChannelUpdated || (GetDisplayMode() & (DisplayMode::ViewFeeds | DisplayMode::Both)))
            show_updated_channel(channel);
        break;
    }
    case LogicCommand::DataActionResult:
        on_data_action_result(wparam, lparam);
        break;
    case LogicCommand::PlayCurrentItem:
        PlayRSSItem(GetPlayListCursor().item);
        if (wparam == 1) SetDownloadListFlag(true);
        break;
    case LogicCommand::SearchResult:
        if (feeds) feeds->ShowSearchResult(std::move(search));
        break;
    case LogicCommand::RefreshWidget: {
        CMutexGuard widgets(UIRenderMutex());
        if (videoplaywindow* v = controller_widgets::video())
            v->UpdateParent();
        break;
    }
    default:
        break;   // the other codes have no effect here
    }
}

void uiLogic::OnUpdated(std::int64_t channel_id, bool success)
{
    // The channel the feed view waits for comes back whether its fetch worked
    // or not: the loading mark must not stay.
    std::int64_t pending = channel_id;
    if (m_pending_channel.compare_exchange_strong(pending, -1)) {
        PostLogicCommand(LogicCommand::ChannelUpdated, WPARAM(channel_id), PendingChannelUpdated);
        return;
    }
    uiLogicFeedWindow* const h = m_parts.feed_window;
    if (!success || !h || channel_id != h->ShownChannel())
        return;
    if ((GetDisplayMode() & (DisplayMode::ViewFeeds | DisplayMode::Both)) && h->ItemListHidden())
        PostLogicCommand(LogicCommand::ChannelUpdated, WPARAM(channel_id), 0);
}

void uiLogic::OnDataAction(int action, int kind, std::int64_t id, int value)
{
    // A failed write changed nothing that a view could show.
    if (value != 0 || kind != DataKind::Channel || !m_parts.feed_window)
        return;
    if (action == DataAction::Insert)
        m_parts.feed_window->OnChannelAdded(id);
    else if (action == DataAction::Delete)
        m_parts.feed_window->OnChannelDeleted(id);
}

}
