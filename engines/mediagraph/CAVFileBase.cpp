#include "engines/mediagraph/CAVFileBase.h"

#include "components/common/regutil/ProgramKey.h"
#include "components/common/regutil/RegNumber.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/ComScope.h"
#include "platform/dshow/AsyncFileSource.h"
#include "platform/dshow/MediaFormats.h"
#include "outside/filters/ICorvaNetSource.h"

#include <algorithm>
#include <vector>

using plat::ComPtr;
using namespace mediagraph;

namespace {

// "BufferTime" of the user's settings: seconds of play a refill waits for.
// More than an hour would overflow the read-ahead's arithmetic.
constexpr RegNumber BufferTime{u"BufferTime", 6, 1, 3600};

LONG read_buffer_time()
{
    return static_cast<LONG>(ReadNumber(CUTILregEx(HKEY_CURRENT_USER, ProgramKey, KEY_READ), BufferTime));
}

HRESULT load(IBaseFilter* filter, const std::u16string& path)
{
    const ComPtr<IFileSourceFilter> loader = ComPtr<IBaseFilter>(filter).as<IFileSourceFilter>();
    return loader ? loader->Load(path.c_str(), nullptr) : E_NOINTERFACE;
}

}

CAVFileBase::CAVFileBase(IBaseControl* controller, plat::FilterMaker make, DWORD report_period_ms)
    : CAVBase(controller, std::move(make), report_period_ms), m_buffer_time_s(read_buffer_time())
{
}

CAVFileBase::~CAVFileBase()
{
    m_data.set();   // a splitter thread waiting for a stream's bytes lets the graph stop
    DestroyGraph();
}

void CAVFileBase::SetSourcePath(std::u16string_view path)
{
    std::scoped_lock hold(m_graph_lock);
    if (!path.empty()) m_path = path;
}

HRESULT CAVFileBase::Play()
{
    std::scoped_lock hold(m_graph_lock);
    m_data.reset();
    m_user_paused = false;
    if (has_graph()) return CAVBase::Play();
    if (m_path.empty()) return E_FAIL;
    plat::ComScope com;
    m_play_state = PLAY_STATE_BUILDING;
    m_abort_building = false;
    HRESULT hr = build_source_and_splitter();
    if (hr == E_ABORT) {
        // The stream's download went away, or no splitter reads a stream:
        // no other route can read it either.
        DestroyGraph();
        notify(EVT_GRAPH_FAILED);
        return hr;
    }
    if (SUCCEEDED(hr)) hr = BuildGraph();
    if (FAILED(hr)) {
        DestroyGraph();
        if (is_quicktime_path(m_path)) hr = build_quicktime_graph();
        if (SUCCEEDED(hr)) StartThreads();
    }
    if (FAILED(hr)) {
        DestroyGraph();
        m_play_state = PLAY_STATE_BUILDING;
        if (SUCCEEDED(CreateGraph()) && SUCCEEDED(add_source())) {
            const ComPtr<IPin> out = find_free_pin(m_source.get(), PINDIR_OUTPUT);
            hr = out ? m_graph->Render(out.get()) : E_FAIL;
            if (SUCCEEDED(hr)) StartThreads();
        }
    }
    if (FAILED(hr)) {
        DestroyGraph();
        notify(EVT_GRAPH_FAILED);
        return hr;
    }
    return CAVBase::Play();
}

HRESULT CAVFileBase::Stop()
{
    m_data.set();
    return CAVBase::Stop();
}

HRESULT CAVFileBase::Close()
{
    m_data.set();
    std::scoped_lock hold(m_graph_lock);
    m_path.clear();
    DestroyGraph();
    m_store = nullptr;
    m_streaming = false;
    m_data_needed = false;
    m_user_paused = false;
    m_total = 0;
    m_last_read = 0;
    m_read_ahead = READ_AHEAD_MIN;
    std::scoped_lock watch(m_watch_lock);
    m_watch.reset();
    return S_OK;
}

HRESULT CAVFileBase::PauseSource(bool wait)
{
    if (wait) {
        m_data_needed = true;
        m_data_request.set();
    } else {
        m_user_paused = true;
    }
    return Pause();
}

void CAVFileBase::DestroyGraph()
{
    std::scoped_lock hold(m_graph_lock);
    stop_data_wait();
    CAVBase::DestroyGraph();
    m_subtitle = {};
    m_source = {};
    m_splitter = {};
    m_video_decoder = {};
    m_audio_decoder = {};
    m_kind = KIND_NONE;
}

HRESULT CAVFileBase::build_source_and_splitter()
{
    m_play_state = PLAY_STATE_BUILDING;
    if (FAILED(CreateGraph()) || FAILED(add_source())) return E_FAIL;
    for (const SplitterKind kind : splitters_for_path(m_path))
        if (SUCCEEDED(try_splitter(kind))) return S_OK;
    return try_generic_chain();
}

