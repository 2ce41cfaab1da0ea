#include "core/controller/uilogicwrsswindow.h"

#include "core/controller/LogicCommand.h"
#include "core/controller/uiLogic.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "core/search/CSearchLauncher.h"
#include "core/settings/CAppSettings.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/base/Utf.h"
#include "platform/net/NetworkState.h"
#include "platform/window/StringTable.h"
#include "platform/window/Window.h"
#include "prefetch/IPrefechManager.h"
#include "screens/builder/UIIds.h"
#include "screens/feedlist/wrsslist.h"
#include "screens/feedlist/wrsslistitem.h"
#include "screens/tree/wrsstree.h"
#include "screens/video/wdownloadlist.h"
#include "screens/video/wdownloadlistitem.h"
#include "screens/widgets/wsearcheditbox.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wstatus.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/controls/wtip.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/uimgr/MainWindowMessages.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr int DownloadFinished = 4;
constexpr int SearchPromptSetting = 17, MyChannelPromptSetting = 18;
constexpr int SearchPromptBox = 88, MyChannelPromptBox = 89;
constexpr int StopCommand = 33;

struct Category {
    const char* name;
    int text;
};
constexpr Category categories[] = {
    {"popular", 6080},        {"Most Viewed", 6081},    {"Recently Featured", 6082}, {"Most Discussed", 6083},
    {"Recent Videos", 6084},  {"Most Responded", 6085}, {"Top Favorited", 6086},     {"Top Rated", 6087},
};

struct StandardFolder {
    const char* stored;
    int text;
    const char* icon;
    int kind;
};
constexpr StandardFolder standard_folders[] = {
    {"My Favorites", 7001, "icon_MyFavorite", FeedListKind::Favorites},
    {"Recent Viewed", 7007, "icon_recentviewed", FeedListKind::RecentViewed},
    {"Search Result", 7002, "icon_search", FeedListKind::Search},
    {"My Subscriptions", 7003, "icon_mychannel", FeedListKind::MyChannels},
    {"YouTube Video", 7004, "icon_YouTube", FeedListKind::VideoSite},
};
constexpr const char* TempFolderName = "TEMP FOLDER";

std::u16string text_of(int id)
{
    if (const UI::d3dresMgr* manager = UI::d3dresMgr::Instance()) return manager->LoadText(id);
    WCHAR buffer[512];
    const int length = LoadStringW(nullptr, UINT(id), buffer, int(std::size(buffer)));
    return std::u16string(buffer, std::size_t(length > 0 ? length : 0));
}

bool system_network_test()
{
    DWORD flags = NETWORK_ALIVE_LAN | NETWORK_ALIVE_WAN;
    if (!IsNetworkAlive(&flags)) return false;
    DWORD state = 0;
    return InternetGetConnectedState(&state, 0) != FALSE;
}

void timer_routine(HWND, UINT, UINT_PTR, DWORD)
{
    if (UI::uiLogic* controller = UI::uiLogic::Instance()) controller->GetFeedWindow().OnTimer();
}

int pages_for(int count) { return count / uilogicwrsswindow::PageSize + (count % uilogicwrsswindow::PageSize ? 1 : 0); }

int quality_mark(const DownloadTaskInfo& task, int current)
{
    using namespace RSSData::ItemStatus;
    if (task.quality == 2) return HighQuality;
    return current == HighQuality ? HighQuality : StandardQuality;
}

}  // namespace

uilogicwrsswindow::uilogicwrsswindow(UI::uiLogic& controller) : m_controller(controller) {}

uilogicwrsswindow::~uilogicwrsswindow()
{
    if (m_timer) KillTimer(nullptr, m_timer);
    m_stop = true;
    if (m_network.joinable()) m_network.join();
}

void uilogicwrsswindow::Init(NetworkTest test)
{
    m_network_test = test ? std::move(test) : NetworkTest(&system_network_test);
    LookUpWidgets();
    CreateTips();
    BuildTree();
    m_online = m_network_test();
    OnTimer();
    m_timer = SetTimer(nullptr, 0, 1000, &timer_routine);
    m_network = std::thread(&uilogicwrsswindow::NetworkLoop, this);
}

