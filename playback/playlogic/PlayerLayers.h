#pragma once
// The player's compose layer as the program makes it once at start-up: the
// video layer, the video source the video renderer presents to, and the
// visualisation drawn in the picture's place for sound alone. The video
// engines made while it lives tell the layer of each graph's renderer
// (attached when it joins the graph, let go when the graph goes).
//
// Made and destroyed on the UI thread; it outlives the play logic and every
// play controller, and the compose thread is stopped before it goes.

#include "components/common/controlengine/IBaseEventHandler.h"

#include "platform/com/ComPtr.h"

#include <functional>
#include <memory>

class CVideoSourceVMR9;
class CVisualizationSource;

namespace RenderEngine {
class D3D9Render;
}

namespace UI {

class uiVideoLayer;

class PlayerLayers final : private IBaseEventHandler {
public:
    // render gives the UI's device; it outlives the layers.
    explicit PlayerLayers(RenderEngine::D3D9Render* render);
    ~PlayerLayers();
    PlayerLayers(const PlayerLayers&) = delete;
    PlayerLayers& operator=(const PlayerLayers&) = delete;

    uiVideoLayer* Layer() const { return m_layer.get(); }
    CVisualizationSource* Visualization() const { return m_visualization.get(); }

    // Resets the device through `reset` (its result is returned): the video
    // source lets go of its Direct3D objects first, which would keep the
    // device from resetting, and afterwards the renderer attached to it hears
    // of the device. On the UI thread, under UIRenderMutex.
    bool ResetDevice(const std::function<bool()>& reset);

private:
    // The engine's graph notices, on the thread that builds or closes its graph.
    LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override;

    RenderEngine::D3D9Render* const m_render;   // the UI's device; outlives the layers
    std::unique_ptr<uiVideoLayer> m_layer;
    plat::ComPtr<CVideoSourceVMR9> m_source;   // the layer holds it too
    std::unique_ptr<CVisualizationSource> m_visualization;
};

}
