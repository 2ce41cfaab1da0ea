#include "ComposeFakes.h"

#include "playback/compose/VMRServer.h"

#include "platform/d3d9/Direct3D.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <thread>

namespace {

// A server on a stepped clock with recording layers; the compose thread is
// stopped and joined before the layers go.
class Rig {
public:
    Rig()
    {
        auto clock = std::make_unique<SteppedClock>();
        m_clock = clock.get();
        m_server = new VMRServer(std::move(clock));
        m_server->AddRef();
    }
    ~Rig()
    {
        m_clock->open();
        m_server->Stop();
        m_server->Release();
    }

    RecordingLayer& add(std::string name, LayerSetup setup = {})
    {
        RecordingLayer& made = make(std::move(name), setup);
        m_server->AddLayer(&made);
        return made;
    }
    RecordingLayer& make(std::string name, LayerSetup setup = {})
    {
        m_layers.push_back(std::make_unique<RecordingLayer>(std::move(name), log, m_clock, setup));
        return *m_layers.back();
    }
    // Starts the thread and returns what its first frame did.
    std::vector<std::string> first_frame()
    {
        m_server->Start(&render);
        m_clock->wait_for_sleeps(1);
        return log.take();
    }
    std::vector<std::string> next_frame()
    {
        m_clock->step();
        return log.take();
    }

    VMRServer& server() { return *m_server; }
    SteppedClock& clock() { return *m_clock; }

