// The toolkit demo's screen and its small controller: a framed window with a
// tree, a scrolling list and a settings panel (a text field, a button that
// clicks, a volume slider), built from the skin and wired to the system
// manager as its parts, so the UI manager and the compose server draw it.
#pragma once

#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/sysmgr/sysMgr.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/IUo.h"
#include "toolkit/widgets/window.h"

#include <string>

class CInstantAudioRender;

namespace RenderEngine {
class D3D9Render;
}

namespace UI {
class wlist;
class wsliderbar;
class wtext;
}

// The message the frame notice layer posts after each presented frame; wParam is
// the newest redraw request that frame showed.
inline constexpr UINT WM_DEMO_FRAME_SHOWN = 0x8000 + 1;

// The bottom layer (where a video would be; the demo plays none): it draws
// nothing and tells the UI thread which redraw request each presented frame
// answered, so screenshots wait on frames, never on time.
class FrameNotice final : public IUo {
public:
    void SetHwnd(HWND hwnd) { m_hwnd = hwnd; }
    // UI thread, under UIRenderMutex: the next frame answers this request.
    unsigned RequestRedraw();

    long Render() override;   // the frame answers every request made so far
    long OnDeviceEvent(DWORD code, intptr_t, intptr_t) override;
    bool WantsEvent(DWORD code) override { return code == 0x10002; }
    bool IsLayerActive() override { return true; }
    bool NeedsRedraw() override { return m_requested != m_drawn; }
    long InvalidateLayer(int) override;

private:
    HWND m_hwnd{nullptr};
    unsigned m_requested{0};   // under UIRenderMutex
    unsigned m_drawn{0};       // under UIRenderMutex
};

// What a screenshot reports besides its pixels.
struct DemoState {
    std::u16string field;
    int first_row;
    int volume;
    int clicks;
    int sounds;
    std::u16string selected;
    int width;
    int height;
};

class DemoScreen final : public UI::sysParts, public UI::uiLogicHooks {
public:
    DemoScreen() = default;
    ~DemoScreen() override;

    FrameNotice& frames() { return m_frames; }
    // Under UIRenderMutex.
    DemoState state() const;
    // The pictures the screen shows that the skin lacks, each named on stderr.
    int MissingPictures();

    // sysParts
    RenderEngine::render* CreateRender(HWND main) override;
    void LoadSkin() override;
    void InitRenderTargets() override;
    void CreateScreens() override;
    IUo* VideoLayer() override { return &m_frames; }
    void SubscribeControllerEvents() override;
    void BuildTree() override;
    void StartController() override;
    void PlaceScreens() override;
    void InvalidateBackground(int flag) override { m_frames.InvalidateLayer(flag); }

    // uiLogicHooks
    LRESULT OnTimer(UINT_PTR) override { return 0; }
    void OnDeviceChange(WPARAM, LPARAM) override {}
    void OnUserMessage17415(WPARAM) override {}
    void SetEdgeCursor(int, int) override {}
    void OnMouseMove(UI::MouseEventArgs&) override {}
    bool OnMouseWheel(int delta, int x, int y) override;
    bool OnKeyDown(int) override { return false; }
    void UpdateWindowState() override {}

private:
    bool OnButtonClicked(UI::EventArgs& e);
    bool OnVolumeMoved(UI::EventArgs& e);
    bool OnNodeClicked(UI::EventArgs& e);
    void BuildFrames();
    void BuildTreePanel();
    void BuildList();
    void BuildSettings();
    void ShowCounts();

    HWND m_main{nullptr};
    UI::d3dresMgr m_resources;
    RenderEngine::D3D9Render* m_render{nullptr};
    FrameNotice m_frames;
    UI::window m_root{"demo"};
    UI::wtext* m_field{nullptr};
    UI::wbtn* m_click_button{nullptr};
    UI::wlist* m_list{nullptr};
    UI::wsliderbar* m_volume{nullptr};
    UI::wtext* m_counts{nullptr};
    UI::wtext* m_status{nullptr};
    CInstantAudioRender* m_sounds{nullptr};   // the sound server's
    int m_click_sound{-1};
    int m_clicks{0};
    int m_sounds_played{0};
    std::u16string m_selected;
};
