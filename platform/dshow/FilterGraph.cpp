#include "platform/dshow/FilterGraph.h"

#include "platform/base/Utf.h"
#include "platform/dshow/Enumerators.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/SystemClock.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace plat {

namespace {

ComPtr<IBaseFilter> owner_of(IPin* pin)
{
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return {};
    return ComPtr<IBaseFilter>::adopt(info.pFilter);
}

// Waits until taken() holds, which it tries each time the event is set; false when
// the time-out (negative: none) passes first.
template <class Taken>
bool wait_for(plat::Event& event, LONG timeout_ms, Taken taken)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
    for (;;) {
        if (taken()) return true;
        DWORD left = INFINITE;
        if (timeout_ms >= 0) {
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
            left = static_cast<DWORD>(std::max<std::int64_t>(ms, 0));
        }
        if (event.wait(left) != WAIT_OBJECT_0) return taken();
    }
}

std::vector<PinType> offered_types(IPin* output)
{
    std::vector<PinType> out;
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(output->EnumMediaTypes(types.put())) || !types) return out;
    AM_MEDIA_TYPE* type = nullptr;
    while (types->Next(1, &type, nullptr) == S_OK && type) {
        out.push_back({type->majortype, type->subtype});
        DeleteMediaType(type);
        type = nullptr;
    }
    return out;
}

// An output that names no types may still connect, so every candidate is tried.
bool may_take(const FilterTemplate& candidate, const std::vector<PinType>& offered)
{
    if (candidate.inputs.empty() || offered.empty()) return true;
    return std::any_of(candidate.inputs.begin(), candidate.inputs.end(), [&](const PinType& in) {
        return std::any_of(offered.begin(), offered.end(), [&](const PinType& o) {
            return o.major == in.major && (in.minor == GUID_NULL || o.minor == in.minor);
        });
    });
}

}

std::vector<ComPtr<IPin>> filter_pins(IBaseFilter* filter, PIN_DIRECTION direction, PinState state)
{
    std::vector<ComPtr<IPin>> out;
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.put())) || !pins) return out;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK) {
        PIN_DIRECTION d;
        if (FAILED(pin->QueryDirection(&d)) || d != direction) continue;
        ComPtr<IPin> peer;
        bool connected = SUCCEEDED(pin->ConnectedTo(peer.put()));
        if (state == PinState::Any || (state == PinState::Connected) == connected) out.push_back(pin);
    }
    return out;
}

FilterGraph::FilterGraph(std::vector<FilterTemplate> candidates)
    : m_candidates([&] {
          std::stable_sort(candidates.begin(), candidates.end(),
                           [](const FilterTemplate& a, const FilterTemplate& b) { return a.merit > b.merit; });
          return std::move(candidates);
      }())
{
}

FilterGraph::~FilterGraph()
{
    change_state(State_Stopped);
    while (!m_filters.empty()) RemoveFilter(m_filters.back().filter.get());
}

HRESULT FilterGraph::QueryInterface(REFIID riid, void** object)
{
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IGraphBuilder || riid == IID_IFilterGraph)
        *object = static_cast<IGraphBuilder*>(this);
    else if (riid == IID_IMediaFilter || riid == IID_IPersist)
        *object = static_cast<IMediaFilter*>(this);
    else if (riid == IID_IBasicAudio)
        *object = static_cast<IBasicAudio*>(this);
    else if (riid == IID_IMediaControl)
        *object = static_cast<IMediaControl*>(this);
    else if (riid == IID_IMediaSeeking)
        *object = static_cast<IMediaSeeking*>(this);
    else if (riid == IID_IMediaEventEx)
        *object = static_cast<IMediaEventEx*>(this);
    else if (riid == IID_IMediaEventSink)
        *object = static_cast<IMediaEventSink*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG FilterGraph::AddRef() { return ++m_ref; }

