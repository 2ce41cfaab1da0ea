#pragma once
// The narrow face the playback logic sees of the screens: the control bar's
// buttons, volume, duration, position and title, and the fades between the
// background layer and the video layer. The controller holds one.
//
// A fade runs 500 ms on the UI manager's animation manager. A fade already
// heading for the asked alpha is left to run; one heading the other way is
// turned around from where it is.

#include "toolkit/widgets/ATimeLine.h"
#include "toolkit/widgets/keyframe.h"

#include "platform/base/Types.h"

#include <cstdint>
#include <memory>

namespace UI {

class widget;

class IBaseUIPlay {
public:
    IBaseUIPlay();
    virtual ~IBaseUIPlay();
    IBaseUIPlay(const IBaseUIPlay&) = delete;
    IBaseUIPlay& operator=(const IBaseUIPlay&) = delete;

    virtual void ShowPauseButton();
    virtual void ShowPlayButton();
    virtual void SetVolumePercent(int percent);
    virtual void SetPosition(int64_t seconds);

    // What makes the control bar: the widget-tree builder registers its
    // control bar region while it lives (null clears).
    using ControlBarMaker = void (*)();
    static void SetControlBarMaker(ControlBarMaker maker);
    // Asks the builder for the control bar; nothing without a builder, and
    // nothing new when the UI manager already holds a bar.
    void CreateControlBar();

    void SetDuration(int64_t seconds);
    // Under UIRenderMutex: the bar's title is set and shown.
    void SetTitle(const WCHAR* title);
    void HideVideoLayer();
    void ShowVideoLayer();

private:
    struct Fade {
        ATimeLine line;
        std::unique_ptr<widget_keyframe> key;   // on the layer it first faded
        float target{0};
    };
    void FadeTo(Fade& fade, widget& layer, float from, float to);

    Fade m_background_fade;
    Fade m_video_fade;
};

}
