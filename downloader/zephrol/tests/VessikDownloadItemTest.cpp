#include "downloader/zephrol/HTTPDownloader.h"
#include "downloader/zephrol/VessikDownloadItem.h"
#include "downloader/zephrol/tests/CacheFixture.h"
#include "downloader/zephrol/tests/EventLog.h"
#include "downloader/zephrol/tests/LoopbackServer.h"

#include "outside/nimbrel/FakeP2PCore.h"
#include "platform/base/DebugLog.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

namespace {

using namespace std::chrono_literals;

// Checks, on every data event, that the segment is in the cache already.
class DataChecker : public tBaseObject<ICorvaEventHandler> {
public:
    explicit DataChecker(IDataCacheItem* cache) : tBaseObject("DataChecker"), m_cache(cache) {}
    BaseResult OnEvent(const tCorvaEvent& event, std::intptr_t context) noexcept override
    {
        if (event.code == EVENT_DATA) {
            const auto& data = static_cast<const tDownloadDataNotify&>(event);
            if (m_cache->HasSegment(data.offset / SEGMENT_BYTES) != RESULT_OK) ++missing;
        }
        return log.OnEvent(event, context);
    }

    EventLog log;
    std::atomic<int> missing{0};

private:
    IDataCacheItem* m_cache;
};

// A master item with its HTTP core, an optional fake peer core, a cache item and a handler.
struct Download {
    explicit Download(FakeP2PCore* p2p = nullptr, tSegmentAllocator::Clock clock = {})
        : p2p(p2p), item(http, p2p, std::move(clock))
    {
    }
    ~Download()
    {
        item.Uninit();
        DeleteHTTPDownloader(http);
    }

    void init(const std::string& url, DWORD max_http, DWORD rate_kbps, DWORD key_word = 0)
    {
        tDownloadParam param{};
        param.http_enabled = 1;
        param.p2p_enabled = p2p != nullptr;
        param.cache_item = cache.item();
        param.max_http = max_http;
        param.url = url.c_str();
        param.content_key.words[0] = key_word;
        param.rate_kbps = rate_kbps;
        ASSERT_EQ(item.Init(&param), RESULT_OK);
        item.SetEventHandler(&events, 0);
    }
    // Runs until the whole content is in the cache and the item has stopped.
    void complete()
    {
        ASSERT_EQ(item.Start(), RESULT_OK);
        ASSERT_TRUE(events.wait_for(EVENT_COMPLETE));
        ASSERT_TRUE(events.wait_for(EVENT_STOPPED));
    }

    plat::TemporaryRegistry registry;
    IDownloadCore* http{CreateHTTPDownloader()};
    FakeP2PCore* p2p;
    CacheFixture cache;
    EventLog events;
    tVessikDownloadItem item;
};

constexpr DWORD unpaced = 0;

// Every ranged request asks for whole segments, at most one batch of them.
void expect_ranges_are_runs(const LoopbackServer& server)
{
    for (const HttpRequest& r : server.requests()) {
        const std::string range = r.header("range");
        if (range.empty()) continue;
        unsigned long first = 0;
        unsigned long last = 0;
        ASSERT_EQ(std::sscanf(range.c_str(), "bytes=%lu-%lu", &first, &last), 2) << range;
        if (first == 1000 && last == 2000) continue;   // the probe
        EXPECT_EQ(first % SEGMENT_BYTES, 0u) << range;
        EXPECT_LE(last - first + 1, 20 * SEGMENT_BYTES) << range;
    }
}

}

TEST(VessikDownloadItem, DownloadsAWholeContentFromARangedServer)
{
    const DWORD total = 3 * 1024 * 1024 + 777;
    const std::string content = make_content(total);
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {}); });
    Download d;
    d.init(server.url("/v.flv"), 4, unpaced);
    DataChecker checker(d.cache.item());
    d.item.SetEventHandler(&checker, 0);
    ASSERT_EQ(d.item.Start(), RESULT_OK);
    ASSERT_TRUE(checker.log.wait_for(EVENT_COMPLETE));
    ASSERT_TRUE(checker.log.wait_for(EVENT_STOPPED));
    EXPECT_EQ(checker.missing, 0);   // announced only once written
    EXPECT_TRUE(d.cache.read(total) == content);
    DWORD downloaded = 0;
    DWORD percent = 0;
    d.item.GetProgress(&downloaded, &percent);
    EXPECT_EQ(downloaded, total);
    EXPECT_EQ(percent, 100u);
    EXPECT_GT(checker.log.count(EVENT_DATA), 0);
    EXPECT_EQ(checker.log.count(EVENT_FAILED), 0);
    expect_ranges_are_runs(server);
}

