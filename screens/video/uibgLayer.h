#pragma once
// The skinned background under everything, a layer of the compose server.

#include "screens/video/Singleton.h"

#include "toolkit/widgets/window.h"

#include <atomic>

namespace UI {

class wimage;

class uibgLayer : public Singleton<uibgLayer>, public window {
public:
    uibgLayer();
    ~uibgLayer() override;

    // Replaces the background image "backgroundLayer" (picture
    // "widget-image-UIBackground", as large as the layer). Returns 0.
    int CreateChildren();

    long Render() override;
    long SetLayerActive(bool active) override;
    bool IsLayerActive() override { return IsVisible(); }
    long InvalidateLayer(int flag) override;
    bool NeedsRedraw() override { return m_needs_redraw && IsVisible(); }

private:
    wimage* m_image{nullptr};            // a child: the tree owns it
    std::atomic<bool> m_needs_redraw{false};
};

}
