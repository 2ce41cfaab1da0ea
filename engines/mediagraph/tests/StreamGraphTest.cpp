#include "engines/mediagraph/Buffering.h"
#include "engines/mediagraph/CAVFileBase.h"
#include "engines/mediagraph/testing/EventLog.h"
#include "engines/mediagraph/testing/FakeFilters.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using namespace mediagraph;
using fakes::Shape;
using Changes = std::vector<std::string>;
using Action = BufferingWatch::Action;

namespace {

// A download as the item store hands it out: `arrived` bytes of `total`
// are there; every read is kept.
class ScriptedStore final : public IOstrelItem {
public:
    ScriptedStore(LONGLONG total, LONGLONG arrived) : m_total(total), m_arrived(arrived) {}

    void Release(const char*) override {}
    LONG SegmentState(LONGLONG) override { return OSTREL_OK; }
    LONGLONG TotalSize() override { return m_total; }
    LONGLONG Downloaded() override
    {
        std::scoped_lock hold(m_lock);
        return m_arrived;
    }
    LONG Read(LONGLONG offset, void* buffer, LONG size, LONG* read) override
    {
        std::scoped_lock hold(m_lock);
        m_reads.emplace_back(offset, size);
        *read = 0;
        if (m_cancelled) return OSTREL_CANCELLED;
        if (offset >= m_total) return OSTREL_END_OF_CONTENT;
        if (offset >= m_arrived) return OSTREL_NOT_ARRIVED;
        const LONG n = static_cast<LONG>(std::min<LONGLONG>(size, m_arrived - offset));
        std::fill_n(static_cast<BYTE*>(buffer), n, BYTE(0x5A));
        *read = n;
        return OSTREL_OK;
    }

    void arrive(LONGLONG upto)
    {
        std::scoped_lock hold(m_lock);
        m_arrived = upto;
    }
    void cancel()
    {
        std::scoped_lock hold(m_lock);
        m_cancelled = true;
    }
    std::vector<std::pair<LONGLONG, LONG>> reads()
    {
        std::scoped_lock hold(m_lock);
        return m_reads;
    }

private:
    const LONGLONG m_total;
    std::mutex m_lock;
    LONGLONG m_arrived;                               // guarded by m_lock
    bool m_cancelled = false;                         // guarded by m_lock
    std::vector<std::pair<LONGLONG, LONG>> m_reads;   // guarded by m_lock
};

// The file graph with its position ticks and refills in the test's hands.
class Probe final : public CAVFileBase {
public:
    Probe(IBaseControl* controller, plat::FilterMaker make) : CAVFileBase(controller, std::move(make), 3600000)
    {
        SetBufferingTick(3600000);   // the position thread reports once; the test ticks
    }
    ~Probe() override { DestroyGraph(); }
    void tick(LONGLONG position_ms, LONGLONG duration_ms) { on_position(position_ms * 10000, duration_ms * 10000); }
    using CAVFileBase::Refill;
    using CAVFileBase::SetDataPoll;
};

class StreamGraph : public testing::Test {
protected:
    StreamGraph()
    {
        fakes::define_working_filters(lab);
        lab.define(NetSource, {{}, {{u"Output", CMediaType(MEDIATYPE_Stream)}}, false, false, true});
    }

    // The "KVR Splitter" reads the head of its source, as a real one probes.
    void splitter_probes(fakes::Lab& in)
    {
        Shape splitter{{{u"Input", GUID_NULL}}, {{u"Video", fakes::video_type(640, 360)}, {u"Audio", fakes::audio_type()}}};
        splitter.on_input = [&in] {
            BYTE head[16];
            LONG read = 0;
            ISourceManager* manager = in.source_manager;
            if (manager != nullptr) manager->ReadData(0, sizeof head, head, &read);
            return read == LONG(sizeof head) ? S_OK : E_FAIL;
        };
        in.define(KVRSplitter, splitter);
    }

    plat::TemporaryRegistry registry;
    fakes::Lab lab;
    fakes::ListenedControl events;
};

std::size_t index_of(const std::vector<LONG>& codes, LONG code, std::size_t from = 0)
{
    return static_cast<std::size_t>(std::find(codes.begin() + static_cast<std::ptrdiff_t>(from), codes.end(), code) -
                                    codes.begin());
}

}

