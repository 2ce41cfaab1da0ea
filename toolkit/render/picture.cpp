#include "picture.h"

#include "texture.h"

namespace RenderEngine {

d3dpic::d3dpic(texture* source, float left, float top, float right, float bottom)
{
    m_texture = source;
    if (source) {
        m_name = source->GetName();
        m_path = source->GetPath();
        m_id = source->GetId();
    }
    m_filter = 1;
    SetSourceRect(left, top, right, bottom);
}

void d3dpic::SetSourceRect(float left, float top, float right, float bottom)
{
    m_left = left;
    m_top = top;
    m_right = right;
    m_bottom = bottom;
}

void d3dpic::SetSize(float width, float height)
{
    m_width = width;
    m_height = height;
}

}
