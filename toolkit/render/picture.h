#pragma once
// A rectangle cut out of a texture, with the size a widget takes for it and
// how it is drawn.

#include "toolkit/render/Geometry.h"
#include "toolkit/render/res.h"

namespace Gdiplus {
class Image;
}

namespace RenderEngine {

class texture;

class picture : public res {
public:
    picture() = default;
    picture(int id, std::string name) : res(id, std::move(name)) {}

    UI::fpoint GetSize() const { return {m_width, m_height}; }

    float m_left{0};     // source rectangle, texels
    float m_top{0};
    float m_right{0};
    float m_bottom{0};
    float m_width{0};    // display size
    float m_height{0};
    short m_filter{0};   // Direct3D filter numbering
    short m_blend{0};    // 0 normal, 1 no alpha-blend sprite flag, 3 source alpha added to the target's alpha
    float m_rotation{0}; // radians
    texture* m_texture{nullptr};   // not owned
};

class d3dpic : public picture {
public:
    // Copies the texture's name and path; draws with point filtering.
    d3dpic(texture* source, float left, float top, float right, float bottom);

    void SetSourceRect(float left, float top, float right, float bottom);
    void SetSize(float width, float height);
};

// A picture of the GDI+ renderer: a GDI+ image in place of the texture.
class gdipluspic : public picture {
public:
    gdipluspic(int id, std::string name) : picture(id, std::move(name)) {}

    Gdiplus::Image* m_image{nullptr};   // not owned; null until someone gives it an image
};

}
