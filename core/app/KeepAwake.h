#pragma once
// The keep-awake requests of the program (WM_KEEP_AWAKE): one bit per request
// kind; the display is kept on while any bit is set, and only then.

#include "platform/base/Types.h"
#include "platform/window/Power.h"

#include <functional>

class KeepAwake {
public:
    using Setter = std::function<EXECUTION_STATE(EXECUTION_STATE)>;
    // setter is SetThreadExecutionState; tests count the calls.
    explicit KeepAwake(Setter setter) : m_set(std::move(setter)) {}

    // Kinds 2, 3, 7 and 8 each own a bit; others change nothing. The system
    // is told only when the set goes from empty to not, or back.
    void Change(WPARAM kind, bool on);
    // All requests end (the program exits).
    void Clear();
    DWORD Flags() const { return m_flags; }

private:
    Setter m_set;
    DWORD m_flags = 0;
};
