#pragma once
// A transcode engine double: it names every command it gets, keeps its
// listener, answers the run command as told (writing the output file first,
// as a real run starts to), and raises events when the test asks.

#include "playback/devicesync/CTranscode.h"

#include "platform/base/Utf.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sync_test {

class FakeEngine final : public IBaseControl {
public:
    explicit FakeEngine(LONG run_answer) : m_run_answer(run_answer) {}

    LONG Notify(void*, LONG, INT_PTR, INT_PTR) override { return 0; }
    LONG GetType() override { return 7; }
    LONG SendCommand(LONG code, void* data, LONG* length, DWORD flags) override
    {
        return Execute(code, data, length, flags);
    }
    LONG Execute(LONG code, void* data, LONG*, DWORD) override
    {
        std::scoped_lock hold(m_lock);
        std::string call = std::to_string(code);
        if (code == CMD_SOURCE || code == CMD_OUTPUT) {
            const std::string path = plat::utf16_to_utf8(static_cast<const char16_t*>(data));
            call += " " + path;
            (code == CMD_SOURCE ? m_source : m_output) = path;
        }
        m_calls.push_back(call);
        if (code == CMD_ADD_LISTENER) m_listener = static_cast<IBaseEventHandler*>(data);
        if (code == CMD_REMOVE_LISTENER && m_listener == data) m_listener = nullptr;
        if (code != CMD_RUN) return 1;
        if (m_run_answer == 1) std::ofstream(m_output) << "transcoded";
        return m_run_answer;
    }
    void AddListener(IBaseEventHandler*) override {}
    void Run() override {}
    std::pair<LONG, LONG> GetVersion() override { return {17, 0}; }

    // An event as the engine's own threads send it: this engine as sender.
    LONG raise(LONG code, INT_PTR value = 0)
    {
        IBaseEventHandler* listener = nullptr;
        {
            std::scoped_lock hold(m_lock);
            listener = m_listener;
        }
        return listener ? listener->OnEvent(this, code, value, 0) : -2;
    }
    std::vector<std::string> calls() const
    {
        std::scoped_lock hold(m_lock);
        return m_calls;
    }
    bool ran() const
    {
        std::scoped_lock hold(m_lock);
        for (const auto& call : m_calls)
            if (call == std::to_string(CMD_RUN)) return true;
        return false;
    }

private:
    const LONG m_run_answer;
    mutable std::mutex m_lock;
    std::vector<std::string> m_calls;   // guarded by m_lock
    std::string m_source;               // guarded by m_lock
    std::string m_output;               // guarded by m_lock
    IBaseEventHandler* m_listener{nullptr};   // guarded by m_lock
};

// Makes engines that answer the run command as told (none when `makes` is
// off), keeps every one made and counts the releases.
class EngineMaker {
public:
    LONG run_answer = 1;
    bool makes = true;

    CTranscode::Engine engine()
    {
        return {[this]() -> IBaseControl* {
                    std::scoped_lock hold(m_lock);
                    if (!makes) return nullptr;
                    m_made.push_back(std::make_unique<FakeEngine>(run_answer));
                    return m_made.back().get();
                },
                [this](IBaseControl*) {
                    std::scoped_lock hold(m_lock);
                    ++m_released;
                }};
    }
    FakeEngine* last() const
    {
        std::scoped_lock hold(m_lock);
        return m_made.empty() ? nullptr : m_made.back().get();
    }
    std::size_t made() const
    {
        std::scoped_lock hold(m_lock);
        return m_made.size();
    }
    int released() const
    {
        std::scoped_lock hold(m_lock);
        return m_released;
    }
    // Waits (up to 10 s) for an engine made after the first `made_before`
    // that has been told to run.
    FakeEngine* wait_for_run(std::size_t made_before = 0) const
    {
        for (int i = 0; i < 10000; ++i) {
            if (FakeEngine* engine = last(); made() > made_before && engine->ran()) return engine;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return nullptr;
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::unique_ptr<FakeEngine>> m_made;   // guarded by m_lock
    int m_released{0};                                 // guarded by m_lock
};

}
