#include "engines/mediagraph/testing/EventLog.h"
#include "engines/wemble/PlayTaskInfo.h"
#include "outside/quelm/Quelm.h"
#include "outside/quelm/QuelmGraph.h"
#include "platform/base/Utf.h"
#include "platform/com/ComObject.h"
#include "platform/d3d9/tests/DeviceRig.h"
#include "platform/dshow/Vmr9.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/script/testing/ModuleTesting.h"
#include "platform/sound/AudioHost.h"
#include "platform/sound/AudioOutput.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

using plat::ComPtr;
using Clock = std::chrono::steady_clock;

namespace {

// A presenter that keeps when each picture came and what it showed.
class TestPresenter final : public plat::ComObject<IVMRSurfaceAllocator9, IVMRImagePresenter9> {
public:
    struct Shown {
        REFERENCE_TIME start;
        Clock::time_point at;
        DWORD centre;
    };

    explicit TestPresenter(IVMRSurfaceAllocatorNotify9* notify) : m_notify(notify) {}
    ~TestPresenter() override
    {
        for (IDirect3DSurface9* s : m_surfaces)
            if (s) s->Release();
    }

    HRESULT InitializeDevice(DWORD_PTR, VMR9AllocationInfo* info, DWORD* buffers) override
    {
        m_surfaces.assign(*buffers, nullptr);
        return m_notify->AllocateSurfaceHelper(info, buffers, m_surfaces.data());
    }
    HRESULT TerminateDevice(DWORD_PTR) override { return S_OK; }
    HRESULT GetSurface(DWORD_PTR, DWORD index, DWORD, IDirect3DSurface9** surface) override
    {
        if (index >= m_surfaces.size() || m_surfaces[index] == nullptr) return E_UNEXPECTED;
        *surface = m_surfaces[index];
        (*surface)->AddRef();
        return S_OK;
    }
    HRESULT AdviseNotify(IVMRSurfaceAllocatorNotify9*) override { return S_OK; }
    HRESULT StartPresenting(DWORD_PTR) override { return S_OK; }
    HRESULT StopPresenting(DWORD_PTR) override { return S_OK; }
    HRESULT PresentImage(DWORD_PTR, VMR9PresentationInfo* info) override
    {
        D3DSURFACE_DESC desc{};
        info->lpSurf->GetDesc(&desc);
        const DWORD centre = test::pixel(info->lpSurf, int(desc.Width / 2), int(desc.Height / 2));
        std::scoped_lock hold(m_lock);
        m_shown.push_back({info->rtStart, Clock::now(), centre});
        return S_OK;
    }

    std::vector<Shown> shown() const
    {
        std::scoped_lock hold(m_lock);
        return m_shown;
    }

private:
    IVMRSurfaceAllocatorNotify9* m_notify;   // not counted: the renderer holds us
    std::vector<IDirect3DSurface9*> m_surfaces;
    mutable std::mutex m_lock;
    std::vector<Shown> m_shown;   // guarded by m_lock
};

// The video layer's part: attaches the presenter when the engine adds its
// renderer and lets go when the graph goes.
class VideoLayer final : public IBaseEventHandler {
public:
    explicit VideoLayer(IDirect3DDevice9* device) : m_device(device) {}

    LONG OnEvent(void*, LONG code, INT_PTR value, INT_PTR) override
    {
        if (code == GRAPH_NOTIFY_RENDERER_ADDED) {
            renderer = ComPtr<IBaseFilter>(reinterpret_cast<IBaseFilter*>(value));
            renderer.as<IVMRFilterConfig9>()->SetRenderingMode(VMR9Mode_Renderless);
            const auto notify = renderer.as<IVMRSurfaceAllocatorNotify9>();
            presenter = ComPtr<TestPresenter>::adopt(new TestPresenter(notify.get()));
            notify->SetD3DDevice(m_device, nullptr);
            notify->AdviseSurfaceAllocator(1, presenter.get());
        } else if (code == GRAPH_NOTIFY_GRAPH_GONE) {
            renderer.as<IVMRSurfaceAllocatorNotify9>()->AdviseSurfaceAllocator(1, nullptr);
            renderer = {};
            ++graphs_gone;
        }
        return 0;
    }

    ComPtr<IBaseFilter> renderer;
    ComPtr<TestPresenter> presenter;
    int graphs_gone = 0;

private:
    IDirect3DDevice9* m_device;
};

// The download manager's item store with one item: a file's bytes, of which
// `arrived` are there so far.
class ScriptedItemStore final : public IOstrelItemStore, public IOstrelItem {
public:
    ScriptedItemStore(const DWORD id[4], std::vector<BYTE> bytes, std::size_t arrived)
        : m_bytes(std::move(bytes)), m_arrived(arrived)
    {
        std::memcpy(m_id, id, sizeof m_id);
    }

