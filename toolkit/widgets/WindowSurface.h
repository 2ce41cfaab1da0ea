#pragma once
// Where window back buffers come from: the current renderer makes a surface
// that can be drawn into. This is the one place that makes them, so the skin
// resource manager can take it over and bring surfaces back after a device reset.

#include <functional>
#include <memory>

namespace RenderEngine {
class backbuffer;
}

namespace UI {

// Null while there is no renderer.
std::unique_ptr<RenderEngine::backbuffer> CreateWindowSurface(unsigned width, unsigned height);

// Once set, window surfaces come from maker (the resource manager, which keeps
// their textures for the device-reset walk); an empty maker goes back to the
// current renderer. The maker returns a surface the caller owns.
using WindowSurfaceMaker = std::function<RenderEngine::backbuffer*(unsigned width, unsigned height)>;
void SetWindowSurfaceMaker(WindowSurfaceMaker maker);

}
