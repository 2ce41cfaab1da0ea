// The controller's UI command switch, the quoted path of the command line,
// the feed item list's clicks with the refill of a page that lost a row, the
// page buttons and arrows, and stepping through the play list. All of it
// runs on the logic thread under the dispatch lock.

#include "core/controller/LogicCommand.h"
#include "core/controller/uiLogicState.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "core/search/CSearchLauncher.h"
#include "core/updater/CRSSUpdater.h"
#include "platform/fs/Process.h"
#include "platform/window/Window.h"
#include "playback/downloads/uiLogicdownload.h"
#include "prefetch/IPrefechManager.h"
#include "screens/builder/UIIds.h"
#include "screens/feedlist/wrsslist.h"
#include "screens/feedlist/wrsslistitem.h"
#include "screens/settings/wsettingpage.h"
#include "screens/warning/warningpageMgr.h"
#include "screens/video/wcontrolbar.h"
#include "toolkit/uimgr/MainWindowMessages.h"
#include "toolkit/widgets/CMutexGuard.h"

#include <algorithm>
#include <list>

namespace UI {

using namespace controller_widgets;

namespace {

constexpr int PageSize = 25;

// Items [offset, offset + count) of a list, from the feed database by the
// list's kind, or from the open tree node's list for kind 3 without a channel.
std::vector<RSSData::tRSSItem> read_list(const FeedListState& list, uiLogicFeedWindow* feeds, int offset,
                                         int count)
{
    std::list<RSSData::tRSSItem> rows;
    CRSSDBMgr& db = CRSSDBMgr::Instance();
    switch (list.kind) {
    case 2: db.GetPrefetchPage(offset, count, false, &rows); break;
    case 9: db.GetFavoritesPage(false, offset, count, false, &rows); break;
    case 10: db.GetRecentPage(offset, count, false, &rows); break;
    case 3: case 7: case 8:
        if (list.channel >= 0) {
            db.GetChannelItemsPage(false, list.channel, offset, count, false, &rows);
        } else if (list.kind == 3 && feeds) {
            const auto node = feeds->TreeNodeItems();
            for (int i = offset; i < offset + count && i < int(node.size()); ++i)
                rows.push_back(node[std::size_t(i)]);
        }
        break;
    default: break;
    }
    return {rows.begin(), rows.end()};
}

int count_list(const FeedListState& list, uiLogicFeedWindow* feeds)
{
    int count = 0;
    CRSSDBMgr& db = CRSSDBMgr::Instance();
    switch (list.kind) {
    case 2: db.CountPrefetch(&count); break;
    case 9: db.CountFavorites(&count); break;
    case 10: db.CountRecent(&count); break;
    default:
        if (list.channel >= 0)
            db.CountChannelItemsFiltered(list.channel, false, true, &count);
        else if (feeds)
            count = int(feeds->TreeNodeItems().size());
        break;
    }
    return count;
}

int pages_of(int count) { return (count + PageSize - 1) / PageSize; }

// The index of the row showing the item, or -1. Under UIRenderMutex. Items
// of a search result are not stored (id 0): their address tells them apart.
int row_of_item(const wrsslist& rows, const RSSData::tRSSItem& item)
{
    for (int i = 0; i < rows.GetItemCount(); ++i) {
        const RSSData::tRSSItem& shown = rows.GetItem(i)->GetItem();
        if (shown.id == item.id && shown.link == item.link)
            return i;
    }
    return -1;
}

// The row showing the item now, or null: the page may have been read again
// (the network timer, a channel update) since the row was last seen.
wrsslistitem* row_showing(const RSSData::tRSSItem& item)
{
    wrsslist* rows = feed_list();
    const int at = rows ? row_of_item(*rows, item) : -1;
    return at >= 0 ? rows->GetItem(at) : nullptr;
}

// The row showing the item starts leaving the list; false when no row shows
// it any more (a page read again since the click keeps its own rows).
bool begin_removal(const RSSData::tRSSItem& item, wrsslist::Removal when)
{
    CMutexGuard widgets(UIRenderMutex());
    wrsslist* rows = feed_list();
    const int at = rows ? row_of_item(*rows, item) : -1;
    if (at < 0)
        return false;
    rows->BeginRemove(at, when);
    return true;
}

}

void uiLogic::on_ui_command(int id)
{
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    auto post_main = [&](UINT message, WPARAM w) {
        if (m_parts.post_to_main)
            m_parts.post_to_main(message, w, 0);
    };
    switch (id) {
    case 6: post_main(WM_SYSCOMMAND, SC_MAXIMIZE); break;
    case 7: post_main(WM_SYSCOMMAND, SC_MINIMIZE); break;
    case 8: post_main(WM_CLOSE_BUTTON, 0); break;
    case 9: post_main(WM_SYSCOMMAND, SC_RESTORE); break;
    case 27: if (m_play_logic) m_play_logic->Resume(); break;
    case 28: if (m_play_logic) m_play_logic->Restart(); break;
    case 31: step_play_list(-1); break;
    case 32: step_play_list(+1); break;
    case 33: if (m_play_logic) m_play_logic->StopPlay(); break;
    case 34: if (m_play_logic) m_play_logic->Play(); break;
    case 35: if (m_play_logic) m_play_logic->Pause(); break;
    case 39: case 40: browse_settings_folder(id); break;
    case 41: reopen_after_reset(); break;
    case 58: SetVolume(m_volume + 10); break;
    case 59: SetVolume(m_volume - 10); break;
    case 65:
        select_play_logic(0);
        if (m_play_logic)
            m_play_logic->OpenFile();
        break;
    case 74: case 86: if (feeds) feeds->OpenPreviousNode(); break;
    case 85: remove_shown_channel(); break;
    case 87: empty_shown_list(); break;
    case 90: open_members_page(); break;
    case ids::LastPage: step_page(-1); break;
    case ids::NextPage: step_page(+1); break;
    case 219: {
        CMutexGuard widgets(UIRenderMutex());
        if (widget* settings = by_id(ids::Setting))
            settings->StartAnimation(settings->IsVisible() ? Anim::HideSettings : Anim::ShowSettings);
        break;
    }
    case 224: search(); return;
    default: break;
    }
    if (id >= ids::FirstPageSelect && id <= ids::LastPageSelect && feeds) {
        const int group = std::max(1, feeds->PageButtonsPerGroup());
        open_page(id - ids::FirstPageSelect + feeds->ShownList().page / group * group);
    }
}

// The chooser waits for the user here, on the logic thread, holding no widget
// lock: the window keeps drawing, and the field's text has a lock of its own.
void uiLogic::browse_settings_folder(int id)
{
    wsettingpage* settings = nullptr;
    {
        CMutexGuard widgets(UIRenderMutex());
        settings = dynamic_cast<wsettingpage*>(by_id(ids::Setting));
    }
    if (settings)
        settings->BrowseFolder(id);
}

void uiLogic::search()
{
    const widget* box = by_id(ids::SearchText);
    const std::u16string text = box ? box->GetText() : std::u16string();
    if (text.empty())
        return;
    SetDisplayMode(DisplayMode::ViewFeeds);
    if (m_parts.feed_window) {
        m_parts.feed_window->ClearView();
        m_parts.feed_window->HideSearchTips();
    }
    if (m_search)
        m_search->StartSearch(text, "YouTube");
}

// The page goes to the desktop's opener as one argument, never through a shell.
void uiLogic::open_members_page()
{
    if (m_parts.members_page.empty())
        return;
    const auto command = plat::desktop_open_command(m_parts.members_page);
    if (m_parts.start_program)
        m_parts.start_program(command);
    else
        plat::start_detached(command);
}

void uiLogic::remove_shown_channel()
{
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    if (!feeds || !m_database_open)
        return;
    const FeedListState list = feeds->ShownList();
    if ((list.kind != 3 && list.kind != 7) || list.channel < 0)
        return;
    CRSSDBMgr::Instance().MarkChannelDeleted(list.channel);
    feeds->DropChannelNode(list.channel);
    feeds->ClearView();
}

void uiLogic::empty_shown_list()
{
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    if (!feeds || !m_database_open)
        return;
    const FeedListState list = feeds->ShownList();
    CRSSDBMgr& db = CRSSDBMgr::Instance();
    switch (list.kind) {
    case 9: db.ClearFavorites(); break;
    case 2: db.MarkPrefetchItemsDeleted(); break;
    case 10: db.MarkReadItemsDeleted(); break;
    default:
        if (list.channel < 0)
            return;
        db.MarkChannelItemsDeleted(list.channel);
        break;
    }
    const FeedListState now = feeds->ShownList();
    if (now.kind == list.kind && now.channel == list.channel) {
        feeds->ClearView();
        feeds->ShowWarningPage(WarningPageOfList(list.kind));
    }
}

// Only a path in double quotes is played; the quotes go.
void uiLogic::open_path(const char16_t* text)
{
    const std::u16string line(text);
    if (line.size() <= 2 || line.front() != u'"' || line.back() != u'"')
        return;
    PlayFile(line.substr(1, line.size() - 2));
}

void uiLogic::open_page(int page)
{
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    if (!feeds)
        return;
    open_list(feeds->ShownList(), page);
}

// Opening a list: the loading mark while the feed window fills the page, then
// the list, or the list kind's warning page when there is nothing to show.
void uiLogic::open_list(const FeedListState& list, int page)
{
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    {
        CMutexGuard widgets(UIRenderMutex());
        show(ids::RssListWindow, false);
        show(ids::LoadingPage, true);
        show(ids::Loading, true);
    }
    switch_view_to_feeds();
    show_opened(list.kind, feeds->OpenPage(list, page), Fetch::Allowed);
}

// The page just filled: a channel with nothing stored yet waits for its
// fetch under the loading mark (when one may be asked for); an empty
// channel otherwise shows its warning, as does a list that had nothing.
void uiLogic::show_opened(int kind, bool filled, Fetch fetch)
{
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    const FeedListState shown = filled ? feeds->ShownList() : FeedListState{};
    const bool empty_channel = shown.channel >= 0 && shown.page_count == 0;
    if (fetch == Fetch::Allowed && empty_channel && await_channel(shown.channel))
        return;
    CMutexGuard widgets(UIRenderMutex());
    show(ids::LoadingPage, false);
    show(ids::Loading, false);
    if (filled && !empty_channel)
        show(ids::RssListWindow, true);
    else
        feeds->ShowWarningPage(empty_channel ? warningpageMgr::NoNewClip : WarningPageOfList(kind));
}

// The shown channel has no items yet: while the network is up it is
// fetched now and the feed view waits for it under the loading mark; false
// when it cannot be fetched.
bool uiLogic::await_channel(std::int64_t channel)
{
    if (!m_updater || !m_database_open || !m_wrsswindow.IsOnline())
        return false;
    // Pending before the updater is asked, so its notice cannot come first.
    m_pending_channel = channel;
    {
        CMutexGuard widgets(UIRenderMutex());
        show(ids::RssListWindow, false);
        show(ids::LoadingPage, true);
        show(ids::Loading, true);
    }
    m_updater->Request(channel);
    return true;
}

// The shown channel was fetched (or the one the view waited for came back,
// well or not): its warning goes, the page is read again, and the list or
// the channel's warning shows; a view that moved on keeps what it opened.
void uiLogic::show_updated_channel(std::int64_t channel)
{
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    if (!feeds || feeds->ShownChannel() != channel)
        return;
    if (m_warning_pages) {
        CMutexGuard widgets(UIRenderMutex());
        m_warning_pages->HideAll();
    }
    feeds->OnChannelUpdated(channel);
    show_opened(feeds->ShownList().kind, true, Fetch::Done);
}

// The arrows step one page, kept inside the list's pages.
void uiLogic::step_page(int delta)
{
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    if (!feeds)
        return;
    const FeedListState list = feeds->ShownList();
    if (list.page_count <= 0)
        return;
    const int page = std::clamp(list.page + delta, 0, list.page_count - 1);
    open_page(page);
    feeds->SelectPageButton(page);
}

// Reads the cursor's page and copies out its entry; false when there is none.
bool uiLogic::read_cursor_page(PlayListCursor& cursor)
{
    if (cursor.page < 0 || !m_database_open)
        return false;
    const FeedListState list{cursor.kind, cursor.channel, cursor.page, 0, 0};
    const auto rows = read_list(list, m_parts.feed_window, cursor.page * PageSize, PageSize);
    cursor.entries = int(rows.size());
    if (cursor.index < 0 || cursor.index >= cursor.entries)
        return false;
    cursor.item = rows[std::size_t(cursor.index)];
    return true;
}

void uiLogic::step_play_list(int delta)
{
    if (m_download_list && m_download_logic) {
        RSSData::tRSSItem next;
        const std::int64_t current = GetPlayListCursor().item.id;
        const bool found = delta < 0 ? m_download_logic->GetPreviousItem(current, next)
                                     : m_download_logic->GetNextItem(current, next);
        if (found) {
            PlayRSSItem(next);
            m_download_list = true;
            return;
        }
    }
    PlayListCursor cursor = GetPlayListCursor();
    cursor.index += delta;
    if (cursor.index < 0) {
        --cursor.page;
        cursor.index = PageSize - 1;
    } else if (cursor.index >= cursor.entries) {
        ++cursor.page;
        cursor.index = 0;
    }
    if (!read_cursor_page(cursor))
        return;   // the stored cursor is unchanged
    cursor.item.mark_read = true;
    {
        std::scoped_lock hold(m_display->lock);
        m_display->cursor = cursor;
    }
    if (m_parts.feed_window) {
        const FeedListState shown = m_parts.feed_window->ShownList();
        if (shown.kind == cursor.kind && shown.channel == cursor.channel && shown.page == cursor.page) {
            CRSSDBMgr::Instance().UpdateItem(cursor.item);
            CMutexGuard widgets(UIRenderMutex());
            if (wrsslist* rows = feed_list())
                if (wrsslistitem* row = rows->GetItem(cursor.index))
                    row->SetRead(true);
        }
    }
    SetDisplayMode(DisplayMode::PlayVideo);
    PlayRSSItem(cursor.item);
}

void uiLogic::on_feed_list_click(int row, int part)
{
    if (part != 0) {
        on_row_part(row, part);
        return;
    }
    std::optional<RSSData::tRSSItem> clicked;
    {
        std::scoped_lock hold(m_display->lock);
        clicked.swap(m_display->clicked);
    }
    RSSData::tRSSItem item;
    {
        CMutexGuard widgets(UIRenderMutex());
        wrsslist* rows = feed_list();
        if (clicked && rows) {
            const int at = row_of_item(*rows, *clicked);
            row = at >= 0 ? at : row;
            if (at < 0)
                rows = nullptr;   // another item may stand at the old index now
        }
        wrsslistitem* r = rows ? rows->GetItem(row) : nullptr;
        if (clicked) {
            // The list already parted for this item: it plays, from its row when still shown.
            item = r ? r->GetItem() : *clicked;
        } else {
            if (!r)
                return;
            item = r->GetItem();
            if (!AllowsAllItems() && !MatchesQualityFilter(item))
                return;
        }
        if (r)
            r->SetRead(true);
    }
    switch_view_to_video();
    item.mark_read = true;
    if (m_parts.feed_window) {
        const FeedListState list = m_parts.feed_window->ShownList();
        std::scoped_lock hold(m_display->lock);
        m_display->cursor = {list.kind, list.channel, list.page, row, list.entries, item};
    }
    PlayRSSItem(item);
}

void uiLogic::on_row_part(int row, int part)
{
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    const FeedListState list = feeds ? feeds->ShownList() : FeedListState{};
    RSSData::tRSSItem item;
    {
        CMutexGuard widgets(UIRenderMutex());
        wrsslist* rows = feed_list();
        const wrsslistitem* r = rows ? rows->GetItem(row) : nullptr;
        if (!r)
            return;
        item = r->GetItem();
    }
    // Every later hold of the widget lock finds the row again by its item: no row pointer outlives a lock.
    bool removed = false;
    switch (part) {
    case DownloadCode: {
        {
            CMutexGuard widgets(UIRenderMutex());
            if (list.kind == 3 && list.channel < 0)
                write_marks(item);
            if (wrsslistitem* r = row_showing(item))
                grab_thumbnail(*r, item);
            set_drag_picture(item, true);
        }
        // The downloads page takes the widget lock itself and may start the download.
        if (m_download_logic)
            m_download_logic->ShowItem(&item);
        return;
    }
    case RemoveCode:
        item.mark_delete = true;
        removed = begin_removal(item, wrsslist::Removal::Now);
        if (list.kind == 9 || list.kind == 10)
            drop_from_tree_node(item);
        break;
    case FavoriteCode:
        item.mark_favorite = !item.mark_favorite;
        removed = list.kind == 9 && !item.mark_favorite && begin_removal(item, wrsslist::Removal::Delayed);
        if (item.mark_favorite && m_prefetch)
            m_prefetch->Wake();
        if (item.id == GetPlayListCursor().item.id) {
            CMutexGuard widgets(UIRenderMutex());
            if (wcontrolbar* b = bar())
                b->SetFavorite(item.mark_favorite);
        }
        break;
    case 110:
        if (list.kind != 10)
            return;
        removed = begin_removal(item, wrsslist::Removal::Delayed);
        break;
    default: return;
    }
    write_marks(item);
    if (!removed) {
        CMutexGuard widgets(UIRenderMutex());
        if (wrsslistitem* r = row_showing(item)) {
            r->SetItem(item);
            r->SetRead(item.mark_read);
        }
    }
    if (removed)
        refill_page(list);
}

// A page that lost a row takes the entry after it, posted as a data-action
// result; without one the page shrinks, and an emptied page gives way to
// the one before.
void uiLogic::refill_page(const FeedListState& list)
{
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    if (!feeds || !m_database_open)
        return;
    // The removed row is marked deleted, so the stored lists no longer count
    // it; the tree node's list keeps it.
    const bool node_list = list.kind == 3 && list.channel < 0;
    const auto next = read_list(list, feeds, list.page * PageSize + list.entries - (node_list ? 0 : 1), 1);
    if (!next.empty()) {
        if (node_list)
            PostLogicCommand(LogicCommand::DataActionResult, 4, LPARAM(new std::string(next.front().link)));
        else
            PostLogicCommand(LogicCommand::DataActionResult, 2, LPARAM(next.front().id));
    } else if (list.entries - 1 <= 0 && list.page > 0) {
        open_page(list.page - 1);
    }
    feeds->SetPageCount(pages_of(count_list(list, feeds)));
}

// Logic command 17: 2 appends the item with that id to the list and recounts
// it, 3 refreshes the row showing it, 4 appends the open tree node's item
// with that address.
void uiLogic::on_data_action_result(WPARAM kind, LPARAM value)
{
    std::unique_ptr<std::string> address(kind == 4 ? reinterpret_cast<std::string*>(value) : nullptr);
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    if (!feeds || !m_database_open)
        return;
    RSSData::tRSSItem item;
    if (kind == 2 || kind == 3) {
        std::list<RSSData::tRSSItem> found;
        CRSSDBMgr::Instance().GetItems(std::int64_t(value), &found);
        if (found.empty())
            return;
        item = found.front();
    } else if (kind == 4 && address) {
        const auto node = feeds->TreeNodeItems();
        const auto it = std::find_if(node.begin(), node.end(), [&](const auto& i) { return i.link == *address; });
        if (it == node.end())
            return;
        item = *it;
    } else {
        return;
    }
    {
        CMutexGuard widgets(UIRenderMutex());
        wrsslist* rows = feed_list();
        if (!rows)
            return;
        if (kind == 3) {
            for (int i = 0; i < rows->GetItemCount(); ++i)
                if (rows->GetItem(i)->GetItem().id == item.id)
                    rows->SetItemAt(i, item);
            return;
        }
        rows->SetItemAt(rows->GetItemCount(), item);
    }
    if (kind == 2)
        feeds->SetPageCount(pages_of(count_list(feeds->ShownList(), feeds)));
}

}
