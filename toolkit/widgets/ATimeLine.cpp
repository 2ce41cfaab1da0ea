#include "ATimeLine.h"

#include "CMutexGuard.h"
#include "keyframe.h"

#include <algorithm>

namespace UI {

ATimeLine::~ATimeLine() { Clear(); }

bool ATimeLine::IsDone()
{
    CMutexGuard hold(m_lock);
    return std::all_of(m_frames.begin(), m_frames.end(), [](const Entry& e) { return e.frame->IsIdle(); });
}

bool ATimeLine::Start(int)
{
    CMutexGuard hold(m_lock);
    if (!IsDone()) return false;
    for (Entry& e : m_frames) e.frame->Start();
    return !m_frames.empty();
}

void ATimeLine::Add(Entry entry)
{
    CMutexGuard hold(m_lock);
    auto found = std::find_if(m_frames.begin(), m_frames.end(), [&](const Entry& e) { return e.frame == entry.frame; });
    if (found != m_frames.end()) {
        entry.owned = entry.owned || found->owned;
        m_frames.erase(found);
    }
    m_frames.push_back(entry);
}

void ATimeLine::AddKeyframe(std::unique_ptr<keyframe> k)
{
    if (k) Add({k.release(), true});
}

void ATimeLine::AddKeyframe(keyframe& k) { Add({&k, false}); }

std::unique_ptr<keyframe> ATimeLine::RemoveKeyframe(keyframe* k)
{
    CMutexGuard hold(m_lock);
    auto found = std::find_if(m_frames.begin(), m_frames.end(), [&](const Entry& e) { return e.frame == k; });
    if (found == m_frames.end()) return nullptr;
    std::unique_ptr<keyframe> back(found->owned ? found->frame : nullptr);
    m_frames.erase(found);
    return back;
}

void ATimeLine::Clear()
{
    CMutexGuard hold(m_lock);
    for (Entry& e : m_frames)
        if (e.owned) delete e.frame;
    m_frames.clear();
}

bool ATimeLine::Step(int ms)
{
    CMutexGuard hold(m_lock);
    for (Entry& e : m_frames) e.frame->Step(ms);
    if (!IsDone()) return true;
    for (Entry& e : m_frames) e.frame->SetState(KeyframeNew);
    if (m_listener) m_listener->OnTimeLineEnd(m_listener_value);
    return true;
}

void ATimeLine::SetListener(ATimeLineListener* listener, int value)
{
    CMutexGuard hold(m_lock);
    m_listener = listener;
    m_listener_value = value;
}

std::size_t ATimeLine::KeyframeCount()
{
    CMutexGuard hold(m_lock);
    return m_frames.size();
}

}
