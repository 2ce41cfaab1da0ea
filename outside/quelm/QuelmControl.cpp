#include "outside/quelm/QuelmControl.h"

#include "engines/mediagraph/GraphCommands.h"
#include "engines/wemble/PlayTaskInfo.h"
#include "outside/quelm/QuelmGraph.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"

#include <cstring>
#include <string>

namespace {

LONG result(HRESULT hr) { return SUCCEEDED(hr) ? 1 : -1; }

constexpr const char* store_user = "Quelm";

// The play states of command 4110 as the play controller reads them.
LONG play_state(SHORT state)
{
    switch (state) {
    case PLAY_STATE_RUNNING: return 1;
    case PLAY_STATE_PAUSED: return 2;
    case PLAY_STATE_STOPPED: return 3;
    default: return 0;
    }
}

}

QuelmControl::QuelmControl(plat::FilterMaker make, DWORD report_period_ms, IBaseEventHandler* graph_notify)
    : m_graph(std::make_unique<QuelmGraph>(this, std::move(make), report_period_ms))
{
    m_graph->SetGraphNotify(graph_notify);
    m_delivery = std::jthread([this](std::stop_token stop) { deliver(stop); });
}

QuelmControl::~QuelmControl()
{
    stop_command_thread();
    m_graph->InterruptReads();
    {
        std::scoped_lock hold(m_execute_lock);
        m_graph.reset();
        if (m_item) m_item->Release(store_user);
    }
    m_delivery.request_stop();
    m_delivery.join();
}

LONG QuelmControl::Notify(void*, LONG code, INT_PTR value, INT_PTR extra)
{
    {
        std::scoped_lock hold(m_event_lock);
        m_events.push_back({code, value, extra});
        // The play controller moves on to the next item on the end of play.
        if (code == EVT_COMPLETE) m_events.push_back({EVT_END_PLAYING, 0, 0});
    }
    m_event_ready.notify_one();
    return 0;
}

void QuelmControl::deliver(std::stop_token stop)
{
    std::unique_lock hold(m_event_lock);
    while (true) {
        m_event_ready.wait(hold, stop, [&] { return !m_events.empty(); });
        if (m_events.empty()) return;   // stopped, all delivered
        const Event e = m_events.front();
        m_events.pop_front();
        hold.unlock();
        CBaseControl::Notify(this, e.code, e.value, e.extra);
        hold.lock();
    }
}

LONG QuelmControl::SendCommand(LONG code, void* data, LONG* length, DWORD flags)
{
    return dispatch_command("Quelm", code, data, length, flags);
}

LONG QuelmControl::Execute(LONG code, void* data, LONG*, DWORD)
{
    // A graph still being built may wait for a stream's bytes under the lock:
    // these commands end that wait rather than wait behind it.
    const bool hold_off = code == CMD_CLOSE || code == CMD_STOP || code == CMD_PLAY_NOW;
    if (hold_off) m_graph->HoldOffReads();
    std::scoped_lock hold(m_execute_lock);
    if (hold_off) m_graph->EndHoldOff();
    if (!m_graph) return -1;
    return execute(code, data);
}

LONG QuelmControl::execute(LONG code, void* data)
{
    switch (code) {
    case CMD_GET_VERSION: write_version(data); return 1;
    case CMD_SEEK: {
        LONG seconds = 0;
        if (data == nullptr) return -1;
        std::memcpy(&seconds, data, sizeof seconds);
        return result(m_graph->Seek(seconds));
    }
    case CMD_GET_PLAY_STATE: mediagraph::write_long(data, play_state(m_graph->GetPlayState())); return 1;
    case CMD_SAMPLE_READER:
        // Counted for the caller, who releases it.
        if (data != nullptr) *static_cast<ISampleReader**>(data) = m_graph->GetSampleReader().detach();
        return 1;
    case CMD_PLAY_NOW: return play(data);
    case CMD_CLOSE: close(); return 1;
    // 1: the play controller's pause while the download is behind; a refill follows.
    case CMD_PAUSE: m_graph->PauseSource(data != nullptr && *static_cast<const LONG*>(data) == 1); return 1;
    case CMD_SET_ITEM_STORE: m_store = static_cast<IOstrelItemStore*>(data); return 1;
    default: return mediagraph::execute_graph_command(*m_graph, code, data).value_or(1);
    }
}

LONG QuelmControl::play(const void* data)
{
    if (data == nullptr) return -1;
    const auto& task = *static_cast<const PlayTaskInfo*>(data);
    close();
    if (task.is_local_file()) {
        Notify(this, EVT_START_PLAYING, 0, 0);
        m_graph->SetSourcePath(task.local_path);
        return result(m_graph->Play());   // a graph no route builds has told 4104
    }
    // An address: its bytes come from the download the play controller started.
    const std::u16string address =
        task.local_path.find(u"://") != std::u16string::npos ? task.local_path : plat::utf8_to_utf16(task.url);
    m_item = m_store && !address.empty() ? m_store->Lookup(task.id, store_user) : nullptr;
    if (!m_item) {
        plat::debug_log("Quelm: no download to read for " + task.url);
        Notify(this, EVT_GRAPH_FAILED, 0, 0);
        return -1;
    }
    Notify(this, EVT_START_PLAYING, 0, 0);
    m_graph->SetDataStore(m_item);
    m_graph->SetStreaming(true);   // only this engine knows its source is still arriving
    m_graph->SetSourcePath(address);
    return result(m_graph->Play());
}

void QuelmControl::close()
{
    m_graph->Close();   // the graph lets go of the download before it is released
    if (m_item) m_item->Release(store_user);
    m_item = nullptr;
}
