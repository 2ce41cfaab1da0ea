#pragma once
// The feed window's logic inside the controller: fills the channel tree
// with the standard folders and the feed database's channels, shows pages
// of 25 items of a channel or folder in the feed list, shows a channel's
// prefetch status beside the tree, follows the network state (a thread
// tests it every 5 s, a 1 s timer on the UI thread acts on changes) and
// hears the download manager's events.

#include "components/common/controlengine/IBaseEventHandler.h"
#include "core/controller/uiLogicParts.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct SearchRequest;
struct DownloadTaskInfo;

namespace RSSData {
struct tRSSChannel;
struct tRSSItem;
}

namespace UI {
struct EventArgs;
class widget;
class window;
class wtip;
class wrsstree;
class wrsstreenode;
class wrsslist;
class uiLogic;
}

// Node kinds of the tree's folders, which are also the feed view's list kinds.
namespace FeedListKind {
inline constexpr int Prefetch = 2, Search = 3, MyChannels = 7, VideoSite = 8, Favorites = 9, RecentViewed = 10;
}

// It is also the feed-window logic the controller's commands call
// (uilogicwrsswindowCommands.cpp).
class uilogicwrsswindow final : public IBaseEventHandler, public UI::uiLogicFeedWindow {
public:
    static constexpr int PageSize = 25;
    static constexpr int PageButtonCount = 20;   // page buttons in the paging bar
    // The network test the thread runs; the system's by default.
    using NetworkTest = std::function<bool()>;

    explicit uilogicwrsswindow(UI::uiLogic& controller);
    // Kills the timer and stops and joins the network thread.
    ~uilogicwrsswindow();
    uilogicwrsswindow(const uilogicwrsswindow&) = delete;
    uilogicwrsswindow& operator=(const uilogicwrsswindow&) = delete;

    // Once, on the UI thread under UIRenderMutex, with the widget tree built
    // and the feed database open: looks up its widgets, creates the tips
    // window, fills the tree, runs the timer routine once, sets the 1 s timer
    // and starts the network thread.
    void Init(NetworkTest test = {});

    // A channel title from a feed as the tree shows it: the search and
    // channel prefixes dropped, a site category by its localised name.
    static std::u16string CleanTitle(const std::string& title);

    // Page `page` of a channel; false when the channel is not found.
    bool ShowChannelPage(std::int64_t channel, int page);
    // A folder node by its kind: 8 clears the view, 7 shows the my-channel
    // prompt (zooming in when asked) unless the user turned it off, 9, 2, 3
    // and 10 page their own lists. False when nothing is there to show.
    bool ShowFolderPage(int kind, int page, bool animate);
    // Opens the channel titled `name` of the folder of that kind (the start
    // page: 8, "popular").
    bool OpenCategory(int kind, const std::string& name);
    // A search's result: kept as the search folder's list (the most recent
    // one), the search folder selected when `select`, page 0 shown as `kind`.
    bool ShowSearchResult(std::unique_ptr<SearchRequest> result, int kind, int select);
    // Empties the feed list and the paging bar; the view shows no channel.
    void ClearView() override;
    // The paging bar shows `page` of `count`.
    void SetPageInfo(int page, int count);

    // The feed view: what it shows.
    int GetListKind() const;
    std::int64_t GetChannel() const;
    int GetPage() const;
    int GetPageCount() const;
    // The items of the page shown, and of the most recent search result.
    std::vector<RSSData::tRSSItem> GetPageItems() const;
    std::list<RSSData::tRSSItem> GetSearchItems() const;

    // The tree node of a folder by its database id; null when none.
    UI::wrsstreenode* FindFolderNode(std::int64_t folder_id) const;
    // A channel's node under its folder's node, with its title cleaned, its
    // prefetch icon (channel folders) and its events heard here.
    UI::wrsstreenode* AddChannelNode(UI::wrsstreenode& folder, const RSSData::tRSSChannel& channel);
    std::int64_t TempFolderId() const { return m_temp_folder; }
    std::int64_t TempChannelId() const { return m_temp_channel; }
    // The widget the feed window takes part in the Tab order with: the feed list.
    UI::widget* GetRootWidget() const;

    // The last network test's result, and the state the timer acted on.
    bool IsOnline() const { return m_online.load(); }
    std::optional<bool> LastOnlineState() const { return m_last_online; }
    // The 1 s timer routine, on the UI thread.
    void OnTimer();

