#include "screens/video/IBaseUIPlay.h"

#include "screens/video/uiVideoLayer.h"
#include "screens/video/uibgLayer.h"
#include "screens/video/wcontrolbar.h"

#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"

namespace UI {

namespace {

constexpr int fade_ms = 500;

// Set and cleared by the builder on the UI thread, read there.
IBaseUIPlay::ControlBarMaker control_bar_maker = nullptr;

}  // namespace

IBaseUIPlay::IBaseUIPlay() = default;

void IBaseUIPlay::SetControlBarMaker(ControlBarMaker maker) { control_bar_maker = maker; }

void IBaseUIPlay::CreateControlBar()
{
    if (control_bar_maker) control_bar_maker();
}

IBaseUIPlay::~IBaseUIPlay()
{
    animationMgr& animations = uiMgr::Instance().GetAnimations();
    animations.RemoveTimeLine(m_background_fade.line);
    animations.RemoveTimeLine(m_video_fade.line);
}

void IBaseUIPlay::ShowPauseButton()
{
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->ShowPauseButton();
}

void IBaseUIPlay::ShowPlayButton()
{
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->ShowPlayButton();
}

void IBaseUIPlay::SetVolumePercent(int percent)
{
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->SetVolumePercent(percent);
}

void IBaseUIPlay::SetPosition(int64_t seconds)
{
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->SetPosition(seconds);
}

void IBaseUIPlay::SetDuration(int64_t seconds)
{
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->SetDuration(seconds);
}

void IBaseUIPlay::SetTitle(const WCHAR* title)
{
    CMutexGuard hold(UIRenderMutex());
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->SetTitle(title);
}

void IBaseUIPlay::FadeTo(Fade& fade, widget& layer, float from, float to)
{
    const bool running = !fade.line.IsDone();
    if (running && fade.target == to) return;
    if (!fade.key) fade.key = std::make_unique<widget_keyframe>(&layer);
    fade.key->Init(KeyAlpha, 0, fade_ms, running ? layer.GetAlpha() : from, to);
    fade.target = to;
    // A running fade takes the new course where it is; a finished one starts again.
    if (running) return;
    fade.line.AddKeyframe(*fade.key);
    uiMgr::Instance().GetAnimations().AddTimeLine(fade.line);
}

void IBaseUIPlay::HideVideoLayer()
{
    uiVideoLayer* video = uiVideoLayer::Instance();
    if (video && video->GetAlpha() != 0) FadeTo(m_video_fade, *video, 255, 0);
}

void IBaseUIPlay::ShowVideoLayer()
{
    if (uibgLayer* background = uibgLayer::Instance(); background && background->GetAlpha() != 0)
        FadeTo(m_background_fade, *background, 255, 0);
    uiVideoLayer* video = uiVideoLayer::Instance();
    if (video && video->GetAlpha() != 255) {
        video->Show(true);
        FadeTo(m_video_fade, *video, 0, 255);
    }
}

}
