#include "screens/video/testing/TestPatternSource.h"

#include "platform/d3d9/D3DX.h"

namespace test {

DWORD TestPatternSource::BarColour(int bar)
{
    static constexpr DWORD bars[8] = {0xFFC0C0C0, 0xFFC0C000, 0xFF00C0C0, 0xFF00C000,
                                      0xFFC000C0, 0xFFC00000, 0xFF0000C0, 0xFF101010};
    return bars[bar & 7];
}

TestPatternSource* TestPatternSource::Create(IVideoSourceNotify* owner, IDirect3DDevice9* device, UINT width,
                                             UINT height)
{
    auto* source = new TestPatternSource(owner);
    if (!source->Fill(device, width, height)) {
        source->Release();
        return nullptr;
    }
    return source;
}

// Bars over the top three quarters, a grey ramp below them.
bool TestPatternSource::Fill(IDirect3DDevice9* device, UINT width, UINT height)
{
    if (!device || width == 0 || height == 0 ||
        FAILED(D3DXCreateTexture(device, width, height, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, m_texture.put())))
        return false;
    D3DLOCKED_RECT locked{};
    if (FAILED(m_texture->LockRect(0, &locked, nullptr, 0))) return false;
    for (UINT y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<DWORD*>(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < width; ++x) {
            const DWORD grey = DWORD(x * 255 / width);
            row[x] = y < height * 3 / 4 ? BarColour(int(x * 8 / width)) : 0xFF000000u | grey << 16 | grey << 8 | grey;
        }
    }
    m_texture->UnlockRect(0);
    m_width = width;
    m_height = height;
    m_aspect = float(width) / float(height);
    return true;
}

HRESULT TestPatternSource::GetTexture(IDirect3DTexture9** texture, VMR9NormalizedRect* coords)
{
    if (coords) *coords = m_coords;
    if (!texture) return S_OK;
    *texture = m_texture.get();
    if (*texture) (*texture)->AddRef();
    return S_OK;
}

void TestPatternSource::Present()
{
    if (m_owner) m_owner->FramePresented();
}

}
