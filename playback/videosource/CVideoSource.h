#pragma once
// The common base of the video sources: picture size and aspect, the texture
// coordinates, the active flag, the frame state and the owner told of frames.
// Its texture, graph, close and device operations do nothing.

#include "toolkit/render/IDisplayVideoSource.h"

#include "platform/com/ComPtr.h"

#include <atomic>

class CVideoSource : public IDisplayVideoSource {
public:
    explicit CVideoSource(IVideoSourceNotify* owner);
    CVideoSource(const CVideoSource&) = delete;
    CVideoSource& operator=(const CVideoSource&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetGraph(IUnknown** graph) override;
    HRESULT GetTexture(IDirect3DTexture9** texture, VMR9NormalizedRect* coords) override;
    HRESULT GetVideoSize(LONG* width, LONG* height, float* aspect) override;
    HRESULT AttachGraph(IBaseFilter* vmr9) override;
    HRESULT DetachGraph() override;
    HRESULT IsActive() override;
    HRESULT SetFrameState(DWORD state) override;
    HRESULT Close() override;
    HRESULT ChangeDevice(IUnknown* device) override;

    // 2 once a frame was copied; what SetFrameState stored otherwise.
    ULONGLONG FrameState() const { return m_frame_state; }

protected:
    virtual ~CVideoSource();
    // The interfaces this object answers besides IUnknown; null for others.
    virtual void* NonDelegatingQueryInterface(REFIID riid);

    IVideoSourceNotify* const m_owner;   // not counted: the owner outlives its source
    std::atomic<DWORD> m_width{0};
    std::atomic<DWORD> m_height{0};
    std::atomic<float> m_aspect{0.0f};
    const VMR9NormalizedRect m_coords{0.0f, 0.0f, 1.0f, 1.0f};
    plat::ComPtr<IBaseFilter> m_vmr9;        // UI thread only
    std::atomic<bool> m_active{true};
    std::atomic<ULONGLONG> m_frame_state{0};

private:
    std::atomic<ULONG> m_refs{1};
};
