#include "engines/orvane/CTranscodeBase.h"

#include "platform/base/DebugLog.h"
#include "platform/com/ComScope.h"

using plat::ComPtr;
using namespace mediagraph;

CTranscodeBase::CTranscodeBase(IBaseControl* controller, plat::FilterMaker make, DWORD report_period_ms)
    : CAVFileBase(controller, std::move(make), report_period_ms)
{
}

CTranscodeBase::~CTranscodeBase()
{
    DestroyGraph();
}

void CTranscodeBase::SetOutputPath(std::u16string_view path)
{
    std::scoped_lock hold(m_graph_lock);
    if (!path.empty()) m_output = path;
}

void CTranscodeBase::SetOutputSettings(const tOutputSettings& settings)
{
    std::scoped_lock hold(m_graph_lock);
    m_settings = settings;
}

HRESULT CTranscodeBase::Play()
{
    std::scoped_lock hold(m_graph_lock);
    if (has_graph()) return CAVBase::Play();
    if (m_path.empty() || m_output.empty()) return E_FAIL;
    plat::ComScope com;
    HRESULT hr = build();
    if (SUCCEEDED(hr)) hr = CAVBase::Play();
    if (FAILED(hr)) {
        DestroyGraph();
        // A queued run has no result to read: the listeners must hear that it failed.
        notify(EVT_GRAPH_FAILED);
    }
    return hr;
}

HRESULT CTranscodeBase::build()
{
    HRESULT hr = build_source_and_splitter();
    if (SUCCEEDED(hr)) hr = BuildGraph();
    if (SUCCEEDED(hr) || !is_quicktime_path(m_path)) return hr;
    DestroyGraph();
    hr = build_quicktime_graph();
    if (SUCCEEDED(hr)) hr = add_multiplexer();
    if (SUCCEEDED(hr)) StartThreads();
    return hr;
}

void CTranscodeBase::DestroyGraph()
{
    std::scoped_lock hold(m_graph_lock);
    CAVFileBase::DestroyGraph();
    m_video_encoder = {};
    m_audio_encoder = {};
    m_multiplexer = {};
}

HRESULT CTranscodeBase::ConnectOutputs()
{
    const HRESULT hr = CAVFileBase::ConnectOutputs();
    return FAILED(hr) ? hr : add_multiplexer();
}

HRESULT CTranscodeBase::AddVideoDecoder(IPin* pin)
{
    return AddVideoRenderer(decode_video(pin, u"Video Output").get());
}

HRESULT CTranscodeBase::AddVideoRenderer(IPin* pin)
{
    m_video_encoder = add_encoder(VideoEncoder, pin);
    return m_video_encoder ? S_OK : E_FAIL;
}

HRESULT CTranscodeBase::AddAudioRenderer(IPin* pin)
{
    m_audio_encoder = add_encoder(AudioEncoder, pin);
    return m_audio_encoder ? S_OK : E_FAIL;
}

void CTranscodeBase::UseAudioClock()
{
    if (const ComPtr<IMediaFilter> graph = m_graph.as<IMediaFilter>()) graph->SetSyncSource(nullptr);
}

// Added, given the settings and connected to `upstream`; null (and gone from
// the graph) when any step fails.
ComPtr<IBaseFilter> CTranscodeBase::add_encoder(const FilterId& id, IPin* upstream)
{
    ComPtr<IBaseFilter> encoder = add_filter(id);
    const ComPtr<IOutputSettings> taker = encoder.as<IOutputSettings>();
    if (!taker || FAILED(taker->SetSettings(0, &m_settings)) ||
        FAILED(connect_direct(upstream, find_free_pin(encoder.get(), PINDIR_INPUT).get())))
        remove_filter(encoder);
    return encoder;
}

HRESULT CTranscodeBase::add_multiplexer()
{
    m_multiplexer = add_filter(Multiplexer);
    const ComPtr<IFileSinkFilter> sink = m_multiplexer.as<IFileSinkFilter>();
    const ComPtr<IOutputSettings> taker = m_multiplexer.as<IOutputSettings>();
    const bool ready = sink && taker && SUCCEEDED(sink->SetFileName(m_output.c_str(), nullptr)) &&
                       SUCCEEDED(taker->SetSettings(0, &m_settings));
    const ComPtr<IPin> audio = find_free_pin(m_audio_encoder.get(), PINDIR_OUTPUT);
    const ComPtr<IPin> video = find_free_pin(m_video_encoder.get(), PINDIR_OUTPUT);
    if (ready && SUCCEEDED(connect_direct(audio.get(), find_free_pin(m_multiplexer.get(), PINDIR_INPUT, u"Audio Input").get())) &&
        SUCCEEDED(connect_direct(video.get(), find_free_pin(m_multiplexer.get(), PINDIR_INPUT, u"Video Input").get())))
        return S_OK;
    plat::debug_log("Transcode: the multiplexer does not take both streams");
    remove_filter(m_multiplexer);
    return E_FAIL;
}
