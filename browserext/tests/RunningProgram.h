#pragma once
// The running main program as the extension sees it: a thread of the test
// process that serves the feed notifier, whose notices reach this process's
// feed database (CRSSDBMgr::Instance()); they are recorded here, each with
// the time it came.

#include "components/common/feeddb/CRSSDBMgr.h"
#include "core/notifier/CFeedNotifier.h"
#include "core/notifier/FeedNotifierMarshalling.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/com/LocalServer.h"
#include "platform/sync/Event.h"
#include "platform/sync/MessageQueue.h"
#include "platform/sync/Thread.h"

#include "FeedDbFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

class RunningProgram {
public:
    using Clock = std::chrono::steady_clock;

    // Returns once the class is served (or failed to be: see served()).
    RunningProgram()
    {
        m_listener.on_call = [this] {
            std::scoped_lock hold(m_times_lock);
            m_times.push_back(Clock::now());
        };
        CRSSDBMgr::Instance().AddListener(&m_listener);
        m_server.start([this] { return serve(); });
        m_ready.wait();
    }
    ~RunningProgram()
    {
        PostThreadMessageW(m_server.id(), WM_QUIT, 0, 0);
        m_server.join();
        CRSSDBMgr::Instance().RemoveListener(&m_listener);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    HRESULT served() const { return m_registered; }
    std::vector<feeddb_test::Notice> notices() const { return m_listener.notices(); }
    std::vector<Clock::time_point> times() const
    {
        std::scoped_lock hold(m_times_lock);
        return m_times;
    }

    // The program heard a subscription to channel and then its removal, with
    // the pause the extension leaves between "before" and "after" a delete.
    void expect_subscribed_then_removed(std::int64_t channel) const
    {
        using feeddb_test::Notice;
        const std::vector<Notice> expected = {
            {false, DataAction::Insert, DataKind::Channel, channel, 0},
            {true, DataAction::Delete, DataKind::Channel, channel, 0},
            {false, DataAction::Delete, DataKind::Channel, channel, 0},
        };
        EXPECT_EQ(notices(), expected);
        const auto heard = times();
        ASSERT_EQ(heard.size(), 3u);
        EXPECT_GE(heard[2] - heard[1], std::chrono::milliseconds(200));
    }

private:
    DWORD serve()
    {
        CoInitialize(nullptr);
        {
            plat::LocalServer server;
            auto factory = plat::ComPtr<IClassFactory>::adopt(new plat::ClassFactory<CFeedNotifier>());
            m_registered = server.register_class(CLSID_FeedNotifier, factory.get(), feed_notifier_marshalling());
            m_ready.set();
            if (SUCCEEDED(m_registered))
                server.run();
        }
        CoUninitialize();
        return 0;
    }

    feeddb_test::RecordingListener m_listener;
    mutable std::mutex m_times_lock;
    std::vector<Clock::time_point> m_times;   // guarded by m_times_lock
    plat::Event m_ready{plat::EventReset::Manual, plat::EventState::Clear};
    HRESULT m_registered{E_FAIL};   // written before m_ready is set, read after
    plat::Thread m_server;          // last: joined before the rest go
};

// The fixture Base with the running program serving for each test.
template <class Base>
class WithRunningProgramOf : public Base {
protected:
    void SetUp() override
    {
        Base::SetUp();
        program.emplace();
        ASSERT_EQ(program->served(), S_OK);
    }
    void TearDown() override
    {
        program.reset();
        Base::TearDown();
    }

    std::optional<RunningProgram> program;
};
