#include "animationMgr.h"

#include "ATimeLine.h"
#include "CMutexGuard.h"

namespace UI {

animationMgr::~animationMgr() { StopAll(); }

void animationMgr::Add(Entry entry)
{
    CMutexGuard hold(m_lock);
    entry.line->Start(entry.line->GetListenerValue());
    m_lines.push_back(entry);
    m_running = true;
}

void animationMgr::AddTimeLine(std::unique_ptr<ATimeLine> line)
{
    if (line) Add({line.release(), true});
}

void animationMgr::AddTimeLine(ATimeLine& line) { Add({&line, false}); }

void animationMgr::Tick(int ms)
{
    CMutexGuard hold(m_lock);
    std::size_t i = 0;
    while (i < m_lines.size()) {
        ATimeLine* line = m_lines[i].line;
        line->Step(ms);
        // A listener may have stopped this manager meanwhile.
        if (i >= m_lines.size() || m_lines[i].line != line) break;
        if (!line->IsDone()) {
            ++i;
            continue;
        }
        line->Clear();
        if (m_lines[i].owned) delete line;
        m_lines.erase(m_lines.begin() + std::ptrdiff_t(i));
        m_running = !m_lines.empty();
    }
}

void animationMgr::RemoveTimeLine(ATimeLine& line)
{
    CMutexGuard hold(m_lock);
    std::erase_if(m_lines, [&](const Entry& e) { return e.line == &line && !e.owned; });
    m_running = !m_lines.empty();
}

void animationMgr::StopAll()
{
    CMutexGuard hold(m_lock);
    for (Entry& e : m_lines)
        if (e.owned) delete e.line;
    m_lines.clear();
    // Left set, the widget would count as animating for good and ignore double clicks.
    m_running = false;
}

bool animationMgr::IsRunning() const
{
    CMutexGuard hold(m_lock);
    return m_running;
}

std::size_t animationMgr::TimeLineCount()
{
    CMutexGuard hold(m_lock);
    return m_lines.size();
}

}
