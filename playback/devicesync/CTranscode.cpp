#include "playback/devicesync/CTranscode.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

std::filesystem::path as_path(const std::u16string& text)
{
    return std::filesystem::path(plat::utf16_to_utf8(text));
}

// A zero-terminated copy that the engine reads as its wide path.
LONG send_path(IBaseControl& engine, LONG code, const std::u16string& path)
{
    std::u16string text = path;
    return engine.SendCommand(code, text.data(), nullptr, 0);
}

}  // namespace

CTranscode::CTranscode(Engine engine, std::function<void()> ended)
    : m_engine_maker(std::move(engine)), m_ended(std::move(ended))
{
}

CTranscode::~CTranscode()
{
    if (!m_engine) return;
    m_engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(this), nullptr, 0);
    m_engine_maker.release(m_engine);
}

bool CTranscode::Start(const std::u16string& source, const std::u16string& output)
{
    if (source.empty() || output.empty()) return false;
    if (!m_engine && !(m_engine = m_engine_maker.create())) return false;
    m_output = output;
    m_engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(this), nullptr, 0);
    send_path(*m_engine, CMD_SOURCE, source);
    send_path(*m_engine, CMD_OUTPUT, TemporaryName(output));
    return m_engine->SendCommand(CMD_RUN, nullptr, nullptr, 0) == 1;
}

bool CTranscode::Stop()
{
    if (!m_engine) return false;
    m_engine->SendCommand(CMD_STOP, nullptr, nullptr, 0);
    m_engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
    return true;
}

bool CTranscode::Finish()
{
    if (m_output.empty()) return false;
    const std::filesystem::path written = as_path(TemporaryName(m_output));
    std::error_code error;
    if (m_outcome == Outcome::Completed) {
        std::filesystem::rename(written, as_path(m_output), error);
        if (!error) return true;
        plat::debug_log("transcode: the finished file cannot take its name: " + error.message());
    }
    std::filesystem::remove(written, error);
    return false;
}

int CTranscode::Percent() const
{
    const LONGLONG duration = m_duration;
    if (duration <= 0) return 0;
    return int(std::min<LONGLONG>(m_position * 100 / duration, 100));
}

LONG CTranscode::OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR)
{
    if (!m_engine || sender != static_cast<void*>(m_engine)) return -1;
    switch (code) {
    case EVT_POSITION: m_position = value; break;
    case EVT_DURATION: m_duration = value; break;
    case EVT_COMPLETE:
    case EVT_GRAPH_FAILED: {
        Outcome running = Outcome::Running;
        const Outcome ended = code == EVT_COMPLETE ? Outcome::Completed : Outcome::Failed;
        if (m_outcome.compare_exchange_strong(running, ended) && m_ended) m_ended();
        break;
    }
    default: break;
    }
    return 0;
}
