#include "platform/dshow/SourceSeeking.h"

CSourceSeeking::CSourceSeeking(IUnknown* owner, CCritSec* lock)
    : m_dwSeekingCaps(AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
                      AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration),
      m_pLock(lock), m_pOwner(owner)
{
}

HRESULT CSourceSeeking::GetCapabilities(DWORD* capabilities)
{
    if (!capabilities) return E_POINTER;
    *capabilities = m_dwSeekingCaps;
    return S_OK;
}

HRESULT CSourceSeeking::CheckCapabilities(DWORD* capabilities)
{
    if (!capabilities) return E_POINTER;
    const DWORD asked = *capabilities;
    *capabilities &= m_dwSeekingCaps;
    if (*capabilities == asked) return S_OK;
    return *capabilities ? S_FALSE : E_FAIL;
}

HRESULT CSourceSeeking::GetDuration(LONGLONG* duration)
{
    if (!duration) return E_POINTER;
    CAutoLock hold(m_pLock);
    *duration = m_rtDuration;
    return S_OK;
}

HRESULT CSourceSeeking::GetStopPosition(LONGLONG* stop)
{
    if (!stop) return E_POINTER;
    CAutoLock hold(m_pLock);
    *stop = m_rtStop;
    return S_OK;
}

HRESULT CSourceSeeking::SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop, DWORD stop_flags)
{
    const DWORD start_how = current ? current_flags & AM_SEEKING_PositioningBitsMask : AM_SEEKING_NoPositioning;
    const DWORD stop_how = stop ? stop_flags & AM_SEEKING_PositioningBitsMask : AM_SEEKING_NoPositioning;
    if (start_how == AM_SEEKING_IncrementalPositioning) return E_INVALIDARG;
    bool stop_changed;
    {
        CAutoLock hold(m_pLock);
        REFERENCE_TIME start = m_rtStart;
        if (start_how == AM_SEEKING_AbsolutePositioning) start = *current;
        else if (start_how == AM_SEEKING_RelativePositioning) start += *current;
        REFERENCE_TIME end = m_rtStop;
        if (stop_how == AM_SEEKING_AbsolutePositioning) end = *stop;
        else if (stop_how == AM_SEEKING_RelativePositioning) end += *stop;
        else if (stop_how == AM_SEEKING_IncrementalPositioning) end = start + *stop;
        if (start < 0 || end < start) return E_INVALIDARG;
        stop_changed = end != m_rtStop;
        m_rtStart = start;
        m_rtStop = end;
    }
    if (start_how != AM_SEEKING_NoPositioning) return ChangeStart();
    return stop_changed ? ChangeStop() : S_OK;
}

HRESULT CSourceSeeking::GetPositions(LONGLONG* current, LONGLONG* stop)
{
    CAutoLock hold(m_pLock);
    if (current) *current = m_rtStart;
    if (stop) *stop = m_rtStop;
    return S_OK;
}

HRESULT CSourceSeeking::GetAvailable(LONGLONG* earliest, LONGLONG* latest)
{
    CAutoLock hold(m_pLock);
    if (earliest) *earliest = 0;
    if (latest) *latest = m_rtDuration;
    return S_OK;
}

HRESULT CSourceSeeking::SetRate(double rate)
{
    if (!(rate > 0)) return E_INVALIDARG;
    {
        CAutoLock hold(m_pLock);
        m_dRateSeeking = rate;
    }
    return ChangeRate();
}

HRESULT CSourceSeeking::GetRate(double* rate)
{
    if (!rate) return E_POINTER;
    CAutoLock hold(m_pLock);
    *rate = m_dRateSeeking;
    return S_OK;
}
