#pragma once
// "Corva Net Source": a network stream offered on one output pin through
// IAsyncReader, read from the engine's ISourceManager (given through the
// filter's private interface). The engine's store holds the bytes: no
// address is loaded here.

#include "ISourceManager.h"
#include "platform/dshow/BaseFilter.h"

#include <memory>

namespace filters {

inline constexpr CLSID CLSID_CorvaNetSource = plat::make_guid("{707C02AF-08D2-40CE-AE3F-E1B0C9ECBB7F}");
inline constexpr IID IID_ICorvaNetSource = plat::make_guid("{AD14DAE9-5336-4947-857C-D3FA929A46A2}");

struct ICorvaNetSource : IUnknown {
    static constexpr const IID& iid = IID_ICorvaNetSource;
    // Where the bytes come from from now on (null: nowhere, every read fails).
    virtual HRESULT SetSourceManager(ISourceManager* manager) = 0;

protected:
    ~ICorvaNetSource() = default;
};

class CorvaNetSource final : public CBaseFilter, public ICorvaNetSource {
public:
    CorvaNetSource();

    HRESULT QueryInterface(REFIID iid, void** object) override { return CBaseFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return CBaseFilter::AddRef(); }
    ULONG Release() override { return CBaseFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    HRESULT SetSourceManager(ISourceManager* manager) override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;

private:
    ~CorvaNetSource() override;
    class OutputPin;

    CCritSec m_lock;
    std::unique_ptr<OutputPin> m_pin;
};

}
