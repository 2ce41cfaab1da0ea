#pragma once
// A video source that shows a fixed picture in a texture of the size asked
// for: eight vertical colour bars over a grey ramp, which tests probe, or an
// evening over the water, which the video window's demo shows where a
// playing video would be.

#include "toolkit/render/IDisplayVideoSource.h"

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"

#include <vector>

struct IDirect3DDevice9;

namespace test {

class TestPatternSource final : public plat::ComObject<IDisplayVideoSource> {
public:
    enum class Picture { Bars, Evening };

    // The colour of bar i (0..7) as 0xAARRGGBB.
    static DWORD BarColour(int bar);
    // The evening picture, row after row (0xFFRRGGBB); hour 0 to 1 moves the
    // sun from high in the afternoon down to the horizon.
    static std::vector<DWORD> EveningPixels(UINT width, UINT height, float hour);

    // Counted: starts with one reference, which the caller owns. Null when
    // the device makes no texture. owner hears of each Present; may be null.
    static TestPatternSource* Create(IVideoSourceNotify* owner, IDirect3DDevice9* device, UINT width, UINT height,
                                     Picture picture = Picture::Bars);

    HRESULT GetTexture(IDirect3DTexture9** texture, VMR9NormalizedRect* coords) override;
    HRESULT GetVideoSize(LONG* width, LONG* height, float* aspect) override;
    // Tells the owner as a presenting thread would.
    void Present();

    // No renderer feeds a pattern and it keeps no device resources.
    HRESULT GetGraph(IUnknown**) override { return E_NOTIMPL; }
    HRESULT AttachGraph(IBaseFilter*) override { return E_NOTIMPL; }
    HRESULT DetachGraph() override { return E_NOTIMPL; }
    HRESULT IsActive() override { return S_OK; }
    HRESULT SetFrameState(DWORD) override { return E_NOTIMPL; }
    HRESULT Close() override { return E_NOTIMPL; }
    HRESULT ChangeDevice(IUnknown*) override { return E_NOTIMPL; }

private:
    explicit TestPatternSource(IVideoSourceNotify* owner) : m_owner(owner) {}
    bool Fill(IDirect3DDevice9* device, UINT width, UINT height, Picture picture);

    IVideoSourceNotify* const m_owner;   // not counted: the owner outlives its source
    UINT m_width = 0;
    UINT m_height = 0;
    plat::ComPtr<IDirect3DTexture9> m_texture;
};

}
