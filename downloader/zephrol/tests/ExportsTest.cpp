#include "downloader/zephrol/ZephrolExports.h"
#include "downloader/zephrol/tests/CacheFixture.h"
#include "downloader/zephrol/tests/EventLog.h"
#include "downloader/zephrol/tests/LoopbackServer.h"

#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

// The library as its users see it: the core from the exports, the null peer core behind it.
TEST(ZephrolExports, DownloadIntoACacheItemThroughTheExports)
{
    plat::TemporaryRegistry registry;
    const DWORD total = 1500000;
    const std::string content = make_content(total, 21);
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {}); });
    CacheFixture cache;
    IDownloadCore* core = CreateZephrol("user");
    ASSERT_NE(core, nullptr);
    IZephrolSet* settings = nullptr;
    ASSERT_EQ(core->QueryInterface(ID_IZephrolSet, reinterpret_cast<void**>(&settings), "user"), RESULT_OK);
    EXPECT_EQ(settings->EnableP2P(true), RESULT_OK);   // a peer core without peers
    ICorvaDownloadItem* item = nullptr;
    ASSERT_EQ(core->CreateDownloadItem(&item, "user"), RESULT_OK);
    IVessikDownload* vessik = nullptr;
    ASSERT_EQ(item->QueryInterface(ID_IVessikDownload, reinterpret_cast<void**>(&vessik), "user"), RESULT_OK);
    const std::string url = server.url("/v.flv");
    tDownloadParam param{};
    param.http_enabled = 1;
    param.p2p_enabled = 1;
    param.cache_item = cache.item();
    param.max_http = 3;
    param.url = url.c_str();
    param.content_key.words[0] = 5;
    ASSERT_EQ(vessik->Init(&param), RESULT_OK);
    EventLog events;
    item->SetEventHandler(&events, 0);
    ASSERT_EQ(item->Start(), RESULT_OK);
    ASSERT_TRUE(events.wait_for(EVENT_COMPLETE));
    ASSERT_TRUE(events.wait_for(EVENT_STOPPED));
    EXPECT_TRUE(cache.read(total) == content);
    EXPECT_EQ(core->DeleteDownloadItem(item), RESULT_OK);
    DeleteZephrol(core);
    DeleteZephrol(nullptr);
}