ULONG FilterGraph::Release()
{
    ULONG left = --m_ref;
    if (left == 0) delete this;
    return left;
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) try
{
    if (!filter) return E_POINTER;
    CAutoLock hold(&m_lock);
    for (const Member& m : m_filters)
        if (m.filter.get() == filter) return VFW_E_WRONG_STATE;
    std::u16string label = name ? std::u16string(name, wide_length(name)) : u"";
    HRESULT hr = filter->JoinFilterGraph(this, name);
    if (FAILED(hr)) return hr;
    if (m_clock_set) filter->SetSyncSource(m_clock.get());
    m_filters.push_back({ComPtr<IBaseFilter>(filter), std::move(label)});
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter)
{
    CAutoLock hold(&m_lock);
    auto it = std::find_if(m_filters.begin(), m_filters.end(), [&](const Member& m) { return m.filter.get() == filter; });
    if (it == m_filters.end()) return VFW_E_NOT_FOUND;
    ComPtr<IBaseFilter> keep = it->filter;
    if (m_state != State_Stopped) keep->Stop();
    for (PIN_DIRECTION d : {PINDIR_INPUT, PINDIR_OUTPUT})
        for (const ComPtr<IPin>& pin : filter_pins(keep.get(), d, PinState::Connected)) Disconnect(pin.get());
    keep->JoinFilterGraph(nullptr, nullptr);
    m_filters.erase(it);
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** filters) try
{
    if (!filters) return E_POINTER;
    std::vector<ComPtr<IBaseFilter>> list;
    {
        CAutoLock hold(&m_lock);
        for (const Member& m : m_filters) list.push_back(m.filter);
    }
    *filters = new FilterEnumerator(std::move(list));
    (*filters)->AddRef();
    return S_OK;
} catch (const std::bad_alloc&) {
    *filters = nullptr;
    return E_OUTOFMEMORY;
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter)
{
    if (!name || !filter) return E_POINTER;
    CAutoLock hold(&m_lock);
    std::u16string_view wanted(name, wide_length(name));
    for (const Member& m : m_filters)
        if (m.name == wanted) {
            *filter = m.filter.get();
            (*filter)->AddRef();
            return S_OK;
        }
    *filter = nullptr;
    return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type)
{
    if (!output || !input) return E_POINTER;
    PIN_DIRECTION out_dir, in_dir;
    if (FAILED(output->QueryDirection(&out_dir)) || FAILED(input->QueryDirection(&in_dir)) ||
        out_dir != PINDIR_OUTPUT || in_dir != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    return output->Connect(input, type);
}

HRESULT FilterGraph::Disconnect(IPin* pin)
{
    if (!pin) return E_POINTER;
    ComPtr<IPin> peer;
    if (SUCCEEDED(pin->ConnectedTo(peer.put())) && peer) peer->Disconnect();
    return pin->Disconnect();
}

HRESULT FilterGraph::Connect(IPin* output, IPin* input)
{
    if (!output || !input) return E_POINTER;
    HRESULT hr = ConnectDirect(output, input, nullptr);
    if (SUCCEEDED(hr) || hr == VFW_E_INVALID_DIRECTION || hr == VFW_E_ALREADY_CONNECTED) return hr;
    return connect_through(output, input, 0);
}

HRESULT FilterGraph::try_candidates(IPin* output, int depth, const std::function<bool(IBaseFilter*)>& attach)
{
    constexpr int max_depth = 4;   // guards against filters that feed themselves
    if (depth >= max_depth) return VFW_E_CANNOT_CONNECT;
    const std::vector<PinType> offered = offered_types(output);
    for (const FilterTemplate& t : m_candidates) {
        if (t.merit <= MERIT_DO_NOT_USE || !may_take(t, offered)) continue;
        std::vector<IBaseFilter*> before;
        {
            CAutoLock hold(&m_lock);
            for (const Member& m : m_filters) before.push_back(m.filter.get());
        }
        ComPtr<IBaseFilter> middle = t.create();
        if (!middle || FAILED(AddFilter(middle.get(), t.name.c_str()))) continue;
        for (const ComPtr<IPin>& middle_in : filter_pins(middle.get(), PINDIR_INPUT, PinState::Free)) {
            if (FAILED(ConnectDirect(output, middle_in.get(), nullptr))) continue;
            if (attach(middle.get())) return S_OK;
            Disconnect(output);
        }
        // The candidate leaves with whatever was added downstream of it.
        std::vector<ComPtr<IBaseFilter>> added;
        {
            CAutoLock hold(&m_lock);
            for (const Member& m : m_filters)
                if (std::find(before.begin(), before.end(), m.filter.get()) == before.end()) added.push_back(m.filter);
        }
        for (const ComPtr<IBaseFilter>& f : added) RemoveFilter(f.get());
    }
    return VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::connect_through(IPin* output, IPin* input, int depth)
{
    return try_candidates(output, depth, [&](IBaseFilter* middle) {
        for (const ComPtr<IPin>& middle_out : filter_pins(middle, PINDIR_OUTPUT, PinState::Free))
            if (SUCCEEDED(ConnectDirect(middle_out.get(), input, nullptr)) ||
                SUCCEEDED(connect_through(middle_out.get(), input, depth + 1)))
                return true;
        return false;
    });
}

HRESULT FilterGraph::Render(IPin* output)
{
    if (!output) return E_POINTER;
    PIN_DIRECTION direction;
    if (FAILED(output->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    ComPtr<IPin> peer;
    if (SUCCEEDED(output->ConnectedTo(peer.put())) && peer) return VFW_E_ALREADY_CONNECTED;
    return render_through(output, 0);
}

HRESULT FilterGraph::render_through(IPin* output, int depth)
{
    // A free input already in the graph that ends the stream (a sink the
    // caller added) comes before any new filter.
    std::vector<ComPtr<IBaseFilter>> members;
    {
        CAutoLock hold(&m_lock);
        for (const Member& m : m_filters) members.push_back(m.filter);
    }
    const ComPtr<IBaseFilter> own = owner_of(output);
    for (const ComPtr<IBaseFilter>& f : members) {
        if (f == own || !filter_pins(f.get(), PINDIR_OUTPUT).empty()) continue;
        for (const ComPtr<IPin>& in : filter_pins(f.get(), PINDIR_INPUT, PinState::Free))
            if (SUCCEEDED(ConnectDirect(output, in.get(), nullptr))) return S_OK;
    }
    // A new filter renders when it has no outputs or at least one of them
    // renders: a stream nothing takes (a subtitle no renderer shows) stays free.
    return try_candidates(output, depth, [&](IBaseFilter* middle) {
        const std::vector<ComPtr<IPin>> outs = filter_pins(middle, PINDIR_OUTPUT, PinState::Free);
        bool rendered = outs.empty();
        for (const ComPtr<IPin>& out : outs)
            if (SUCCEEDED(render_through(out.get(), depth + 1))) rendered = true;
        return rendered;
    });
}

std::vector<ComPtr<IBaseFilter>> FilterGraph::downstream_first() const
{
    // Upstream-first order: a filter is placed once every filter feeding it is.
    std::vector<ComPtr<IBaseFilter>> placed;
    std::vector<ComPtr<IBaseFilter>> left;
    for (const Member& m : m_filters) left.push_back(m.filter);
    while (!left.empty()) {
        auto ready = std::find_if(left.begin(), left.end(), [&](const ComPtr<IBaseFilter>& f) {
            for (const ComPtr<IPin>& in : filter_pins(f.get(), PINDIR_INPUT, PinState::Connected)) {
                ComPtr<IPin> peer;
                in->ConnectedTo(peer.put());
                ComPtr<IBaseFilter> feeder = peer ? owner_of(peer.get()) : ComPtr<IBaseFilter>();
                bool feeder_left = std::any_of(left.begin(), left.end(),
                                               [&](const ComPtr<IBaseFilter>& l) { return l == feeder; });
                if (feeder && feeder_left && !(feeder == f)) return false;
            }
            return true;
        });
        if (ready == left.end()) ready = left.begin();   // a cycle: take any
        placed.push_back(*ready);
        left.erase(ready);
    }
    std::reverse(placed.begin(), placed.end());
    return placed;
}

std::vector<ComPtr<IBaseFilter>> FilterGraph::sinks() const
{
    std::vector<ComPtr<IBaseFilter>> out;
    for (const Member& m : m_filters)
        if (filter_pins(m.filter.get(), PINDIR_OUTPUT).empty() &&
            !filter_pins(m.filter.get(), PINDIR_INPUT, PinState::Connected).empty())
            out.push_back(m.filter);
    return out;
}

void FilterGraph::restart_completion()
{
    int sinks = 0;
    {
        CAutoLock hold(&m_lock);
        sinks = static_cast<int>(this->sinks().size());
    }
    std::scoped_lock hold(m_event_lock);
    m_sinks = sinks;
    m_sinks_complete.clear();
    m_completion.reset();
    m_completed.reset();
}

void FilterGraph::choose_clock()
{
    if (m_clock_set) return;
    for (const Member& m : m_filters)
        if (ComPtr<IReferenceClock> offered = m.filter.as<IReferenceClock>()) {
            m_clock = offered;
            break;
        }
    if (!m_clock) m_clock = ComPtr<IReferenceClock>::adopt(new SystemClock());
    m_clock_set = true;
    for (const Member& m : m_filters) m.filter->SetSyncSource(m_clock.get());
}

HRESULT FilterGraph::change_state(FILTER_STATE target)
{
    std::vector<ComPtr<IBaseFilter>> order;
    bool from_stopped;
    REFERENCE_TIME start = 0;
    {
        CAutoLock hold(&m_lock);
        order = downstream_first();
        from_stopped = m_state == State_Stopped;
        if (from_stopped && target != State_Stopped) choose_clock();
        REFERENCE_TIME now = 0;
        if (m_clock) m_clock->GetTime(&now);
        // Stream time goes on from where a pause held it.
        if (target == State_Running && m_state != State_Running)
            m_start = m_ran_since_stop ? m_start + (now - m_paused_at) : now;
        if (target == State_Paused && m_state == State_Running) m_paused_at = now;
        m_ran_since_stop = target == State_Running || (target == State_Paused && m_ran_since_stop);
        start = m_start;
        m_state = target;
    }
    if (from_stopped && target != State_Stopped) restart_completion();
    HRESULT result = S_OK;
    for (const ComPtr<IBaseFilter>& f : order) {
        HRESULT hr = target == State_Stopped ? f->Stop() : target == State_Paused ? f->Pause() : f->Run(start);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

HRESULT FilterGraph::Run()
{
    {
        CAutoLock hold(&m_lock);
        if (m_state == State_Running) return S_OK;
    }
    return change_state(State_Running);
}

HRESULT FilterGraph::Pause() { return change_state(State_Paused); }
HRESULT FilterGraph::Stop() { return change_state(State_Stopped); }

HRESULT FilterGraph::GetClassID(CLSID* clsid)
{
    if (!clsid) return E_POINTER;
    *clsid = CLSID_FilterGraph;
    return S_OK;
}

// The graph keeps stream time itself: the start asked for is the one it would choose.
HRESULT FilterGraph::Run(REFERENCE_TIME) { return Run(); }

HRESULT FilterGraph::GetState(DWORD, FILTER_STATE* state)
{
    if (!state) return E_POINTER;
    CAutoLock hold(&m_lock);
    *state = m_state;
    return S_OK;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock)
{
    std::vector<ComPtr<IBaseFilter>> members;
    {
        CAutoLock hold(&m_lock);
        if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
        m_clock = ComPtr<IReferenceClock>(clock);
        m_clock_set = true;
        for (const Member& m : m_filters) members.push_back(m.filter);
    }
    HRESULT result = S_OK;
    for (const ComPtr<IBaseFilter>& f : members) {
        HRESULT hr = f->SetSyncSource(clock);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock)
{
    if (!clock) return E_POINTER;
    CAutoLock hold(&m_lock);
    *clock = m_clock.get();
    if (*clock) (*clock)->AddRef();
    return S_OK;
}

template <class Call>
HRESULT FilterGraph::for_audio(bool all, Call call)
{
    std::vector<ComPtr<IBasicAudio>> list;
    {
        CAutoLock hold(&m_lock);
        for (const Member& m : m_filters)
            if (ComPtr<IBasicAudio> audio = m.filter.as<IBasicAudio>()) list.push_back(audio);
    }
    if (list.empty()) return E_NOTIMPL;
    if (!all) return call(list.front().get());
    HRESULT result = S_OK;
    for (const ComPtr<IBasicAudio>& audio : list) {
        HRESULT hr = call(audio.get());
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

HRESULT FilterGraph::put_Volume(LONG v)
{
    return for_audio(true, [&](IBasicAudio* a) { return a->put_Volume(v); });
}
HRESULT FilterGraph::get_Volume(LONG* v)
{
    return for_audio(false, [&](IBasicAudio* a) { return a->get_Volume(v); });
}
HRESULT FilterGraph::put_Balance(LONG b)
{
    return for_audio(true, [&](IBasicAudio* a) { return a->put_Balance(b); });
}
HRESULT FilterGraph::get_Balance(LONG* b)
{
    return for_audio(false, [&](IBasicAudio* a) { return a->get_Balance(b); });
}

HRESULT FilterGraph::GetState(LONG, OAFilterState* state)
{
    if (!state) return E_POINTER;
    CAutoLock hold(&m_lock);
    *state = m_state;
    return S_OK;
}

std::vector<ComPtr<IMediaSeeking>> FilterGraph::seekers() const
{
    // A filter that seeks as a whole, else each of its output pins that seeks.
    std::vector<ComPtr<IMediaSeeking>> out;
    for (const Member& m : m_filters) {
        if (ComPtr<IMediaSeeking> s = m.filter.as<IMediaSeeking>()) {
            out.push_back(s);
            continue;
        }
        for (const ComPtr<IPin>& pin : filter_pins(m.filter.get(), PINDIR_OUTPUT))
            if (ComPtr<IMediaSeeking> s = pin.as<IMediaSeeking>()) out.push_back(s);
    }
    return out;
}

template <class Call>
HRESULT FilterGraph::ask_seekers(Call call) const
{
    std::vector<ComPtr<IMediaSeeking>> list;
    {
        CAutoLock hold(&m_lock);
        list = seekers();
    }
    // The first seeker that knows the answer gives it.
    for (const ComPtr<IMediaSeeking>& s : list) {
        HRESULT hr = call(s.get());
        if (hr != E_NOTIMPL) return hr;
    }
    return E_NOTIMPL;
}

HRESULT FilterGraph::GetCapabilities(DWORD* c)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->GetCapabilities(c); });
}
HRESULT FilterGraph::CheckCapabilities(DWORD* c)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->CheckCapabilities(c); });
}
HRESULT FilterGraph::IsFormatSupported(const GUID* f)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->IsFormatSupported(f); });
}
HRESULT FilterGraph::QueryPreferredFormat(GUID* f)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->QueryPreferredFormat(f); });
}
HRESULT FilterGraph::GetTimeFormat(GUID* f)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->GetTimeFormat(f); });
}
HRESULT FilterGraph::IsUsingTimeFormat(const GUID* f)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->IsUsingTimeFormat(f); });
}
HRESULT FilterGraph::SetTimeFormat(const GUID* f)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->SetTimeFormat(f); });
}
HRESULT FilterGraph::GetDuration(LONGLONG* d)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->GetDuration(d); });
}
HRESULT FilterGraph::GetStopPosition(LONGLONG* t)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->GetStopPosition(t); });
}
// What the sinks stand at: the furthest of them, as a stream that ended early
// (sound shorter than the picture) must not hold the position back. Without
// sinks that say, the seekers are asked.
HRESULT FilterGraph::GetCurrentPosition(LONGLONG* c)
{
    if (!c) return E_POINTER;
    std::vector<ComPtr<ISinkPosition>> told;
    {
        CAutoLock hold(&m_lock);
        for (const ComPtr<IBaseFilter>& f : sinks())
            if (ComPtr<ISinkPosition> p = f.as<ISinkPosition>()) told.push_back(p);
    }
    if (told.empty()) return ask_seekers([&](IMediaSeeking* s) { return s->GetCurrentPosition(c); });
    *c = 0;
    for (const ComPtr<ISinkPosition>& p : told) {
        REFERENCE_TIME at = 0;
        if (SUCCEEDED(p->GetSinkPosition(&at))) *c = std::max(*c, at);
    }
    return S_OK;
}
HRESULT FilterGraph::ConvertTimeFormat(LONGLONG* t, const GUID* tf, LONGLONG v, const GUID* vf)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->ConvertTimeFormat(t, tf, v, vf); });
}
HRESULT FilterGraph::GetPositions(LONGLONG* c, LONGLONG* t)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->GetPositions(c, t); });
}
HRESULT FilterGraph::GetAvailable(LONGLONG* e, LONGLONG* l)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->GetAvailable(e, l); });
}
HRESULT FilterGraph::GetRate(double* r)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->GetRate(r); });
}
HRESULT FilterGraph::GetPreroll(LONGLONG* p)
{
    return ask_seekers([&](IMediaSeeking* s) { return s->GetPreroll(p); });
}

