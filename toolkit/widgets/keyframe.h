#pragma once
// Keyframes turn elapsed milliseconds into property changes. Time runs in
// frames of 30 a second, and one step never advances a linear keyframe by
// more than 33 ms, so a slow frame slows an animation instead of making it jump.

namespace UI {

class widget;

// 0 new or reset, 1 started, 2 inside its time window, 3 reached its target.
inline constexpr int KeyframeNew = 0;
inline constexpr int KeyframeStarted = 1;
inline constexpr int KeyframeRunning = 2;
inline constexpr int KeyframeReached = 3;

class keyframe {
public:
    keyframe() = default;
    virtual ~keyframe() = default;
    keyframe(const keyframe&) = delete;
    keyframe& operator=(const keyframe&) = delete;

    virtual void Step(int) {}
    virtual void OnBegin() {}
    virtual void OnEnd() {}

    bool IsIdle() const { return m_state != KeyframeStarted && m_state != KeyframeRunning; }
    // When idle: state 1 and OnBegin; false (nothing done) while it runs.
    bool Start();
    int GetState() const { return m_state; }
    void SetState(int state) { m_state = state; }

protected:
    int m_state{KeyframeNew};
};

// What a widget_keyframe changes on its target.
inline constexpr int KeyAlpha = 1;         // and at the end hidden (falling) or shown (rising)
inline constexpr int KeyX = 2;
inline constexpr int KeyY = 4;
inline constexpr int KeyWidth = 8;         // then the target lays out its children
inline constexpr int KeyHeight = 16;
inline constexpr int KeyFromBottom = 32;   // y = parent height - value
inline constexpr int KeyFromRight = 64;    // x = parent width - value
inline constexpr int KeyFloat = 256;       // the float behind SetTargetFloat
inline constexpr int KeyVisibility = 512;  // only hidden or shown at the end

// A linear change of one property of a widget between two times.
class widget_keyframe : public keyframe {
public:
    explicit widget_keyframe(widget* target) : m_target(target) {}

    void Step(int ms) override;
    void Init(int kind, int start_ms, int end_ms, float from, float to);
    void SetTargetFloat(float* value) { m_target_float = value; }
    float Interpolate() const;
    // As keyframe::Start without OnBegin.
    bool Start();
    // Lands on the target at once, as the end of the window would.
    void Finish();
    float GetValue() const { return m_current; }

private:
    void Apply();
    void ShowOrHideAtEnd();

    int m_kind{KeyAlpha};
    widget* m_target;
    float m_from{0};
    float m_to{0};
    float m_current{0};
    int m_start{0};
    int m_end{0};
    int m_elapsed{0};
    float* m_target_float{nullptr};
};

// Eased approach: every frame closes 1/divisor of the remaining distance.
template <typename T>
class slowerframeAlgorithm {
public:
    void Init(T start, T target, T divisor)
    {
        m_start = start;
        m_target = target;
        m_divisor = divisor;
        m_current = start;
    }
    T Generate(int frames)
    {
        for (int i = 0; i < frames; ++i) m_current += (m_target - m_current) / m_divisor;
        return m_current;
    }
    T GenerateForTime(int ms) { return Generate(ms * 30 / 1000); }
    void Reset() { m_current = m_start; }
    T GetCurrent() const { return m_current; }

private:
    T m_divisor{1};
    T m_target{0};
    T m_start{0};
    T m_current{0};
};

struct slowerparams {
    int lead{0};
    float start{0};
    float target{0};
    float divisor{1};
    float threshold{0};
};

class slowerkeyframe : public keyframe {
public:
    explicit slowerkeyframe(widget* target) : m_target(target) {}

    // At least one frame per step, however short.
    void Step(int ms) override;
    void Init(const slowerparams& params);
    virtual void Apply();
    void Finish();
    bool IsNearTarget() const;
    float GetValue() const { return m_value; }

protected:
    float m_value{0};
    slowerparams m_params;
    slowerframeAlgorithm<float> m_algorithm;
    widget* m_target;
};

// Accelerating departure: every frame the distance from the start grows by
// the factor (1.4 times for 0.4), so it needs a distance to grow from.
template <typename T>
class fasterframeAlgorithm {
public:
    void Init(T start, T factor)
    {
        m_start = start;
        m_current = start;
        m_factor = factor;
    }
    T Advance(int frames)
    {
        for (int i = 0; i < frames; ++i) m_current += (m_current - m_start) * m_factor;
        return m_current;
    }
    void SetCurrent(T current) { m_current = current; }

private:
    T m_factor{0};
    T m_start{0};
    T m_current{0};
};

struct fasterparams {
    float from{0};
    float to{0};
    float factor{0};
};

class fasterkeyframe : public keyframe {
public:
    explicit fasterkeyframe(widget* owner) : m_owner(owner) {}

    // Starts from `from`; the owner is invalidated.
    void Start(const fasterparams& params);
    // At least one frame per step. Reaching or passing the target, or having
    // no distance to cover, finishes the keyframe on the target.
    void StepMs(int ms);
    virtual void Apply();
    // Moves the value (and the generator) off the start, so it has a distance to grow from.
    void SetCurrent(float value);
    float GetValue() const { return m_value; }
    bool HasReached() const { return m_state == KeyframeReached; }

private:
    bool Arrived() const;

    fasterparams m_params;
    fasterframeAlgorithm<float> m_algorithm;
    float m_value{0};
    widget* m_owner;
};

}
