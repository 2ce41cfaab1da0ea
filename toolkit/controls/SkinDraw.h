// What every control shares: pictures by skin name, where a control draws,
// and drawing a picture stretched or as a nine-grid.
#pragma once

#include "toolkit/render/Geometry.h"

#include <string>

namespace RenderEngine {
class picture;
}

namespace UI {

class widget;

struct Borders {
    float left{0}, top{0}, right{0}, bottom{0};
};

// The resource manager's picture of that name; null without a manager.
RenderEngine::picture* SkinPicture(const std::string& name);
// The parent's draw origin plus the widget's position.
fpoint DrawPositionOf(const widget& w);
// A nine-grid when the left border is set, else stretched over the rectangle.
void DrawSkin(RenderEngine::picture* pic, const frect& at, float alpha, const Borders& borders);

}
