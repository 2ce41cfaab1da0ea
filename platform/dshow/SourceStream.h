#pragma once
// CSourceStream: an output pin of a CSource that pushes its stream from a
// worker thread of its own. The worker starts when the filter leaves the
// stopped state and, on each start request, calls OnThreadStartPlay and then
// fills samples with FillBuffer and delivers them until a request comes, the
// stream ends (S_FALSE) or fails (EC_ERRORABORT). Stopping the filter stops
// and joins the worker.
//
// FillBuffer and OnThreadStartPlay run on the worker and must not take the
// filter lock (CSource::pStateLock): the filter holds it while it starts and
// stops the worker.

#include "platform/dshow/AMThread.h"
#include "platform/dshow/BaseOutputPin.h"

#include <functional>

class CSource;

class CSourceStream : public CAMThread, public CBaseOutputPin {
public:
    // Joins the filter's pins; a failure is reported through result.
    CSourceStream(HRESULT* result, CSource* filter, const WCHAR* pin_name);
    // The derived pin is stopped before it goes (the filter stops first).
    ~CSourceStream() override;

    HRESULT Active() override;
    HRESULT Inactive() override;

    // S_OK delivers the sample, S_FALSE ends the stream, a failure ends it and
    // reports EC_ERRORABORT with the failure.
    virtual HRESULT FillBuffer(IMediaSample* sample) = 0;

protected:
    enum Command : DWORD { CMD_PAUSE = 1, CMD_RUN = 2, CMD_STOP = 3, CMD_EXIT = 4 };

    HRESULT Pause() { return static_cast<HRESULT>(CallWorker(CMD_PAUSE)); }
    HRESULT Run() { return static_cast<HRESULT>(CallWorker(CMD_RUN)); }
    HRESULT Stop() { return static_cast<HRESULT>(CallWorker(CMD_STOP)); }
    HRESULT Exit() { return static_cast<HRESULT>(CallWorker(CMD_EXIT)); }

    // Before the first sample of every start (a seek restarts): typically sends the new segment.
    virtual HRESULT OnThreadStartPlay() { return S_OK; }

    // A seek. While the worker exists: flush downstream, stop the worker,
    // reset (the new position), end the flush and start the worker again.
    // While stopped only reset runs; the next start begins there.
    HRESULT restart_from_seek(const std::function<void()>& reset);

    DWORD ThreadProc() override;

private:
    HRESULT deliver_until_request();
    HRESULT end_with_error(HRESULT failure);

    CSource* const m_pSource;
};