TEST(BufferingWatch, PausesOnAStallAwayFromTheEdgesAndPlaysOnWhenDataCame)
{
    struct Tick {
        LONGLONG position, duration;
        bool paused, data_needed;
        Action expected;
    };
    const struct {
        const char* name;
        std::vector<Tick> ticks;
    } cases[] = {
        {"steady play never pauses",
         {{3000, 60000, false, false, Action::None}, {3500, 60000, false, false, Action::None},
          {4000, 60000, false, false, Action::None}, {4500, 60000, false, false, Action::None},
          {5000, 60000, false, false, Action::None}}},
        {"four stalled ticks pause",
         {{3000, 60000, false, false, Action::None}, {3100, 60000, false, false, Action::None},
          {3200, 60000, false, false, Action::None}, {3300, 60000, false, false, Action::None},
          {3400, 60000, false, false, Action::PauseForData}}},
        {"449 ms a tick is a stall",
         {{3000, 60000, false, false, Action::None}, {3449, 60000, false, false, Action::None},
          {3898, 60000, false, false, Action::None}, {4347, 60000, false, false, Action::None},
          {4796, 60000, false, false, Action::PauseForData}}},
        {"450 ms a tick is play",
         {{3000, 60000, false, false, Action::None}, {3450, 60000, false, false, Action::None},
          {3900, 60000, false, false, Action::None}, {4350, 60000, false, false, Action::None},
          {4800, 60000, false, false, Action::None}}},
        {"a stall that recovers starts over",
         {{3000, 60000, false, false, Action::None}, {3100, 60000, false, false, Action::None},
          {3200, 60000, false, false, Action::None}, {3800, 60000, false, false, Action::None},
          {4300, 60000, false, false, Action::None}, {4400, 60000, false, false, Action::None},
          {4500, 60000, false, false, Action::None}}},
        {"no pause in the first two seconds",
         {{1000, 60000, false, false, Action::None}, {1000, 60000, false, false, Action::None},
          {1000, 60000, false, false, Action::None}, {1000, 60000, false, false, Action::None},
          {1000, 60000, false, false, Action::None}}},
        {"no pause in the last two seconds, nor without a duration",
         {{8500, 10000, false, false, Action::None}, {8500, 10000, false, false, Action::None},
          {8500, 10000, false, false, Action::None}, {8500, 10000, false, false, Action::None},
          {8500, 0, false, false, Action::None}, {8500, 0, false, false, Action::None}}},
        {"going back is no stall",
         {{9000, 60000, false, false, Action::None}, {5000, 60000, false, false, Action::None},
          {3000, 60000, false, false, Action::None}, {2500, 60000, false, false, Action::None},
          {2100, 60000, false, false, Action::None}}},
        {"paused: waits while data is needed, plays on once it came or near the end",
         {{3000, 60000, true, true, Action::None}, {3000, 60000, true, true, Action::None},
          {3000, 60000, true, false, Action::Resume}, {56000, 60000, true, true, Action::Resume}}},
        {"playing on gives eight ticks of grace",
         {{3000, 60000, true, false, Action::Resume}, {3000, 60000, false, false, Action::None},
          {3000, 60000, false, false, Action::None}, {3000, 60000, false, false, Action::None},
          {3000, 60000, false, false, Action::None}, {3000, 60000, false, false, Action::None},
          {3000, 60000, false, false, Action::None}, {3000, 60000, false, false, Action::PauseForData}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BufferingWatch watch;
        for (std::size_t i = 0; i < c.ticks.size(); ++i) {
            const Tick& t = c.ticks[i];
            EXPECT_EQ(watch.tick(t.position, t.duration, t.paused, t.data_needed), t.expected) << "tick " << i;
        }
    }
}

TEST(BufferingWatch, TheReadAheadFollowsTheBufferTimeWithinItsBounds)
{
    const struct {
        const char* name;
        LONGLONG total;
        LONG buffer_time;
        LONGLONG duration, last, position, expected;
    } cases[] = {
        {"six seconds of a 100 s stream", 4000000, 6, 100, 0x20000, 0, 240000},
        {"no more than 512 KB", 10485760, 6, 100, 0x20000, 0, READ_AHEAD_MAX},
        {"no less than 128 KB", 10485760, 6, 600, 0x20000, 0, READ_AHEAD_MIN},
        {"a longer buffer time reads more", 4000000, 10, 100, 0x20000, 0, 400000},
        {"duration unknown: the last size", 4000000, 6, 1, 0x40000, 0, 0x40000},
        {"... within the bounds", 4000000, 6, 0, 0x100000, 0, READ_AHEAD_MAX},
        {"near the end: only to the end", 1000000, 6, 100, 0x20000, 950000, 50000},
        {"at the end: nothing", 1000000, 6, 100, 0x20000, 1000000, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read_ahead_size(c.total, c.buffer_time, c.duration, c.last, c.position), c.expected) << c.name;
}

TEST_F(StreamGraph, AnAddressIsReadThroughTheNetSourceFromTheDataStore)
{
    splitter_probes(lab);
    ScriptedStore store(200000, 200000);
    Probe graph(&events.control, lab.maker());
    graph.SetDataStore(&store);
    graph.SetStreaming(true);
    graph.SetSourcePath(u"http://example.invalid/watch?v=1.flv");
    ASSERT_EQ(graph.Play(), S_OK);
    const Changes changes = lab.graph_changes();
    ASSERT_GE(changes.size(), 2u);
    EXPECT_EQ(Changes(changes.begin(), changes.begin() + 2), (Changes{"+Corva Net Source", "+KVR Splitter"}));
    EXPECT_EQ(graph.GetSplitterKind(), KIND_KVR);
    EXPECT_EQ(lab.source_manager.load(), static_cast<ISourceManager*>(&graph));
    EXPECT_EQ(store.reads().front(), (std::pair<LONGLONG, LONG>{0, 16}));
    EXPECT_EQ(graph.GetTotalSize(), 200000);

    EXPECT_EQ(graph.Close(), S_OK);
    EXPECT_EQ(graph.GetTotalSize(), UNKNOWN_STREAM_SIZE);   // the store went with the item
    BYTE byte = 0;
    LONG read = -1;
    EXPECT_EQ(graph.ReadData(0, 1, &byte, &read), 1);
    EXPECT_EQ(read, 0);
}

TEST_F(StreamGraph, TheGenericChainAbortsForAStreamOrACancelledDownload)
{
    const struct {
        const char* name;
        bool streaming, cancelled, splitter_reads;
        HRESULT result;
        Changes splitters;
        LONG kind;
    } cases[] = {
        {"a stream the splitter reads", true, false, true, S_OK, {"+KVR Splitter"}, KIND_KVR},
        {"a stream the splitter cannot read: no file splitter is tried", true, false, false, E_ABORT,
         {"+KVR Splitter", "-KVR Splitter"}, KIND_NONE},
        {"a download cancelled while building", false, true, true, E_ABORT, {"+KVR Splitter", "-KVR Splitter"}, KIND_NONE},
        {"an address that is no stream goes on down the chain", false, false, false, S_OK,
         {"+KVR Splitter", "-KVR Splitter", "+MPEG-2 Splitter"}, KIND_MPEG2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Lab cases_lab;
        fakes::define_working_filters(cases_lab);
        cases_lab.define(NetSource, {{}, {{u"Output", CMediaType(MEDIATYPE_Stream)}}, false, false, true});
        splitter_probes(cases_lab);
        ScriptedStore store(100000, c.splitter_reads ? 100000 : 8);   // 8 bytes: a head no splitter knows
        if (c.cancelled) store.cancel();
        fakes::ListenedControl control;
        Probe graph(&control.control, cases_lab.maker());
        graph.SetDataStore(&store);
        graph.SetStreaming(c.streaming);
        graph.SetDataPoll(1);
        if (!c.splitter_reads && !c.cancelled) {
            // The missing bytes never come: the read gives up once told so.
            std::thread stop([&] {
                while (store.reads().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                graph.InterruptReads();
            });
            graph.SetSourcePath(u"http://example.invalid/watch?v=2");
            EXPECT_EQ(graph.Play(), c.result);
            stop.join();
        } else {
            graph.SetSourcePath(u"http://example.invalid/watch?v=2");
            EXPECT_EQ(graph.Play(), c.result);
        }
        Changes splitters;
        for (const auto& line : cases_lab.graph_changes())
            if (line.find("Splitter") != std::string::npos) splitters.push_back(line);
        EXPECT_EQ(splitters, c.splitters);
        EXPECT_EQ(graph.GetSplitterKind(), c.kind);
        EXPECT_EQ(control.log.count(EVT_GRAPH_FAILED), c.result == E_ABORT ? 1u : 0u);
    }
}

TEST_F(StreamGraph, ReadsWaitForBytesStillArrivingUntilTheEndACancelOrAStop)
{
    enum class Then { Nothing, Arrive, Stop, HoldOff };
    const struct {
        const char* name;
        bool store;
        LONGLONG total, arrived;
        bool cancelled;
        LONGLONG position;
        Then then;   // what happens while the read waits
        LONG expected;
    } cases[] = {
        {"no data store: nothing", false, 0, 0, false, 0, Then::Nothing, 0},
        {"all there", true, 1000, 1000, false, 0, Then::Nothing, 100},
        {"the end of the item", true, 1000, 1000, false, 950, Then::Nothing, 50},
        {"a cancelled download", true, 1000, 1000, true, 0, Then::Nothing, 0},
        {"the rest arrives later", true, 1000, 10, false, 0, Then::Arrive, 100},
        {"a stop ends the wait", true, 1000, 10, false, 0, Then::Stop, 10},
        {"a command waiting for the graph: no wait, even after a play", true, 1000, 10, false, 0, Then::HoldOff, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedStore store(c.total, c.arrived);
        if (c.cancelled) store.cancel();
        fakes::ListenedControl control;
        Probe graph(&control.control, lab.maker());
        graph.SetDataPoll(5);
        if (c.store) graph.SetDataStore(&store);
        if (c.then == Then::HoldOff) {
            graph.HoldOffReads();
            graph.Play();   // resets what ends the waits; the hold-off stands
        }
        std::thread meanwhile([&] {
            if (c.then == Then::Nothing || c.then == Then::HoldOff) return;
            while (store.reads().size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (c.then == Then::Arrive) store.arrive(c.total);
            else graph.Stop();
        });
        BYTE buffer[100] = {};
        LONG read = -1;
        EXPECT_EQ(graph.ReadData(c.position, sizeof buffer, buffer, &read), 1);
        meanwhile.join();
        if (c.then == Then::HoldOff) graph.EndHoldOff();
        EXPECT_EQ(read, c.expected);
        EXPECT_EQ(std::count(buffer, buffer + read, BYTE(0x5A)), read);
    }
}

TEST_F(StreamGraph, ARefillWaitsForTheReadAheadOnlyWhenOneIsAsked)
{
    using Reads = std::vector<std::pair<LONGLONG, LONG>>;
    struct Refill {
        bool asked;
        LONGLONG position;
    };
    const struct {
        const char* name;
        LONGLONG total, duration_ms;
        std::vector<Refill> refills;
        Reads reads;
    } cases[] = {
        {"six seconds of play", 4000000, 100000, {{true, 1000}}, {{1000, 240000}}},
        {"not asked: nothing read", 4000000, 100000, {{false, 1000}}, {}},
        {"near the end: only to the end", 1000000, 100000, {{true, 950000}}, {{950000, 50000}}},
        {"at the end: nothing read", 1000000, 100000, {{true, 1000000}}, {}},
        {"duration unknown: each refill doubles, up to 512 KB", 8000000, 0,
         {{true, 0}, {true, 0}, {true, 0}, {true, 0}},
         {{0, 0x20000}, {0, 0x40000}, {0, 0x80000}, {0, 0x80000}}},
        {"asked once, refilled once", 4000000, 100000, {{true, 0}, {false, 0}}, {{0, 240000}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedStore store(c.total, c.total);
        fakes::ListenedControl control;
        Probe graph(&control.control, lab.maker());
        graph.SetDataStore(&store);
        graph.tick(0, c.duration_ms);   // the position thread's view of the duration
        for (const Refill& r : c.refills) {
            if (r.asked) graph.PauseSource(true);
            graph.Refill(r.position);
        }
        EXPECT_EQ(store.reads(), c.reads);
    }
}

TEST_F(StreamGraph, AStalledStreamPausesRefillsAndPlaysOn)
{
    splitter_probes(lab);
    ScriptedStore store(4000000, 4000000);
    Probe graph(&events.control, lab.maker());
    graph.SetDataStore(&store);
    graph.SetStreaming(true);
    graph.SetSourcePath(u"http://example.invalid/v.flv");
    ASSERT_EQ(graph.Play(), S_OK);
    ASSERT_TRUE(events.log.wait_for_any({EVT_POSITION}, 5000));   // the position thread's first report is out of the way

    for (LONGLONG position : {3000, 3100, 3200, 3300, 3400}) graph.tick(position, 60000);
    ASSERT_TRUE(events.log.wait_for_any({EVT_DATA_ARRIVED}, 5000));
    EXPECT_EQ(graph.GetPlayState(), PLAY_STATE_PAUSED);
    // From where the source last read, six seconds of the 60 s stream.
    EXPECT_EQ(store.reads().back(), (std::pair<LONGLONG, LONG>{0, 400000}));
    EXPECT_EQ(lab.told("Corva SubTitle property 4"), std::string("\x48\x0D\0\0", 4));   // 3400 ms

    graph.tick(3400, 60000);
    EXPECT_EQ(graph.GetPlayState(), PLAY_STATE_RUNNING);
    std::vector<LONG> codes;
    for (LONG code : events.log.codes())
        if (code != EVT_POSITION) codes.push_back(code);
    const std::size_t paused = index_of(codes, EVT_PAUSED);
    const std::size_t buffering = index_of(codes, EVT_BUFFERING, paused);
    const std::size_t arrived = index_of(codes, EVT_DATA_ARRIVED, buffering);
    const std::size_t running = index_of(codes, EVT_RUNNING, arrived);
    EXPECT_LT(running, codes.size()) << "pause, 8193, 8198, then play on";

    // A pause of the user's own is left alone, however long play stands.
    graph.PauseSource(false);
    const std::size_t before = events.log.count(EVT_RUNNING);
    for (int i = 0; i < 12; ++i) graph.tick(3400, 60000);
    EXPECT_EQ(events.log.count(EVT_RUNNING), before);
    EXPECT_EQ(events.log.count(EVT_BUFFERING), 1u);
    EXPECT_EQ(graph.GetPlayState(), PLAY_STATE_PAUSED);
}
