#include "WindowSurface.h"

#include "toolkit/render/backbuffer.h"
#include "toolkit/render/render.h"

#include <mutex>

namespace UI {
namespace {

struct SurfaceMakerSlot {
    std::mutex lock;
    WindowSurfaceMaker maker;   // guarded by lock
};

SurfaceMakerSlot& maker_slot()
{
    static SurfaceMakerSlot slot;
    return slot;
}

}  // namespace

void SetWindowSurfaceMaker(WindowSurfaceMaker maker)
{
    auto& slot = maker_slot();
    std::scoped_lock hold(slot.lock);
    slot.maker = std::move(maker);
}

std::unique_ptr<RenderEngine::backbuffer> CreateWindowSurface(unsigned width, unsigned height)
{
    WindowSurfaceMaker maker;
    {
        auto& slot = maker_slot();
        std::scoped_lock hold(slot.lock);
        maker = slot.maker;
    }
    if (maker) return std::unique_ptr<RenderEngine::backbuffer>(maker(width, height));
    RenderEngine::render* r = RenderEngine::GetRender();
    if (r == nullptr) return nullptr;
    return std::unique_ptr<RenderEngine::backbuffer>(r->CreateBackBuffer(width, height, true));
}

}
