#pragma once
// Helpers of the download tests: the shared temporary folder, a whole-file
// reader and a listener that keeps copies of the events it hears.

#include "outside/ostrel/IOstrel.h"
#include "platform/fs/testing/TempFolder.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel_test {

inline std::string read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct HeardEvent {
    DownloadTaskInfo record;
    LONG code;
    INT_PTR value;
    INT_PTR extra;
};

class EventRecorder : public IBaseEventHandler {
public:
    LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override
    {
        {
            std::scoped_lock hold(m_lock);
            m_events.push_back({*static_cast<const DownloadTaskInfo*>(sender), code, value, extra});
        }
        m_changed.notify_all();
        return 0;
    }
    // Waits (generously) for an event that matches.
    bool wait_for(const std::function<bool(const HeardEvent&)>& match)
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::seconds(60), [&] {
            for (const auto& e : m_events)
                if (match(e))
                    return true;
            return false;
        });
    }
    // Waits for count events that match.
    bool wait_count(const std::function<bool(const HeardEvent&)>& match, std::size_t count)
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::seconds(60), [&] {
            return static_cast<std::size_t>(std::count_if(m_events.begin(), m_events.end(), match)) >= count;
        });
    }
    bool wait_state(const std::string& key, LONG state)
    {
        return wait_for([&](const HeardEvent& e) {
            return e.code == EVT_DOWNLOAD_STATE && e.value == state && e.record.key == key;
        });
    }
    std::vector<HeardEvent> events()
    {
        std::scoped_lock hold(m_lock);
        return m_events;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<HeardEvent> m_events;   // guarded by m_lock
};

}