// The first source fetches the whole file while a probe asks whether ranges work.
TEST(VessikDownloadItem, ProbeDecidesBetweenRangedAndWholeFileSources)
{
    const DWORD total = 2 * 1024 * 1024;
    const std::string content = make_content(total, 3);
    for (const bool ranges : {true, false}) {
        SCOPED_TRACE(ranges);
        LoopbackServer server([&](const HttpRequest& r) {
            // Slow enough that the probe answers while the whole-file source is still busy.
            return reply_with_content(content, r, {.honour_range = ranges, .stall_after = 65536, .stall_ms = 300});
        });
        plat::DebugCapture capture;
        Download d;
        d.init(server.url("/v.flv"), 3, unpaced);
        d.complete();
        EXPECT_TRUE(d.cache.read(total) == content);
        bool probed = false;
        for (const HttpRequest& r : server.requests()) probed |= r.header("range") == "bytes=1000-2000";
        EXPECT_TRUE(probed);
        EXPECT_EQ(capture.contains("VessikDownloadItem:: The site support partial download\n"), ranges);
        EXPECT_EQ(capture.contains("VessikDownlodItem:: The site don't support partial download\n"), !ranges);
        expect_ranges_are_runs(server);
    }
}

// Segment 0 is cached already, so the download starts ranged with the progressive fallback.
TEST(VessikDownloadItem, FallsBackToAWholeFileWhenTheServerIgnoresRanges)
{
    const DWORD total = 1024 * 1024 + 5;
    const std::string content = make_content(total, 5);
    const struct {
        const char* name;
        ContentOptions options;
    } cases[] = {
        {"ranges ignored", {.honour_range = false}},
        {"wrong offsets", {.offset_shift = 512}},
        {"lower-case headers", {.lower_case = true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, c.options); });
        Download d;
        d.cache.store(0, content.substr(0, SEGMENT_BYTES));
        d.init(server.url("/v.flv"), 2, unpaced);
        d.complete();
        EXPECT_TRUE(d.cache.read(total) == content);
    }
}

TEST(VessikDownloadItem, PacedDownloadStillEndsWithTheWholeContent)
{
    const DWORD total = 600000;
    const std::string content = make_content(total, 9);
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {}); });
    Download d;
    d.cache.store(0, content.substr(0, SEGMENT_BYTES));
    d.init(server.url("/v.flv"), 1, 8000);   // 1,000,000 bytes a second
    d.complete();
    EXPECT_TRUE(d.cache.read(total) == content);
    expect_ranges_are_runs(server);
}

TEST(VessikDownloadItem, PeerCoreTakesPartOfTheWork)
{
    const DWORD total = 2 * 1024 * 1024;
    const std::string content = make_content(total, 11);
    LoopbackServer server([&](const HttpRequest& r) {
        return reply_with_content(content, r, {.stall_after = 32768, .stall_ms = 200});
    });
    FakeP2PCore peers({.content = content, .segment_delay_ms = 5});
    Download d(&peers);
    d.cache.store(0, content.substr(0, SEGMENT_BYTES));
    d.init(server.url("/v.flv"), 1, unpaced, 42);
    d.complete();
    EXPECT_TRUE(d.cache.read(total) == content);
    EXPECT_GT(peers.delivered(), 0u);
    EXPECT_TRUE(peers.called("SetParam 0 42"));
    EXPECT_TRUE(peers.called("SetRate 2000"));
    EXPECT_TRUE(peers.called("Switch 1"));
    EXPECT_TRUE(peers.called("AnnounceContent 42"));
}

// Whatever the peer core does wrong, the HTTP source finishes the content.
TEST(VessikDownloadItem, FailingPeerSourceIsRetired)
{
    const DWORD total = 1024 * 1024;
    const std::string content = make_content(total, 13);
    const struct {
        const char* name;
        FakeP2PConfig config;
    } cases[] = {
        {"fails after 3 segments", {.content = content, .segment_delay_ms = 20, .fail_after = 3}},
        {"refuses to start", {.content = content, .refuse_start = true}},
        {"refuses every assignment", {.content = content, .refuse_assignments = true}},
        {"has nothing", {.content = "", .segment_delay_ms = 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {}); });
        FakeP2PCore peers(c.config);
        Download d(&peers);
        d.cache.store(0, content.substr(0, SEGMENT_BYTES));
        d.init(server.url("/v.flv"), 2, unpaced, 7);
        d.complete();
        EXPECT_TRUE(d.cache.read(total) == content);
    }
}