HRESULT CAVFileBase::add_source()
{
    if (m_path.find(u"://") != std::u16string::npos) {
        ComPtr<IBaseFilter> source = add_filter(NetSource);
        const ComPtr<filters::ICorvaNetSource> net = source.as<filters::ICorvaNetSource>();
        if (!net || FAILED(net->SetSourceManager(this))) {
            remove_filter(source);
            return E_FAIL;
        }
        m_source = source;
        return S_OK;
    }
    ComPtr<IBaseFilter> source(new plat::AsyncFileSource());
    if (FAILED(load(source.get(), m_path))) return E_FAIL;
    m_source = add_filter(source, u"File Source");
    return m_source ? S_OK : E_FAIL;
}

HRESULT CAVFileBase::try_generic_chain()
{
    const bool read = SUCCEEDED(try_splitter(KIND_KVR));
    if (m_abort_building.exchange(false)) {
        remove_filter(m_splitter);
        m_kind = KIND_NONE;
        return E_ABORT;
    }
    if (read) return S_OK;
    // The other splitters read files: a stream they cannot wait for.
    if (m_streaming) return E_ABORT;
    for (const SplitterKind kind : fallback_chain)
        if (SUCCEEDED(try_splitter(kind))) return S_OK;
    return E_FAIL;
}

// One splitter: added and connected after the source; on failure it is gone.
HRESULT CAVFileBase::try_splitter(SplitterKind kind)
{
    remove_filter(m_splitter);
    if (SUCCEEDED(add_splitter(kind)) && SUCCEEDED(connect_splitter())) {
        m_kind = kind;
        return S_OK;
    }
    remove_filter(m_splitter);
    return E_FAIL;
}

HRESULT CAVFileBase::add_splitter(SplitterKind kind)
{
    switch (kind) {
    case KIND_DEMUX: m_splitter = add_filter(Demux); break;
    case KIND_KVR: m_splitter = add_filter(KVRSplitter); break;
    case KIND_MOV: m_splitter = add_filter(MOVSplitter); break;
    case KIND_AVI: m_splitter = add_filter(AVISplitter); break;
    case KIND_MPEG1: m_splitter = add_filter(MPEG1Splitter); break;
    case KIND_MPEG_AUDIO: m_splitter = add_filter(MPEGAudioSplitter); break;
    case KIND_WAVE: m_splitter = add_filter(WaveParser); break;
    case KIND_MPEG2:
        m_splitter = add_filter(MPEG2Splitter);
        if (!m_splitter) m_splitter = add_filter(MPEG2Demultiplexer);
        break;
    case KIND_ASF_VIDEO:
    case KIND_ASF_AUDIO:
        // The reader is a source of its own: it takes the file source's place.
        m_splitter = add_filter(AsfReader);
        if (m_splitter && SUCCEEDED(load(m_splitter.get(), m_path))) remove_filter(m_source);
        else remove_filter(m_splitter);
        break;
    case KIND_NONE:
    case KIND_SOUND_ALONE: break;   // no splitter of its own
    }
    return m_splitter ? S_OK : E_FAIL;
}

HRESULT CAVFileBase::connect_splitter()
{
    if (m_source) {
        const ComPtr<IPin> out = find_free_pin(m_source.get(), PINDIR_OUTPUT);
        const ComPtr<IPin> in = find_free_pin(m_splitter.get(), PINDIR_INPUT);
        if (FAILED(connect_direct(out.get(), in.get()))) return E_FAIL;
    }
    return plat::filter_pins(m_splitter.get(), PINDIR_OUTPUT).empty() ? E_FAIL : S_OK;
}

HRESULT CAVFileBase::BuildGraph()
{
    const HRESULT hr = ConnectOutputs();
    if (FAILED(hr)) return hr;
    StartThreads();
    if (m_streaming) {
        m_data_request.reset();
        m_data_wait_stop.reset();
        m_data_wait_thread = std::thread([this] { DataWaitThread(); });
    }
    return S_OK;
}

HRESULT CAVFileBase::ConnectOutputs()
{
    if (!is_audio_only(m_kind)) {
        // A video container may hold sound alone (an AAC podcast in .mp4 or
        // .flv): then the sound is what plays, and the kind says so.
        const ComPtr<IPin> video = find_output_of_major(m_splitter.get(), MEDIATYPE_Video);
        if (!video) m_kind = KIND_SOUND_ALONE;
        else if (FAILED(AddVideoDecoder(video.get()))) return E_FAIL;
        else GetVideoSize(video.get());
    }
    const ComPtr<IPin> audio = find_output_of_major(m_splitter.get(), MEDIATYPE_Audio);
    HRESULT hr = audio ? AddAudioDecoder(audio.get()) : E_FAIL;
    if (FAILED(hr) && !is_audio_only(m_kind)) {
        plat::debug_log("AVFileBase: the source's sound is not played");
        hr = S_OK;
    }
    UseAudioClock();
    return hr;
}

