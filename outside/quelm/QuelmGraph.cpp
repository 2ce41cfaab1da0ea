#include "outside/quelm/QuelmGraph.h"

#include "platform/base/DebugLog.h"
#include "platform/dshow/Dmo.h"

using plat::ComPtr;
using namespace mediagraph;

QuelmGraph::QuelmGraph(IBaseControl* controller, plat::FilterMaker make, DWORD report_period_ms)
    : CAVFileBase(controller, std::move(make), report_period_ms)
{
}

QuelmGraph::~QuelmGraph()
{
    DestroyGraph();
}

void QuelmGraph::SetGraphNotify(IBaseEventHandler* notify)
{
    std::scoped_lock hold(m_graph_lock);
    m_notify = notify;
}

HRESULT QuelmGraph::Seek(LONG seconds)
{
    std::scoped_lock hold(m_graph_lock);
    if (!m_seeking || seconds < 0) return E_FAIL;
    LONGLONG position = static_cast<LONGLONG>(seconds) * 10000000;
    return m_seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

ComPtr<ISampleReader> QuelmGraph::GetSampleReader()
{
    std::scoped_lock hold(m_graph_lock);
    return m_pass_through.as<ISampleReader>();
}

void QuelmGraph::DestroyGraph()
{
    std::scoped_lock hold(m_graph_lock);
    CAVFileBase::DestroyGraph();
    m_pass_through = {};
    // The presenter lets go of the renderer only once the graph has stopped.
    if (m_notified && m_notify) m_notify->OnEvent(this, GRAPH_NOTIFY_GRAPH_GONE, 0, 0);
    m_notified = false;
}

HRESULT QuelmGraph::AddVideoRenderer(IPin* pin)
{
    const HRESULT hr = CAVFileBase::AddVideoRenderer(pin);
    if (FAILED(hr) || !m_notify) return hr;
    if (const ComPtr<IBaseFilter> renderer = find_filter(VideoRenderer.name)) {
        m_notified = true;
        m_notify->OnEvent(this, GRAPH_NOTIFY_RENDERER_ADDED, reinterpret_cast<INT_PTR>(renderer.get()), 0);
    }
    return hr;
}

HRESULT QuelmGraph::AddAudioRenderer(IPin* pin)
{
    const ComPtr<IPin> through = add_pass_through(pin);
    return CAVFileBase::AddAudioRenderer(through.get());
}

// The decoded sound through the PassThrough DMO; without it the sound goes
// straight on and there is no sample reader.
ComPtr<IPin> QuelmGraph::add_pass_through(IPin* pin)
{
    m_pass_through = add_filter(DMOWrapper);
    const ComPtr<IDMOWrapperFilter> wrapper = m_pass_through.as<IDMOWrapperFilter>();
    if (wrapper && SUCCEEDED(wrapper->Init(PassThroughDmo, PassThroughDmoCategory)) &&
        SUCCEEDED(connect_direct(pin, find_free_pin(m_pass_through.get(), PINDIR_INPUT).get())))
        return find_free_pin(m_pass_through.get(), PINDIR_OUTPUT);
    plat::debug_log("Quelm: the sound is played without its sample reader");
    remove_filter(m_pass_through);
    return ComPtr<IPin>(pin);
}