    CallLog log;
    RecordingRender render{log};

private:
    std::vector<std::unique_ptr<RecordingLayer>> m_layers;
    SteppedClock* m_clock;
    VMRServer* m_server;
};

using Log = std::vector<std::string>;

Log only(const Log& log, std::string_view suffix)
{
    Log kept;
    for (const auto& entry : log) {
        if (entry.ends_with(suffix)) kept.push_back(entry.substr(0, entry.size() - suffix.size()));
    }
    return kept;
}

TEST(VMRServer, DrawsBackToFrontAndOffersInputFrontToBack)
{
    const struct {
        const char* what;
        std::vector<long> depths;   // of layers a, b, c in order of arrival
        Log drawn;
        Log offered;
    } cases[] = {
        {"equal depths keep their arrival", {0, 0}, {"a", "b"}, {"b", "a"}},
        {"5 after 10 and 0 lands between", {10, 0, 5}, {"a", "c", "b"}, {"b", "c", "a"}},
        {"a deeper later layer goes under", {0, 10}, {"b", "a"}, {"a", "b"}},
        {"video and interface at start-up", {0, 0, 0}, {"a", "b", "c"}, {"c", "b", "a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        for (std::size_t i = 0; i < c.depths.size(); ++i)
            rig.add(std::string(1, char('a' + i)), {.depth = c.depths[i]});
        EXPECT_EQ(only(rig.first_frame(), ".draw"), c.drawn);
        rig.server().HitTest(0x200, 0, 0);
        EXPECT_EQ(only(rig.log.take(), ".input"), c.offered);
    }
}

TEST(VMRServer, HitTestEndsAtTheFirstLayerThatConsumes)
{
    Rig rig;
    rig.add("a");
    rig.add("b", {.consumes_input = true});
    rig.add("c");
    EXPECT_EQ(rig.server().HitTest(0x201, 1, 2), 0);
    EXPECT_EQ(rig.log.take(), (Log{"c.input", "b.input"}));
}

TEST(VMRServer, RemoveLayerTakesOutOnlyTheFirstEqualEntry)
{
    const struct {
        const char* what;
        Log added;
        std::string removed;
        Log drawn;
    } cases[] = {
        {"absent layer changes nothing", {"a", "b"}, "x", {"a", "b"}},
        {"empty list", {}, "x", {}},
        {"a layer added twice loses its first entry", {"a", "b", "a"}, "a", {"b", "a"}},
        {"last layer", {"a", "b"}, "b", {"a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        std::map<std::string, RecordingLayer*> layers;
        for (const auto& name : {"a", "b", "x"}) layers[name] = &rig.make(name);
        for (const auto& name : c.added) rig.server().AddLayer(layers[name]);
        rig.server().RemoveLayer(layers[c.removed]);
        EXPECT_EQ(only(rig.first_frame(), ".draw"), c.drawn);
    }
}

TEST(VMRServer, FindLayerAnswersTheFirstLayerWithTheId)
{
    Rig rig;
    RecordingLayer& a = rig.add("a", {.depth = 5, .id = 7});
    RecordingLayer& b = rig.add("b", {.depth = 0, .id = 7});
    RecordingLayer& c = rig.add("c", {.depth = 0, .id = 9});
    EXPECT_EQ(rig.server().FindLayer(7), &a);
    EXPECT_EQ(rig.server().FindLayer(9), &c);
    EXPECT_EQ(rig.server().FindLayer(8), nullptr);
    (void)b;
}

TEST(VMRServer, MoveLayerAndResetPutsALayerWhereItsNewDepthBelongs)
{
    Rig rig;
    RecordingLayer& a = rig.add("a");
    rig.add("b");
    a.set_depth(-1);   // now in front of b
    rig.server().MoveLayerAndReset(&a);
    EXPECT_EQ(rig.log.take(), Log{"a.reset"});
    EXPECT_EQ(only(rig.first_frame(), ".draw"), (Log{"b", "a"}));
}

TEST(VMRServer, EveryLayerAdvancesAndAFrameIsDrawnOnlyWhenOneChanged)
{
    const struct {
        const char* what;
        bool a_changed, b_changed;
        Log frame;
    } cases[] = {
        {"none changed", false, false, {"a.update", "b.update"}},
        {"the first changed, the second still advances", true, false,
         {"a.update", "b.update", "begin", "a.draw", "b.draw", "end"}},
        {"the last changed", false, true, {"a.update", "b.update", "begin", "a.draw", "b.draw", "end"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.add("a", {.changed = c.a_changed});
        rig.add("b", {.changed = c.b_changed});
        EXPECT_EQ(rig.first_frame(), c.frame);
    }
}

TEST(VMRServer, AnEmptyListNeverRendersAndPacesAFrame)
{
    Rig rig;
    EXPECT_EQ(rig.first_frame(), Log{});
    EXPECT_EQ(rig.next_frame(), Log{});
    EXPECT_EQ(rig.clock().sleeps(), (std::vector<DWORD>{33, 33}));
}

TEST(VMRServer, DeviceNotResetAndLostSkipTheFrame)
{
    const Log updates{"a.update", "b.update"};
    const Log drawn{"begin", "a.draw", "end", "a.presented"};
    const Log told{"begin", "a.reset-device", "b.reset-device", "begin"};
    const auto join = [](Log first, const Log& second) {
        first.insert(first.end(), second.begin(), second.end());
        return first;
    };
    const struct {
        const char* what;
        std::deque<int> begin_results;
        Log frame;
    } cases[] = {
        {"device ready", {}, join(updates, drawn)},
        {"not reset twice: told, nothing drawn", {D3DERR_DEVICENOTRESET, D3DERR_DEVICENOTRESET}, join(updates, told)},
        {"not reset, then reset by a layer: drawn",
         {D3DERR_DEVICENOTRESET, D3D_OK},
         join(updates, {"begin", "a.reset-device", "b.reset-device", "begin", "a.draw", "end", "a.presented"})},
        {"lost: skipped, nobody told", {D3DERR_DEVICELOST}, join(updates, {"begin"})},
        {"another failure is drawn over", {E_FAIL}, join(updates, drawn)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.add("a", {.wants_frame_notice = true});
        rig.add("b", {.visible = false});
        rig.render.script_begin(c.begin_results);
        EXPECT_EQ(rig.first_frame(), c.frame);
    }
}

TEST(VMRServer, WhileTheDeviceStaysNotResetEveryFrameTellsEveryLayerOnce)
{
    Rig rig;
    rig.add("a", {.wants_frame_notice = true});
    rig.add("b");
    rig.render.script_begin(std::deque<int>(6, D3DERR_DEVICENOTRESET));
    const Log frame{"a.update", "b.update", "begin", "a.reset-device", "b.reset-device", "begin"};
    EXPECT_EQ(rig.first_frame(), frame);
    EXPECT_EQ(rig.next_frame(), frame);
    EXPECT_EQ(rig.next_frame(), frame);
    EXPECT_EQ(only(rig.next_frame(), ".draw"), (Log{"a", "b"}));
}

TEST(VMRServer, TheFrameNoticeGoesOnlyToLayersThatWantItAfterEndFrame)
{
    Rig rig;
    rig.add("a", {.wants_frame_notice = true});
    rig.add("b");
    rig.add("c", {.visible = false, .wants_frame_notice = true});
    EXPECT_EQ(rig.first_frame(), (Log{"a.update", "b.update", "c.update", "begin", "a.draw", "b.draw", "end",
                                      "a.presented", "c.presented"}));
}

TEST(VMRServer, PacesToThirtyFramesUnlessAFrameOrASleepRanLong)
{
    const struct {
        const char* what;
        std::int64_t work_ms;      // this frame's work
        std::int64_t overrun_ms;   // how much longer than asked this frame's sleep lasts
        DWORD sleep;
    } frames[] = {
        {"short work", 5, 0, 28},
        {"work of 40 ms", 40, 0, 0},
        {"work of 32 ms", 32, 34, 1},
        {"after a sleep that ran to 35 ms", 5, 34, 0},
        {"after a sleep that ran to 34 ms", 5, 0, 28},
        {"work of exactly 33 ms", 33, 0, 0},
    };
    Rig rig;
    RecordingLayer& layer = rig.add("a", {.changed = false});
    for (std::size_t i = 0; i < std::size(frames); ++i) {
        layer.set_work_ms(frames[i].work_ms);
        rig.clock().overrun_next_sleep_ms(frames[i].overrun_ms);
        if (i == 0)
            rig.first_frame();
        else
            rig.next_frame();
    }
    std::vector<DWORD> expected;
    for (const auto& f : frames) expected.push_back(f.sleep);
    EXPECT_EQ(rig.clock().sleeps(), expected);
}

// A layer whose update waits until the test lets it go.
class HeldLayer final : public IUo {
public:
    bool NeedsRedraw() override
    {
        std::unique_lock hold(m_lock);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(hold, [this] { return m_released; });
        return true;
    }
    long Render() override
    {
        std::scoped_lock hold(m_lock);
        ++m_draws;
        return 0;
    }
    bool IsLayerActive() override { return true; }

    void wait_entered()
    {
        std::unique_lock hold(m_lock);
        m_changed.wait(hold, [this] { return m_entered; });
    }
    void release()
    {
        std::scoped_lock hold(m_lock);
        m_released = true;
        m_changed.notify_all();
    }
    int draws()
    {
        std::scoped_lock hold(m_lock);
        return m_draws;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_entered{false};   // guarded by m_lock, like the fields below
    bool m_released{false};
    int m_draws{0};
};

TEST(VMRServer, StopReturnsOnlyAfterTheFrameInProgressEnded)
{
    auto layer = std::make_unique<HeldLayer>();
    Rig rig;
    rig.server().AddLayer(layer.get());
    rig.clock().open();
    rig.server().Start(&rig.render);
    layer->wait_entered();
    std::thread stopper([&] { rig.server().Stop(); });
    layer->release();
    stopper.join();
    EXPECT_GE(layer->draws(), 1);
    rig.server().RemoveLayer(layer.get());
    layer.reset();   // the compose thread is gone: nothing touches the layer any more
}

}
