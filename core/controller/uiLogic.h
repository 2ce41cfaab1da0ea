#pragma once
// The application controller: one per process (Instance). It owns the logic
// thread, the download manager, the feed database connection, the feed
// updater, the search object, the prefetch manager and the current play
// logic; it turns the toolkit's global events, the updater's and the
// database's notices into logic commands and runs them on its thread.

#include "components/common/feeddb/IDataActionListener.h"
#include "core/controller/uiLogicParts.h"
#include "core/controller/uiLogicThread.h"
#include "core/updater/IRSSUpdateListener.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class CSearchLauncher;
class uiLogicdownload;
class uiLogicsyncdevice;

namespace UI {

class IuilogicBase;
struct EventArgs;

namespace DisplayMode {
inline constexpr DWORD None = 1, PlayVideo = 2, ViewFeeds = 4, Both = 8;
}

class uiLogic final : public uiLogicTarget, public IRSSUpdateListener, public IDataActionListener {
public:
    // Null before construction and after destruction.
    static uiLogic* Instance();
    // The controller's handlers of the global UI events, subscribed once per
    // process; they reach the controller of the moment.
    static void SubscribeEvents();

    explicit uiLogic(uiLogicParts parts);
    // Ends the logic thread (one WM_QUIT, joined) before anything a command
    // uses goes, then the updater, the play logic, the prefetch manager, the
    // download manager and the database, in that order.
    ~uiLogic();
    uiLogic(const uiLogic&) = delete;
    uiLogic& operator=(const uiLogic&) = delete;

    // Once, on the UI thread. Registry values from HKCU "Software\Corvalen\Strimo".
    void Init();

    // False, with the payload freed, when the logic thread has ended.
    bool PostLogicCommand(UINT code, WPARAM wparam, LPARAM lparam);
    bool PostUICommand(int id) { return PostLogicCommand(0, WPARAM(id), 0); }
    // A UI command on the calling thread (the start-up's full screen).
    void RunUICommand(int id);

    IOstrel* GetDownloader() const { return m_downloader; }
    IPrefechManager* GetPrefetchManager() const { return m_prefetch; }
    CRSSUpdater* GetUpdater() const { return m_updater.get(); }
    CSearchLauncher* GetSearch() const { return m_search.get(); }
    int GetVolume() const { return m_volume; }
    // 0 idle, 1 playing, 2 paused.
    int GetPlayState() const { return m_play_state; }
    DWORD GetDisplayMode() const { return m_display_mode; }
    void SetDisplayMode(DWORD mode) { m_display_mode = mode; }
    // Empty when the feed database opened; else why the program runs without feeds.
    const std::string& FeedsProblem() const { return m_feeds_problem; }
    DWORD LogicThreadId() const { return m_thread.ThreadId(); }

    // The play logic's engine closes (exit, device reset, resume from sleep).
    void CloseEngine();
    // Hiding to the tray pauses what plays; showing again resumes only that.
    void PauseForTray();
    void ResumeFromTray();

    // The downloads and device pages; null before Init and without a feed database.
    uiLogicdownload* GetDownloadLogic() const { return m_download_logic.get(); }
    uiLogicsyncdevice* GetSyncLogic() const { return m_sync_logic.get(); }
    // The download manager's events, for both pages (from its event thread).
    void OnDownloadEvent(void* task, LONG code, INT_PTR value, INT_PTR extra);
    // WM_DEVICECHANGE of the main window, on the UI thread.
    void OnDeviceChange(WPARAM event, LPARAM record);

    // "treenode_clicked", on the UI thread.
    void OnTreeNodeClicked(EventArgs& e);

    // IRSSUpdateListener, on the updater's thread.
    bool OnBeginUpdate(std::int64_t) override { return true; }
    void OnUpdated(std::int64_t channel_id, bool success) override;
    // IDataActionListener, on the writer's thread.
    int OnBeforeDataAction(int, int, std::int64_t, int) override { return 0; }
    void OnDataAction(int action, int kind, std::int64_t id, int value) override;

private:
    void OnLogicCommand(UINT code, WPARAM wparam, LPARAM lparam) override;
    void open_database();
    void start_prefetch(bool enabled, bool favourites);
    void start_updater(DWORD minutes, DWORD items);
    void InitDownloadPages();
    void ReleaseDownloadPages();
    std::string DownloadFolder() const;

    uiLogicParts m_parts;
    std::atomic<int> m_play_state{0};
    std::atomic<DWORD> m_display_mode{DisplayMode::None};
    std::atomic<int> m_volume{80};
    bool m_paused_by_tray{false};              // UI thread only
    std::unique_ptr<IuilogicBase> m_play_logic;   // used under the dispatch lock
    IOstrel* m_downloader{nullptr};
    IPrefechManager* m_prefetch{nullptr};
    bool m_database_open{false};
    std::string m_feeds_problem;
    std::unique_ptr<CRSSUpdater> m_updater;
    std::unique_ptr<CSearchLauncher> m_search;
    std::unique_ptr<uiLogicdownload> m_download_logic;
    std::unique_ptr<uiLogicsyncdevice> m_sync_logic;
    UINT_PTR m_sync_timer{0};   // the device page's timer, of the UI thread
    uiLogicThread m_thread;   // last: its commands use everything above
};

}
