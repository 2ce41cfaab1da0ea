#include "VMRServer.h"

#include "ComposeClock.h"
#include "FrameStopwatch.h"

#include "toolkit/render/render.h"
#include "toolkit/widgets/CMutexGuard.h"

#include "platform/d3d9/Direct3D.h"
#include "platform/sync/Event.h"
#include "platform/sync/Thread.h"

#include <algorithm>

namespace {

constexpr DWORD frame_budget_ms = 33;
// A previous sleep that ran this long or longer means the thread is behind.
constexpr DWORD overslept_ms = 35;

}

VMRServer::VMRServer() : VMRServer(make_system_compose_clock()) {}

VMRServer::VMRServer(std::unique_ptr<ComposeClock> clock)
    : m_clock(std::move(clock)),
      m_stopwatch(std::make_unique<FrameStopwatch>(*m_clock)),
      m_stop(std::make_unique<plat::Event>(plat::EventReset::Auto, plat::EventState::Clear)),
      m_thread(std::make_unique<plat::Thread>())
{
}

VMRServer::~VMRServer() { Stop(); }

bool VMRServer::Start(RenderEngine::render* render)
{
    if (m_thread->joinable()) return true;
    m_render = render;
    m_stop->reset();
    m_thread = std::make_unique<plat::Thread>();   // a joined thread cannot start again
    m_thread->start([this] { return ComposeThread(); });
    return true;
}

void VMRServer::Stop()
{
    if (!m_thread->joinable()) return;
    m_stop->set();
    m_thread->join();
}

DWORD VMRServer::ComposeThread()
{
    m_stopwatch->start();
    do {
        ComposeFrame();
    } while (m_stop->wait(0) != WAIT_OBJECT_0);
    return 0;
}

void VMRServer::ComposeFrame()
{
    const DWORD since_last_frame = m_stopwatch->lap();
    {
        CMutexGuard hold(UIRenderMutex());
        if (UpdateLayers()) Render();
    }
    const DWORD work = m_stopwatch->lap();
    const bool on_time = work < frame_budget_ms && since_last_frame < overslept_ms;
    m_clock->sleep(on_time ? frame_budget_ms - work : 0);
}

bool VMRServer::UpdateLayers()
{
    bool changed = false;
    for (IUo* layer : m_layers) changed = layer->NeedsRedraw() || changed;   // every layer advances
    return changed;
}

bool VMRServer::BeginFrame()
{
    if (!m_render) return true;
    const int result = m_render->BeginFrame();
    if (result == D3DERR_DEVICENOTRESET) {
        notify_layers(device_reset_notice, false);
        return m_render->BeginFrame() >= 0;
    }
    return result != D3DERR_DEVICELOST;
}

long VMRServer::Render()
{
    if (!BeginFrame()) return 0;
    for (IUo* layer : m_layers) {
        if (layer->IsLayerActive()) layer->Render();
    }
    if (m_render) m_render->EndFrame();
    notify_layers(frame_presented_notice, true);
    return 0;
}

void VMRServer::notify_layers(DWORD code, bool only_those_who_want_it)
{
    for (IUo* layer : m_layers) {
        if (!only_those_who_want_it || layer->WantsEvent(code)) layer->OnDeviceEvent(code, 0, 0);
    }
}

long VMRServer::AddLayer(IUo* layer)
{
    CMutexGuard hold(UIRenderMutex());
    const long depth = layer->GetLayerOrder();
    const auto place = std::find_if(m_layers.begin(), m_layers.end(),
                                    [depth](IUo* other) { return other->GetLayerOrder() < depth; });
    m_layers.insert(place, layer);
    return 0;
}

long VMRServer::RemoveLayer(IUo* layer)
{
    CMutexGuard hold(UIRenderMutex());
    const auto found = std::find(m_layers.begin(), m_layers.end(), layer);
    if (found != m_layers.end()) m_layers.erase(found);
    return 0;
}

long VMRServer::MoveLayer(IUo* layer)
{
    CMutexGuard hold(UIRenderMutex());   // no frame sees the layer missing
    RemoveLayer(layer);
    AddLayer(layer);
    return 0;
}

long VMRServer::MoveLayerAndReset(IUo* layer)
{
    MoveLayer(layer);
    layer->LayerReserved1();
    return 0;
}

IUo* VMRServer::FindLayer(long id) const
{
    const auto found =
        std::find_if(m_layers.begin(), m_layers.end(), [id](IUo* layer) { return layer->LayerReserved3() == id; });
    return found == m_layers.end() ? nullptr : *found;
}

long VMRServer::HitTest(UINT kind, WPARAM word1, LPARAM word2)
{
    for (auto it = m_layers.rbegin(); it != m_layers.rend(); ++it) {
        if ((*it)->OnMessage(kind, word1, word2) != 0) break;
    }
    return 0;
}
