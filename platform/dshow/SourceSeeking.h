#pragma once
// CSourceSeeking: IMediaSeeking for a source pin over a duration, a start and
// stop position and a rate, in media time. A change calls the derived class's
// hook (outside the lock), which repositions the stream.

#include "platform/dshow/CritSec.h"
#include "platform/dshow/MediaTimeSeeking.h"

class CSourceSeeking : public plat::MediaTimeSeeking {
public:
    // owner answers the IUnknown calls (the pin that exposes this); lock
    // guards the positions below.
    CSourceSeeking(IUnknown* owner, CCritSec* lock);

    HRESULT QueryInterface(REFIID riid, void** object) override { return m_pOwner->QueryInterface(riid, object); }
    ULONG AddRef() override { return m_pOwner->AddRef(); }
    ULONG Release() override { return m_pOwner->Release(); }

    HRESULT GetCapabilities(DWORD* capabilities) override;
    // S_OK when every asked capability is offered, S_FALSE when some are (the
    // word keeps those), E_FAIL when none is.
    HRESULT CheckCapabilities(DWORD* capabilities) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    // The position in the stream is the streaming pin's to know.
    HRESULT GetCurrentPosition(LONGLONG*) override { return E_NOTIMPL; }
    // Absolute or relative starts (a start given is a seek, even to where the
    // stream stands); absolute, relative or incremental (after the new start)
    // stops. A negative start or a stop before the start: E_INVALIDARG.
    HRESULT SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop, DWORD stop_flags) override;
    // The start position and the stop.
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    // Forward only: E_INVALIDARG unless the rate is above 0.
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;

protected:
    ~CSourceSeeking() = default;

    // Called after the positions changed: a new start wins over a new stop.
    virtual HRESULT ChangeStart() = 0;
    virtual HRESULT ChangeStop() = 0;
    virtual HRESULT ChangeRate() = 0;

    REFERENCE_TIME m_rtDuration{0};   // guarded by *m_pLock
    REFERENCE_TIME m_rtStart{0};      // guarded by *m_pLock
    REFERENCE_TIME m_rtStop{0};       // guarded by *m_pLock
    double m_dRateSeeking{1.0};       // guarded by *m_pLock
    DWORD m_dwSeekingCaps;
    CCritSec* const m_pLock;

private:
    IUnknown* const m_pOwner;
};