TEST(VessikDownloadItem, ErrorPagesRetireTheSourceAndReportTheFailure)
{
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content("", r, {.error_status = 503}); });
    Download d;
    d.cache.store(0, make_content(SEGMENT_BYTES));
    d.init(server.url("/v.flv"), 2, unpaced);
    ASSERT_EQ(d.item.Start(), RESULT_OK);
    ASSERT_TRUE(d.events.wait_for(EVENT_FAILED));
    ASSERT_TRUE(d.events.wait_for(EVENT_STOPPED));
    EXPECT_EQ(d.cache.read(SEGMENT_BYTES + 1).size(), SEGMENT_BYTES);   // nothing of the error pages was stored
    EXPECT_GE(server.requests().size(), 6u);
}

TEST(VessikDownloadItem, StateRulesOfPauseAndProgress)
{
    Download d;
    d.init("", 1, unpaced);
    EXPECT_EQ(d.item.Pause(), RESULT_FAIL);   // not started
    DWORD downloaded = 5;
    DWORD percent = 5;
    EXPECT_EQ(d.item.GetProgress(&downloaded, &percent), RESULT_OK);
    EXPECT_EQ(percent, 0u);
    EXPECT_EQ(d.item.GetProgress(nullptr, nullptr), RESULT_OK);
    // Without any source the item runs until Stop, which then ends it at once.
    ASSERT_EQ(d.item.Start(), RESULT_OK);
    DWORD state = 0;
    d.item.GetState(&state);
    EXPECT_EQ(state, ITEM_RUNNING);
    EXPECT_EQ(d.item.Stop(), RESULT_OK);
    ASSERT_TRUE(d.events.wait_for(EVENT_STOPPED));
}

// A stop that was queued twice must not stop the next run, and a run ends
// with one EVENT_STOPPED however often it was asked to.
TEST(VessikDownloadItem, StopsBelongToTheRunTheyWereMeantFor)
{
    Download d;
    d.init("", 1, unpaced);
    ASSERT_EQ(d.item.Start(), RESULT_OK);
    d.item.Stop();
    d.item.Stop();
    ASSERT_TRUE(d.events.wait_for(EVENT_STOPPED));
    const int stopped = d.events.count(EVENT_STOPPED);
    ASSERT_EQ(d.item.Start(), RESULT_OK);
    // A Start right after a Pause resumes, whenever the worker gets to the pause.
    ASSERT_EQ(d.item.Pause(), RESULT_OK);
    ASSERT_EQ(d.item.Start(), RESULT_OK);
    // Time for a stale stop to arrive, were one left.
    std::this_thread::sleep_for(1500ms);
    DWORD state = 0;
    d.item.GetState(&state);
    EXPECT_EQ(state, ITEM_RUNNING);
    EXPECT_EQ(d.events.count(EVENT_STOPPED), 1);
    d.item.Stop();
    ASSERT_TRUE(d.events.wait_for(EVENT_STOPPED, stopped + 1));
}

TEST(VessikDownloadItem, QuickSeeksAndPausesLeaveTheContentWhole)
{
    const DWORD total = 3 * 1024 * 1024;
    const std::string content = make_content(total, 17);
    LoopbackServer server([&](const HttpRequest& r) {
        return reply_with_content(content, r, {.stall_after = 100000, .stall_ms = 30});
    });
    FakeP2PCore peers({.content = content, .segment_delay_ms = 2});
    Download d(&peers);
    d.cache.store(0, content.substr(0, SEGMENT_BYTES));
    d.init(server.url("/v.flv"), 3, unpaced, 1);
    ASSERT_EQ(d.item.Start(), RESULT_OK);
    for (DWORD i = 0; i < 40; ++i) {
        d.item.Seek((i * 7919 * 97) % total);
        if (i % 10 == 9) {
            d.item.Pause();
            d.item.Start();
        }
        if (i % 4 == 0) std::this_thread::sleep_for(20ms);
    }
    d.item.Seek(0);
    ASSERT_TRUE(d.events.wait_for(EVENT_COMPLETE));
    ASSERT_TRUE(d.events.wait_for(EVENT_STOPPED));
    EXPECT_TRUE(d.cache.read(total) == content);
}

