#include "components/common/controlengine/CBaseControl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
constexpr auto generous = 30s;

struct Executed {
    LONG code;
    std::thread::id thread;
    std::optional<std::vector<std::byte>> data;   // first bytes of the private copy
    std::optional<LONG> length;
};

// Records every command it runs. A command whose code is the gate code waits
// until the test opens the gate.
class Recorder : public CBaseControl {
public:
    explicit Recorder(std::size_t data_bytes = sizeof(LONG), LONG gate_code = -1)
        : m_data_bytes(data_bytes), m_gate_code(gate_code)
    {
    }
    ~Recorder() override { stop_command_thread(); }

    LONG Execute(LONG code, void* data, LONG* length, DWORD) override
    {
        Executed e{code, std::this_thread::get_id(), std::nullopt, std::nullopt};
        if (data) {
            auto* bytes = static_cast<const std::byte*>(data);
            e.data.emplace(bytes, bytes + m_data_bytes);
        }
        if (length)
            e.length = *length;
        std::unique_lock hold(m_lock);
        if (code == m_gate_code) {
            m_in_gate = true;
            m_changed.notify_all();
            m_changed.wait(hold, [this] { return m_gate_open; });
        }
        m_done.push_back(std::move(e));
        m_changed.notify_all();
        return code == 99 ? -1 : 1;
    }

    bool wait_for_count(std::size_t n)
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, generous, [&] { return m_done.size() >= n; });
    }
    bool wait_in_gate()
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, generous, [&] { return m_in_gate; });
    }
    void open_gate()
    {
        std::scoped_lock hold(m_lock);
        m_gate_open = true;
        m_changed.notify_all();
    }
    std::vector<Executed> done()
    {
        std::scoped_lock hold(m_lock);
        return m_done;
    }

private:
    std::size_t m_data_bytes;
    LONG m_gate_code;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Executed> m_done;   // guarded by m_lock
    bool m_in_gate = false;         // guarded by m_lock
    bool m_gate_open = false;       // guarded by m_lock
};

class EventLog : public IBaseEventHandler {
public:
    LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override
    {
        std::scoped_lock hold(m_lock);
        m_events.push_back({sender, code, value, extra});
        return 0;
    }
    struct Event {
        void* sender;
        LONG code;
        INT_PTR value;
        INT_PTR extra;
    };
    std::vector<Event> events()
    {
        std::scoped_lock hold(m_lock);
        return m_events;
    }

private:
    std::mutex m_lock;
    std::vector<Event> m_events;   // guarded by m_lock
};

std::vector<std::byte> bytes_of(const void* p, std::size_t n)
{
    auto* b = static_cast<const std::byte*>(p);
    return {b, b + n};
}

TEST(CBaseControl, BareEngineIdentifiesItselfAndIgnoresUnknownCodes)
{
    CBaseControl control;
    EXPECT_EQ(control.GetType(), 0);
    EXPECT_EQ(control.GetVersion(), (std::pair<LONG, LONG>{1, 0}));
    EXPECT_EQ(control.SendCommand(4098, nullptr, nullptr, 0), 0);
    EXPECT_EQ(control.SendCommand(4098, nullptr, nullptr, CONTROL_ASYNC), 1);
}

TEST(CBaseControl, QueuedCommandsRunInOrderOnOneCommandThread)
{
    Recorder control;
    constexpr int count = 500;
    for (LONG code = 10; code < 10 + count; ++code)
        EXPECT_EQ(control.SendCommand(code, &code, nullptr, CONTROL_ASYNC), 1);
    ASSERT_TRUE(control.wait_for_count(count));
    auto done = control.done();
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(done[i].code, 10 + i);
        LONG copied = 0;
        std::memcpy(&copied, done[i].data->data(), sizeof copied);
        EXPECT_EQ(copied, 10 + i) << "each command keeps its own copy";
        EXPECT_EQ(done[i].thread, done[0].thread);
    }
    EXPECT_NE(done[0].thread, std::this_thread::get_id());
}

