#pragma once
// For tests of the video renderer: an allocator-presenter that makes its
// surfaces through the renderer's helper and keeps, for each picture it is
// given, its start, when it came, where the sound renderer stood then and
// the colour at its centre.

#include "platform/com/ComObject.h"
#include "platform/d3d9/tests/DeviceRig.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/Vmr9.h"

#include <chrono>
#include <mutex>
#include <vector>

namespace filters_testing {

// The red of the test clips' pictures, as decoded and converted to RGB.
inline bool reddish(DWORD argb)
{
    return ((argb >> 16) & 0xFF) > 0xC0 && ((argb >> 8) & 0xFF) < 0x40 && (argb & 0xFF) < 0x40;
}

class RecordingPresenter final : public plat::ComObject<IVMRSurfaceAllocator9, IVMRImagePresenter9> {
public:
    using Clock = std::chrono::steady_clock;
    struct Shown {
        REFERENCE_TIME start;
        Clock::time_point at;
        REFERENCE_TIME sound_at;   // the sound renderer's position when it came; 0 without one
        DWORD centre;
    };

    // Neither is counted: the renderer holds the presenter, the graph the sound renderer.
    explicit RecordingPresenter(IVMRSurfaceAllocatorNotify9* notify, ISinkPosition* sound = nullptr)
        : m_notify(notify), m_sound(sound)
    {
    }

    HRESULT InitializeDevice(DWORD_PTR, VMR9AllocationInfo* info, DWORD* buffers) override
    {
        m_surfaces.assign(*buffers, nullptr);
        allocation = *info;
        return m_notify->AllocateSurfaceHelper(info, buffers, m_surfaces.data());
    }
    HRESULT TerminateDevice(DWORD_PTR) override { return S_OK; }
    HRESULT GetSurface(DWORD_PTR, DWORD index, DWORD, IDirect3DSurface9** surface) override
    {
        if (index >= m_surfaces.size() || m_surfaces[index] == nullptr) return E_UNEXPECTED;
        *surface = m_surfaces[index];
        (*surface)->AddRef();
        return S_OK;
    }
    HRESULT AdviseNotify(IVMRSurfaceAllocatorNotify9*) override { return S_OK; }
    HRESULT StartPresenting(DWORD_PTR) override { return S_OK; }
    HRESULT StopPresenting(DWORD_PTR) override { return S_OK; }
    HRESULT PresentImage(DWORD_PTR, VMR9PresentationInfo* info) override
    {
        REFERENCE_TIME sound_at = 0;
        if (m_sound) m_sound->GetSinkPosition(&sound_at);
        D3DSURFACE_DESC desc{};
        info->lpSurf->GetDesc(&desc);
        const DWORD centre = test::pixel(info->lpSurf, int(desc.Width / 2), int(desc.Height / 2));
        std::scoped_lock hold(m_lock);
        m_shown.push_back({info->rtStart, Clock::now(), sound_at, centre});
        return S_OK;
    }

    std::vector<Shown> shown() const
    {
        std::scoped_lock hold(m_lock);
        return m_shown;
    }
    VMR9AllocationInfo allocation{};   // the last one asked for

private:
    ~RecordingPresenter() override
    {
        for (IDirect3DSurface9* s : m_surfaces)
            if (s) s->Release();
    }

    IVMRSurfaceAllocatorNotify9* const m_notify;
    ISinkPosition* const m_sound;
    std::vector<IDirect3DSurface9*> m_surfaces;
    mutable std::mutex m_lock;
    std::vector<Shown> m_shown;   // guarded by m_lock
};

}
