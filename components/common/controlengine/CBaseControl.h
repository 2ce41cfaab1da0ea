#pragma once
// The common implementation behind IBaseControl: a listener list that fans
// events out, and one command thread that runs queued commands in order.
//
// A concrete controller overrides GetType, Execute and GetVersion. Because the
// command thread calls Execute, a concrete controller's destructor must call
// stop_command_thread() first, so that no command runs on a half-destroyed object.

#include "components/common/controlengine/IBaseControl.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CBaseControl : public IBaseControl {
public:
    CBaseControl();
    virtual ~CBaseControl();
    CBaseControl(const CBaseControl&) = delete;
    CBaseControl& operator=(const CBaseControl&) = delete;

    LONG Notify(void* sender, LONG code, INT_PTR value, INT_PTR extra) override;
    LONG GetType() override { return 0; }
    // Asynchronous (CONTROL_ASYNC): queues a private copy and answers 1. Synchronous:
    // 3 adds and 4 removes the listener in data (1); any other code answers 0 here.
    LONG SendCommand(LONG code, void* data, LONG* length, DWORD flags) override;
    LONG Execute(LONG code, void* data, LONG* length, DWORD flags) override;
    void AddListener(IBaseEventHandler* listener) override;
    void Run() override;
    std::pair<LONG, LONG> GetVersion() override { return {1, 0}; }

protected:
    // The concrete controllers' SendCommand: a queued command whose data its
    // private copy cannot stand for (out values, records, objects; a path or
    // the settings record unless copied by length) is refused with 0 and a
    // debug line naming `who`. Otherwise the base takes the code, and what it
    // leaves (0) goes to Execute on the caller's thread.
    LONG dispatch_command(const char* who, LONG code, void* data, LONG* length, DWORD flags);
    // Queues command 1 and joins the command thread; commands queued before it still
    // run. Idempotent. Must not be called from the command thread.
    void stop_command_thread();
    // Command 2: writes GetVersion's pair into data (two 32-bit integers); null is ignored.
    void write_version(void* data);

private:
    struct Command {
        LONG code;
        std::unique_ptr<std::byte[]> data;   // private copy, or null
        std::unique_ptr<LONG> length;        // private copy, or null
    };

    // Command 4: takes the listener off the list (no new delivery starts), then
    // waits, without the command lock, until no other thread is delivering an
    // event to it, so the caller may destroy it once the command returns.
    void erase_listener(IBaseEventHandler* listener);
    void wait_for_deliveries(IBaseEventHandler* listener);

    struct Delivery {
        IBaseEventHandler* listener;
        std::thread::id thread;
    };

    std::mutex m_listener_lock;
    std::condition_variable m_delivered;           // a delivery ended
    std::vector<IBaseEventHandler*> m_listeners;   // guarded by m_listener_lock, insertion order
    std::vector<Delivery> m_deliveries;            // guarded by m_listener_lock: calls under way
    std::recursive_mutex m_command_lock;           // serialises synchronous listener commands
    std::mutex m_queue_lock;
    std::condition_variable m_queue_ready;
    std::deque<Command> m_queue;                   // guarded by m_queue_lock, oldest first
    std::thread m_thread;                          // last member: joined before the rest go
};
