#include "platform/dshow/Source.h"

#include "platform/dshow/SourceStream.h"

#include <algorithm>
#include <cassert>
#include <new>

CSource::CSource(const WCHAR* name, const CLSID& clsid) : CBaseFilter(name, &m_cStateLock, clsid) {}

// The pins are gone by now: their owner, the derived filter, destroyed them.
CSource::~CSource() { assert(m_paStreams.empty()); }

int CSource::GetPinCount()
{
    CAutoLock hold(&m_cStateLock);
    return static_cast<int>(m_paStreams.size());
}

CBasePin* CSource::GetPin(int n)
{
    CAutoLock hold(&m_cStateLock);
    if (n < 0 || n >= static_cast<int>(m_paStreams.size())) return nullptr;
    return m_paStreams[static_cast<std::size_t>(n)];
}

HRESULT CSource::AddPin(CSourceStream* pin) try
{
    if (!pin) return E_POINTER;
    CAutoLock hold(&m_cStateLock);
    m_paStreams.push_back(pin);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CSource::RemovePin(CSourceStream* pin)
{
    CAutoLock hold(&m_cStateLock);
    auto it = std::find(m_paStreams.begin(), m_paStreams.end(), pin);
    if (it == m_paStreams.end()) return S_FALSE;
    m_paStreams.erase(it);
    return S_OK;
}
