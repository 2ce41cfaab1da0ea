#pragma once
// The compose server: one thread draws every layer into one Direct3D scene
// about 30 times a second, under UIRenderMutex, and only when some layer
// reports a change. It also tells the layers when the device must be reset
// and offers them input from the top down.
//
// Layers are the widget core's IUo objects; the server calls these slots:
// Render (draw), OnDeviceEvent (0x10002 frame presented, 0x10003 reset the
// device), WantsEvent, IsLayerActive (visible), NeedsRedraw (advance; true
// when a redraw is needed), LayerReserved1 (reset, after a move),
// GetLayerOrder (depth; larger is further back), LayerReserved3 (the id
// FindLayer looks for) and OnMessage (input; nonzero when consumed).

#include "toolkit/widgets/IUo.h"

#include <memory>
#include <vector>

class ComposeClock;
class FrameStopwatch;

namespace RenderEngine {
class render;
}

namespace plat {
class Event;
class Thread;
}

inline constexpr DWORD frame_presented_notice = 0x10002;
inline constexpr DWORD device_reset_notice = 0x10003;

class VMRServer final : public IUo {
public:
    VMRServer();
    // Tests pace the compose thread by a clock of their own.
    explicit VMRServer(std::unique_ptr<ComposeClock> clock);

    // One frame: BeginFrame, every visible layer, EndFrame, then the frame
    // notice. Called by the compose thread under UIRenderMutex.
    long Render() override;

    // Takes the layer out and puts it back where its depth now belongs.
    long MoveLayer(IUo* layer);
    // Before the first layer of smaller depth: equal depths keep their order of
    // arrival. The list does not own its layers; the same layer may be added twice.
    long AddLayer(IUo* layer);
    // Removes the first entry equal to layer; nothing when it is absent.
    long RemoveLayer(IUo* layer);
    // The first layer whose id is id; null when none. Without the lock: the
    // caller is the thread that changes the list (the UI thread).
    IUo* FindLayer(long id) const;
    // Offers input to the layers from the top (the last) down until one
    // consumes it. Always 0. Without the lock, as FindLayer.
    long HitTest(UINT kind, WPARAM word1, LPARAM word2);
    long MoveLayerAndReset(IUo* layer);

    // Draws through render from now on and starts the compose thread. A
    // second Start while the thread runs changes nothing. Always true.
    bool Start(RenderEngine::render* render);
    // Stops the compose thread and waits for it, so the layers and the
    // renderer may go as soon as it returns.
    void Stop();

private:
    ~VMRServer() override;

    DWORD ComposeThread();
    void ComposeFrame();
    bool UpdateLayers();
    bool BeginFrame();
    void notify_layers(DWORD code, bool only_those_who_want_it);

    std::vector<IUo*> m_layers;                 // changed under UIRenderMutex, read under it by the compose thread
    RenderEngine::render* m_render{nullptr};    // set by Start before the thread runs
    std::unique_ptr<ComposeClock> m_clock;
    std::unique_ptr<FrameStopwatch> m_stopwatch;   // compose thread only
    std::unique_ptr<plat::Event> m_stop;        // auto-reset; tested between frames
    std::unique_ptr<plat::Thread> m_thread;     // last: joined before the rest go
};
