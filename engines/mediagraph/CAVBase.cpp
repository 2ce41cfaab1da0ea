#include "engines/mediagraph/CAVBase.h"

#include "platform/base/DebugLog.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/MediaType.h"

#include <cstdlib>
#include <vector>

using plat::ComPtr;

namespace {

constexpr LONG state_wait_ms = 300;
constexpr LONG run_wait_ms = 2000;
constexpr LONG silence = -10000;
constexpr int stop_polls = 10;

}

CAVBase::CAVBase(IBaseControl* controller, plat::FilterMaker make, DWORD report_period_ms)
    : m_controller(controller), m_make(std::move(make)), m_report_period_ms(report_period_ms)
{
}

CAVBase::~CAVBase()
{
    DestroyGraph();
}

void CAVBase::notify(LONG code, INT_PTR value, INT_PTR extra)
{
    m_controller->Notify(m_controller, code, value, extra);
}

HRESULT CAVBase::CreateGraph()
{
    ComPtr<plat::FilterGraph> graph(new plat::FilterGraph(plat::registered_filters(m_make)));
    m_graph = graph.as<IGraphBuilder>();
    m_control = graph.as<IMediaControl>();
    m_events = graph.as<IMediaEventEx>();
    m_seeking = graph.as<IMediaSeeking>();
    m_audio = graph.as<IBasicAudio>();
    return m_graph && m_control && m_events && m_seeking ? S_OK : E_FAIL;
}

void CAVBase::DestroyGraph()
{
    StopThreads();
    if (!m_graph) return;
    m_control->Stop();
    std::vector<ComPtr<IBaseFilter>> filters;
    ComPtr<IEnumFilters> all;
    if (SUCCEEDED(m_graph->EnumFilters(all.put())))
        for (ComPtr<IBaseFilter> f; all->Next(1, f.put(), nullptr) == S_OK;) filters.push_back(f);
    for (auto& f : filters) m_graph->RemoveFilter(f.get());
    m_audio = {};
    m_seeking = {};
    m_events = {};
    m_control = {};
    m_graph = {};
    m_play_state = PLAY_STATE_NONE;
}

HRESULT CAVBase::Play()
{
    if (!m_control) return E_FAIL;
    OAFilterState state = State_Stopped;
    m_control->GetState(state_wait_ms, &state);
    if (state != State_Running) {
        const HRESULT hr = m_control->Run();
        if (FAILED(hr)) return hr;
        if (hr == S_FALSE) m_control->GetState(run_wait_ms, &state);
    }
    m_play_state = PLAY_STATE_RUNNING;
    notify(EVT_RUNNING);
    if (!m_keep_awake.exchange(true)) {
        notify(EVT_KEEP_AWAKE, KEEP_AWAKE_KIND, 1);
    }
    return S_OK;
}

HRESULT CAVBase::Pause()
{
    if (!m_control) return E_FAIL;
    const HRESULT hr = m_control->Pause();
    if (FAILED(hr)) return hr;
    m_play_state = PLAY_STATE_PAUSED;
    notify(EVT_PAUSED);
    return hr;
}

HRESULT CAVBase::Stop()
{
    if (!m_control) return E_FAIL;
    OAFilterState state = State_Stopped;
    m_control->GetState(state_wait_ms, &state);
    if (state == State_Running) {
        m_control->Pause();
        // A filter that never settles must not hold the stop for ever.
        for (int tries = 0; tries < stop_polls; ++tries)
            if (m_control->GetState(state_wait_ms, &state) == S_OK && state != State_Running) break;
    }
    const HRESULT hr = m_control->Stop();
    m_play_state = PLAY_STATE_STOPPED;
    notify(EVT_STOPPED);
    if (m_keep_awake.exchange(false)) {
        notify(EVT_KEEP_AWAKE, KEEP_AWAKE_KIND, 0);
    }
    return hr;
}

SHORT CAVBase::GetPlayState()
{
    if (m_play_state == PLAY_STATE_BUILDING || !m_control) return m_play_state;
    OAFilterState state = State_Stopped;
    if (SUCCEEDED(m_control->GetState(state_wait_ms, &state))) {
        switch (state) {
        case State_Running: m_play_state = PLAY_STATE_RUNNING; break;
        case State_Paused: m_play_state = PLAY_STATE_PAUSED; break;
        case State_Stopped: m_play_state = PLAY_STATE_STOPPED; break;
        default: break;
        }
    }
    return m_play_state;
}

HRESULT CAVBase::SetVolume(LONG volume)
{
    if (volume < 0 || volume > 100) return E_INVALIDARG;
    if (!m_audio) return E_FAIL;
    m_volume = volume * 100 - 10000;
    return m_audio->put_Volume(m_volume);
}

HRESULT CAVBase::SetMute(bool on)
{
    if (!m_audio) return E_FAIL;
    return m_audio->put_Volume(on ? silence : m_volume);
}

LONG CAVBase::GetVolume()
{
    LONG volume = m_volume;
    if (m_audio && FAILED(m_audio->get_Volume(&volume))) volume = m_volume;
    return volume / 100 + 100;
}

void CAVBase::StartThreads()
{
    StopThreads();
    m_stop.reset();
    m_event_thread = std::thread([this] { ProcessGraphEvents(); });
    m_position_thread = std::thread([this] { PositionThread(); });
}

void CAVBase::StopThreads()
{
    m_stop.set();
    // Joined without a time limit: both threads use the graph, which goes next.
    if (m_event_thread.joinable()) m_event_thread.join();
    if (m_position_thread.joinable()) m_position_thread.join();
    m_duration = 0;
}

