#pragma once
// What the application controller gets from outside: the factories of its
// outside components (tests pass doubles; a missing one leaves its component
// null, and every use of it is skipped), its folders, and the handlers of the
// commands and notices it routes, which the screens and the feed-window logic
// provide.

#include "platform/base/Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CRSSDBMgr;
class CRSSUpdater;
class IOstrel;
class IPrefechManager;
struct SearchRequest;

namespace UI {

struct EventArgs;

// Each call comes after the controller's own filter; command handlers run on
// the logic thread under its dispatch lock.
class uiLogicHandlers {
public:
    virtual void OnUICommand(int id) = 0;                    // any id but 0
    // The whole command line; only a quoted path is acted on.
    virtual void OpenPath(const std::u16string& command_line) = 0;
    virtual void ToggleVideoView() = 0;                      // double click on the video window (id 2)
    virtual void OnFeedListClick(int row, int part) = 0;     // the feed item list (id 106)
    virtual void SetVolume(int position) = 0;                // the volume slider (id 57)
    virtual void Seek(int position) = 0;                     // the seek bar (id 62)
    // The shown channel was refreshed; the display mode was 4 or 8.
    virtual void OnChannelUpdated(std::int64_t channel) = 0;
    virtual void ShowSearchResult(std::unique_ptr<SearchRequest> request) = 0;

    // Notices, on the thread that raised them.
    virtual void OnChannelAdded(std::int64_t channel) = 0;   // the database writer's
    virtual void OnChannelDeleted(std::int64_t channel) = 0; // the database writer's
    virtual void OnTreeNodeClicked(EventArgs& e) = 0;        // the UI thread
    // The feed view's state, asked on the feed updater's thread.
    virtual std::int64_t ShownChannel() = 0;
    virtual bool ItemListHidden() = 0;

protected:
    ~uiLogicHandlers() = default;
};

struct uiLogicParts {
    std::function<IOstrel*()> create_downloader;
    std::function<void(IOstrel*)> release_downloader;
    std::function<IPrefechManager*()> create_prefetch;
    std::function<void(IPrefechManager*)> release_prefetch;
    // The updater over the opened database with the download manager, its
    // period in seconds and items per channel; not started.
    std::function<std::unique_ptr<CRSSUpdater>(CRSSDBMgr&, IOstrel*, std::uint32_t, std::int32_t)> create_updater;
    std::string download_folder;   // UTF-8, settings path 1
    std::string database_folder;   // UTF-8 with its trailing '/', settings path 6
    std::string image_folder;      // UTF-8, settings path 7
    uiLogicHandlers* handlers = nullptr;   // not owned; null: routed commands do nothing
    // Whether the machine is on a network; empty: the system's test.
    std::function<bool()> network_test;
};

}
