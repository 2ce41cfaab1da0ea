#include "screens/video/loadinAnimation.h"

namespace UI {

namespace {

constexpr float loadin_height = 352;
constexpr float loadin_width = 469.33334f;   // 352 at 4:3

}

void videoplaywindow::loadinAnimation::BackToCenter()
{
    switch (m_owner->CurrentState()) {
    case vpsCenter2RightTop:
        m_owner->Fire(vpeRightTopReached);
        m_owner->Fire(vpeToCenter);
        m_owner->Fire(vpeCenterReached);
        break;
    case vpsRightTop:
        m_owner->Fire(vpeToCenter);
        m_owner->Fire(vpeCenterReached);
        break;
    case vpsRightTop2Center:
        m_owner->Fire(vpeCenterReached);
        break;
    case vpsCenter:
        break;
    }
}

void videoplaywindow::loadinAnimation::Start(const loadinrect& rect)
{
    Begin();
    m_owner->CurrentLogic().SetRatio(4.0f / 3.0f);
    if (!m_owner->IsVisible()) {
        m_owner->SetPosRule(0, 0, 0, 0);
        BackToCenter();
        m_owner->RequestUpdateParent();
        m_owner->SetSize(rect.width, rect.height);
        m_owner->SetPos(rect.x, rect.y);
        moveparams block;
        block.target_width = loadin_width;
        block.target_height = loadin_height;
        block.x = (ParentWidth() - loadin_width) / 2;
        block.y = (ParentHeight() - loadin_height) / 2;
        m_possize.Start(block);
        m_possize.SetDivisor(6.0f);
        m_owner->AskPaging(false);
    }
    m_owner->Show(true);
    m_owner->Invalidate();
    m_owner->UpdateLayout();
    videogeometry& g = m_owner->Geometry();
    if (g.target_height <= 0) {
        g.target_height = m_owner->GetHeight();
        g.target_width = m_owner->GetWidth();
    }
}

void videoplaywindow::loadinAnimation::Step()
{
    if (IsRunning()) m_possize.Step();
}

void videoplaywindow::loadinAnimation::Finish()
{
    if (widget* indicator = m_owner->LoadingIndicator()) indicator->Show(false);
    Report();
}

}
