#pragma once
// A resource manager on a small headless device with the renderer current,
// loaded from the skin the build drew into the program folder.

#include "toolkit/resmgr/d3dresMgr.h"

#include "platform/d3d9/D3DX.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/render.h"

namespace test {

struct SkinRig {
    plat::ScopedEnvironment no_display{"SDL_VIDEODRIVER", "dummy"};
    plat::ScopedEnvironment screen{"STRIMO_SCREEN_SIZE", "128x96"};
    UI::d3dresMgr manager;
    RenderEngine::D3D9Render* renderer{nullptr};

    explicit SkinRig(const std::u16string& folder = {})
    {
        manager.Init(nullptr);
        renderer = static_cast<RenderEngine::D3D9Render*>(RenderEngine::CreateRender(nullptr, 2));
        plat::ComPtr<IDirect3DDevice9> device = plat::ComPtr<IDirect3DDevice9>::adopt(manager.GetDevice());
        plat::ComPtr<ID3DXSprite> sprite = plat::ComPtr<ID3DXSprite>::adopt(manager.GetSprite());
        renderer->SetDevice(device.get());
        renderer->SetSprite(sprite.get());
        RenderEngine::InitRenderTargets();
        manager.LoadSkin(folder);
    }
    ~SkinRig()
    {
        renderer->SetSprite(nullptr);
        renderer->SetDevice(nullptr);
        RenderEngine::CreateRender(nullptr, 1);
        RenderEngine::InitRenderTargets();
    }
};

}
