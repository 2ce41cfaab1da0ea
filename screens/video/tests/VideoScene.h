#pragma once
// A video play window in a 1024 x 700 client area (the root and its overlay
// root "rootui"), drawn frame by frame, with a faked controller that runs
// logic command 21 after each frame as the logic thread would.

#include "screens/video/tests/FakePlayerLogic.h"
#include "screens/video/videoplaywindow.h"

#include "toolkit/controls/tests/ControlRig.h"
#include "toolkit/uimgr/uiMgr.h"

#include <algorithm>

namespace test {

struct VideoScene {
    static constexpr float ClientWidth = 1024;
    static constexpr float ClientHeight = 700;

    ControlScene scene;
    UI::window root{"root"};
    UI::window* overlay{new UI::window("rootui")};
    UI::videoplaywindow* video{new UI::videoplaywindow("videoplaywindow")};
    FakePlayerLogic logic;

    VideoScene()
    {
        root.SetSize(ClientWidth, ClientHeight);
        overlay->SetSize(ClientWidth, ClientHeight);
        root.AddChild(overlay);
        UI::uiMgr::Instance().SetRoot(&root);
        UI::uiMgr::Instance().SetOverlayRoot(overlay);
        UI::uiMgr::Instance().SetVideoWindow(video);
        video->SetSize(481, 364);
        root.AddChild(video);
        video->CreateChildren();
        video->SetLogic(&logic);
        root.UpdateLayout();
    }
    ~VideoScene()
    {
        UI::uiMgr::Instance().SetRoot(nullptr);
        UI::uiMgr::Instance().SetOverlayRoot(nullptr);
    }

    // One drawn frame, then the logic thread's turn.
    void frame()
    {
        video->Draw();
        run_logic();
    }
    void run_logic()
    {
        const int refreshes = int(std::count(logic.logic_commands.begin(), logic.logic_commands.end(),
                                             UI::videoplaywindow::RefreshWidget));
        logic.logic_commands.clear();
        for (int i = 0; i < refreshes; ++i) video->UpdateParent();
    }
    // Frames until the state is reached; the number taken, or -1.
    int frames_until(UI::videoposstatus state, int limit = 400)
    {
        for (int i = 0; i < limit; ++i) {
            if (video->CurrentState() == state) return i;
            frame();
        }
        return video->CurrentState() == state ? limit : -1;
    }
    void frames(int n)
    {
        for (int i = 0; i < n; ++i) frame();
    }
    // Centred and shown, at rest.
    void show_centred()
    {
        video->MoveToCenter();
        frames(2);
    }
    void go_to_corner()
    {
        show_centred();
        video->MoveToRightTop();
        frames_until(UI::vpsRightTop);
        frames(2);
    }
};

}