void uilogicwrsswindow::LookUpWidgets()
{
    for (int id : {UI::ids::RssListWindow, UI::ids::RssTree, UI::ids::RssList, UI::ids::MyFavoriteOperation,
                   UI::ids::SearchOperation, UI::ids::MyChannelOperation, UI::ids::SearchPrompt,
                   UI::ids::MyChannelPrompt})
        m_widgets[id] = UI::GetWidgetById(id);
    m_tree = dynamic_cast<UI::wrsstree*>(m_widgets[UI::ids::RssTree]);
    m_list = dynamic_cast<UI::wrsslist*>(m_widgets[UI::ids::RssList]);
    const CAppSettings* settings = CAppSettings::Instance();
    const struct { int id; int setting; } boxes[] = {{SearchPromptBox, SearchPromptSetting},
                                                     {MyChannelPromptBox, MyChannelPromptSetting}};
    for (const auto& b : boxes) {
        auto* box = dynamic_cast<UI::wselectbtn*>(UI::GetWidgetById(b.id));
        if (!box) continue;
        box->SetSelected(settings && settings->GetMetric(b.setting) == 0);
        box->GetEvent("selectbtn_clicked", true)->Subscribe(&uilogicwrsswindow::OnCheckBoxClicked, this);
    }
    if (UI::widget* tree_window = UI::GetWidgetById(UI::ids::RssTreeWindow))
        tree_window->GetEvent("window_EnterLeave", true)->Subscribe(&uilogicwrsswindow::OnPrefetchHover, this);
}

void uilogicwrsswindow::CreateTips()
{
    UI::window* root = UI::uiMgr::Instance().GetRoot();
    if (!root) return;
    m_tips = new UI::wtip("tips");
    m_tips->SetZOrder(10000);
    root->AddChild(m_tips);
    m_tips->Show(false);
}

std::u16string uilogicwrsswindow::CleanTitle(const std::string& title)
{
    // Only a leading prefix is the site's: the same words inside a title are the title's.
    for (const std::string_view prefix : {"YouTube Videos matching query: ", "YouTube::"})
        if (title.starts_with(prefix)) return plat::utf8_to_utf16(title.substr(prefix.size()));
    for (const Category& c : categories)
        if (title == c.name) return text_of(c.text);
    return plat::utf8_to_utf16(title);
}

void uilogicwrsswindow::BuildTree()
{
    if (!m_tree) return;
    CRSSDBMgr& db = CRSSDBMgr::Instance();
    std::list<RSSFolderRecord> folders;
    db.GetFolders(0, &folders);
    for (const RSSFolderRecord& folder : folders) {
        if (folder.name != TempFolderName) continue;
        std::list<RSSData::tRSSChannel> channels;
        db.GetFolderChannels(false, folder.id, &channels);
        m_temp_folder = folder.id;
        m_temp_channel = channels.empty() ? -1 : channels.front().id;
    }
    CMutexGuard hold(UIRenderMutex());
    for (const StandardFolder& standard : standard_folders) {
        for (const RSSFolderRecord& folder : folders) {
            if (folder.name != standard.stored) continue;
            UI::wrsstreenode* node = m_tree->AddChildNode(text_of(standard.text).c_str(), folder.id, standard.icon);
            node->SetNodeValue(standard.kind);
            m_folder_of_kind[standard.kind] = folder.id;
            std::list<RSSData::tRSSChannel> channels;
            db.GetFolderChannels(false, folder.id, &channels);
            for (const RSSData::tRSSChannel& channel : channels) AddChannelNode(*node, channel);
            break;
        }
    }
    m_tree->LayoutNodes();
}

