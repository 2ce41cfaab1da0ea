#include "screens/video/DrawTrace.h"

#include "platform/base/DebugLog.h"

namespace UI {

void DrawTrace::Note(const char* what, std::string_view detail)
{
    if (what == m_last) return;
    m_last = what;
    std::string line = m_who + ": " + what;
    if (!detail.empty()) line += " (" + std::string(detail) + ")";
    plat::debug_log(line);
}

}
