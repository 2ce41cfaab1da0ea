#include "toolkit/resmgr/MainRender.h"

#include "platform/com/ComPtr.h"
#include "platform/d3d9/D3DX.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/render.h"
#include "toolkit/resmgr/d3dresMgr.h"

namespace UI {

RenderEngine::D3D9Render* CreateMainRender(d3dresMgr& resources, HWND main)
{
    resources.Init(main);
    auto* render = static_cast<RenderEngine::D3D9Render*>(RenderEngine::CreateRender(main, 2));
    auto device = plat::ComPtr<IDirect3DDevice9>::adopt(resources.GetDevice());
    auto sprite = plat::ComPtr<ID3DXSprite>::adopt(resources.GetSprite());
    render->SetDevice(device.get());
    render->SetSprite(sprite.get());
    render->SetMainWindow(main);
    return render;
}

void ReleaseMainRender(RenderEngine::D3D9Render* render)
{
    if (!render)
        return;
    render->SetSprite(nullptr);
    render->SetDevice(nullptr);
}

}