HRESULT FilterGraph::SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop, DWORD stop_flags)
{
    std::vector<ComPtr<IMediaSeeking>> list;
    bool active;
    {
        CAutoLock hold(&m_lock);
        list = seekers();
        active = m_state != State_Stopped;
    }
    if (list.empty()) return E_NOTIMPL;
    // Before the seek: the new stream may end before SetPositions returns.
    if (active) restart_completion();
    HRESULT result = S_OK;
    for (const ComPtr<IMediaSeeking>& s : list) {
        LONGLONG c = current ? *current : 0, t = stop ? *stop : 0;
        HRESULT hr = s->SetPositions(current ? &c : nullptr, current_flags, stop ? &t : nullptr, stop_flags);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

HRESULT FilterGraph::SetRate(double rate)
{
    std::vector<ComPtr<IMediaSeeking>> list;
    {
        CAutoLock hold(&m_lock);
        list = seekers();
    }
    if (list.empty()) return E_NOTIMPL;
    HRESULT result = S_OK;
    for (const ComPtr<IMediaSeeking>& s : list) {
        HRESULT hr = s->SetRate(rate);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

HRESULT FilterGraph::GetEventHandle(OAEVENT* handle)
{
    if (!handle) return E_POINTER;
    *handle = reinterpret_cast<OAEVENT>(&m_has_events);
    return S_OK;
}

HRESULT FilterGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout_ms)
{
    if (!code || !param1 || !param2) return E_POINTER;
    std::optional<GraphEvent> taken;
    wait_for(m_has_events, timeout_ms, [&] {
        std::scoped_lock hold(m_event_lock);
        if (m_events.empty()) return false;
        taken = m_events.front();
        m_events.pop_front();
        if (m_events.empty()) m_has_events.reset();
        return true;
    });
    if (!taken) return E_ABORT;
    *code = taken->code;
    *param1 = taken->param1;
    *param2 = taken->param2;
    return S_OK;
}

HRESULT FilterGraph::WaitForCompletion(LONG timeout_ms, LONG* code)
{
    if (!code) return E_POINTER;
    *code = 0;
    bool done = wait_for(m_completed, timeout_ms, [&] {
        std::scoped_lock hold(m_event_lock);
        if (m_completion) *code = *m_completion;
        return m_completion.has_value();
    });
    return done ? S_OK : E_ABORT;
}

HRESULT FilterGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR) { return S_OK; }

HRESULT FilterGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) try
{
    {
        std::scoped_lock hold(m_event_lock);
        if (code == EC_COMPLETE) {
            // One completion for the graph, once every sink has ended its stream; a sink
            // names itself in the second parameter, so a repeated report counts once.
            m_sinks_complete.insert(param2);
            if (static_cast<int>(m_sinks_complete.size()) < m_sinks || m_completion) return S_OK;
            m_events.push_back({EC_COMPLETE, S_OK, 0});
            m_completion = EC_COMPLETE;
        } else {
            m_events.push_back({code, param1, param2});
            if (code == EC_ERRORABORT || code == EC_USERABORT) m_completion = code;
        }
        m_has_events.set();
        if (m_completion) m_completed.set();
    }
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

}
