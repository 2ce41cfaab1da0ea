#pragma once
// CBaseOutputPin: a pin that pushes samples into a downstream IMemInputPin,
// with the allocator agreed at connection.

#include "platform/dshow/BasePin.h"

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(const WCHAR* name, CBaseFilter* filter, CCritSec* lock, HRESULT* result);

    HRESULT CheckConnect(IPin* pin) override;
    HRESULT CompleteConnect(IPin* receive_pin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    // An output pin receives no pushed stream calls.
    HRESULT EndOfStream() override { return E_UNEXPECTED; }
    HRESULT BeginFlush() override { return E_UNEXPECTED; }
    HRESULT EndFlush() override { return E_UNEXPECTED; }

    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;

    HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

protected:
    HRESULT DecideAllocator(IMemInputPin* pin);

    plat::ComPtr<IMemAllocator> m_pAllocator;   // agreed at connection
    plat::ComPtr<IMemInputPin> m_pInputPin;     // the peer's sample interface
};
