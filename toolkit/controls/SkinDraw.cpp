#include "toolkit/controls/SkinDraw.h"

#include "toolkit/render/render.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/widgets/widget.h"

namespace UI {

RenderEngine::picture* SkinPicture(const std::string& name)
{
    d3dresMgr* manager = d3dresMgr::Instance();
    return manager ? manager->GetPicture(name) : nullptr;
}

fpoint DrawPositionOf(const widget& w)
{
    const widget* parent = w.GetParent();
    const fpoint o = parent ? parent->GetDrawOrigin() : fpoint{0, 0};
    return {o.x + w.GetX(), o.y + w.GetY()};
}

void DrawSkin(RenderEngine::picture* pic, const frect& at, float alpha, const Borders& borders)
{
    if (!pic)
        return;
    if (borders.left != 0)
        RenderEngine::DrawPictureNinePiece(pic, alpha, at.x, at.y, at.width, at.height, borders.left, borders.top,
                                           borders.right, borders.bottom);
    else
        RenderEngine::DrawPicture(pic, at.x, at.y, at.width, at.height, alpha);
}

}
