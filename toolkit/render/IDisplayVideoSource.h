#pragma once
// The video source the video layer draws: a texture holding the current
// picture, the picture's size and aspect ratio, and the attaching of the
// renderer that feeds it. The layer (screens/video) draws it and the video
// sources (playback/videosource) implement it, so it lives below both, with
// the device its textures belong to.

#include "platform/dshow/Vmr9.h"

struct IBaseFilter;

inline constexpr IID IID_IDisplayVideoSource = plat::make_guid("{3C30D478-09B7-4915-9211-3624335C4BE3}");

struct IDisplayVideoSource : IUnknown {
    static constexpr const IID& iid = IID_IDisplayVideoSource;
    // The graph object the source keeps, counted; VFW_E_NOT_FOUND when none.
    virtual HRESULT GetGraph(IUnknown** graph) = 0;
    // The frame texture, counted (null when there is none yet), and the part of
    // it that holds the picture, in texture coordinates. Either out pointer may be null.
    virtual HRESULT GetTexture(IDirect3DTexture9** texture, VMR9NormalizedRect* coords) = 0;
    virtual HRESULT GetVideoSize(LONG* width, LONG* height, float* aspect) = 0;
    // Joins a renderer in a stopped graph; undoes itself on failure.
    virtual HRESULT AttachGraph(IBaseFilter* vmr9) = 0;
    // Lets the attached renderer go; its graph must be stopped.
    virtual HRESULT DetachGraph() = 0;
    // S_OK while active, else E_FAIL.
    virtual HRESULT IsActive() = 0;
    virtual HRESULT SetFrameState(DWORD state) = 0;
    // Releases the Direct3D resources, before the device is reset.
    virtual HRESULT Close() = 0;
    // Tells the attached renderer of the UI's device after a reset.
    virtual HRESULT ChangeDevice(IUnknown* device) = 0;

protected:
    ~IDisplayVideoSource() = default;
};

// Told after each presented frame, on the thread that presented it. The
// source holds no lock while it tells.
struct IVideoSourceNotify {
    virtual void FramePresented() = 0;

protected:
    ~IVideoSourceNotify() = default;
};
