#pragma once
// A scripted video engine behind IBaseControl. It "plays" an item by reading
// it at a rate its first line gives:
//   "QUELM <bytes per second> <milliseconds per second>\n"
// so one media second passes every given milliseconds once its bytes are
// there. It reports what the play controller listens to: start, duration,
// positions, waiting for data and data arrived, completion, stop and failure.

#include "components/common/controlengine/CBaseControl.h"
#include "outside/ostrel/IOstrel.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace quelm {

class MediaSource;

class QuelmEngine final : public CBaseControl {
public:
    QuelmEngine();
    ~QuelmEngine() override;

    LONG SendCommand(LONG code, void* data, LONG* length, DWORD flags) override;
    LONG Execute(LONG code, void* data, LONG* length, DWORD flags) override;
    std::pair<LONG, LONG> GetVersion() override { return {17, 0}; }

    // Play states of command 4110.
    enum State : LONG { Idle = 0, Running = 1, Paused = 2, Stopped = 3 };

private:
    LONG play(const void* task);
    void close();
    void pause(bool buffering);
    void seek(LONG seconds);
    void emit(LONG code, INT_PTR value = 0, INT_PTR extra = 0, std::shared_ptr<const DownloadTaskInfo> keep = {});
    void deliver(std::stop_token stop);
    void tick(std::stop_token stop);
    bool step();   // one media second or one check; false when playing ended
    void note_waiting();
    void note_arrived();
    void fail();
    bool read_header(const char* head);
    bool advance();

    std::mutex m_control;   // serialises opening and closing
    std::mutex m_lock;
    std::condition_variable_any m_wake;
    IOstrelItemStore* m_store = nullptr;   // guarded by m_lock
    State m_state = Idle;                  // guarded by m_lock
    bool m_buffering_pause = false;        // guarded by m_lock: paused until data is there
    bool m_waiting = false;                // guarded by m_lock: 8193 sent, 8198 owed
    bool m_have_header = false;            // guarded by m_lock
    LONGLONG m_rate = 0;                   // guarded by m_lock: bytes per media second
    LONG m_tick_ms = 10;                   // guarded by m_lock
    LONG m_position = 0;                   // guarded by m_lock: seconds
    LONG m_duration = 0;                   // guarded by m_lock
    LONG m_volume = 100;                   // guarded by m_lock
    bool m_muted = false;                  // guarded by m_lock
    std::shared_ptr<const DownloadTaskInfo> m_item_record;   // guarded by m_lock: the item as the download manager knows it
    bool m_from_download = false;          // guarded by m_lock
    std::unique_ptr<MediaSource> m_source;   // used by the ticker while it runs, else under m_control

    struct Event {
        LONG code;
        INT_PTR value;
        INT_PTR extra;
        std::shared_ptr<const DownloadTaskInfo> keep;   // what value points to, if anything
    };
    std::mutex m_event_lock;
    std::condition_variable_any m_event_ready;
    std::deque<Event> m_events;   // guarded by m_event_lock

    // Last: stopped before what they use goes; the ticker first, as it raises events.
    std::jthread m_delivery;
    std::jthread m_ticker;
};

// The double's create and release, in the real engine's shape (its exports
// are the real engine's alone, so a program may hold both).
IBaseControl* create_scripted_engine();
void release_scripted_engine(IBaseControl* engine);

}
