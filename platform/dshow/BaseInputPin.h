#pragma once
// CBaseInputPin: a pin that receives pushed samples through IMemInputPin.
// Derived pins check CheckStreaming (through Receive) before using a sample.

#include "platform/dshow/BasePin.h"

#include <atomic>

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(const WCHAR* name, CBaseFilter* filter, CCritSec* lock, HRESULT* result);

    HRESULT QueryInterface(REFIID riid, void** object) override { return CBasePin::QueryInterface(riid, object); }
    ULONG AddRef() override { return CBasePin::AddRef(); }
    ULONG Release() override { return CBasePin::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** object) override;

    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL read_only) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    // Checks the stream state and a type change; derived pins call it first.
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override { return S_OK; }

    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT EndOfStream() override;
    HRESULT BreakConnect() override;
    HRESULT Inactive() override;

    HRESULT CheckStreaming();
    bool IsFlushing() const { return m_bFlushing; }

protected:
    plat::ComPtr<IMemAllocator> m_pAllocator;
    std::atomic<bool> m_bFlushing{false};
};
