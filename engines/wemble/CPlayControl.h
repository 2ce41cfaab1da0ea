#pragma once
// The play controller: drives two video engines (engine 1 plays the main play
// list, engine 2 inserted clips), keeps both play lists, has the download
// manager fetch items ahead of play, and passes the engines' and the download
// manager's events on to its own listeners.
//
// Threads: callers and the command thread run commands; the play thread and
// the download thread run passes when signalled; events arrive on the engines'
// and the download manager's threads. One lock guards the lists and states;
// no call into an engine or the download manager is made while it is held.

#include "components/common/controlengine/CBaseControl.h"
#include "engines/wemble/PlayTaskInfo.h"
#include "outside/ostrel/IOstrel.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace BindID {
class IBindIDManager;
}

class CPlayControl final : public CBaseControl, public IBaseEventHandler {
public:
    struct Options {
        std::chrono::milliseconds idle_wait{2000};      // play-now waits this long for both threads
        std::chrono::milliseconds ready_timeout{60000};  // an item not ready by then is abandoned
        // The video engine's exports (the library passes the real engine's,
        // the tests their double); without them no engine is driven.
        IBaseControl* (*create_engine)() = nullptr;
        void (*release_engine)(IBaseControl*) = nullptr;
    };

    explicit CPlayControl(const Options& options);
    ~CPlayControl() override;

    LONG GetType() override { return 6; }
    LONG SendCommand(LONG code, void* data, LONG* length, DWORD flags) override;
    LONG Execute(LONG code, void* data, LONG* length, DWORD flags) override;
    std::pair<LONG, LONG> GetVersion() override { return {17, 0}; }

    LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override;

private:
    struct PlayItem;
    enum class Priority { No, Yes };

    void initialise();
    void forward(IBaseControl* engine, LONG code, void* data, LONG* length, DWORD flags);
    // False when the item was not queued: a record without address or path,
    // or threads that stayed busy past the idle wait (the request is dropped).
    bool play_now(const PlayTaskInfo& task);
    void append(const PlayTaskInfo& task);
    void assign_binding_id(PlayTaskInfo& task);
    std::vector<std::shared_ptr<PlayItem>> clear_lists();   // m_lock held; returns what was dropped
    void on_position(LONG position);
    void on_download_state(const DownloadTaskInfo& record, INT_PTR state);
    void run_passes(bool CPlayControl::*signal, bool CPlayControl::*idle,
                    void (CPlayControl::*pass)(std::unique_lock<std::mutex>&));
    void play_pass(std::unique_lock<std::mutex>& hold);
    void play_main(std::unique_lock<std::mutex>& hold);
    void download_pass(std::unique_lock<std::mutex>& hold);
    bool fetch_item(std::unique_lock<std::mutex>& hold, PlayItem& item, Priority priority);
    void signal_ready_clip();   // m_lock held
    bool start_download(const PlayTaskInfo& task, Priority priority);
    DownloadTaskInfo download_record(const PlayTaskInfo& task) const;

    const Options m_options;
    BindID::IBindIDManager* const m_binder;   // the process's one manager

    std::mutex m_init_lock;              // serialises initialisation; taken before m_lock
    std::mutex m_lock;
    std::condition_variable m_changed;   // any change of the fields below
    IBaseControl* m_engine1 = nullptr;   // guarded by m_lock; set once by initialise
    IBaseControl* m_engine2 = nullptr;   // guarded by m_lock; set once by initialise
    IOstrel* m_downloader = nullptr;     // guarded by m_lock
    std::vector<std::shared_ptr<PlayItem>> m_main;       // guarded by m_lock
    std::vector<std::shared_ptr<PlayItem>> m_inserted;   // guarded by m_lock
    std::size_t m_next = 0;              // guarded by m_lock: next main item to play
    LONG m_play_state = 0;               // guarded by m_lock: 0 idle, 1 main, 2 inserted
    LONG m_inserted_start = 0;           // guarded by m_lock
    LONG m_duration = 0;                 // guarded by m_lock: seconds
    bool m_stop = false;                 // guarded by m_lock
    bool m_play_signal = false;          // guarded by m_lock
    bool m_play_idle = true;             // guarded by m_lock
    bool m_download_signal = false;      // guarded by m_lock
    bool m_download_idle = true;         // guarded by m_lock
    int m_replacing = 0;                 // guarded by m_lock: play-now requests waiting for the threads
    std::shared_ptr<PlayItem> m_current;   // guarded by m_lock
    DownloadTaskInfo m_current_record;     // guarded by m_lock: the download of the item in play
    LONGLONG m_bytes_available = 0;        // guarded by m_lock

    // Last: joined before the rest go.
    std::thread m_play_thread;
    std::thread m_download_thread;
};