ComPtr<IPin> CAVFileBase::decode_video(IPin* pin, std::u16string_view output_name)
{
    // The ASF reader hands out pictures it has decoded itself.
    if (m_kind == KIND_ASF_VIDEO) return ComPtr<IPin>(pin);
    m_video_decoder = add_filter(FlashDecoder);
    if (!m_video_decoder) m_video_decoder = add_filter(AVCDecoder);
    if (m_video_decoder && SUCCEEDED(connect_direct(pin, find_free_pin(m_video_decoder.get(), PINDIR_INPUT).get())))
        return find_free_pin(m_video_decoder.get(), PINDIR_OUTPUT, output_name);
    remove_filter(m_video_decoder);
    return ComPtr<IPin>(pin);
}

HRESULT CAVFileBase::AddVideoDecoder(IPin* pin)
{
    const ComPtr<IPin> decoded = decode_video(pin, {});
    return AddVideoRenderer(add_subtitle(decoded.get()).get());
}

// The subtitle filter between decoder and renderer, told the source's name;
// without it the pictures go straight on.
ComPtr<IPin> CAVFileBase::add_subtitle(IPin* pin)
{
    ComPtr<IBaseFilter> subtitle = add_filter(SubTitle);
    if (!subtitle || FAILED(connect_direct(pin, find_free_pin(subtitle.get(), PINDIR_INPUT).get()))) {
        remove_filter(subtitle);
        return ComPtr<IPin>(pin);
    }
    m_subtitle = subtitle;
    if (const ComPtr<IKsPropertySet> properties = subtitle.as<IKsPropertySet>()) {
        std::string name = plat::utf16_to_utf8(m_path);
        properties->Set(SubTitleProperties, 0, nullptr, 0, name.data(), static_cast<DWORD>(name.size() + 1));
        DWORD on = 1;
        properties->Set(SubTitleProperties, 1, nullptr, 0, &on, sizeof on);
    }
    return find_free_pin(subtitle.get(), PINDIR_OUTPUT);
}

HRESULT CAVFileBase::AddAudioDecoder(IPin* pin)
{
    ComPtr<IPin> upstream(pin);
    if (m_kind != KIND_ASF_AUDIO && m_kind != KIND_WAVE) {
        m_audio_decoder = add_filter(AudioDecoder);
        if (m_audio_decoder && SUCCEEDED(connect_direct(pin, find_free_pin(m_audio_decoder.get(), PINDIR_INPUT).get())))
            upstream = find_free_pin(m_audio_decoder.get(), PINDIR_OUTPUT);
        else
            remove_filter(m_audio_decoder);
    }
    return AddAudioRenderer(upstream.get());
}

HRESULT CAVFileBase::AddVideoRenderer(IPin* pin)
{
    ComPtr<IBaseFilter> renderer = add_filter(VideoRenderer);
    const ComPtr<IPin> in = find_free_pin(renderer.get(), PINDIR_INPUT);
    if (in && (SUCCEEDED(connect_direct(pin, in.get())) || SUCCEEDED(connect(pin, in.get())))) return S_OK;
    remove_filter(renderer);
    return E_FAIL;
}

HRESULT CAVFileBase::AddAudioRenderer(IPin* pin)
{
    ComPtr<IBaseFilter> renderer = add_filter(DirectSoundRenderer);
    if (!renderer) renderer = add_filter(WaveOutRenderer);
    const ComPtr<IPin> in = find_free_pin(renderer.get(), PINDIR_INPUT);
    if (in && (SUCCEEDED(connect_direct(pin, in.get())) || SUCCEEDED(connect(pin, in.get())))) return S_OK;
    remove_filter(renderer);
    return E_FAIL;
}

HRESULT CAVFileBase::build_quicktime_graph()
{
    m_play_state = PLAY_STATE_BUILDING;
    if (FAILED(CreateGraph())) return E_FAIL;
    m_source = add_filter(QTSource);
    if (!m_source || FAILED(load(m_source.get(), m_path))) return E_FAIL;
    const ComPtr<IPin> video = find_output_of_major(m_source.get(), MEDIATYPE_Video);
    if (video && FAILED(AddVideoRenderer(video.get()))) return E_FAIL;
    const ComPtr<IPin> audio = find_free_pin(m_source.get(), PINDIR_OUTPUT);
    if (!video) {
        // A movie of sound alone: its sound must play.
        if (!audio || FAILED(AddAudioRenderer(audio.get()))) return E_FAIL;
        m_kind = KIND_SOUND_ALONE;
    } else if (audio) {
        AddAudioRenderer(audio.get());
    }
    UseAudioClock();
    return S_OK;
}