    // Channel prefetching.
    bool IsChannelPrefetched(std::int64_t channel) const;
    void RefreshPrefetchIcons();
    // Tree events: a node clicked ("treenode_clicked"), renamed, its prefetch
    // icon clicked ("rsstree_prefetch"), hovered ("window_EnterLeave" of the status icon).
    void OnTreeNodeClicked(UI::EventArgs& e) override;
    bool OnTreeNodeRenamed(UI::EventArgs& e);
    bool OnPrefetchClicked(UI::EventArgs& e);
    bool OnPrefetchHover(UI::EventArgs& e);
    // The text the tips window shows for a channel; empty when none.
    std::u16string PrefetchStatusText(std::int64_t channel) const;

    // The prompts' "Don't ask me next time." boxes (ids 88, 89).
    void OnPromptCheckBox(int id, bool ticked);
    // Each visible prompt zooms out when animated, else hides at once.
    void HidePrompts(bool animate);

    // UI::uiLogicFeedWindow: what the controller's commands call.
    void OnChannelUpdated(std::int64_t channel) override;
    void ShowSearchResult(std::unique_ptr<SearchRequest> request) override;
    void OnChannelAdded(std::int64_t channel) override;
    void OnChannelDeleted(std::int64_t channel) override;
    std::int64_t ShownChannel() override { return GetChannel(); }
    bool ItemListHidden() override;
    UI::FeedListState ShownList() override;
    // The quality filter holds in every list.
    bool AllowsAllItems() override { return false; }
    int PageButtonsPerGroup() override;
    bool OpenPage(const UI::FeedListState& list, int page) override;
    std::vector<RSSData::tRSSItem> TreeNodeItems() override;
    void SetTreeNodeItems(std::vector<RSSData::tRSSItem> items) override;
    void SetPageCount(int pages) override;
    void SelectPageButton(int page) override;
    void ShowWarningPage(int page) override;
    void RefreshItem(const RSSData::tRSSItem& item) override;
    bool OpenPreviousNode() override;
    void DropChannelNode(std::int64_t channel) override;
    void HideSearchTips() override;

    // The download and sync logic hear each download event before this does.
    void SetEventForwards(IBaseEventHandler* download, IBaseEventHandler* sync);
    // The download manager's events (its event thread) and the feed window's.
    LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override;

private:
    void LookUpWidgets();
    void CreateTips();
    void BuildTree();
    void SelectFolderNode(int kind);
    void SetListKind(int kind);
    void ShowPage(int kind, std::int64_t channel, int page, int page_count, const std::list<RSSData::tRSSItem>& items);
    bool ShowsPrompt(int setting) const;
    void ShowPrompt(int id, bool animate);
    bool OnCheckBoxClicked(UI::EventArgs& e);
    void MarkDownloaded(const DownloadTaskInfo& task);
    void RefreshMarkedRows(const DownloadTaskInfo& task, const std::list<RSSData::tRSSItem>& marked);
    void NetworkLoop();

    UI::uiLogic& m_controller;
    std::map<int, UI::widget*> m_widgets;   // by UI id; looked up at Init
    UI::wtip* m_tips{nullptr};              // in the UI root; the tree owns it
    UI::wrsstree* m_tree{nullptr};
    UI::wrsslist* m_list{nullptr};
    std::map<int, std::int64_t> m_folder_of_kind;   // node kind -> folder id
    std::int64_t m_temp_folder{-1};
    std::int64_t m_temp_channel{-1};

    // The feed view, which the UI and logic threads both change.
    mutable std::mutex m_view_lock;
    int m_list_kind{0};          // guarded by m_view_lock
    std::int64_t m_channel{-1};  // guarded by m_view_lock
    int m_page{0};               // guarded by m_view_lock
    int m_page_count{0};         // guarded by m_view_lock
    std::vector<RSSData::tRSSItem> m_page_items;    // guarded by m_view_lock
    std::list<RSSData::tRSSItem> m_search_items;   // guarded by m_view_lock
    // The lists opened before the shown one, for the tree's back step.
    std::vector<std::pair<int, std::int64_t>> m_previous;   // guarded by m_view_lock

    IBaseEventHandler* m_forward_download{nullptr};
    IBaseEventHandler* m_forward_sync{nullptr};

    NetworkTest m_network_test;
    std::atomic<bool> m_online{true};   // written by the network thread only
    std::optional<bool> m_last_online;  // UI thread only; none before the first tick
    UINT_PTR m_timer{0};
    std::atomic<bool> m_stop{false};
    std::thread m_network;   // last: joined before the rest goes
};
