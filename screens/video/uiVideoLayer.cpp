#include "screens/video/uiVideoLayer.h"

#include "playback/visualization/CVisualizationSource.h"
#include "toolkit/uimgr/uiMgr.h"

#include "platform/base/DebugLog.h"
#include "platform/d3d9/Direct3D.h"

#include <cstdio>
#include <string>

namespace UI {

namespace {

constexpr int64_t units_per_second = 10'000'000;
constexpr int64_t frames_per_second = 30;

std::string result_text(HRESULT hr)
{
    char text[32];
    std::snprintf(text, sizeof text, "result 0x%08X", unsigned(hr));
    return text;
}

}

uiVideoLayer::uiVideoLayer() : Singleton(this), window("") {}

uiVideoLayer::~uiVideoLayer() = default;

void uiVideoLayer::SetVideoSource(IDisplayVideoSource* source) { m_source = plat::ComPtr<IDisplayVideoSource>(source); }

void uiVideoLayer::SetPlayTime(int seconds)
{
    if (m_clock_mode != ClockVisualization) return;
    m_frame_count = 0;
    m_base_time = int64_t(seconds) * units_per_second;
}

void uiVideoLayer::SetVideoSize(float width, float height)
{
    if (height <= 0) return;
    m_video_width = width;
    m_video_height = height;
    m_aspect = width / height;
}

plat::ComPtr<IDirect3DTexture9> uiVideoLayer::GetTexture(fpoint* size)
{
    if (!m_source) {
        m_trace.Note("no frame: no video source");
        return {};
    }
    m_needs_redraw = false;
    plat::ComPtr<IDirect3DTexture9> texture;
    if (m_clock_mode == ClockVisualization) {
        if (!m_visualization) {
            m_trace.Note("no frame: no visualisation");
            return {};
        }
        texture = m_visualization->Texture();
        if (size) *size = {float(CVisualizationSource::texture_width), float(CVisualizationSource::texture_height)};
        // Keeps the compose server asking for frames at its rate.
        m_needs_redraw = true;
        m_trace.Note(texture ? "gives the visualisation's picture" : "no frame: the visualisation has none");
        return texture;
    }
    LONG width = 0, height = 0;
    float aspect = 0;
    if (const HRESULT hr = m_source->GetTexture(texture.put(), nullptr); FAILED(hr) || !texture) {
        m_trace.Note("no frame: the video source has none", result_text(hr));
        return {};
    }
    if (const HRESULT hr = m_source->GetVideoSize(&width, &height, &aspect); FAILED(hr)) {
        m_trace.Note("no frame: the video source knows no size", result_text(hr));
        return {};
    }
    if (size) *size = {float(width), float(height)};
    m_trace.Note("gives the video source's frame", std::to_string(width) + " x " + std::to_string(height));
    return texture;
}

void uiVideoLayer::AdvanceVisualization()
{
    if (!m_source || !m_visualization) return;
    ++m_frame_count;
    m_visualization->RenderFrame(int64_t(m_frame_count) * units_per_second / frames_per_second + m_base_time);
}

long uiVideoLayer::Render()
{
    if (m_clock_mode == ClockVisualization) AdvanceVisualization();
    GetTexture(nullptr);
    return 0;
}

long uiVideoLayer::OnDeviceEvent(DWORD code, intptr_t first, intptr_t)
{
    if (code == AttachGraphEvent) {
        if (!m_source) return -1;
        // Without the renderer the window never gets a frame: say so, for the
        // picture that does not come.
        const HRESULT hr = m_source->AttachGraph(reinterpret_cast<IBaseFilter*>(first));
        if (FAILED(hr)) plat::debug_log("video: the renderer was not attached: " + std::to_string(hr));
    } else if (code == DetachGraphEvent && m_source) {
        m_source->DetachGraph();
    }
    return 1;
}

long uiVideoLayer::SetLayerActive(bool active)
{
    Show(active);
    return 0;
}

long uiVideoLayer::InvalidateLayer(int)
{
    m_needs_redraw = true;
    return 0;
}

bool uiVideoLayer::NeedsRedraw()
{
    if (m_frame_arrived.exchange(false)) {
        Invalidate();
        if (widget* video = uiMgr::Instance().GetVideoWindow()) video->Invalidate();
    }
    return m_needs_redraw;
}

void uiVideoLayer::FramePresented()
{
    m_needs_redraw = true;
    m_frame_arrived = true;
}

}
