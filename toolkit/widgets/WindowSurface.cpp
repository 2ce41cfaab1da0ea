#include "WindowSurface.h"

#include "toolkit/render/backbuffer.h"
#include "toolkit/render/render.h"

namespace UI {

std::unique_ptr<RenderEngine::backbuffer> CreateWindowSurface(unsigned width, unsigned height)
{
    RenderEngine::render* r = RenderEngine::GetRender();
    if (r == nullptr) return nullptr;
    return std::unique_ptr<RenderEngine::backbuffer>(r->CreateBackBuffer(width, height, true));
}

}
