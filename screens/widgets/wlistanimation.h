// The appear animations of the feed list and the generic list: each frame
// the list's alpha (fade kind) or item scale (zoom kind) closes a share of
// the distance to its target, and lands on it within a threshold. The list
// type T gives GetAlpha/SetAlpha, GetItemScale/SetItemScale, Invalidate,
// UpdateLayout and GetParent.
#pragma once

#include "toolkit/widgets/widget.h"

#include <cmath>

namespace UI {

template <typename T>
class wlistanimation {
public:
    virtual ~wlistanimation() = default;
    wlistanimation(const wlistanimation&) = delete;
    wlistanimation& operator=(const wlistanimation&) = delete;

    virtual void Start() { m_running = true; }
    // Once per frame, from the list's draw, while running.
    virtual void Step() = 0;
    virtual void Finish() { m_running = false; }
    virtual bool IsRunning() const { return m_running; }

    // Set before Start: the list's parent then stays shown when the animation ends.
    void SetKeepParent(bool keep) { m_keep_parent = keep; }
    // Each step closes 1/divisor of the distance; within the threshold it lands.
    // (The controller's hide animation runs the same steps towards a low value.)
    void SetTarget(float target, float divisor, float threshold)
    {
        m_target = target;
        m_divisor = divisor;
        m_threshold = threshold;
    }

protected:
    wlistanimation(T* list, float target, float divisor, float threshold)
        : m_list(list), m_target(target), m_divisor(divisor), m_threshold(threshold)
    {
    }
    // The value is stored after Finish, so an animation that ends short of
    // full view keeps its last value even though Finish restored another.
    template <typename Store>
    void StepTowards(float current, Store store)
    {
        float next = current + (m_target - current) / m_divisor;
        m_list->Invalidate();
        if (std::fabs(m_target - next) < m_threshold) {
            next = m_target;
            Finish();
        }
        store(next);
    }
    void HideParent()
    {
        if (widget* parent = m_list->GetParent()) parent->Show(false);
    }

    bool m_running{false};
    T* m_list;
    float m_target;
    float m_divisor;
    float m_threshold;
    bool m_keep_parent{false};
};

// Alpha to 255 by thirds, landing within 5.
template <typename T>
class wlistanimationFadeIn : public wlistanimation<T> {
public:
    explicit wlistanimationFadeIn(T* list) : wlistanimation<T>(list, 255, 3, 5) {}

    void Step() override
    {
        T* list = this->m_list;
        this->StepTowards(list->GetAlpha(), [list](float v) { list->SetAlpha(v); });
    }
    void Finish() override
    {
        this->m_running = false;
        if (this->m_keep_parent) return;
        this->HideParent();
        this->m_list->SetAlpha(255);
    }
};

// Item scale to 1 by sixths, landing within 0.01.
template <typename T>
class wlistanimationZoomIn : public wlistanimation<T> {
public:
    explicit wlistanimationZoomIn(T* list) : wlistanimation<T>(list, 1, 6, 0.01f) {}

    void Step() override
    {
        T* list = this->m_list;
        this->StepTowards(list->GetItemScale(), [list](float v) { list->SetItemScale(v); });
    }
    void Finish() override
    {
        this->m_running = false;
        this->m_list->UpdateLayout();
        if (!this->m_keep_parent) this->HideParent();
    }
};

}
