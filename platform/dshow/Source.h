#pragma once
// CSource: a filter whose output pins (CSourceStream) each push a stream from
// a worker thread of their own. Pins join the filter when they are made and
// leave it when destroyed; the derived filter owns them.

#include "platform/dshow/BaseFilter.h"

#include <vector>

class CSourceStream;

class CSource : public CBaseFilter {
public:
    CSource(const WCHAR* name, const CLSID& clsid);
    ~CSource() override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // Called by CSourceStream's constructor and destructor.
    HRESULT AddPin(CSourceStream* pin);
    HRESULT RemovePin(CSourceStream* pin);

    // The filter lock. Workers never take it: the filter holds it while it
    // starts and stops them.
    CCritSec* pStateLock() { return &m_cStateLock; }

protected:
    CCritSec m_cStateLock;

private:
    std::vector<CSourceStream*> m_paStreams;   // in order of creation; guarded by m_cStateLock
};
