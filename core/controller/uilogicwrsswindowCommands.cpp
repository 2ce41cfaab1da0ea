// The feed window as the controller's commands see it: the list state, pages,
// the search folder's list, the tree's channel nodes and the warning pages.

#include "core/controller/uilogicwrsswindow.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/RSSData.h"
#include "core/controller/uiLogic.h"
#include "core/search/CSearchLauncher.h"
#include "screens/builder/UIIds.h"
#include "screens/feedlist/wrsslist.h"
#include "screens/feedlist/wrsslistitem.h"
#include "screens/tree/wrsstree.h"
#include "screens/warning/warningpageMgr.h"
#include "toolkit/controls/wtip.h"
#include "toolkit/widgets/CMutexGuard.h"

void uilogicwrsswindow::OnChannelUpdated(std::int64_t channel)
{
    if (GetChannel() == channel)
        ShowChannelPage(channel, GetPage());
}

// Null: the search folder's list as it stands, on the page shown when it is shown.
void uilogicwrsswindow::ShowSearchResult(std::unique_ptr<SearchRequest> request)
{
    if (request) {
        ShowSearchResult(std::move(request), FeedListKind::Search, 1);
        return;
    }
    const bool shown = GetListKind() == FeedListKind::Search && GetChannel() < 0;
    ShowFolderPage(FeedListKind::Search, shown ? GetPage() : 0, false);
}

void uilogicwrsswindow::OnChannelAdded(std::int64_t channel)
{
    std::list<RSSData::tRSSChannel> found;
    CRSSDBMgr::Instance().GetChannels(channel, &found);
    if (found.empty())
        return;
    CMutexGuard hold(UIRenderMutex());
    UI::wrsstreenode* folder = FindFolderNode(found.front().folder_id());
    if (!folder || folder->FindChild(nullptr, &channel))
        return;
    AddChannelNode(*folder, found.front());
    m_tree->LayoutNodes();
}

void uilogicwrsswindow::OnChannelDeleted(std::int64_t channel) { DropChannelNode(channel); }

void uilogicwrsswindow::DropChannelNode(std::int64_t channel)
{
    CMutexGuard hold(UIRenderMutex());
    for (const auto& [kind, folder_id] : m_folder_of_kind)
        if (UI::wrsstreenode* folder = FindFolderNode(folder_id))
            folder->RemoveChildNode(channel);
}

// The holder of the list (104) is what the controller hides while a page
// loads or a warning shows; the list inside it keeps its own flag.
bool uilogicwrsswindow::ItemListHidden()
{
    CMutexGuard hold(UIRenderMutex());
    const auto holder = m_widgets.find(UI::ids::RssListWindow);
    return holder != m_widgets.end() && holder->second && !holder->second->IsVisible();
}

UI::FeedListState uilogicwrsswindow::ShownList()
{
    std::scoped_lock hold(m_view_lock);
    return {m_list_kind, m_channel, m_page, m_page_count, int(m_page_items.size())};
}

int uilogicwrsswindow::PageButtonsPerGroup() { return PageButtonCount; }

// Opening another list keeps the one shown for the tree's back step.
bool uilogicwrsswindow::OpenPage(const UI::FeedListState& list, int page)
{
    const int kind = GetListKind();
    const std::int64_t channel = GetChannel();
    const bool shown = list.channel >= 0 ? ShowChannelPage(list.channel, page) : ShowFolderPage(list.kind, page, false);
    if (shown && (kind || channel >= 0) && (GetListKind() != kind || GetChannel() != channel)) {
        std::scoped_lock hold(m_view_lock);
        m_previous.emplace_back(kind, channel);
    }
    return shown;
}

bool uilogicwrsswindow::OpenPreviousNode()
{
    std::pair<int, std::int64_t> previous;
    {
        std::scoped_lock hold(m_view_lock);
        if (m_previous.empty())
            return false;
        previous = m_previous.back();
        m_previous.pop_back();
    }
    return previous.second >= 0 ? ShowChannelPage(previous.second, 0) : ShowFolderPage(previous.first, 0, false);
}

std::vector<RSSData::tRSSItem> uilogicwrsswindow::TreeNodeItems()
{
    std::scoped_lock hold(m_view_lock);
    return {m_search_items.begin(), m_search_items.end()};
}

void uilogicwrsswindow::SetTreeNodeItems(std::vector<RSSData::tRSSItem> items)
{
    std::scoped_lock hold(m_view_lock);
    m_search_items.assign(std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
}

void uilogicwrsswindow::SetPageCount(int pages) { SetPageInfo(GetPage(), pages); }

void uilogicwrsswindow::SelectPageButton(int page)
{
    {
        std::scoped_lock hold(m_view_lock);
        m_page = page;
    }
    SetPageInfo(page, GetPageCount());
}

void uilogicwrsswindow::ShowWarningPage(int page)
{
    CMutexGuard hold(UIRenderMutex());
    if (warningpageMgr* pages = m_controller.GetWarningPages())
        pages->ShowPage(page, true);
}

void uilogicwrsswindow::RefreshItem(const RSSData::tRSSItem& item)
{
    {
        std::scoped_lock hold(m_view_lock);
        for (RSSData::tRSSItem& row : m_page_items)
            if (row.id == item.id)
                row = item;
    }
    CMutexGuard hold(UIRenderMutex());
    if (!m_list)
        return;
    for (int i = 0; i < m_list->GetItemCount(); ++i)
        if (const UI::wrsslistitem* row = m_list->GetItem(i); row && row->GetItem().id == item.id)
            m_list->SetItemAt(i, item);
}

void uilogicwrsswindow::HideSearchTips()
{
    CMutexGuard hold(UIRenderMutex());
    if (m_tips)
        m_tips->Show(false);
}
