#include "screens/video/uibgLayer.h"

#include "toolkit/controls/wimage.h"

namespace UI {

uibgLayer::uibgLayer() : Singleton(this), window("") {}

uibgLayer::~uibgLayer() = default;

int uibgLayer::CreateChildren()
{
    if (m_image) {
        RemoveChild(m_image);
        delete m_image;
    }
    m_image = new wimage("backgroundLayer");
    m_image->SetPicture("widget-image-UIBackground");
    m_image->SetPos(0, 0);
    m_image->SetSize(GetWidth(), GetHeight());
    AddChild(m_image);
    m_image->SetSizeRule(2, 2, 0, 0);
    InvalidateLayer(0);
    return 0;
}

long uibgLayer::Render()
{
    Draw();
    m_needs_redraw = false;
    return 0;
}

long uibgLayer::SetLayerActive(bool active)
{
    Show(active);
    return 0;
}

long uibgLayer::InvalidateLayer(int)
{
    m_needs_redraw = true;
    return 0;
}

}
