#pragma once
// A window's zoom: the window grows (or shrinks) about its centre from
// start to target scale, closing 1/divisor of the distance each frame; at
// the end its rectangle comes back and, unless kept shown, it is hidden.

#include "toolkit/widgets/keyframe.h"

#include "toolkit/render/Geometry.h"

namespace UI {

class window;

class windowZoomin : public slowerkeyframe {
public:
    explicit windowZoomin(window* target);

    void OnBegin() override;
    void OnEnd() override;
    void Apply() override;

    // Forwards is {start 0.5, target 1.0, divisor 4, threshold 0.01}; swap start and target to run it backwards.
    void SetParams(const slowerparams& params) { m_record = params; }
    const slowerparams& GetParams() const { return m_record; }
    bool IsZooming() const { return m_zooming; }
    void SetZooming(bool zooming) { m_zooming = zooming; }
    void SetKeepShown(bool keep) { m_keep_shown = keep; }

private:
    fpoint parent_origin() const;

    window* m_window;
    fpoint m_centre{0, 0};
    frect m_saved{0, 0, 0, 0};   // x, y, width, height before the zoom
    slowerparams m_record{0, 0.5f, 1.0f, 4.0f, 0.01f};
    bool m_zooming{false};       // set until the first zoomed frame is drawn
    bool m_keep_shown{false};
};

}
