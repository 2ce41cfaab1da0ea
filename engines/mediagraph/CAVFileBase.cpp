#include "engines/mediagraph/CAVFileBase.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/ComScope.h"
#include "platform/dshow/AsyncFileSource.h"
#include "platform/dshow/MediaFormats.h"

using plat::ComPtr;
using namespace mediagraph;

namespace {

HRESULT load(IBaseFilter* filter, const std::u16string& path)
{
    const ComPtr<IFileSourceFilter> loader = ComPtr<IBaseFilter>(filter).as<IFileSourceFilter>();
    return loader ? loader->Load(path.c_str(), nullptr) : E_NOINTERFACE;
}

}

CAVFileBase::CAVFileBase(IBaseControl* controller, plat::FilterMaker make, DWORD report_period_ms)
    : CAVBase(controller, std::move(make), report_period_ms)
{
}

CAVFileBase::~CAVFileBase()
{
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
    if (has_graph()) return CAVBase::Play();
    if (m_path.empty()) return E_FAIL;
    plat::ComScope com;
    m_play_state = PLAY_STATE_BUILDING;
    HRESULT hr = build_source_and_splitter();
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

HRESULT CAVFileBase::Close()
{
    std::scoped_lock hold(m_graph_lock);
    m_path.clear();
    DestroyGraph();
    return S_OK;
}

void CAVFileBase::DestroyGraph()
{
    std::scoped_lock hold(m_graph_lock);
    CAVBase::DestroyGraph();
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
        plat::debug_log("AVFileBase: network sources are not read here");
        return E_FAIL;
    }
    ComPtr<IBaseFilter> source(new plat::AsyncFileSource());
    if (FAILED(load(source.get(), m_path))) return E_FAIL;
    m_source = add_filter(source, u"File Source");
    return m_source ? S_OK : E_FAIL;
}

HRESULT CAVFileBase::try_generic_chain()
{
    if (SUCCEEDED(try_splitter(KIND_KVR))) return S_OK;
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
    case KIND_NONE: break;
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
    return S_OK;
}

HRESULT CAVFileBase::ConnectOutputs()
{
    if (!is_audio_only(m_kind)) {
        const ComPtr<IPin> video = find_output_of_major(m_splitter.get(), MEDIATYPE_Video);
        if (!video || FAILED(AddVideoDecoder(video.get()))) return E_FAIL;
        GetVideoSize(video.get());
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
    if (!video || FAILED(AddVideoRenderer(video.get()))) return E_FAIL;
    const ComPtr<IPin> audio = find_free_pin(m_source.get(), PINDIR_OUTPUT);
    if (audio) AddAudioRenderer(audio.get());
    UseAudioClock();
    return S_OK;
}
