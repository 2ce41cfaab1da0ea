#pragma once
// CBaseParser: what every container parser offers the splitter filter. The
// base behaviour of each operation is what a parser inherits when it does
// not override it.

#include "platform/dshow/Interfaces.h"

class CBaseSplitterFilter;

class CBaseParser {
public:
    explicit CBaseParser(CBaseSplitterFilter* filter) : m_pFilter(filter) {}
    virtual ~CBaseParser() = default;
    CBaseParser(const CBaseParser&) = delete;
    CBaseParser& operator=(const CBaseParser&) = delete;

    // Reads the headers and adds one output pin per usable stream.
    virtual HRESULT Open(IAsyncReader*) { return E_FAIL; }
    virtual bool DemuxInit() { return false; }
    virtual void CloseFile() {}
    virtual bool DemuxSeek(REFERENCE_TIME) { return false; }
    virtual bool SyncToPosition(LONGLONG) { return false; }
    // Delivers packets until the end, a failed delivery or a pending request.
    virtual int DemuxLoop() { return 0; }
    virtual REFERENCE_TIME GetDuration() { return m_rtDuration; }
    virtual bool SetCacheSize(int) { return false; }
    virtual LONGLONG GetAvailableLength() { return 0; }

protected:
    CBaseSplitterFilter* const m_pFilter;   // the owner
    REFERENCE_TIME m_rtDuration{0};
    int m_nDataRate{0};                     // a parser's own estimate of the data rate
};
