#pragma once
// QuelmGraph: the file graph of CAVFileBase played on the screen and the
// speakers. The sound passes the PassThrough DMO on its way to the renderer,
// whose sample reader the visualisation reads; the graph-notify object is
// told when the video renderer joins the graph (0x10000, so it can attach its
// presenter) and when the graph goes (0x10001).

#include "engines/mediagraph/CAVFileBase.h"
#include "outside/filters/ISampleReader.h"

inline constexpr LONG GRAPH_NOTIFY_RENDERER_ADDED = 0x10000;
inline constexpr LONG GRAPH_NOTIFY_GRAPH_GONE = 0x10001;

class QuelmGraph final : public CAVFileBase {
public:
    QuelmGraph(IBaseControl* controller, plat::FilterMaker make, DWORD report_period_ms);
    ~QuelmGraph() override;

    // The object told about the video renderer; null for none. Applies from the next graph built.
    void SetGraphNotify(IBaseEventHandler* notify);
    // Moves the play position to `seconds` from the start.
    HRESULT Seek(LONG seconds);
    // The PassThrough DMO's reader of the graph playing now, counted; null without one.
    plat::ComPtr<ISampleReader> GetSampleReader();

protected:
    void DestroyGraph() override;
    HRESULT AddVideoRenderer(IPin* pin) override;
    HRESULT AddAudioRenderer(IPin* pin) override;

private:
    plat::ComPtr<IPin> add_pass_through(IPin* pin);

    IBaseEventHandler* m_notify = nullptr;   // guarded by m_graph_lock
    bool m_notified = false;                 // guarded by m_graph_lock: 0x10000 told for this graph
    plat::ComPtr<IBaseFilter> m_pass_through;   // guarded by m_graph_lock
};
