#pragma once
// The player's control panel, 360 x 92: the video's title, the full-screen
// and small-window toggle, the favourite toggle, the buffered ranges under
// the position slider, previous, play, pause and next, the elapsed and total
// time, and a mute button (on the bottom frame) that pops up a vertical
// volume slider. Its buttons and sliders become controller calls; the
// player-facing interface and the controller update it.

#include "screens/video/Singleton.h"

#include "toolkit/widgets/window.h"

#include <cstdint>
#include <string>

namespace UI {

class uiPlayerLogic;
class wbtn;
class wimage;
class wmoveactionbtn;
class wmoveactionsliderbar;
class wmultiprogress;
class wrotate;
class wselectbtn;
class wsliderbar;
class wtext;

class wcontrolbar : public Singleton<wcontrolbar>, public window {
public:
    static constexpr int CommandPrevious = 31;
    static constexpr int CommandNext = 32;
    static constexpr int CommandPlay = 34;
    static constexpr int CommandPause = 35;
    static constexpr int ViewSmallWindow = 0x1000000;
    static constexpr int ViewFullScreen = 0x2000000;

    explicit wcontrolbar(std::string name);
    ~wcontrolbar() override;

    // The controller; may be null (the controls then do nothing).
    void SetLogic(uiPlayerLogic* logic) { m_logic = logic; }
    // Builds the bar's widgets; the mute buttons and the volume slider go on
    // bottom_frame, the favourite flights on root.
    void CreateChildren(window& bottom_frame, window& root);

    // Playing: pause offered, the position shown on the seek bar.
    void ShowPauseButton();
    // Paused: play offered; the seek bar keeps the position.
    void ShowPlayButton();
    // Nothing plays: play offered, the seek bar empty at 0 and the time 00:00.
    void ShowStopped();
    void SetTitle(const WCHAR* title);
    // Seconds above 0 set the slider's maximum and the duration text.
    void SetDuration(int64_t seconds);
    // The slider moves to seconds; seconds above 0 also set the time text.
    void SetPosition(int64_t seconds);
    void SetVolumePercent(int percent);
    // Without firing the toggle.
    void SetFavorite(bool favorite);
    void ClearBufferProgress();
    void SetBufferRange(float start, float end, float total);
    // The view state's buttons: full screen offered in the small window, and the reverse.
    void ShowViewState(int state);
    int GetSavedVolume() const { return m_saved_volume; }

    // "mm:ss", and "h:mm:ss" from one hour on.
    static std::u16string FormatTime(int64_t seconds);

    wbtn* PlayButton() const { return m_play; }
    wbtn* PauseButton() const { return m_pause; }
    wbtn* PreviousButton() const { return m_previous; }
    wbtn* NextButton() const { return m_next; }
    wbtn* FullScreenButton() const { return m_full_screen; }
    wbtn* SmallWindowButton() const { return m_small_window; }
    wmoveactionbtn* MuteOnButton() const { return m_mute_on; }
    wmoveactionbtn* MuteOffButton() const { return m_mute_off; }
    wsliderbar* PositionSlider() const { return m_position; }
    wmoveactionsliderbar* VolumeSlider() const { return m_volume; }
    wselectbtn* FavoriteToggle() const { return m_favorite; }
    wrotate* FavoriteFlight() const { return m_favorite_flight; }
    wrotate* UnfavoriteFlight() const { return m_unfavorite_flight; }
    wtext* TimeText() const { return m_time; }
    wtext* DurationText() const { return m_duration; }
    wtext* TitleText() const { return m_title; }
    wmultiprogress* BufferBar() const { return m_buffer; }

private:
    void CreateTexts();
    void CreateButtons();
    void CreateSliders();
    void CreateMuteControls(window& bottom_frame);
    void CreateFlights(window& root);
    wbtn* Button(const char* name, const char* skin, float x, float y);
    bool OnSliderMoved(EventArgs& e);
    bool OnButtonClicked(EventArgs& e);
    bool OnMuteHover(EventArgs& e);
    bool OnFavoriteClicked(EventArgs& e);
    void Mute();
    void Unmute();

    uiPlayerLogic* m_logic{nullptr};
    // Widgets of the tree (the bar's, the bottom frame's or the root's children): the tree owns them.
    wimage* m_background{nullptr};
    wtext* m_title{nullptr};
    wbtn* m_full_screen{nullptr};
    wbtn* m_small_window{nullptr};
    wselectbtn* m_favorite{nullptr};
    wmultiprogress* m_buffer{nullptr};
    wsliderbar* m_position{nullptr};
    wbtn* m_previous{nullptr};
    wbtn* m_play{nullptr};
    wbtn* m_pause{nullptr};
    wbtn* m_next{nullptr};
    wtext* m_time{nullptr};
    wtext* m_duration{nullptr};
    wmoveactionbtn* m_mute_on{nullptr};
    wmoveactionbtn* m_mute_off{nullptr};
    wmoveactionsliderbar* m_volume{nullptr};
    wrotate* m_favorite_flight{nullptr};
    wrotate* m_unfavorite_flight{nullptr};
    int m_saved_volume{0};
};

}
