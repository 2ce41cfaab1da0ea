#pragma once
// The application controller: one per process (Instance). It owns the logic
// thread, the download manager, the feed database connection, the feed
// updater, the search object, the prefetch manager and the current play
// logic; it turns the toolkit's global events, the updater's and the
// database's notices into logic commands and runs them on its thread. It
// decides what the window shows (display modes), drives playback, the
// auto-hiding frames, the feed list's clicks and drags, and answers the
// calls of the player's screens, the feed list and the UI manager.

#include "components/common/feeddb/IDataActionListener.h"
#include "components/common/feeddb/RSSData.h"
#include "core/controller/QualityFilter.h"
#include "core/controller/uiLogicParts.h"
#include "core/controller/uiLogicThread.h"
#include "core/controller/uilogicwrsswindow.h"
#include "core/updater/IRSSUpdateListener.h"
#include "screens/feedlist/feedlistLogic.h"
#include "screens/settings/settingsLogic.h"
#include "screens/video/uiPlayerLogic.h"
#include "toolkit/uimgr/uiMgr.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class CSearchLauncher;
class warningpageMgr;
struct IDirect3DDevice9;
struct IDirect3DSurface9;
class uiLogicdownload;
class uiLogicsyncdevice;

namespace UI {

class videoplaywindow;
class wrsslist;
struct EventArgs;

namespace DisplayMode {
inline constexpr DWORD None = 1, PlayVideo = 2, ViewFeeds = 4, Both = 8;
inline constexpr DWORD Mask = 0xFFF;
}

namespace WindowState {
inline constexpr int Normal = 0x2000, FillsScreen = 0x4000;
}

// The video's view, as the control bar offers it: inside the client area, or
// filling it with the frames and the bar hiding themselves.
namespace ViewState {
inline constexpr int SmallWindow = 0x1000000, FullScreen = 0x2000000;
}

// The auto-hide timers of the main window.
inline constexpr UINT_PTR TimerControlBar = 257;
inline constexpr UINT_PTR TimerFrames = 258;
inline constexpr UINT AutoHideMs = 5000;

// The play-list cursor: where in which list the playing entry is.
struct PlayListCursor {
    int kind = -1;
    std::int64_t channel = -1;
    int page = -1;
    int index = -1;
    int entries = 0;
    RSSData::tRSSItem item;
};

// The cursor a client point gets: the resize cursors in 5-pixel edge zones,
// the arrow elsewhere and whenever the client fills the screen.
LPCWSTR EdgeCursorAt(POINT point, SIZE client, SIZE screen);

// The file name of an item's picture address inside the image folder: the
// two halves of its bound id, then a tail of the address that names no other
// folder (no "/", no "..", no control characters; bounded).
std::string ThumbnailFileName(const std::string& image_folder, const std::string& picture_address);

// Saves as JPEG at path the picture's size cut from source 2 pixels right
// and 2 down of the picture's place (inside the shown frame). False, with
// nothing written, when the device or the source refuses.
bool SaveThumbnailCut(IDirect3DDevice9* device, IDirect3DSurface9* source, RECT picture, const std::string& path);

// A drag starts once the pointer is more than 10 pixels from the press.
bool DragThresholdPassed(POINT press, POINT now);

class uiLogic final : public uiLogicTarget,
                      public IRSSUpdateListener,
                      public IDataActionListener,
                      public uiLogicHooks,
                      public feedlistLogic,
                      public settingsLogic {
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
    ~uiLogic() override;
    uiLogic(const uiLogic&) = delete;
    uiLogic& operator=(const uiLogic&) = delete;

    // Once, on the UI thread, after the widget tree exists (when there is
    // one). Registry values from HKCU "Software\Corvalen\Strimo".
    void Init();

    // False, with the payload freed, when the logic thread has ended.
    bool PostLogicCommand(UINT code, WPARAM wparam, LPARAM lparam);
    bool PostUICommand(int id) override { return PostLogicCommand(0, WPARAM(id), 0); }
    // A UI command on the calling thread (the start-up's full screen).
    void RunUICommand(int id);

    IOstrel* GetDownloader() const override { return m_downloader; }
    IPrefechManager* GetPrefetchManager() const override { return m_prefetch; }
    CRSSUpdater* GetUpdater() const override { return m_updater.get(); }
    CSearchLauncher* GetSearch() const { return m_search.get(); }
    int GetVolume() const { return m_volume; }
    // 0 idle, 1 playing, 2 paused, 3 the third play-state event.
    int GetPlayState() const;
    DWORD GetDisplayMode() const;
    int GetWindowState() const;
    int GetVideoViewState() const;
    PlayListCursor GetPlayListCursor() const;
    // Empty when the feed database opened; else why the program runs without feeds.
    const std::string& FeedsProblem() const { return m_feeds_problem; }
    DWORD LogicThreadId() const { return m_thread.ThreadId(); }

    // Display modes, views and playback.
    DWORD SetDisplayMode(DWORD mode);
    void SetVideoViewState(int state);
    bool IsFullScreenVideo() const;
    void SetVolume(int volume);
    void Seek(int position);
    void SetVideoSize(float width, float height);
    void SetVideoAspect(float ratio);
    void OnPlayStateChanged(int state);
    // Called by the play logic when an item has played to its end.
    void OnPlayEnded();
    void SetRepeat(bool repeat) { m_repeat = repeat; }
    void PlayRSSItem(RSSData::tRSSItem item);
    void PlayFile(const std::u16string& path);
    // The download pane's entries are what ids 31 and 32 step through.
    void SetDownloadListFlag(bool on) { m_download_list = on; }

    // The main window's caption band was double-clicked (UI thread).
    void OnCaptionDoubleClick();

    // uiLogicHooks, on the UI thread.
    LRESULT OnTimer(UINT_PTR id) override;
    void OnUserMessage17415(WPARAM) override {}
    void SetEdgeCursor(int x, int y) override;
    void OnMouseMove(MouseEventArgs& e) override;
    bool OnMouseWheel(int delta, int x, int y) override;
    bool OnKeyDown(int key) override;
    void UpdateWindowState() override;

    // What the control bar and the video window call.
    uiPlayerLogic& PlayerLogic() { return m_player_logic; }
    void SetPlayingItemFavorite(bool favorite);
    void ShowWarningPage(int page);

    // feedlistLogic: the feed item list.
    bool AllowsAllItems() const override;
    // With the high-definition-only switch the settings keep.
    bool MatchesQualityFilter(const RSSData::tRSSItem& item) const override;
    void SetHighDefinitionOnly(HighDefinitionOnly on) { m_hd_only = on == HighDefinitionOnly::Yes; }
    // settingsLogic: the settings window's "I prefer high quality video."
    void SetHighQuality(bool on) override { SetHighDefinitionOnly(on ? HighDefinitionOnly::Yes : HighDefinitionOnly::No); }
    // Each row of the feed list takes its item's stored status again and is
    // shown by the filter (playable, its prefetched icon); the count of rows.
    // On the UI thread.
    int RefreshItemQualityMarks() override;
    // Read by the play logic when a feed item plays.
    bool IsHighDefinitionOnly() const { return m_hd_only; }
    void OnRSSItemMouseDown(wrsslistitem* row, MouseEventArgs& e) override;
    void OnRSSItemMouseMove(wrsslistitem* row, MouseEventArgs& e) override;
    void OnRSSItemMouseUp(wrsslistitem* row, MouseEventArgs& e) override;
    void PostLogicCommand(int command, std::intptr_t data) override;
    void OnBrowserItemEvent(wie*) override {}

    // The play logic's engine closes (exit, device reset, resume from sleep);
    // the play state becomes idle, and UI command 41 reopens what played.
    void CloseEngine();
    // Hiding to the tray pauses what plays; showing again resumes only that.
    void PauseForTray();
    void ResumeFromTray();

    // The downloads and device pages; null before Init and without a feed database.
    uiLogicdownload* GetDownloadLogic() const { return m_download_logic.get(); }
    uiLogicsyncdevice* GetSyncLogic() const { return m_sync_logic.get(); }
    // WM_DEVICECHANGE of the main window, on the UI thread.
    void OnDeviceChange(WPARAM event, LPARAM record) override;

    // "rsslistitemclickanimation" of the feed list (106), on the UI thread:
    // the video loads in from the clicked row. Answers handled.
    bool OnRowClickAnimation(wrsslist& list, int index);

    // "treenode_clicked", on the UI thread.
    void OnTreeNodeClicked(EventArgs& e);
    // A warning page's button: the pages hide; the failed-playback page takes the video with it.
    void OnWarningPageResult(int page);

    uilogicwrsswindow& GetFeedWindow() { return m_wrsswindow; }
    // Null before Init.
    warningpageMgr* GetWarningPages() const { return m_warning_pages.get(); }

    // IRSSUpdateListener, on the updater's thread.
    bool OnBeginUpdate(std::int64_t) override { return true; }
    void OnUpdated(std::int64_t channel_id, bool success) override;
    // IDataActionListener, on the writer's thread.
    int OnBeforeDataAction(int, int, std::int64_t, int) override { return 0; }
    void OnDataAction(int action, int kind, std::int64_t id, int value) override;

private:
    struct Display;   // the display fields and their lock
    struct DragState; // the feed list's drag, UI thread only

    // uiPlayerLogic's calls go to the controller; a class of its own because
    // its PostUICommand answers nothing.
    class PlayerCalls final : public uiPlayerLogic {
    public:
        explicit PlayerCalls(uiLogic& owner) : m_owner(owner) {}
        void PostUICommand(int command) override { m_owner.PostUICommand(command); }
        void PostLogicCommand(int command) override { m_owner.PostLogicCommand(UINT(command), 0, 0); }
        int GetVolume() override { return m_owner.GetVolume(); }
        // Posted: the bar calls while holding UIRenderMutex, and the play
        // logic is used under the dispatch lock.
        void SetVolume(int volume) override;
        void Seek(int seconds) override;
        void SetVideoViewState(int state) override { m_owner.SetVideoViewState(state); }
        bool IsFullScreenVideo() override { return m_owner.IsFullScreenVideo(); }
        void SetPlayingItemFavorite(bool favorite) override { m_owner.SetPlayingItemFavorite(favorite); }
        void ShowPagingControls(bool show) override;
        void ShowWarningPage(int page) override { m_owner.ShowWarningPage(page); }

    private:
        uiLogic& m_owner;
    };

    void OnLogicCommand(UINT code, WPARAM wparam, LPARAM lparam) override;
    void connect_screens(bool on);
    void connect_settings(bool on);
    void open_database();
    void start_prefetch(bool enabled, bool favourites);
    void start_updater(DWORD minutes, DWORD items);
    void create_feed_window();
    void join_focus_group();

    // Commands (uiLogicCommands.cpp).
    void on_ui_command(int id);
    void open_path(const char16_t* text);
    void on_feed_list_click(int row, int part);
    void on_row_part(int row, int part);
    void refill_page(const FeedListState& list);
    void on_data_action_result(WPARAM kind, LPARAM value);
    void open_page(int page);
    void open_list(const FeedListState& list, int page);
    enum class Fetch { Allowed, Done };
    void show_opened(int kind, bool filled, Fetch fetch);
    bool await_channel(std::int64_t channel);
    void show_updated_channel(std::int64_t channel);
    void step_page(int delta);
    void step_play_list(int delta);
    bool read_cursor_page(PlayListCursor& cursor);
    void open_members_page();
    void browse_settings_folder(int id);
    void reopen_after_reset();
    void search();
    void remove_shown_channel();
    void empty_shown_list();

    // Display (uiLogicDisplay.cpp).
    // SetDisplayMode on the logic thread, posted there from any other; with a
    // view state, the pane follows the mode and the view takes that state.
    void change_display_mode(DWORD mode, int view_state = 0);
    void apply_auto_hide();
    void show_frames_and_bar();
    void rearm_auto_hide();
    void on_frames_timer();
    void toggle_video_view();
    void switch_view_to_video();
    void switch_view_to_feeds();
    void select_play_logic(int kind);
    void zoom_video(int delta);
    void open_list_or_channel(UINT code, WPARAM wparam, LPARAM lparam);
    void show_pane_by_mode();

    // Utilities (uiLogicUtil.cpp).
    void write_marks(const RSSData::tRSSItem& item);
    void sync_tree_node_marks(const RSSData::tRSSItem& item);
    void drop_from_tree_node(const RSSData::tRSSItem& item);
    void set_drag_picture(const RSSData::tRSSItem& item, bool asked);
    // The row's picture into the item's thumbnail file, named in the item
    // and stored; false, the item unchanged, without a device or a picture.
    // An item whose stored picture file is on disk keeps it (false; the item
    // takes its name).
    bool grab_thumbnail(wrsslistitem& row, RSSData::tRSSItem& item);
    void InitDownloadPages();
    void ReleaseDownloadPages();
    // A feed item dragged from the list and let go at `at` (client
    // coordinates): over the device pane it is queued for the device.
    void DropOnDevicePane(const RSSData::tRSSItem& item, POINT at);
    std::string DownloadFolder() const;

    uiLogicParts m_parts;
    PlayerCalls m_player_logic{*this};
    std::unique_ptr<Display> m_display;
    std::unique_ptr<DragState> m_drag;
    std::atomic<int> m_volume{80};
    std::atomic<bool> m_repeat{false};
    std::atomic<bool> m_download_list{false};
    std::atomic<bool> m_hd_only{false};
    // The channel the feed view waits for under the loading mark; -1 none.
    std::atomic<std::int64_t> m_pending_channel{-1};
    std::atomic<float> m_aspect{16.0f / 9.0f};
    bool m_paused_by_tray{false};                  // UI thread only
    int m_play_kind{0};                            // under the dispatch lock
    int m_closed_play_state{0};                    // under the dispatch lock: what played when the engine closed
    std::unique_ptr<uiLogicFilePlayBase> m_play_logic;   // under the dispatch lock
    IOstrel* m_downloader{nullptr};
    IPrefechManager* m_prefetch{nullptr};
    bool m_database_open{false};
    std::string m_feeds_problem;
    std::unique_ptr<CRSSUpdater> m_updater;
    std::unique_ptr<CSearchLauncher> m_search;
    std::unique_ptr<warningpageMgr> m_warning_pages;
    uilogicwrsswindow m_wrsswindow{*this};   // joins its network thread when it goes
    std::unique_ptr<uiLogicdownload> m_download_logic;
    std::unique_ptr<uiLogicsyncdevice> m_sync_logic;
    // The feed window hands each download event to the device page through this.
    class SyncEvents final : public IBaseEventHandler {
    public:
        explicit SyncEvents(uiLogic& owner) : m_owner(owner) {}
        LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override;

    private:
        uiLogic& m_owner;
    };
    SyncEvents m_sync_events{*this};
    UINT_PTR m_sync_timer{0};   // the device page's timer, of the UI thread
    uiLogicThread m_thread;   // last: its commands use everything above
};

}
