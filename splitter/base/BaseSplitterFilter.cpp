#include "splitter/base/BaseSplitterFilter.h"

#include "platform/base/DebugLog.h"

#include <algorithm>
#include <exception>

namespace {

enum : DWORD { CMD_EXIT = 0, CMD_SEEK = 1 };

// The answer of every private property call (Windows error 1170, element not found).
constexpr HRESULT property_not_found = hresult(0x80070492);

constexpr std::size_t drying_packets = 10;
constexpr std::int64_t drying_bytes = 102400;
constexpr std::size_t nearly_dry_packets = 3;
constexpr std::int64_t nearly_dry_bytes = 34133;
constexpr std::size_t restore_packets = 6666;
constexpr std::int64_t restore_bytes = 3495253;
constexpr std::size_t full_packets = 10000;
constexpr std::int64_t full_bytes = 5242880;

constexpr REFERENCE_TIME no_time = INT64_MIN;
constexpr REFERENCE_TIME endless = INT64_MAX;

}

CBaseSplitterFilter::CBaseSplitterFilter(const WCHAR* name, HRESULT* result, const CLSID& clsid)
    : CBaseFilter(name, &m_filter_lock, clsid),
      m_input(std::make_unique<CBaseSplitterInputPin>(u"Input", this, &m_filter_lock, result)),
      m_last_seek_start(no_time), m_last_seek_stop(no_time)
{
}

CBaseSplitterFilter::~CBaseSplitterFilter()
{
    StopDemuxThread();
    if (m_parser) m_parser->CloseFile();
    m_parser.reset();
}

void CBaseSplitterFilter::StopDemuxThread()
{
    if (CAMThread::ThreadExists()) CallWorker(CMD_EXIT);
    Close();
}

HRESULT CBaseSplitterFilter::NonDelegatingQueryInterface(REFIID riid, void** object)
{
    if (riid == IID_IMediaSeeking) {
        *object = static_cast<IMediaSeeking*>(this);
    } else if (riid == IID_IKsPropertySet) {
        *object = static_cast<IKsPropertySet*>(this);
    } else {
        return CBaseFilter::NonDelegatingQueryInterface(riid, object);
    }
    AddRef();
    return S_OK;
}

int CBaseSplitterFilter::GetPinCount()
{
    CAutoLock hold(&m_filter_lock);
    return 1 + static_cast<int>(m_outputs.size());
}

CBasePin* CBaseSplitterFilter::GetPin(int n)
{
    CAutoLock hold(&m_filter_lock);
    const int outputs = static_cast<int>(m_outputs.size());
    if (n >= 0 && n < outputs) return m_outputs[static_cast<std::size_t>(n)].get();
    return n == outputs ? m_input.get() : nullptr;
}

CBaseSplitterOutputPin* CBaseSplitterFilter::GetOutputPin(DWORD track)
{
    std::scoped_lock hold(m_pin_map_lock);
    auto it = m_pin_map.find(track);
    return it == m_pin_map.end() ? nullptr : it->second;
}

HRESULT CBaseSplitterFilter::AddOutputPin(DWORD track, std::unique_ptr<CBaseSplitterOutputPin> pin)
{
    if (!pin) return E_INVALIDARG;
    std::scoped_lock hold(m_pin_map_lock);
    m_pin_map[track] = pin.get();
    m_outputs.push_back(std::move(pin));
    return S_OK;
}

void CBaseSplitterFilter::SetNewMediaType(DWORD track, const CMediaType& type)
{
    std::scoped_lock hold(m_new_types_lock);
    m_new_types[track] = type;
}

