#pragma once
// The one debug sink of the process: what OutputDebugString did on Windows.
// Lines are dropped unless STRIMO_DEBUG_LOG names a file ("-" for standard
// error) or a DebugCapture is listening.

#include "Types.h"

#include <chrono>
#include <condition_variable>
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
    // Waits until a line holding fragment has been written, at most timeout;
    // whether one was.
    bool wait_for(std::string_view fragment, std::chrono::milliseconds timeout) const;

private:
    friend void debug_log(std::string_view line);
    void add(std::string_view line);

    bool holds(std::string_view fragment) const;   // with m_lock held

    mutable std::mutex m_lock;
    mutable std::condition_variable m_added;
    std::vector<std::string> m_lines;   // guarded by m_lock
};

}
