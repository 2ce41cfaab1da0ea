#include "platform/dshow/BaseOutputPin.h"

#include "platform/dshow/MemAllocator.h"

#include <new>

CBaseOutputPin::CBaseOutputPin(const WCHAR* name, CBaseFilter* filter, CCritSec* lock, HRESULT* result)
    : CBasePin(name, filter, lock, result, PINDIR_OUTPUT)
{
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin)
{
    HRESULT hr = CBasePin::CheckConnect(pin);
    if (FAILED(hr)) return hr;
    m_pInputPin.reset();
    hr = pin->QueryInterface(IID_IMemInputPin, m_pInputPin.put_void());
    return FAILED(hr) || !m_pInputPin ? E_NOINTERFACE : S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin*) { return DecideAllocator(m_pInputPin.get()); }

HRESULT CBaseOutputPin::BreakConnect()
{
    if (m_pAllocator) m_pAllocator->Decommit();
    m_pAllocator.reset();
    m_pInputPin.reset();
    return S_OK;
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin) try
{
    ALLOCATOR_PROPERTIES wanted{};
    pin->GetAllocatorRequirements(&wanted);
    if (wanted.cbAlign == 0) wanted.cbAlign = 1;
    plat::ComPtr<IMemAllocator> allocator;
    if (SUCCEEDED(pin->GetAllocator(allocator.put())) && allocator) {
        ALLOCATOR_PROPERTIES props = wanted;
        if (SUCCEEDED(DecideBufferSize(allocator.get(), &props)) &&
            SUCCEEDED(pin->NotifyAllocator(allocator.get(), FALSE))) {
            m_pAllocator = allocator;
            return S_OK;
        }
    }
    allocator = plat::ComPtr<IMemAllocator>(new CMemAllocator());
    ALLOCATOR_PROPERTIES props = wanted;
    HRESULT hr = DecideBufferSize(allocator.get(), &props);
    if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(allocator.get(), FALSE);
    if (FAILED(hr)) return hr;
    m_pAllocator = allocator;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CBaseOutputPin::Active()
{
    if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive()
{
    if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Decommit();
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                          DWORD flags)
{
    if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->GetBuffer(sample, start, stop, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample)
{
    if (!m_pInputPin) return VFW_E_NOT_CONNECTED;
    return m_pInputPin->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream()
{
    IPin* peer = m_Connected.get();
    return peer ? peer->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverBeginFlush()
{
    IPin* peer = m_Connected.get();
    return peer ? peer->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverEndFlush()
{
    IPin* peer = m_Connected.get();
    return peer ? peer->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    IPin* peer = m_Connected.get();
    return peer ? peer->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}