UI::wrsstreenode* uilogicwrsswindow::AddChannelNode(UI::wrsstreenode& folder, const RSSData::tRSSChannel& channel)
{
    UI::wrsstreenode* node = folder.AddChildNode(CleanTitle(channel.title).c_str(), channel.id, "");
    const int kind = folder.GetNodeValue();
    if (kind == FeedListKind::MyChannels || kind == FeedListKind::VideoSite || kind == FeedListKind::Search)
        node->SetPrefetchStatus(channel.can_prefetch ? 1 : 0);
    node->SetEditable(kind == FeedListKind::MyChannels);
    node->GetEvent("rsstree_prefetch", true)->Subscribe(&uilogicwrsswindow::OnPrefetchClicked, this);
    node->GetEvent("treenode_textchange", true)->Subscribe(&uilogicwrsswindow::OnTreeNodeRenamed, this);
    if (UI::wstatus* status = node->GetPrefetchStatus())
        status->GetEvent("tooltips_target", true)->Subscribe(&uilogicwrsswindow::OnPrefetchHover, this);
    return node;
}

UI::wrsstreenode* uilogicwrsswindow::FindFolderNode(std::int64_t folder_id) const
{
    return m_tree ? m_tree->FindChild(nullptr, &folder_id) : nullptr;
}

UI::widget* uilogicwrsswindow::GetRootWidget() const { return m_list; }

int uilogicwrsswindow::GetListKind() const
{
    std::scoped_lock hold(m_view_lock);
    return m_list_kind;
}

std::int64_t uilogicwrsswindow::GetChannel() const
{
    std::scoped_lock hold(m_view_lock);
    return m_channel;
}

int uilogicwrsswindow::GetPage() const
{
    std::scoped_lock hold(m_view_lock);
    return m_page;
}

int uilogicwrsswindow::GetPageCount() const
{
    std::scoped_lock hold(m_view_lock);
    return m_page_count;
}

std::vector<RSSData::tRSSItem> uilogicwrsswindow::GetPageItems() const
{
    std::scoped_lock hold(m_view_lock);
    return m_page_items;
}

std::list<RSSData::tRSSItem> uilogicwrsswindow::GetSearchItems() const
{
    std::scoped_lock hold(m_view_lock);
    return m_search_items;
}

// Pages: the database is read first, then the view and the widgets change.

bool uilogicwrsswindow::ShowChannelPage(std::int64_t channel, int page)
{
    CRSSDBMgr& db = CRSSDBMgr::Instance();
    std::list<RSSData::tRSSChannel> found;
    db.GetChannels(channel, &found);
    if (found.empty()) return false;
    int count = 0;
    db.CountChannelItems(channel, &count);
    std::list<RSSData::tRSSItem> items;
    db.GetChannelItemsPage(false, channel, std::int64_t(page) * PageSize, PageSize, !m_online, &items);
    int kind = 0;
    for (const auto& [folder_kind, folder_id] : m_folder_of_kind)
        if (folder_id == found.front().folder_id() &&
            (folder_kind == FeedListKind::MyChannels || folder_kind == FeedListKind::VideoSite ||
             folder_kind == FeedListKind::Search))
            kind = folder_kind;
    ShowPage(kind, channel, page, pages_for(count), items);
    return true;
}

