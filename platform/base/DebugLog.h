#pragma once
// The one debug sink of the process: what OutputDebugString did on Windows.
// Lines are dropped unless STRIMO_DEBUG_LOG names a file ("-" for standard
// error) or a DebugCapture is listening.

#include "Types.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

void OutputDebugStringA(const char* text);
void OutputDebugStringW(const WCHAR* text);

namespace plat {

void debug_log(std::string_view line);

// While alive, every line written to the sink is also kept here (for tests).
// Captures nest; each sees the lines written during its life.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    std::vector<std::string> lines() const;
    bool contains(std::string_view fragment) const;

private:
    friend void debug_log(std::string_view line);
    void add(std::string_view line);

    mutable std::mutex m_lock;
    std::vector<std::string> m_lines;   // guarded by m_lock
};

}
