#pragma once
// The device page: whether an iPod is connected, and the queue of feed videos
// the user sends to it. Each queued video goes through three stages, one
// video at a time: download (as ".flv") through the download manager,
// transcode to ".mp4" (CTranscode), copy to the player (CITunesDBMgr). A
// stage that fails shows status 4's text on the video's row and the queue
// moves on to the next video.

#include "components/common/feeddb/RSSData.h"
#include "playback/devicesync/CDeviceDetector.h"
#include "playback/devicesync/CITunesDBMgr.h"
#include "playback/devicesync/CTranscode.h"
#include "playback/devicesync/IDeviceEventListener.h"
#include "playback/devicesync/ISyncEventListener.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class CRSSDBMgr;
class IOstrel;

namespace UI {
class wsyncdevicelist;
class wsyncdevicelistitem;
class wtext;
class wtitlewindow;
struct EventArgs;
}

class uiLogicsyncdevice final : public IDeviceEventListener, public ISyncEventListener {
public:
    // What the page asks of the controller; a missing function does nothing.
    struct Host {
        std::function<IOstrel*()> downloader;           // null: no download manager
        std::function<std::string()> download_folder;   // UTF-8, settings path 9
        // Runs OnTranscodeFinished on the logic thread (logic command 22).
        std::function<void()> post_transcode_finished;
        CTranscode::Engine engine;
    };
    static constexpr unsigned TimerMs = 500;

    uiLogicsyncdevice() = default;
    // Joins the transcode starts and the library's worker, stops a transcode
    // under way (its temporary file goes), before anything they use goes.
    ~uiLogicsyncdevice();
    uiLogicsyncdevice(const uiLogicsyncdevice&) = delete;
    uiLogicsyncdevice& operator=(const uiLogicsyncdevice&) = delete;

    // On the UI thread once the widget tree exists: binds the device pane of
    // window 96, scans the drives and registers `window` for their notices.
    void Init(Host host, CRSSDBMgr& db, HWND window);

    // Shows the item's row and queues it once; the first in the queue starts
    // downloading.
    void AddVideo(const RSSData::tRSSItem& item);
    // WM_DEVICECHANGE, handed to the detector.
    bool OnDeviceChange(WPARAM event, LPARAM record);
    // The download manager's events, from any thread (the sender is its
    // task record): the head's download finishing starts its transcode,
    // failing moves on; progress shows on the row.
    void OnDownloadEvent(void* record, LONG code, INT_PTR value, INT_PTR extra);
    // Logic command 22: the transcode ended; a finished file goes to the
    // player and the next video starts downloading.
    void OnTranscodeFinished();
    // The 500 ms timer: the head's row shows the transcode's percent.
    void UpdateTranscodePercent();

    void OnDeviceArrival(char letter) override;
    void OnDeviceRemoval(char letter) override;
    void OnSyncStatus(LPCWSTR text, DWORD status) override;

    // The queued items' ids, oldest first.
    std::vector<std::int64_t> QueuedIds() const;

    // A row's text while a stage runs.
    static std::u16string StageText(const char* stage, int percent);

private:
    enum class Begun { Started, NoManager, Refused };
    struct Starter {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    Begun StartDownload(const RSSData::tRSSItem& item);
    void StartTranscodeThread(std::int64_t id, std::u16string path);
    void RunTranscode(std::int64_t id, const std::u16string& path);
    // Takes the item off the head (when it is there) and starts the next
    // download, passing over every one the download manager refuses.
    void MoveOn(std::int64_t id);
    std::optional<RSSData::tRSSItem> PopHead(std::int64_t id);
    // The row of the item; null when none. Under UIRenderMutex.
    UI::wsyncdevicelistitem* RowOf(std::int64_t id) const;
    void ShowRowText(std::int64_t id, const std::u16string& text);
    // The row's sync status, in words under its title.
    void ShowRowStatus(std::int64_t id, DWORD status);
    void SetRowDownload(std::int64_t id, std::optional<std::int32_t> status, std::optional<int> percent);
    bool OnPauseResume(UI::EventArgs& e);
    void ShowConnected(bool connected);
    void JoinStarters(bool only_done);

    Host m_host;
    CRSSDBMgr* m_db{nullptr};
    UI::wtitlewindow* m_pane{nullptr};   // the widget tree's, changed under UIRenderMutex
    UI::wsyncdevicelist* m_list{nullptr};
    UI::wtext* m_device_text{nullptr};
    CDeviceDetector m_detector;   // UI thread

    mutable std::mutex m_lock;   // never held while calling out
    std::deque<RSSData::tRSSItem> m_queue;       // guarded by m_lock
    std::shared_ptr<CTranscode> m_transcode;     // guarded by m_lock; null when none runs
    std::u16string m_output;                     // guarded by m_lock
    std::u16string m_head_file;                  // guarded by m_lock: where the head's download goes
    std::list<Starter> m_starters;               // guarded by m_lock
    std::int64_t m_syncing{0};                   // guarded by m_lock: the item the library copies
    // Last: its worker calls this page, so it is joined before the rest goes.
    CITunesDBMgr m_library;
};
