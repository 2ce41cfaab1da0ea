#include "engines/orvane/CTranscodeControl.h"

#include "engines/mediagraph/GraphCommands.h"
#include "engines/orvane/CTranscodeBase.h"
#include "platform/base/DebugLog.h"

#include <cstring>
#include <string>

namespace {

bool queued_copy_carries(LONG code, DWORD flags)
{
    switch (code) {
    case CMD_GET_VERSION:
    case CMD_GET_VOLUME:
    case CMD_GET_PLAY_STATE:
    case CMD_GET_MEDIA_KIND:
        return false;   // an out value written into a private copy reaches nobody
    case CMD_SOURCE:
    case CMD_OUTPUT:
    case CMD_OUTPUT_SETTINGS:
        return (flags & CONTROL_COPY_LENGTH) != 0;
    default:
        return true;   // nothing, or one 32-bit value
    }
}

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
    if ((flags & CONTROL_ASYNC) && !queued_copy_carries(code, flags)) {
        plat::debug_log("Transcode: command " + std::to_string(code) + " carries data a queue cannot copy; not queued");
        return 0;
    }
    const LONG handled = CBaseControl::SendCommand(code, data, length, flags);
    return handled != 0 ? handled : Execute(code, data, length, flags);
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
