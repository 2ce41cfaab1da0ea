#include "splitter/base/BaseSplitterOutputPin.h"

#include "platform/dshow/MediaFormats.h"
#include "splitter/base/BaseSplitterFilter.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>

namespace {

constexpr DWORD exit_request = 0;
constexpr std::int64_t max_queue_bytes = 524288000;   // 500 MiB per pin

// Subtitle subtypes whose streams may stay silent for a long time.
constexpr GUID sparse_subtypes[] = {
    MEDIASUBTYPE_DVD_SUBPICTURE,
    plat::make_guid("{7B57308F-5154-4C36-B903-52FE76E184FC}"),
    plat::make_guid("{DA5B82EE-6BD2-426F-BF1E-30112DA78AE1}"),
};

}

CBaseSplitterOutputPin::CBaseSplitterOutputPin(std::vector<CMediaType> types, const WCHAR* name,
                                               CBaseSplitterFilter* filter, CCritSec* lock, HRESULT* result,
                                               int buffers)
    : CBaseOutputPin(name, filter, lock, result), m_pSplitter(filter), m_types(std::move(types)),
      m_buffers(std::max(buffers, 1))
{
}

CBaseSplitterOutputPin::~CBaseSplitterOutputPin() { stop_delivery_thread(); }

HRESULT CBaseSplitterOutputPin::CheckMediaType(const CMediaType* type)
{
    std::scoped_lock hold(m_types_lock);
    return std::any_of(m_types.begin(), m_types.end(), [&](const CMediaType& t) { return t == *type; }) ? S_OK
                                                                                                  : E_INVALIDARG;
}

HRESULT CBaseSplitterOutputPin::GetMediaType(int position, CMediaType* type)
{
    std::scoped_lock hold(m_types_lock);
    if (position < 0) return E_INVALIDARG;
    if (static_cast<std::size_t>(position) >= m_types.size()) return VFW_S_NO_MORE_ITEMS;
    *type = m_types[static_cast<std::size_t>(position)];
    return S_OK;
}

HRESULT CBaseSplitterOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request)
{
    if (!allocator || !request) return E_POINTER;
    request->cBuffers = m_buffers;
    request->cbBuffer = static_cast<LONG>(std::max<ULONG>(m_mt.GetSampleSize(), 1));
    if (m_mt.subtype == MEDIASUBTYPE_Vorbis2 && m_mt.formattype == FORMAT_VorbisFormat2)
        request->cBuffers = std::max<LONG>(request->cBuffers, 2);
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

HRESULT CBaseSplitterOutputPin::CompleteConnect(IPin* receive_pin)
{
    HRESULT hr = CBaseOutputPin::CompleteConnect(receive_pin);
    return FAILED(hr) ? hr : m_pSplitter->CompleteConnect(PINDIR_OUTPUT, this);
}

HRESULT CBaseSplitterOutputPin::Active()
{
    CAutoLock hold(m_pLock);
    // The buffers are committed before the thread can ask for one.
    HRESULT hr = CBaseOutputPin::Active();
    if (FAILED(hr)) return hr;
    if (IsConnected() && !ThreadExists()) {
        m_deliver_result = S_OK;
        m_flushing = false;
        m_end_flush.Set();
        Create();
    }
    return S_OK;
}

void CBaseSplitterOutputPin::stop_delivery_thread()
{
    if (ThreadExists()) {
        m_queued.Set();
        CallWorker(exit_request);
    }
    Close();
}

HRESULT CBaseSplitterOutputPin::Inactive()
{
    CAutoLock hold(m_pLock);
    // Decommit first: it frees a delivery that waits for a buffer.
    HRESULT hr = CBaseOutputPin::Inactive();
    stop_delivery_thread();
    m_queue.RemoveAll();
    return hr;
}

HRESULT CBaseSplitterOutputPin::DeliverBeginFlush()
{
    m_end_flush.Reset();
    m_flushing = true;
    {
        std::scoped_lock hold(m_result_lock);
        m_deliver_result = S_FALSE;
        m_queue.RemoveAll();
    }
    HRESULT hr = IsConnected() ? CBaseOutputPin::DeliverBeginFlush() : S_OK;
    if (FAILED(hr)) m_end_flush.Set();
    return hr;
}

HRESULT CBaseSplitterOutputPin::DeliverEndFlush()
{
    if (!ThreadExists()) return S_FALSE;
    HRESULT hr = S_OK;
    {
        // No sample from before the flush may reach downstream after it ends.
        std::scoped_lock hold(m_deliver_lock);
        if (IsConnected()) hr = CBaseOutputPin::DeliverEndFlush();
    }
    {
        std::scoped_lock hold(m_result_lock);
        m_deliver_result = S_OK;
    }
    m_flushing = false;
    m_end_flush.Set();
    return hr;
}

HRESULT CBaseSplitterOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    if (m_flushing) return S_FALSE;
    m_segment_start = start;
    if (!ThreadExists()) return S_FALSE;
    return CBaseOutputPin::DeliverNewSegment(start, stop, rate);
}

bool CBaseSplitterOutputPin::IsSparse()
{
    const CMediaType& mt = m_mt;
    if (mt.majortype == MEDIATYPE_Text || mt.majortype == MEDIATYPE_ScriptCommand ||
        mt.majortype == MEDIATYPE_Subtitle)
        return true;
    return std::any_of(std::begin(sparse_subtypes), std::end(sparse_subtypes),
                       [&](const GUID& g) { return g == mt.subtype; });
}

