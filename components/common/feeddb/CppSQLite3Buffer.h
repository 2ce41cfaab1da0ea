#pragma once
// One text formatted with SQLite's printf (%q doubles single quotes, %Q also
// adds them, %lld takes a long long), owned until replaced or cleared.

#include <memory>

class CppSQLite3Buffer {
public:
    // Frees the previous text. Null when memory ran out.
    const char* format(const char* fmt, ...);
    void clear() { m_text.reset(); }
    operator const char*() const { return m_text.get(); }

private:
    struct TextFree { void operator()(char* text) const; };

    std::unique_ptr<char, TextFree> m_text;
};