HRESULT CBaseSplitterFilter::DeleteOutputs()
{
    m_retired_outputs.clear();
    CAutoLock hold(&m_filter_lock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    for (auto& pin : m_outputs) {
        if (IPin* peer = pin->GetConnected()) {
            peer->Disconnect();
            pin->Disconnect();
        }
        m_retired_outputs.push_back(std::move(pin));
    }
    m_outputs.clear();
    {
        std::scoped_lock map(m_pin_map_lock);
        m_pin_map.clear();
    }
    std::scoped_lock types(m_new_types_lock);
    m_new_types.clear();
    return S_OK;
}

HRESULT CBaseSplitterFilter::CompleteConnect(PIN_DIRECTION direction, CBasePin* pin)
{
    if (!pin) return E_POINTER;
    if (direction == PINDIR_OUTPUT) {
        m_retired_outputs.clear();
        return S_OK;
    }
    if (direction != PINDIR_INPUT) return E_UNEXPECTED;
    m_duration = m_streaming ? endless : 0;
    plat::ComPtr<IAsyncReader> reader;
    HRESULT hr = m_input->GetAsyncReader(reader.put());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = DeleteOutputs())) return hr;
    hr = CreateOutputs(reader.get());
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CBaseSplitterFilter::BreakConnect(PIN_DIRECTION direction, CBasePin* pin)
{
    if (!pin) return E_POINTER;
    if (direction == PINDIR_INPUT) {
        DeleteOutputs();
        return S_OK;
    }
    return direction == PINDIR_OUTPUT ? S_OK : E_UNEXPECTED;
}

