#pragma once
// QuelmControl: the video engine's controller. It owns one QuelmGraph and
// turns the play controller's commands into its operations. Events go out
// from a delivery thread of their own, so a listener may answer one with a
// command (close, play the next item) that tears down the graph reporting it.

#include "components/common/controlengine/CBaseControl.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/dshow/FilterRegistration.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class QuelmGraph;

class QuelmControl final : public CBaseControl {
public:
    // `make` creates filters by class id; `report_period_ms` paces the position reports.
    QuelmControl(plat::FilterMaker make, DWORD report_period_ms, IBaseEventHandler* graph_notify);
    ~QuelmControl() override;

    std::pair<LONG, LONG> GetVersion() override { return {17, 0}; }
    LONG Notify(void* sender, LONG code, INT_PTR value, INT_PTR extra) override;
    // Commands whose data a queue cannot copy (out values, the play task) are refused when queued: 0.
    LONG SendCommand(LONG code, void* data, LONG* length, DWORD flags) override;
    LONG Execute(LONG code, void* data, LONG* length, DWORD flags) override;

private:
    LONG execute(LONG code, void* data);
    LONG play(const void* task);
    void close();
    void deliver(std::stop_token stop);

    std::mutex m_execute_lock;            // one command at a time
    std::unique_ptr<QuelmGraph> m_graph;  // guarded by m_execute_lock (made and freed by the owner)
    IOstrelItemStore* m_store = nullptr;  // guarded by m_execute_lock: the download manager's (12296)
    IOstrelItem* m_item = nullptr;        // guarded by m_execute_lock: the download the graph reads

    struct Event {
        LONG code;
        INT_PTR value;
        INT_PTR extra;
    };
    std::mutex m_event_lock;
    std::condition_variable_any m_event_ready;
    std::deque<Event> m_events;   // guarded by m_event_lock
    std::jthread m_delivery;      // last: stopped before what it uses goes
};
