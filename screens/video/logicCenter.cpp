#include "screens/video/logicCenter.h"

#include "screens/video/loadinAnimation.h"

#include <cmath>

namespace UI {

void logicCenter::Update()
{
    if (!m_owner->LoadIn().IsRunning()) {
        if (m_ratio.IsRunning()) {
            m_ratio.Step();
            m_owner->KeepAspect();
        } else if (m_size.IsRunning()) {
            m_size.Step();
        } else if (m_warning.IsRunning()) {
            m_warning.Step();
        }
    }
    const widget* parent = m_owner->GetParent();
    if (!parent) return;
    m_owner->SetPos(std::trunc((parent->GetWidth() - m_owner->GetWidth()) / 2),
                    std::trunc((parent->GetHeight() - m_owner->GetHeight()) / 2));
    m_owner->UpdateLayout();
}

void logicCenter::OnLayout()
{
    if (m_owner->GetFitMode() != 1 || m_ratio.IsRunning() || m_size.IsRunning() || !m_owner->WasVideoShown()) return;
    const widget* parent = m_owner->GetParent();
    if (!parent) return;
    const float reserved = m_owner->VideoFillsScreen() ? 0.0f : 50.0f;
    FitInside(parent->GetWidth(), parent->GetHeight() - reserved);
    m_owner->SetSize(m_owner->GetWidth() + VideoFrame, m_owner->GetHeight() + VideoFrame);
}

void logicCenter::Fit(float w, float h, float frame)
{
    videogeometry& g = m_owner->Geometry();
    g.current_height = m_owner->GetHeight();
    g.current_width = m_owner->GetWidth();
    g.target_height = h + frame;
    if (w / h <= g.aspect) {
        g.target_width = w + frame;
        g.target_height = w / g.aspect + frame;
    } else {
        g.target_width = h * g.aspect + frame;
    }
    m_size.Start(g.target_width, g.target_height);
}

void logicCenter::FitVideo(float w, float h) { Fit(w, h, VideoFrame); }

void logicCenter::FitVideoWithoutFrame(float w, float h) { Fit(w, h, 0); }

void logicCenter::FitInside(float w, float h)
{
    const float aspect = m_owner->Geometry().aspect;
    if (aspect < w / h)
        m_owner->SetSize(h * aspect, h);
    else
        m_owner->SetSize(w, w / aspect);
}

}