bool uilogicwrsswindow::ShowFolderPage(int kind, int page, bool animate)
{
    CRSSDBMgr& db = CRSSDBMgr::Instance();
    const std::int64_t offset = std::int64_t(page) * PageSize;
    const bool offline = !m_online;
    int count = 0;
    std::list<RSSData::tRSSItem> items;
    switch (kind) {
    case FeedListKind::VideoSite:
        ClearView();
        SetListKind(kind);
        return true;
    case FeedListKind::MyChannels:
        ClearView();
        SetListKind(kind);
        if (ShowsPrompt(MyChannelPromptSetting)) ShowPrompt(UI::ids::MyChannelPrompt, animate);
        return true;
    case FeedListKind::Favorites:
        db.CountFavorites(&count);
        db.GetFavoritesPage(false, offset, PageSize, offline, &items);
        break;
    case FeedListKind::Prefetch:
        db.CountPrefetch(&count);
        db.GetPrefetchPage(offset, PageSize, offline, &items);
        break;
    case FeedListKind::RecentViewed:
        db.CountRecent(&count);
        db.GetRecentPage(offset, PageSize, offline, &items);
        break;
    case FeedListKind::Search: {
        const std::list<RSSData::tRSSItem> all = GetSearchItems();
        count = int(all.size());
        auto at = all.begin();
        for (std::int64_t i = 0; at != all.end() && i < offset; ++i) ++at;
        for (int i = 0; at != all.end() && i < PageSize; ++i, ++at) items.push_back(*at);
        if (count == 0 && ShowsPrompt(SearchPromptSetting)) ShowPrompt(UI::ids::SearchPrompt, animate);
        break;
    }
    default:
        return false;
    }
    ShowPage(kind, -1, page, pages_for(count), items);
    return count > 0;
}

bool uilogicwrsswindow::OpenCategory(int kind, const std::string& name)
{
    const auto folder = m_folder_of_kind.find(kind);
    if (folder == m_folder_of_kind.end()) return false;
    std::list<RSSData::tRSSChannel> channels;
    CRSSDBMgr::Instance().GetFolderChannels(false, folder->second, &channels);
    for (const RSSData::tRSSChannel& channel : channels)
        if (channel.title == name) return ShowChannelPage(channel.id, 0);
    return false;
}

bool uilogicwrsswindow::ShowSearchResult(std::unique_ptr<SearchRequest> result, int kind, int select)
{
    {
        std::scoped_lock hold(m_view_lock);
        m_search_items.clear();
        if (result) m_search_items = std::move(result->items);
    }
    if (select) SelectFolderNode(kind);
    return ShowFolderPage(kind, 0, false);
}

void uilogicwrsswindow::SelectFolderNode(int kind)
{
    const auto folder = m_folder_of_kind.find(kind);
    if (folder == m_folder_of_kind.end() || !m_tree) return;
    CMutexGuard hold(UIRenderMutex());
    if (UI::wrsstreenode* node = FindFolderNode(folder->second)) m_tree->SelectNode(node);
}

void uilogicwrsswindow::SetListKind(int kind)
{
    std::scoped_lock hold(m_view_lock);
    m_list_kind = kind;
}

void uilogicwrsswindow::ShowPage(int kind, std::int64_t channel, int page, int page_count,
                                 const std::list<RSSData::tRSSItem>& items)
{
    {
        std::scoped_lock hold(m_view_lock);
        m_list_kind = kind;
        m_channel = channel;
        m_page = page;
        m_page_count = page_count;
        m_page_items.assign(items.begin(), items.end());
    }
    CMutexGuard hold(UIRenderMutex());
    SetPageInfo(page, page_count);
    if (!m_list) return;
    m_list->RemoveAllItems();
    if (page_count < 1) return;
    int index = 0;
    for (const RSSData::tRSSItem& item : items) m_list->SetItemAt(index++, item);
    m_list->Relayout();
}

void uilogicwrsswindow::ClearView()
{
    {
        std::scoped_lock hold(m_view_lock);
        m_channel = -1;
        m_page = m_page_count = 0;
        m_page_items.clear();
    }
    CMutexGuard hold(UIRenderMutex());
    if (m_list) m_list->RemoveAllItems();
    SetPageInfo(0, 0);
}

