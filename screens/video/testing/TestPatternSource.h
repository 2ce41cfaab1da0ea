#pragma once
// A video source that shows a fixed picture: eight vertical colour bars over
// a grey ramp, in a texture of the size asked for. Tests and the video
// window's demo draw it where a playing video would be.

#include "playback/videosource/CVideoSource.h"

struct IDirect3DDevice9;

namespace test {

class TestPatternSource : public CVideoSource {
public:
    // The colour of bar i (0..7) as 0xAARRGGBB.
    static DWORD BarColour(int bar);

    // Counted: starts with one reference, which the caller owns. Null when
    // the device makes no texture. owner hears of each Present; may be null.
    static TestPatternSource* Create(IVideoSourceNotify* owner, IDirect3DDevice9* device, UINT width, UINT height);

    HRESULT GetTexture(IDirect3DTexture9** texture, VMR9NormalizedRect* coords) override;
    // Tells the owner as a presenting thread would.
    void Present();

private:
    explicit TestPatternSource(IVideoSourceNotify* owner) : CVideoSource(owner) {}
    bool Fill(IDirect3DDevice9* device, UINT width, UINT height);

    plat::ComPtr<IDirect3DTexture9> m_texture;
};

}
