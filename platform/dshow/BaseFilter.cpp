#include "platform/dshow/BaseFilter.h"

#include "platform/base/Utf.h"
#include "platform/dshow/BasePin.h"
#include "platform/dshow/Enumerators.h"

#include <algorithm>

namespace {

void copy_name(WCHAR* target, std::size_t capacity, const std::u16string& name)
{
    std::size_t n = std::min(name.size(), capacity - 1);
    std::copy_n(name.data(), n, target);
    target[n] = 0;
}

}

CBaseFilter::CBaseFilter(const WCHAR* name, CCritSec* lock, const CLSID& clsid)
    : m_pLock(lock), m_name(name ? name : u""), m_clsid(clsid)
{
}

CBaseFilter::~CBaseFilter() = default;

HRESULT CBaseFilter::QueryInterface(REFIID riid, void** object)
{
    if (!object) return E_POINTER;
    return NonDelegatingQueryInterface(riid, object);
}

ULONG CBaseFilter::AddRef() { return ++m_ref; }

ULONG CBaseFilter::Release()
{
    ULONG left = --m_ref;
    if (left == 0) delete this;
    return left;
}

HRESULT CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** object)
{
    if (riid == IID_IUnknown || riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist) {
        *object = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CBaseFilter::GetClassID(CLSID* clsid)
{
    if (!clsid) return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT CBaseFilter::Stop()
{
    CAutoLock hold(m_pLock);
    HRESULT result = S_OK;
    if (m_State != State_Stopped) {
        for (int i = 0, n = GetPinCount(); i < n; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                HRESULT hr = pin->Inactive();
                if (FAILED(hr) && SUCCEEDED(result)) result = hr;
            }
        }
    }
    m_State = State_Stopped;
    return result;
}

HRESULT CBaseFilter::Pause()
{
    CAutoLock hold(m_pLock);
    if (m_State == State_Stopped) {
        for (int i = 0, n = GetPinCount(); i < n; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                HRESULT hr = pin->Active();
                if (FAILED(hr)) return hr;
            }
        }
    }
    m_State = State_Paused;
    return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME start)
{
    CAutoLock hold(m_pLock);
    m_tStart = start;
    if (m_State == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    m_State = State_Running;
    return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD, FILTER_STATE* state)
{
    if (!state) return E_POINTER;
    *state = m_State;
    return S_OK;
}

HRESULT CBaseFilter::SetSyncSource(IReferenceClock* clock)
{
    CAutoLock hold(m_pLock);
    m_pClock = plat::ComPtr<IReferenceClock>(clock);
    return S_OK;
}

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** clock)
{
    if (!clock) return E_POINTER;
    CAutoLock hold(m_pLock);
    *clock = m_pClock.get();
    if (*clock) (*clock)->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::StreamTime(REFERENCE_TIME& time)
{
    CAutoLock hold(m_pLock);
    if (!m_pClock) return VFW_E_NO_CLOCK;
    REFERENCE_TIME now = 0;
    HRESULT hr = m_pClock->GetTime(&now);
    if (FAILED(hr)) return hr;
    time = now - m_tStart;
    return S_OK;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** pins) try
{
    if (!pins) return E_POINTER;
    std::vector<plat::ComPtr<IPin>> list;
    {
        CAutoLock hold(m_pLock);
        for (int i = 0, n = GetPinCount(); i < n; ++i)
            if (CBasePin* pin = GetPin(i)) list.emplace_back(pin);
    }
    *pins = new plat::PinEnumerator(std::move(list));
    (*pins)->AddRef();
    return S_OK;
} catch (const std::bad_alloc&) {
    *pins = nullptr;
    return E_OUTOFMEMORY;
}

HRESULT CBaseFilter::FindPin(LPCWSTR id, IPin** pin)
{
    if (!id || !pin) return E_POINTER;
    CAutoLock hold(m_pLock);
    std::u16string_view wanted(id, plat::wide_length(id));
    for (int i = 0, n = GetPinCount(); i < n; ++i) {
        CBasePin* candidate = GetPin(i);
        if (candidate && candidate->Name() == wanted) {
            *pin = candidate;
            candidate->AddRef();
            return S_OK;
        }
    }
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* info)
{
    if (!info) return E_POINTER;
    copy_name(info->achName, MAX_FILTER_NAME, m_name);
    info->pGraph = m_pGraph;
    if (m_pGraph) m_pGraph->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name)
{
    CAutoLock hold(m_pLock);
    m_pGraph = graph;
    m_pSink = nullptr;
    if (graph) {
        IMediaEventSink* sink = nullptr;
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))) && sink) {
            m_pSink = sink;
            sink->Release();   // kept uncounted: the graph outlives its members
        }
    }
    if (name) m_name.assign(name, plat::wide_length(name));
    return S_OK;
}

HRESULT CBaseFilter::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    IMediaEventSink* sink = m_pSink;
    if (!sink) return E_NOTIMPL;
    return sink->Notify(code, param1, param2);
}