HRESULT CBaseSplitterFilter::Stop()
{
    CAutoLock hold(&m_filter_lock);
    DeliverBeginFlush();
    StopDemuxThread();
    DeliverEndFlush();
    HRESULT hr = CBaseFilter::Stop();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CBaseSplitterFilter::Pause()
{
    CAutoLock hold(&m_filter_lock);
    const FILTER_STATE before = m_State;
    HRESULT hr = CBaseFilter::Pause();
    if (FAILED(hr)) return hr;
    if (before == State_Stopped) Create();
    return S_OK;
}

HRESULT CBaseSplitterFilter::Run(REFERENCE_TIME start)
{
    CAutoLock hold(&m_filter_lock);
    return CBaseFilter::Run(start);
}

void CBaseSplitterFilter::DeliverBeginFlush()
{
    m_end_flush.Reset();
    m_flushing = true;
    for (auto& pin : m_outputs) pin->DeliverBeginFlush();
}

void CBaseSplitterFilter::DeliverEndFlush()
{
    for (auto& pin : m_outputs) pin->DeliverEndFlush();
    m_flushing = false;
    m_end_flush.Set();
}

void CBaseSplitterFilter::run_demux()
{
    // Nothing may leave this thread: a parser's failure ends the run with an error event.
    try {
        do {
            m_discontinuity_sent.clear();
        } while (!DemuxLoop());
    } catch (const std::bad_alloc&) {
        plat::debug_log("Splitter: out of memory while demultiplexing");
        NotifyEvent(EC_ERRORABORT, E_OUTOFMEMORY, 0);
    } catch (const std::exception& e) {
        plat::debug_log(std::string("Splitter: demultiplexing failed: ") + e.what());
        NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
    }
}

DWORD CBaseSplitterFilter::ThreadProc()
{
    bool ready = false;
    try {
        ready = DemuxInit();
    } catch (const std::exception&) {
        NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
    }
    if (!ready) {
        for (;;) {
            DWORD request = GetRequest();
            Reply(S_OK);
            if (request == CMD_EXIT) return 0;
        }
    }
    m_end_flush.Set();
    m_flushing = false;
    bool by_request = false;
    for (;;) {
        m_priority = 0;
        SetPriority(ThreadPriority::Normal);
        m_start = m_new_start;
        m_stop = m_new_stop;
        if (int size = m_pending_cache_size.exchange(-1); size >= 0 && m_parser) m_parser->SetCacheSize(size);
        try {
            DemuxSeek(m_start);
        } catch (const std::exception&) {
            NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
        }
        if (by_request) Reply(S_OK);

        // A seek that began its flush before this run started is served first, not waited out.
        while (!m_end_flush.Wait(10))
            if (CheckRequest()) break;
        m_active_pins.clear();
        for (auto& pin : m_outputs) {
            if (m_flushing) break;
            if (!pin->IsConnected()) continue;
            m_active_pins.push_back(pin.get());
            pin->DeliverNewSegment(m_start, m_stop, m_rate);
        }
        run_demux();
        for (CBaseSplitterOutputPin* pin : m_active_pins) {
            if (CheckRequest()) break;
            pin->QueueEndOfStream();
        }
        DWORD request = GetRequest();
        if (request == CMD_EXIT) {
            Reply(S_OK);
            return 0;
        }
        by_request = true;
    }
}

HRESULT CBaseSplitterFilter::DeliverPacket(std::unique_ptr<Packet> p)
{
    const DWORD track = p->TrackNumber;
    CBaseSplitterOutputPin* pin = GetOutputPin(track);
    if (!pin || !pin->IsConnected() ||
        std::find(m_active_pins.begin(), m_active_pins.end(), pin) == m_active_pins.end())
        return S_FALSE;
    if (p->rtStart != INVALID_TIME) {
        m_current = p->rtStart;
        p->rtStart -= m_start;
        p->rtStop -= m_start;
    }
    {
        std::scoped_lock hold(m_new_types_lock);
        auto it = m_new_types.find(track);
        if (it != m_new_types.end()) {
            p->pmt = std::make_unique<CMediaType>(it->second);
            m_new_types.erase(it);
        }
    }
    if (!m_discontinuity_sent.contains(track)) p->bDiscontinuity = true;
    const bool discontinuity = p->bDiscontinuity;
    HRESULT hr = pin->QueuePacket(std::move(p));
    if (hr != S_OK) {
        std::erase(m_active_pins, pin);
        return m_active_pins.empty() ? hr : S_OK;
    }
    if (discontinuity) m_discontinuity_sent.insert(track);
    return hr;
}

void CBaseSplitterFilter::set_delivery_priority(ThreadPriority priority)
{
    for (auto& pin : m_outputs)
        if (pin->ThreadExists()) pin->SetPriority(priority);
}

bool CBaseSplitterFilter::IsAnyPinDrying()
{
    std::size_t total_count = 0;
    std::int64_t total_size = 0;
    for (CBaseSplitterOutputPin* pin : m_active_pins) {
        const std::size_t count = pin->QueueCount();
        const std::int64_t size = pin->QueueSize();
        total_count += count;
        total_size += size;
        if (pin->IsSparse() || (count >= drying_packets && size >= drying_bytes)) continue;
        if (m_priority != 0 || (count >= nearly_dry_packets && size >= nearly_dry_bytes)) return true;
        set_delivery_priority(ThreadPriority::BelowNormal);
        m_priority = -1;
        return true;
    }
    if (m_priority != 0 && (total_count > restore_packets || total_size > restore_bytes)) {
        set_delivery_priority(ThreadPriority::Normal);
        m_priority = 0;
    }
    return total_count < full_packets && total_size < full_bytes;
}

HRESULT CBaseSplitterFilter::SetPositionsInternal(const void* seeker, LONGLONG* current, DWORD current_flags,
                                                  LONGLONG* stop, DWORD stop_flags)
{
    CAutoLock hold(&m_filter_lock);
    if (!current && !stop) return S_OK;
    const DWORD current_how = current_flags & AM_SEEKING_PositioningBitsMask;
    const DWORD stop_how = stop_flags & AM_SEEKING_PositioningBitsMask;
    if (current_how == AM_SEEKING_NoPositioning && stop_how == AM_SEEKING_NoPositioning) return S_OK;

    REFERENCE_TIME now = m_current;
    REFERENCE_TIME new_current = now;
    if (current && current_how == AM_SEEKING_AbsolutePositioning) new_current = *current;
    else if (current && current_how != AM_SEEKING_NoPositioning) new_current = now + *current;
    REFERENCE_TIME new_stop = m_stop;
    if (stop && stop_how == AM_SEEKING_AbsolutePositioning) new_stop = *stop;
    else if (stop && stop_how == AM_SEEKING_RelativePositioning) new_stop = m_stop + *stop;
    else if (stop && stop_how == AM_SEEKING_IncrementalPositioning) new_stop = new_current + *stop;

    if (new_current == now && new_stop == m_stop) return S_OK;
    if (new_current == m_last_seek_start && new_stop == m_last_seek_stop &&
        std::find(m_last_seekers.begin(), m_last_seekers.end(), seeker) == m_last_seekers.end()) {
        // Several output paths of one graph ask for the same seek: carry it out once.
        m_last_seekers.push_back(seeker);
        return S_OK;
    }
    m_last_seek_start = new_current;
    m_last_seek_stop = new_stop;
    m_last_seekers.assign(1, seeker);
    m_current = m_new_start = new_current;
    m_new_stop = new_stop;
    if (CAMThread::ThreadExists()) {
        DeliverBeginFlush();
        CallWorker(CMD_SEEK);
        DeliverEndFlush();
    }
    return S_OK;
}

HRESULT CBaseSplitterFilter::GetCapabilities(DWORD* capabilities)
{
    if (!capabilities) return E_POINTER;
    *capabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
                    AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
    return S_OK;
}

HRESULT CBaseSplitterFilter::CheckCapabilities(DWORD* capabilities)
{
    if (!capabilities) return E_POINTER;
    if (*capabilities == 0) return S_OK;
    DWORD offered = 0;
    GetCapabilities(&offered);
    // S_OK whenever every asked capability is offered, as callers of
    // IMediaSeeking expect; the answer keeps only the offered bits.
    const DWORD asked = *capabilities;
    *capabilities = asked & offered;
    if (*capabilities == 0) return E_FAIL;
    return *capabilities == asked ? S_OK : S_FALSE;
}

HRESULT CBaseSplitterFilter::GetDuration(LONGLONG* duration)
{
    if (!duration) return E_POINTER;
    *duration = m_duration;
    return S_OK;
}

HRESULT CBaseSplitterFilter::GetStopPosition(LONGLONG* stop) { return GetDuration(stop); }

HRESULT CBaseSplitterFilter::GetCurrentPosition(LONGLONG* current)
{
    if (current) *current = m_current;
    return S_OK;
}

HRESULT CBaseSplitterFilter::SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop, DWORD stop_flags)
{
    return SetPositionsInternal(this, current, current_flags, stop, stop_flags);
}