void uilogicwrsswindow::SetPageInfo(int page, int count)
{
    {
        std::scoped_lock hold(m_view_lock);
        m_page_count = count;
    }
    CMutexGuard hold(UIRenderMutex());
    if (UI::widget* text = UI::GetWidgetById(UI::ids::PageText)) {
        char line[64];
        std::snprintf(line, sizeof line, "Page %d of %d", page + 1, count);
        text->SetText(plat::utf8_to_utf16(line).c_str());
        text->Show(count > 1);
    }
    if (UI::widget* bar = UI::GetWidgetById(UI::ids::PageButtons)) bar->Show(count > 1);
    for (int id : {UI::ids::LastPage, UI::ids::NextPage})
        if (UI::widget* arrow = UI::GetWidgetById(id)) arrow->Show(count > 1);
    const int first = page / PageButtonCount * PageButtonCount;
    for (int i = 0; i < PageButtonCount; ++i) {
        auto* button = dynamic_cast<UI::wselectbtn*>(UI::GetWidgetById(UI::ids::FirstPageSelect + i));
        if (!button) continue;
        button->Show(count > 1 && first + i < count);
        button->SetSelected(first + i == page);
    }
}

// Prompts.

bool uilogicwrsswindow::ShowsPrompt(int setting) const
{
    const CAppSettings* settings = CAppSettings::Instance();
    return settings && settings->GetMetric(setting) != 0;
}

void uilogicwrsswindow::ShowPrompt(int id, bool animate)
{
    auto* prompt = dynamic_cast<UI::window*>(UI::GetWidgetById(id));
    if (!prompt) return;
    CMutexGuard hold(UIRenderMutex());
    prompt->Show(true);
    if (!animate) return;
    prompt->GetZoom().SetParams({0, 0.5f, 1.0f, 4.0f, 0.01f});
    prompt->GetZoom().SetKeepShown(true);
    prompt->GetZoom().Start();
}

void uilogicwrsswindow::HidePrompts(bool animate)
{
    CMutexGuard hold(UIRenderMutex());
    for (int id : {UI::ids::SearchPrompt, UI::ids::MyChannelPrompt}) {
        auto* prompt = dynamic_cast<UI::window*>(UI::GetWidgetById(id));
        if (!prompt) continue;
        if (animate && prompt->IsVisible()) {
            prompt->GetZoom().SetParams({0, 1.0f, 0.5f, 4.0f, 0.01f});
            prompt->GetZoom().SetKeepShown(false);
            if (prompt->GetZoom().Start()) continue;
        }
        prompt->Show(false);
    }
}

void uilogicwrsswindow::OnPromptCheckBox(int id, bool ticked)
{
    CAppSettings* settings = CAppSettings::Instance();
    if (!settings) return;
    // Ticked means "don't ask": the prompt's flag goes off.
    if (id == SearchPromptBox) settings->SetNumber(SearchPromptSetting, ticked ? 0 : 1);
    if (id == MyChannelPromptBox) settings->SetNumber(MyChannelPromptSetting, ticked ? 0 : 1);
}

bool uilogicwrsswindow::OnCheckBoxClicked(UI::EventArgs& e)
{
    const int id = e.sender ? UI::GetWidgetIdByName(e.sender->GetName()) : 0;
    OnPromptCheckBox(id, static_cast<UI::SelectEventArgs&>(e).selected != 0);
    return false;
}

// Prefetching.

bool uilogicwrsswindow::IsChannelPrefetched(std::int64_t channel) const
{
    int count = 0, prefetched = 0;
    CRSSDBMgr::Instance().CountChannelItems(channel, &count);
    CRSSDBMgr::Instance().CountChannelItemsByStatus(channel, RSSData::ItemStatus::HighQuality, &prefetched);
    return count == prefetched;
}

std::u16string uilogicwrsswindow::PrefetchStatusText(std::int64_t channel) const
{
    CRSSDBMgr& db = CRSSDBMgr::Instance();
    std::list<RSSData::tRSSChannel> found;
    db.GetChannels(channel, &found);
    if (found.empty() || !found.front().can_prefetch) return {};
    int count = 0, prefetched = 0;
    db.CountChannelItems(channel, &count);
    db.CountChannelItemsByStatus(channel, RSSData::ItemStatus::HighQuality, &prefetched);
    char text[96];
    if (count == prefetched)
        std::snprintf(text, sizeof text, "Prefetched: %d videos.", count);
    else
        std::snprintf(text, sizeof text, "Prefetching: %d of %d videos.", prefetched, count);
    return plat::utf8_to_utf16(text);
}

