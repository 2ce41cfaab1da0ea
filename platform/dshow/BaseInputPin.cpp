#include "platform/dshow/BaseInputPin.h"

#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/MemAllocator.h"

#include <new>

CBaseInputPin::CBaseInputPin(const WCHAR* name, CBaseFilter* filter, CCritSec* lock, HRESULT* result)
    : CBasePin(name, filter, lock, result, PINDIR_INPUT)
{
}

HRESULT CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void** object)
{
    if (riid == IID_IMemInputPin) {
        *object = static_cast<IMemInputPin*>(this);
        AddRef();
        return S_OK;
    }
    return CBasePin::NonDelegatingQueryInterface(riid, object);
}

HRESULT CBaseInputPin::GetAllocator(IMemAllocator** allocator) try
{
    if (!allocator) return E_POINTER;
    CAutoLock hold(m_pLock);
    if (!m_pAllocator) m_pAllocator = plat::ComPtr<IMemAllocator>(new CMemAllocator());
    *allocator = m_pAllocator.get();
    (*allocator)->AddRef();
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL)
{
    if (!allocator) return E_POINTER;
    CAutoLock hold(m_pLock);
    m_pAllocator = plat::ComPtr<IMemAllocator>(allocator);
    return S_OK;
}

HRESULT CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT CBaseInputPin::CheckStreaming()
{
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    if (IsStopped()) return VFW_E_WRONG_STATE;
    if (m_bFlushing) return S_FALSE;
    return S_OK;
}

HRESULT CBaseInputPin::Receive(IMediaSample* sample) try
{
    if (!sample) return E_POINTER;
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample->GetMediaType(&changed) == S_OK && changed) {
        CMediaType type(*changed);
        DeleteMediaType(changed);
        if (CheckMediaType(&type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
        SetMediaType(&type);
    }
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CBaseInputPin::BeginFlush()
{
    m_bFlushing = true;
    return S_OK;
}

HRESULT CBaseInputPin::EndFlush()
{
    m_bFlushing = false;
    return S_OK;
}

HRESULT CBaseInputPin::EndOfStream() { return CheckStreaming(); }

HRESULT CBaseInputPin::BreakConnect()
{
    m_pAllocator.reset();
    return S_OK;
}

HRESULT CBaseInputPin::Inactive()
{
    m_bFlushing = false;
    return S_OK;
}
