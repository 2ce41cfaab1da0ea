#include "downloader/zephrol/Zephrol.h"
#include "downloader/zephrol/tests/CacheFixture.h"
#include "downloader/zephrol/tests/EventLog.h"
#include "downloader/zephrol/tests/LoopbackServer.h"

#include "outside/nimbrel/FakeP2PCore.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How long the random phase runs; the whole test stays within a minute.
constexpr auto random_phase = 40s;

// One content: its bytes, the address that serves it and the cache item it goes to.
struct Slot {
    Slot(DWORD key, std::string path, std::size_t size) : content(make_content(size, key)), path(std::move(path)), cache(key) {}

    std::string content;
    std::string path;
    CacheFixture cache;
    ICorvaDownloadItem* item{nullptr};
    std::unique_ptr<EventLog> events;
};

void create_item(IDownloadCore& core, Slot& slot, const LoopbackServer& server, DWORD key)
{
    ASSERT_EQ(core.CreateDownloadItem(&slot.item, "soak"), RESULT_OK);
    IVessikDownload* vessik = nullptr;
    ASSERT_EQ(slot.item->QueryInterface(ID_IVessikDownload, reinterpret_cast<void**>(&vessik), "soak"), RESULT_OK);
    const std::string url = server.url(slot.path);
    tDownloadParam param{};
    param.http_enabled = 1;
    param.p2p_enabled = 1;
    param.cache_item = slot.cache.item();
    param.max_http = 3;
    param.url = url.c_str();
    // The peers have the first content only: the others get no content key.
    param.content_key.words[0] = key == 1 ? key : 0;
    ASSERT_EQ(vessik->Init(&param), RESULT_OK);
    slot.events = std::make_unique<EventLog>();
    slot.item->SetEventHandler(slot.events.get(), 0);
}

}

TEST(DownloaderSoak, RandomStartPauseSeekStopAndDeleteLeaveEveryContentWhole)
{
    plat::TemporaryRegistry registry;
    const unsigned seed = std::random_device{}();
    RecordProperty("seed", static_cast<int>(seed));
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);

    std::vector<std::unique_ptr<Slot>> slots;
    slots.push_back(std::make_unique<Slot>(1, "/ranged", 3 * 1024 * 1024 + 11));
    slots.push_back(std::make_unique<Slot>(2, "/whole", 2 * 1024 * 1024 + 7));
    slots.push_back(std::make_unique<Slot>(3, "/lower", 1024 * 1024));
    slots.push_back(std::make_unique<Slot>(4, "/stalls", 2 * 1024 * 1024 + 3));
    LoopbackServer server([&](const HttpRequest& r) {
        for (const auto& s : slots) {
            if (r.path != s->path) continue;
            ContentOptions options;
            options.honour_range = s->path != "/whole";
            options.lower_case = s->path == "/lower";
            if (s->path == "/stalls") {
                options.stall_after = 50000;
                options.stall_ms = 150;
            }
            return reply_with_content(s->content, r, options);
        }
        return reply_with_content("", r, {.error_status = 404});
    });
    FakeP2PCore peers({.content = slots[0]->content, .segment_delay_ms = 3});
    tZephrol core(tP2PCoreFactory{[&peers](const char* user) {
                                      void* out = nullptr;
                                      peers.QueryInterface(ID_IDownloadCore, &out, user);
                                      return static_cast<IDownloadCore*>(out);
                                  },
                                  [](IDownloadCore*) {}});
    ASSERT_EQ(core.EnableP2P(true), RESULT_OK);
    for (std::size_t i = 0; i < slots.size(); ++i) create_item(core, *slots[i], server, static_cast<DWORD>(i + 1));

    const auto end = Clock::now() + random_phase;
    while (Clock::now() < end) {
        Slot& s = *slots[random() % slots.size()];
        switch (random() % 8) {
        case 0:
        case 1: s.item->Start(); break;
        case 2: s.item->Pause(); break;
        case 3:
        case 4: s.item->Seek(static_cast<DWORD>(random() % s.content.size())); break;
        case 5: s.item->Stop(); break;
        case 6:
            ASSERT_EQ(core.DeleteDownloadItem(s.item), RESULT_OK);
            create_item(core, s, server, static_cast<DWORD>(&s - slots[0].get()) + 1);
            break;
        default: s.item->SetRate(static_cast<DWORD>(random() % 4) * 500000); break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 120));
    }

    // Every item, started afresh, completes its content without one wrong byte.
    for (std::size_t i = 0; i < slots.size(); ++i) {
        Slot& s = *slots[i];
        ASSERT_EQ(core.DeleteDownloadItem(s.item), RESULT_OK);
        create_item(core, s, server, static_cast<DWORD>(i + 1));
        ASSERT_EQ(s.item->Start(), RESULT_OK);
    }
    for (const auto& s : slots) {
        SCOPED_TRACE(s->path);
        ASSERT_TRUE(s->events->wait_for(EVENT_COMPLETE, 1, 15s));
        EXPECT_TRUE(s->cache.read(static_cast<DWORD>(s->content.size())) == s->content);
    }
}
