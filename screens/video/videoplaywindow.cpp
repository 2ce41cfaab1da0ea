#include "screens/video/videoplaywindow.h"

#include "screens/video/loadinAnimation.h"
#include "screens/video/uiPlayerLogic.h"
#include "screens/video/uiVideoLayer.h"
#include "screens/video/videowindow.h"
#include "screens/widgets/wvideoloading.h"

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"

#include "platform/d3d9/Direct3D.h"

#include <cmath>

namespace UI {

namespace {

constexpr int linear_filter = 2;

wimage* frame_image(window& parent, const char* picture, bool shown)
{
    auto* image = new wimage("wimage_videolayerhighlight");
    image->SetPicture(picture, {8, 8, 8, 8});
    image->SetMouseTransparent(true);
    parent.AddChild(image);
    image->SetPosRule(1, 1, 0, 0);
    image->SetSizeRule(2, 2, 0, 0);
    image->Show(shown);
    return image;
}

}

videoplaywindow::videoplaywindow(std::string name) : window(std::move(name))
{
    for (videoposstatus s : {vpsCenter, vpsCenter2RightTop, vpsRightTop, vpsRightTop2Center}) m_machine.AddState(s);
    m_machine.AddTransition(vpsCenter, vpeToRightTop, vpsCenter2RightTop);
    m_machine.AddTransition(vpsCenter2RightTop, vpeRightTopReached, vpsRightTop);
    m_machine.AddTransition(vpsRightTop, vpeToCenter, vpsRightTop2Center);
    m_machine.AddTransition(vpsRightTop2Center, vpeCenterReached, vpsCenter);
    m_machine.AddTransition(vpsRightTop, vpeCenterReached, vpsCenter);
    m_machine.AddTransition(vpsCenter2RightTop, vpeCenterReached, vpsCenter);
    m_machine.SetState(vpsCenter);
    m_logics = {{vpsCenter, &m_center},
                {vpsCenter2RightTop, &m_to_corner},
                {vpsRightTop, &m_corner},
                {vpsRightTop2Center, &m_to_center}};
    m_loadin = std::make_unique<loadinAnimation>(this);
}

videoplaywindow::~videoplaywindow()
{
    if (uiMgr::Instance().GetVideoWindow() == this) uiMgr::Instance().SetVideoWindow(nullptr);
}

void videoplaywindow::CreateChildren()
{
    m_highlight = frame_image(*this, "videofocusbg", false);
    m_normal = frame_image(*this, "videonormalbg", true);
    m_picture = new videowindow();
    m_picture->SetMouseTransparent(true);
    AddChild(m_picture);
    m_picture->SetPosRule(1, 1, 6, 6);
    m_picture->SetSizeRule(3, 3, VideoFrame, VideoFrame);
    m_loading_indicator = new wvideoloading("wloading-loadingpage-videolayer");
    m_loading_indicator->SetMouseTransparent(true);
    m_loading_indicator->SetSize(48, 48);
    AddChild(m_loading_indicator);
    m_loading_indicator->SetPosRule(4, 4, 0, 0);
    m_loading_indicator->Show(false);
    m_geometry.target_height = GetHeight();
    m_geometry.target_width = GetWidth();
    SetZOrder(3);
    Show(false);
}

videoposstatus videoplaywindow::CurrentState() const { return m_machine.CurrentState().value_or(vpsCenter); }

IBaseLogicVideoWindow& videoplaywindow::CurrentLogic() { return *m_logics.at(CurrentState()); }

widget* videoplaywindow::Picture() const { return m_picture; }

widget* videoplaywindow::LoadingIndicator() const { return m_loading_indicator; }

bool videoplaywindow::VideoFillsScreen() const { return m_logic && m_logic->IsFullScreenVideo(); }

void videoplaywindow::Fire(videoposevent event)
{
    m_machine.Fire(event, [](auto) {}, [](auto) {});
    ValueEventArgs fired;
    fired.sender = this;
    fired.value = event;
    FireOwn(PositionEvent, fired);
}

void videoplaywindow::AskPaging(bool show)
{
    if (m_logic) m_logic->ShowPagingControls(show);
}

// A ratio still easing lands at once when the window settles in a place;
// otherwise the shown ratio catches up with the video's.
void videoplaywindow::SettleRatio()
{
    ratiochangeAnimation& ratio = CurrentLogic().Ratio();
    const videoposstatus state = CurrentState();
    if (ratio.IsRunning() && !m_loading && (state == vpsCenter || state == vpsRightTop)) {
        m_geometry.aspect = ratio.GetTarget();
        m_geometry.shown_aspect = ratio.GetTarget();
    } else if (m_geometry.shown_aspect != m_geometry.aspect) {
        m_geometry.shown_aspect = m_geometry.aspect;
    }
}

void videoplaywindow::MoveToRightTop()
{
    CMutexGuard hold(UIRenderMutex());
    Invalidate();
    SettleRatio();
    if (CurrentState() == vpsCenter) {
        Fire(vpeToRightTop);
    } else if (CurrentState() == vpsRightTop2Center) {
        Fire(vpeCenterReached);
        Fire(vpeToRightTop);
    }
    if (CurrentState() == vpsCenter2RightTop) {
        RequestUpdateParent();
        m_to_corner.StartMove();
    }
    AskPaging(true);
}

void videoplaywindow::MoveToCenter()
{
    CMutexGuard hold(UIRenderMutex());
    Invalidate();
    Show(true);
    AskPaging(false);
    SettleRatio();
    if (CurrentState() == vpsCenter2RightTop) {
        Fire(vpeRightTopReached);
        Fire(vpeToCenter);
    } else if (CurrentState() == vpsRightTop) {
        Fire(vpeToCenter);
    }
    if (CurrentState() == vpsRightTop2Center && IsVisible()) {
        RequestUpdateParent();
        m_to_center.StartMove();
    }
}

void videoplaywindow::ResetPosition()
{
    Show(false);
    Fire(vpeCenterReached);
}

void videoplaywindow::BeginLoadIn(float x, float y, float w, float h)
{
    m_loadin->Start({x, y, w, h});
    ShowLoading();
}

void videoplaywindow::StopLoadIn()
{
    if (m_loadin->IsRunning()) m_loadin->Finish();
    ShowVideo();
}

void videoplaywindow::ShowLoading()
{
    m_loading = true;
    if (m_loading_indicator) m_loading_indicator->Show(true);
    if (m_picture) m_picture->Show(false);
}

void videoplaywindow::ShowVideo()
{
    m_loading = false;
    m_video_shown = true;
    if (m_loading_indicator) m_loading_indicator->Show(false);
    if (m_picture) m_picture->Show(true);
}

void videoplaywindow::ResetView()
{
    StopLoadIn();
    m_loading = false;
    m_video_shown = false;
    if (m_loading_indicator) m_loading_indicator->Show(false);
    if (m_picture) m_picture->Show(false);
    if (CurrentState() == vpsCenter) {
        moveparams strip;
        strip.target_width = 600;
        strip.target_height = 40;
        m_center.Warning().Start(strip);
    }
}

void videoplaywindow::SetFitMode(int mode, bool apply)
{
    if (mode != m_fit_mode && apply && CurrentState() == vpsCenter && GetParent()) {
        const float width = GetParent()->GetWidth();
        const float height = GetParent()->GetHeight();
        if (mode == 1)
            m_center.FitVideo(width, VideoFillsScreen() ? height : height - 50);
        else
            m_center.FitVideo(width, 352);
        RequestUpdateParent();
    }
    m_fit_mode = mode;
}

void videoplaywindow::SetVideoSize(float width, float height)
{
    if (height <= 0) return;
    m_loading = false;
    if (uiVideoLayer* layer = uiVideoLayer::Instance()) layer->SetVideoSize(width, height);
    m_geometry.aspect = width / height;
    CurrentLogic().SetRatio(m_geometry.aspect);
    for (auto& [state, logic] : m_logics) logic->SetRatio(m_geometry.aspect);
    if (CurrentState() != vpsCenter && CurrentState() != vpsRightTop) m_geometry.shown_aspect = m_geometry.aspect;
}

void videoplaywindow::KeepAspect()
{
    if (CurrentState() == vpsCenter)
        SetWidth(WidthForHeight(GetHeight(), m_geometry.shown_aspect));
    else if (CurrentState() == vpsRightTop)
        SetHeight(HeightForWidth(GetWidth(), m_geometry.shown_aspect));
}

void videoplaywindow::UpdateParent()
{
    uiMgr& manager = uiMgr::Instance();
    const videoposstatus state = CurrentState();
    widget* parent = state == vpsCenter || state == vpsRightTop ? manager.GetRoot() : manager.GetOverlayRoot();
    const int depth = state == vpsRightTop ? 700 : 3;
    if (!parent) return;
    if (GetParent() != parent) {
        if (GetParent()) GetParent()->RemoveChild(this);
        SetZOrder(depth);
        parent->AddChild(this);
    } else {
        SetZOrder(depth);
    }
    Invalidate();
}

void videoplaywindow::RequestUpdateParent()
{
    if (m_logic) m_logic->PostLogicCommand(RefreshWidget);
}

void videoplaywindow::OnAnimationDone(int kind)
{
    switch (kind) {
    case ratiochangeAnimation::Kind:
        SetPos(std::trunc(GetX()), std::trunc(GetY()));
        break;
    case hidevideoAnimation::Kind:
        Invalidate();
        Fire(vpeRightTopReached);
        RequestUpdateParent();
        break;
    case showvideoAnimation::Kind:
        Fire(vpeCenterReached);
        RequestUpdateParent();
        break;
    case warningAnimation::Kind:
        if (m_logic) m_logic->ShowWarningPage(WarningPage);
        break;
    default:
        break;
    }
}

void videoplaywindow::UpdateLayout()
{
    window::UpdateLayout();
    CurrentLogic().OnLayout();
}

void videoplaywindow::DrawFrame()
{
    uiVideoLayer* layer = uiVideoLayer::Instance();
    if (!layer) {
        m_trace.Note("draws no picture: no video layer");
        return;
    }
    fpoint size{0, 0};
    const plat::ComPtr<IDirect3DTexture9> texture = layer->GetTexture(&size);
    if (!texture) {
        m_trace.Note("draws no picture: the video layer gives no frame");
        return;
    }
    if (!m_frame_texture) m_frame_texture = std::make_unique<RenderEngine::texture>(nullptr, 0, "videoframe");
    m_frame_texture->Attach(texture.get(), size.x, size.y);
    if (!m_frame) m_frame = std::make_unique<RenderEngine::d3dpic>(m_frame_texture.get(), 0, 0, 0, 0);
    m_frame->SetSourceRect(0, 0, size.x, size.y);
    m_frame->SetSize(size.x, size.y);
    m_frame->m_filter = linear_filter;
    const fpoint at = DrawPositionOf(*m_picture);
    RenderEngine::DrawPicture(m_frame.get(), at.x, at.y, m_picture->GetWidth(), m_picture->GetHeight(),
                              GetAlpha() / 255.0f);
    m_trace.Note("draws the picture");
    // The frame holds no reference between draws: the source may replace it.
    m_frame_texture->Attach(nullptr, 0, 0);
}

void videoplaywindow::Draw()
{
    CurrentLogic().Update();
    if (CurrentState() == vpsCenter && m_loadin->IsRunning()) m_loadin->Step();
    window::Draw();
    if (m_picture && m_picture->IsVisible())
        DrawFrame();
    else
        m_trace.Note("draws no picture: its place is hidden (loading, or no clip)");
    if (m_loading_indicator && m_loading_indicator->IsVisible()) m_loading_indicator->Draw();
}

}
