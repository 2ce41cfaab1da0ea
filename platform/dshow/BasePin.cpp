#include "platform/dshow/BasePin.h"

#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/Enumerators.h"

#include <algorithm>

CBasePin::CBasePin(const WCHAR* name, CBaseFilter* filter, CCritSec* lock, HRESULT*, PIN_DIRECTION direction)
    : m_pFilter(filter), m_pLock(lock), m_name(name ? name : u""), m_dir(direction)
{
}

CBasePin::~CBasePin() = default;

HRESULT CBasePin::QueryInterface(REFIID riid, void** object)
{
    if (!object) return E_POINTER;
    return NonDelegatingQueryInterface(riid, object);
}

ULONG CBasePin::AddRef() { return m_pFilter->AddRef(); }
ULONG CBasePin::Release() { return m_pFilter->Release(); }

HRESULT CBasePin::NonDelegatingQueryInterface(REFIID riid, void** object)
{
    if (riid == IID_IUnknown || riid == IID_IPin) {
        *object = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

bool CBasePin::IsStopped() const { return m_pFilter->IsStopped(); }

HRESULT CBasePin::GetMediaType(int, CMediaType*) { return E_UNEXPECTED; }

HRESULT CBasePin::SetMediaType(const CMediaType* type)
{
    m_mt = *type;
    return S_OK;
}

HRESULT CBasePin::CheckConnect(IPin* pin)
{
    PIN_DIRECTION other;
    HRESULT hr = pin->QueryDirection(&other);
    if (FAILED(hr)) return hr;
    return other == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin*) { return S_OK; }
HRESULT CBasePin::BreakConnect() { return S_OK; }
HRESULT CBasePin::Active() { return S_OK; }
HRESULT CBasePin::Inactive() { return S_OK; }

HRESULT CBasePin::AttemptConnection(IPin* receive_pin, const CMediaType& type)
{
    HRESULT hr = CheckConnect(receive_pin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    if (CheckMediaType(&type) != S_OK) {
        BreakConnect();
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    m_Connected = plat::ComPtr<IPin>(receive_pin);
    hr = SetMediaType(&type);
    if (SUCCEEDED(hr)) hr = receive_pin->ReceiveConnection(this, &type);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(receive_pin);
        if (SUCCEEDED(hr)) return S_OK;
        receive_pin->Disconnect();
    }
    m_Connected.reset();
    BreakConnect();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CBasePin::TryMediaTypes(IPin* receive_pin, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types)
{
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    AM_MEDIA_TYPE* offered = nullptr;
    ULONG fetched = 0;
    while (types->Next(1, &offered, &fetched) == S_OK && fetched == 1) {
        CMediaType candidate;
        bool copied = SUCCEEDED(CopyMediaType(&candidate, offered));
        DeleteMediaType(offered);
        if (!copied) return E_OUTOFMEMORY;
        if (partial && !candidate.MatchesPartial(*partial)) continue;
        HRESULT hr = AttemptConnection(receive_pin, candidate);
        if (SUCCEEDED(hr)) return hr;
        last = hr;
    }
    return last;
}

HRESULT CBasePin::AgreeMediaType(IPin* receive_pin, const AM_MEDIA_TYPE* partial)
{
    if (partial && !(partial->majortype == GUID_NULL) && !(partial->subtype == GUID_NULL) &&
        !(partial->formattype == GUID_NULL))
        return AttemptConnection(receive_pin, CMediaType(*partial));
    // The receiver's preferences first, then ours.
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    for (IPin* owner : {receive_pin, static_cast<IPin*>(this)}) {
        plat::ComPtr<IEnumMediaTypes> types;
        if (FAILED(owner->EnumMediaTypes(types.put())) || !types) continue;
        HRESULT hr = TryMediaTypes(receive_pin, partial, types.get());
        if (SUCCEEDED(hr)) return hr;
        if (hr != VFW_E_NO_ACCEPTABLE_TYPES) last = hr;
    }
    return last;
}

HRESULT CBasePin::Connect(IPin* receive_pin, const AM_MEDIA_TYPE* type) try
{
    if (!receive_pin) return E_POINTER;
    CAutoLock hold(m_pLock);
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    return AgreeMediaType(receive_pin, type);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) try
{
    if (!connector || !type) return E_POINTER;
    CAutoLock hold(m_pLock);
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    HRESULT hr = CheckConnect(connector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    CMediaType offered(*type);
    if (CheckMediaType(&offered) != S_OK) {
        BreakConnect();
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    m_Connected = plat::ComPtr<IPin>(connector);
    hr = SetMediaType(&offered);
    if (SUCCEEDED(hr)) hr = CompleteConnect(connector);
    if (SUCCEEDED(hr)) return S_OK;
    m_Connected.reset();
    BreakConnect();
    return hr;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CBasePin::Disconnect()
{
    CAutoLock hold(m_pLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    if (!m_Connected) return S_FALSE;
    BreakConnect();
    m_Connected.reset();
    return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pin)
{
    if (!pin) return E_POINTER;
    CAutoLock hold(m_pLock);
    *pin = m_Connected.get();
    if (!*pin) return VFW_E_NOT_CONNECTED;
    (*pin)->AddRef();
    return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type)
{
    if (!type) return E_POINTER;
    CAutoLock hold(m_pLock);
    if (!m_Connected) {
        *type = CMediaType();
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(type, &m_mt);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info)
{
    if (!info) return E_POINTER;
    info->pFilter = m_pFilter;
    m_pFilter->AddRef();
    info->dir = m_dir;
    std::size_t n = std::min<std::size_t>(m_name.size(), MAX_PIN_NAME - 1);
    std::copy_n(m_name.data(), n, info->achName);
    info->achName[n] = 0;
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* direction)
{
    if (!direction) return E_POINTER;
    *direction = m_dir;
    return S_OK;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) try
{
    if (!type) return E_POINTER;
    CMediaType offered(*type);
    return CheckMediaType(&offered) == S_OK ? S_OK : S_FALSE;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** types) try
{
    if (!types) return E_POINTER;
    std::vector<CMediaType> list;
    for (int i = 0;; ++i) {
        CMediaType t;
        if (GetMediaType(i, &t) != S_OK) break;
        list.push_back(std::move(t));
    }
    *types = new plat::MediaTypeEnumerator(std::move(list));
    (*types)->AddRef();
    return S_OK;
} catch (const std::bad_alloc&) {
    *types = nullptr;
    return E_OUTOFMEMORY;
}

HRESULT CBasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    m_tStart = start;
    m_tStop = stop;
    m_dRate = rate;
    return S_OK;
}