TEST(CBaseControl, QueuedCommandsCarryPrivateCopiesOfTheirData)
{
    const char text[] = "abcdefgh";
    LONG value = 0x11223344;
    LONG eight = 8;
    LONG negative = -5;
    const struct {
        const char* name;
        void* data;
        LONG* length;
        DWORD flags;
        std::optional<std::vector<std::byte>> data_copy;
        std::optional<LONG> length_copy;
    } cases[] = {
        {"by value, data and length", &value, &eight, CONTROL_ASYNC, bytes_of(&value, 4), 8},
        {"by value, data only", &value, nullptr, CONTROL_ASYNC, bytes_of(&value, 4), std::nullopt},
        {"by value, length only", nullptr, &eight, CONTROL_ASYNC, std::nullopt, 8},
        {"by length", const_cast<char*>(text), &eight, CONTROL_ASYNC | CONTROL_COPY_LENGTH, bytes_of(text, 8),
         std::nullopt},
        {"by length without length", const_cast<char*>(text), nullptr, CONTROL_ASYNC | CONTROL_COPY_LENGTH,
         std::nullopt, std::nullopt},
        {"by length, negative length", const_cast<char*>(text), &negative, CONTROL_ASYNC | CONTROL_COPY_LENGTH,
         std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder control(c.data_copy ? c.data_copy->size() : 0, 7);
        ASSERT_EQ(control.SendCommand(7, c.data, c.length, c.flags), 1);
        control.open_gate();
        ASSERT_TRUE(control.wait_for_count(1));
        auto done = control.done();
        EXPECT_EQ(done[0].data, c.data_copy);
        EXPECT_EQ(done[0].length, c.length_copy);
    }
}

TEST(CBaseControl, CopyIsTakenWhenQueuedNotWhenRun)
{
    Recorder control(sizeof(LONG), 5);
    LONG first = 0;
    ASSERT_EQ(control.SendCommand(5, &first, nullptr, CONTROL_ASYNC), 1);
    ASSERT_TRUE(control.wait_in_gate());
    LONG value = 41;
    control.SendCommand(6, &value, nullptr, CONTROL_ASYNC);
    value = 42;
    control.open_gate();
    ASSERT_TRUE(control.wait_for_count(2));
    LONG copied = 0;
    std::memcpy(&copied, control.done()[1].data->data(), sizeof copied);
    EXPECT_EQ(copied, 41);
}

TEST(CBaseControl, SynchronousListenerCommandsAddOnceAndRemoveQuietly)
{
    CBaseControl control;
    EventLog a, b, absent;
    EXPECT_EQ(control.SendCommand(CMD_ADD_LISTENER, &a, nullptr, 0), 1);
    EXPECT_EQ(control.SendCommand(CMD_ADD_LISTENER, &a, nullptr, 0), 1);
    control.AddListener(&b);
    control.AddListener(nullptr);
    EXPECT_EQ(control.SendCommand(CMD_REMOVE_LISTENER, &absent, nullptr, 0), 1);
    control.Notify(nullptr, 4099, 1, 0);
    EXPECT_EQ(a.events().size(), 1u);
    EXPECT_EQ(b.events().size(), 1u);

    EXPECT_EQ(control.SendCommand(CMD_REMOVE_LISTENER, &a, nullptr, 0), 1);
    control.Notify(nullptr, 4099, 2, 0);
    EXPECT_EQ(a.events().size(), 1u);
    EXPECT_EQ(b.events().size(), 2u);
}

TEST(CBaseControl, ListenersReceiveEventsInOrderWithPointerSizedValues)
{
    CBaseControl control;
    EventLog first, second;
    control.AddListener(&first);
    control.AddListener(&second);
    int record = 0;
    const auto big = static_cast<INT_PTR>(reinterpret_cast<std::uintptr_t>(&record));
    std::thread worker([&] {
        for (LONG i = 0; i < 1000; ++i)
            control.Notify(&record, 4099, big + i, -i);
    });
    worker.join();
    for (auto* log : {&first, &second}) {
        auto events = log->events();
        ASSERT_EQ(events.size(), 1000u);
        for (LONG i = 0; i < 1000; ++i) {
            EXPECT_EQ(events[i].sender, &record);
            EXPECT_EQ(events[i].value, big + i);
            EXPECT_EQ(events[i].extra, -i);
        }
    }
}

TEST(CBaseControl, CommandsQueuedBehindTheEndCommandStillRunThenTheThreadEnds)
{
    std::vector<Executed> done;
    {
        Recorder control(sizeof(LONG), 50);
        control.SendCommand(50, nullptr, nullptr, CONTROL_ASYNC);
        ASSERT_TRUE(control.wait_in_gate());
        control.SendCommand(CMD_END_THREAD, nullptr, nullptr, CONTROL_ASYNC);
        control.SendCommand(51, nullptr, nullptr, CONTROL_ASYNC);
        control.open_gate();
        ASSERT_TRUE(control.wait_for_count(3));
        control.SendCommand(52, nullptr, nullptr, CONTROL_ASYNC);
        // Destruction joins the ended thread: 52 and the destructor's own 1 never run.
        done = control.done();
    }
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[0].code, 50);
    EXPECT_EQ(done[1].code, CMD_END_THREAD);
    EXPECT_EQ(done[2].code, 51);
}

