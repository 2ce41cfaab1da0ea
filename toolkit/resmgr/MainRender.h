#pragma once
// The main window's renderer: the resource manager started for the window,
// and the Direct3D renderer over its device and sprite, presenting into it.

#include "platform/window/Handles.h"

namespace RenderEngine {
class D3D9Render;
}

namespace UI {

class d3dresMgr;

// The renderer is current (mode 2) and not owned by the caller.
RenderEngine::D3D9Render* CreateMainRender(d3dresMgr& resources, HWND main);
// Before the resource manager goes: the renderer lets go of its device and sprite.
void ReleaseMainRender(RenderEngine::D3D9Render* render);

}
