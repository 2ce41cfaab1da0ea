#pragma once
// "Corva Net Source": a network stream offered on one output pin through
// IAsyncReader, read from the engine's ISourceManager (given through the
// filter's private interface). The engine's store holds the bytes: no
// address is loaded here.

#include "ICorvaNetSource.h"
#include "platform/dshow/BaseFilter.h"

#include <memory>

namespace filters {

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