    IOstrelItem* Lookup(const DWORD id[4], const char*) override
    {
        std::scoped_lock hold(m_lock);
        if (std::memcmp(id, m_id, sizeof m_id) != 0) return nullptr;
        ++lookups;
        return this;
    }
    void Release(const char*) override
    {
        std::scoped_lock hold(m_lock);
        --lookups;
    }
    LONG SegmentState(LONGLONG) override { return OSTREL_OK; }
    LONGLONG TotalSize() override { return LONGLONG(m_bytes.size()); }
    LONGLONG Downloaded() override
    {
        std::scoped_lock hold(m_lock);
        return LONGLONG(m_arrived);
    }
    LONG Read(LONGLONG offset, void* buffer, LONG size, LONG* read) override
    {
        std::scoped_lock hold(m_lock);
        *read = 0;
        if (offset >= LONGLONG(m_bytes.size())) return OSTREL_END_OF_CONTENT;
        if (offset >= LONGLONG(m_arrived)) return OSTREL_NOT_ARRIVED;
        const auto n = std::min<std::size_t>(std::size_t(size), m_arrived - std::size_t(offset));
        std::memcpy(buffer, m_bytes.data() + offset, n);
        *read = LONG(n);
        return OSTREL_OK;
    }
    void arrive_all()
    {
        std::scoped_lock hold(m_lock);
        m_arrived = m_bytes.size();
    }
    int outstanding()
    {
        std::scoped_lock hold(m_lock);
        return lookups;
    }

private:
    DWORD m_id[4];
    const std::vector<BYTE> m_bytes;
    std::mutex m_lock;
    std::size_t m_arrived;   // guarded by m_lock
    int lookups = 0;         // guarded by m_lock: lookups not yet released
};

void make_clip(const std::string& path, int seconds)
{
    const std::string d = std::to_string(seconds);
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=red:size=160x120:rate=25:duration=" + d +
                           " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" + d +
                           " -c:v mpeg4 -c:a libmp3lame -ac 2 '" + path + "'").c_str()),
              0);
}

bool reddish(DWORD argb)
{
    return ((argb >> 16) & 0xFF) > 0xC0 && ((argb >> 8) & 0xFF) < 0x40 && (argb & 0xFF) < 0x40;
}

}

TEST(RealPlay, AClipPlaysToItsEndOnTheSoundClock)
{
    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {FILTERS_MODULE, QUANDREL_MODULE, MOSSVEIL_MODULE}));
    plat::use_silent_audio(plat::SilentPace::RealTime);
    test::DeviceRig rig = test::make_device(16, 16);

    const std::string clip = folder / "red.mkv";
    make_clip(clip, 2);

    VideoLayer layer(rig.device.get());
    RegisterQuelmGraphNotify(&layer);
    IBaseControl* engine = CreateQuelmInstance();
    ASSERT_NE(engine, nullptr);
    fakes::EventLog log;
    engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);

    PlayTaskInfo task;
    task.local_path = plat::utf8_to_utf16(clip);
    const auto started = Clock::now();
    ASSERT_EQ(engine->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0), 1);
    ISampleReader* reader = nullptr;
    engine->SendCommand(CMD_SAMPLE_READER, &reader, nullptr, 0);
    EXPECT_NE(reader, nullptr) << "the sound passes the sample reader";
    if (reader) reader->Release();

    LONG ended = 0;
    EXPECT_TRUE(log.wait_for_any({EVT_COMPLETE, EVT_GRAPH_FAILED}, 30000, &ended));
    EXPECT_EQ(ended, EVT_COMPLETE);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_GT(seconds, 1.8) << "a two-second clip plays in real time";

    ASSERT_TRUE(layer.presenter);
    const auto shown = layer.presenter->shown();
    EXPECT_GE(shown.size(), 25u);
    for (const auto& s : shown) {
        EXPECT_TRUE(reddish(s.centre));
        // No picture comes before its time on the sound's clock.
        const double due = double(s.start - shown.front().start) / 1e7;
        EXPECT_GE(std::chrono::duration<double>(s.at - shown.front().at).count(), due - 0.08);
    }

    engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
    EXPECT_EQ(layer.graphs_gone, 1);
    engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);
    ReleaseQuelmInstance(engine);
    RegisterQuelmGraphNotify(nullptr);
    const auto codes = log.codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), EVT_START_PLAYING);
    EXPECT_EQ(log.count(EVT_COMPLETE), 1u);
    EXPECT_EQ(log.count(EVT_END_PLAYING), 1u);
    EXPECT_GE(log.count(EVT_DURATION), 1u);
    EXPECT_GE(log.count(EVT_POSITION), 1u);
    plat::use_silent_audio();
}

