// A progress bar of received spans (a download's ranges): spans are painted
// once into a cached surface, a few per frame, so they accumulate without
// repainting the whole bar. Spans come from other threads.
#pragma once

#include "toolkit/controls/wprogress.h"

#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace RenderEngine {
class backbuffer;
}

namespace UI {

class wmultiprogress : public wprogress {
public:
    explicit wmultiprogress(std::string name);
    ~wmultiprogress() override;

    // Under WidgetMutex: the value moves to start and the span is queued.
    void AddSegment(float start, float end);
    // Under WidgetMutex: no spans, no surface.
    void Clear();
    void Draw() override;

private:
    void paint(RenderEngine::backbuffer& surface, const std::pair<int, float>& span, float length);
    void take_back_after_reset();

    // All guarded by WidgetMutex.
    std::deque<std::pair<int, float>> m_pending;
    std::vector<std::pair<int, float>> m_painted;   // painted again after a device reset empties the surface
    std::unique_ptr<RenderEngine::backbuffer> m_surface;
    int m_reset_seen{0};
};

}
