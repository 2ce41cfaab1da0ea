#pragma once
// CBaseSplitterInputPin: pulls the source from the upstream filter's
// IAsyncReader; connecting it makes the filter probe a parser.

#include "platform/dshow/BasePin.h"

class CBaseSplitterFilter;

class CBaseSplitterInputPin final : public CBasePin {
public:
    CBaseSplitterInputPin(const WCHAR* name, CBaseSplitterFilter* filter, CCritSec* lock, HRESULT* result);

    HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT CompleteConnect(IPin* pin) override;
    HRESULT BreakConnect() override;

    // A pull pin receives no pushed data.
    HRESULT BeginFlush() override { return E_UNEXPECTED; }
    HRESULT EndFlush() override { return E_UNEXPECTED; }
    HRESULT EndOfStream() override { return E_UNEXPECTED; }

    HRESULT GetAsyncReader(IAsyncReader** reader);

private:
    CBaseSplitterFilter* const m_pSplitter;
    plat::ComPtr<IAsyncReader> m_reader;   // from CompleteConnect to BreakConnect
};
