#pragma once
// The program's own parts for the system manager's start-up: the resource
// manager and the renderer presenting into the main window, the skin, the
// application controller with its outside components, the controller's
// event handlers and its start.

#include "core/app/MainWindow.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/sysmgr/sysMgr.h"

#include <memory>

class CVisualizationSource;

namespace RenderEngine {
class D3D9Render;
}

namespace UI {
class PlayerLayers;
class uiBuilder;
class uiLogic;
struct uiLogicParts;
}

class AppParts final : public UI::sysParts, public MainWindowHost {
public:
    AppParts();
    ~AppParts() override;
    AppParts(const AppParts&) = delete;
    AppParts& operator=(const AppParts&) = delete;

    RenderEngine::render* CreateRender(HWND main) override;
    void LoadSkin() override;
    void InitRenderTargets() override;
    void CreateScreens() override;
    IUo* VideoLayer() override;
    void SubscribeControllerEvents() override;
    void BuildTree() override;
    void StartController() override;
    void PlaceScreens() override {}
    void InvalidateBackground(int) override {}

    // Null before the system manager's start-up made it.
    UI::uiLogic* Controller() const { return m_controller.get(); }
    // The controller's outside components and folders, from the settings;
    // its play logic shows sound alone through visualization.
    static UI::uiLogicParts ControllerParts(HWND main, CVisualizationSource* visualization);

    // MainWindowHost
    LRESULT Forward(UINT message, WPARAM wparam, LPARAM lparam) override;
    void Redraw() override;
    void StopCompose() override;
    void CloseEngine() override;
    void ResetDevice() override;
    bool PostUICommand(int id) override;
    void CaptionDoubleClick() override;
    void PauseForTray() override;
    void ResumeFromTray() override;
    IPrefechManager* Prefetch() override;
    void SaveSettings() override;
    void DestroyController() override;
    void DestroyTree() override;

private:
    HWND m_main{nullptr};
    UI::d3dresMgr m_resources;
    RenderEngine::D3D9Render* m_render{nullptr};
    std::unique_ptr<UI::uiBuilder> m_builder;
    std::unique_ptr<UI::PlayerLayers> m_player;   // outlives the controller's play logic
    std::unique_ptr<UI::uiLogic> m_controller;
};
