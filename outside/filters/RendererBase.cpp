#include "RendererBase.h"

#include "platform/dshow/BaseInputPin.h"

#include <algorithm>

namespace filters {

class RendererBase::InputPin final : public CBaseInputPin {
public:
    InputPin(RendererBase* filter, const WCHAR* name)
        : CBaseInputPin(name, filter, &filter->m_filter_lock, nullptr), m_owner(filter)
    {
    }
    HRESULT CheckMediaType(const CMediaType* type) override { return m_owner->check_input(*type); }
    HRESULT CompleteConnect(IPin* pin) override
    {
        const HRESULT hr = CBaseInputPin::CompleteConnect(pin);
        return FAILED(hr) ? hr : m_owner->input_connected(m_mt);
    }
    HRESULT Receive(IMediaSample* sample) override
    {
        const HRESULT hr = CBaseInputPin::Receive(sample);
        if (hr != S_OK) return hr;
        m_owner->render(sample);
        return S_OK;
    }
    HRESULT EndOfStream() override
    {
        const HRESULT hr = CheckStreaming();
        if (hr != S_OK) return hr;
        m_owner->end_of_stream();
        return S_OK;
    }
    HRESULT BeginFlush() override
    {
        const HRESULT hr = CBaseInputPin::BeginFlush();
        m_owner->discard();
        m_owner->m_wake.set();
        return hr;
    }
    REFERENCE_TIME segment_start() const { return m_tStart; }

private:
    RendererBase* m_owner;
};

RendererBase::RendererBase(const WCHAR* name, const CLSID& clsid, const WCHAR* input_name)
    : CBaseFilter(name, &m_filter_lock, clsid), m_input(std::make_unique<InputPin>(this, input_name))
{
}

RendererBase::~RendererBase() = default;

HRESULT RendererBase::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (object != nullptr && iid == ISinkPosition::iid) {
        *object = static_cast<ISinkPosition*>(this);
        AddRef();
        return S_OK;
    }
    return CBaseFilter::NonDelegatingQueryInterface(iid, object);
}

CBasePin* RendererBase::GetPin(int n)
{
    return n == 0 ? m_input.get() : nullptr;
}

HRESULT RendererBase::Stop()
{
    const HRESULT hr = CBaseFilter::Stop();
    m_wake.set();
    discard();
    state_changed(State_Stopped);
    return hr;
}

HRESULT RendererBase::Pause()
{
    const HRESULT hr = CBaseFilter::Pause();
    if (FAILED(hr)) return hr;
    m_wake.set();
    state_changed(State_Paused);
    return hr;
}

HRESULT RendererBase::Run(REFERENCE_TIME start)
{
    const HRESULT hr = CBaseFilter::Run(start);
    if (FAILED(hr)) return hr;
    m_wake.set();
    state_changed(State_Running);
    return hr;
}

bool RendererBase::interrupted() const
{
    return IsStopped() || m_input->IsFlushing();
}

REFERENCE_TIME RendererBase::segment_start() const
{
    return m_input->segment_start();
}

bool RendererBase::wait_until(REFERENCE_TIME time)
{
    constexpr REFERENCE_TIME longest_nap = 10 * 10000;   // looks again at least every 10 ms
    for (;;) {
        if (interrupted()) return false;
        REFERENCE_TIME nap = longest_nap;
        if (m_State == State_Running) {
            REFERENCE_TIME now = 0;
            const HRESULT hr = StreamTime(now);
            if (hr == VFW_E_NO_CLOCK || now >= time) return true;
            if (SUCCEEDED(hr)) nap = std::clamp<REFERENCE_TIME>(time - now, 10000, longest_nap);
        }
        m_wake.wait(static_cast<DWORD>(nap / 10000));
    }
}

void RendererBase::end_of_stream()
{
    drain();
    if (!interrupted()) NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}

}