TEST(VessikDownloadItem, UpdateParamAddsTheHTTPSourceLater)
{
    const DWORD total = 700000;
    const std::string content = make_content(total, 23);
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {}); });
    Download d;
    d.init("", 2, unpaced);
    ASSERT_EQ(d.item.Start(), RESULT_OK);
    const std::string url = server.url("/later.flv");
    tDownloadParam param{};
    param.http_enabled = 1;
    param.cache_item = d.cache.item();
    param.url = url.c_str();
    EXPECT_EQ(d.item.UpdateParam(nullptr), RESULT_FAIL);
    ASSERT_EQ(d.item.UpdateParam(&param), RESULT_OK);
    ASSERT_TRUE(d.events.wait_for(EVENT_COMPLETE));
    ASSERT_TRUE(d.events.wait_for(EVENT_STOPPED));
    EXPECT_TRUE(d.cache.read(total) == content);
}

// On a clock that moves only when the test says, the requests show the pace.
TEST(VessikDownloadItem, RequestsFollowThePaceOfTheRate)
{
    const DWORD total = 40 * SEGMENT_BYTES;
    const std::string content = make_content(total, 29);
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {}); });
    std::atomic<DWORD> now{1000000};
    Download d(nullptr, [&now] { return now.load(); });
    d.cache.store(0, content.substr(0, SEGMENT_BYTES));
    d.init(server.url("/v.flv"), 1, 800);   // 100,000 bytes a second
    const auto ranges = [&] {
        std::vector<std::string> seen;
        for (const HttpRequest& r : server.requests()) seen.push_back(r.header("range"));
        return seen;
    };
    const auto ticks = [&](int more) { ASSERT_TRUE(d.events.wait_for(EVENT_PROGRESS, d.events.count(EVENT_PROGRESS) + more)); };
    ASSERT_EQ(d.item.Start(), RESULT_OK);
    ticks(3);
    // The start credit of 5 s is worth (500,000 + 1024) / 32,768 = 15 segments: 1 to 15, segment 0 being cached.
    EXPECT_EQ(ranges(), (std::vector<std::string>{"bytes=32768-524287"}));
    now += 3000;   // 24 segments in all: nine wait, fewer than the ten an assignment needs
    ticks(3);
    EXPECT_EQ(ranges().size(), 1u);
    now += 1000;   // 27: twelve wait, and go out as one run
    ticks(3);
    EXPECT_EQ(ranges(), (std::vector<std::string>{"bytes=32768-524287", "bytes=524288-917503"}));
    d.item.Stop();
    ASSERT_TRUE(d.events.wait_for(EVENT_STOPPED));
}

namespace {

// Marks every progress tick in the debug log, where the master's own lines are:
// both are written on the master's worker, so the log shows their order.
class TickMarker : public tBaseObject<ICorvaEventHandler> {
public:
    TickMarker() : tBaseObject("TickMarker") {}
    BaseResult OnEvent(const tCorvaEvent& event, std::intptr_t context) noexcept override
    {
        if (event.code == EVENT_PROGRESS) plat::debug_log("test: tick\n");
        return log.OnEvent(event, context);
    }

    EventLog log;
};

std::set<int> ranged_connections(const LoopbackServer& server)
{
    std::set<int> connections;
    for (const HttpRequest& r : server.requests())
        if (!r.header("range").empty()) connections.insert(r.connection);
    return connections;
}

}