void CAVBase::ProcessGraphEvents()
{
    OAEVENT handle = 0;
    if (FAILED(m_events->GetEventHandle(&handle))) return;
    auto* graph_event = reinterpret_cast<plat::Event*>(handle);
    while (plat::wait_any({&m_stop, graph_event}, INFINITE) == WAIT_OBJECT_0 + 1) {
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        while (m_events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
            m_events->FreeEventParams(code, p1, p2);
            // An aborted run has not finished its file: it is a failure, never a completion.
            if (code == EC_COMPLETE) {
                notify(EVT_COMPLETE);
                break;
            }
            if (code == EC_USERABORT || code == EC_ERRORABORT) {
                plat::debug_log("AVBase: the graph aborted, code " + std::to_string(code) + ", result " +
                                std::to_string(static_cast<long>(p1)));
                notify(EVT_GRAPH_FAILED);
                break;
            }
        }
    }
}

void CAVBase::PositionThread()
{
    do report_position();
    while (m_stop.wait(report_period()) == WAIT_TIMEOUT);
}

void CAVBase::report_position()
{
    if (m_duration == 0) {
        LONGLONG duration = 0;
        if (SUCCEEDED(m_seeking->GetDuration(&duration)) && duration > 0) {
            m_duration = duration;
            notify(EVT_DURATION, static_cast<INT_PTR>(duration / 10000000));
        }
    }
    LONGLONG position = 0;
    if (FAILED(m_seeking->GetCurrentPosition(&position)) || position < 0) position = 0;
    on_position(position, m_duration);
    notify(EVT_POSITION, static_cast<INT_PTR>(position / 10000000));
}

void CAVBase::UseAudioClock()
{
    for (const auto* name : {mediagraph::WaveOutRenderer.name, mediagraph::DirectSoundRenderer.name}) {
        const ComPtr<IBaseFilter> renderer = find_filter(name);
        const ComPtr<IReferenceClock> clock = renderer.as<IReferenceClock>();
        const ComPtr<IMediaFilter> graph = m_graph.as<IMediaFilter>();
        if (clock && graph && SUCCEEDED(graph->SetSyncSource(clock.get()))) return;
    }
}

void CAVBase::GetVideoSize(IPin* pin)
{
    LONG width = 320, height = 240;
    AM_MEDIA_TYPE* type = nullptr;
    ComPtr<IEnumMediaTypes> types;
    if (pin != nullptr && SUCCEEDED(pin->EnumMediaTypes(types.put())) && types->Next(1, &type, nullptr) == S_OK) {
        const BITMAPINFOHEADER* header = nullptr;
        if ((type->formattype == FORMAT_VideoInfo2 || type->formattype == FORMAT_MPEG2Video) &&
            type->cbFormat >= sizeof(VIDEOINFOHEADER2))
            header = &reinterpret_cast<const VIDEOINFOHEADER2*>(type->pbFormat)->bmiHeader;
        else if (type->formattype == FORMAT_VideoInfo && type->cbFormat >= sizeof(VIDEOINFOHEADER))
            header = &reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat)->bmiHeader;
        if (header != nullptr) {
            width = header->biWidth;
            height = std::abs(header->biHeight);
        }
        DeleteMediaType(type);
    }
    notify(EVT_VIDEO_SIZE, static_cast<INT_PTR>((width & 0xFFFF) + (height & 0xFFFF) * 65536));
}

ComPtr<IBaseFilter> CAVBase::add_filter(const mediagraph::FilterId& id)
{
    return add_filter(m_make(id.clsid), id.name);
}

ComPtr<IBaseFilter> CAVBase::add_filter(const ComPtr<IBaseFilter>& filter, const char16_t* name)
{
    if (!filter || !m_graph || FAILED(m_graph->AddFilter(filter.get(), name))) return {};
    return filter;
}

void CAVBase::remove_filter(ComPtr<IBaseFilter>& filter)
{
    if (filter && m_graph) m_graph->RemoveFilter(filter.get());
    filter = {};
}

HRESULT CAVBase::connect_direct(IPin* output, IPin* input)
{
    if (output == nullptr || input == nullptr) return E_POINTER;
    return m_graph->ConnectDirect(output, input, nullptr);
}

HRESULT CAVBase::connect(IPin* output, IPin* input)
{
    if (output == nullptr || input == nullptr) return E_POINTER;
    return m_graph->Connect(output, input);
}

ComPtr<IBaseFilter> CAVBase::find_filter(const char16_t* name)
{
    ComPtr<IBaseFilter> filter;
    if (m_graph) m_graph->FindFilterByName(name, filter.put());
    return filter;
}

ComPtr<IPin> find_free_pin(IBaseFilter* filter, PIN_DIRECTION direction, std::u16string_view name_part)
{
    if (filter == nullptr) return {};
    for (const auto& pin : plat::filter_pins(filter, direction, plat::PinState::Free)) {
        if (name_part.empty()) return pin;
        PIN_INFO info{};
        if (FAILED(pin->QueryPinInfo(&info))) continue;
        if (info.pFilter != nullptr) info.pFilter->Release();
        if (std::u16string_view(info.achName).find(name_part) != std::u16string_view::npos) return pin;
    }
    return {};
}

ComPtr<IPin> find_output_of_major(IBaseFilter* filter, const GUID& major)
{
    if (filter == nullptr) return {};
    for (const auto& pin : plat::filter_pins(filter, PINDIR_OUTPUT, plat::PinState::Free)) {
        ComPtr<IEnumMediaTypes> types;
        AM_MEDIA_TYPE* type = nullptr;
        if (FAILED(pin->EnumMediaTypes(types.put())) || types->Next(1, &type, nullptr) != S_OK) continue;
        const bool match = type->majortype == major;
        DeleteMediaType(type);
        if (match) return pin;
    }
    return {};
}
