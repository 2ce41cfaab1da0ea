#pragma once
// The running timelines of one widget (or of the UI manager), ticked once per
// frame. Timelines are added on the UI thread and ticked on the drawing
// thread; the manager's own lock covers both. A timeline handed over as
// unique_ptr is deleted by the manager when it is done or stopped; one handed
// over by reference belongs to its caller.

#include "platform/sync/Mutex.h"

#include <memory>
#include <vector>

namespace UI {

class ATimeLine;

class animationMgr {
public:
    animationMgr() = default;
    virtual ~animationMgr();
    animationMgr(const animationMgr&) = delete;
    animationMgr& operator=(const animationMgr&) = delete;

    // Starts the timeline, appends it and marks the manager running.
    void AddTimeLine(std::unique_ptr<ATimeLine> line);
    void AddTimeLine(ATimeLine& line);
    // Steps every timeline; a done one is cleared and dropped. Running stays
    // set exactly while a timeline is left.
    virtual void Tick(int ms);
    // Takes out a timeline handed over by reference, running or not; its
    // owner may then destroy it.
    void RemoveTimeLine(ATimeLine& line);
    // Drops every timeline and clears the running flag.
    void StopAll();
    bool IsRunning() const;
    std::size_t TimeLineCount();

private:
    struct Entry {
        ATimeLine* line;
        bool owned;
    };
    void Add(Entry entry);

    mutable plat::Mutex m_lock;
    std::vector<Entry> m_lines;   // guarded by m_lock
    bool m_running{false};        // guarded by m_lock
};

}
