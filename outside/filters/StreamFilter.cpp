#include "StreamFilter.h"

#include "platform/dshow/BaseInputPin.h"
#include "platform/dshow/BaseOutputPin.h"

#include <algorithm>
#include <cstring>

namespace filters {

class StreamFilter::InputPin final : public CBaseInputPin {
public:
    InputPin(StreamFilter* filter, const WCHAR* name)
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
        if (m_owner->output().IsConnected()) m_owner->receive(sample);   // else nothing downstream wants it
        return S_OK;
    }
    HRESULT EndOfStream() override
    {
        const HRESULT hr = CheckStreaming();
        if (hr != S_OK) return hr;
        m_owner->drain();
        return m_owner->output().DeliverEndOfStream();
    }
    HRESULT BeginFlush() override
    {
        CBaseInputPin::BeginFlush();
        return m_owner->output().DeliverBeginFlush();
    }
    HRESULT EndFlush() override
    {
        m_owner->flush();
        m_owner->output().DeliverEndFlush();
        return CBaseInputPin::EndFlush();
    }
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override
    {
        CBasePin::NewSegment(start, stop, rate);
        return m_owner->output().DeliverNewSegment(start, stop, rate);
    }

private:
    StreamFilter* m_owner;
};

class StreamFilter::OutputPin final : public CBaseOutputPin {
public:
    OutputPin(StreamFilter* filter, const WCHAR* name)
        : CBaseOutputPin(name, filter, &filter->m_filter_lock, nullptr), m_owner(filter)
    {
    }
    HRESULT CheckMediaType(const CMediaType* type) override { return m_owner->check_output(*type); }
    HRESULT GetMediaType(int position, CMediaType* type) override
    {
        if (type == nullptr) return E_POINTER;
        if (position < 0) return E_INVALIDARG;
        if (!m_owner->m_input->IsConnected()) return VFW_S_NO_MORE_ITEMS;
        return m_owner->output_type(position, type);
    }
    HRESULT SetMediaType(const CMediaType* type) override
    {
        const HRESULT hr = CBaseOutputPin::SetMediaType(type);
        if (SUCCEEDED(hr)) m_owner->output_chosen(*type);
        return hr;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        if (allocator == nullptr || request == nullptr) return E_POINTER;
        request->cBuffers = std::max(request->cBuffers, m_owner->output_buffer_count());
        request->cbBuffer = std::max(request->cbBuffer, m_owner->output_buffer_size());
        ALLOCATOR_PROPERTIES actual{};
        const HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr)) return hr;
        return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
    }
    // The input must be connected first: the output's types come from it.
    HRESULT CheckConnect(IPin* pin) override
    {
        return m_owner->m_input->IsConnected() ? CBaseOutputPin::CheckConnect(pin) : VFW_E_NOT_CONNECTED;
    }

private:
    StreamFilter* m_owner;
};

StreamFilter::StreamFilter(const WCHAR* name, const CLSID& clsid, const WCHAR* input_name, const WCHAR* output_name)
    : CBaseFilter(name, &m_filter_lock, clsid), m_input(std::make_unique<InputPin>(this, input_name)),
      m_output(std::make_unique<OutputPin>(this, output_name))
{
}

StreamFilter::~StreamFilter() = default;

CBasePin* StreamFilter::GetPin(int n)
{
    if (n == 0) return m_input.get();
    return n == 1 ? m_output.get() : nullptr;
}

CBaseOutputPin& StreamFilter::output() const
{
    return *m_output;
}

HRESULT StreamFilter::check_output(const CMediaType& type) const
{
    for (int position = 0;; ++position) {
        CMediaType offered;
        if (output_type(position, &offered) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
        if (*offered.Type() == *type.Type() && *offered.Subtype() == *type.Subtype() &&
            *offered.FormatType() == *type.FormatType() && offered.FormatLength() <= type.FormatLength() &&
            std::memcmp(offered.Format(), type.Format(), offered.FormatLength()) == 0)
            return S_OK;
    }
}

bool StreamFilter::deliver(std::size_t size, REFERENCE_TIME start, REFERENCE_TIME stop, bool sync,
                           const std::function<bool(BYTE*)>& fill)
{
    IMediaSample* sample = nullptr;
    if (FAILED(m_output->GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) return false;
    BYTE* out = nullptr;
    bool sent = false;
    if (SUCCEEDED(sample->GetPointer(&out)) && static_cast<std::size_t>(sample->GetSize()) >= size && fill(out)) {
        sample->SetActualDataLength(static_cast<LONG>(size));
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(sync ? TRUE : FALSE);
        // Times count from the segment's start, the time a seek asked for:
        // what comes before it is there only to decode from.
        sample->SetPreroll(start < 0 ? TRUE : FALSE);
        sent = SUCCEEDED(m_output->Deliver(sample));
    }
    sample->Release();
    return sent;
}

}
