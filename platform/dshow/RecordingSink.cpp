#include "platform/dshow/RecordingSink.h"

#include "platform/dshow/BaseInputPin.h"

#include <chrono>

namespace plat {

inline constexpr CLSID CLSID_RecordingSink = make_guid("{5D0A7C3E-93B1-4F0C-9E2A-6B7F1C2D3E40}");

class RecordingSink::InputPin final : public CBaseInputPin {
public:
    InputPin(RecordingSink* sink, const GUID& major)
        : CBaseInputPin(u"Input", sink, &sink->m_filter_lock, nullptr), m_sink(sink), m_major(major)
    {
    }

    HRESULT CheckMediaType(const CMediaType* type) override
    {
        return m_major == GUID_NULL || *type->Type() == m_major ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Receive(IMediaSample* sample) override
    {
        HRESULT hr = CBaseInputPin::Receive(sample);
        return hr == S_OK ? m_sink->record(sample) : hr;
    }
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override
    {
        CBasePin::NewSegment(start, stop, rate);
        m_sink->on_new_segment(start, stop, rate);
        return S_OK;
    }
    HRESULT BeginFlush() override
    {
        CBaseInputPin::BeginFlush();
        m_sink->on_flush();
        return S_OK;
    }
    HRESULT EndOfStream() override
    {
        HRESULT hr = CheckStreaming();
        if (hr == S_OK) m_sink->on_end();
        return hr;
    }

private:
    RecordingSink* m_sink;
    const GUID m_major;
};

RecordingSink::RecordingSink(Payload payload, const GUID& major)
    : CBaseFilter(u"Recording Sink", &m_filter_lock, CLSID_RecordingSink),
      m_pin(std::make_unique<InputPin>(this, major)), m_payload(payload)
{
}

RecordingSink::~RecordingSink() = default;

CBasePin* RecordingSink::GetPin(int n) { return n == 0 ? m_pin.get() : nullptr; }
IPin* RecordingSink::input() { return m_pin.get(); }

HRESULT RecordingSink::record(IMediaSample* sample) try
{
    RecordedSample r;
    r.length = sample->GetActualDataLength();
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    REFERENCE_TIME start = 0, stop = 0;
    r.has_time = SUCCEEDED(sample->GetTime(&start, &stop));
    r.start = start;
    r.stop = stop;
    r.sync = sample->IsSyncPoint() == S_OK;
    r.discontinuity = sample->IsDiscontinuity() == S_OK;
    r.preroll = sample->IsPreroll() == S_OK;
    AM_MEDIA_TYPE* type = nullptr;
    if (sample->GetMediaType(&type) == S_OK && type) {
        r.type = CMediaType(*type);
        DeleteMediaType(type);
    }
    {
        std::scoped_lock hold(m_lock);
        std::size_t index = m_received++;
        if (m_fail_index && index >= *m_fail_index) return m_fail_result;
        if (m_payload == Payload::Keep && data) r.data.assign(data, data + r.length);
        r.segment = static_cast<int>(m_segments.size());
        m_bytes += static_cast<std::uint64_t>(r.length);
        if (m_payload == Payload::Keep) m_samples.push_back(std::move(r));
    }
    m_changed.notify_all();
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

void RecordingSink::on_new_segment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    std::scoped_lock hold(m_lock);
    m_segments.push_back({start, stop, rate});
}

void RecordingSink::on_flush()
{
    std::scoped_lock hold(m_lock);
    ++m_flushes;
    m_ended = false;
}

void RecordingSink::on_end()
{
    {
        std::scoped_lock hold(m_lock);
        m_ended = true;
    }
    m_changed.notify_all();
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}

void RecordingSink::fail_from(std::size_t index, HRESULT result)
{
    std::scoped_lock hold(m_lock);
    m_fail_index = index;
    m_fail_result = result;
}

bool RecordingSink::wait_for_end(DWORD timeout_ms)
{
    std::unique_lock hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::milliseconds(timeout_ms), [this] { return m_ended; });
}

bool RecordingSink::wait_for_samples(std::size_t count, DWORD timeout_ms)
{
    std::unique_lock hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::milliseconds(timeout_ms), [&] { return m_received >= count; });
}

void RecordingSink::clear()
{
    std::scoped_lock hold(m_lock);
    m_samples.clear();
    m_segments.clear();
    m_received = 0;
    m_bytes = 0;
    m_flushes = 0;
    m_ended = false;
}

std::vector<RecordedSample> RecordingSink::samples() const
{
    std::scoped_lock hold(m_lock);
    return m_samples;
}

std::vector<RecordedSegment> RecordingSink::segments() const
{
    std::scoped_lock hold(m_lock);
    return m_segments;
}

std::size_t RecordingSink::sample_count() const
{
    std::scoped_lock hold(m_lock);
    return m_received;
}

std::uint64_t RecordingSink::byte_count() const
{
    std::scoped_lock hold(m_lock);
    return m_bytes;
}

int RecordingSink::flush_count() const
{
    std::scoped_lock hold(m_lock);
    return m_flushes;
}

bool RecordingSink::ended() const
{
    std::scoped_lock hold(m_lock);
    return m_ended;
}

}
