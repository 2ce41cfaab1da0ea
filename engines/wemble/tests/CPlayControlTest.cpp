#include "engines/wemble/CPlayControl.h"
#include "engines/wemble/PlayProgress.h"
#include "engines/wemble/tests/PlayTestSupport.h"
#include "outside/ostrel/tests/TestSupport.h"
#include "outside/quelm/script/QuelmEngine.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <thread>

namespace {

using namespace play_test;
using namespace std::chrono_literals;
using Id = FakeOstrel::Id;

// Releases the way the play logic does: stop, close, drop the listener, destroy.
struct ControlRelease {
    IBaseEventHandler* listener = nullptr;
    void operator()(CPlayControl* c) const
    {
        c->SendCommand(CMD_STOP, nullptr, nullptr, 0);
        c->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
        c->SendCommand(CMD_REMOVE_LISTENER, listener, nullptr, 0);
        delete c;
    }
};
using ControlPtr = std::unique_ptr<CPlayControl, ControlRelease>;

// The controller over the scripted engine.
CPlayControl* scripted_control(CPlayControl::Options options = {})
{
    options.create_engine = quelm::create_scripted_engine;
    options.release_engine = quelm::release_scripted_engine;
    return new CPlayControl(options);
}

ControlPtr make_control(IOstrel* downloader, Listener& listener, CPlayControl::Options options = {})
{
    ControlPtr control(scripted_control(options), ControlRelease{&listener});
    if (downloader)
        control->SendCommand(CMD_SET_DOWNLOADER, downloader, nullptr, 0);
    control->SendCommand(CMD_INIT, nullptr, nullptr, 0);
    control->SendCommand(CMD_ADD_LISTENER, &listener, nullptr, 0);
    return control;
}

TEST(PlayProgress, EstimateFollowsThePositionAndAsksForDataWhenBehind)
{
    const struct {
        const char* name;
        LONG position;
        LONGLONG total;
        LONG duration;
        LONGLONG available;
        std::optional<PlayProgressEstimate> result;
    } cases[] = {
        {"size unknown", 10, 0, 100, 0, std::nullopt},
        {"duration unknown", 10, 1000000, 0, 0, std::nullopt},
        {"behind: wait", 10, 1000000, 100, 0, PlayProgressEstimate{100000, 15000, true}},
        {"within 64 KB: play on", 10, 1000000, 100, 100000 - 65536, PlayProgressEstimate{100000, 15000, false}},
        {"one byte short of 64 KB", 10, 1000000, 100, 100000 - 65537, PlayProgressEstimate{100000, 15000, true}},
        {"near the end: length stops at the end", 99, 1000000, 100, 1000000,
         PlayProgressEstimate{990000, 10000, false}},
        {"at the end", 100, 1000000, 100, 0, std::nullopt},
        {"bytes per second are whole", 3, 10, 4, 10, PlayProgressEstimate{6, 3, false}},
        {"larger than 32 bits", 500, 5000000000, 1000, 0, PlayProgressEstimate{2500000000, 7500000, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto got = estimate_play_progress(c.position, c.total, c.duration, c.available);
        ASSERT_EQ(got.has_value(), c.result.has_value());
        if (got) {
            EXPECT_EQ(got->expected, c.result->expected);
            EXPECT_EQ(got->length, c.result->length);
            EXPECT_EQ(got->wait_for_data, c.result->wait_for_data);
        }
    }
}

TEST(CPlayControl, AnswersItsIdentityAndOneForEveryCommand)
{
    Listener listener;
    auto control = make_control(nullptr, listener);
    EXPECT_EQ(control->GetType(), 6);
    EXPECT_EQ(control->GetVersion(), (std::pair<LONG, LONG>{17, 0}));
    LONG version[2] = {};
    EXPECT_EQ(control->SendCommand(CMD_GET_VERSION, version, nullptr, 0), 1);
    EXPECT_EQ(version[0], 17);
    for (LONG code : {4101, 4102, 5000, 12292, 4111, CMD_PLAY_LIST})
        EXPECT_EQ(control->SendCommand(code, nullptr, nullptr, 0), 1) << code;
    LONG volume = 40;
    EXPECT_EQ(control->SendCommand(CMD_SET_VOLUME, &volume, nullptr, 0), 1);
    volume = 0;
    EXPECT_EQ(control->SendCommand(CMD_GET_VOLUME, &volume, nullptr, 0), 1);
    EXPECT_EQ(volume, 40) << "forwarded to the engines";
}

TEST(CPlayControl, RefusesARecordWithoutAddressOrPath)
{
    Listener listener;
    FakeOstrel ostrel;
    auto control = make_control(&ostrel, listener);
    plat::DebugCapture capture;
    PlayTaskInfo empty;
    EXPECT_EQ(control->SendCommand(CMD_PLAY_NOW, &empty, nullptr, 0), -1);
    EXPECT_TRUE(capture.contains("PlayControl: URL is invalid!"));
    // The list is unchanged: the next item is the first to be downloaded.
    auto task = url_task("http://v/only.flv", 3);
    control->SendCommand(CMD_APPEND, &task, nullptr, 0);
    ASSERT_TRUE(ostrel.wait_added(1));
    EXPECT_EQ(ostrel.added()[0].first, "http://v/only.flv");
}

TEST(CPlayControl, BindingIdsComeFromTheAddressQualityAndKeys)
{
    // Ids worked out apart from the code: MD5 of "Corvalen", "Strimo", key and
    // sub-key, each zero-terminated; the record holds the second half first.
    const struct {
        const char* name;
        LONG quality;
        LONG numeric_key;
        LONG second_key;
        Id id;
    } cases[] = {
        {"numeric key as lower-case hex", 1, 0x1F, 7, {0xf3242274, 0xb599f7e0, 0xa3d398c2, 0x8a00bb70}},
        {"high definition, second key", 2, 0, 5, {0xbc37039b, 0x52739da6, 0x492878de, 0xe371324e}},
        {"high definition 3, the title", 3, 0, 0, {0x2568be76, 0x1e4b05a5, 0x6d3bc150, 0x99a738e7}},
        {"standard, the title", 1, 0, 0, {0x46f648de, 0xf2ec1e0a, 0x8f60f3dd, 0x9bb014b0}},
        {"negative numeric key", 1, -1, 0, {0x17e038a5, 0xb1035e26, 0x75f9127e, 0xfd1a2976}},
    };
    FakeOstrel ostrel;
    Listener listener;
    auto control = make_control(&ostrel, listener);
    std::size_t count = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlayTaskInfo task = url_task("http://v/a.flv");
        task.title = "T";
        task.quality = c.quality;
        task.numeric_key = c.numeric_key;
        task.second_key = c.second_key;
        control->SendCommand(CMD_APPEND, &task, nullptr, 0);
        ASSERT_TRUE(ostrel.wait_added(++count));
        EXPECT_EQ(ostrel.added_ids().back(), c.id);
        ostrel.report(task.url, c.id, DOWNLOAD_FINISHED);   // lets the next one start
    }
    auto kept = url_task("http://v/b.flv", 0x55);
    control->SendCommand(CMD_APPEND, &kept, nullptr, 0);
    ASSERT_TRUE(ostrel.wait_added(++count));
    EXPECT_EQ(ostrel.added_ids().back(), (Id{0x55, 0, 0, 0})) << "an assigned id is kept";
}

// Which item the download thread fetches next, by the state of both lists.
TEST(CPlayControl, RefillRulesPickTheNextDownload)
{
    plat::TempFolder folder;
    const std::string local = folder / "local.flv";
    std::ofstream(local) << scripted_media(1, 100, 1, 1);
    struct Item {
        const char* url;   // empty: the local file
        bool inserted = false;
        bool complete = false;
        bool refused = false;
    };
    const struct {
        const char* name;
        std::vector<Item> items;
        std::vector<std::pair<std::string, LONG>> first_downloads;
    } cases[] = {
        {"main list in order, with priority", {{"a"}, {"b"}}, {{"a", OSTREL_KIND_PLAY_NOW}}},
        {"a local file is never downloaded", {{""}, {"b"}}, {{"b", OSTREL_KIND_PLAY_NOW}}},
        {"a complete item becomes ready without a download", {{"a", false, true}, {"b"}},
         {{"b", OSTREL_KIND_PLAY_NOW}}},
        {"a refused download moves on to the next", {{"a", false, false, true}, {"b"}},
         {{"b", OSTREL_KIND_PLAY_NOW}}},
        {"inserted clips once the main list is ready, without priority", {{""}, {"c", true}},
         {{"c", OSTREL_KIND_USER_VIDEO}}},
        {"a complete clip is skipped", {{""}, {"c", true, true}, {"d", true}}, {{"d", OSTREL_KIND_USER_VIDEO}}},
    };
    DWORD next_id = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeOstrel ostrel;
        Listener listener;
        auto control = make_control(&ostrel, listener);
        for (const auto& item : c.items) {
            PlayTaskInfo task = url_task(item.url, next_id++);
            if (!*item.url)
                task.local_path = plat::utf8_to_utf16(local);
            task.pause_main = item.inserted ? 1 : 0;
            task.start_position = 5;
            if (item.complete)
                ostrel.put({task.id[0], 0, 0, 0}, "done", 4);
            if (item.refused)
                ostrel.refuse(item.url);
            control->SendCommand(CMD_APPEND, &task, nullptr, 0);
        }
        ASSERT_TRUE(ostrel.wait_added(c.first_downloads.size()));
        auto added = ostrel.added();
        added.resize(c.first_downloads.size());
        EXPECT_EQ(added, c.first_downloads);
    }
}

TEST(CPlayControl, NextDownloadStartsWhenTheCurrentOneFinishesAndFailuresDoNotBlock)
{
    FakeOstrel ostrel;
    Listener listener;
    auto control = make_control(&ostrel, listener);
    for (DWORD id = 1; id <= 3; ++id) {
        auto task = url_task("u" + std::to_string(id), id);
        control->SendCommand(CMD_APPEND, &task, nullptr, 0);
    }
    ASSERT_TRUE(ostrel.wait_added(1));
    ostrel.report("u1", {1, 0, 0, 0}, DOWNLOAD_FINISHED);
    ASSERT_TRUE(ostrel.wait_added(2));
    ostrel.report("u2", {2, 0, 0, 0}, DOWNLOAD_FAILED);
    ASSERT_TRUE(ostrel.wait_added(3));
    auto added = ostrel.added();
    EXPECT_EQ(added[1].first, "u2");
    EXPECT_EQ(added[2].first, "u3");
    // The download manager's events reach the controller's listeners.
    EXPECT_TRUE(listener.wait_count(
        [](const Heard& h) { return h.code == EVT_DOWNLOAD_STATE && h.value == DOWNLOAD_FAILED && h.key == "u2"; },
        1));
}

TEST(CPlayControl, ReportedProgressOfTheItemInPlayNeverExceedsItsSize)
{
    FakeOstrel ostrel;
    Listener listener;
    auto control = make_control(&ostrel, listener);
    const Id id{7, 0, 0, 0};
    ostrel.put(id, std::string(40000, 'x'), 40000);   // two segments present, the last one short
    auto task = url_task("http://v/short.flv", 7);
    control->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
    ASSERT_TRUE(listener.wait_count([](const Heard& h) { return h.code == EVT_PLAY_PROGRESS; }, 1));
    auto heard = listener.heard();
    auto first = std::find_if(heard.begin(), heard.end(), [](const Heard& h) { return h.code == EVT_PLAY_PROGRESS; });
    EXPECT_EQ(first->value, 0);
    EXPECT_EQ(first->extra, 40000);
    EXPECT_EQ(first->key, "http://v/short.flv");
}

// The bytes present when an item becomes the one in play count as arrived,
// though no progress event tells of them: play runs on to where they end
// (the engine then waits for the rest itself) without a pause for data.
TEST(CPlayControl, BytesPresentAtTheStartOfPlayAreNotWaitedFor)
{
    FakeOstrel ostrel;
    Listener listener;
    auto control = make_control(&ostrel, listener);
    const Id id{8, 0, 0, 0};
    const LONG rate = 32768;
    ostrel.put(id, scripted_media(8, rate, 1, 14), 4 * rate);   // four seconds of eight; the download stalls
    auto task = url_task("http://v/half.flv", 8);
    control->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
    ASSERT_TRUE(listener.wait_code(EVT_BUFFERING));
    const auto heard = listener.heard();
    const auto waiting = std::find_if(heard.begin(), heard.end(), [](const Heard& h) { return h.code == EVT_BUFFERING; });
    EXPECT_TRUE(std::any_of(heard.begin(), waiting, [](const Heard& h) { return h.code == EVT_POSITION && h.value == 4; }))
        << "the wait comes where the bytes end";
    EXPECT_TRUE(std::none_of(heard.begin(), heard.end(), [](const Heard& h) { return h.code == EVT_PAUSED; }));
}

// An item whose download never starts does not hold up later play requests:
// it is abandoned after its time-out, or replaced by a request that comes first.
TEST(CPlayControl, AnItemThatNeverBecomesReadyDoesNotBlockLaterRequests)
{
    plat::TempFolder folder;
    const std::string local = folder / "next.flv";
    std::ofstream(local, std::ios::binary) << scripted_media(2, 100, 1, 2);
    const struct {
        const char* name;
        std::chrono::milliseconds ready_timeout;
        bool wait_for_abandon;
    } cases[] = {
        {"abandoned after its time-out", 200ms, true},
        {"replaced by a new request", 600s, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeOstrel ostrel;
        ostrel.refuse("http://v/never.flv");
        Listener listener;
        auto control = make_control(&ostrel, listener, {.idle_wait = 30s, .ready_timeout = c.ready_timeout});
        auto never = url_task("http://v/never.flv", 1);
        control->SendCommand(CMD_PLAY_NOW, &never, nullptr, 0);
        control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
        ASSERT_TRUE(ostrel.wait_lookup({1, 0, 0, 0}, "Wemble")) << "the play thread has taken the item";
        if (c.wait_for_abandon) {
            ASSERT_TRUE(listener.wait_count(
                [](const Heard& h) {
                    return h.code == EVT_DOWNLOAD_STATE && h.value == DOWNLOAD_FAILED && h.key == "http://v/never.flv";
                },
                1));
        }

        PlayTaskInfo next;
        next.local_path = plat::utf8_to_utf16(local);
        control->SendCommand(CMD_PLAY_NOW, &next, nullptr, 0);
        control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
        EXPECT_TRUE(listener.wait_code(EVT_COMPLETE));
    }
}

// A play-now that finds the threads busy past the idle wait is dropped: it
// is told: -1 and a debug line.
TEST(CPlayControl, APlayNowDroppedForBusyThreadsIsReportedAsNotDone)
{
    FakeOstrel ostrel;
    std::mutex lock;
    std::condition_variable changed;
    bool held = false, released = false;
    ostrel.on_lookup([&](const Id& id, const std::string& user) {
        if (id != Id{1, 0, 0, 0} || user != "Wemble")
            return;
        std::unique_lock hold(lock);
        held = true;
        changed.notify_all();
        changed.wait_for(hold, 60s, [&] { return released; });
    });
    Listener listener;
    auto control = make_control(&ostrel, listener, {.idle_wait = 100ms});
    auto first = url_task("http://v/first.flv", 1);
    ASSERT_EQ(control->SendCommand(CMD_PLAY_NOW, &first, nullptr, 0), 1);
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
    {
        std::unique_lock hold(lock);
        ASSERT_TRUE(changed.wait_for(hold, 60s, [&] { return held; })) << "the play thread is in its pass";
    }
    plat::DebugCapture capture;
    auto second = url_task("http://v/second.flv", 2);
    EXPECT_EQ(control->SendCommand(CMD_PLAY_NOW, &second, nullptr, 0), -1);
    EXPECT_TRUE(capture.contains("PlayControl: play now of \"title of http://v/second.flv\" dropped"));
    {
        std::scoped_lock hold(lock);
        released = true;
    }
    changed.notify_all();
}

TEST(CPlayControl, WithoutADownloadManagerPlayNowAppends)
{
    plat::TempFolder folder;
    Listener listener;
    auto control = make_control(nullptr, listener);
    for (int i = 0; i < 2; ++i) {
        auto path = folder / ("f" + std::to_string(i));
        std::ofstream(path, std::ios::binary) << scripted_media(2 + i, 100, 1, static_cast<std::uint32_t>(i));
        PlayTaskInfo task;
        task.local_path = plat::utf8_to_utf16(path);
        control->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
    }
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
    ASSERT_TRUE(listener.wait_code(EVT_COMPLETE, 2));
    std::vector<INT_PTR> durations;
    for (const auto& h : listener.heard())
        if (h.code == EVT_DURATION)
            durations.push_back(h.value);
    EXPECT_EQ(durations, (std::vector<INT_PTR>{2, 3})) << "both items play, in order";
}

TEST(CPlayControl, InsertedClipAtTheStartPlaysFirstThenTheMainItem)
{
    FakeOstrel ostrel;
    Listener listener;
    auto control = make_control(&ostrel, listener);
    const Id clip_id{21, 0, 0, 0}, main_id{22, 0, 0, 0};
    ostrel.put(clip_id, scripted_media(3, 100, 1, 3), 300);
    ostrel.put(main_id, scripted_media(4, 100, 1, 4), 400);
    auto main = url_task("http://v/main.flv", 22);
    auto clip = url_task("http://v/clip.flv", 21);
    clip.pause_main = 1;
    clip.start_position = 0;
    control->SendCommand(CMD_PLAY_NOW, &main, nullptr, 0);
    control->SendCommand(CMD_APPEND, &clip, nullptr, 0);
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
    ASSERT_TRUE(listener.wait_code(EVT_COMPLETE));
    auto lookups = ostrel.lookups();
    auto engine_lookup = [&](const Id& id) {
        return std::find(lookups.begin(), lookups.end(), std::pair{id, std::string("Quelm")}) - lookups.begin();
    };
    EXPECT_LT(engine_lookup(clip_id), engine_lookup(main_id)) << "the clip reaches an engine first";
    EXPECT_LT(engine_lookup(main_id), static_cast<long>(lookups.size())) << "then the main item plays";
}

TEST(CPlayControl, InsertedClipStartsWhenTheMainItemReachesItsPosition)
{
    FakeOstrel ostrel;
    Listener listener;
    const Id clip_id{31, 0, 0, 0}, main_id{32, 0, 0, 0};
    // The main item has data up to 95 s only: it cannot end before the clip.
    ostrel.put(clip_id, scripted_media(2, 100, 1, 5), 200);
    ostrel.put(main_id, scripted_media(100, 100, 1, 6), 9500);
    std::atomic<INT_PTR> reached_at_clip{-1};
    ostrel.on_lookup([&](const Id& id, const std::string& user) {
        if (id == clip_id && user == "Quelm") {
            INT_PTR reached = 0;
            for (const auto& h : listener.heard())
                if (h.code == EVT_POSITION)
                    reached = std::max(reached, h.value);
            reached_at_clip = reached;
        }
    });
    auto control = make_control(&ostrel, listener);
    auto main = url_task("http://v/main.flv", 32);
    auto clip = url_task("http://v/ad.flv", 31);
    clip.pause_main = 1;
    clip.start_position = 90;
    control->SendCommand(CMD_PLAY_NOW, &main, nullptr, 0);
    control->SendCommand(CMD_APPEND, &clip, nullptr, 0);
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
    // Clips are fetched once the main list is: report the main download done.
    ASSERT_TRUE(ostrel.wait_added(1));
    ostrel.report(main.url, main_id, DOWNLOAD_FINISHED);
    ASSERT_TRUE(ostrel.wait_lookup(clip_id, "Quelm"));
    // Position 90 is passed on after the controller acted on it.
    EXPECT_GE(reached_at_clip.load(), 89);
    // The clip paused the main item; its end hands play back to it.
    ASSERT_TRUE(listener.wait_code(EVT_PAUSED));
    EXPECT_TRUE(listener.wait_count(
        [seen_pause = false](const Heard& h) mutable {
            seen_pause = seen_pause || h.code == EVT_PAUSED;
            return seen_pause && h.code == EVT_RUNNING;
        },
        1));
}

// A local main item has no download estimate, but its inserted clip still
// starts when the main item reaches the clip's position.
TEST(CPlayControl, InsertedClipStartsOnALocalMainItem)
{
    plat::TempFolder folder;
    const std::string local = folder / "main.flv";
    std::ofstream(local, std::ios::binary) << scripted_media(1000, 100, 1, 12);
    FakeOstrel ostrel;
    Listener listener;
    const Id clip_id{41, 0, 0, 0};
    ostrel.put(clip_id, scripted_media(2, 100, 1, 13), 200);   // complete: ready at once
    auto control = make_control(&ostrel, listener);
    PlayTaskInfo main;
    main.local_path = plat::utf8_to_utf16(local);
    main.title = "local";
    auto clip = url_task("http://v/ad.flv", 41);
    clip.pause_main = 1;
    clip.start_position = 300;
    control->SendCommand(CMD_PLAY_NOW, &main, nullptr, 0);
    control->SendCommand(CMD_APPEND, &clip, nullptr, 0);
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
    EXPECT_TRUE(ostrel.wait_lookup(clip_id, "Quelm")) << "the clip reached engine 2";
}

// A queued command keeps only a copy of a 32-bit word (or of *length bytes):
// commands that carry a record, an object or an out block are not queued, so
// the copy is never read as what it is not.
TEST(CPlayControl, CommandsCarryingARecordAreNotQueued)
{
    FakeOstrel ostrel;
    Listener listener;
    auto control = make_control(&ostrel, listener);
    auto task = url_task("http://v/queued.flv", 51);
    LONG record_length = sizeof task;
    LONG version[2] = {};
    wchar_t source[] = L"http://v/source.flv";
    LONG source_length = sizeof source;
    const struct {
        const char* name;
        LONG code;
        void* data;
        LONG* length;
        DWORD flags;
        LONG result;
    } cases[] = {
        {"play now, by value", CMD_PLAY_NOW, &task, nullptr, CONTROL_ASYNC, 0},
        {"append, by length", CMD_APPEND, &task, &record_length, CONTROL_ASYNC | CONTROL_COPY_LENGTH, 0},
        {"download manager", CMD_SET_DOWNLOADER, &ostrel, nullptr, CONTROL_ASYNC, 0},
        {"version out block", CMD_GET_VERSION, version, nullptr, CONTROL_ASYNC, 0},
        {"source by value", CMD_SOURCE, source, nullptr, CONTROL_ASYNC, 0},
        {"source by length", CMD_SOURCE, source, &source_length, CONTROL_ASYNC | CONTROL_COPY_LENGTH, 1},
        {"a volume", CMD_SET_VOLUME, &record_length, nullptr, CONTROL_ASYNC, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(control->SendCommand(c.code, c.data, c.length, c.flags), c.result);
    }
    // Sent as it must be, the record is read.
    control->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
    ASSERT_TRUE(ostrel.wait_added(1));
    EXPECT_EQ(ostrel.added().size(), 1u);
}

// Two threads initialising one controller at once: one set of engines and
// threads, and the process lives.
TEST(CPlayControl, ConcurrentInitialisationsMakeOneSetOfEngines)
{
    for (int round = 0; round < 10; ++round) {
        Listener listener;
        ControlPtr control(scripted_control(), ControlRelease{&listener});
        std::atomic<bool> go{false};
        auto init = [&] {
            while (!go) std::this_thread::yield();
            control->SendCommand(CMD_INIT, nullptr, nullptr, 0);
        };
        std::thread first(init), second(init);
        go = true;
        first.join();
        second.join();
        control->SendCommand(CMD_ADD_LISTENER, &listener, nullptr, 0);
        LONG volume = 30;
        control->SendCommand(CMD_SET_VOLUME, &volume, nullptr, 0);
        volume = 0;
        control->SendCommand(CMD_GET_VOLUME, &volume, nullptr, 0);
        EXPECT_EQ(volume, 30);
    }
}

class PlayOverLoopback : public ::testing::Test {
protected:
    plat::TempFolder m_folder;
    ostrel_test::TestServer m_server;
    Listener m_listener;
};

TEST_F(PlayOverLoopback, APlayListPlaysWhileItsItemsDownloadAhead)
{
    const std::string first = scripted_media(5, 32768, 2, 7);
    const std::string second = scripted_media(8, 32768, 2, 8);
    const std::string local = m_folder / "first.flv";
    std::ofstream(local, std::ios::binary) << first;
    m_server.add("second.flv", second, 3 * 32768);

    std::unique_ptr<IOstrel, void (*)(IOstrel*)> ostrel(ostrel::create({}), &ReleaseOstrel);
    ASSERT_TRUE(ostrel->Init((m_folder / "ostrel").c_str(), 0));
    auto control = make_control(ostrel.get(), m_listener);
    PlayTaskInfo one;
    one.local_path = plat::utf8_to_utf16(local);
    auto two = url_task(m_server.url("second.flv"));
    control->SendCommand(CMD_PLAY_NOW, &one, nullptr, 0);
    control->SendCommand(CMD_APPEND, &two, nullptr, 0);
    // The second item is on its way before the first has even started.
    ASSERT_TRUE(m_server.wait_sent("second.flv", 3 * 32768));
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);

    ASSERT_TRUE(m_listener.wait_code(EVT_COMPLETE));
    ASSERT_TRUE(m_listener.wait_code(EVT_BUFFERING)) << "the second item waits for its data";
    m_server.release("second.flv");
    ASSERT_TRUE(m_listener.wait_code(EVT_COMPLETE, 2));

    auto heard = m_listener.heard();
    std::vector<INT_PTR> durations;
    for (const auto& h : heard)
        if (h.code == EVT_DURATION)
            durations.push_back(h.value);
    EXPECT_EQ(durations, (std::vector<INT_PTR>{5, 8}));
    EXPECT_TRUE(std::any_of(heard.begin(), heard.end(), [](const Heard& h) { return h.code == EVT_DATA_ARRIVED; }));
    EXPECT_TRUE(m_listener.wait_count(
        [&](const Heard& h) {
            return h.code == EVT_DOWNLOAD_STATE && h.value == DOWNLOAD_FINISHED && h.key == two.url;
        },
        1));
}

// An item whose bytes are all there plays through without a buffering pause,
// however its download's events fell around the start of play: its last
// progress event may come before the item became the one in play, or none
// comes at all (it was on disk already).
TEST_F(PlayOverLoopback, AnItemDownloadedBeforePlayIsNeverPausedForData)
{
    const std::string media = scripted_media(6, 32768, 2, 10);
    m_server.add("done.flv", media, media.size());
    const struct {
        const char* name;
        bool first_download;   // false: a second play of it finds it on disk
    } cases[] = {
        {"downloaded just before play", true},
        {"on disk before play", false},
    };
    std::unique_ptr<IOstrel, void (*)(IOstrel*)> ostrel(ostrel::create({}), &ReleaseOstrel);
    ASSERT_TRUE(ostrel->Init((m_folder / "ostrel").c_str(), 0));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Listener listener;
        auto control = make_control(ostrel.get(), listener);
        auto task = url_task(m_server.url("done.flv"), 61);
        control->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
        if (c.first_download) {
            ASSERT_TRUE(listener.wait_count(
                [&](const Heard& h) {
                    return h.code == EVT_DOWNLOAD_STATE && h.value == DOWNLOAD_FINISHED && h.key == task.url;
                },
                1));
        }
        control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
        ASSERT_TRUE(listener.wait_code(EVT_COMPLETE));
        for (const auto& h : listener.heard()) {
            EXPECT_NE(h.code, EVT_PAUSED) << "paused for bytes that were there";
            EXPECT_NE(h.code, EVT_BUFFERING) << "waited for bytes that were there";
        }
    }
}

TEST_F(PlayOverLoopback, AFailingServerGivesTheFailureEventsAndNothingHangs)
{
    m_server.add("stall.flv", scripted_media(4, 32768, 2, 9), 0);
    const struct {
        const char* name;
        std::string url;
    } cases[] = {
        {"not found", m_server.url("missing.flv")},
        {"stalls", m_server.url("stall.flv")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Listener listener;
        std::unique_ptr<IOstrel, void (*)(IOstrel*)> ostrel(
            ostrel::create({.stall_time = 1s, .retries = 0}), &ReleaseOstrel);
        ASSERT_TRUE(ostrel->Init((m_folder / c.name).c_str(), 0));
        auto control = make_control(ostrel.get(), listener);
        auto task = url_task(c.url);
        control->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
        control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
        EXPECT_TRUE(listener.wait_count(
            [&](const Heard& h) { return h.code == EVT_DOWNLOAD_STATE && h.value == DOWNLOAD_FAILED; }, 1));
        EXPECT_TRUE(listener.wait_code(EVT_STOPPED)) << "the engine is stopped";
    }
}

}