// Unpaced, a source that finished its run is given the next one at once: once
// the 101 segments of the start are out, the next run does not wait for a tick.
TEST(VessikDownloadItem, UnpacedSourcesAreGivenWorkWhenTheyAsk)
{
    const DWORD total = 200 * SEGMENT_BYTES;
    const std::string content = make_content(total, 31);
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {}); });
    plat::DebugCapture capture;
    Download d;
    d.cache.store(0, content.substr(0, SEGMENT_BYTES));
    d.init(server.url("/v.flv"), 1, unpaced);
    TickMarker ticks;
    d.item.SetEventHandler(&ticks, 0);
    ASSERT_EQ(d.item.Start(), RESULT_OK);
    ASSERT_TRUE(ticks.log.wait_for(EVENT_COMPLETE));
    ASSERT_TRUE(ticks.log.wait_for(EVENT_STOPPED));
    EXPECT_TRUE(d.cache.read(total) == content);
    // Segments 1 to 101 are generated at the start; the run after 1-100 is 101-120.
    const std::vector<std::string> lines = capture.lines();
    const auto first = [&](auto matches) {
        return std::find_if(lines.begin(), lines.end(), matches) - lines.begin();
    };
    const auto done_100 = first([](const std::string& l) {
        return l.rfind("VessikDownload Item: Segment Downloaded from http: 100,", 0) == 0;
    });
    const auto next_run = first([](const std::string& l) { return l == "Assign 20(101-120) segment to http\n"; });
    ASSERT_LT(done_100, next_run);
    ASSERT_LT(next_run + 1, static_cast<std::ptrdiff_t>(lines.size()));
    // A tick assigns and then reports progress: its run is followed by its mark.
    EXPECT_EQ(std::count(lines.begin() + done_100, lines.begin() + next_run + 2, std::string("test: tick\n")), 0)
        << "the source waited for a tick";
}

// A resumed item (segment 0 cached, no probe) learns from its first 206 that
// the site answers ranges and opens the rest of its connections.
TEST(VessikDownloadItem, AResumedItemUsesAllItsConnections)
{
    const DWORD total = 3 * 1024 * 1024;
    const std::string content = make_content(total, 37);
    LoopbackServer server([&](const HttpRequest& r) {
        return reply_with_content(content, r, {.stall_after = 65536, .stall_ms = 100});
    });
    Download d;
    d.cache.store(0, content.substr(0, SEGMENT_BYTES));
    d.init(server.url("/v.flv"), 4, unpaced);
    d.complete();
    EXPECT_TRUE(d.cache.read(total) == content);
    EXPECT_EQ(ranged_connections(server).size(), 4u);
    expect_ranges_are_runs(server);
}

// A seek forward: what lies before the seek point comes after the end, and the
// download ends with every byte.
TEST(VessikDownloadItem, AForwardSeekStillCompletesTheContent)
{
    const DWORD total = 64 * SEGMENT_BYTES + 123;
    const std::string content = make_content(total, 41);
    LoopbackServer server([&](const HttpRequest& r) {
        return reply_with_content(content, r, {.stall_after = 65536, .stall_ms = 50});
    });
    Download d;
    d.cache.store(0, content.substr(0, SEGMENT_BYTES));
    d.init(server.url("/v.flv"), 2, unpaced);
    ASSERT_EQ(d.item.Start(), RESULT_OK);
    d.item.Seek(48 * SEGMENT_BYTES);
    ASSERT_TRUE(d.events.wait_for(EVENT_COMPLETE, 1, std::chrono::seconds(60)));
    ASSERT_TRUE(d.events.wait_for(EVENT_STOPPED));
    EXPECT_TRUE(d.cache.read(total) == content);
}

// A cache on a full disk: the download stops with a failure and never calls
// itself complete.
TEST(VessikDownloadItem, ACacheThatCannotStoreStopsTheDownloadWithAFailure)
{
    const DWORD total = 1024 * 1024;
    const std::string content = make_content(total, 43);
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {}); });
    plat::TemporaryRegistry registry;
    IDownloadCore* http = CreateHTTPDownloader();
    CacheFixture cache(1, CacheFixture::Disk::Full);
    EventLog events;
    {
        tVessikDownloadItem item(http, nullptr);
        const std::string url = server.url("/v.flv");
        tDownloadParam param{};
        param.http_enabled = 1;
        param.cache_item = cache.item();
        param.max_http = 2;
        param.url = url.c_str();
        ASSERT_EQ(item.Init(&param), RESULT_OK);
        item.SetEventHandler(&events, 0);
        ASSERT_EQ(item.Start(), RESULT_OK);
        ASSERT_TRUE(events.wait_for(EVENT_FAILED));
        ASSERT_TRUE(events.wait_for(EVENT_STOPPED));
        DWORD downloaded = 0;
        item.GetProgress(&downloaded, nullptr);
        EXPECT_EQ(downloaded, 0u);
        EXPECT_EQ(events.count(EVENT_COMPLETE), 0);
        EXPECT_EQ(cache.item()->GetMemoryInUse(), 0u);
    }
    DeleteHTTPDownloader(http);
}
