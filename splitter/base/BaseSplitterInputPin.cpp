#include "splitter/base/BaseSplitterInputPin.h"

#include "splitter/base/BaseSplitterFilter.h"

CBaseSplitterInputPin::CBaseSplitterInputPin(const WCHAR* name, CBaseSplitterFilter* filter, CCritSec* lock,
                                             HRESULT* result)
    : CBasePin(name, filter, lock, result, PINDIR_INPUT), m_pSplitter(filter)
{
}

HRESULT CBaseSplitterInputPin::CheckConnect(IPin* pin)
{
    HRESULT hr = CBasePin::CheckConnect(pin);
    if (FAILED(hr)) return hr;
    plat::ComPtr<IAsyncReader> reader;
    pin->QueryInterface(IID_IAsyncReader, reader.put_void());
    return reader ? S_OK : E_NOINTERFACE;
}

HRESULT CBaseSplitterInputPin::CompleteConnect(IPin* pin)
{
    HRESULT hr = CBasePin::CompleteConnect(pin);
    if (FAILED(hr)) return hr;
    if (!pin) return E_POINTER;
    m_reader.reset();
    pin->QueryInterface(IID_IAsyncReader, m_reader.put_void());
    if (!m_reader) return E_NOINTERFACE;
    hr = m_pSplitter->CompleteConnect(PINDIR_INPUT, this);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CBaseSplitterInputPin::BreakConnect()
{
    CBasePin::BreakConnect();
    m_pSplitter->BreakConnect(PINDIR_INPUT, this);
    m_reader.reset();
    return S_OK;
}

HRESULT CBaseSplitterInputPin::GetAsyncReader(IAsyncReader** reader)
{
    if (!reader) return E_POINTER;
    *reader = m_reader.get();
    if (!*reader) return VFW_E_NOT_CONNECTED;
    (*reader)->AddRef();
    return S_OK;
}