HRESULT CBaseSplitterOutputPin::QueuePacket(std::unique_ptr<Packet> packet)
{
    if (!ThreadExists()) return S_FALSE;
    while (m_deliver_result == S_OK && !(m_pSplitter->IsAnyPinDrying() && m_queue.GetSize() <= max_queue_bytes))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    {
        // Under the result lock, so that no packet from before a flush slips in after it emptied the queue.
        std::scoped_lock hold(m_result_lock);
        if (m_deliver_result != S_OK) return m_deliver_result;
        m_queue.Add(std::move(packet));
    }
    m_queued.Set();
    return S_OK;
}

DWORD CBaseSplitterOutputPin::ThreadProc()
{
    m_deliver_result = S_OK;
    m_flushing = false;
    m_end_flush.Set();
    for (;;) {
        // Wakes as soon as a packet is queued; the time-out only bounds a missed wake.
        m_queued.Wait(10);
        DWORD request;
        if (CheckRequest(&request)) {
            GetRequest();
            Reply(S_OK);
            return 0;
        }
        while (m_queue.GetCount() > 0) {
            std::unique_ptr<Packet> packet = m_queue.Remove(&m_taken_generation);
            if (m_deliver_result != S_OK) continue;   // dropped: the pin failed or flushes
            HRESULT hr = packet ? DeliverPacket(std::move(packet)) : DeliverEndOfStream();
            m_end_flush.Wait();   // a flush may have failed this delivery on purpose
            if (hr != S_OK && keep_failure(hr, m_taken_generation)) break;
        }
    }
}

bool CBaseSplitterOutputPin::keep_failure(HRESULT result, std::uint64_t generation)
{
    std::scoped_lock hold(m_result_lock);
    if (generation != m_queue.Generation()) return false;
    m_deliver_result = result;
    return true;
}

HRESULT CBaseSplitterOutputPin::Deliver(IMediaSample* sample)
{
    std::scoped_lock hold(m_deliver_lock);
    if (TakenBeforeFlush()) return S_FALSE;
    return CBaseOutputPin::Deliver(sample);
}

HRESULT CBaseSplitterOutputPin::DeliverEndOfStream()
{
    std::scoped_lock hold(m_deliver_lock);
    if (TakenBeforeFlush()) return S_FALSE;
    return CBaseOutputPin::DeliverEndOfStream();
}

HRESULT CBaseSplitterOutputPin::enlarge_buffers(std::size_t payload, plat::ComPtr<IMediaSample>& sample)
{
    sample.reset();
    if (payload > static_cast<std::size_t>(std::numeric_limits<LONG>::max()) / 3 * 2) return E_OUTOFMEMORY;
    ALLOCATOR_PROPERTIES props{}, actual{};
    HRESULT hr = m_pAllocator->GetProperties(&props);
    if (FAILED(hr)) return hr;
    props.cbBuffer = static_cast<LONG>(payload * 3 / 2);
    if (props.cBuffers > 1) {
        CBaseOutputPin::DeliverBeginFlush();
        CBaseOutputPin::DeliverEndFlush();
    }
    if (FAILED(hr = m_pAllocator->Decommit())) return hr;
    if (FAILED(hr = m_pAllocator->SetProperties(&props, &actual))) return hr;
    if (FAILED(hr = m_pAllocator->Commit())) return hr;
    return GetDeliveryBuffer(sample.put(), nullptr, nullptr, 0);
}

HRESULT CBaseSplitterOutputPin::DeliverPacket(std::unique_ptr<Packet> p)
{
    if (p->data.empty()) return S_OK;
    const bool timed = p->rtStart != INVALID_TIME;
    if (timed) {
        double rate = 1.0;
        if (SUCCEEDED(m_pSplitter->GetRate(&rate)) && rate > 0) {
            p->rtStart = static_cast<REFERENCE_TIME>(static_cast<double>(p->rtStart) / rate);
            p->rtStop = static_cast<REFERENCE_TIME>(static_cast<double>(p->rtStop) / rate);
        }
    }
    plat::ComPtr<IMediaSample> sample;
    HRESULT hr = GetDeliveryBuffer(sample.put(), nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    if (static_cast<std::size_t>(sample->GetSize()) < p->data.size()) {
        hr = enlarge_buffers(p->data.size(), sample);
        if (FAILED(hr)) return hr;
        if (static_cast<std::size_t>(sample->GetSize()) < p->data.size()) return E_OUTOFMEMORY;
    }
    if (p->pmt) {
        if (FAILED(hr = sample->SetMediaType(p->pmt.get()))) return hr;
        p->bDiscontinuity = true;
        std::scoped_lock hold(m_types_lock);
        m_types.clear();
        m_types.push_back(*p->pmt);
    }
    BYTE* buffer = nullptr;
    if (FAILED(hr = sample->GetPointer(&buffer))) return hr;
    std::memcpy(buffer, p->data.data(), p->data.size());
    if (FAILED(hr = sample->SetActualDataLength(static_cast<LONG>(p->data.size())))) return hr;
    sample->SetTime(timed ? &p->rtStart : nullptr, timed ? &p->rtStop : nullptr);
    sample->SetMediaTime(nullptr, nullptr);
    sample->SetDiscontinuity(p->bDiscontinuity);
    sample->SetSyncPoint(p->bSyncPoint);
    sample->SetPreroll(timed && p->rtStart < 0);
    return Deliver(sample.get());
}
