#pragma once
// The video play window's own frame-stepped animations: started with a
// parameter block, stepped once per drawn frame by the window's Draw (on the
// compose thread, under UIRenderMutex), finished on arrival or from outside.
// Every finish of a subclass reports its kind to the window's OnAnimationDone.

namespace UI {

class videoplaywindow;
class widget;

class animation {
public:
    animation(videoplaywindow* owner, int kind) : m_owner(owner), m_kind(kind) {}
    virtual ~animation() = default;
    animation(const animation&) = delete;
    animation& operator=(const animation&) = delete;

    // The base's step finishes it; nothing happens while it is not running.
    virtual void Step();
    // The base's finish only stops it.
    virtual void Finish() { m_running = false; }
    virtual bool IsRunning() const { return m_running; }
    int GetKind() const { return m_kind; }

protected:
    void Begin() { m_running = true; }
    // Stops it and tells the owner.
    void Report();
    widget* OwnerParent() const;
    float ParentWidth() const;
    float ParentHeight() const;
    // The owner's position and size become the animated values; its
    // position rules are cleared first when asked.
    enum class Rules { Keep, Clear };
    void TakeOwnerPlace(Rules rules);

    videoplaywindow* const m_owner;

private:
    const int m_kind;
    bool m_running{false};
};

// One eased step: value moves by (target - value) / divisor.
inline float EaseToward(float value, float target, float divisor) { return value + (target - value) / divisor; }
// Onto the target when 0 < distance < 1.
float SnapNear(float value, float target);

}