HRESULT CBaseSplitterFilter::GetPositions(LONGLONG* current, LONGLONG* stop)
{
    if (!current || !stop) return E_POINTER;
    CAutoLock hold(&m_filter_lock);
    *current = m_current;
    *stop = m_new_stop;   // the stop that applies, also before the next run takes it
    return S_OK;
}

HRESULT CBaseSplitterFilter::GetAvailable(LONGLONG* earliest, LONGLONG* latest)
{
    if (!earliest || !latest) return E_POINTER;
    *earliest = 0;
    *latest = m_duration;
    return S_OK;
}

HRESULT CBaseSplitterFilter::SetRate(double rate)
{
    if (!(rate > 0)) return E_INVALIDARG;
    m_rate = rate;
    return S_OK;
}

HRESULT CBaseSplitterFilter::GetRate(double* rate)
{
    if (!rate) return E_POINTER;
    *rate = m_rate;
    return S_OK;
}

HRESULT CBaseSplitterFilter::Set(REFGUID, DWORD id, LPVOID instance, DWORD instance_length, LPVOID, DWORD)
{
    // The value travels in the instance data; a short or missing one is ignored.
    if (!instance || instance_length < sizeof(DWORD)) return property_not_found;
    const DWORD value = *static_cast<const DWORD*>(instance);
    if (id == 0) {
        m_streaming = value != 0;
    } else if (id == 1) {
        CAutoLock hold(&m_filter_lock);
        // The reader belongs to the demultiplexing thread while it runs: it takes the size before its next run.
        if (CAMThread::ThreadExists())
            m_pending_cache_size = static_cast<int>(value);
        else if (m_parser)
            m_parser->SetCacheSize(static_cast<int>(value));
    }
    return property_not_found;
}

HRESULT CBaseSplitterFilter::Get(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD, DWORD*) { return property_not_found; }

HRESULT CBaseSplitterFilter::QuerySupported(REFGUID, DWORD, DWORD*) { return property_not_found; }