void uilogicwrsswindow::RefreshPrefetchIcons()
{
    if (!m_tree) return;
    CRSSDBMgr& db = CRSSDBMgr::Instance();
    CMutexGuard hold(UIRenderMutex());
    for (UI::wtreenode* folder : m_tree->GetNodes()) {
        const int kind = folder->GetNodeValue();
        if (kind != FeedListKind::MyChannels && kind != FeedListKind::VideoSite && kind != FeedListKind::Search)
            continue;
        for (UI::wtreenode* child : folder->GetNodes()) {
            auto* node = static_cast<UI::wrsstreenode*>(child);
            std::list<RSSData::tRSSChannel> found;
            db.GetChannels(node->GetId(), &found);
            if (!found.empty()) node->SetPrefetchStatus(found.front().can_prefetch ? 1 : 0);
        }
    }
}

bool uilogicwrsswindow::OnPrefetchClicked(UI::EventArgs& e)
{
    auto* node = dynamic_cast<UI::wrsstreenode*>(e.sender);
    if (!node) return false;
    CRSSDBMgr& db = CRSSDBMgr::Instance();
    std::list<RSSData::tRSSChannel> found;
    db.GetChannels(node->GetId(), &found);
    if (found.empty()) return false;
    RSSData::tRSSChannel& channel = found.front();
    channel.can_prefetch = !channel.can_prefetch;
    db.UpdateChannel(channel);
    {
        CMutexGuard hold(UIRenderMutex());
        node->SetPrefetchStatus(channel.can_prefetch ? 1 : 0);
    }
    if (IPrefechManager* prefetch = m_controller.GetPrefetchManager()) prefetch->Wake();
    return true;
}

bool uilogicwrsswindow::OnPrefetchHover(UI::EventArgs& e)
{
    if (!m_tips) return false;
    CMutexGuard hold(UIRenderMutex());
    auto* status = dynamic_cast<UI::wstatus*>(e.sender);
    auto* node = status ? dynamic_cast<UI::wrsstreenode*>(status->GetParent()) : nullptr;
    const std::u16string text = node ? PrefetchStatusText(node->GetId()) : std::u16string();
    if (text.empty()) {
        m_tips->Show(false);
        return false;
    }
    m_tips->SetText(text.c_str());
    const UI::fpoint at = status->UpdateScreenOrigin();
    m_tips->SetPos(at.x + status->GetWidth() + 4, at.y);
    m_tips->Show(true);
    return false;
}

// The tree.

void uilogicwrsswindow::OnTreeNodeClicked(UI::EventArgs& e)
{
    auto* node = dynamic_cast<UI::wrsstreenode*>(e.sender);
    if (!node) return;
    const UI::wrsstreenode* parent = node->GetParentNode();
    const bool channel = parent && parent != m_tree;
    if (channel) {
        const auto id = std::uint64_t(node->GetId());
        m_controller.PostUICommand(StopCommand);
        m_controller.PostLogicCommand(LogicCommand::OpenChannel, WPARAM(id & 0xFFFFFFFFu), LPARAM(id >> 32));
        return;
    }
    const int kind = node->GetNodeValue();
    if (kind == FeedListKind::Favorites || kind == FeedListKind::RecentViewed) m_controller.PostUICommand(StopCommand);
    m_controller.PostLogicCommand(LogicCommand::OpenList, WPARAM(kind), 0);
}

bool uilogicwrsswindow::OnTreeNodeRenamed(UI::EventArgs& e)
{
    auto* node = dynamic_cast<UI::wrsstreenode*>(e.sender);
    const UI::wtext* field = node ? node->GetTextWidget() : nullptr;
    if (!field) return false;
    CRSSDBMgr::Instance().SetChannelTitle(node->GetId(), plat::utf16_to_utf8(field->GetText()));
    return false;
}

// The network state.

