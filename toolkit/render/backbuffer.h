#pragma once
// An off-screen target that windows draw their children into.

#include "toolkit/render/Geometry.h"

namespace RenderEngine {

class backbuffer {
public:
    backbuffer(unsigned width, unsigned height)
        : m_alloc_width(width), m_alloc_height(height), m_width(width), m_height(height)
    {
    }
    virtual ~backbuffer() = default;
    backbuffer(const backbuffer&) = delete;
    backbuffer& operator=(const backbuffer&) = delete;

    virtual void ReleaseSurface() {}
    // Surfaces come back through the resource manager's texture map.
    virtual void RestoreSurface() {}
    virtual void SetSize(unsigned width, unsigned height)
    {
        m_width = width;
        m_height = height;
    }
    virtual void SetClip(float left, float top, float right, float bottom) { m_clip = {left, top, right, bottom}; }
    // (left, top, right, bottom); right or bottom 0: no clip.
    virtual UI::frect GetClip() const { return m_clip; }

    unsigned m_alloc_width;
    unsigned m_alloc_height;
    unsigned m_width;            // in use
    unsigned m_height;
    bool m_valid{true};
    bool m_use_swap_chain{false};

protected:
    UI::frect m_clip{0, 0, 0, 0};
};

}
