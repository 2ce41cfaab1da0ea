// The system manager joins the main window to the toolkit: Init builds the
// interface (renderer, compose server and its layers, skin, screens,
// controller) and OnMessage takes the messages the window procedure hands
// it: a resize it handles itself, focus and activation go straight to the UI
// manager, everything else to the compose server's layers, top layer first.
#pragma once

#include "platform/window/Handles.h"

class IUo;
class VMRServer;

namespace RenderEngine {
class render;
}

namespace UI {

struct EventArgs;

// The objects Init makes that other parts of the program provide, one call
// per step of its order; the start-up gives the real ones, tests a fake.
class sysParts {
public:
    virtual ~sysParts() = default;
    // The resource manager with its device, then the renderer sharing them
    // and presenting into the main window.
    virtual RenderEngine::render* CreateRender(HWND main) = 0;
    virtual void LoadSkin() = 0;
    virtual void InitRenderTargets() = 0;
    // Tree builder, controller, background and video layers, the video sources.
    virtual void CreateScreens() = 0;
    // Null while the program has none: the UI manager is then the only layer.
    virtual IUo* VideoLayer() = 0;
    // The controller's handlers of the global events, in their order.
    virtual void SubscribeControllerEvents() = 0;
    virtual void BuildTree() = 0;
    virtual void StartController() = 0;
    // A resize, under the render lock, after the UI manager's: the
    // background and video layers take the settings' client area.
    virtual void PlaceScreens() = 0;
    virtual void InvalidateBackground(int flag) = 0;
};

class sysMgr {
public:
    static sysMgr& Instance();

    explicit sysMgr(sysParts* parts = nullptr) : m_parts(parts) {}
    // Stops the compose server and drops its reference (the process's
    // instance is never destroyed).
    virtual ~sysMgr();
    sysMgr(const sysMgr&) = delete;
    sysMgr& operator=(const sysMgr&) = delete;

    void SetParts(sysParts* parts) { m_parts = parts; }
    // Once, on the UI thread, after the main window exists. Always true.
    bool Init(HWND main);
    virtual LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
    // With a tree: invalidates it and the background layer.
    void Redraw(int flag);
    // Null before Init. The window procedure stops it on WM_DESTROY.
    VMRServer* GetComposeServer() const { return m_compose; }

private:
    sysParts* m_parts;
    VMRServer* m_compose{nullptr};   // one reference held; lives until the process ends
};

}