void uilogicwrsswindow::NetworkLoop()
{
    using namespace std::chrono_literals;
    while (!m_stop) {
        m_online = m_network_test();
        for (int i = 0; i < 50 && !m_stop; ++i) std::this_thread::sleep_for(100ms);
    }
}

void uilogicwrsswindow::OnTimer()
{
    const bool online = m_online;
    if (IOstrel* downloader = m_controller.GetDownloader()) downloader->SetOnline(online);
    if (m_last_online == online) return;
    m_last_online = online;
    {
        CMutexGuard hold(UIRenderMutex());
        if (UI::widget* pane = UI::GetWidgetById(UI::ids::MyDownloadList); pane && pane->IsVisible()) pane->Invalidate();
        if (auto* search = dynamic_cast<wsearcheditbox*>(UI::GetWidgetById(UI::ids::SearchBox)))
            search->SetOnline(online);
    }
    const DWORD mode = m_controller.GetDisplayMode();
    const std::int64_t channel = GetChannel();
    if ((mode == UI::DisplayMode::ViewFeeds || mode == UI::DisplayMode::Both) && channel >= 0)
        ShowChannelPage(channel, GetPage());
}

// Events.

void uilogicwrsswindow::SetEventForwards(IBaseEventHandler* download, IBaseEventHandler* sync)
{
    m_forward_download = download;
    m_forward_sync = sync;
}

LONG uilogicwrsswindow::OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra)
{
    for (IBaseEventHandler* forward : {m_forward_download, m_forward_sync})
        if (forward) forward->OnEvent(sender, code, value, extra);
    if (code == EVT_KEEP_AWAKE) {
        PostMessageW(UI::uiMgr::Instance().GetHwnd(), WM_KEEP_AWAKE, WPARAM(value), LPARAM(extra));
    } else if (code == EVT_DOWNLOAD_STATE && value == DownloadFinished && sender) {
        MarkDownloaded(*static_cast<const DownloadTaskInfo*>(sender));
    }
    return 0;
}

void uilogicwrsswindow::MarkDownloaded(const DownloadTaskInfo& task)
{
    CRSSDBMgr& db = CRSSDBMgr::Instance();
    std::list<RSSData::tRSSItem> items;
    db.GetItemByMediaUrl(task.key, &items);
    std::list<RSSData::tRSSItem> marked;
    if (!items.empty()) {
        for (RSSData::tRSSItem& item : items) {
            item.set_status(quality_mark(task, item.status()));
            db.UpdateItem(item);
            marked.push_back(item);
        }
    } else {
        std::scoped_lock hold(m_view_lock);
        for (RSSData::tRSSItem& item : m_search_items)
            if (item.original_media_url == task.key) {
                item.set_status(quality_mark(task, item.status()));
                marked.push_back(item);
            }
    }
    RefreshMarkedRows(task, marked);
}

void uilogicwrsswindow::RefreshMarkedRows(const DownloadTaskInfo& task, const std::list<RSSData::tRSSItem>& marked)
{
    CMutexGuard hold(UIRenderMutex());
    if (auto* pane = dynamic_cast<UI::wdownloadlist*>(UI::GetWidgetById(UI::ids::MyDownloadList))) {
        for (int i = 0; i < pane->GetRowCount(); ++i) {
            auto* row = dynamic_cast<UI::wdownloadlistitem*>(pane->GetRow(i));
            if (!row) continue;
            for (const RSSData::tRSSItem& item : marked)
                if (row->Row().id == item.id) row->SetQualityMark(item.status());
        }
        pane->Invalidate();
    }
    if (!m_list) return;
    for (int i = 0; i < m_list->GetItemCount(); ++i) {
        UI::wrsslistitem* row = m_list->GetItem(i);
        if (!row || row->GetItem().original_media_url != task.key) continue;
        RSSData::tRSSItem item = row->GetItem();
        item.set_status(quality_mark(task, item.status()));
        row->SetItem(item);
    }
}
