#pragma once
// The holder of the current video source, a layer of the compose server. The
// video play window takes the frame texture from it and draws it inside its
// frame; the layer draws nothing itself.
//
// In clock mode 1 frames come from the video source. In clock mode 2 the
// visualisation produces them: the layer's Render advances it by one frame
// of 1/30 s per compose cycle from the base time SetPlayTime gave, and
// GetTexture reads the frame drawn last, so a cycle advances it once.
//
// Render, NeedsRedraw and GetTexture run on the compose thread under
// UIRenderMutex; the setters on the UI or logic thread under the same lock;
// FramePresented on the thread the source presents on, touching only atomic
// flags: the widgets are invalidated by the next NeedsRedraw, on the compose
// thread.

#include "screens/video/DrawTrace.h"
#include "screens/video/Singleton.h"

#include "playback/videosource/IDisplayVideoSource.h"
#include "toolkit/widgets/window.h"

#include "platform/com/ComPtr.h"

#include <atomic>
#include <cstdint>

class CVisualizationSource;

namespace UI {

class uiVideoLayer : public Singleton<uiVideoLayer>, public window, public IVideoSourceNotify {
public:
    static constexpr int ClockVideo = 1;
    static constexpr int ClockVisualization = 2;
    static constexpr DWORD AttachGraphEvent = 0x10000;
    static constexpr DWORD DetachGraphEvent = 0x10001;

    uiVideoLayer();
    ~uiVideoLayer() override;

    // Counted; null lets the source go.
    void SetVideoSource(IDisplayVideoSource* source);
    // Not owned: it lives as long as the program's player.
    void SetVisualizationSource(CVisualizationSource* source) { m_visualization = source; }
    void SetClockMode(int mode) { m_clock_mode = mode; }
    int GetClockMode() const { return m_clock_mode; }
    // Clock mode 2 only: the produced frames start again at seconds.
    void SetPlayTime(int seconds);
    void SetDisplayMode(int mode) { m_display_mode = mode; }
    int GetDisplayMode() const { return m_display_mode; }
    // A height of 0 or less is no size and is ignored.
    void SetVideoSize(float width, float height);
    float GetAspect() const { return m_aspect; }

    // The current frame texture (counted) and its size, or null.
    plat::ComPtr<IDirect3DTexture9> GetTexture(fpoint* size);

    long Render() override;
    // 0x10000 attaches the filter graph given as first (-1 without a source),
    // 0x10001 detaches it; 1 otherwise.
    long OnDeviceEvent(DWORD code, intptr_t first, intptr_t second) override;
    long SetLayerActive(bool active) override;
    bool IsLayerActive() override { return IsVisible(); }
    long InvalidateLayer(int flag) override;
    // Also invalidates the layer and the video window when a frame came since the last poll.
    bool NeedsRedraw() override;

    void FramePresented() override;

private:
    void AdvanceVisualization();

    DrawTrace m_trace{"video layer"};   // compose thread only
    plat::ComPtr<IDisplayVideoSource> m_source;
    CVisualizationSource* m_visualization{nullptr};
    int32_t m_frame_count{0};           // frames produced since the base time
    int64_t m_base_time{0};             // 100 ns units
    int m_clock_mode{ClockVideo};
    int m_display_mode{2};
    float m_video_width{0};
    float m_video_height{0};
    float m_aspect{4.0f / 3.0f};
    std::atomic<bool> m_needs_redraw{false};
    std::atomic<bool> m_frame_arrived{false};
};

}
