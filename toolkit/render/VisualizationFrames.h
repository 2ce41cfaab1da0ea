#pragma once
// What the video layer draws in its visualisation clock mode: a picture of a
// fixed size that its maker redraws from the sound at a play position. The
// layer (screens/video) draws it and the visualisation (playback/visualization)
// makes it, so it lives below both, with the device its texture belongs to.

#include "platform/com/ComPtr.h"
#include "platform/d3d9/Direct3D.h"

class VisualizationFrames {
public:
    static constexpr UINT frame_width = 320;
    static constexpr UINT frame_height = 240;

    // Redraws the picture from the sound at position (100 ns units).
    virtual void RenderFrame(LONGLONG position) = 0;
    // The picture, counted; null while there is none.
    virtual plat::ComPtr<IDirect3DTexture9> Texture() const = 0;

protected:
    ~VisualizationFrames() = default;
};
