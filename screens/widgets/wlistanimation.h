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
    explicit wlistanimation(T* list) : m_list(list) {}
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

protected:
    // The value is stored after Finish, so an animation that ends short of
    // full view keeps its last value even though Finish restored another.
    template <typename Value, typename Step>
    void StepTowards(float current, float target, Value divisor, Value threshold, Step store)
    {
        float next = current + (target - current) / float(divisor);
        m_list->Invalidate();
        if (std::fabs(target - next) < float(threshold)) {
            next = target;
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
    bool m_keep_parent{false};
};

template <typename T>
class wlistanimationFadeIn : public wlistanimation<T> {
public:
    using wlistanimation<T>::wlistanimation;

    void Step() override
    {
        T* list = this->m_list;
        this->StepTowards(list->GetAlpha(), m_target, m_divisor, m_threshold, [list](float v) { list->SetAlpha(v); });
    }
    void Finish() override
    {
        this->m_running = false;
        if (this->m_keep_parent) return;
        this->HideParent();
        this->m_list->SetAlpha(255);
    }
    // The controller's hide animation runs the same step towards a low alpha.
    void SetTarget(float target, int divisor, int threshold)
    {
        m_target = target;
        m_divisor = divisor;
        m_threshold = threshold;
    }

private:
    float m_target{255};
    int m_divisor{3};
    int m_threshold{5};
};

template <typename T>
class wlistanimationZoomIn : public wlistanimation<T> {
public:
    using wlistanimation<T>::wlistanimation;

    void Step() override
    {
        T* list = this->m_list;
        this->StepTowards(list->GetItemScale(), m_target, m_divisor, m_threshold,
                          [list](float v) { list->SetItemScale(v); });
    }
    void Finish() override
    {
        this->m_running = false;
        this->m_list->UpdateLayout();
        if (!this->m_keep_parent) this->HideParent();
    }
    // The controller's hide animation runs the same step towards a small scale.
    void SetTarget(float target, float divisor, float threshold)
    {
        m_target = target;
        m_divisor = divisor;
        m_threshold = threshold;
    }

private:
    float m_target{1};
    float m_divisor{6};
    float m_threshold{0.01f};
};

}
