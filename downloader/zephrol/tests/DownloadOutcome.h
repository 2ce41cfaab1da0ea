#pragma once
// An event handler that waits for a download's end and says whether it
// completed; for the processes that drive the library through its exports
// (the crash tests' child and the benchmark).

#include "downloader/zephrol/ZephrolExports.h"

#include <condition_variable>
#include <mutex>

class DownloadOutcome : public tBaseObject<ICorvaEventHandler> {
public:
    explicit DownloadOutcome(const char* user) : tBaseObject(user) {}
    BaseResult OnEvent(const tCorvaEvent& event, std::intptr_t) noexcept override
    {
        if (event.code != EVENT_COMPLETE && event.code != EVENT_FAILED) return RESULT_OK;
        std::scoped_lock hold(m_lock);
        m_done = true;
        m_ok = event.code == EVENT_COMPLETE;
        m_changed.notify_all();
        return RESULT_OK;
    }
    // True once the download completed, false once it failed.
    bool wait()
    {
        std::unique_lock hold(m_lock);
        m_changed.wait(hold, [this] { return m_done; });
        return m_ok;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_done{false};   // guarded by m_lock
    bool m_ok{false};     // guarded by m_lock
};
