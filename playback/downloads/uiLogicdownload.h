#pragma once
// The downloads page: the user's downloads in the right-hand pane's "My
// Download" list, loaded from the feed database's itemdownloadinfo rows and
// kept in step with the download manager's events. It is the only writer of
// those rows.

#include "components/common/controlengine/IBaseEventHandler.h"
#include "components/common/feeddb/DBRecords.h"
#include "components/common/feeddb/RSSData.h"

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class CRSSDBMgr;
class IOstrel;
struct DownloadTaskInfo;

namespace UI {
class widget;
class wdownloadlist;
class wdownloadlistitem;
class wtitlewindow;
struct EventArgs;
}

class uiLogicdownload final : public IBaseEventHandler {
public:
    // What the page asks of the controller; a missing function does nothing.
    struct Host {
        std::function<IOstrel*()> downloader;                      // null: no download manager
        std::function<std::string()> download_folder;              // UTF-8, settings path 9
        std::function<void(const RSSData::tRSSItem&)> play_item;   // a row was clicked
        std::function<void(const std::string&)> open_folder;       // the title bar's folder button
    };

    uiLogicdownload() = default;
    uiLogicdownload(const uiLogicdownload&) = delete;
    uiLogicdownload& operator=(const uiLogicdownload&) = delete;

    // On the UI thread once the widget tree exists: binds the pane of window
    // 96 and loads the list. The database outlives the page.
    void Init(Host host, CRSSDBMgr& db);

    // The download manager's events, forwarded by the controller from any
    // thread: 36865 with state 4 finishes the task's rows, 36866 shows the
    // percent carried in `extra`. Answers 0.
    LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override;

    // Unfolds the pane at the item's row. Null does nothing.
    void ShowItem(const RSSData::tRSSItem* item);
    // The current index := the list position of the item's record, or -1.
    void FindItemIndex(const RSSData::tRSSItem& item);
    void ScrollToCurrent();
    // Selects the item's row, or (none yet) queues the item: a new row flies
    // in and its download starts. The controller calls it for an item dropped
    // on the pane. Null does nothing.
    void FocusCurrentItem(const RSSData::tRSSItem* item);
    // The download before (after) the one of item `id`, read from the database.
    bool GetPreviousItem(std::int64_t id, RSSData::tRSSItem& item);
    bool GetNextItem(std::int64_t id, RSSData::tRSSItem& item);

    int CurrentIndex() const;
    // The pane's list, the page's place in the Tab order; null before Init.
    UI::widget* GetRootWidget() const;
    // download folder + "/" + the cleaned title + ".mp4".
    std::string LocalFileName(const std::string& title) const;

private:
    struct Record {
        ItemDownloadRecord row;
        UI::wdownloadlistitem* widget;   // the tree owns it
    };
    // A download row as one change left it, to be stored without the render lock.
    struct StoredRow {
        ItemDownloadRecord row;
        std::uint64_t change;   // later changes have higher numbers
    };

    void LoadList();
    void ResumeDownload(const RSSData::tRSSItem& item);
    void SetProgress(const DownloadTaskInfo& task, int percent);
    void MarkFinished(const DownloadTaskInfo& task);
    bool ReadItem(std::int64_t id, RSSData::tRSSItem& item);
    bool Neighbour(std::int64_t id, int step, RSSData::tRSSItem& item);
    int PositionOf(std::int64_t id) const;
    UI::wdownloadlistitem* AppendRow(const ItemDownloadRecord& row, const RSSData::tRSSItem& item);
    bool HasRecords() const;
    StoredRow Snapshot(const Record& record);
    void ChangeRecords(const std::list<RSSData::tRSSItem>& items,
                       const std::function<void(Record&, const RSSData::tRSSItem&)>& change);
    void StoreRows(const std::vector<StoredRow>& rows);

    bool OnRowEvent(UI::EventArgs& e);
    bool OnRowClick(UI::EventArgs& e);
    bool OnRowRemoved(UI::EventArgs& e);
    bool OnPauseResume(UI::EventArgs& e);
    void SetRowState(std::int64_t id, std::int32_t status);
    bool OpenFolder(UI::EventArgs& e);

    Host m_host;
    CRSSDBMgr* m_db{nullptr};
    UI::wtitlewindow* m_pane{nullptr};   // the widget tree's
    UI::wdownloadlist* m_list{nullptr};
    // The records shown, in list order, and the current one: guarded by
    // UIRenderMutex, the lock the rows they name are drawn under. The
    // database is read and written without it.
    std::vector<Record> m_records;
    int m_current{-1};
    std::uint64_t m_changes{0};   // guarded by UIRenderMutex: numbers the snapshots
    // Taken without UIRenderMutex by the download manager's thread; the UI
    // thread may hold that lock when it takes this one, never the reverse.
    std::mutex m_store_lock;
    std::map<std::int64_t, std::uint64_t> m_stored_changes;   // guarded by m_store_lock: newest stored, by item id
};
