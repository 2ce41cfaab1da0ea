#pragma once
// The picture shown for audio-only media: a 320 x 240 texture that the chosen
// effect redraws each frame from the sound at the play position.
//
// SetSampleReader runs on the logic thread, RenderFrame on the compose thread
// under UIRenderMutex; the reader and the visualisation are swapped under
// that mutex, so a frame never sees half a change.

#include "outside/filters/ISampleReader.h"
#include "playback/visualization/CVisualization.h"
#include "toolkit/render/VisualizationFrames.h"

#include "platform/com/ComPtr.h"
#include "platform/d3d9/Direct3D.h"

#include <array>
#include <memory>

namespace RenderEngine {
class D3D9Render;
}

class CVisualizationSource final : public VisualizationFrames {
public:
    static constexpr std::size_t buffer_bytes = 8192;

    // render gives the UI's device; it outlives the source.
    explicit CVisualizationSource(RenderEngine::D3D9Render* render);
    ~CVisualizationSource();

    // Makes the texture when there is none, a fresh visualisation in place of
    // the last one (effects listed, the first effect's second preset chosen
    // when it has one), and reads from reader from now on (counted; null
    // stops the drawing). Nothing changes without a device or a texture.
    void SetSampleReader(ISampleReader* reader);
    // Redraws the texture from the sound at position (100 ns units); a read
    // of nothing leaves the picture as it was.
    void RenderFrame(LONGLONG position) override;

    // The texture, counted; null before the first SetSampleReader.
    plat::ComPtr<IDirect3DTexture9> Texture() const override;
    // The choice table of the current visualisation; empty before one exists.
    std::vector<EffectTableEntry> EffectTable() const;
    // The effect the current visualisation draws with; null before one exists.
    const CVisEffect* Effect() const;

private:
    RenderEngine::D3D9Render* const m_render;
    // Guarded by UIRenderMutex:
    plat::ComPtr<IDirect3DTexture9> m_texture;
    std::unique_ptr<CVisualization> m_visualization;
    plat::ComPtr<ISampleReader> m_reader;
    // Compose thread only:
    std::array<std::byte, buffer_bytes> m_samples{};
};
