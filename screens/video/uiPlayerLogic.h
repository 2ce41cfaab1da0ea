#pragma once
// What the player's screens (the video play window, the control bar) ask of
// the controller. The controller implements it; every call only posts or
// reads stored values, never waits for the logic thread, because the moves
// call it while holding UIRenderMutex.

namespace UI {

class uiPlayerLogic {
public:
    virtual ~uiPlayerLogic() = default;

    // A UI command (play 34, pause 35, next 32, previous 31), posted as logic command 0.
    virtual void PostUICommand(int command) = 0;
    // A logic command without arguments (21: the video window's parent is refreshed).
    virtual void PostLogicCommand(int command) = 0;
    virtual int GetVolume() = 0;
    // Clamped to 0..100 by the controller.
    virtual void SetVolume(int volume) = 0;
    virtual void Seek(int seconds) = 0;
    virtual void SetVideoViewState(int state) = 0;
    // The video fills the screen.
    virtual bool IsFullScreenVideo() = 0;
    virtual void SetPlayingItemFavorite(bool favorite) = 0;
    // The feed list's paging controls.
    virtual void ShowPagingControls(bool show) = 0;
    // The warning page manager shows that page.
    virtual void ShowWarningPage(int page) = 0;
};

}
