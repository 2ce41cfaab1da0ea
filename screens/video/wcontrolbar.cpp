#include "screens/video/wcontrolbar.h"

#include "screens/video/uiPlayerLogic.h"
#include "screens/video/wmoveactionbtn.h"
#include "screens/video/wmoveactionsliderbar.h"

#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wmultiprogress.h"
#include "toolkit/controls/wrotate.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wsliderbar.h"
#include "toolkit/controls/wtext.h"

#include "platform/base/Utf.h"

#include <cstdio>

namespace UI {

namespace {

constexpr fcolor white{255, 255, 255};
constexpr int align_left_middle = 4;    // DT_VCENTER
constexpr int align_right_middle = 6;   // DT_RIGHT | DT_VCENTER
constexpr float position_range = 1000;
constexpr float volume_range = 100;

wtext* bar_text(window& bar, const char* name, const char* font, float x, float y, float w, float h, int format)
{
    wtext* text = bar.AddText(name, x, y, w, h, u"00:00");
    text->SetFont(font);
    text->SetColor(white);
    text->SetTextFormat(format);
    text->SetMouseTransparent(true);
    return text;
}

}  // namespace

wcontrolbar::wcontrolbar(std::string name) : Singleton(this), window(std::move(name)) { SetSize(360, 92); }

wcontrolbar::~wcontrolbar() = default;

std::u16string wcontrolbar::FormatTime(int64_t seconds)
{
    char text[32];
    const int minutes = int(seconds / 60 % 60), secs = int(seconds % 60);
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%d:%02d:%02d", int(seconds / 3600), minutes, secs);
    else
        std::snprintf(text, sizeof text, "%02d:%02d", minutes, secs);
    return plat::utf8_to_utf16(text);
}

wbtn* wcontrolbar::Button(const char* name, const char* skin, float x, float y)
{
    wbtn* button = AddButton(name, skin, x, y, 0, 0);
    button->GetEvent("button_clicked", true)->Subscribe(&wcontrolbar::OnButtonClicked, this);
    return button;
}

void wcontrolbar::CreateChildren(window& bottom_frame, window& root)
{
    m_background = AddImage("wimage-wcontrolbar-bg", "controlpanelbg", 0, 0, GetWidth(), GetHeight());
    m_background->SetSizeRule(2, 2, 0, 0);
    CreateTexts();
    CreateButtons();
    CreateSliders();
    CreateMuteControls(bottom_frame);
    CreateFlights(root);
    UpdateLayout();
}

void wcontrolbar::CreateTexts()
{
    m_title = bar_text(*this, "wtext-wcontrolbar-title", "font_a12ums", 36, 33, 265, 12, align_left_middle);
    m_title->SetText(u"");
    m_title->Show(false);
    m_time = bar_text(*this, "wtext-wcontrolbar-time", "font_a12", 36, 70, 42, 12, align_left_middle);
    m_duration = bar_text(*this, "wtext-wcontrolbar-duration", "font_a12", 0, 70, 42, 12, align_right_middle);
    m_duration->SetPosRule(2, 1, 14, 70);
}

void wcontrolbar::CreateButtons()
{
    m_full_screen = Button("wbtn-wcontrolbar-fullscreen", "btnfullscreen", 0, 30);
    m_full_screen->SetPosRule(2, 1, 14, 30);
    m_small_window = Button("wbtn-wcontrolbar-smallwindow", "btnsmallwindow", 0, 30);
    m_small_window->SetPosRule(2, 1, 14, 30);
    m_small_window->Show(false);

    m_favorite = new wselectbtn("wselectbtn-wcontrolbar-addtofavorite", 3);
    m_favorite->SetSize(23, 19);
    AddChild(m_favorite);
    m_favorite->SetPosRule(2, 1, 40, 30);
    auto* selected = new wimage("wimage-addtofavorite-pressed");
    selected->SetPicture("btnaddfavorite_pressed");
    auto* unselected = new wimage("wimage-addtofavorite-normal");
    unselected->SetPicture("btnaddfavorite_normal");
    for (wimage* image : {selected, unselected}) {
        image->SetSize(23, 19);
        image->SetMouseTransparent(true);
        m_favorite->AddChild(image);
    }
    m_favorite->SetStateImages(unselected, selected);
    m_favorite->SetSelected(false);
    m_favorite->GetEvent("selectbtn_clicked", true)->Subscribe(&wcontrolbar::OnFavoriteClicked, this);

    m_previous = Button("wbtn-wcontrolbar-backward", "btnbackward", 153, 67);
    m_play = Button("wbtn-wcontrolbar-play", "btnplay", 179, 67);
    m_pause = Button("wbtn-wcontrolbar-pause", "btnpause", 179, 67);
    // Nothing plays yet: play alone holds the place the two share.
    m_pause->Show(false);
    m_next = Button("wbtn-wcontrolbar-forward", "btnforward", 205, 67);
}

void wcontrolbar::CreateSliders()
{
    m_buffer = AddMultiProgress("wmultiprogress-wcontrolbar-bufferprogress", 36, 56, 309, 7);
    m_buffer->SetSkin("buffer", "");
    m_position = AddSliderBar("wsliderbar-wcontrolbar-progress", 36, 56, 309, 7);
    m_position->SetImageSkin("timeline", "progressbg");
    m_position->SetRange(position_range);
    // The thumb is the played part's mark: nothing plays yet, so none shows.
    if (widget* thumb = m_position->GetThumb()) {
        thumb->SetY(-1);
        thumb->Show(false);
    }
    m_position->GetEvent("slider_moveto", true)->Subscribe(&wcontrolbar::OnSliderMoved, this);
}

void wcontrolbar::CreateMuteControls(window& bottom_frame)
{
    m_mute_on = new wmoveactionbtn("wbtn-wcontrolbar-muteon");
    m_mute_off = new wmoveactionbtn("wbtn-wcontrolbar-muteoff");
    m_mute_on->SetSkinByName("btnmuteoff");
    m_mute_off->SetSkinByName("btnmuteon");
    for (wmoveactionbtn* button : {m_mute_on, m_mute_off}) {
        bottom_frame.AddChild(button);
        button->SetPosRule(2, 4, 85, 0);
        button->GetEvent("button_clicked", true)->Subscribe(&wcontrolbar::OnButtonClicked, this);
        button->GetEvent("moveactiobbtn_EnterLeave", true)->Subscribe(&wcontrolbar::OnMuteHover, this);
    }
    m_mute_on->Show(false);

    m_volume = new wmoveactionsliderbar("wsliderbar-wcontrolbar-sound");
    m_volume->SetOrientation(wsliderbar::Upward);
    m_volume->SetImageSkin("soundsliderbar", "soundsliderbgh");
    m_volume->SetSize(23, 55);
    m_volume->SetRange(volume_range);
    bottom_frame.AddChild(m_volume);
    m_volume->SetPosRule(2, 1, 85, -52);
    if (widget* thumb = m_volume->GetThumb()) thumb->SetX(6);
    m_volume->Show(false);
    m_volume->GetEvent("slider_moveto", true)->Subscribe(&wcontrolbar::OnSliderMoved, this);
    bottom_frame.UpdateLayout();
}

void wcontrolbar::CreateFlights(window& root)
{
    m_favorite_flight = new wrotate("wrotate-favorite");
    m_favorite_flight->SetPicture("icon_big_MyFavorite");
    m_unfavorite_flight = new wrotate("wrotate-unfavorite");
    m_unfavorite_flight->SetPicture("icon_big_UnFavorite");
    for (wrotate* flight : {m_favorite_flight, m_unfavorite_flight}) {
        root.AddChild(flight);
        flight->SetPosRule(4, 0, 0, 0);
        flight->Show(false);
    }
}

void wcontrolbar::ShowPauseButton()
{
    m_pause->Show(true);
    m_play->Show(false);
    if (widget* thumb = m_position->GetThumb()) thumb->Show(true);
    Invalidate();
}

void wcontrolbar::ShowStopped()
{
    ShowPlayButton();
    m_position->UpdateValue(0);
    if (widget* thumb = m_position->GetThumb()) thumb->Show(false);
    m_time->SetText(FormatTime(0).c_str());
}

void wcontrolbar::ShowPlayButton()
{
    m_play->Show(true);
    m_pause->Show(false);
    Invalidate();
}

void wcontrolbar::SetTitle(const WCHAR* title)
{
    m_title->Show(true);
    m_title->SetText(title);
    Invalidate();
}

void wcontrolbar::SetDuration(int64_t seconds)
{
    if (seconds <= 0) return;
    if (m_position) m_position->SetRange(float(seconds));
    m_duration->SetText(FormatTime(seconds).c_str());
}

void wcontrolbar::SetPosition(int64_t seconds)
{
    m_position->UpdateValue(float(seconds));
    if (seconds > 0) m_time->SetText(FormatTime(seconds).c_str());
}

void wcontrolbar::SetVolumePercent(int percent)
{
    m_volume->UpdateValue(float(int(float(percent) * m_volume->GetRange() / 100)));
}

void wcontrolbar::SetFavorite(bool favorite) { m_favorite->SetSelected(favorite); }

void wcontrolbar::ClearBufferProgress() { m_buffer->Clear(); }

void wcontrolbar::SetBufferRange(float start, float end, float total)
{
    m_buffer->SetRange(total);
    m_buffer->AddSegment(start, end);
}

void wcontrolbar::ShowViewState(int state)
{
    const bool small = state == ViewSmallWindow;
    m_full_screen->Show(small);
    m_small_window->Show(!small);
    Invalidate();
}

bool wcontrolbar::OnSliderMoved(EventArgs& e)
{
    const int value = int(static_cast<ValueEventArgs&>(e).value);
    if (!m_logic) return false;
    if (e.sender == m_position) {
        m_logic->Seek(value);
        ShowPauseButton();
    } else if (e.sender == m_volume) {
        m_logic->SetVolume(value);
    }
    return false;
}

void wcontrolbar::Mute()
{
    m_mute_on->Show(true);
    m_mute_off->Show(false);
    m_saved_volume = m_logic->GetVolume();
    m_logic->SetVolume(0);
    SetVolumePercent(0);
}

void wcontrolbar::Unmute()
{
    m_logic->SetVolume(m_saved_volume);
    SetVolumePercent(m_saved_volume);
    m_mute_on->Show(false);
    m_mute_off->Show(true);
}

bool wcontrolbar::OnButtonClicked(EventArgs& e)
{
    if (!m_logic) return false;
    const widget* sender = e.sender;
    if (sender == m_play)
        m_logic->PostUICommand(CommandPlay);
    else if (sender == m_pause)
        m_logic->PostUICommand(CommandPause);
    else if (sender == m_next)
        m_logic->PostUICommand(CommandNext);
    else if (sender == m_previous)
        m_logic->PostUICommand(CommandPrevious);
    else if (sender == m_mute_on)
        Unmute();
    else if (sender == m_mute_off)
        Mute();
    else if (sender == m_small_window)
        m_logic->SetVideoViewState(ViewSmallWindow);
    else if (sender == m_full_screen)
        m_logic->SetVideoViewState(ViewFullScreen);
    return false;
}

bool wcontrolbar::OnMuteHover(EventArgs& e)
{
    m_volume->Show(static_cast<ValueEventArgs&>(e).value != 0);
    m_volume->Invalidate();
    return false;
}

bool wcontrolbar::OnFavoriteClicked(EventArgs& e)
{
    const bool selected = static_cast<SelectEventArgs&>(e).selected != 0;
    if (selected)
        m_favorite_flight->PlayIn();
    else
        m_unfavorite_flight->PlayOut();
    if (m_logic) m_logic->SetPlayingItemFavorite(selected);
    return false;
}

}
