#include "downloader/zephrol/Zephrol.h"
#include "downloader/zephrol/tests/CacheFixture.h"
#include "downloader/zephrol/tests/EventLog.h"
#include "downloader/zephrol/tests/LoopbackServer.h"

#include "outside/nimbrel/FakeP2PCore.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

using namespace std::chrono_literals;

// A core whose peer-to-peer core is the test's fake.
struct CoreWithPeers {
    CoreWithPeers()
        : core(tP2PCoreFactory{[this](const char* user) {
                                   void* out = nullptr;
                                   peers.QueryInterface(ID_IDownloadCore, &out, user);
                                   return static_cast<IDownloadCore*>(out);
                               },
                               [](IDownloadCore*) {}})
    {
    }

    plat::TemporaryRegistry registry;
    FakeP2PCore peers{FakeP2PConfig{.content = make_content(4 * SEGMENT_BYTES), .segment_delay_ms = 1}};
    tZephrol core;
};

// Runs one item of `core` with content key 9 until it stopped.
void run_item(IDownloadCore& core, const LoopbackServer& server, CacheFixture& cache)
{
    ICorvaDownloadItem* item = nullptr;
    ASSERT_EQ(core.CreateDownloadItem(&item, "user"), RESULT_OK);
    IVessikDownload* vessik = nullptr;
    ASSERT_EQ(item->QueryInterface(ID_IVessikDownload, reinterpret_cast<void**>(&vessik), "user"), RESULT_OK);
    const std::string url = server.url("/v.flv");
    tDownloadParam param{};
    param.http_enabled = 1;
    param.cache_item = cache.item();
    param.max_http = 2;
    param.url = url.c_str();
    param.content_key.words[0] = 9;
    ASSERT_EQ(vessik->Init(&param), RESULT_OK);
    EventLog events;
    item->SetEventHandler(&events, 0);
    ASSERT_EQ(item->Start(), RESULT_OK);
    ASSERT_TRUE(events.wait_for(EVENT_STOPPED));
    EXPECT_EQ(core.DeleteDownloadItem(item), RESULT_OK);
    EXPECT_EQ(core.DeleteDownloadItem(item), RESULT_UNKNOWN_ITEM);
}

}

TEST(Zephrol, PeerSettingsReachThePeerCoreAsItsRecord)
{
    CoreWithPeers c;
    EXPECT_EQ(c.core.SetParam(nullptr), RESULT_FAIL);
    const tZephrolSettings settings{7, "tracker", 8, 9, 10};
    ASSERT_EQ(c.core.SetParam(&settings), RESULT_OK);
    const tP2PSettings record = c.peers.last_settings();
    EXPECT_EQ(record.version, 1u);
    EXPECT_EQ(record.value1, 7);
    EXPECT_EQ(record.text, "tracker");
    EXPECT_EQ(record.value2, 8u);
    EXPECT_EQ(record.mode, 2u);
    EXPECT_EQ(record.value3, 9u);
    EXPECT_EQ(record.value4, 10u);
    EXPECT_EQ(record.logging, 1);
    EXPECT_NE(std::u16string(record.log_folder).find(u"p2plog"), std::u16string::npos);
}

TEST(Zephrol, EnablingPeersAffectsOnlyItemsMadeAfterwards)
{
    CoreWithPeers c;
    const std::string content = make_content(4 * SEGMENT_BYTES);
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {}); });
    {
        CacheFixture cache(1);
        run_item(c.core, server, cache);
        EXPECT_FALSE(c.peers.called("CreateDownloadItem"));
    }
    ASSERT_EQ(c.core.EnableP2P(true), RESULT_OK);
    EXPECT_TRUE(c.peers.called("EnableSharing 1"));
    {
        CacheFixture cache(2);
        run_item(c.core, server, cache);
        EXPECT_TRUE(c.peers.called("CreateDownloadItem"));
        EXPECT_TRUE(cache.read(4 * SEGMENT_BYTES) == content);
    }
    ASSERT_EQ(c.core.EnableP2P(false), RESULT_OK);
    EXPECT_TRUE(c.peers.called("EnableSharing 0"));
    EXPECT_TRUE(c.peers.called("SetSharedContent 0 1"));
}

TEST(Zephrol, WithoutAPeerCoreSettingsAndPeersAreRefused)
{
    plat::TemporaryRegistry registry;
    tZephrol core(tP2PCoreFactory{});
    const tZephrolSettings settings{1, "x", 2, 3, 4};
    EXPECT_EQ(core.SetParam(&settings), RESULT_FAIL);
    EXPECT_EQ(core.EnableP2P(true), RESULT_FAIL);
    EXPECT_EQ(core.EnableP2P(false), RESULT_OK);
    ICorvaDownloadItem* item = nullptr;
    EXPECT_EQ(core.CreateDownloadItem(nullptr, "x"), RESULT_FAIL);
    ASSERT_EQ(core.CreateDownloadItem(&item, "x"), RESULT_OK);
    // The core frees what its user did not delete.
}
