#include "platform/dshow/SourceStream.h"

#include "platform/base/DebugLog.h"
#include "platform/dshow/Source.h"

CSourceStream::CSourceStream(HRESULT* result, CSource* filter, const WCHAR* pin_name)
    : CBaseOutputPin(pin_name, filter, filter->pStateLock(), result), m_pSource(filter)
{
    HRESULT hr = m_pSource->AddPin(this);
    if (FAILED(hr) && result) *result = hr;
}

CSourceStream::~CSourceStream()
{
    if (ThreadExists()) {
        plat::debug_log("CSourceStream: pin destroyed while streaming; stopping its worker");
        Stop();
        Exit();
    }
    Close();
    m_pSource->RemovePin(this);
}

HRESULT CSourceStream::Active()
{
    HRESULT hr = CBaseOutputPin::Active();
    if (FAILED(hr)) return hr;
    if (ThreadExists()) return S_FALSE;
    if (!Create()) {
        CBaseOutputPin::Inactive();
        return E_FAIL;
    }
    return Pause();
}

HRESULT CSourceStream::Inactive()
{
    // Decommitting first frees a worker that waits for a buffer.
    HRESULT hr = CBaseOutputPin::Inactive();
    if (ThreadExists()) {
        Stop();
        Exit();
    }
    Close();
    return hr;
}

HRESULT CSourceStream::restart_from_seek(const std::function<void()>& reset)
{
    if (!ThreadExists()) {
        reset();
        return S_OK;
    }
    DeliverBeginFlush();
    Stop();
    reset();
    DeliverEndFlush();
    return Run();
}

DWORD CSourceStream::ThreadProc()
{
    for (;;) {
        switch (GetRequest()) {
        case CMD_PAUSE:
        case CMD_RUN:
            Reply(S_OK);
            deliver_until_request();
            break;
        case CMD_STOP:
            Reply(S_OK);
            break;
        case CMD_EXIT:
            Reply(S_OK);
            return 0;
        default:
            Reply(static_cast<DWORD>(E_UNEXPECTED));
            break;
        }
    }
}

HRESULT CSourceStream::deliver_until_request()
{
    HRESULT hr = OnThreadStartPlay();
    if (FAILED(hr)) return end_with_error(hr);
    while (!CheckRequest(nullptr)) {
        plat::ComPtr<IMediaSample> sample;
        // Only a decommit refuses a buffer, and a stop request follows it.
        if (FAILED(GetDeliveryBuffer(sample.put(), nullptr, nullptr, 0))) return S_OK;
        hr = FillBuffer(sample.get());
        if (hr == S_FALSE) {
            sample.reset();
            DeliverEndOfStream();
            return S_OK;
        }
        if (FAILED(hr)) {
            sample.reset();
            return end_with_error(hr);
        }
        // Downstream refuses while it flushes or stops, and reports its own failures.
        if (Deliver(sample.get()) != S_OK) return S_OK;
    }
    return S_OK;
}

HRESULT CSourceStream::end_with_error(HRESULT failure)
{
    plat::debug_log("CSourceStream: the stream failed; ending it");
    // The error first: the end of the stream would let the sinks report completion.
    m_pSource->NotifyEvent(EC_ERRORABORT, failure, 0);
    DeliverEndOfStream();
    return failure;
}
