#include "DebugLog.h"

#include "Utf.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace plat {

namespace {

struct Sink {
    std::mutex lock;
    std::vector<DebugCapture*> captures;   // guarded by lock
    std::FILE* file{nullptr};              // guarded by lock; opened on first use
    bool opened{false};                    // guarded by lock
};

Sink& sink()
{
    static Sink s;
    return s;
}

std::FILE* open_target()
{
    const char* target = std::getenv("STRIMO_DEBUG_LOG");
    if (target == nullptr || *target == 0) return nullptr;
    if (std::string_view(target) == "-") return stderr;
    return std::fopen(target, "a");
}

}

void debug_log(std::string_view line)
{
    Sink& s = sink();
    std::scoped_lock hold(s.lock);
    for (DebugCapture* capture : s.captures) capture->add(line);
    if (!s.opened) {
        s.file = open_target();
        s.opened = true;
    }
    if (s.file) {
        std::fwrite(line.data(), 1, line.size(), s.file);
        if (line.empty() || line.back() != '\n') std::fputc('\n', s.file);
        std::fflush(s.file);
    }
}

DebugCapture::DebugCapture()
{
    std::scoped_lock hold(sink().lock);
    sink().captures.push_back(this);
}

DebugCapture::~DebugCapture()
{
    std::scoped_lock hold(sink().lock);
    std::erase(sink().captures, this);
}

void DebugCapture::add(std::string_view line)
{
    {
        std::scoped_lock hold(m_lock);
        m_lines.emplace_back(line);
    }
    m_added.notify_all();
}

std::vector<std::string> DebugCapture::lines() const
{
    std::scoped_lock hold(m_lock);
    return m_lines;
}

bool DebugCapture::contains(std::string_view fragment) const
{
    std::scoped_lock hold(m_lock);
    return holds(fragment);
}

bool DebugCapture::wait_for(std::string_view fragment, std::chrono::milliseconds timeout) const
{
    std::unique_lock hold(m_lock);
    return m_added.wait_for(hold, timeout, [&] { return holds(fragment); });
}

bool DebugCapture::holds(std::string_view fragment) const
{
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [&](const std::string& l) { return l.find(fragment) != std::string::npos; });
}

}

void OutputDebugStringA(const char* text)
{
    if (text) plat::debug_log(text);
}

void OutputDebugStringW(const WCHAR* text)
{
    if (text) plat::debug_log(plat::utf16_to_utf8({text, plat::wide_length(text)}));
}
