#include "playback/playlogic/ScreensPlayHost.h"

#include "playback/visualization/CVisualizationSource.h"
#include "screens/video/uiVideoLayer.h"
#include "screens/video/videoplaywindow.h"
#include "screens/video/wcontrolbar.h"
#include "toolkit/uimgr/uiMgr.h"

namespace UI {

namespace {

videoplaywindow* video_window()
{
    return dynamic_cast<videoplaywindow*>(uiMgr::Instance().GetVideoWindow());
}

}

ScreensPlayHost::ScreensPlayHost(Controller controller, std::string download_folder, HWND main_window,
                                 CVisualizationSource* visualization)
    : m_controller(std::move(controller)),
      m_download_folder(std::move(download_folder)),
      m_main_window(main_window),
      m_visualization(visualization)
{
}

IOstrel* ScreensPlayHost::Downloader()
{
    return m_controller.downloader ? m_controller.downloader() : nullptr;
}

bool ScreensPlayHost::HighDefinitionEnabled()
{
    return m_controller.high_definition && m_controller.high_definition();
}

void ScreensPlayHost::SetVideoSize(int width, int height, float ratio)
{
    if (m_controller.video_size) m_controller.video_size(width, height, ratio);
}

void ScreensPlayHost::SetPlayState(int state)
{
    if (m_controller.play_state) m_controller.play_state(state);
}

void ScreensPlayHost::OnPlayComplete()
{
    if (m_controller.play_complete) m_controller.play_complete();
}

void ScreensPlayHost::SeekTo(int seconds)
{
    if (m_controller.seek) m_controller.seek(seconds);
}

void ScreensPlayHost::ShowPlayButton()
{
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->ShowPlayButton();
}

void ScreensPlayHost::ShowPauseButton()
{
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->ShowPauseButton();
}

void ScreensPlayHost::ShowStopped()
{
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->ShowStopped();
}

void ScreensPlayHost::SetPosition(LONGLONG seconds)
{
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->SetPosition(seconds);
}

void ScreensPlayHost::SetDuration(LONGLONG seconds)
{
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->SetDuration(seconds);
}

void ScreensPlayHost::SetTitle(const std::u16string& title)
{
    if (wcontrolbar* bar = wcontrolbar::Instance()) bar->SetTitle(title.c_str());
}

void ScreensPlayHost::SetVideoPosition(LONGLONG seconds)
{
    if (uiVideoLayer* layer = uiVideoLayer::Instance()) layer->SetPlayTime(static_cast<int>(seconds));
}

void ScreensPlayHost::ShowLoadingMark(bool shown)
{
    videoplaywindow* video = video_window();
    if (!video) return;
    if (shown)
        video->ShowLoading();
    else
        video->ShowVideo();
}

void ScreensPlayHost::ShowLoadingState()
{
    if (videoplaywindow* video = video_window()) video->ShowLoading();
}

// One range: what the download holds from the play position on. A total not
// known yet draws nothing rather than a range of an unknown whole.
void ScreensPlayHost::SetDownloadBar(LONGLONG position, LONGLONG length, LONGLONG total)
{
    wcontrolbar* bar = wcontrolbar::Instance();
    if (!bar) return;
    bar->ClearBufferProgress();
    if (total <= 0 || length <= 0) return;
    bar->SetBufferRange(static_cast<float>(position), static_cast<float>(position + length), static_cast<float>(total));
}

void ScreensPlayHost::SetVideoLayerMode(int mode)
{
    if (uiVideoLayer* layer = uiVideoLayer::Instance()) layer->SetClockMode(mode);
}

void ScreensPlayHost::SetSampleReader(ISampleReader* reader)
{
    if (m_visualization) m_visualization->SetSampleReader(reader);
}

}
