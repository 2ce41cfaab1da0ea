#include "core/notifier/CFeedNotifier.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "components/common/feeddb/tests/FeedDbFixture.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/com/tests/RunLocalClient.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "platform/sync/MessageQueue.h"
#include "platform/sync/Thread.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

using feeddb_test::Notice;
using feeddb_test::RecordingListener;

class CFeedNotifierTest : public testing::Test {
protected:
    void SetUp() override
    {
        CRSSDBMgr::Instance().AddListener(&listener);
    }
    void TearDown() override
    {
        CRSSDBMgr::Instance().RemoveListener(&listener);
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder runtime;
    plat::ScopedEnvironment runtime_variable{"STRIMO_RUNTIME_DIR", runtime.path().c_str()};
    RecordingListener listener;
};

}

TEST_F(CFeedNotifierTest, CallsOfAnotherProcessBecomeNoticesOfThisDatabase)
{
    plat::Thread server;
    server.start([] { return static_cast<DWORD>(ServeFeedNotifier()); });
    // The server publishes its socket on its own thread; wait until it is there.
    const auto socket = runtime / (plat::format_guid(CLSID_FeedNotifier) + ".sock");
    for (int i = 0; i < 3000 && !std::filesystem::exists(socket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    const auto run = com_testing::run_local_client(
        FEED_NOTIFIER_CLIENT, plat::format_guid(CLSID_FeedNotifier) +
                          " subscribe -1 subscribe 42 unsubscribe -2147483648 -1 unsubscribe -2147483648 0");
    PostThreadMessageW(server.id(), WM_QUIT, 0, 0);
    EXPECT_EQ(server.join(), 0u);
    EXPECT_EQ(run.status, 0) << run.output;

    const std::vector<Notice> expected = {
        {false, DataAction::Insert, DataKind::Channel, -1, 0},
        {false, DataAction::Insert, DataKind::Channel, 42, 0},
        {true, DataAction::Delete, DataKind::Channel, -2147483648LL, 0},
        {false, DataAction::Delete, DataKind::Channel, -2147483648LL, 0},
    };
    EXPECT_EQ(listener.notices(), expected);
}

TEST_F(CFeedNotifierTest, ClientWithoutARunningProgramFailsCleanly)
{
    const auto run = com_testing::run_local_client(FEED_NOTIFIER_CLIENT, plat::format_guid(CLSID_FeedNotifier) + " subscribe 1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "create 80040154\n");
    EXPECT_TRUE(listener.notices().empty());
}

TEST_F(CFeedNotifierTest, VetoOfTheBeforeNoticeStillGivesSuccess)
{
    RecordingListener vetoing;
    vetoing.veto = 1;
    CRSSDBMgr::Instance().AddListener(&vetoing);
    auto notifier = plat::ComPtr<IFeedNotifier>::adopt(new CFeedNotifier());
    EXPECT_EQ(notifier->NotifyUnsubscribe(5, -1), S_OK);
    CRSSDBMgr::Instance().RemoveListener(&vetoing);
    EXPECT_EQ(vetoing.notices(), (std::vector<Notice>{{true, DataAction::Delete, DataKind::Channel, 5, 0}}));
}