TEST(CBaseControl, DestructionWhileACommandRunsWaitsAndRunsTheRest)
{
    std::atomic<int> ran{0};
    std::atomic<bool> release{false};
    class Slow : public CBaseControl {
    public:
        Slow(std::atomic<int>& n, std::atomic<bool>& go) : m_n(n), m_go(go) {}
        ~Slow() override { stop_command_thread(); }
        LONG Execute(LONG code, void*, LONG*, DWORD) override
        {
            if (code == 8)
                while (!m_go)
                    std::this_thread::sleep_for(1ms);
            if (code != CMD_END_THREAD)
                m_seen.push_back(code);   // a member of the derived part: must still be alive
            m_n = static_cast<int>(m_seen.size());
            return 1;
        }

    private:
        std::atomic<int>& m_n;
        std::atomic<bool>& m_go;
        std::vector<LONG> m_seen;   // command thread only
    };
    auto control = std::make_unique<Slow>(ran, release);
    for (LONG code = 8; code < 20; ++code)
        control->SendCommand(code, nullptr, nullptr, CONTROL_ASYNC);
    std::thread opener([&] {
        std::this_thread::sleep_for(20ms);
        release = true;
    });
    control.reset();   // while command 8 is still running
    opener.join();
    EXPECT_EQ(ran.load(), 12);
}

TEST(CBaseControl, DestructorDrainsQueueWithoutHanging)
{
    std::atomic<int> ran{0};
    class Counter : public CBaseControl {
    public:
        explicit Counter(std::atomic<int>& n) : m_n(n) {}
        ~Counter() override { stop_command_thread(); }
        LONG Execute(LONG code, void*, LONG*, DWORD) override
        {
            if (code != CMD_END_THREAD) {
                std::this_thread::sleep_for(1ms);
                ++m_n;
            }
            return 1;
        }

    private:
        std::atomic<int>& m_n;
    };
    {
        Counter control(ran);
        for (int i = 0; i < 20; ++i)
            control.SendCommand(100 + i, nullptr, nullptr, CONTROL_ASYNC);
    }
    EXPECT_EQ(ran.load(), 20);
}