DWORD CAVFileBase::report_period() const
{
    return m_streaming ? m_buffering_tick_ms.load() : CAVBase::report_period();
}

void CAVFileBase::on_position(LONGLONG position, LONGLONG duration)
{
    m_duration = duration;
    if (const ComPtr<IKsPropertySet> properties = m_subtitle.as<IKsPropertySet>()) {
        DWORD ms = static_cast<DWORD>(position / 10000);
        properties->Set(SubTitleProperties, 4, nullptr, 0, &ms, sizeof ms);
    }
    if (!m_streaming || m_user_paused) return;
    BufferingWatch::Action action;
    {
        std::scoped_lock hold(m_watch_lock);
        action = m_watch.tick(position / 10000, duration / 10000, m_play_state == PLAY_STATE_PAUSED, m_data_needed);
    }
    switch (action) {
    case BufferingWatch::Action::PauseForData:
        m_data_needed = true;
        Pause();
        plat::debug_log("Pause!\n");
        m_data_request.set();
        break;
    case BufferingWatch::Action::Resume:
        CAVBase::Play();
        plat::debug_log("Play!\n");
        break;
    case BufferingWatch::Action::None: break;
    }
}

void CAVFileBase::DataWaitThread()
{
    while (plat::wait_any({&m_data_wait_stop, &m_data_request}, INFINITE) == WAIT_OBJECT_0 + 1) {
        notify(EVT_BUFFERING);
        Refill(m_last_read);
        m_data_request.reset();
        if (m_data_wait_stop.wait(0) == WAIT_OBJECT_0) return;
        notify(EVT_DATA_ARRIVED);
    }
}

void CAVFileBase::stop_data_wait()
{
    m_data_wait_stop.set();
    m_data.set();   // a refill in progress stops waiting
    if (m_data_wait_thread.joinable()) m_data_wait_thread.join();
}

void CAVFileBase::Refill(LONGLONG position)
{
    if (!m_data_needed) return;
    IOstrelItem* const store = m_store;
    const LONGLONG total = GetTotalSize();
    const LONGLONG size = read_ahead_size(total, m_buffer_time_s, m_duration / 10000000, m_read_ahead, position);
    if (store != nullptr && position < total && size > 0) {
        std::vector<BYTE> ahead(static_cast<std::size_t>(size));
        read_waiting(store, position, static_cast<LONG>(size), ahead.data());
    }
    m_read_ahead = std::min(size, READ_AHEAD_MAX) * 2;
    m_data_needed = false;
}

LONG CAVFileBase::ReadData(LONGLONG position, LONG length, BYTE* buffer, LONG* read)
{
    if (read != nullptr) *read = 0;
    IOstrelItem* const store = m_store;
    if (store == nullptr || buffer == nullptr || length <= 0 || position < 0) return 1;
    m_last_read = position;
    const auto [got, result] = read_waiting(store, position, length, buffer);
    if (result == OSTREL_END_OF_CONTENT && got < length) plat::debug_log("PlayControl:Current item End!\n");
    if (result == OSTREL_CANCELLED && m_play_state == PLAY_STATE_BUILDING) m_abort_building = true;
    if (read != nullptr) *read = got;
    return 1;
}

LONGLONG CAVFileBase::GetTotalSize()
{
    IOstrelItem* const store = m_store;
    const LONGLONG size = store != nullptr ? store->TotalSize() : 0;
    m_total = size > 0 ? size : UNKNOWN_STREAM_SIZE;
    return m_total;
}

std::pair<LONG, LONG> CAVFileBase::read_waiting(IOstrelItem* store, LONGLONG position, LONG length, BYTE* buffer)
{
    LONG got = 0, result = OSTREL_OK;
    while (got < length) {
        LONG n = 0;
        result = store->Read(position + got, buffer + got, length - got, &n);
        if (result == OSTREL_OK) got += std::clamp(n, LONG{0}, length - got);   // a count past the buffer is not trusted
        if (got >= length) break;
        // A cancelled download never brings its bytes: waiting would never end.
        if (result != OSTREL_OK && result != OSTREL_NOT_ARRIVED) break;
        if (result == OSTREL_OK && n > 0) continue;   // the next segment may be there already
        if (m_held_off > 0 || m_data.wait(m_data_poll_ms) == WAIT_OBJECT_0) break;
    }
    return {got, result};
}
