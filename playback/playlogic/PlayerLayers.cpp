#include "playback/playlogic/PlayerLayers.h"

#include "outside/quelm/Quelm.h"
#include "playback/videosource/CVideoSourceVMR9.h"
#include "playback/visualization/CVisualizationSource.h"
#include "screens/video/uiVideoLayer.h"
#include "toolkit/render/D3D9Render.h"

namespace UI {

PlayerLayers::PlayerLayers(RenderEngine::D3D9Render* render)
    : m_render(render),
      m_layer(std::make_unique<uiVideoLayer>()),
      m_visualization(std::make_unique<CVisualizationSource>(render))
{
    m_source = plat::ComPtr<CVideoSourceVMR9>::adopt(new CVideoSourceVMR9(m_layer.get(), render));
    m_layer->SetVideoSource(m_source.get());
    m_layer->SetVisualizationSource(m_visualization.get());
    RegisterQuelmGraphNotify(this);
}

// The source's frames go before the layer it tells of them.
PlayerLayers::~PlayerLayers()
{
    RegisterQuelmGraphNotify(nullptr);
    m_source->Close();
    m_layer->SetVisualizationSource(nullptr);
    m_layer->SetVideoSource(nullptr);
}

bool PlayerLayers::ResetDevice(const std::function<bool()>& reset)
{
    m_source->Close();
    const bool done = reset();
    const auto device = plat::ComPtr<IDirect3DDevice9>::adopt(m_render ? m_render->GetDevice() : nullptr);
    if (device)
        m_source->ChangeDevice(device.get());
    return done;
}

LONG PlayerLayers::OnEvent(void*, LONG code, INT_PTR value, INT_PTR)
{
    if (code != uiVideoLayer::AttachGraphEvent && code != uiVideoLayer::DetachGraphEvent) return -1;
    m_layer->OnDeviceEvent(DWORD(code), value, 0);
    return 0;
}

}
