#pragma once
// CBaseFilter: the state machine, pin enumeration and graph membership of a
// DirectShow filter. Pins count their references on their filter.

#include "platform/com/ComPtr.h"
#include "platform/dshow/CritSec.h"
#include "platform/dshow/Interfaces.h"

#include <atomic>
#include <string>

class CBasePin;

class CBaseFilter : public IBaseFilter {
public:
    CBaseFilter(const WCHAR* name, CCritSec* lock, const CLSID& clsid);
    virtual ~CBaseFilter();

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    // Derived filters that add interfaces extend this.
    virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** object);

    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD timeout_ms, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;

    virtual int GetPinCount() = 0;
    // Not counted; null past the end.
    virtual CBasePin* GetPin(int n) = 0;

    // Reports an event to the graph; E_NOTIMPL outside a graph.
    HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
    bool IsStopped() const { return m_State == State_Stopped; }
    bool IsActive() const { return m_State != State_Stopped; }
    CCritSec* GetLock() const { return m_pLock; }
    // The clock's time less the start given to Run: where the stream should
    // be presenting now. VFW_E_NO_CLOCK without a clock.
    HRESULT StreamTime(REFERENCE_TIME& time);

protected:
    // Changed under *m_pLock; atomic because streaming threads ask IsStopped and GetState without it.
    std::atomic<FILTER_STATE> m_State{State_Stopped};
    REFERENCE_TIME m_tStart{0};            // guarded by *m_pLock
    plat::ComPtr<IReferenceClock> m_pClock;   // guarded by *m_pLock
    CCritSec* m_pLock;
    IFilterGraph* m_pGraph{nullptr};       // not counted: the graph owns us
    IMediaEventSink* m_pSink{nullptr};     // not counted, as m_pGraph
    std::u16string m_name;

private:
    const CLSID m_clsid;
    std::atomic<ULONG> m_ref{0};
};
