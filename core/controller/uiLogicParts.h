#pragma once
// What the application controller gets from outside: the factories of its
// outside components (tests pass doubles; a missing one leaves its component
// null, and every use of it is skipped), its folders, the window facilities
// it uses (timers, cursor, messages to the main window, the desktop's
// opener), and the logic objects other parts of the program provide: the
// feed-window logic and the play logic of files and feed items.

#include "platform/base/Geometry.h"
#include "platform/base/Types.h"
#include "playback/playlogic/IuilogicBase.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CRSSDBMgr;
class CRSSUpdater;
class IOstrel;
class IPrefechManager;
struct SearchRequest;

namespace RSSData {
struct tRSSItem;
}

namespace UI {

struct EventArgs;

// The feed view's list: which list it shows and where.
struct FeedListState {
    int kind = 0;                 // 2 prefetch, 3 search or tree node, 7 and 8 channels, 9 favourites, 10 recent
    std::int64_t channel = -1;    // the selected channel; negative: none
    int page = 0;
    int page_count = 0;
    int entries = 0;              // entries on the page
};

// The feed-window logic as the controller calls it. Commands run on the
// logic thread under its dispatch lock; notices on the thread that raised them.
class uiLogicFeedWindow {
public:
    // The shown channel was refreshed; the display mode was 4 or 8.
    virtual void OnChannelUpdated(std::int64_t channel) = 0;
    // Null: the search result page as it stands.
    virtual void ShowSearchResult(std::unique_ptr<SearchRequest> request) = 0;
    virtual void OnChannelAdded(std::int64_t channel) = 0;   // the database writer's
    virtual void OnChannelDeleted(std::int64_t channel) = 0; // the database writer's
    virtual void OnTreeNodeClicked(EventArgs& e) = 0;        // the UI thread
    // The feed view's state, asked on any thread.
    virtual std::int64_t ShownChannel() = 0;
    virtual bool ItemListHidden() = 0;
    virtual FeedListState ShownList() = 0;
    virtual bool AllowsAllItems() = 0;
    virtual int PageButtonsPerGroup() = 0;

    // Fills page `page` of a list (kind and channel of `list`); false when it
    // has nothing to show. For kind 3 without a channel, the open tree node's list.
    virtual bool OpenPage(const FeedListState& list, int page) = 0;
    // The open tree node's list of item records (kind 3 without a channel).
    virtual std::vector<RSSData::tRSSItem> TreeNodeItems() = 0;
    virtual void SetTreeNodeItems(std::vector<RSSData::tRSSItem> items) = 0;
    virtual void SetPageCount(int pages) = 0;
    virtual void SelectPageButton(int page) = 0;
    virtual void ClearView() = 0;
    virtual void ShowWarningPage(int page) = 0;
    virtual void RefreshItem(const RSSData::tRSSItem& item) = 0;
    // The channel tree's back step (UI ids 74, 86): false when no node was opened before.
    virtual bool OpenPreviousNode() = 0;
    virtual void DropChannelNode(std::int64_t channel) = 0;
    virtual void HideSearchTips() = 0;

protected:
    ~uiLogicFeedWindow() = default;
};

// The play logic of files and feed items (play-logic kind 0).
class uiLogicFilePlayBase : public IuilogicBase {
public:
    virtual bool PlayFile(const std::u16string& path) = 0;
    // Asks for a local file and plays it.
    virtual bool OpenFile() = 0;
    virtual bool PlayVideoItem(const RSSData::tRSSItem& item) = 0;
};

struct uiLogicParts {
    std::function<IOstrel*()> create_downloader;
    std::function<void(IOstrel*)> release_downloader;
    std::function<IPrefechManager*()> create_prefetch;
    std::function<void(IPrefechManager*)> release_prefetch;
    // The updater over the opened database with the download manager, its
    // period in seconds and items per channel; not started.
    std::function<std::unique_ptr<CRSSUpdater>(CRSSDBMgr&, IOstrel*, std::uint32_t, std::int32_t)> create_updater;
    // The play logic of kind 0; none: nothing plays.
    std::function<std::unique_ptr<uiLogicFilePlayBase>()> create_file_play;
    std::string download_folder;   // UTF-8, settings path 1
    std::string database_folder;   // UTF-8 with its trailing '/', settings path 6
    std::string image_folder;      // UTF-8, settings path 7
    // The video site's members page (UI id 90).
    std::string members_page;

    uiLogicFeedWindow* feed_window = nullptr;   // not owned; null: its commands do nothing
    // Window facilities; each may be empty (then skipped).
    std::function<void(UINT message, WPARAM, LPARAM)> post_to_main;
    std::function<void(UINT_PTR id, UINT ms)> set_timer;
    std::function<void(UINT_PTR id)> kill_timer;
    std::function<void(LPCWSTR cursor)> set_cursor;
    // The window's pointer position in client coordinates.
    std::function<POINT()> pointer;
    // Starts a program with an argument vector; the desktop opener by default.
    std::function<bool(const std::vector<std::string>&)> start_program;
    // Whether the machine is on a network; empty: the system's test.
    std::function<bool()> network_test;
};

}