// Sound alone in containers that may hold video (a podcast's AAC in .m4a,
// .flv, .mkv): the sound plays to its end, and the kind tells the player
// there is no picture to show.
TEST(RealPlay, SoundAloneInAVideoContainerPlaysToItsEnd)
{
    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {FILTERS_MODULE, QUANDREL_MODULE, MOSSVEIL_MODULE}));
    plat::use_silent_audio(plat::SilentPace::RealTime);
    for (const char* name : {"tone.m4a", "tone.flv", "tone.mkv"}) {
        SCOPED_TRACE(name);
        const std::string file = folder / name;
        ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 "
                               "-c:a aac -ac 2 '" + file + "'").c_str()),
                  0);
        IBaseControl* engine = CreateQuelmInstance();
        ASSERT_NE(engine, nullptr);
        fakes::EventLog log;
        engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);
        PlayTaskInfo task;
        task.local_path = plat::utf8_to_utf16(file);
        EXPECT_EQ(engine->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0), 1);
        LONG kind = 0;
        engine->SendCommand(CMD_GET_MEDIA_KIND, &kind, nullptr, 0);
        EXPECT_GE(kind, 13);
        EXPECT_LE(kind, 16);
        ISampleReader* reader = nullptr;
        engine->SendCommand(CMD_SAMPLE_READER, &reader, nullptr, 0);
        EXPECT_NE(reader, nullptr) << "the visualisation reads the sound";
        if (reader) reader->Release();

        LONG ended = 0;
        EXPECT_TRUE(log.wait_for_any({EVT_COMPLETE, EVT_GRAPH_FAILED}, 30000, &ended));
        EXPECT_EQ(ended, EVT_COMPLETE);
        EXPECT_EQ(log.count(EVT_VIDEO_SIZE), 0u);
        engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
        engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);
        ReleaseQuelmInstance(engine);
    }
    plat::use_silent_audio();
}

TEST(RealPlay, AMissingFileFails)
{
    plat::TemporaryRegistry registry;
    ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {FILTERS_MODULE, QUANDREL_MODULE, MOSSVEIL_MODULE}));
    IBaseControl* engine = CreateQuelmInstance();
    fakes::EventLog log;
    engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);
    PlayTaskInfo task;
    task.local_path = u"/no/such/clip.mkv";
    EXPECT_EQ(engine->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0), -1);
    EXPECT_TRUE(log.wait_for_any({EVT_GRAPH_FAILED}, 5000));
    engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);
    ReleaseQuelmInstance(engine);
    EXPECT_EQ(log.count(EVT_COMPLETE), 0u);
}

TEST(RealPlay, AnAddressPlaysFromTheDownloadInTheItemStore)
{
    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {FILTERS_MODULE, QUANDREL_MODULE, MOSSVEIL_MODULE}));
    plat::use_silent_audio(plat::SilentPace::RealTime);
    const std::string clip = folder / "red.mkv";
    make_clip(clip, 2);
    std::ifstream in(clip, std::ios::binary);
    const std::vector<BYTE> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(bytes.size(), 1000u);

    const struct {
        const char* name;
        bool store;
        bool known;          // the store has a download of the item
        std::size_t arrived; // bytes there when play starts; the rest comes a moment later
        LONG ended;
    } cases[] = {
        {"the whole download is there", true, true, bytes.size(), EVT_COMPLETE},
        {"the rest arrives while it plays", true, true, bytes.size() / 3, EVT_COMPLETE},
        {"no download of the item", true, false, bytes.size(), EVT_GRAPH_FAILED},
        {"no item store", false, true, bytes.size(), EVT_GRAPH_FAILED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlayTaskInfo task;
        task.id[0] = 7;
        task.url = "http://127.0.0.1:9/red.mkv";
        const DWORD other[4] = {8, 0, 0, 0};
        ScriptedItemStore store(c.known ? task.id : other, bytes, c.arrived);

        IBaseControl* engine = CreateQuelmInstance();
        ASSERT_NE(engine, nullptr);
        fakes::EventLog log;
        engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);
        if (c.store) {
            EXPECT_EQ(engine->SendCommand(CMD_SET_ITEM_STORE, &store, nullptr, CONTROL_ASYNC), 0) << "a pointer is not queued";
            engine->SendCommand(CMD_SET_ITEM_STORE, static_cast<IOstrelItemStore*>(&store), nullptr, 0);
        }
        std::thread rest([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            store.arrive_all();
        });
        engine->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
        LONG ended = 0;
        EXPECT_TRUE(log.wait_for_any({EVT_COMPLETE, EVT_GRAPH_FAILED}, 30000, &ended));
        EXPECT_EQ(ended, c.ended);
        rest.join();
        if (c.ended == EVT_COMPLETE) {
            EXPECT_EQ(log.codes().front(), EVT_START_PLAYING);
            EXPECT_GE(log.count(EVT_POSITION), 1u);
        }
        engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
        EXPECT_EQ(store.outstanding(), 0) << "the engine lets go of the download it read";
        engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);
        ReleaseQuelmInstance(engine);
    }
    plat::use_silent_audio();
}

