#pragma once
// CBasePin: connection, media-type agreement and the stream calls of a pin.
// A pin counts its references on its filter; the filter owns the pin.

#include "platform/com/ComPtr.h"
#include "platform/dshow/CritSec.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/MediaType.h"

#include <string>

class CBaseFilter;

class CBasePin : public IPin {
public:
    CBasePin(const WCHAR* name, CBaseFilter* filter, CCritSec* lock, HRESULT* result, PIN_DIRECTION direction);
    virtual ~CBasePin();

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** object);

    HRESULT Connect(IPin* receive_pin, const AM_MEDIA_TYPE* type) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
    // S_OK with the type, VFW_S_NO_MORE_ITEMS past the end.
    virtual HRESULT GetMediaType(int position, CMediaType* type);
    virtual HRESULT SetMediaType(const CMediaType* type);
    virtual HRESULT CheckConnect(IPin* pin);
    virtual HRESULT CompleteConnect(IPin* receive_pin);
    virtual HRESULT BreakConnect();
    // Called by the filter on stopped -> paused and back, for connected pins.
    virtual HRESULT Active();
    virtual HRESULT Inactive();

    bool IsConnected() const { return static_cast<bool>(m_Connected); }
    IPin* GetConnected() const { return m_Connected.get(); }
    const CMediaType& CurrentMediaType() const { return m_mt; }
    const std::u16string& Name() const { return m_name; }
    PIN_DIRECTION Direction() const { return m_dir; }
    bool IsStopped() const;

protected:
    HRESULT AttemptConnection(IPin* receive_pin, const CMediaType& type);
    HRESULT TryMediaTypes(IPin* receive_pin, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types);
    HRESULT AgreeMediaType(IPin* receive_pin, const AM_MEDIA_TYPE* partial);

    plat::ComPtr<IPin> m_Connected;   // guarded by *m_pLock
    CMediaType m_mt;                  // guarded by *m_pLock
    CBaseFilter* m_pFilter;
    CCritSec* m_pLock;
    const std::u16string m_name;
    const PIN_DIRECTION m_dir;
    REFERENCE_TIME m_tStart{0};
    REFERENCE_TIME m_tStop{0x7FFFFFFFFFFFFFFF};
    double m_dRate{1.0};
};