TEST(CBaseControl, NoWakeUpIsLostUnderManySenders)
{
    Recorder control;
    constexpr int senders = 4;
    constexpr int each = 300;
    std::vector<std::thread> threads;
    std::atomic<bool> all_seen{true};
    for (int s = 0; s < senders; ++s) {
        threads.emplace_back([&, s] {
            for (int i = 0; i < each; ++i) {
                LONG code = 1000 + s * each + i;
                control.SendCommand(code, nullptr, nullptr, CONTROL_ASYNC);
                // Each command must run without a later one to push it along.
                if (s == 0 && !control.wait_for_count(static_cast<std::size_t>(i + 1)))
                    all_seen = false;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    ASSERT_TRUE(all_seen.load());
    ASSERT_TRUE(control.wait_for_count(senders * each));
    std::vector<LONG> last(senders, -1);
    for (const auto& e : control.done()) {
        int s = (e.code - 1000) / each;
        EXPECT_GT(e.code, last[s]) << "one sender's commands keep their order";
        last[s] = e.code;
    }
}

}

// Removing a listener while another thread delivers an event to it returns
// only after that call has ended, so the listener may be destroyed at once.
TEST(CBaseControl, RemovingAListenerWaitsForTheDeliveryUnderWay)
{
    struct Gate {
        std::mutex lock;
        std::condition_variable changed;
        bool entered = false;
        bool released = false;
        bool finished = false;   // the listener's call has returned
        bool removed = false;    // the removal has returned
        bool finished_when_removed = false;
    } gate;
    class SlowListener : public IBaseEventHandler {
    public:
        explicit SlowListener(Gate& gate) : m_gate(gate) {}
        LONG OnEvent(void*, LONG, INT_PTR, INT_PTR) override
        {
            std::unique_lock hold(m_gate.lock);
            m_gate.entered = true;
            m_gate.changed.notify_all();
            m_gate.changed.wait_for(hold, generous, [this] { return m_gate.released; });
            m_calls.push_back(1);   // touches the listener after the wait
            m_gate.finished = true;
            return 0;
        }

    private:
        Gate& m_gate;
        std::vector<int> m_calls;
    };

    CBaseControl control;
    std::optional<SlowListener> slow;
    SlowListener* listener = &slow.emplace(gate);
    control.SendCommand(CMD_ADD_LISTENER, listener, nullptr, 0);
    std::thread delivery([&] { control.Notify(nullptr, 7, 0, 0); });
    {
        std::unique_lock hold(gate.lock);
        ASSERT_TRUE(gate.changed.wait_for(hold, generous, [&] { return gate.entered; }));
    }
    std::thread removal([&] {
        control.SendCommand(CMD_REMOVE_LISTENER, listener, nullptr, 0);
        std::scoped_lock hold(gate.lock);
        gate.finished_when_removed = gate.finished;
        gate.removed = true;
        gate.changed.notify_all();
    });
    {
        // Time for a removal that does not wait to return; one that waits does not.
        std::unique_lock hold(gate.lock);
        gate.changed.wait_for(hold, 500ms, [&] { return gate.removed; });
        gate.released = true;
        gate.changed.notify_all();
    }
    removal.join();
    delivery.join();
    EXPECT_TRUE(gate.finished_when_removed);
    slow.reset();
    control.Notify(nullptr, 8, 0, 0);   // no longer called
}

// A listener may remove itself from inside its own call without waiting for it.
TEST(CBaseControl, AListenerRemovesItselfDuringItsOwnCall)
{
    class SelfRemover : public IBaseEventHandler {
    public:
        explicit SelfRemover(CBaseControl& control) : m_control(control) {}
        LONG OnEvent(void*, LONG, INT_PTR, INT_PTR) override
        {
            ++calls;
            m_control.SendCommand(CMD_REMOVE_LISTENER, this, nullptr, 0);
            return 0;
        }
        int calls = 0;

    private:
        CBaseControl& m_control;
    };
    CBaseControl control;
    SelfRemover listener(control);
    control.SendCommand(CMD_ADD_LISTENER, &listener, nullptr, 0);
    control.Notify(nullptr, 1, 0, 0);
    control.Notify(nullptr, 2, 0, 0);
    EXPECT_EQ(listener.calls, 1);
}

// A listener being removed on one thread while its call, on another, adds a
// listener: the removal waits for the call, and the call's command must not
// wait for the removal.
TEST(CBaseControl, ACallBeingWaitedForMaySendListenerCommands)
{
    struct Steps {
        std::mutex lock;
        std::condition_variable changed;
        bool entered = false;
        bool removing = false;
        bool removed = false;
        bool delivered = false;
    } steps;
    class Adder : public IBaseEventHandler {
    public:
        Adder(CBaseControl& control, Steps& steps, IBaseEventHandler& other)
            : m_control(control), m_steps(steps), m_other(other)
        {
        }
        LONG OnEvent(void*, LONG, INT_PTR, INT_PTR) override
        {
            {
                std::unique_lock hold(m_steps.lock);
                m_steps.entered = true;
                m_steps.changed.notify_all();
                m_steps.changed.wait_for(hold, generous, [this] { return m_steps.removing; });
                // Time for the removal to start waiting for this call (it cannot return first).
                m_steps.changed.wait_for(hold, 500ms, [this] { return m_steps.removed; });
            }
            m_control.SendCommand(CMD_ADD_LISTENER, &m_other, nullptr, 0);
            return 0;
        }

    private:
        CBaseControl& m_control;
        Steps& m_steps;
        IBaseEventHandler& m_other;
    };

    CBaseControl control;
    EventLog other;
    Adder adder(control, steps, other);
    control.SendCommand(CMD_ADD_LISTENER, &adder, nullptr, 0);
    std::thread delivery([&] {
        control.Notify(nullptr, 7, 0, 0);
        std::scoped_lock hold(steps.lock);
        steps.delivered = true;
        steps.changed.notify_all();
    });
    std::thread removal([&] {
        {
            std::unique_lock hold(steps.lock);
            steps.changed.wait(hold, [&] { return steps.entered; });
            steps.removing = true;
            steps.changed.notify_all();
        }
        control.SendCommand(CMD_REMOVE_LISTENER, &adder, nullptr, 0);
        std::scoped_lock hold(steps.lock);
        steps.removed = true;
        steps.changed.notify_all();
    });
    bool finished = false;
    {
        std::unique_lock hold(steps.lock);
        finished = steps.changed.wait_for(hold, generous, [&] { return steps.removed && steps.delivered; });
    }
    if (!finished) {
        // Both threads are stuck inside the control: nothing can end them.
        ADD_FAILURE() << "the removal and the delivery wait for each other";
        std::_Exit(1);
    }
    removal.join();
    delivery.join();
    control.Notify(nullptr, 8, 0, 0);
    EXPECT_EQ(other.events().size(), 1u) << "the listener the call added hears the next event";
}

// The concrete controllers' dispatch: a queued command whose data a private
// copy cannot stand for is refused (0) and never runs; the rest are queued (1).
TEST(CBaseControl, ControllersRefuseToQueueWhatACopyCannotCarry)
{
    class Controller : public Recorder {
    public:
        Controller() : Recorder(0) {}
        LONG SendCommand(LONG code, void* data, LONG* length, DWORD flags) override
        {
            return dispatch_command("test", code, data, length, flags);
        }
    };
    LONG word = 3;
    LONG bytes = sizeof word;
    const struct {
        LONG code;
        bool by_value;    // queued with a 32-bit copy
        bool by_length;   // queued with *length bytes copied
    } cases[] = {
        {CMD_GET_VERSION, false, false},    {CMD_GET_VOLUME, false, false},   {CMD_GET_PLAY_STATE, false, false},
        {CMD_GET_MEDIA_KIND, false, false}, {CMD_SAMPLE_READER, false, false}, {CMD_PLAY_NOW, false, false},
        {CMD_APPEND, false, false},         {CMD_SET_DOWNLOADER, false, false}, {CMD_SET_ITEM_STORE, false, false},
        {CMD_SOURCE, false, true},          {CMD_OUTPUT, false, true},        {CMD_OUTPUT_SETTINGS, false, true},
        {CMD_RUN, true, true},              {CMD_SET_VOLUME, true, true},     {CMD_SEEK, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        Controller control;
        EXPECT_EQ(control.SendCommand(c.code, &word, nullptr, CONTROL_ASYNC), c.by_value ? 1 : 0);
        EXPECT_EQ(control.SendCommand(c.code, &word, &bytes, CONTROL_ASYNC | CONTROL_COPY_LENGTH), c.by_length ? 1 : 0);
        const std::size_t queued = (c.by_value ? 1 : 0) + (c.by_length ? 1 : 0);
        EXPECT_EQ(control.SendCommand(c.code, &word, nullptr, 0), 1) << "run at once on the caller's thread";
        ASSERT_TRUE(control.wait_for_count(queued + 1));
        for (const Executed& e : control.done()) EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(control.SendCommand(CMD_ADD_LISTENER, nullptr, nullptr, 0), 1) << "the base's own code";
    }
}