TEST(RealPlay, AStopEndsAWaitForBytesThatDoNotCome)
{
    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {FILTERS_MODULE, QUANDREL_MODULE, MOSSVEIL_MODULE}));
    const std::string clip = folder / "red.mkv";
    make_clip(clip, 2);
    std::ifstream in(clip, std::ios::binary);
    const std::vector<BYTE> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    PlayTaskInfo task;
    task.id[0] = 7;
    task.url = "http://127.0.0.1:9/red.mkv";
    ScriptedItemStore store(task.id, bytes, 100);   // the download stands after its first bytes
    IBaseControl* engine = CreateQuelmInstance();
    ASSERT_NE(engine, nullptr);
    engine->SendCommand(CMD_SET_ITEM_STORE, static_cast<IOstrelItemStore*>(&store), nullptr, 0);
    std::thread player([&] { engine->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0); });
    while (store.outstanding() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));   // the graph is waiting for the download
    engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);              // returns: the wait ended
    player.join();
    EXPECT_EQ(store.outstanding(), 0);
    ReleaseQuelmInstance(engine);
}

TEST(RealPlay, APauseForDataRefillsAndPlaysOnWhileTheUsersPauseHolds)
{
    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {FILTERS_MODULE, QUANDREL_MODULE, MOSSVEIL_MODULE}));
    plat::use_silent_audio(plat::SilentPace::RealTime);
    const std::string clip = folder / "red.mkv";
    make_clip(clip, 6);
    std::ifstream in(clip, std::ios::binary);
    const std::vector<BYTE> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    PlayTaskInfo task;
    task.id[0] = 7;
    task.url = "http://127.0.0.1:9/red.mkv";
    ScriptedItemStore store(task.id, bytes, bytes.size());
    IBaseControl* engine = CreateQuelmInstance();
    ASSERT_NE(engine, nullptr);
    fakes::EventLog log;
    engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);
    engine->SendCommand(CMD_SET_ITEM_STORE, static_cast<IOstrelItemStore*>(&store), nullptr, 0);
    ASSERT_EQ(engine->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0), 1);
    ASSERT_TRUE(log.wait_for_any({EVT_POSITION}, 10000));

    // The play controller's pause for a download that is behind: the engine plays on by itself.
    LONG behind = 1;
    engine->SendCommand(CMD_PAUSE, &behind, nullptr, 0);
    EXPECT_TRUE(log.wait_for_any({EVT_DATA_ARRIVED}, 10000));
    const auto resumed = [&] { return log.count(EVT_RUNNING) >= 2; };
    for (int i = 0; i < 100 && !resumed(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(resumed());
    EXPECT_EQ(log.count(EVT_BUFFERING), 1u);

    // The user's pause holds until the user plays.
    engine->SendCommand(CMD_PAUSE, nullptr, nullptr, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(log.count(EVT_RUNNING), 2u);
    LONG state = -1;
    engine->SendCommand(CMD_GET_PLAY_STATE, &state, nullptr, 0);
    EXPECT_EQ(state, 2);
    engine->SendCommand(CMD_RUN, nullptr, nullptr, 0);
    LONG ended = 0;
    EXPECT_TRUE(log.wait_for_any({EVT_COMPLETE, EVT_GRAPH_FAILED}, 30000, &ended));
    EXPECT_EQ(ended, EVT_COMPLETE);

    engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
    engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(&log), nullptr, 0);
    ReleaseQuelmInstance(engine);
    plat::use_silent_audio();
}
