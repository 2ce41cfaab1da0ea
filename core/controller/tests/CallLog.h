#pragma once
// For the controller's tests: the lines a double of the feed window or the
// play logic writes down, from any thread, and the feed view's state it
// answers with. settle() waits for the commands posted before it: it posts a
// search result without a request, which the double writes down as "sync".

#include "core/controller/LogicCommand.h"
#include "core/controller/uiLogic.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

class CallLog {
public:
    void add(std::string line)
    {
        std::scoped_lock hold(m_lock);
        if (line == "sync")
            ++m_syncs;
        else
            m_lines.push_back(std::move(line));
        m_changed.notify_all();
    }

    // Every line so far, after the commands posted before this call have run.
    std::vector<std::string> settle(UI::uiLogic& controller)
    {
        controller.PostLogicCommand(LogicCommand::SearchResult, 0, 0);
        std::unique_lock hold(m_lock);
        m_changed.wait_for(hold, std::chrono::seconds(30), [&] { return m_syncs > 0; });
        --m_syncs;
        std::vector<std::string> lines;
        lines.swap(m_lines);
        return lines;
    }

    void set_list(UI::FeedListState l)
    {
        std::scoped_lock hold(m_lock);
        m_list = l;
    }
    UI::FeedListState list() const
    {
        std::scoped_lock hold(m_lock);
        return m_list;
    }

protected:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;   // guarded by m_lock
    UI::FeedListState m_list;           // guarded by m_lock
    int m_syncs = 0;                    // guarded by m_lock
};
