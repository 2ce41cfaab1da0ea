#pragma once
// A download manager double for the logic that queues downloads: it keeps a
// copy of every task added, names every call to a task in order (a start
// whose flags are not 0xA0000 says so) and answers AddTask and Start as told.

#include "outside/ostrel/testing/RefusingOstrel.h"

#include <mutex>
#include <string>
#include <vector>

namespace ostrel_test {

class RecordingOstrel final : public RefusingOstrel {
public:
    struct Added {
        DownloadTaskInfo task;
        LONG kind;
    };

    LONG AddTask(const DownloadTaskInfo* task, LONG kind) override
    {
        auto held = hold();
        held->added.push_back({*task, kind});
        held->calls.push_back("add " + task->key);
        return held->add_result;
    }
    LONG RemoveTask(const DownloadTaskInfo*, const char* key) override { return note("remove", key); }
    LONG StopTransfer(const DownloadTaskInfo*, LONG) override { return 0; }
    LONG MoveTransfer(const DownloadTaskInfo*, LONG, LONGLONG) override { return 0; }
    LONG Start(LONG, const char* key, LONG flags) override
    {
        auto held = hold();
        held->calls.push_back("start " + std::string(key ? key : "") + (flags == 0xA0000 ? "" : " (bad flags)"));
        return held->start_result;
    }
    LONG Pause(const char* key) override { return note("pause", key); }
    LONG Resume(const char* key) override { return note("resume", key); }

    // What the double answers.
    void answer(LONG add, LONG start)
    {
        auto held = hold();
        held->add_result = add;
        held->start_result = start;
    }
    std::vector<std::string> calls() const { return hold()->calls; }
    std::vector<Added> added() const { return hold()->added; }
    void clear()
    {
        auto held = hold();
        held->calls.clear();
        held->added.clear();
    }

private:
    struct State {
        std::vector<std::string> calls;
        std::vector<Added> added;
        LONG add_result = 1;
        LONG start_result = 1;
    };
    struct Held {
        std::unique_lock<std::mutex> lock;
        State* state;
        State* operator->() const { return state; }
    };
    Held hold() const { return {std::unique_lock(m_lock), &m_state}; }
    LONG note(const char* what, const char* key)
    {
        hold()->calls.push_back(std::string(what) + " " + (key ? key : ""));
        return 1;
    }

    mutable std::mutex m_lock;
    mutable State m_state;   // guarded by m_lock
};

}
