#pragma once
// A stepped clock, a recording renderer and recording layers for the compose
// server's tests. The compose thread blocks in each sleep until the test lets
// the next frame run, so every frame is seen whole.

#include "playback/compose/ComposeClock.h"

#include "toolkit/render/render.h"
#include "toolkit/widgets/IUo.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// What the layers and the renderer did, in order, from any thread.
class CallLog {
public:
    void add(std::string entry);
    std::vector<std::string> take();

private:
    std::mutex m_lock;
    std::vector<std::string> m_entries;   // guarded by m_lock
};

class SteppedClock final : public ComposeClock {
public:
    std::int64_t counter() override;
    std::int64_t frequency() override { return 1'000'000; }   // microseconds
    // Records the sleep, then waits until the test lets another frame run.
    void sleep(DWORD milliseconds) override;

    // Time passing inside a frame (a layer's work).
    void advance_ms(std::int64_t milliseconds);
    // The next sleep lasts this much longer than asked.
    void overrun_next_sleep_ms(std::int64_t milliseconds);
    // Waits until the compose thread has slept `count` times in all.
    void wait_for_sleeps(std::size_t count);
    // Lets one more frame run and waits until it has slept.
    void step();
    // Every sleep returns at once from now on (before Stop).
    void open();
    std::vector<DWORD> sleeps();

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::int64_t m_now{5'000'000};        // guarded by m_lock, like every field below
    std::int64_t m_overrun{0};
    std::vector<DWORD> m_sleeps;
    std::size_t m_frames_allowed{0};
    bool m_open{false};
};

class RecordingRender final : public RenderEngine::render {
public:
    explicit RecordingRender(CallLog& log) : m_log(log) {}

    // BeginFrame answers these in turn, then S_OK.
    void script_begin(std::deque<int> results);

    int BeginFrame() override;
    int EndFrame() override;

    RenderEngine::backbuffer* CreateBackBuffer(unsigned, unsigned, bool) override { return nullptr; }
    int DrawBackBuffer(RenderEngine::backbuffer*, float, float, float, float, float,
                       RenderEngine::backbuffer*) override { return 0; }
    int DrawPicture(RenderEngine::picture*, float, float, float, float, float, RenderEngine::backbuffer*) override
    {
        return 0;
    }
    int DrawText(const WCHAR*, float, float, float, float, RenderEngine::fontstyle*,
                 RenderEngine::backbuffer*) override { return 0; }
    int BeginSwapChainFrame() override { return 0; }
    int PresentToWindow(HWND, RenderEngine::backbuffer*) override { return 0; }
    int SetClipRect(float, float, float, float) override { return 0; }
    int ClearRect(RenderEngine::backbuffer*, float, float, float, float, float, float, float, float) override
    {
        return 0;
    }
    int Clear(RenderEngine::backbuffer*, float, float, float, float) override { return 0; }

private:
    CallLog& m_log;
    std::mutex m_lock;
    std::deque<int> m_begin_results;   // guarded by m_lock
};

struct LayerSetup {
    long depth{0};
    long id{0};
    bool changed{true};        // NeedsRedraw's answer
    bool visible{true};
    bool wants_frame_notice{false};
    bool consumes_input{false};
    std::int64_t work_ms{0};   // time its NeedsRedraw takes
};

class RecordingLayer final : public IUo {
public:
    RecordingLayer(std::string name, CallLog& log, SteppedClock* clock, LayerSetup setup);
    ~RecordingLayer() override = default;

    void set_depth(long depth) { m_setup.depth = depth; }
    // Only while the compose thread waits in the clock, which orders the change before its next frame.
    void set_work_ms(std::int64_t work) { m_setup.work_ms = work; }

    long Render() override;
    long OnDeviceEvent(DWORD code, intptr_t first, intptr_t second) override;
    bool WantsEvent(DWORD code) override;
    bool IsLayerActive() override { return m_setup.visible; }
    bool NeedsRedraw() override;
    long LayerReserved1() override;
    long GetLayerOrder() override { return m_setup.depth; }
    long LayerReserved3() override { return m_setup.id; }
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    std::string m_name;
    CallLog& m_log;
    SteppedClock* m_clock;
    LayerSetup m_setup;
};
