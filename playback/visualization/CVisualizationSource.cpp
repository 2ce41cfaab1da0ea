#include "CVisualizationSource.h"

#include "toolkit/render/D3D9Render.h"
#include "toolkit/widgets/CMutexGuard.h"

#include "platform/d3d9/D3DX.h"

namespace {

constexpr int second_preset_of_first_effect = 1001;

}

CVisualizationSource::CVisualizationSource(RenderEngine::D3D9Render* render) : m_render(render) {}

CVisualizationSource::~CVisualizationSource() = default;

void CVisualizationSource::SetSampleReader(ISampleReader* reader)
{
    // Listing and creating effects is slow: done before the frame lock is taken.
    auto visualization = std::make_unique<CVisualization>();
    visualization->Setup(RECT{0, 0, LONG(frame_width), LONG(frame_height)});
    const auto& table = visualization->Effect().Table();
    if (!table.empty() && table.front().preset_count >= 2) visualization->SetEffect(second_preset_of_first_effect);

    CMutexGuard hold(UIRenderMutex());
    if (!m_texture) {
        const auto device = plat::ComPtr<IDirect3DDevice9>::adopt(m_render ? m_render->GetDevice() : nullptr);
        if (!device || FAILED(D3DXCreateTexture(device.get(), frame_width, frame_height, 1, 0, D3DFMT_X8R8G8B8,
                                                D3DPOOL_MANAGED, m_texture.put())))
            return;
    }
    m_visualization = std::move(visualization);
    m_reader = plat::ComPtr<ISampleReader>(reader);
}

void CVisualizationSource::RenderFrame(LONGLONG position)
{
    CMutexGuard hold(UIRenderMutex());   // taken again by the compose thread: the mutex is recursive
    if (!m_reader || !m_visualization) return;
    m_samples.fill(std::byte{0});
    const LONG read = m_reader->Read(position, reinterpret_cast<BYTE*>(m_samples.data()), LONG(buffer_bytes));
    if (read <= 0) return;
    const std::size_t bytes = std::min<std::size_t>(std::size_t(read), buffer_bytes);
    plat::ComPtr<IDirect3DSurface9> level;
    if (FAILED(m_texture->GetSurfaceLevel(0, level.put()))) return;
    HDC dc = nullptr;
    if (FAILED(level->GetDC(&dc))) return;
    m_visualization->Render(std::span<const std::byte>(m_samples.data(), bytes), dc);
    level->ReleaseDC(dc);
}

plat::ComPtr<IDirect3DTexture9> CVisualizationSource::Texture() const
{
    CMutexGuard hold(UIRenderMutex());
    return m_texture;
}

std::vector<EffectTableEntry> CVisualizationSource::EffectTable() const
{
    CMutexGuard hold(UIRenderMutex());
    return m_visualization ? m_visualization->Effect().Table() : std::vector<EffectTableEntry>{};
}

const CVisEffect* CVisualizationSource::Effect() const
{
    CMutexGuard hold(UIRenderMutex());
    return m_visualization ? &m_visualization->Effect() : nullptr;
}
