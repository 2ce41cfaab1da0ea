#include "toolkit/controls/wmultiprogress.h"

#include "toolkit/render/backbuffer.h"
#include "toolkit/render/render.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/WindowSurface.h"

#include <algorithm>

namespace UI {
namespace {

// Spans painted per frame: one while fewer than this many wait, otherwise
// enough to bring the queue down to one less.
constexpr std::size_t CatchUpAt = 30;

int reset_count()
{
    d3dresMgr* manager = d3dresMgr::Instance();
    return manager ? manager->GetResetCount() : 0;
}

}  // namespace

wmultiprogress::wmultiprogress(std::string name) : wprogress(std::move(name)) {}

wmultiprogress::~wmultiprogress()
{
    CMutexGuard hold(WidgetMutex());
    m_surface.reset();
}

void wmultiprogress::AddSegment(float start, float end)
{
    {
        CMutexGuard hold(WidgetMutex());
        m_value = start;
        m_pending.emplace_back(int(start), end);
    }
    Invalidate();
}

void wmultiprogress::Clear()
{
    {
        CMutexGuard hold(WidgetMutex());
        m_pending.clear();
        m_painted.clear();
        m_surface.reset();
    }
    Invalidate();
}

void wmultiprogress::take_back_after_reset()
{
    const int resets = reset_count();
    if (resets == m_reset_seen)
        return;
    m_reset_seen = resets;
    // The surface came back empty: paint every span again, first.
    m_pending.insert(m_pending.begin(), m_painted.begin(), m_painted.end());
    m_painted.clear();
    if (m_surface) {
        RenderEngine::PushRenderTarget(m_surface.get(), true, 0, 0, 0, 0);
        RenderEngine::PopRenderTarget();
    }
}

void wmultiprogress::paint(RenderEngine::backbuffer& surface, const std::pair<int, float>& span, float length)
{
    const float from = std::clamp(span.first * length / m_range, 0.0f, length);
    const float to = std::clamp(span.second * length / m_range + 1, 0.0f, length);
    if (to > from && m_fill)
        RenderEngine::DrawPicture(m_fill, from, 0, to - from, float(surface.m_height), 1.0f);
}

void wmultiprogress::Draw()
{
    SetDirty(false);
    if (!IsVisible() || GetAlpha() < 5 || m_range <= 0)
        return;
    CMutexGuard hold(WidgetMutex());
    const frect track = track_rect();
    DrawSkin(m_track, track, GetAlpha() / 255.0f, m_fill_borders);
    // A bar of 2 px or less has no inside to paint into.
    if (GetWidth() <= 2 || GetHeight() <= 2)
        return;
    if (!m_surface) {
        m_surface = CreateWindowSurface(unsigned(GetWidth() - 2), unsigned(GetHeight() - 2));
        if (!m_surface)
            return;
        m_reset_seen = reset_count();
        RenderEngine::PushRenderTarget(m_surface.get(), true, 0, 0, 0, 0);
        RenderEngine::PopRenderTarget();
    }
    take_back_after_reset();
    const float length = GetWidth() - 2;
    std::size_t count = m_pending.size() < CatchUpAt ? std::min<std::size_t>(1, m_pending.size())
                                                     : m_pending.size() - (CatchUpAt - 1);
    if (count > 0) {
        RenderEngine::PushRenderTarget(m_surface.get(), false, 0, 0, 0, 0);
        for (; count > 0; --count) {
            paint(*m_surface, m_pending.front(), length);
            m_painted.push_back(m_pending.front());
            m_pending.pop_front();
        }
        RenderEngine::PopRenderTarget();
    }
    if (!m_pending.empty())
        Invalidate();
    const fpoint at = DrawPositionOf(*this);
    RenderEngine::DrawBackBuffer(m_surface.get(), at.x + 1, at.y + 1, GetWidth() - 2, GetHeight() - 2,
                                 GetAlpha() / 255.0f);
}

}
