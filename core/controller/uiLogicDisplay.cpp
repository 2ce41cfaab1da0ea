// The controller's display: which of nothing, the video, the feeds or both
// the window shows, the video window's view, the frames and control bar that
// hide themselves while a video fills the screen, the volume, seeking, the
// play-state events, the end of playback, and the UI manager's input hooks.
//
// The fields the UI thread and the logic thread both change live in Display
// under its own lock; each operation decides under it and then calls the
// widgets (under UIRenderMutex) with the lock released.

#include "core/controller/LogicCommand.h"
#include "core/controller/uiLogicState.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "core/settings/CAppSettings.h"
#include "platform/base/Time.h"
#include "platform/window/Cursor.h"
#include "platform/window/Window.h"
#include "screens/builder/UIIds.h"
#include "screens/feedlist/wrsslist.h"
#include "screens/feedlist/wrsslistitem.h"
#include "screens/video/videoplaywindow.h"
#include "screens/video/wcontrolbar.h"
#include "toolkit/uimgr/MainWindowMessages.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/window.h"

#include <algorithm>

namespace UI {

namespace controller_widgets {

widget* by_id(int id) { return GetWidgetById(id); }

bool shown(int id)
{
    const widget* w = by_id(id);
    return w && w->IsVisible();
}

void show(int id, bool on)
{
    if (widget* w = by_id(id))
        w->Show(on);
}

void animate(widget* w, int flags)
{
    if (w)
        w->StartAnimation(flags);
}

void animate(int id, int flags) { animate(by_id(id), flags); }

videoplaywindow* video() { return dynamic_cast<videoplaywindow*>(uiMgr::Instance().GetVideoWindow()); }

wcontrolbar* bar() { return wcontrolbar::Instance(); }

wrsslist* feed_list() { return dynamic_cast<wrsslist*>(by_id(ids::RssList)); }

window* frame(uiMgr::Frame which) { return uiMgr::Instance().GetFrame(which); }

bool frame_shown(uiMgr::Frame which)
{
    const window* f = frame(which);
    return f && f->IsVisible();
}

bool over(const widget* w, POINT p)
{
    if (!w || !w->IsVisible())
        return false;
    const float x = float(p.x) - w->GetX(), y = float(p.y) - w->GetY();
    return x >= 0 && y >= 0 && x < w->GetWidth() && y < w->GetHeight();
}

SIZE client_size()
{
    const CAppSettings* s = CAppSettings::Instance();
    return s ? SIZE{LONG(s->GetMetric(4)), LONG(s->GetMetric(5))} : SIZE{0, 0};
}

SIZE screen_size()
{
    const CAppSettings* s = CAppSettings::Instance();
    return s ? SIZE{LONG(s->GetMetric(2)), LONG(s->GetMetric(3))} : SIZE{1, 1};
}

}

using namespace controller_widgets;

namespace {

constexpr int EdgeZone = 5;
constexpr int WheelStep = 120;
constexpr int ZoomStepPixels = 80;
constexpr float SmallestZoomHeight = 204;
// The pointer must move this far (squared pixels) before the frames show again.
constexpr int JitterSquared = 50;

bool fills_screen(SIZE client, SIZE screen) { return client.cx >= screen.cx && client.cy >= screen.cy; }

bool video_ready(const videoplaywindow* v) { return v && v->IsVisible() && v->WasVideoShown() && !v->IsLoading(); }

}

LPCWSTR EdgeCursorAt(POINT p, SIZE client, SIZE screen)
{
    if (client.cx == screen.cx && client.cy == screen.cy)
        return IDC_ARROW;
    const bool left = p.x < EdgeZone, right = p.x >= client.cx - EdgeZone;
    const bool top = p.y < EdgeZone, bottom = p.y >= client.cy - EdgeZone;
    if ((left && top) || (right && bottom))
        return IDC_SIZENWSE;
    if ((left && bottom) || (right && top))
        return IDC_SIZENESW;
    if (left || right)
        return IDC_SIZEWE;
    if (top || bottom)
        return IDC_SIZENS;
    return IDC_ARROW;
}

DWORD uiLogic::GetDisplayMode() const
{
    std::scoped_lock hold(m_display->lock);
    return m_display->mode;
}

int uiLogic::GetPlayState() const
{
    std::scoped_lock hold(m_display->lock);
    return m_display->play_state;
}

int uiLogic::GetWindowState() const
{
    std::scoped_lock hold(m_display->lock);
    return m_display->window_state;
}

int uiLogic::GetVideoViewState() const
{
    std::scoped_lock hold(m_display->lock);
    return m_display->view_state;
}

PlayListCursor uiLogic::GetPlayListCursor() const
{
    std::scoped_lock hold(m_display->lock);
    return m_display->cursor;
}

// Every mode but 2 shows the control bar (the auto-hide rule below), and in
// mode 2 the auto-hide timers hide it: a change of mode leaves a shown bar
// where it is instead of hiding it only to raise it again.
DWORD uiLogic::SetDisplayMode(DWORD mode)
{
    mode &= DisplayMode::Mask;
    if (!mode)
        return GetDisplayMode();
    DWORD old_mode = 0, new_mode = 0;
    {
        std::scoped_lock hold(m_display->lock);
        old_mode = m_display->mode & DisplayMode::Mask;
        m_display->mode = (m_display->mode & ~DisplayMode::Mask) | mode;
        new_mode = m_display->mode;
    }
    if (old_mode != mode) {
        CMutexGuard widgets(UIRenderMutex());
        videoplaywindow* v = video();
        if (mode == DisplayMode::PlayVideo && v && v->CurrentState() != vpsCenter)
            v->MoveToCenter();
        show(ids::PageButtons, mode != DisplayMode::None);
    }
    apply_auto_hide();
    return new_mode;
}

// The UI thread and the play logic's threads ask for modes too: a mode
// changes only on the logic thread, so its widgets follow the mode that won.
void uiLogic::change_display_mode(DWORD mode, int view_state)
{
    if (GetCurrentThreadId() != m_thread.ThreadId()) {
        PostLogicCommand(LogicCommand::ChangeDisplayMode, WPARAM(mode), LPARAM(view_state));
        return;
    }
    SetDisplayMode(mode);
    if (view_state) {
        show_pane_by_mode();
        SetVideoViewState(view_state);
    }
}

void uiLogic::apply_auto_hide()
{
    bool arm = false, others = false;
    {
        std::scoped_lock hold(m_display->lock);
        const DWORD mode = m_display->mode & DisplayMode::Mask;
        if (mode == DisplayMode::PlayVideo) {
            arm = m_display->view_state == ViewState::FullScreen && !m_display->armed;
            m_display->armed = m_display->armed || arm;
        } else {
            others = true;
            m_display->armed = false;
        }
    }
    CMutexGuard widgets(UIRenderMutex());
    if (arm) {
        const wcontrolbar* b = bar();
        if (b && b->IsVisible() && m_parts.set_timer)
            m_parts.set_timer(TimerControlBar, AutoHideMs);
        if ((frame_shown(uiMgr::Frame::Top) || frame_shown(uiMgr::Frame::Left) || frame_shown(uiMgr::Frame::Right)) &&
            m_parts.set_timer)
            m_parts.set_timer(TimerFrames, AutoHideMs);
    }
    if (others) {
        if (m_parts.kill_timer) {
            m_parts.kill_timer(TimerControlBar);
            m_parts.kill_timer(TimerFrames);
        }
        animate(bar(), Anim::ShowBar);
        animate(ids::RightWindow, Anim::ShowPane);
        animate(frame(uiMgr::Frame::Top), Anim::ShowTop);
        animate(frame(uiMgr::Frame::Left), Anim::ShowSide);
    }
}

void uiLogic::show_frames_and_bar()
{
    animate(frame(uiMgr::Frame::Top), Anim::ShowTop);
    animate(frame(uiMgr::Frame::Left), Anim::ShowSide);
    animate(frame(uiMgr::Frame::Bottom), Anim::ShowBottomFrame);
    animate(frame(uiMgr::Frame::Right), Anim::ShowPane);
    animate(bar(), Anim::ShowBar);
}

void uiLogic::rearm_auto_hide()
{
    if (m_parts.kill_timer) {
        m_parts.kill_timer(TimerControlBar);
        m_parts.kill_timer(TimerFrames);
    }
    const wcontrolbar* b = bar();
    const bool bar_up = b && b->IsVisible();
    bool frame_up = false;
    for (auto f : {uiMgr::Frame::Top, uiMgr::Frame::Left, uiMgr::Frame::Bottom, uiMgr::Frame::Right})
        frame_up = frame_up || frame_shown(f);
    if (m_parts.set_timer) {
        if (bar_up)
            m_parts.set_timer(TimerControlBar, AutoHideMs);
        if (frame_up)
            m_parts.set_timer(TimerFrames, AutoHideMs);
    }
    std::scoped_lock hold(m_display->lock);
    m_display->armed = true;
}

// On the UI thread, under UIRenderMutex (the UI manager's hook).
void uiLogic::OnMouseMove(MouseEventArgs& e)
{
    const POINT p{LONG(e.position.x), LONG(e.position.y)};
    bool fit = false;
    const bool full = IsFullScreenVideo();
    {
        std::scoped_lock hold(m_display->lock);
        if (m_display->last_point) {
            const long dx = p.x - m_display->last_point->x, dy = p.y - m_display->last_point->y;
            if (dx * dx + dy * dy < JitterSquared)
                return;
        }
        m_display->last_point = p;
        fit = (m_display->mode & DisplayMode::Mask) == DisplayMode::PlayVideo &&
              m_display->view_state == ViewState::FullScreen;
    }
    CMutexGuard widgets(UIRenderMutex());
    show_frames_and_bar();
    videoplaywindow* v = video();
    if (fit && video_ready(v) && v->GetParent()) {
        const float height = v->GetParent()->GetHeight();
        v->Center().FitVideo(v->GetParent()->GetWidth(), full ? height : height - 50);
        animate(bar(), Anim::ShowBar);
    }
    rearm_auto_hide();
}

LRESULT uiLogic::OnTimer(UINT_PTR id)
{
    if (id == TimerControlBar) {
        if (m_parts.kill_timer)
            m_parts.kill_timer(TimerControlBar);
        return 0;
    }
    if (id == TimerFrames)
        on_frames_timer();
    return 0;
}

void uiLogic::on_frames_timer()
{
    bool full_view = false, fills = false;
    {
        std::scoped_lock hold(m_display->lock);
        full_view = (m_display->mode & DisplayMode::Mask) == DisplayMode::PlayVideo &&
                    m_display->view_state == ViewState::FullScreen;
        fills = m_display->window_state == WindowState::FillsScreen;
    }
    CMutexGuard widgets(UIRenderMutex());
    const POINT p = m_parts.pointer ? m_parts.pointer() : POINT{-1, -1};
    const bool pointer_on = over(frame(uiMgr::Frame::Top), p) || over(frame(uiMgr::Frame::Left), p) ||
                            over(bar(), p);
    videoplaywindow* v = video();
    const bool ready = full_view && video_ready(v);
    if (pointer_on) {
        // A full-screen video keeps the timer: the frames hide once the pointer leaves.
        if (ready)
            return;
        if (m_parts.kill_timer)
            m_parts.kill_timer(TimerFrames);
        std::scoped_lock hold(m_display->lock);
        m_display->armed = false;
        return;
    }
    if (!ready)
        return;
    if (fills) {
        animate(frame(uiMgr::Frame::Top), Anim::HideTop);
        animate(frame(uiMgr::Frame::Left), Anim::HideSide);
        animate(frame(uiMgr::Frame::Bottom), Anim::ShowBottomFrame);
        animate(frame(uiMgr::Frame::Right), Anim::ShowPane);
        if (v->GetParent())
            v->Center().FitVideo(v->GetParent()->GetWidth(), v->GetParent()->GetHeight());
    }
    animate(bar(), Anim::HideBar);
    if (shown(ids::RightWindow))
        animate(ids::RightWindow, Anim::HidePane);
    if (m_parts.kill_timer)
        m_parts.kill_timer(TimerFrames);
    std::scoped_lock hold(m_display->lock);
    m_display->armed = false;
}

bool uiLogic::IsFullScreenVideo() const
{
    const window* overlay = uiMgr::Instance().GetOverlayRoot();
    return GetWindowState() == WindowState::FillsScreen && !(overlay && overlay->IsVisible());
}

void uiLogic::UpdateWindowState()
{
    const bool fills = fills_screen(client_size(), screen_size());
    {
        std::scoped_lock hold(m_display->lock);
        m_display->window_state = fills ? WindowState::FillsScreen : WindowState::Normal;
    }
    {
        CMutexGuard widgets(UIRenderMutex());
        show(ids::Restore, fills);
        show(ids::Maximize, !fills);
    }
    apply_auto_hide();
}

void uiLogic::SetVideoViewState(int state)
{
    {
        std::scoped_lock hold(m_display->lock);
        m_display->view_state = state;
    }
    {
        CMutexGuard widgets(UIRenderMutex());
        if (wcontrolbar* b = bar())
            b->ShowViewState(state);
        if (videoplaywindow* v = video())
            v->SetFitMode(state & ViewState::SmallWindow ? 0 : 1, true);
    }
    apply_auto_hide();
}

void uiLogic::SetEdgeCursor(int x, int y)
{
    if (m_parts.set_cursor)
        m_parts.set_cursor(EdgeCursorAt({x, y}, client_size(), screen_size()));
}

void uiLogic::SetVolume(int volume)
{
    volume = std::clamp(volume, 0, 100);
    m_volume = volume;
    {
        std::scoped_lock hold(m_thread.DispatchLock());
        if (m_play_logic)
            m_play_logic->SetVolume(volume);
    }
    CMutexGuard widgets(UIRenderMutex());
    if (wcontrolbar* b = bar())
        b->SetVolumePercent(volume);
}

void uiLogic::Seek(int position)
{
    std::scoped_lock hold(m_thread.DispatchLock());
    if (m_play_logic)
        m_play_logic->Seek(position);
}

void uiLogic::SetVideoSize(float width, float height)
{
    std::scoped_lock hold(m_display->lock);
    m_display->video_width = width;
    m_display->video_height = height;
}

void uiLogic::SetVideoAspect(float ratio) { m_aspect = ratio; }

void uiLogic::OnPlayStateChanged(int state)
{
    int old_state = 0;
    DWORD mode = 0;
    float width = 0, height = 0;
    {
        std::scoped_lock hold(m_display->lock);
        old_state = m_display->play_state;
        m_display->play_state = state;
        mode = m_display->mode & DisplayMode::Mask;
        width = m_display->video_width;
        height = m_display->video_height;
    }
    if (state == 1 && old_state != 1) {
        if (mode == DisplayMode::PlayVideo) {
            change_display_mode(DisplayMode::PlayVideo);
            CMutexGuard widgets(UIRenderMutex());
            animate(bar(), Anim::ShowBar);
        }
        {
            CMutexGuard widgets(UIRenderMutex());
            if (videoplaywindow* v = video()) {
                // A play reached without a row's load-in (the next entry, a
                // repeat, a click whose load-in went) would play unseen.
                if (mode == DisplayMode::PlayVideo && !v->IsVisible())
                    v->MoveToCenter();
                v->StopLoadIn();
                v->SetVideoSize(width, height);
            }
            if (wcontrolbar* b = bar())
                b->ShowPauseButton();
        }
        SetVolume(m_volume);
    } else if (state == 2) {
        CMutexGuard widgets(UIRenderMutex());
        if (wcontrolbar* b = bar())
            b->ShowPlayButton();
    }
}

void uiLogic::PlayerCalls::SetVolume(int volume)
{
    m_owner.m_volume = std::clamp(volume, 0, 100);
    m_owner.PostLogicCommand(LogicCommand::VolumeValue, ids::VolumeSlider, std::clamp(volume, 0, 100));
}

void uiLogic::PlayerCalls::Seek(int seconds) { m_owner.PostLogicCommand(LogicCommand::SeekValue, ids::SeekBar, seconds); }

void uiLogic::PlayerCalls::ShowPagingControls(bool on) { show(ids::PageButtons, on); }

// Keys reach the controller on the UI thread without UIRenderMutex; what
// they start runs as commands.
bool uiLogic::OnKeyDown(int key)
{
    DWORD mode = 0;
    int play_state = 0, view = 0;
    {
        std::scoped_lock hold(m_display->lock);
        mode = m_display->mode & DisplayMode::Mask;
        play_state = m_display->play_state;
        view = m_display->view_state;
    }
    const bool video_mode = mode == DisplayMode::PlayVideo || mode == DisplayMode::Both;
    if (key == VK_SPACE && video_mode) {
        PostUICommand(play_state == 2 ? 34 : 35);
        return true;
    }
    if (mode == DisplayMode::PlayVideo) {
        if (key == VK_TAB)
            PostLogicCommand(LogicCommand::WidgetDoubleClick, ids::VideoPlayWindow, 0);
        if ((key == VK_UP || key == VK_DOWN) && view != ViewState::FullScreen) {
            CMutexGuard widgets(UIRenderMutex());
            zoom_video(key == VK_UP ? -WheelStep : WheelStep);
        }
    }
    if (key == VK_PRIOR)
        PostUICommand(ids::LastPage);
    if (key == VK_NEXT)
        PostUICommand(ids::NextPage);
    return false;
}

bool uiLogic::OnMouseWheel(int delta, int, int)
{
    bool zoom = false;
    {
        std::scoped_lock hold(m_display->lock);
        zoom = !(m_display->mode & (DisplayMode::ViewFeeds | DisplayMode::Both)) &&
               m_display->view_state == ViewState::SmallWindow;
    }
    if (zoom) {
        CMutexGuard widgets(UIRenderMutex());
        zoom_video(-delta);
    }
    return true;
}

// Each wheel step of 120 changes the height by 80, kept between 204 and the
// largest height the client area holds at the video's ratio.
void uiLogic::zoom_video(int delta)
{
    videoplaywindow* v = video();
    if (!v || v->CurrentState() != vpsCenter || !v->GetParent())
        return;
    const float height = v->GetHeight() + float(delta / WheelStep) * ZoomStepPixels;
    const float aspect = v->Geometry().aspect;
    const widget* area = v->GetParent();
    const float largest =
        std::min(area->GetHeight(), (area->GetWidth() - VideoFrame) / aspect + VideoFrame) + VideoFrame;
    if (height < SmallestZoomHeight || height > largest)
        return;
    v->Center().FitVideoWithoutFrame(WidthForHeight(height, aspect), height);
}

void uiLogic::OnCaptionDoubleClick()
{
    const SIZE client = client_size(), screen = screen_size();
    if (client.cx != screen.cx || client.cy != screen.cy)
        return;
    PostUICommand(shown(ids::Restore) ? ids::Restore : ids::Maximize);
}

// The double click on the video window (logic thread).
void uiLogic::toggle_video_view()
{
    videoplaywindow* v = video();
    if (v && v->IsVisible() && v->CurrentState() == vpsCenter) {
        SetVideoViewState(GetVideoViewState() == ViewState::FullScreen ? ViewState::SmallWindow
                                                                        : ViewState::FullScreen);
        return;
    }
    SetDisplayMode(DisplayMode::PlayVideo);
    SetVideoViewState(ViewState::SmallWindow);
    show_pane_by_mode();
    CMutexGuard widgets(UIRenderMutex());
    if (v) {
        v->MoveToCenter();
        if (video_ready(v))
            animate(bar(), Anim::ShowBar);
    }
}

void uiLogic::show_pane_by_mode()
{
    const DWORD mode = GetDisplayMode() & DisplayMode::Mask;
    CMutexGuard widgets(UIRenderMutex());
    show(ids::RightWindow, mode != DisplayMode::PlayVideo);
}

void uiLogic::switch_view_to_video()
{
    const DWORD mode = GetDisplayMode() & DisplayMode::Mask;
    const videoplaywindow* v = video();
    if (mode == DisplayMode::None || (v && !v->IsVisible()))
        SetDisplayMode(DisplayMode::PlayVideo);
    else if (mode == DisplayMode::ViewFeeds)
        SetDisplayMode(DisplayMode::Both);
}

void uiLogic::switch_view_to_feeds()
{
    const DWORD mode = GetDisplayMode() & DisplayMode::Mask;
    videoplaywindow* v = video();
    if (mode == DisplayMode::None) {
        SetDisplayMode(DisplayMode::ViewFeeds);
    } else if (mode == DisplayMode::PlayVideo || (v && v->IsVisible() && v->CurrentState() == vpsCenter)) {
        {
            CMutexGuard widgets(UIRenderMutex());
            if (v)
                v->MoveToRightTop();
        }
        SetDisplayMode(DisplayMode::Both);
    }
}

// Under the dispatch lock.
void uiLogic::select_play_logic(int kind)
{
    if (kind != m_play_kind && m_play_logic) {
        m_play_logic->ReleaseController();
        m_play_logic.reset();
    }
    m_play_kind = kind;
    if (kind == 0 && !m_play_logic && m_parts.create_file_play)
        m_play_logic = m_parts.create_file_play();
    if (m_parts.post_to_main)
        m_parts.post_to_main(WM_UIBUILDER_NOTIFY, WPARAM(kind), 0);
}

void uiLogic::PlayFile(const std::u16string& path)
{
    std::scoped_lock hold(m_thread.DispatchLock());
    select_play_logic(0);
    if (m_play_logic)
        m_play_logic->PlayFile(path);
}

void uiLogic::PlayRSSItem(RSSData::tRSSItem item)
{
    m_download_list = false;
    std::scoped_lock hold(m_thread.DispatchLock());
    select_play_logic(0);
    item.mark_read = true;
    item.modify_time = plat::filetime_now();
    if (m_database_open)
        CRSSDBMgr::Instance().UpdateItem(item);
    {
        std::scoped_lock display(m_display->lock);
        m_display->cursor.item = item;
    }
    show_pane_by_mode();
    if (m_play_logic)
        m_play_logic->PlayVideoItem(item);
    {
        CMutexGuard widgets(UIRenderMutex());
        if (wcontrolbar* b = bar())
            b->SetFavorite(item.mark_favorite);
    }
    SetVolume(m_volume);
}

void uiLogic::OnPlayEnded()
{
    if (m_repeat) {
        PostLogicCommand(LogicCommand::PlayCurrentItem, 0, 0);
        return;
    }
    PostUICommand(33);
    {
        CMutexGuard widgets(UIRenderMutex());
        if (videoplaywindow* v = video())
            v->ResetPosition();
    }
    change_display_mode(DisplayMode::ViewFeeds);
    uiLogicFeedWindow* feeds = m_parts.feed_window;
    if (!feeds || !feeds->ItemListHidden())
        return;
    const FeedListState list = feeds->ShownList();
    if (list.channel < 0)
        PostLogicCommand(LogicCommand::OpenList, WPARAM(list.kind), 0);
    else
        PostLogicCommand(LogicCommand::OpenChannel, WPARAM(std::uint32_t(list.channel)),
                         LPARAM(std::uint32_t(std::uint64_t(list.channel) >> 32)));
}

// A row of the feed list was clicked ("rsslistitemclickanimation"), on the UI
// thread inside the click: the video grows out of the row. With the video
// window hidden the list freezes first, so that it plays its own parting
// animation before it reports the click. Never waits for the dispatch lock.
bool uiLogic::OnRowClickAnimation(wrsslist& list, int index)
{
    wrsslistitem* row = list.GetItem(index);
    if (!row || (!AllowsAllItems() && !MatchesQualityFilter(row->GetItem())))
        return true;
    {
        std::scoped_lock hold(m_display->lock);
        m_display->clicked = row->GetItem();
    }
    videoplaywindow* v = video();
    const bool video_shown = v && v->IsVisible();
    if (!video_shown)
        list.SetFrozen(true);
    {
        CMutexGuard widgets(UIRenderMutex());
        show(ids::LoadingPage, false);
        show(ids::Loading, false);
        if (v) {
            // A hidden video window comes back in the video mode (below), in its centre: the load-in ends there.
            if (!video_shown && v->CurrentState() != vpsCenter)
                v->MoveToCenter();
            const fpoint origin = list.GetScreenOrigin();
            v->BeginLoadIn(origin.x + row->GetX(), origin.y + row->GetY() - list.GetScrollOffset(), row->GetWidth(),
                           row->GetHeight());
        }
    }
    if (video_shown)
        SetVideoViewState(ViewState::SmallWindow);
    else
        change_display_mode(DisplayMode::PlayVideo, ViewState::SmallWindow);
    return true;
}

// Logic commands 13 and 14: the feed view opens a list (its kind) or a channel at page 0.
void uiLogic::open_list_or_channel(UINT code, WPARAM wparam, LPARAM lparam)
{
    if (!m_parts.feed_window)
        return;
    FeedListState list;
    if (code == LogicCommand::OpenList) {
        list.kind = int(wparam);
    } else {
        list.kind = 7;
        list.channel = std::int64_t(std::uint64_t(std::uint32_t(wparam)) | (std::uint64_t(std::uint32_t(lparam)) << 32));
    }
    open_list(list, 0);
}

}
