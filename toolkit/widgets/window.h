#pragma once
// A widget that may own an off-screen surface: it redraws its children into
// the surface only when something in it changed and otherwise composes the
// cached surface, scaled and with its alpha. It adds margins that clip its
// children, dragging and edge resizing by the mouse, raise-on-click and a
// zoom that it steps itself, one frame per draw.

#include "toolkit/widgets/widget.h"
#include "toolkit/widgets/windowZoomin.h"

#include <memory>

namespace RenderEngine {
class backbuffer;
}

namespace UI {

class wbtn;
class wimage;
class wlist;
class wmultiprogress;
class wprogress;
class wsliderbar;
class wtext;

// Edges a window may be resized by.
inline constexpr int EdgeTop = 0x10;
inline constexpr int EdgeBottom = 0x20;
inline constexpr int EdgeLeft = 0x40;
inline constexpr int EdgeRight = 0x80;

class window : public widget {
public:
    explicit window(std::string name);
    ~window() override;

    void UpdateLayout() override;
    float GetScaleX() const override;
    float GetScaleY() const override;
    float GetTotalScaleX() const override;
    float GetTotalScaleY() const override;
    bool HitTest(float x, float y) override;
    fpoint UpdateDrawOrigin() override;
    void OnMouseMove(MouseEventArgs& e) override;
    void OnMouseDown(MouseEventArgs& e) override;
    void OnMouseUp(MouseEventArgs& e) override;
    void OnMouseLeave() override;
    void OnMouseEnter() override;
    bool IsPressed() const override;
    void TickOwnAnimations() override;
    void DrawOverlay() override;
    void Draw() override;
    void Invalidate() override;

    // A surface of width x height; the window takes that size.
    virtual void CreateBackBuffer(unsigned width, unsigned height);
    // (left, top, right, bottom); children are clipped only while right and bottom are both non-zero.
    virtual frect SetMargins(float left, float top, float right, float bottom);
    // A point in screen (client) coordinates.
    virtual bool HitTestScreen(float x, float y);
    virtual void OnResized() {}

    RenderEngine::backbuffer* GetBackBuffer() const { return m_buffer.get(); }
    void SetBufferEnabled(bool enabled);
    // Colour (alpha, red, green, blue; 0..255) the surface is cleared to before each redraw.
    void SetClearColor(float alpha, float red, float green, float blue);
    void SetClipHitsToParent(bool clip) { m_clip_hits_to_parent = clip; }
    // Children are drawn inside the window's own rectangle, margins or not
    // (a tree node folding its children away).
    void SetClipToBounds(bool clip) { m_clip_to_bounds = clip; }
    void SetRaiseOnClick(bool raise) { m_raise_on_click = raise; }
    void SetResizable(bool resizable, int edges);
    void SetMinSize(float width, float height);
    // Within distance of a parent edge a dragged window sticks to it (at the edge's offset).
    void SetSnap(bool enabled, float distance, frect offsets);
    bool IsPressedInside() const { return m_pressed_inside; }
    frect GetClipRect() const { return m_clip; }

    // Control factories (defined with the controls, toolkit/controls): each
    // control is placed at (x, y) with size (width, height), added as a child,
    // with position rules (0, 0) and size rules 0 so it keeps both.
    // The button and image keep their picture's size unless width and height are both non-zero.
    wbtn* AddButton(const std::string& name, const std::string& picture_base, float x, float y, float width,
                    float height);
    wimage* AddImage(const std::string& name, const std::string& picture, float x, float y, float width,
                     float height);
    // The window's background: a nine-grid of those borders that fills the window.
    wimage* AddImageAt(const std::string& name, const std::string& picture, float x, float y, float left, float top,
                       float right, float bottom);
    wtext* AddText(const std::string& name, float x, float y, float width, float height, const WCHAR* text);
    wprogress* AddProgress(const std::string& name, float x, float y, float width, float height);
    wmultiprogress* AddMultiProgress(const std::string& name, float x, float y, float width, float height);
    wsliderbar* AddSliderBar(const std::string& name, float x, float y, float width, float height);
    wlist* AddList(const std::string& name, float x, float y, float width, float height);

    windowZoomin& GetZoom() { return m_zoom; }
    // The copy drawn in the window's place while it zooms; the window owns it.
    void SetZoomBuffer(std::unique_ptr<RenderEngine::backbuffer> copy);
    void ReleaseZoomBuffer();

protected:
    // The content: every visible child in z-order (lists draw theirs in an order of their own).
    virtual void DrawChildren();

private:
    bool BufferInUse() const { return m_buffer_enabled && m_buffer != nullptr; }
    bool ClipOn() const { return m_clip_to_bounds || (m_margins.width != 0 && m_margins.height != 0); }
    bool ZoomRunning() const { return !m_zoom.IsIdle(); }
    fpoint DrawPosition() const;
    void RefreshDrawOrigins();
    void UpdateClipRect();
    void DrawContent();
    void DrawZoomed();
    void Compose();
    int EdgesAt(fpoint pointer) const;
    void StartResize(int edges);
    void DragTo(fpoint pointer);
    void ResizeTo(fpoint pointer);
    void ShowEdgeCursor(MouseEventArgs& e);

    bool m_raise_on_click{false};
    std::unique_ptr<RenderEngine::backbuffer> m_buffer;      // guarded by WidgetMutex while drawn
    std::unique_ptr<RenderEngine::backbuffer> m_zoom_copy;
    windowZoomin m_zoom{this};
    frect m_clip{0, 0, 0, 0};      // left, top, right, bottom in the surface the children draw into
    frect m_margins{0, 0, 0, 0};   // left, top, right, bottom
    float m_clear[4]{255, 0, 0, 0};
    bool m_buffer_enabled{true};
    bool m_clip_hits_to_parent{true};
    bool m_clip_to_bounds{false};
    bool m_pressed_inside{false};
    bool m_resizable{false};
    bool m_resizing{false};
    int m_resize_edges{0};          // edges that may be dragged
    int m_dragged_edges{0};         // edges being dragged now
    fpoint m_anchor{0, 0};          // screen position of the edges opposite the dragged ones
    float m_min_width{0};
    float m_min_height{0};
    float m_right_grip{6};          // extra pixels that count as the right edge
    float m_bottom_grip{8};
    bool m_snap{false};
    float m_snap_distance{0};
    frect m_snap_offsets{0, 0, 0, 0};
};

}
