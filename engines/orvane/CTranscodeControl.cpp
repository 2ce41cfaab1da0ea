#include "engines/orvane/CTranscodeControl.h"

#include "engines/mediagraph/GraphCommands.h"
#include "engines/orvane/CTranscodeBase.h"
#include "platform/base/DebugLog.h"

#include <cstring>
#include <string>

namespace {

// A zero-terminated wide text, within *length bytes when a length is given.
// Kept whole whatever its length.
std::u16string wide_text(const void* data, const LONG* length)
{
    if (data == nullptr) return {};
    const auto* text = static_cast<const char16_t*>(data);
    if (length == nullptr) return text;
    const std::size_t limit = *length > 0 ? static_cast<std::size_t>(*length) / sizeof(char16_t) : 0;
    std::size_t n = 0;
    while (n < limit && text[n] != 0) ++n;
    return {text, n};
}

}

CTranscodeControl::CTranscodeControl(plat::FilterMaker make, DWORD report_period_ms)
    : m_graph(std::make_unique<CTranscodeBase>(this, std::move(make), report_period_ms))
{
}

CTranscodeControl::~CTranscodeControl()
{
    stop_command_thread();
    std::scoped_lock hold(m_execute_lock);
    m_graph.reset();
}

LONG CTranscodeControl::SendCommand(LONG code, void* data, LONG* length, DWORD flags)
{
    return dispatch_command("Transcode", code, data, length, flags);
}

LONG CTranscodeControl::Execute(LONG code, void* data, LONG* length, DWORD)
{
    std::scoped_lock hold(m_execute_lock);
    if (!m_graph) return -1;
    return execute(code, data, length);
}

LONG CTranscodeControl::execute(LONG code, void* data, const LONG* length)
{
    switch (code) {
    case CMD_GET_VERSION: write_version(data); return 1;
    case CMD_GET_PLAY_STATE: mediagraph::write_long(data, m_graph->GetPlayState()); return 1;
    case CMD_SOURCE: m_graph->SetSourcePath(wide_text(data, length)); return 1;
    case CMD_OUTPUT: m_graph->SetOutputPath(wide_text(data, length)); return 1;
    case CMD_OUTPUT_SETTINGS: {
        // The record is 128 bytes of settings and a pointer-sized text pointer.
        if (data == nullptr || (length != nullptr && *length < static_cast<LONG>(sizeof(tOutputSettings)))) return -1;
        tOutputSettings settings;
        std::memcpy(&settings, data, sizeof settings);
        m_graph->SetOutputSettings(settings);
        return 1;
    }
    default: return mediagraph::execute_graph_command(*m_graph, code, data).value_or(1);
    }
}
