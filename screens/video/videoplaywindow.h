#pragma once
// The framed window a playing video is shown in: centred over the client
// area, or small in the right-hand corner while the user browses. It glides
// between the two, grows out of a clicked item when playback starts, keeps
// the video's ratio while the ratio itself eases, and shrinks to a strip for
// a warning. A four-state machine says where it is; one position logic per
// state steps that state's animations in every Draw.
//
// The operations run on the UI or the logic thread; the moves take
// UIRenderMutex, which the compose thread holds while it draws (and steps
// the animations). UpdateParent runs on the logic thread through logic
// command 21, never inside a move's own call.

#include "screens/video/DrawTrace.h"
#include "screens/video/logicCenter.h"
#include "screens/video/logicCenter2RightTop.h"
#include "screens/video/logicRightTop.h"
#include "screens/video/logicRightTop2Center.h"
#include "screens/video/videoposition.h"

#include "toolkit/widgets/fsmachine.h"
#include "toolkit/widgets/window.h"

#include <map>
#include <memory>

class wvideoloading;

namespace RenderEngine {
class d3dpic;
class texture;
}

namespace UI {

class uiPlayerLogic;
class videowindow;
class wimage;

class videoplaywindow : public window {
public:
    class loadinAnimation;

    static constexpr int RefreshWidget = 21;   // the logic command that runs UpdateParent
    static constexpr int WarningPage = 16;
    // Fired on the window's own events for each event its position machine
    // is given (ValueEventArgs, value the videoposevent), after the machine
    // took it; an event that leads nowhere is fired too.
    static constexpr const char* PositionEvent = "videoplaywindow_posevent";

    explicit videoplaywindow(std::string name);
    ~videoplaywindow() override;

    // The controller; may be null (nothing is asked then).
    void SetLogic(uiPlayerLogic* logic) { m_logic = logic; }
    // The frames, the picture, the loading indicator and the back buffer;
    // then the window takes depth 3 and hides.
    void CreateChildren();

    void MoveToRightTop();
    void MoveToCenter();
    // Hides the window and brings the machine back to the centre.
    void ResetPosition();
    // Grows the window out of the rectangle (a clicked item) to its centred
    // place, with the loading indicator.
    void BeginLoadIn(float x, float y, float w, float h);
    void StopLoadIn();
    void ShowLoading();
    void ShowVideo();
    bool IsLoading() const { return m_loading; }
    // Back to empty; centred, the window shrinks to the warning strip.
    void ResetView();
    // 0 standard, 1 large; applied (animated) only when centred and asked.
    void SetFitMode(int mode, bool apply);
    int GetFitMode() const { return m_fit_mode; }
    // A height of 0 or less is no size and is ignored.
    void SetVideoSize(float width, float height);
    void KeepAspect();
    // Parent and depth for the state: the root (3, or 700 in the corner), or
    // "rootui" while moving.
    void UpdateParent();
    void RequestUpdateParent();
    void OnAnimationDone(int kind);
    videoposstatus CurrentState() const;

    void UpdateLayout() override;
    void Draw() override;

    videogeometry& Geometry() { return m_geometry; }
    bool WasVideoShown() const { return m_video_shown; }
    bool VideoFillsScreen() const;
    IBaseLogicVideoWindow& CurrentLogic();
    logicCenter& Center() { return m_center; }
    logicCenter2RightTop& ToCorner() { return m_to_corner; }
    logicRightTop& Corner() { return m_corner; }
    logicRightTop2Center& ToCenter() { return m_to_center; }
    loadinAnimation& LoadIn() { return *m_loadin; }
    widget* Picture() const;
    widget* LoadingIndicator() const;

private:
    void Fire(videoposevent event);
    void SettleRatio();
    void DrawFrame();
    void AskPaging(bool show);

    fsmachine<videoposstatus, videoposevent> m_machine;
    logicCenter m_center{this};
    logicCenter2RightTop m_to_corner{this};
    logicRightTop m_corner{this};
    logicRightTop2Center m_to_center{this};
    std::map<videoposstatus, IBaseLogicVideoWindow*> m_logics;
    std::unique_ptr<loadinAnimation> m_loadin;
    uiPlayerLogic* m_logic{nullptr};
    wimage* m_highlight{nullptr};   // children: the tree owns them
    wimage* m_normal{nullptr};
    videowindow* m_picture{nullptr};
    wvideoloading* m_loading_indicator{nullptr};
    RenderEngine::backbuffer* m_back_buffer{nullptr};   // the resource manager's
    std::unique_ptr<RenderEngine::texture> m_frame_texture;   // the current frame, drawn through m_frame
    std::unique_ptr<RenderEngine::d3dpic> m_frame;
    DrawTrace m_trace{"video window"};   // the drawing thread's
    bool m_loading{false};
    bool m_video_shown{false};
    int m_fit_mode{0};
    videogeometry m_geometry;
};

}
